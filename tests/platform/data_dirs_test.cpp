#include "platform/data_dirs.h"

#include <gtest/gtest.h>

#include <set>

namespace platform {
namespace {

using Folders = std::vector<std::string>;

DataSearchInputs Inputs() {
  DataSearchInputs in;
  in.exe_dir = "/opt/game/bin";
  in.data_from_bin = "../share/gfall";
  in.home = "/home/p";
  in.current_dir = "/work";
  in.install_dir = "/usr/local/share/gfall";
  return in;
}

TEST(DataFolderSearch, OrdersTheProgramsInstallThenTheFoldersAtHandThenXdg) {
  struct Case {
    const char* what;
    DataSearchInputs in;
    Folders want;
  };
  DataSearchInputs env = Inputs();
  env.environment = "/given";
  DataSearchInputs xdg = Inputs();
  xdg.xdg_data_home = "/d/home";
  // Empty entries, relative ones and repeats are left out.
  xdg.xdg_data_dirs = "/a:relative/b::/c/:/a";
  DataSearchInputs bare;  // no /proc, no HOME: only the defaults
  DataSearchInputs same = Inputs();
  same.exe_dir = "/usr/local/bin";
  same.current_dir = "/usr/share/gfall";
  const Case cases[] = {
      {"GFALL_DATA alone", env, {"/given"}},
      {"defaults",
       Inputs(),
       {"/opt/game/share/gfall", "/work", "/opt/game/bin", "/home/p/.local/share/gfall",
        "/usr/local/share/gfall", "/usr/share/gfall"}},
      {"XDG variables",
       xdg,
       {"/opt/game/share/gfall", "/work", "/opt/game/bin", "/d/home/gfall", "/a/gfall", "/c/gfall",
        "/usr/local/share/gfall"}},
      {"nothing known", bare, {"/usr/local/share/gfall", "/usr/share/gfall"}},
      {"repeats once",
       same,
       {"/usr/local/share/gfall", "/usr/share/gfall", "/usr/local/bin",
        "/home/p/.local/share/gfall"}},
  };
  for (const Case& c : cases) EXPECT_EQ(DataFolderSearch(c.in), c.want) << c.what;
}

TEST(DataFolderSearch, FindsTheFirstFolderHoldingTheFileAndListsTheRest) {
  std::set<std::string> files;
  auto exists = [&](const std::string& p) { return files.count(p) > 0; };
  const Folders folders = {"/moved/share/gfall", "/moved/bin", "/usr/share/gfall/", ""};
  EXPECT_FALSE(FirstFolderHolding(folders, "GFALL.DAT", exists));
  files = {"/usr/share/gfall/GFALL.DAT", "/moved/bin/other"};
  EXPECT_EQ(FirstFolderHolding(folders, "GFALL.DAT", exists), "/usr/share/gfall/");
  files.insert("/moved/share/gfall/GFALL.DAT");
  EXPECT_EQ(FirstFolderHolding(folders, "GFALL.DAT", exists), "/moved/share/gfall");

  EXPECT_EQ(ListForMessage({}), "");
  EXPECT_EQ(ListForMessage({"/a"}), "/a");
  EXPECT_EQ(ListForMessage({"/a", "/b", "/c"}), "/a, /b and /c");
}

}  // namespace
}  // namespace platform
