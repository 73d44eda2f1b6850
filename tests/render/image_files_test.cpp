// Masks, 8-bit pictures, depth maps, lookup tables and the palette: each
// writer's output read back by the game's reader, and the files the readers
// must refuse.

#include "render/image_files.h"

#include <gtest/gtest.h>

#include "core/byte_io.h"
#include "sprite_fixtures.h"

namespace render {
namespace {

using namespace render::testing;

std::vector<uint8_t> Ramp(size_t n, int step = 7) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * static_cast<size_t>(step)) / 5);
  return v;
}

void Poke32(std::vector<uint8_t>& file, size_t at, int32_t v) {
  core::StoreU32(file.data() + at, static_cast<uint32_t>(v));
}

TEST(MaskFile, RoundTripPlainAndCoded) {
  std::vector<uint8_t> bytes(40 * 30, 0);
  for (size_t i = 200; i < 700; ++i) bytes[i] = 255;
  bytes[5] = 3;
  for (int32_t coding : {kMaskPlain, kMaskCoded}) {
    std::vector<uint8_t> file;
    ASSERT_TRUE(WriteMaskFile(40, 30, bytes, coding, file));
    EXPECT_EQ(file.size() < bytes.size(), coding == kMaskCoded);
    MaskImage m;
    ASSERT_TRUE(ParseMask(file, m)) << coding;
    EXPECT_EQ(m.width, 40);
    EXPECT_EQ(m.height, 30);
    EXPECT_EQ(m.bytes, bytes);
  }
  // Data the coder declines is still written as a codec block.
  std::vector<uint8_t> noise = Ramp(6, 251), file;
  ASSERT_TRUE(WriteMaskFile(3, 2, noise, kMaskCoded, file));
  MaskImage m;
  ASSERT_TRUE(ParseMask(file, m));
  EXPECT_EQ(m.bytes, noise);
  EXPECT_FALSE(WriteMaskFile(3, 3, noise, kMaskPlain, file));
}

TEST(MaskFile, Rejections) {
  std::vector<uint8_t> bytes(10 * 8, 1), good, coded;
  ASSERT_TRUE(WriteMaskFile(10, 8, bytes, kMaskPlain, good));
  ASSERT_TRUE(WriteMaskFile(10, 8, bytes, kMaskCoded, coded));
  struct Case {
    const char* what;
    size_t at;
    int32_t value;
  } cases[] = {{"coding 2", 24, 2},          {"version 0", 8, 0},    {"height 0", 16, 0},
               {"width -1", 12, -1},         {"data size 0", 20, 0}, {"plain size not w*h", 20, 79},
               {"data past the end", 20, 81}};
  for (const Case& c : cases) {
    std::vector<uint8_t> f = good;
    Poke32(f, c.at, c.value);
    MaskImage m;
    EXPECT_FALSE(ParseMask(f, m)) << c.what;
    EXPECT_TRUE(m.bytes.empty()) << c.what;
  }
  MaskImage m;
  EXPECT_FALSE(ParseMask(std::span(good).first(43), m)) << "short header";
  std::vector<uint8_t> f = coded;
  Poke32(f, 16, 9);  // decodes to 80 bytes, not 90
  EXPECT_FALSE(ParseMask(f, m));
  f = good;
  f[0] = 'X';
  EXPECT_FALSE(ParseMask(f, m));
}

TEST(MaskFile, ScaleToDisplay) {
  MaskImage m{4, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
  ASSERT_TRUE(ScaleMask(m, Format(PixelFormatId::RGB32, 1024)));
  EXPECT_EQ(m.width, 4);
  ASSERT_TRUE(ScaleMask(m, Format(PixelFormatId::RGB32, 640)));
  // round(4 × 0.625) = 3, round(2 × 0.625) = 1; columns trunc(j / 0.625) = 0, 1, 3.
  EXPECT_EQ(m.width, 3);
  EXPECT_EQ(m.height, 1);
  EXPECT_EQ(m.bytes, (std::vector<uint8_t>{1, 2, 4}));
}

TEST(ScreenFile, RoundTripWithPalette) {
  std::vector<uint8_t> pixels = Ramp(37 * 11), file;
  ASSERT_TRUE(WriteScreenFile(37, 11, pixels, TestPalette(), file));
  ScreenImage img;
  Palette pal{};
  ASSERT_TRUE(ParseScreenImage(file, &pal, img));
  EXPECT_EQ(img.width, 37);
  EXPECT_EQ(img.height, 11);
  EXPECT_EQ(img.byte_count, 37 * 11);
  EXPECT_EQ(img.bytes, pixels);
  EXPECT_EQ(pal, TestPalette());
  ASSERT_TRUE(ParseScreenImage(file, nullptr, img));
  EXPECT_EQ(img.bytes, pixels);
}

TEST(ScreenFile, Rejections) {
  std::vector<uint8_t> file;
  ASSERT_TRUE(WriteScreenFile(8, 4, Ramp(32), TestPalette(), file));
  ScreenImage img;
  std::vector<uint8_t> f = file;
  Poke32(f, 32, 31);
  EXPECT_FALSE(ParseScreenImage(f, nullptr, img)) << "data size differs from width × height";
  f = file;
  f[0] = 'Q';  // not checked
  EXPECT_TRUE(ParseScreenImage(f, nullptr, img));
  f[3] = 'X';
  EXPECT_FALSE(ParseScreenImage(f, nullptr, img)) << "tag";
  f = file;
  Poke32(f, 28, static_cast<int32_t>(file.size()) - 31);
  EXPECT_FALSE(ParseScreenImage(f, nullptr, img)) << "pixels past the end";
  f = file;
  Poke32(f, 20, static_cast<int32_t>(file.size()) - 767);
  EXPECT_TRUE(ParseScreenImage(f, nullptr, img)) << "the palette is only read when asked for";
  Palette pal;
  EXPECT_FALSE(ParseScreenImage(f, &pal, img));
  f = file;
  core::StoreU16(f.data() + 16, 0);
  Poke32(f, 32, 0);
  EXPECT_FALSE(ParseScreenImage(f, nullptr, img)) << "empty picture";
  EXPECT_FALSE(ParseScreenImage(std::span(file).first(67), nullptr, img));
}

DepthCamera TestCamera() {
  DepthCamera c;
  c.fx = -900.5f;
  c.fy = 900.25f;
  c.cx = 512;
  c.cy = 384;
  for (size_t i = 0; i < 12; ++i) c.matrix[i] = static_cast<float>(i) * 0.5f - 2;
  c.value_e = 0x01020304;
  c.z1 = -100;
  c.z0 = -2600;
  return c;
}

void ExpectCamera(const DepthCamera& a, const DepthCamera& b) {
  EXPECT_EQ(a.fx, b.fx);
  EXPECT_EQ(a.fy, b.fy);
  EXPECT_EQ(a.cx, b.cx);
  EXPECT_EQ(a.cy, b.cy);
  EXPECT_EQ(a.matrix, b.matrix);
  EXPECT_EQ(a.value_e, b.value_e);
  EXPECT_EQ(a.z1, b.z1);
  EXPECT_EQ(a.z0, b.z0);
}

TEST(DepthFile, RoundTripAtFullSize) {
  std::vector<int16_t> depth(20 * 10);
  for (size_t i = 0; i < depth.size(); ++i) depth[i] = static_cast<int16_t>(i * 300 - 30000);
  std::vector<uint8_t> file;
  ASSERT_TRUE(WriteDepthFile(20, 10, depth, TestCamera(), 7, -3, file));
  EXPECT_EQ(file.size(), kDepthHeaderSize + depth.size() * 2);
  DepthMap map;
  ASSERT_TRUE(ParseDepthMap(file, Format(PixelFormatId::RGB565), map));
  EXPECT_EQ(map.width, 20);
  EXPECT_EQ(map.height, 10);
  EXPECT_EQ(map.byte_count, 400);
  EXPECT_EQ(map.x, 7);
  EXPECT_EQ(map.y, -3);
  EXPECT_EQ(map.data, depth);
  ExpectCamera(map.camera, TestCamera());

  std::vector<uint8_t> f = file;
  f.pop_back();
  EXPECT_FALSE(ParseDepthMap(f, Format(PixelFormatId::RGB565), map)) << "short read";
  EXPECT_TRUE(map.data.empty());
  f = file;
  Poke32(f, 20, 0);
  EXPECT_FALSE(ParseDepthMap(f, Format(PixelFormatId::RGB565), map));
  f = file;
  f[7] = 'S';
  EXPECT_FALSE(ParseDepthMap(f, Format(PixelFormatId::RGB565), map));
}

// A 1024 × 768 map with a 3-pixel-wide vertical ridge of near values: after
// min-resampling to 640 × 480 only pixels whose whole 2 × 2 source block lies on
// the ridge stay near, so the ridge never grows.
TEST(DepthFile, MinResamplingKeepsThinRidgesThin) {
  const int32_t w = 1024, h = 768;
  std::vector<int16_t> depth(static_cast<size_t>(w) * h, 100);
  const int32_t ridge = 500;  // columns 500..502
  for (int32_t r = 0; r < h; ++r) {
    for (int32_t c = ridge; c < ridge + 3; ++c) depth[static_cast<size_t>(r) * w + c] = 9000;
  }
  std::vector<uint8_t> file;
  ASSERT_TRUE(WriteDepthFile(w, h, depth, TestCamera(), 0, 0, file));
  DepthMap map;
  ASSERT_TRUE(ParseDepthMap(file, Format(PixelFormatId::PAL8, 640), map));
  ASSERT_EQ(map.width, 640);
  ASSERT_EQ(map.height, 480);
  for (int32_t j = 0; j < 640; ++j) {
    const int32_t c = static_cast<int32_t>(j / 0.625);
    const bool block_on_ridge = c >= ridge && c + 1 <= ridge + 2;
    for (int32_t i : {0, 17, 479}) {
      EXPECT_EQ(map.data[static_cast<size_t>(i) * 640 + j], block_on_ridge ? 9000 : 100)
          << "column " << j;
    }
  }
  // At 800 wide the size and position are truncated, not rounded.
  ASSERT_TRUE(WriteDepthFile(10, 10, std::vector<int16_t>(100, 5), TestCamera(), 3, 3, file));
  ASSERT_TRUE(ParseDepthMap(file, Format(PixelFormatId::PAL8, 800), map));
  EXPECT_EQ(map.width, 7);
  EXPECT_EQ(map.x, 2);
}

TEST(PartDepthFile, RoundTripResampleAndRejections) {
  std::vector<std::vector<int16_t>> frames(3, std::vector<int16_t>(8 * 6));
  for (size_t k = 0; k < frames.size(); ++k) {
    for (size_t i = 0; i < frames[k].size(); ++i) {
      frames[k][i] = static_cast<int16_t>(k * 1000 + i);
    }
  }
  std::vector<uint8_t> file;
  ASSERT_TRUE(WritePartDepthFile(8, 6, frames, TestCamera(), 100, 200, file));
  EXPECT_EQ(file.size(), kPartDepthHeaderSize + 3 * 48 * 2);
  PartDepth part;
  ASSERT_TRUE(ParsePartDepth(file, Format(PixelFormatId::RGB24), part));
  EXPECT_EQ(part.frame_count, 3);
  EXPECT_EQ(part.width, 8);
  EXPECT_EQ(part.height, 6);
  EXPECT_EQ(part.x, 100);
  EXPECT_EQ(part.y, 200);
  ExpectCamera(part.camera, TestCamera());
  for (size_t k = 0; k < 3; ++k) EXPECT_EQ(part.frames[k], frames[k]);

  ASSERT_TRUE(ParsePartDepth(file, Format(PixelFormatId::RGB24, 640), part));
  EXPECT_EQ(part.width, 5);
  EXPECT_EQ(part.height, 3);
  EXPECT_EQ(part.x, 62);
  EXPECT_EQ(part.y, 125);
  ASSERT_EQ(part.frames.size(), 3u);
  for (const auto& f : part.frames) EXPECT_EQ(f.size(), 15u);
  // Destination (62, 125) samples source (99.2 → clamped 100, 200): smallest of
  // (0,0),(1,0),(0,1),(1,1).
  EXPECT_EQ(part.frames[2][0], 2000);

  struct Case {
    const char* what;
    size_t at;
    int32_t value;
  } cases[] = {{"65 frames", 24, 65}, {"0 frames", 24, 0}, {"width 0", 16, 0}, {"4 frames", 24, 4}};
  for (const Case& c : cases) {
    std::vector<uint8_t> f = file;
    Poke32(f, c.at, c.value);
    EXPECT_FALSE(ParsePartDepth(f, Format(PixelFormatId::RGB24), part)) << c.what;
    EXPECT_TRUE(part.frames.empty());
  }
  std::vector<std::vector<int16_t>> too_many(65, std::vector<int16_t>(4));
  EXPECT_FALSE(WritePartDepthFile(2, 2, too_many, TestCamera(), 0, 0, file));
}

TEST(TableAndPaletteFiles, RoundTrip) {
  std::vector<uint8_t> table = Ramp(kTableSize, 13), file;
  ASSERT_TRUE(WriteTableFile(table, file));
  EXPECT_EQ(file.size(), kTableHeaderSize + kTableSize);
  auto read = std::make_unique<LookupTable256>();
  ASSERT_TRUE(ParseTable(file, *read));
  EXPECT_TRUE(std::equal(read->begin(), read->end(), table.begin()));
  file.pop_back();
  EXPECT_FALSE(ParseTable(file, *read));
  file.push_back(0);
  file[4] = 'X';  // "MAPS" must be zero-terminated
  EXPECT_FALSE(ParseTable(file, *read));
  EXPECT_FALSE(WriteTableFile(std::span(table).first(100), file));

  ASSERT_TRUE(WritePaletteFile(TestPalette(), file));
  ASSERT_EQ(file.size(), 768u);
  Palette pal{};
  ASSERT_TRUE(ParsePalette(file, pal));
  EXPECT_EQ(pal, TestPalette());
  Palette part{};
  EXPECT_FALSE(ParsePalette(std::span(file).first(600), part));
  EXPECT_EQ(part[199], TestPalette()[199]);
}

}  // namespace
}  // namespace render
