#include "render/render_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sprite_fixtures.h"

namespace render {
namespace {

namespace fs = std::filesystem;
using namespace render::testing;

class RenderFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "gfall_render_XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    layer_.loose_root = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(layer_.loose_root, ec);
  }
  // Writes a loose file named the way the game names it ("RES\A\B.IMG").
  void Put(std::string name, const std::vector<uint8_t>& bytes) {
    for (char& c : name) c = c == '\\' ? '/' : c;
    fs::path p = layer_.loose_root / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  res::ResourceLayer layer_;
};

TEST_F(RenderFiles, TablePalette) {
  auto colours = std::make_unique<TableColours>();
  EXPECT_FALSE(LoadTablePalette(layer_, *colours)) << "missing";
  std::vector<uint8_t> pal(768);
  for (size_t i = 0; i < pal.size(); ++i) pal[i] = static_cast<uint8_t>(i * 5);
  Put("RES\\TABLES\\P_FIELD.PAL", std::vector<uint8_t>(pal.begin(), pal.begin() + 600));
  EXPECT_FALSE(LoadTablePalette(layer_, *colours)) << "short";
  EXPECT_EQ(colours->palette[199], (Rgb{pal[597], pal[598], pal[599]}));
  Put("RES\\TABLES\\P_FIELD.PAL", pal);
  EXPECT_TRUE(LoadTablePalette(layer_, *colours));
  EXPECT_EQ(colours->palette[255], (Rgb{pal[765], pal[766], pal[767]}));
}

TEST_F(RenderFiles, SetsByName) {
  SpriteFileDesc ball;
  ball.palette = TestPalette();
  ball.frames = {BallFrame(18, 100), BallFrame(17, 100)};
  Put("RES\\ANIM\\BALL.IMG", Write(ball));
  Put("RES\\ANIM\\SHAD.IMG", Write(ball));
  DisplayFormat format = Format(PixelFormatId::RGB32);
  auto colours = FreshColours();
  ImageSetContext ctx{format, *colours, nullptr};
  auto table = std::make_unique<ImageSetTable>();
  ImageSet& normal = table->sets[kBallSet];
  ASSERT_TRUE(LoadCompositeSet(normal, layer_, kBallPictureFile, kBallShadowFile, ctx));
  EXPECT_EQ(normal.frame_count, 2);
  EXPECT_FALSE(normal.frames[0].shadow.empty());
  EXPECT_FALSE(LoadCompositeSet(table->sets[kLaneBallSet], layer_, kLaneBallFile, "", ctx));
  EXPECT_FALSE(LoadCompositeSet(normal, layer_, kBallPictureFile, "RES\\ANIM\\NONE.IMG", ctx));
  EXPECT_TRUE(normal.frames.empty());
  ASSERT_TRUE(LoadImageSet(table->sets[5], layer_, "res\\anim\\ball.img", ctx));
  EXPECT_EQ(PixelAt(table->sets[5], 1, 63, 63), 100);
  EXPECT_FALSE(LoadImageSet(table->sets[5], layer_, "RES\\ANIM\\MISSING.IMG", ctx));
  EXPECT_TRUE(table->sets[5].frames.empty());
}

}  // namespace
}  // namespace render
