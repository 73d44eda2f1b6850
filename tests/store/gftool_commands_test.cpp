// The gftool commands that read game data files and score reports.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "store/game_data.h"
#include "store/score_report.h"
#include "store/temp_dir.h"

namespace store {
namespace {

using store_test::ReadAll;
using store_test::TempDir;
using store_test::WriteAll;

struct ToolRun {
  int status = -1;
  std::string output;  // standard output and error
};

// The gftool of the same build tree: $GFALL_BUILD_DIR when set, else found
// from this program's place (build/tests/store/test_store).
std::string GftoolPath() {
  if (const char* build = std::getenv("GFALL_BUILD_DIR"); build && *build) {
    return std::string(build) + "/tools/gftool/gftool";
  }
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (self.parent_path().parent_path().parent_path() / "tools" / "gftool" / "gftool")
      .string();
}

ToolRun Gftool(const std::string& args) {
  const std::string tool = GftoolPath();
  ToolRun r;
  FILE* p = popen((tool + " " + args + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

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
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(Has(r.output, "player id       0x6353F100")) << r.output;
  EXPECT_TRUE(Has(r.output, "Left Flipper      keyboard code 0x2A")) << r.output;
  EXPECT_TRUE(Has(r.output, "\"Brook\\x1B[2J\"")) << "control bytes are escaped\n" << r.output;
  EXPECT_TRUE(Has(r.output, " 1. \"Ada\"            1,234,567  valid")) << r.output;
  EXPECT_TRUE(Has(r.output, "accepted")) << r.output;
}

TEST_F(GftoolStore, ScoresNamesTheFirstCheckARefusedFileFails) {
  auto b = ReadAll(file_);
  b[620 + 104] = 'b';  // row 2's name edited by hand
  b[20] = 3;           // and a resolution out of range, checked first
  WriteAll(file_, b);
  ToolRun r = Gftool("scores " + file_.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.output, "refused: resolution outside 0-2")) << r.output;
  EXPECT_TRUE(Has(r.output, "\"brook\"" + std::string(14, ' ') + "5,000  INVALID")) << r.output;

  b[20] = 2;
  WriteAll(file_, b);
  r = Gftool("scores " + file_.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.output, "refused: high-score row 2 fails its check values")) << r.output;

  b.resize(1660);
  WriteAll(file_, b);
  r = Gftool("scores " + file_.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.output, "shorter than 1676 bytes")) << r.output;
}

TEST(GftoolReport, EncodeAndDecode) {
  ToolRun enc = Gftool("report-encode --score 123456 --name Ada --key 0xCAFEF00D --user 16909060");
  ASSERT_EQ(enc.status, 0) << enc.output;
  const std::string text = enc.output.substr(0, enc.output.find('\n'));
  ASSERT_EQ(text.size(), kReportTextSize);
  EXPECT_TRUE(DecodeReport(text)->all_ok());

  ToolRun dec = Gftool("report-decode " + text);
  EXPECT_EQ(dec.status, 0) << dec.output;
  EXPECT_TRUE(Has(dec.output, "score        123456")) << dec.output;
  EXPECT_TRUE(Has(dec.output, "user         16909060 (0x01020304)")) << dec.output;
  EXPECT_TRUE(Has(dec.output, "player       \"Ada\"")) << dec.output;
  EXPECT_TRUE(Has(dec.output, "key          0xCAFEF00D")) << dec.output;
  EXPECT_TRUE(Has(dec.output, "verdict      accepted by a score server")) << dec.output;

  std::string bad = text;
  bad[0] = bad[0] == 'K' ? '7' : 'K';
  dec = Gftool("report-decode " + bad);
  EXPECT_EQ(dec.status, 1);
  EXPECT_TRUE(Has(dec.output, "FAILS")) << dec.output;

  EXPECT_EQ(Gftool("report-decode ABC").status, 1);
  EXPECT_EQ(Gftool("report-encode --score 12x --name A --key 1").status, 1);
  EXPECT_EQ(Gftool("report-encode --score 1 --name A --key 4294967296").status, 1);
  EXPECT_EQ(Gftool("report-encode --score 1 --name A").status, 2);
}

}  // namespace
}  // namespace store
