// The physics side of the playfield load through the file layer.

#include "app/playfield_load.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "app/game.h"
#include "render/colour_cube.h"
#include "render/sprite_file.h"
#include "res/cdata.h"

namespace app {
namespace {

namespace fs = std::filesystem;

class PlayfieldLoad : public ::testing::Test {
 protected:
  PlayfieldLoad() : game(std::make_unique<FakeClock>()) {
    std::string tmpl = (fs::temp_directory_path() / "gfall_playfield_XXXXXX").string();
    EXPECT_NE(mkdtemp(tmpl.data()), nullptr);
    layer.loose_root = tmpl;
    format.width = 1024;
    format.height = 768;
    format.format_id = render::PixelFormatId::RGB32;
    render::SetFormatDefaults(format);
    colours = std::make_unique<render::TableColours>();
    for (int i = 0; i < 256; ++i) {
      colours->palette[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), 0, 0};
    }
    colours->palette_loaded = true;
    render::BuildTableCube(*colours);
  }
  ~PlayfieldLoad() override {
    std::error_code ec;
    fs::remove_all(layer.loose_root, ec);
  }
  void Put(std::string name, const std::vector<uint8_t>& bytes) {
    for (char& c : name) c = c == '\\' ? '/' : c;
    fs::path p = layer.loose_root / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  // A mask set of 30 frames of the box size, flipper pixels 11 in a square
  // around the pivot whose side grows with the frame.
  void PutMasks(const char* name, int pivot_x) {
    render::SpriteFileDesc desc;
    for (int k = 0; k < 30; ++k) {
      render::SpriteFileFrame f;
      f.width = 174;
      f.height = 170;
      f.pixels.assign(174 * 170, 0);
      for (int y = 81 - k; y <= 81 + k; ++y) {
        for (int x = pivot_x - k; x <= pivot_x + k; ++x) f.pixels[y * 174 + x] = 11;
      }
      desc.frames.push_back(std::move(f));
    }
    desc.compression = render::kCodedAlone;
    std::vector<uint8_t> out;
    ASSERT_TRUE(render::WriteSpriteFile(desc, out));
    Put(name, out);
  }
  bool Load() {
    render::ImageSetContext ctx{format, *colours, nullptr};
    physics::SurfaceMap map(800, 1514, 0);
    map.Set(10, 10, 40);
    return LoadPlayfieldPhysics(game, layer, ctx, std::move(map));
  }

  Game game;
  res::ResourceLayer layer;
  render::DisplayFormat format;
  std::unique_ptr<render::TableColours> colours;
};

TEST_F(PlayfieldLoad, ReadsTuningMapAndMasks) {
  PutMasks("RES\\MASK\\F_L.IMG", 39);
  PutMasks("RES\\MASK\\F_R.IMG", 135);
  std::string_view text = "BALLMAXSPEED 15\n";
  Put("RES\\GFALL.CDA",
      res::CDataEncode({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, 77));
  game.world.balls[0].speed_limit = 3;
  ASSERT_TRUE(Load());
  const physics::World& w = game.world;
  EXPECT_EQ(w.balls[0].speed_limit, 15.0f);
  EXPECT_EQ(w.balls[0].x, physics::kPlungerX);
  EXPECT_EQ(physics::SurfaceCodeAt(w, 10, 10), 40);
  EXPECT_EQ(w.flippers[0].mask_frames, 30);
  EXPECT_EQ(physics::SurfaceCodeAt(w, 223, 1377), physics::kCodeFlipper);
  EXPECT_EQ(physics::SurfaceCodeAt(w, 224, 1377), 0);  // frame 0: the pivot pixel only
  game.world.flippers[0].frame = 5;
  EXPECT_EQ(physics::SurfaceCodeAt(w, 228, 1382), physics::kCodeFlipper);
  EXPECT_EQ(physics::SurfaceCodeAt(w, 497, 1377), physics::kCodeFlipper);
}

TEST_F(PlayfieldLoad, MissingMasksFailButNoTuningFileIsFine) {
  PutMasks("RES\\MASK\\F_L.IMG", 39);
  EXPECT_FALSE(Load());
  PutMasks("RES\\MASK\\F_R.IMG", 135);
  EXPECT_TRUE(Load());
  EXPECT_EQ(game.world.balls[0].speed_limit, 20.0f);
  render::ImageSetContext ctx{format, *colours, nullptr};
  EXPECT_FALSE(LoadPlayfieldPhysics(game, layer, ctx, physics::SurfaceMap()));
}

}  // namespace
}  // namespace app
