// Headless play on a table read from a "GFALL.DAT" pack.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/headless.h"
#include "app/playfield_load.h"
#include "render/image_files.h"
#include "render/sprite_file.h"
#include "res/cdata.h"
#include "res/pack.h"

namespace app {
namespace {

namespace fs = std::filesystem;

class HeadlessPack : public ::testing::Test {
 public:
  HeadlessPack() {
    std::string tmpl = (fs::temp_directory_path() / "gfall_pack_XXXXXX").string();
    EXPECT_NE(mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
  }
  ~HeadlessPack() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  std::vector<uint8_t> MaskSet(int pivot_x) {
    render::SpriteFileDesc desc;
    for (int k = 0; k < 30; ++k) {
      render::SpriteFileFrame f;
      f.width = 174;
      f.height = 170;
      f.pixels.assign(174 * 170, 0);
      for (int y = 81 - 20; y <= 81 + 20; ++y) {
        for (int x = pivot_x - 20; x <= pivot_x + 20; ++x) f.pixels[y * 174 + x] = 11;
      }
      desc.frames.push_back(std::move(f));
    }
    desc.compression = render::kCodedAlone;
    std::vector<uint8_t> out;
    EXPECT_TRUE(render::WriteSpriteFile(desc, out));
    return out;
  }

  // The tuning file every pack carries: a few values, a long comment line.
  static std::vector<uint8_t> TuningFile(const std::string& text) {
    return res::CDataEncode(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
        0x1234u);
  }
  std::string tuning_text = "// " + std::string(300, '-') + "\nBALLSTARTDY -2.5\nPLANEG 0.05\n";
  // Changes the tuning file's bytes before the pack is written.
  std::function<void(std::vector<uint8_t>&)> damage_tuning;
  bool with_tuning = true;
  bool write_pack = true;

  void WritePack(bool with_masks) {
    const physics::SurfaceMap map = PaintedTestTableMap();
    std::vector<uint8_t> screen;
    ASSERT_TRUE(
        render::WriteScreenFile(map.width, map.height, map.codes, render::Palette{}, screen));
    const std::vector<uint8_t> left = MaskSet(39), right = MaskSet(135);
    std::vector<res::PackItem> items = {{"RES\\MASK\\P_MASK0.LSC", screen}};
    if (with_masks) {
      items.push_back({"RES\\MASK\\F_L.IMG", left});
      items.push_back({"RES\\MASK\\F_R.IMG", right});
    }
    std::vector<uint8_t> tuning = TuningFile(tuning_text);
    if (with_tuning) {
      if (damage_tuning) damage_tuning(tuning);
      items.push_back({"RES\\GFALL.CDA", tuning});
    }
    auto pack = res::PackBuild(items);
    ASSERT_TRUE(pack);
    std::ofstream(dir / "GFALL.DAT", std::ios::binary)
        .write(reinterpret_cast<const char*>(pack->data()),
               static_cast<std::streamsize>(pack->size()));
  }

  std::string Run(const RunSetup& o, int& status) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    status = RunGame(o, out, err);
    std::string text;
    for (std::FILE* f : {out, err}) {
      std::rewind(f);
      char buf[4096];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
      std::fclose(f);
    }
    return text;
  }

  fs::path dir;
  void TestBody() override {}
};

TEST_F(HeadlessPack, PlaysOnTheTableOfThePack) {
  WritePack(true);
  auto clock = std::make_unique<FakeClock>();
  Game g(std::move(clock));
  res::ResourceLayer layer;
  std::string error;
  ASSERT_TRUE(LoadTableFromPack(g, layer, dir.string(), error)) << error;
  EXPECT_EQ(g.world.map.width, 800);
  EXPECT_EQ(g.world.map.height, 1514);
  EXPECT_EQ(g.world.map.codes, PaintedTestTableMap().codes);
  // The pack's tuning is in force, read past its long comment line.
  EXPECT_FLOAT_EQ(g.world.tuning.ball_start_dy, -2.5f);
  EXPECT_FLOAT_EQ(g.world.balls[0].plane_gravity, 0.05f);

  RunSetup o;
  o.data_dir = dir.string();
  o.demo = true;
  o.frames = 300;
  o.print_state = true;
  int status = -1;
  const std::string text = Run(o, status);
  EXPECT_EQ(status, 0) << text;
  EXPECT_EQ(text.rfind("{\"frames\":300,", 0), 0u) << text;
}

TEST_F(HeadlessPack, APackWithoutFlipperMasksIsRefused) {
  WritePack(false);
  RunSetup o;
  o.data_dir = dir.string();
  o.frames = 10;
  int status = -1;
  const std::string text = Run(o, status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(text.find("does not load"), std::string::npos) << text;
}

// A table that cannot be played as it was made stops the start with one line
// naming the file and the cause.
TEST_F(HeadlessPack, ADamagedOrMissingTableStopsTheStartWithOneLine) {
  struct Case {
    const char* what;
    std::function<void(HeadlessPack&)> setup;
    const char* said;
  };
  const std::vector<Case> cases = {
      {"tuning with one flipped bit",
       [](HeadlessPack& t) { t.damage_tuning = [](auto& b) { b[30] ^= 0x04; }; },
       "the tuning file RES\\GFALL.CDA: CDATA payload fails its CRC check (in "},
      {"no tuning file", [](HeadlessPack& t) { t.with_tuning = false; },
       "the tuning file RES\\GFALL.CDA is missing from "},
      {"GFALL.DAT a folder",
       [](HeadlessPack& t) {
         t.write_pack = false;
         fs::create_directory(t.dir / "GFALL.DAT");
       },
       "GFALL.DAT: is a folder, not a file"},
      {"GFALL.DAT a FIFO",
       [](HeadlessPack& t) {
         t.write_pack = false;
         ASSERT_EQ(mkfifo((t.dir / "GFALL.DAT").c_str(), 0600), 0);
       },
       "GFALL.DAT: is not a regular file"},
      {"no GFALL.DAT", [](HeadlessPack& t) { t.write_pack = false; }, "GFALL.DAT: cannot open"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HeadlessPack t;
    c.setup(t);
    if (t.write_pack) t.WritePack(true);
    RunSetup o;
    o.data_dir = t.dir.string();
    o.frames = 10;
    int status = -1;
    const std::string text = t.Run(o, status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(text.find(c.said), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_EQ(text.rfind("gfall: ", 0), 0u) << text;
  }
}

TEST_F(HeadlessPack, TuningValuesOutOfRangeAreRefusedAndNamed) {
  tuning_text = "BALLSTARTDY -2.5\nKREFLECTION10 1e30\nPLANEG -1\n";
  WritePack(true);
  RunSetup o;
  o.data_dir = dir.string();
  o.frames = 10;
  int status = -1;
  const std::string text = Run(o, status);
  EXPECT_EQ(status, 0) << text;
  EXPECT_NE(text.find("gfall: RES\\GFALL.CDA line 2: KREFLECTION10 1e+30 is outside 0 to 2; "
                      "the line is refused\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("gfall: RES\\GFALL.CDA line 3: PLANEG -1 is outside"), std::string::npos)
      << text;
}

// A batch decodes the table's surface map and flipper masks once: every later
// game gets its own copies and starts from what a load without the cache gives.
TEST_F(HeadlessPack, ABatchDecodesTheTableOnceAndEachGameStartsAsASingleRun) {
  WritePack(true);
  res::ResourceLayer layer;
  std::string error;
  ASSERT_TRUE(OpenTablePack(layer, dir.string(), error)) << error;
  Game single(std::make_unique<FakeClock>());
  ASSERT_TRUE(LoadTablePhysics(single, layer, dir.string(), error)) << error;

  TablePhysicsCache cache;
  Game first(std::make_unique<FakeClock>());
  ASSERT_TRUE(LoadTablePhysics(first, layer, dir.string(), error, &cache)) << error;
  ASSERT_TRUE(cache.surface_map.has_value());
  EXPECT_EQ(cache.masks.size(), 2u);
  // What one game does to its own table reaches neither the cache nor the next game.
  first.world.map.codes.assign(first.world.map.codes.size(), 3);
  for (physics::Flipper& f : first.world.flippers) f.masks.assign(f.masks.size(), 0);

  // The next game loads from a pack without the masks: they come from the cache.
  WritePack(false);
  res::ResourceLayer no_masks;
  ASSERT_TRUE(OpenTablePack(no_masks, dir.string(), error)) << error;
  Game refused(std::make_unique<FakeClock>());
  EXPECT_FALSE(LoadTablePhysics(refused, no_masks, dir.string(), error));
  Game next(std::make_unique<FakeClock>());
  ASSERT_TRUE(LoadTablePhysics(next, no_masks, dir.string(), error, &cache)) << error;

  EXPECT_EQ(next.world.map.width, single.world.map.width);
  EXPECT_EQ(next.world.map.codes, single.world.map.codes);
  for (int i = 0; i < physics::kFlipperCount; ++i) {
    const physics::Flipper &a = next.world.flippers[static_cast<size_t>(i)],
                           &b = single.world.flippers[static_cast<size_t>(i)];
    EXPECT_EQ(a.mask_frames, b.mask_frames) << i;
    EXPECT_EQ(a.masks, b.masks) << i;
    EXPECT_EQ(a.box_w, b.box_w) << i;
    EXPECT_EQ(a.box_h, b.box_h) << i;
  }
  EXPECT_GT(next.world.flippers[0].mask_frames, 0);
  // The tuning is still read for each game.
  EXPECT_FLOAT_EQ(next.world.tuning.ball_start_dy, -2.5f);
}

}  // namespace
}  // namespace app
