// The score server seen through a real browser (headless Chromium), and a
// whole game whose new first place is submitted to it.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "process.h"
#include "report_fixture.h"
#include "server_fixture.h"
#include "web.h"

namespace server_test {
namespace {

constexpr const char* kChromium = "/usr/bin/chromium";

// The browser's command, reading its profile from `profile`, without the address.
std::string Browser(const std::filesystem::path& profile) {
  return std::string(kChromium) +
         " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
         " --disable-background-networking --disable-component-update --disable-sync"
         " --user-data-dir=" +
         profile.string() + " --dump-dom";
}

struct BrowserTest : ::testing::Test {
  std::filesystem::path dir;
  void SetUp() override {
    if (!std::filesystem::exists(kChromium)) GTEST_SKIP() << "no Chromium at " << kChromium;
    dir = MakeTempDir("gfall_browser");
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }
  // The DOM of `url` after the page loaded.
  std::string Dom(const std::string& url) {
    const ShellRun r = Shell(Browser(dir / "profile") + " '" + url + "' 2>/dev/null");
    EXPECT_EQ(r.status, 0) << r.out;
    return r.out;
  }
};

TEST_F(BrowserTest, AReportAndTheBoardShowInTheBrowserWithHostileNamesAsText) {
  ServerProcess s({"--db", "sqlite:" + (dir / "scores.sqlite").string()}, dir / "server.log");
  ASSERT_GT(s.port(), 0) << s.log();
  const std::string text = Report(4'321'000, "<img src=x>", 5, 77, "<script>alert(1)</script>");
  std::string dom = Dom(s.url() + "/hico.php?tt=gf&sc=" + text);
  EXPECT_NE(dom.find("<h1>Score received</h1>"), std::string::npos) << dom;
  EXPECT_NE(dom.find("<span id=\"owner\">&lt;script&gt;alert(1)&lt;/script&gt;</span>"),
            std::string::npos)
      << dom;
  EXPECT_NE(dom.find("<span id=\"score\">4,321,000</span>"), std::string::npos) << dom;

  dom = Dom(s.url() + "/");
  EXPECT_NE(dom.find("<td class=\"rank\">1</td><td class=\"name\">&lt;img src=x&gt;</td>"
                     "<td class=\"score\">4,321,000</td>"),
            std::string::npos)
      << dom;
  EXPECT_EQ(dom.find("<img"), std::string::npos) << dom;  // no element made from the name

  // The same address opened again is refused.
  httplib::Client client("127.0.0.1", s.port());
  const auto again = client.Get(("/hico.php?tt=gf&sc=" + text).c_str());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 409);

  EXPECT_EQ(s.Stop(), 0) << s.log();
  const std::string log = s.log();
  EXPECT_NE(log.find("GET /hico.php 200"), std::string::npos) << log;
  EXPECT_NE(log.find("GET /hico.php 409"), std::string::npos) << log;
  EXPECT_NE(log.find("gfall-server: stopped"), std::string::npos) << log;
}

// A script for gfall --menus: leave the title, start a game, pull, launch and
// flip until the balls are gone, enter the name and say yes to submitting.
std::string GameScript() {
  std::string s = "100 key 0x39 down\n120 key 0x39 up\n300 key 0x1C down\n320 key 0x1C up\n";
  s += "150 answer highscore ok Alice Q\n150 answer submit yes\n";
  for (int t = 0; t < 1200; t += 4) {
    const int ms = t * 1000;
    s += std::to_string(ms + 500) + " start down\n" + std::to_string(ms + 1500) + " start up\n";
    s += std::to_string(ms + 2500) + " left down\n" + std::to_string(ms + 2700) + " left up\n";
    s += std::to_string(ms + 3000) + " right down\n" + std::to_string(ms + 3200) + " right up\n";
  }
  return s;
}

TEST_F(BrowserTest, AGamesNewFirstPlaceReachesTheBoard) {
  if (!std::filesystem::exists(std::filesystem::path(GFALL_DATA_DIR) / "GFALL.DAT"))
    GTEST_SKIP() << "no generated GFALL.DAT";
  ServerProcess s({"--db", "sqlite:" + (dir / "scores.sqlite").string()}, dir / "server.log");
  ASSERT_GT(s.port(), 0) << s.log();
  std::ofstream(dir / "input.txt") << GameScript();
  std::filesystem::create_directories(dir / "config");
  // The game hands the address to the browser, as a player's desktop would.
  const std::string opener = Browser(dir / "game-profile") + " 2>/dev/null";
  const ShellRun game =
      Shell("GFALL_SCORE_SERVER=" + s.url() + " GFALL_URL_OPENER='" + opener + "' " + GFALL_EXE +
            " --headless --data " + GFALL_DATA_DIR +
            " --menus --print-state --until-game-over --seed 4 --config-dir " +
            (dir / "config").string() + " --input " + (dir / "input.txt").string());
  ASSERT_EQ(game.status, 0) << game.out.substr(0, 400);
  const auto printed = nlohmann::json::parse(game.out, nullptr, false);
  ASSERT_FALSE(printed.is_discarded()) << game.out.substr(0, 400);
  ASSERT_EQ(printed["window"]["dialogs"], nlohmann::json::array({"highscore ok", "submit yes"}))
      << game.out.substr(0, 400);
  const int score = printed["state"]["players"][0]["score"].get<int>();
  ASSERT_GT(score, 0);

  // The browser the game started sends the report; wait for it to arrive.
  httplib::Client client("127.0.0.1", s.port());
  std::string scores;
  for (int i = 0; i < 300; ++i) {
    const auto res = client.Get("/api/scores");
    if (res && res->body.find("Alice Q") != std::string::npos) {
      scores = res->body;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_NE(scores, "") << s.log();
  EXPECT_NE(scores.find("\"name\":\"Alice Q\",\"score\":" + std::to_string(score)),
            std::string::npos)
      << scores;

  const std::string dom = Dom(s.url() + "/");
  EXPECT_NE(
      dom.find("<td class=\"rank\">1</td><td class=\"name\">Alice Q</td><td class=\"score\">" +
               server::WithThousands(score) + "</td>"),
      std::string::npos)
      << dom;
}

}  // namespace
}  // namespace server_test
