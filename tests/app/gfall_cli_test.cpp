// Runs the gfall program as a player would start it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Result {
  int status = -1;
  std::string out;
};

Result RunGfall(const std::string& args) {
  Result r;
  std::string cmd = std::string(GFALL_EXE) + " " + args + " 2>&1";
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
  Result a = RunGfall("--headless --frames 120 --seed 5");
  Result b = RunGfall("--headless --frames 120 --seed 5");
  Result c = RunGfall("--headless --frames 120 --seed 6");
  ASSERT_EQ(a.status, 0) << a.out;
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out, c.out);
  EXPECT_NE(a.out.find("frames 120, steps "), std::string::npos) << a.out;
  EXPECT_NE(a.out.find("ball 0: in play"), std::string::npos) << a.out;
}

TEST(GfallCli, WithoutHeadlessSaysSoAndRuns) {
  Result r = RunGfall("--frames 10");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("not built yet"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("ball 0:"), std::string::npos) << r.out;
}

TEST(GfallCli, HelpAndBadArguments) {
  Result help = RunGfall("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: gfall"), std::string::npos);
  for (const char* bad : {"--frames", "--frames -3", "--seed x", "--bogus", "--fps 0"}) {
    EXPECT_EQ(RunGfall(bad).status, 1) << bad;
  }
}

}  // namespace
