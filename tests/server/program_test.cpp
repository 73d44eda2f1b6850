// gfall-server as a program: its options, its start-up failures and its stop.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "process.h"
#include "server_fixture.h"

namespace server_test {
namespace {

TEST(ServerProgram, OptionsAndStartUpFailures) {
  const auto dir = MakeTempDir("gfall_prog");
  const std::string exe = GFALL_SERVER_EXE;
  ShellRun r = Shell(exe + " --version");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("gfall-server 1."), std::string::npos) << r.out;
  r = Shell(exe + " --help");
  EXPECT_EQ(r.status, 0);
  for (const char* opt : {"--listen", "--db", "--rate-limit"})
    EXPECT_NE(r.out.find(opt), std::string::npos) << opt;

  struct Case {
    std::string args;
    int status;  // -1: any failure (the option parser's own codes)
    const char* says;
  };
  std::ofstream(dir / "a-file") << "not a folder";
  const std::string db = " --db sqlite:" + (dir / "s.sqlite").string();
  const Case cases[] = {
      {"--listen 8087" + db, 2, "HOST:PORT"},
      {"--listen 127.0.0.1:70000" + db, 2, "HOST:PORT"},
      {"--listen ::1:8087" + db, 2, "HOST:PORT"},
      {"--rate-limit -1" + db, -1, "rate-limit"},
      {"--listen 127.0.0.1:0 --db sqlite:" + (dir / "a-file" / "s.sqlite").string(), 1,
       "cannot open"},
      {"--listen 127.0.0.1:0 --db postgresql:///x?host=" + (dir / "nowhere").string(), 1,
       "postgresql"},
  };
  for (const auto& c : cases) {
    r = Shell(exe + " " + c.args);
    if (c.status < 0) {
      EXPECT_NE(r.status, 0) << c.args << "\n" << r.out;
    } else {
      EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
    }
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << "\n" << r.out;
  }

  // The default database lives under $XDG_DATA_HOME; SIGINT stops the server cleanly.
  setenv("XDG_DATA_HOME", (dir / "xdg").c_str(), 1);
  {
    ServerProcess s({}, dir / "log");
    ASSERT_GT(s.port(), 0) << s.log();
    EXPECT_TRUE(std::filesystem::exists(dir / "xdg" / "gfall" / "scores.sqlite"));
    EXPECT_EQ(s.Stop(SIGINT), 0) << s.log();
  }
  unsetenv("XDG_DATA_HOME");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace server_test
