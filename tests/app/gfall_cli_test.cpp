// Runs the gfall program as a player would start it.

#include <gtest/gtest.h>
#include <sys/wait.h>

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

TEST(GfallCli, WithoutADisplayItSaysSoAndFails) {
  // The display opens after the pack is found: this needs the built pack beside gfall.
  const std::filesystem::path pack = std::filesystem::path(GFALL_EXE).parent_path() / "GFALL.DAT";
  if (!std::filesystem::exists(pack)) GTEST_SKIP() << "no " << pack;
  Result r = RunGfall("--frames 10", "env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 ");
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
  for (const char* bad : {"--frames", "--frames -3", "--seed x", "--bogus", "--frame-ms 0",
                          "--players 5", "--players 0", "--players 1.5", "--data",
                          "--headless --test-table --input /nonexistent-script"}) {
    EXPECT_EQ(RunGfall(bad).status, 1) << bad;
  }
}

}  // namespace
