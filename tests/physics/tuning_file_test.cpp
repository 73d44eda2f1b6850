#include "physics/tuning_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "physics/world.h"
#include "res/cdata.h"
#include "res/pack.h"

namespace physics {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Container(std::string_view text, uint32_t key = 0x1234ABCDu) {
  return res::CDataEncode(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()), key);
}

void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

class TuningFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "gfall_tuning_XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    layer_.loose_root = dir_;
  }
  void TearDown() override { fs::remove_all(dir_); }

  void OpenPackWith(const std::vector<uint8_t>& cda) {
    std::vector<res::PackItem> items = {{"RES\\GFALL.CDA", cda}};
    auto pack = res::PackBuild(items);
    ASSERT_TRUE(pack);
    WriteFile(dir_ / "GFALL.DAT", *pack);
    ASSERT_TRUE(res::PackOpen(layer_, (dir_ / "GFALL.DAT").string()));
  }

  fs::path dir_;
  res::ResourceLayer layer_;
  World world_;
};

TEST_F(TuningFileTest, TableFileFromThePack) {
  OpenPackWith(Container("PLANEG 0.05\nBALLSTARTDY -13\n"));
  EXPECT_TRUE(LoadTuning(layer_, world_.tuning_targets()));
  EXPECT_FLOAT_EQ(world_.balls[0].plane_gravity, 0.05f);
  EXPECT_FLOAT_EQ(world_.tuning.ball_start_dy, -13.0f);
}

TEST_F(TuningFileTest, LooseOverrideComesFirst) {
  OpenPackWith(Container("PLANEG 0.05\n"));
  WriteFile(dir_ / "GFALL.CDC", Container("PLANEG 0.07\n", 99));
  EXPECT_TRUE(LoadTuning(layer_, world_.tuning_targets()));
  EXPECT_FLOAT_EQ(world_.balls[0].plane_gravity, 0.07f);
}

TEST_F(TuningFileTest, DamagedOrMissingFilesChangeNothing) {
  EXPECT_FALSE(LoadTuning(layer_, world_.tuning_targets()));  // nothing anywhere
  std::vector<uint8_t> bad = Container("PLANEG 0.05\n");
  bad.back() ^= 1;  // the stored payload no longer matches its CRC
  OpenPackWith(bad);
  EXPECT_FALSE(LoadTuning(layer_, world_.tuning_targets()));
  EXPECT_FLOAT_EQ(world_.balls[0].plane_gravity, 0.03f);
}

// A planted override that is not a file, or is far too large, never makes the
// game wait or read it whole: a pipe is passed over, a huge file refused.
TEST_F(TuningFileTest, APipeOrAHugeOverrideIsNeitherWaitedOnNorRead) {
  OpenPackWith(Container("PLANEG 0.05\n"));
  ASSERT_EQ(::mkfifo((dir_ / "GFALL.CDC").c_str(), 0600), 0);
  EXPECT_TRUE(LoadTuning(layer_, world_.tuning_targets()));
  EXPECT_FLOAT_EQ(world_.balls[0].plane_gravity, 0.05f);

  fs::remove(dir_ / "GFALL.CDC");
  std::ofstream(dir_ / "GFALL.CDC").close();
  fs::resize_file(dir_ / "GFALL.CDC", 3ull << 30);  // sparse: no disk used
  const TuningFileLoad load = LoadTuningFile(layer_, world_.tuning_targets());
  EXPECT_EQ(load.status, TuningFileStatus::kDamaged);
  EXPECT_EQ(load.error, "GFALL.CDC: is larger than 1 MB");
}

}  // namespace
}  // namespace physics
