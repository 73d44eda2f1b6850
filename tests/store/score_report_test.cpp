#include "store/score_report.h"

#include <gtest/gtest.h>

#include <vector>

namespace store {
namespace {

struct RecordingOpener : UrlOpener {
  bool succeed = true;
  std::vector<std::string> urls;
  bool OpenUrl(const std::string& url) override {
    urls.push_back(url);
    return succeed;
  }
};

ScoreReport Report(int32_t score, uint32_t user, std::string owner, std::string player) {
  ScoreReport r;
  r.score = score;
  r.user = user;
  r.owner = std::move(owner);
  r.player = std::move(player);
  return r;
}

TEST(ScoreReport, FoldChecksumAndKeystream) {
  EXPECT_EQ(FoldChecksum({}), 0x84C7F05Du);
  const uint8_t zero[] = {0};
  EXPECT_EQ(FoldChecksum(zero), 0x31fc1761u);
  const uint8_t some[] = {0x01, 0xFF, 0x10};
  EXPECT_EQ(FoldChecksum(some), 0xacc0b890u);
  EXPECT_EQ(KeystreamByte(5, 0x11223344u), 0x1F);
  EXPECT_EQ(KeystreamByte(99, 0xDEADBEEFu), 0xBD);
}

TEST(ScoreReport, EncodesKnownReports) {
  auto a = Report(123456, 0x01020304u, "", "Ada");
  EXPECT_EQ(
      EncodeReport(a, 0xCAFEF00Du),
      "LBJ8L67SREYSJUMGWF7UHP7PK6H1DC4PA1LX9ZMBRP9BL5KXDSTEWNYQHGWQT8VEME7S2UAGKQ2G76RSYXJ14CDP"
      "VB4PJFH17PMBK5LX21KXMZ9BJGYQV8TE4SVEYNWQL5AFRP7C9ZRCA12FT8D6HGJUDZWFWP46AULN9EM8R698LQKN"
      "DN9ZABD1VGYCHG26K1ME9B2QLQKG4GVU");
  auto b = Report(-5, 7, "Owner", "Bartholomew99");
  EXPECT_EQ(
      EncodeReport(b, ReportKey(1000)),
      "TSTB2GAC4QL14ED5MCV576YX7UTS2XA89PREY1W6L1AQVPTULP78JPLUMFDBKGLC2QK1DE457EMPHQJZ4BVSAX28"
      "JXYGRB7NK12QTPVUMP7EW1Y6VS4BLGKCYGJX9SMFRZ96J5HEA5LU4ZDQHNWF78RX75H6HBLNKCD8DFLSKFRNL1T1"
      "H5HXR8VGLF7N95DSHGJX4GVNRE7PA8LX");
}

TEST(ScoreReport, TextIs208CharactersFromTheTwoTablesEndingInThePlainKey) {
  for (uint32_t key : {0u, 0xFFFFFFFFu, 0x6D19B2C4u, 0x01234567u}) {
    auto r = Report(98765, 42, "owner", "Player 1");
    const std::string text = EncodeReport(r, key);
    ASSERT_EQ(text.size(), 208u);
    for (size_t i = 0; i < text.size(); i += 2) {
      EXPECT_NE(kLowNibbleDigits.find(text[i]), std::string_view::npos) << i;
      EXPECT_NE(kHighNibbleDigits.find(text[i + 1]), std::string_view::npos) << i;
    }
    std::string key_text;
    for (int i = 0; i < 4; ++i) {
      const uint8_t b = static_cast<uint8_t>(key >> (8 * i));
      key_text += kLowNibbleDigits[b & 15];
      key_text += kHighNibbleDigits[b >> 4];
    }
    EXPECT_EQ(text.substr(200), key_text);
  }
}

TEST(ScoreReport, TwoReportsOfOneScoreAMomentApartDiffer) {
  auto a = Report(5000, 1, "", "Ada");
  auto b = a;
  EXPECT_NE(EncodeReport(a, ReportKey(100000)), EncodeReport(b, ReportKey(100001)));
}

TEST(ScoreReport, DecodingRecoversBytesWhoseFourCheckValuesVerify) {
  auto r = Report(2500000, 0xDEADBEEFu, std::string(60, 'o'), "TenLetters");
  const std::string text = EncodeReport(r, ReportKey(123456789));
  const auto d = DecodeReport(text);
  ASSERT_TRUE(d.has_value());
  EXPECT_TRUE(d->score_crc_ok);
  EXPECT_TRUE(d->owner_crc_ok);
  EXPECT_TRUE(d->fold_ok);
  EXPECT_TRUE(d->crc_ok);
  EXPECT_EQ(d->report.score, 2500000);
  EXPECT_EQ(d->report.user, 0xDEADBEEFu);
  EXPECT_EQ(d->report.version, 130);
  EXPECT_EQ(d->report.owner, std::string(51, 'o'));
  EXPECT_EQ(d->report.player, "TenLetters");  // ten characters arrive whole
  EXPECT_EQ(d->report.key, ReportKey(123456789));
  EXPECT_EQ(d->bytes[75], 0);
  EXPECT_EQ(d->bytes[87], 0);
  for (size_t i = 16; i < 24; ++i) EXPECT_EQ(d->bytes[i], 0) << i;

  auto longer = Report(1, 0, "", "TwelveLetter");
  const auto d2 = DecodeReport(EncodeReport(longer, 9));
  ASSERT_TRUE(d2);
  EXPECT_EQ(d2->report.player, "TwelveLette");
  EXPECT_EQ(d2->bytes[87], 0);
}

TEST(ScoreReport, DecodingNoticesDamage) {
  auto r = Report(4000, 3, "", "Ada");
  const std::string text = EncodeReport(r, 77);
  // Any change to a scrambled byte breaks at least the overall CRC.
  for (size_t at : {0u, 10u, 61u, 160u, 199u}) {
    const std::string_view table = at % 2 ? kHighNibbleDigits : kLowNibbleDigits;
    std::string bad = text;
    bad[at] = table[(table.find(bad[at]) + 1) % 16];
    const auto d = DecodeReport(bad);
    ASSERT_TRUE(d) << at;
    EXPECT_FALSE(d->all_ok()) << at;
  }
  EXPECT_FALSE(DecodeReport(text.substr(1)));
  std::string foreign = text;
  foreign[0] = 'a';
  EXPECT_FALSE(DecodeReport(foreign));
  std::string swapped = text;
  swapped[1] = 'W';  // a low-table digit where a high one belongs
  EXPECT_FALSE(DecodeReport(swapped));
}

TEST(ScoreReport, AddressAndServer) {
  EXPECT_EQ(ScoreServerFrom(nullptr), BuildScoreServerUrl());
  EXPECT_EQ(ScoreServerFrom(""), BuildScoreServerUrl());
  EXPECT_EQ(ScoreServerFrom("http://localhost:8080"), "http://localhost:8080");
  EXPECT_EQ(ReportAddress("http://h", "TEXT"), "http://h/hico.php?tt=gf&sc=TEXT");
  EXPECT_EQ(ReportAddress("http://h/", "TEXT"), "http://h/hico.php?tt=gf&sc=TEXT");
}

TEST(ScoreReport, SubmitOpensTheReportAddress) {
  RecordingOpener opener;
  ReportSender sender;
  sender.server = "http://scores.test";
  sender.user = 0x6353f100u;
  const std::string url = SubmitScore(sender, 777000, "Ada", 5000, opener);
  ASSERT_EQ(opener.urls.size(), 1u);
  EXPECT_EQ(url, opener.urls[0]);
  const std::string prefix = "http://scores.test/hico.php?tt=gf&sc=";
  ASSERT_EQ(url.substr(0, prefix.size()), prefix);
  const auto d = DecodeReport(std::string_view(url).substr(prefix.size()));
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->all_ok());
  EXPECT_EQ(d->report.score, 777000);
  EXPECT_EQ(d->report.user, 0x6353f100u);
  EXPECT_EQ(d->report.owner, "");
  EXPECT_EQ(d->report.player, "Ada");
  EXPECT_EQ(d->report.key, 5000u ^ 0x6D19B2C4u);

  opener.succeed = false;
  EXPECT_EQ(SubmitScore(sender, 1, "Ada", 1, opener), "");
}

}  // namespace
}  // namespace store
