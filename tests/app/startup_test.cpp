#include "app/startup.h"

#include <gtest/gtest.h>

#include <set>

namespace app {
namespace {

TEST(ScanSwitches, UnderstandsSlashZeroAndSlashR) {
  struct Case {
    const char* line;
    int safe, skip;
  } cases[] = {
      {"", 0, 0},    {"/0", 1, 0},   {"/R", 0, 1},   {"/0R", 1, 1}, {"/0 /R", 1, 1}, {"/r", 0, 0},
      {"/R0", 0, 1}, {"-0 R", 0, 0}, {"x/0y", 1, 0}, {"/", 0, 0},   {"//R", 0, 1},   {"/1R", 0, 0},
  };
  for (const Case& c : cases) {
    Switches s = ScanSwitches(c.line);
    EXPECT_EQ(s.safe_mode, c.safe) << c.line;
    EXPECT_EQ(s.skip_instance_check, c.skip) << c.line;
  }
  VideoChoice v{2, 3};
  ApplySafeMode(ScanSwitches("/0"), v);
  EXPECT_EQ(v.resolution, 0);
  EXPECT_EQ(v.depth, 0);
}

TEST(FindDataFolder, TakesTheFirstPlaceHoldingThePack) {
  std::set<std::string> files;
  auto exists = [&](const std::string& p) { return files.count(p) > 0; };
  DataFolderPlaces p{"", "/cwd", "/opt/gfall/bin", "/usr/share/gfall"};
  EXPECT_FALSE(FindDataFolder(p, "GFALL.DAT", exists));
  files = {"/usr/share/gfall/GFALL.DAT"};
  EXPECT_EQ(FindDataFolder(p, "GFALL.DAT", exists), "/usr/share/gfall");
  files.insert("/opt/gfall/bin/GFALL.DAT");
  EXPECT_EQ(FindDataFolder(p, "GFALL.DAT", exists), "/opt/gfall/bin");
  files.insert("/cwd/GFALL.DAT");
  EXPECT_EQ(FindDataFolder(p, "GFALL.DAT", exists), "/cwd");
  // The environment names the one place to look.
  p.environment = "/elsewhere/";
  EXPECT_FALSE(FindDataFolder(p, "GFALL.DAT", exists));
  files.insert("/elsewhere/GFALL.DAT");
  EXPECT_EQ(FindDataFolder(p, "GFALL.DAT", exists), "/elsewhere/");
}

}  // namespace
}  // namespace app
