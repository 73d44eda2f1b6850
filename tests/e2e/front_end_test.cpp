// The front end of gfall driven end to end: loading, title, the menus, the
// idle demonstration, dialogs answered by the script, and the saved settings
// and high scores, on a virtual clock. Every case runs twice: headless
// (--headless --menus) and as the real program in a window under a virtual X
// server (--window --virtual-clock), with the forms drawn on screen.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "platform/single_instance.h"
#include "run_command.h"

namespace {

using Result = test_util::CommandRun;

Result RunCmd(const std::string& cmd) { return test_util::RunCommand(cmd + " 2>&1"); }

long Num(const std::string& json, const std::string& name) {
  const std::regex re("\"" + name + "\": ?(-?[0-9]+)");
  std::smatch m;
  return std::regex_search(json, m, re) ? std::stol(m[1].str()) : -999999;
}

// The generated pack when it was built, else the built-in test table. A pack
// that was built but does not load fails the tests that use it: it is never
// passed over for the test table.
const std::string& Table() {
  static const std::string table = [] {
    if (std::filesystem::exists(std::filesystem::path(GFALL_DATA_DIR) / "GFALL.DAT")) {
      return std::string("--data ") + GFALL_DATA_DIR;
    }
    return std::string("--test-table");
  }();
  return table;
}

bool HaveXvfb() {
  static const bool have = std::system("command -v xvfb-run >/dev/null 2>&1") == 0;
  return have;
}

bool Windowed(const char* mode) { return std::string(mode) == "window"; }

struct FrontEnd : ::testing::TestWithParam<const char*> {
  std::filesystem::path dir;
  bool window = false;
  void SetUp() override {
    window = Windowed(GetParam());
    if (window && !HaveXvfb()) GTEST_SKIP() << "no xvfb-run";
    if (window && Table() == "--test-table") GTEST_SKIP() << "no GFALL.DAT was built";
    dir = std::filesystem::temp_directory_path() /
          ("gfall_front_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // The title is left with Space at 100 ms; the script continues from there.
  Result Play(const std::string& script, const std::string& extra) {
    const std::filesystem::path input = dir / "input.txt";
    std::ofstream(input) << "100 key 0x39 down\n120 key 0x39 up\n" << script;
    const std::string common =
        " --print-state --config-dir " + dir.string() + " --input " + input.string() + " " + extra;
    if (!window)
      return RunCmd(std::string(GFALL_EXE) + " --headless " + Table() + " --menus" + common);
    return RunCmd("SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 1024x768x24' " +
                  std::string(GFALL_EXE) + " --window --virtual-clock --width 800 --depth 2 " +
                  Table() + common);
  }
  // A point inside the main menu's Options item: the headless boxes, or the
  // item's picture at 800 × 600.
  std::string OptionsItem() const { return window ? "400 282" : "150 210"; }
  std::string ScoresFile() const { return (dir / "KEPB_GF.DAT").string(); }
};

// Hold a key (scan code) from ms for 100 ms: long enough for the capture
// form, which looks at the keys every 50 ms.
std::string Hold(int ms, const char* code) {
  return std::to_string(ms) + " key " + code + " down\n" + std::to_string(ms + 100) + " key " +
         code + " up\n";
}

// Tap a key (scan code) at ms.
std::string Tap(int ms, const char* code) {
  return std::to_string(ms) + " key " + code + " down\n" + std::to_string(ms + 20) + " key " +
         code + " up\n";
}

TEST_P(FrontEnd, LoadingTitleAndMenuKeys) {
  Result r = Play("", "--frames 2");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Num(r.out, "loading"), 1);  // the first tick has not come yet
  r = Play("", "--frames 5");
  EXPECT_EQ(Num(r.out, "loading"), 0);
  EXPECT_EQ(Num(r.out, "title"), 1);

  // Up from New Game selects Quit; Down wraps back.
  r = Play(Tap(200, "0xC8"), "--frames 20");
  EXPECT_EQ(Num(r.out, "title"), 0);
  EXPECT_EQ(Num(r.out, "main_menu"), 1);
  EXPECT_EQ(Num(r.out, "main_selected"), 6);
  r = Play(Tap(200, "0xC8") + Tap(300, "0xD0"), "--frames 30");
  EXPECT_EQ(Num(r.out, "main_selected"), 0);
  // Enter on Quit ends the program after saving.
  r = Play(Tap(200, "0xC8") + Tap(300, "0x1C"), "--frames 600");
  EXPECT_EQ(Num(r.out, "quit"), 1);
  EXPECT_EQ(Num(r.out, "saves"), 1);
  EXPECT_TRUE(std::filesystem::exists(ScoresFile()));
}

TEST_P(FrontEnd, ADamagedDataFileIsKeptAsideSalvagedAndSaid) {
  // A saved file, then one flipped bit in its second high-score row.
  Result r = Play(Tap(200, "0xC8") + Tap(300, "0x1C"), "--frames 600");
  ASSERT_TRUE(std::filesystem::exists(ScoresFile())) << r.out;
  std::vector<char> bytes;
  {
    std::ifstream in(ScoresFile(), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_EQ(bytes.size(), 1676u);
  bytes[620 + 104 + 41] ^= 0x01;  // row 2 now holds a score of 256 its check values do not match
  std::ofstream(ScoresFile(), std::ios::binary).write(bytes.data(), 1676);

  r = Play("", "--frames 60");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("gfall: KEPB_GF.DAT was damaged (high-score row 2 fails its check values)"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"notices\":[\"KEPB_GF.DAT was damaged"), std::string::npos);
  EXPECT_NE(r.out.find("\"notice ok\""), std::string::npos);  // the message in the window
  int copies = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    if (e.path().filename().string().starts_with("KEPB_GF.DAT.damaged-")) ++copies;
  }
  EXPECT_EQ(copies, 1);
  // The file now holds what was salvaged and is accepted as it is.
  Result info = RunCmd(std::string(GFTOOL_EXE) + " scores " + ScoresFile());
  EXPECT_EQ(info.status, 0) << info.out;
  EXPECT_NE(info.out.find("accepted"), std::string::npos) << info.out;
  // Said once: the next start finds a sound file.
  r = Play("", "--frames 60");
  EXPECT_EQ(r.out.find("was damaged"), std::string::npos) << r.out;
}

TEST_P(FrontEnd, AScriptAnswerWithAQuoteStillGivesValidJson) {
  Result r = Play("300 click " + OptionsItem() + "\n150 answer options ok\"x\n", "--frames 60");
  EXPECT_NE(r.out.find("\"options ok\\\"x\""), std::string::npos) << r.out.substr(0, 600);
}

TEST_P(FrontEnd, RestartSwitchSkipsTheTitle) {
  Result r = Play("", "--frames 5 /R");
  EXPECT_EQ(Num(r.out, "title"), 0);
  EXPECT_EQ(Num(r.out, "main_menu"), 1);
  EXPECT_EQ(Num(r.out, "loading"), 0);
}

TEST_P(FrontEnd, PressMoveReleaseOnOptionsSendsNothing) {
  Result r = Play("300 press " + OptionsItem() + "\n400 mouse 700 590\n500 release 700 590\n",
                  "--frames 60");
  EXPECT_EQ(Num(r.out, "main_selected"), 2);
  EXPECT_NE(r.out.find("\"dialogs\":[]"), std::string::npos) << r.out.substr(0, 400);
  // A click on it opens the options dialog.
  r = Play("300 click " + OptionsItem() + "\n", "--frames 60");
  EXPECT_NE(r.out.find("\"dialogs\":[\"options cancel\"]"), std::string::npos)
      << r.out.substr(0, 400);
}

TEST_P(FrontEnd, EscapeOnTheMainMenuDoesNothingAndPausesPlay) {
  Result r = Play(Tap(300, "0x01"), "--frames 60");
  EXPECT_EQ(Num(r.out, "main_menu"), 1);
  EXPECT_EQ(Num(r.out, "pause_menu"), 0);
  EXPECT_EQ(Num(r.out, "quit"), 0);
  const std::string start = Tap(300, "0x1C");
  r = Play(start + Tap(600, "0x01"), "--frames 60");
  EXPECT_EQ(Num(r.out, "main_menu"), 0);
  EXPECT_EQ(Num(r.out, "pause_menu"), 1);
  // Escape again returns to the game.
  r = Play(start + Tap(600, "0x01") + Tap(800, "0x01"), "--frames 60");
  EXPECT_EQ(Num(r.out, "pause_menu"), 0);
  EXPECT_EQ(Num(r.out, "main_menu"), 0);
}

TEST_P(FrontEnd, OneMinuteIdleStartsTheDemonstrationAndAKeyEndsIt) {
  // 60 s of ticks after the title, in frames of 50 ms.
  Result r = Play("", "--frame-ms 50 --frames 1180");
  EXPECT_EQ(Num(r.out, "computer_playing"), 0);
  r = Play("", "--frame-ms 50 --frames 1233");
  EXPECT_EQ(Num(r.out, "computer_playing"), 1);
  EXPECT_EQ(Num(r.out, "main_menu"), 0);
  r = Play(Tap(62000, "0x1E"), "--frame-ms 50 --frames 1253");
  EXPECT_EQ(Num(r.out, "computer_playing"), 0);
  EXPECT_EQ(Num(r.out, "main_menu"), 1);
}

TEST_P(FrontEnd, OptionsOkSavesAndANewModeCanBeRefused) {
  // Options (Down twice, Enter) with new volumes.
  const std::string open = Tap(200, "0xD0") + Tap(300, "0xD0") + Tap(400, "0x1C");
  Result r = Play(open + "150 answer options ok music_volume=4 sound_volume=7\n", "--frames 60");
  EXPECT_NE(r.out.find("\"dialogs\":[\"options ok\"]"), std::string::npos) << r.out.substr(0, 400);
  EXPECT_EQ(Num(r.out, "saves"), 1);
  EXPECT_EQ(Num(r.out, "restart"), 0);
  Result info = RunCmd(std::string(GFTOOL_EXE) + " scores " + ScoresFile());
  EXPECT_TRUE(std::regex_search(info.out, std::regex("music volume +4\n"))) << info.out;
  EXPECT_TRUE(std::regex_search(info.out, std::regex("sound volume +7 "))) << info.out;
  if (window) {
    // Sharp scaling is a window setting: kept in window.ini, not the game data file.
    r = Play(open + "150 answer options ok sharp=1\n", "--frames 60");
    std::ifstream ini(dir / "window.ini");
    const std::string kept((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    EXPECT_NE(kept.find("scaling=sharp"), std::string::npos) << kept;
  }

  // A new resolution, and Cancel when asked about the new mode.
  r = Play(open + "150 answer options ok resolution=0 sound_volume=2\n150 answer newmode cancel\n",
           "--frames 60");
  EXPECT_NE(r.out.find("\"options ok\",\"newmode cancel\""), std::string::npos);
  EXPECT_EQ(Num(r.out, "restart"), 0);
  EXPECT_EQ(Num(r.out, "quit"), 0);
  // OK restarts.
  r = Play(open + "150 answer options ok resolution=1\n150 answer newmode ok\n", "--frames 60");
  EXPECT_EQ(Num(r.out, "restart"), 1);
  EXPECT_EQ(Num(r.out, "quit"), 1);
  if (window) {
    // The program started itself again with "/R": a second run printed its state,
    // at the new resolution and without the title.
    const size_t second = r.out.find("{\"window\"", r.out.find("{\"window\"") + 1);
    ASSERT_NE(second, std::string::npos) << r.out.substr(0, 400);
    EXPECT_EQ(Num(r.out.substr(second), "title"), 0);
  }
}

TEST_P(FrontEnd, AGameToGameOverEntersTheNameAndSavesTheTable) {
  // The built-in test table has nothing that scores; the generated pack must.
  if (Table() == "--test-table") GTEST_SKIP() << "no GFALL.DAT was built";
  // New Game from the menu, then launch, flip and wait for each drain.
  std::string s = Tap(300, "0x1C") + "150 answer highscore ok Alice Q\n";
  for (int t = 0; t < 1200; t += 4) {
    const int ms = t * 1000;
    s += std::to_string(ms + 500) + " start down\n" + std::to_string(ms + 1500) + " start up\n";
    s += std::to_string(ms + 2500) + " left down\n" + std::to_string(ms + 2700) + " left up\n";
    s += std::to_string(ms + 3000) + " right down\n" + std::to_string(ms + 3200) + " right up\n";
  }
  Result r = Play(s, "--until-game-over --seed 4");
  ASSERT_EQ(r.status, 0) << r.out.substr(0, 400);
  ASSERT_GT(Num(r.out, "score"), 0) << "the table scored nothing: " << r.out.substr(0, 400);
  ASSERT_NE(r.out.find("\"game_ended\":true"), std::string::npos) << r.out.substr(0, 400);
  EXPECT_NE(r.out.find("\"dialogs\":[\"highscore ok\",\"submit no\"]"), std::string::npos)
      << r.out.substr(0, 400);
  EXPECT_EQ(Num(r.out, "main_menu"), 1);
  Result info = RunCmd(std::string(GFTOOL_EXE) + " scores " + ScoresFile());
  EXPECT_TRUE(std::regex_search(info.out, std::regex("1\\. \"Alice Q\" +[0-9,]+ +valid")))
      << info.out;
}

TEST(FrontEndStart, NoPackAnywhereSaysSoAndFails) {
  const std::string empty =
      (std::filesystem::temp_directory_path() / ("gfall_nopack_" + std::to_string(getpid())))
          .string();
  std::filesystem::create_directories(empty);
  // Its own game-data folder: another copy running on the machine must not
  // answer first with "another copy is running".
  const std::string own = " --config-dir " + empty + "/config";
  Result r = RunCmd("cd " + empty + " && GFALL_DATA=" + empty + " " + GFALL_EXE +
                    " --headless --menus --frames 1" + own);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("GFALL.DAT"), std::string::npos) << r.out;
  // A damaged pack names the file.
  std::ofstream(empty + "/GFALL.DAT") << "not a pack at all";
  r = RunCmd("cd " + empty + " && " + GFALL_EXE + " --headless --menus --frames 1" + own);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("GFALL.DAT"), std::string::npos) << r.out;
  std::filesystem::remove_all(empty);
}

}  // namespace

namespace {

TEST_P(FrontEnd, ASecondCopyAsksTheFirstToComeForwardAndEnds) {
  platform::SingleInstance first;
  std::string error;
  ASSERT_EQ(platform::AcquireSingleInstance(first, dir.string(), true, 0, error),
            platform::InstanceResult::kFirst)
      << error;
  Result r = Play("", "--frames 5");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("another copy is running"), std::string::npos) << r.out;
  EXPECT_TRUE(platform::PollRaiseRequest(first));
  platform::ReleaseSingleInstance(first);
  r = Play("", "--frames 5");
  EXPECT_EQ(r.status, 0) << r.out;
}

}  // namespace

namespace {

TEST_P(FrontEnd, ControlsCaptureAKeyEscapeCancelsAndRestoreDefaultsCanBeUndone) {
  // Options, then Change Controls: capture A for the left flipper (the form
  // settles for 250 ms first), OK, OK.
  const std::string open = Tap(200, "0xD0") + Tap(300, "0xD0") + Tap(400, "0x1C");
  const std::string keys = "150 answer options ok controls\n150 answer controls ok capture=0\n";
  Result r = Play(open + keys + Hold(900, "0x1E"), "--frames 120");
  ASSERT_EQ(r.status, 0) << r.out.substr(0, 400);
  EXPECT_NE(r.out.find("\"options ok\",\"controls ok\""), std::string::npos)
      << r.out.substr(0, 400);
  Result info = RunCmd(std::string(GFTOOL_EXE) + " scores " + ScoresFile());
  EXPECT_TRUE(std::regex_search(info.out, std::regex("Left Flipper +keyboard code 0x1E")))
      << info.out;

  // Escape in the capture form binds nothing.
  r = Play(open + "150 answer options ok controls\n150 answer controls ok capture=1\n" +
               Hold(900, "0x01"),
           "--frames 120");
  info = RunCmd(std::string(GFTOOL_EXE) + " scores " + ScoresFile());
  EXPECT_TRUE(std::regex_search(info.out, std::regex("Right Flipper +keyboard code 0x36")))
      << info.out;

  // Restore Defaults, then Cancel: the binding of A stays.
  r = Play(open + "150 answer options ok controls\n150 answer controls cancel defaults=ok\n",
           "--frames 120");
  EXPECT_NE(r.out.find("\"controls cancel\""), std::string::npos) << r.out.substr(0, 400);
  info = RunCmd(std::string(GFTOOL_EXE) + " scores " + ScoresFile());
  EXPECT_TRUE(std::regex_search(info.out, std::regex("Left Flipper +keyboard code 0x1E")))
      << info.out;
  // And with OK they are the defaults again.
  r = Play(open + "150 answer options ok controls\n150 answer controls ok defaults=ok\n",
           "--frames 120");
  info = RunCmd(std::string(GFTOOL_EXE) + " scores " + ScoresFile());
  EXPECT_TRUE(std::regex_search(info.out, std::regex("Left Flipper +keyboard code 0x2A")))
      << info.out;
}

INSTANTIATE_TEST_SUITE_P(Modes, FrontEnd, ::testing::Values("headless", "window"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
