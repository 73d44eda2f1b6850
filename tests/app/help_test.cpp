#include "app/help.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace app {
namespace {

TEST(HelpUrl, FindsThePageAndKeepsTheAnchor) {
  std::set<std::string> files = {"/usr/share/gfall/help/index.htm",
                                 "/usr/share/gfall/help/Instruction.htm",
                                 "/my data/help/Settings.htm"};
  auto exists = [&](const std::string& p) { return files.count(p) > 0; };
  std::vector<std::string> folders = {"/my data/help", "/usr/share/gfall/help/"};
  EXPECT_EQ(HelpUrl(folders, "", exists), "file:///usr/share/gfall/help/index.htm");
  EXPECT_EQ(HelpUrl(folders, kHelpSettings, exists), "file:///my%20data/help/Settings.htm");
  EXPECT_EQ(HelpUrl(folders, kHelpHighScores, exists),
            "file:///usr/share/gfall/help/Instruction.htm#High_Scores");
  EXPECT_EQ(HelpUrl(folders, kHelpControls, exists), "");  // no such page anywhere
  EXPECT_EQ(HelpUrl(folders, "::/../../etc/passwd", exists), "");
  EXPECT_EQ(HelpUrl({"relative/help"}, "", [](const std::string&) { return true; }), "");
}

TEST(HelpUrl, EveryOddByteOfTheFolderIsPercentEncoded) {
  auto yes = [](const std::string&) { return true; };
  const struct {
    std::string folder;
    std::string url;
  } cases[] = {
      {"/a b", "file:///a%20b/index.htm"},
      {"/a#b?c%d", "file:///a%23b%3Fc%25d/index.htm"},
      {"/x\"y'<z>", "file:///x%22y%27%3Cz%3E/index.htm"},
      {"/\xC3\xA9t\xC3\xA9", "file:///%C3%A9t%C3%A9/index.htm"},
      {"/tab\there\n", "file:///tab%09here%0A/index.htm"},
      {"/keep-these_.~/ok", "file:///keep-these_.~/ok/index.htm"},
  };
  for (const auto& c : cases) EXPECT_EQ(HelpUrl({c.folder}, "", yes), c.url) << c.folder;
}

TEST(HelpUrl, TheShippedPagesHaveEveryTopic) {
  const std::string dir = std::string(GFALL_SOURCE_DIR) + "/table/help";
  auto exists = [](const std::string& p) { return std::filesystem::is_regular_file(p); };
  for (std::string_view topic :
       {std::string_view{}, kHelpControls, kHelpSettings, kHelpHighScores}) {
    EXPECT_FALSE(HelpUrl({dir}, topic, exists).empty()) << topic;
  }
}

}  // namespace
}  // namespace app
