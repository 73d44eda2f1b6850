// The checks a score server makes on a report, each broken in turn.

#include "store/report_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

#include "report_fixture.h"

namespace server_test {
namespace {

using store::CheckReport;
using store::ReportFault;

TEST(ReportCheck, TheGamesOwnReportPasses) {
  store::ScoreReport r;
  r.score = 2'000'000'000;
  r.user = 0xFFFFFFFFu;
  r.owner = std::string(51, 'o');
  r.player = "Ten Chars!";
  const auto c = CheckReport(store::EncodeReport(r, 0xDEADBEEFu));
  ASSERT_TRUE(c.ok()) << store::ReportFaultText(c.fault);
  EXPECT_EQ(c.decoded->report.score, 2'000'000'000);
  EXPECT_EQ(c.decoded->report.player, "Ten Chars!");
  EXPECT_EQ(c.decoded->report.owner, std::string(51, 'o'));
  EXPECT_TRUE(CheckReport(Report(0, "")).ok());  // a zero score and an empty name are no fault
}

TEST(ReportCheck, TamperedReportsAreRefusedForTheirFault) {
  struct Case {
    const char* what;
    std::function<std::string()> make;
    ReportFault fault;
  };
  auto changed = [](std::function<void(Bytes&)> f, size_t reseal_from) {
    return [f, reseal_from] {
      Bytes b = Plain(5000, "Ada");
      f(b);
      if (reseal_from) Reseal(b, reseal_from);
      return Text(b);
    };
  };
  const Case cases[] = {
      {"score check", changed([](Bytes& b) { b[8] ^= 1; }, 92), ReportFault::kScoreCheck},
      {"score changed, its check kept", changed([](Bytes& b) { b[0] ^= 1; }, 88),
       ReportFault::kScoreCheck},
      {"owner check", changed([](Bytes& b) { b[88] ^= 0x80; }, 92), ReportFault::kOwnerCheck},
      {"owner changed, its check kept", changed([](Bytes& b) { b[30] = 'x'; }, 92),
       ReportFault::kOwnerCheck},
      {"fold", changed([](Bytes& b) { b[92] ^= 4; }, 96), ReportFault::kFoldCheck},
      {"whole-report CRC", changed([](Bytes& b) { b[97] ^= 2; }, 0), ReportFault::kReportCheck},
      {"version 131", changed([](Bytes& b) { b[12] = 131; }, 8), ReportFault::kVersion},
      {"reserved word set", changed([](Bytes& b) { b[20] = 1; }, 8), ReportFault::kReservedNotZero},
      {"owner fills its field", changed([](Bytes& b) { std::fill_n(&b[24], 52, 'o'); }, 8),
       ReportFault::kOwnerUnterminated},
      {"bytes after the owner's zero", changed([](Bytes& b) { b[70] = 'z'; }, 8),
       ReportFault::kOwnerUnterminated},
      {"player fills its field", changed([](Bytes& b) { std::fill_n(&b[76], 12, 'p'); }, 8),
       ReportFault::kPlayerUnterminated},
      {"negative score", changed([](Bytes& b) { Put32(b, 0, static_cast<uint32_t>(-5)); }, 8),
       ReportFault::kNegativeScore},
      {"tab in the player name", changed([](Bytes& b) { b[77] = '\t'; }, 8),
       ReportFault::kControlCharacter},
      {"DEL in the owner name", changed([](Bytes& b) { b[24] = 0x7F; }, 8),
       ReportFault::kControlCharacter},
      {"C1 control in the player name",
       changed(
           [](Bytes& b) {
             b[79] = 0xC2;
             b[80] = 0x85;
           },
           8),
       ReportFault::kControlCharacter},
      {"short text", [] { return Report(5000, "Ada").substr(0, 206); }, ReportFault::kLength},
      {"long text", [] { return Report(5000, "Ada") + "KQ"; }, ReportFault::kLength},
      {"empty", [] { return std::string(); }, ReportFault::kLength},
      {"lower case",
       [] {
         std::string t = Report(5000, "Ada");
         std::transform(t.begin(), t.end(), t.begin(), [](char c) {
           return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
         });
         return t;
       },
       ReportFault::kCharacter},
      {"high-table digit in a low place",
       [] {
         std::string t = Report(5000, "Ada");
         t[4] = 'Q';  // in the high table only
         return t;
       },
       ReportFault::kCharacter},
  };
  for (const auto& c : cases) {
    const auto got = CheckReport(c.make());
    EXPECT_EQ(got.fault, c.fault) << c.what << ": " << store::ReportFaultText(got.fault);
  }
}

TEST(ReportCheck, AnyFlippedScrambledCharacterIsRefused) {
  const std::string good = Report(777, "Bo", 3, 0x01020304);
  for (size_t at = 0; at < 2 * store::kReportScrambled; ++at) {
    const std::string_view table = at % 2 ? store::kHighNibbleDigits : store::kLowNibbleDigits;
    std::string bad = good;
    bad[at] = table[(table.find(bad[at]) + 5) % 16];
    EXPECT_FALSE(CheckReport(bad).ok()) << "character " << at;
  }
}

}  // namespace
}  // namespace server_test
