// Whole games of gfall played headless: scripted human games, two players
// taking turns, and the computer's demonstration games. They run on
// the generated table when it can be loaded, else on the built-in test table.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "run_command.h"

namespace {

using Result = test_util::CommandRun;

Result RunGfall(const std::string& args) {
  return test_util::RunCommand(std::string(GFALL_EXE) + " --headless " + args + " 2>/dev/null");
}

// The table: the generated pack when it was built, else the test table. A
// built pack that does not load fails the games (and BuiltPackLoads says
// why); it is never quietly replaced by the test table.
const std::string& Table() {
  static const std::string table = [] {
    if (std::filesystem::exists(std::filesystem::path(GFALL_DATA_DIR) / "GFALL.DAT")) {
      return std::string("--data ") + GFALL_DATA_DIR;
    }
    return std::string("--test-table");
  }();
  return table;
}
bool OnPack() { return Table() != "--test-table"; }

// A number or bool field of the printed JSON (the first one of that name).
std::string Field(const std::string& json, const std::string& name) {
  const std::regex re("\"" + name + "\":(-?[0-9.]+|true|false)");
  std::smatch m;
  return std::regex_search(json, m, re) ? m[1].str() : "";
}
long Num(const std::string& json, const std::string& name) {
  const std::string f = Field(json, name);
  return f.empty() ? -999999 : std::stol(f);
}

std::vector<long> Array(const std::string& json, const std::string& name) {
  std::vector<long> v;
  const std::string key = "\"" + name + "\":[";
  const size_t p = json.find(key);
  if (p == std::string::npos) return v;
  const size_t end = json.find(']', p);
  std::string body = json.substr(p + key.size(), end - p - key.size());
  for (size_t i = 0; i < body.size();) {
    const size_t c = body.find(',', i);
    v.push_back(std::stol(body.substr(i, c == std::string::npos ? c : c - i)));
    if (c == std::string::npos) break;
    i = c + 1;
  }
  return v;
}

struct Script {
  explicit Script(const std::string& text) {
    path = (std::filesystem::temp_directory_path() /
            ("gfall_e2e_" + std::to_string(getpid()) + "_" + std::to_string(++count) + ".txt"))
               .string();
    std::ofstream(path) << text;
  }
  ~Script() { std::filesystem::remove(path); }
  std::string path;
  static inline int count = 0;
};

// Presses Start for a second every four seconds, flips now and then.
std::string PlayerScript(int seconds) {
  std::string s = "# launch, flip, wait for the drain\n";
  for (int t = 0; t < seconds; t += 4) {
    const int ms = t * 1000;
    s += std::to_string(ms + 500) + " start down\n";
    s += std::to_string(ms + 1500) + " start up\n";
    s += std::to_string(ms + 2500) + " left down\n";
    s += std::to_string(ms + 2700) + " left up\n";
    s += std::to_string(ms + 3000) + " right down\n";
    s += std::to_string(ms + 3200) + " right up\n";
  }
  return s;
}

TEST(HeadlessGames, BuiltPackLoads) {
  if (!OnPack()) GTEST_SKIP() << "no GFALL.DAT was built";
  const Result r =
      test_util::RunCommand(std::string(GFALL_EXE) + " --headless " + Table() + " --frames 1 2>&1");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("gfall:"), std::string::npos) << r.out;  // not even a warning
}

TEST(HeadlessGames, AScriptedGameLaunchesDrainsAndEnds) {
  Script script(PlayerScript(1200));
  const Result r =
      RunGfall(Table() + " --input " + script.path + " --until-game-over --stats --seed 4");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(Field(r.out, "game_ended"), "true") << r.out.substr(0, 300);
  // Three balls, one more drain for each multiball, and at most one more for
  // each award (an EXTRA award is a shoot-again).
  const long multiballs = Num(r.out, "multiballs");
  EXPECT_GE(Num(r.out, "drains"), 3 + multiballs);
  EXPECT_LE(Num(r.out, "drains"), 3 + multiballs + Num(r.out, "awards"));
  EXPECT_GE(Num(r.out, "launches"), 3);
  EXPECT_EQ(Num(r.out, "cycles_left"), 0);
  // Every launch crosses the lane exit; a weak one that rolls back down the
  // shooter lane crosses it once more before it is launched again.
  EXPECT_GE(Num(r.out, "lane_exit"), Num(r.out, "launches"));
  EXPECT_LE(Num(r.out, "lane_exit"), 2 * Num(r.out, "launches"));
  EXPECT_EQ(Num(r.out, "stuck_balls"), 0);
  EXPECT_EQ(Num(r.out, "drains"),
            Num(r.out, "drains_left") + Num(r.out, "drains_centre") + Num(r.out, "drains_right"));
  EXPECT_EQ(Num(r.out, "awards"), Num(r.out, "awards_extra") + Num(r.out, "awards_double") +
                                      Num(r.out, "awards_special"));
}

TEST(HeadlessGames, TwoPlayersTakeTurns) {
  Script script(PlayerScript(1200));
  const std::string args = Table() + " --players 2 --input " + script.path + " --print-state";
  const Result whole = RunGfall(args + " --until-game-over");
  ASSERT_EQ(whole.status, 0);
  ASSERT_EQ(Field(whole.out, "game_ended"), "true");
  const long total = Num(whole.out, "frames");
  std::vector<long> turns;
  for (long f = 30; f < total; f += 30) {
    const Result r = RunGfall(args + " --frames " + std::to_string(f));
    const long p = Num(r.out, "current_player");
    if (turns.empty() || turns.back() != p) turns.push_back(p);
  }
  EXPECT_EQ(turns, (std::vector<long>{0, 1, 0, 1, 0, 1}));
}

TEST(HeadlessGames, WindowCommandsFromTheScript) {
  // 112 ends the game at once; 116 then starts the computer's game.
  Script script("2000 cmd 112\n3000 cmd 116\n");
  const Result r = RunGfall(Table() + " --input " + script.path + " --frames 400 --stats");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(Field(r.out, "game_ended"), "false");
  EXPECT_EQ(Num(r.out, "launches"), 1);
}

// Forty demonstration games: what each game must do, and the totals of what
// they reached together. (The rarest parts are reached in one game of five to
// ten, so twenty games could miss one by chance.)
struct DemoTotals {
  std::vector<long> hits = std::vector<long>(65, 0);
  std::vector<long> lanes = std::vector<long>(13, 0);
  long spins = 0, catches = 0;
  long gift_lit = 0, awards = 0;
  long earned[3] = {0, 0, 0};  // EXTRA, DOUBLE, SPECIAL
};

DemoTotals PlayFortyDemoGames() {
  DemoTotals t;
  for (int seed = 1; seed <= 40; ++seed) {
    const Result r =
        RunGfall(Table() + " --demo --until-game-over --stats --seed " + std::to_string(seed));
    EXPECT_EQ(r.status, 0) << seed;
    if (r.status != 0) continue;
    EXPECT_EQ(Field(r.out, "game_ended"), "true") << seed;
    EXPECT_LE(Num(r.out, "game_ms"), 60L * 60 * 1000) << seed;
    EXPECT_EQ(Num(r.out, "stuck_balls"), 0) << seed;
    // Three balls, plus one more drain for each multiball and shoot-again.
    EXPECT_GE(Num(r.out, "drains"), 3) << seed;
    EXPECT_EQ(Num(r.out, "cycles_left"), 0) << seed;
    const std::vector<long> h = Array(r.out, "object_hits");
    EXPECT_EQ(h.size(), 65u);
    for (size_t i = 0; i < h.size() && i < 65; ++i) t.hits[i] += h[i];
    t.spins += Num(r.out, "spinner_revolutions");
    t.catches += Num(r.out, "hole_catches");
    const char* names[13] = {"upper_e2",  "tree_t",   "tree_r",  "tree_e1", "tree_e2",
                             "santa_s",   "santa_a1", "santa_n", "santa_t", "santa_a2",
                             "lane_exit", "rlside",   "rgift"};
    for (int i = 0; i < 13; ++i) t.lanes[i] += Num(r.out, names[i]);
    t.gift_lit += Num(r.out, "gift_lit");
    const long awards = Num(r.out, "awards");
    EXPECT_EQ(awards, Num(r.out, "awards_extra") + Num(r.out, "awards_double") +
                          Num(r.out, "awards_special"))
        << seed;
    t.awards += awards;
    const char* earned[3] = {"earned_extra", "earned_double", "earned_special"};
    for (int i = 0; i < 3; ++i) t.earned[i] += Num(r.out, earned[i]);
  }
  return t;
}

TEST(HeadlessGames, DemoGamesEndWithoutStuckBalls) { PlayFortyDemoGames(); }

// Every bumper, the kicker, every drop target, the spinner, the hole, every
// TREE and SANTA lane, the side lane and the GIFT lane: parts the built-in
// test table does not have. The awards too: each kind is earned, the bank is
// cleared so GIFT lights, and awards are collected through the GIFT lane. (An
// award is collected in about one game in ten, SPECIAL in one game of sixty
// to a hundred, so collecting each kind is the scripted award game's check.)
TEST(HeadlessGames, FortyDemoGamesReachEveryScoringPart) {
  if (!OnPack()) GTEST_SKIP() << "the built-in test table has none of these parts";
  const DemoTotals t = PlayFortyDemoGames();
  for (int row = 0; row <= 10; ++row) EXPECT_GT(t.hits[row], 0) << "row " << row;
  for (int row = 56; row <= 59; ++row) EXPECT_GT(t.hits[row], 0) << "row " << row;
  EXPECT_GT(t.spins, 0);
  EXPECT_GT(t.catches, 0);
  for (size_t i = 1; i <= 9; ++i) EXPECT_GT(t.lanes[i], 0) << "lane " << i;
  EXPECT_GT(t.lanes[11], 0) << "the side lane";
  EXPECT_GT(t.lanes[12], 0) << "the GIFT lane";
  EXPECT_GT(t.gift_lit, 0) << "the bank was never cleared";
  EXPECT_GT(t.earned[0], 0) << "EXTRA never earned";
  EXPECT_GT(t.earned[1], 0) << "DOUBLE never earned";
  EXPECT_GT(t.earned[2], 0) << "SPECIAL never earned";
  EXPECT_GT(t.awards, 0) << "no award collected";
}

TEST(HeadlessGames, TheSameSeedPrintsTheSameState) {
  Script script(PlayerScript(60));
  const std::string args =
      Table() + " --input " + script.path + " --frames 3000 --print-state --stats --seed 77";
  const Result a = RunGfall(args);
  const Result b = RunGfall(args);
  ASSERT_EQ(a.status, 0);
  EXPECT_FALSE(a.out.empty());
  EXPECT_EQ(a.out, b.out);
  const Result demo_a =
      RunGfall(Table() + " --demo --players 3 --until-game-over --print-state --seed 9");
  const Result demo_b =
      RunGfall(Table() + " --demo --players 3 --until-game-over --print-state --seed 9");
  EXPECT_EQ(demo_a.out, demo_b.out);
  EXPECT_NE(demo_a.out.find("\"game_ended\":true"), std::string::npos);
}

}  // namespace
