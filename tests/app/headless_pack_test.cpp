// Headless play on a table read from a "GFALL.DAT" pack.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/headless.h"
#include "render/image_files.h"
#include "render/sprite_file.h"
#include "res/pack.h"

namespace app {
namespace {

namespace fs = std::filesystem;

class HeadlessPack : public ::testing::Test {
 protected:
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
    auto pack = res::PackBuild(items);
    ASSERT_TRUE(pack);
    std::ofstream(dir / "GFALL.DAT", std::ios::binary)
        .write(reinterpret_cast<const char*>(pack->data()),
               static_cast<std::streamsize>(pack->size()));
  }

  std::string Run(const HeadlessOptions& o, int& status) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    status = RunHeadless(o, out, err);
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

  HeadlessOptions o;
  o.data_dir = dir.string();
  o.demo = true;
  o.frames = 300;
  o.print_state = true;
  int status = -1;
  const std::string text = Run(o, status);
  EXPECT_EQ(status, 0) << text;
  EXPECT_EQ(text.rfind("{\"frames\": 300, ", 0), 0u) << text;
}

TEST_F(HeadlessPack, APackWithoutFlipperMasksIsRefused) {
  WritePack(false);
  HeadlessOptions o;
  o.data_dir = dir.string();
  o.frames = 10;
  int status = -1;
  const std::string text = Run(o, status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(text.find("does not load"), std::string::npos) << text;
}

}  // namespace
}  // namespace app
