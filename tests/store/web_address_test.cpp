#include "store/web_address.h"

#include <gtest/gtest.h>

#include "store/score_report.h"

namespace store {
namespace {

TEST(WebAddress, OnlyHttpAndHttpsAddressesServeScores) {
  const struct {
    const char* env;
    bool used;
  } cases[] = {
      {"http://localhost:8080", true},
      {"https://scores.example.org/base/", true},
      {"HTTPS://Scores.Example.org", true},
      {"ftp://scores.example.org", false},
      {"javascript:alert(1)", false},
      {"file:///etc/passwd", false},
      {"scores.example.org", false},
      {"http://", false},
      {"http:///path", false},
      {"http://user@evil.example", false},
      {"http://a b", false},
      {"http://a\"b", false},
      {"http://a\nb", false},
      {"https://x/<script>", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.env);
    EXPECT_EQ(IsWebAddress(c.env), c.used);
    EXPECT_EQ(ScoreServerFrom(c.env),
              c.used ? std::string(c.env) : std::string(store::BuildScoreServerUrl()));
    EXPECT_EQ(ScoreServerProblem(c.env).empty(), c.used);
  }
  EXPECT_EQ(ScoreServerProblem(nullptr), "");
  EXPECT_EQ(ScoreServerProblem(""), "");
  EXPECT_NE(ScoreServerProblem("ftp://x").find("GFALL_SCORE_SERVER"), std::string::npos);
}

// The report's player field holds at most 11 bytes: a name is cut there, never
// inside a character.
TEST(WebAddress, TheReportCutsANameOnACharacterBoundary) {
  struct Opener : UrlOpener {
    bool OpenUrl(const std::string& url) override {
      last = url;
      return true;
    }
    std::string last;
  };
  const struct {
    std::string name;
    std::string sent;
  } cases[] = {
      {"abcdefghijk", "abcdefghijk"},
      {"abcdefghijkl", "abcdefghijk"},
      {"abcdefghij\xC3\xA9", "abcdefghij"},         // é would straddle byte 11
      {"abcdefghi\xC3\xA9x", "abcdefghi\xC3\xA9"},  // é ends at byte 11
      {"\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Opener opener;
    ReportSender sender;
    sender.server = "http://scores.test";
    SubmitScore(sender, 1000, c.name, 5000, opener);
    const std::string text = opener.last.substr(opener.last.find("sc=") + 3);
    const auto decoded = DecodeReport(text);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->report.player, c.sent);
  }
}

}  // namespace
}  // namespace store
