// Runs the gfall program as a player would start it.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct Result {
  int status = -1;
  std::string out;
};

Result RunGfall(const std::string& args, const std::string& prefix = "") {
  Result r;
  std::string cmd = prefix + std::string(GFALL_EXE) + " " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

TEST(GfallCli, HeadlessRunIsRepeatableAndSeeded) {
  const std::string base = "--headless --test-table --demo --frames 400 --print-state --seed ";
  Result a = RunGfall(base + "5");
  Result b = RunGfall(base + "5");
  Result c = RunGfall(base + "6");
  ASSERT_EQ(a.status, 0) << a.out;
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out, c.out);
  EXPECT_NE(a.out.find("{\"frames\":400,"), std::string::npos) << a.out;
}

// A batch plays one whole game per seed in one process: each line is the
// game that seed plays alone, led by its seed; with the pack (read once) too.
TEST(GfallCli, ABatchOfSeedsPlaysEachGameAsASingleRunWould) {
  const std::filesystem::path dir = std::filesystem::path(GFALL_EXE).parent_path();
  const bool pack = std::filesystem::exists(dir / "GFALL.DAT");
  for (const std::string& table : {std::string("--test-table"), "--data " + dir.string()}) {
    if (table != "--test-table" && !pack) continue;
    SCOPED_TRACE(table);
    const std::string base = "--headless --demo --print-state " + table;
    Result batch = RunGfall(base + " --seeds 7-9");
    ASSERT_EQ(batch.status, 0) << batch.out;
    std::string want;
    for (int seed = 7; seed <= 9; ++seed) {
      Result one = RunGfall(base + " --until-game-over --seed " + std::to_string(seed));
      ASSERT_EQ(one.status, 0) << one.out;
      ASSERT_EQ(one.out.rfind("{", 0), 0u) << one.out;
      want += "{\"seed\":" + std::to_string(seed) + "," + one.out.substr(1);
    }
    EXPECT_EQ(batch.out, want);
    EXPECT_NE(batch.out.find("\"game_ended\":true"), std::string::npos);
  }
  // --frames still bounds each game.
  Result short_games = RunGfall(
      "--headless --demo --test-table --print-state --frames 5 "
      "--seeds 1-2");
  ASSERT_EQ(short_games.status, 0) << short_games.out;
  EXPECT_NE(short_games.out.find("{\"seed\":1,\"frames\":5,"), std::string::npos)
      << short_games.out;
  EXPECT_NE(short_games.out.find("{\"seed\":2,\"frames\":5,"), std::string::npos);
}

TEST(GfallCli, WithoutADisplayItSaysSoAndFails) {
  // The display opens after the pack is found: this needs the built pack beside gfall.
  const std::filesystem::path pack = std::filesystem::path(GFALL_EXE).parent_path() / "GFALL.DAT";
  if (!std::filesystem::exists(pack)) GTEST_SKIP() << "no " << pack;
  // Its own game-data folder, so another copy running on the machine cannot
  // answer first with "another copy is running".
  const std::filesystem::path config =
      std::filesystem::path(testing::TempDir()) / ("gfall_nodisplay_" + std::to_string(getpid()));
  Result r = RunGfall("--frames 10 --config-dir " + config.string(),
                      "env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 ");
  std::filesystem::remove_all(config);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("cannot open the display"), std::string::npos) << r.out;
}

TEST(GfallCli, MissingPackIsAnError) {
  Result r = RunGfall("--headless --data /nonexistent-folder --frames 1");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("GFALL.DAT"), std::string::npos) << r.out;
}

// With no home folder the front end still plays: no lock, no saving, both said.
TEST(GfallCli, WithoutAHomeFolderTheGameSaysSoAndPlays) {
  Result r = RunGfall("--headless --test-table --menus --frames 30 --print-state",
                      "env -u HOME -u XDG_DATA_HOME -u XDG_RUNTIME_DIR ");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("gfall: no usable home folder (HOME is not set); running without the "
                       "single-instance lock\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("gfall: There is no folder for the game data file"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"saving\":false"), std::string::npos) << r.out;
  EXPECT_FALSE(std::filesystem::exists("/gfall.lock"));
}

TEST(GfallCli, HelpAndBadArguments) {
  Result help = RunGfall("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: gfall"), std::string::npos);
  for (const char* bad :
       {"--frames", "--frames -3", "--seed x", "--bogus", "--frame-ms 0", "--players 5",
        "--players 0", "--players 1.5", "--data",
        "--headless --test-table --input /nonexistent-script", "--headless --test-table --seeds 5",
        "--headless --test-table --seeds 9-3", "--headless --test-table --seeds 1-x",
        "--headless --seeds -4", "--headless --test-table --seeds 1-2 --seed 3",
        "--headless --test-table --menus --seeds 1-2", "--play --seeds 1-2"}) {
    EXPECT_EQ(RunGfall(bad).status, 1) << bad;
  }
}

}  // namespace
