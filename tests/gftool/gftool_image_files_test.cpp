// gftool info and render on pictures, sprites, masks, depth maps, tables and
// palettes, run as a table author would.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/byte_io.h"
#include "render/image_files.h"
#include "render/jpeg_io.h"
#include "render/spr24_file.h"

namespace render {
namespace {

namespace fs = std::filesystem;

class GftoolImages : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("GFALL_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "GFALL_BUILD_DIR is not set";
    tool_ = fs::path(build) / "tools" / "gftool" / "gftool";
    ASSERT_TRUE(fs::exists(tool_)) << tool_;
    dir_ = fs::temp_directory_path() /
           ("gftool_images_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  int Run(const std::string& words) {
    std::string cmd = tool_.string() + " " + words + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    output_.clear();
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) output_.append(buf, n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string PathOf(const char* name) { return (dir_ / name).string(); }
  void Put(const char* name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  // Width and height from a PNG's header, or (0, 0) when it is not a PNG.
  std::pair<uint32_t, uint32_t> PngSize(const char* name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (b.size() < 24 || b[1] != 'P' || b[2] != 'N' || b[3] != 'G') return {0, 0};
    auto be = [&](size_t at) {
      return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 |
             b[at + 3];
    };
    return {be(16), be(20)};
  }
  bool Has(const char* text) { return output_.find(text) != std::string::npos; }

  fs::path tool_, dir_;
  std::string output_;
};

std::vector<uint8_t> Pixels(int32_t w, int32_t h, uint8_t r) {
  std::vector<uint8_t> v(static_cast<size_t>(w * h * 3), 90);
  for (size_t i = 0; i < v.size(); i += 3) v[i] = r;
  return v;
}

TEST_F(GftoolImages, SpritesAndPictures) {
  Spr24Desc d;
  d.header.width = 50;
  d.header.height = 20;
  d.header.border = 3;
  d.header.encoding = kSpr24JpegStrip;
  d.header.mask_mode = kSpr24OneMask;
  d.frames = {Pixels(50, 20, 10), Pixels(50, 20, 200)};
  d.masks = {std::vector<uint8_t>(1000, 255)};
  std::vector<uint8_t> file;
  ASSERT_TRUE(WriteSpr24File(d, file));
  Put("a.j24", file);
  ASSERT_EQ(Run("info " + PathOf("a.j24")), 0);
  EXPECT_TRUE(Has("SPR24 2 frames of 50 x 20")) << output_;
  EXPECT_TRUE(Has("strip must be 112 x 32")) << output_;
  EXPECT_TRUE(Has("one for all frames")) << output_;
  ASSERT_EQ(Run("render " + PathOf("a.j24") + " " + PathOf("a.png") + " --frame 1"), 0);
  EXPECT_EQ(PngSize("a.png"), (std::pair<uint32_t, uint32_t>{50, 20}));
  ASSERT_EQ(Run("render " + PathOf("a.j24") + " " + PathOf("b.png") + " --width 640 --format 0"),
            0);
  EXPECT_EQ(PngSize("b.png"), (std::pair<uint32_t, uint32_t>{31, 13}));
  EXPECT_EQ(Run("render " + PathOf("a.j24") + " " + PathOf("c.png") + " --frame 2"), 1);
  EXPECT_FALSE(fs::exists(dir_ / "c.png"));
  EXPECT_EQ(Run("render " + PathOf("a.j24") + " " + PathOf("c.png") + " --width 700"), 2);

  file.resize(kSpr24HeaderSize + 500);  // inside the mask
  Put("cut.j24", file);
  EXPECT_EQ(Run("info " + PathOf("cut.j24")), 1);

  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(JpegEncode(1024, 768, Pixels(1024, 768, 128), 80, jpeg));
  Put("pf.jpg", jpeg);
  ASSERT_EQ(Run("info " + PathOf("pf.jpg")), 0);
  EXPECT_TRUE(Has("1024 x 768 (full screen)")) << output_;
  ASSERT_EQ(Run("render " + PathOf("pf.jpg") + " " + PathOf("pf.png") + " --width 800 --format 2"),
            0);
  EXPECT_EQ(PngSize("pf.png"), (std::pair<uint32_t, uint32_t>{800, 600}));
}

TEST_F(GftoolImages, MasksDepthTablesAndPalettes) {
  std::vector<uint8_t> file;
  std::vector<uint8_t> mask(100, 0);
  mask[5] = 255;
  ASSERT_TRUE(WriteMaskFile(10, 10, mask, kMaskCoded, file));
  Put("m.ims", file);
  ASSERT_EQ(Run("info " + PathOf("m.ims")), 0);
  EXPECT_TRUE(Has("IMMASK 10 x 10, coded")) << output_;
  EXPECT_TRUE(Has("kept pixels: 1 of 100")) << output_;
  ASSERT_EQ(Run("render " + PathOf("m.ims") + " " + PathOf("m.png") + " --width 640"), 0);
  EXPECT_EQ(PngSize("m.png"), (std::pair<uint32_t, uint32_t>{6, 6}));

  Palette pal{};
  for (size_t i = 0; i < 256; ++i) pal[i] = Rgb{static_cast<uint8_t>(i), 0, 0};
  ASSERT_TRUE(WriteScreenFile(30, 20, std::vector<uint8_t>(600, 12), pal, file));
  Put("s.lsc", file);
  ASSERT_EQ(Run("info " + PathOf("s.lsc")), 0);
  EXPECT_TRUE(Has("SCREEN 30 x 20, 600 bytes")) << output_;
  EXPECT_TRUE(Has("indices 12 to 12")) << output_;
  ASSERT_EQ(Run("render " + PathOf("s.lsc") + " " + PathOf("s.png")), 0);
  EXPECT_EQ(PngSize("s.png"), (std::pair<uint32_t, uint32_t>{30, 20}));
  core::StoreU32(file.data() + 32, 599);
  Put("bad.lsc", file);
  EXPECT_EQ(Run("info " + PathOf("bad.lsc")), 1);

  std::vector<int16_t> depth(64 * 48);
  for (size_t i = 0; i < depth.size(); ++i) depth[i] = static_cast<int16_t>(i);
  ASSERT_TRUE(WriteDepthFile(64, 48, depth, DepthCamera{}, 0, 0, file));
  Put("p.z16", file);
  ASSERT_EQ(Run("info " + PathOf("p.z16")), 0);
  EXPECT_TRUE(Has("Z-BUFFER 64 x 48 at (0, 0)")) << output_;
  EXPECT_TRUE(Has("depth 0 (far) to 3071 (near)")) << output_;
  ASSERT_EQ(Run("render " + PathOf("p.z16") + " " + PathOf("p.png") + " --width 640"), 0);
  EXPECT_EQ(PngSize("p.png"), (std::pair<uint32_t, uint32_t>{40, 30}));

  std::vector<std::vector<int16_t>> frames(3, std::vector<int16_t>(20, 4));
  ASSERT_TRUE(WritePartDepthFile(5, 4, frames, DepthCamera{}, 10, 20, file));
  Put("g.zs2", file);
  ASSERT_EQ(Run("info " + PathOf("g.zs2")), 0);
  EXPECT_TRUE(Has("Z-BUFFERS 3 frames of 5 x 4 at (10, 20)")) << output_;
  ASSERT_EQ(Run("render " + PathOf("g.zs2") + " " + PathOf("g.png") + " --frame 2"), 0);
  EXPECT_EQ(Run("render " + PathOf("g.zs2") + " " + PathOf("g.png") + " --frame 3"), 1);

  ASSERT_TRUE(WriteTableFile(std::vector<uint8_t>(kTableSize, 7), file));
  Put("t.mas", file);
  ASSERT_EQ(Run("info " + PathOf("t.mas")), 0);
  EXPECT_TRUE(Has("MAPS table")) << output_;
  ASSERT_EQ(Run("render " + PathOf("t.mas") + " " + PathOf("t.png")), 0);
  EXPECT_EQ(PngSize("t.png"), (std::pair<uint32_t, uint32_t>{256, 256}));

  ASSERT_TRUE(WritePaletteFile(pal, file));
  Put("p.pal", file);
  ASSERT_EQ(Run("info " + PathOf("p.pal")), 0);
  EXPECT_TRUE(Has("palette: 256 colours")) << output_;
  ASSERT_EQ(Run("render " + PathOf("p.pal") + " " + PathOf("pal.png")), 0);
  EXPECT_EQ(PngSize("pal.png"), (std::pair<uint32_t, uint32_t>{256, 256}));
}

}  // namespace
}  // namespace render
