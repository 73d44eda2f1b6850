// The gftool commands that read game data files and score reports.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "store/game_data.h"
#include "store/score_report.h"
#include "store/temp_dir.h"
#include "test_files.h"

namespace store {
namespace {

using store_test::ReadAll;
using store_test::TempDir;
using store_test::WriteAll;

using ToolRun = test_util::CommandRun;

ToolRun Gftool(const std::string& args) { return test_util::RunGftool(args); }

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class GftoolStore : public testing::Test {
 protected:
  void SetUp() override {
    GameData d;
    d.settings.player_id = 0x6353f100;
    d.player_names[1] = "Brook\x1b[2J";
    InsertScore(d.high_scores, 1234567, "Ada");
    InsertScore(d.high_scores, 5000, "Brook");
    file_ = GameDataPath(dir_.path());
    ASSERT_TRUE(SaveGameData(file_, d));
  }
  TempDir dir_;
  std::filesystem::path file_;
};

TEST_F(GftoolStore, ScoresShowsAnAcceptedFile) {
  const ToolRun r = Gftool("scores " + file_.string());
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "player id       0x6353F100")) << r.out;
  EXPECT_TRUE(Has(r.out, "Left Flipper      keyboard code 0x2A")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"Brook\\x1B[2J\"")) << "control bytes are escaped\n" << r.out;
  EXPECT_TRUE(Has(r.out, " 1. \"Ada\"            1,234,567  valid")) << r.out;
  EXPECT_TRUE(Has(r.out, "accepted")) << r.out;
}

TEST_F(GftoolStore, ScoresNamesTheFirstCheckARefusedFileFails) {
  auto b = ReadAll(file_);
  b[620 + 104] = 'b';  // row 2's name edited by hand
  b[20] = 3;           // and a resolution out of range, checked first
  WriteAll(file_, b);
  ToolRun r = Gftool("scores " + file_.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out, "refused: resolution outside 0-2")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"brook\"" + std::string(14, ' ') + "5,000  INVALID")) << r.out;

  b[20] = 2;
  WriteAll(file_, b);
  r = Gftool("scores " + file_.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out, "refused: high-score row 2 fails its check values")) << r.out;

  b.resize(1660);
  WriteAll(file_, b);
  r = Gftool("scores " + file_.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out, "shorter than 1676 bytes")) << r.out;
}

TEST(GftoolReport, EncodeAndDecode) {
  ToolRun enc = Gftool("report-encode --score 123456 --name Ada --key 0xCAFEF00D --user 16909060");
  ASSERT_EQ(enc.status, 0) << enc.out;
  const std::string text = enc.out.substr(0, enc.out.find('\n'));
  ASSERT_EQ(text.size(), kReportTextSize);
  EXPECT_TRUE(DecodeReport(text)->all_ok());

  ToolRun dec = Gftool("report-decode " + text);
  EXPECT_EQ(dec.status, 0) << dec.out;
  EXPECT_TRUE(Has(dec.out, "score        123456")) << dec.out;
  EXPECT_TRUE(Has(dec.out, "user         16909060 (0x01020304)")) << dec.out;
  EXPECT_TRUE(Has(dec.out, "player       \"Ada\"")) << dec.out;
  EXPECT_TRUE(Has(dec.out, "key          0xCAFEF00D")) << dec.out;
  EXPECT_TRUE(Has(dec.out, "verdict      accepted by a score server")) << dec.out;

  std::string bad = text;
  bad[0] = bad[0] == 'K' ? '7' : 'K';
  dec = Gftool("report-decode " + bad);
  EXPECT_EQ(dec.status, 1);
  EXPECT_TRUE(Has(dec.out, "FAILS")) << dec.out;

  EXPECT_EQ(Gftool("report-decode ABC").status, 1);
  EXPECT_EQ(Gftool("report-encode --score 12x --name A --key 1").status, 1);
  EXPECT_EQ(Gftool("report-encode --score 1 --name A --key 4294967296").status, 1);
  EXPECT_EQ(Gftool("report-encode --score 1 --name A").status, 2);
}

}  // namespace
}  // namespace store
