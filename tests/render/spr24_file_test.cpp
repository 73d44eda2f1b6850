// The "SPR24" header checks and the writer's two encodings.

#include "render/spr24_file.h"

#include <gtest/gtest.h>

#include "core/byte_io.h"
#include "render/jpeg_io.h"

namespace render {
namespace {

Spr24Desc Desc(int32_t w, int32_t h, int32_t n, int32_t encoding, int32_t border = 0) {
  Spr24Desc d;
  d.header.width = w;
  d.header.height = h;
  d.header.x = 10;
  d.header.y = 20;
  d.header.encoding = encoding;
  d.header.border = border;
  d.header.key_colour = 0xFF00FF;
  for (int32_t k = 0; k < n; ++k) {
    std::vector<uint8_t> f(static_cast<size_t>(w * h * 3));
    for (size_t i = 0; i < f.size(); i += 3) {
      f[i] = static_cast<uint8_t>(40 * k + 20);
      f[i + 1] = 128;
      f[i + 2] = static_cast<uint8_t>(200 - 30 * k);
    }
    d.frames.push_back(std::move(f));
  }
  return d;
}

TEST(Spr24File, HeaderRejections) {
  std::vector<uint8_t> good;
  ASSERT_TRUE(WriteSpr24File(Desc(4, 3, 2, kSpr24Raw), good));
  Spr24Header h;
  ASSERT_TRUE(ParseSpr24Header(good, h));
  EXPECT_EQ(h.frame_count, 2);
  EXPECT_EQ(h.key_colour, 0xFF00FFu);
  struct Case {
    const char* what;
    size_t at;
    int32_t value;
  } cases[] = {{"257 frames", 40, 257}, {"0 frames", 40, 0},    {"border 17", 52, 17},
               {"border -1", 52, -1},   {"32 bits", 12, 32},    {"version 2", 8, 2},
               {"value A 0", 16, 0},    {"value B -1", 20, -1}, {"width 0", 24, 0},
               {"height -5", 28, -5},   {"encoding 2", 44, 2},  {"huge", 24, 1 << 20}};
  for (const Case& c : cases) {
    std::vector<uint8_t> f = good;
    core::StoreU32(f.data() + c.at, static_cast<uint32_t>(c.value));
    EXPECT_FALSE(ParseSpr24Header(f, h)) << c.what;
  }
  std::vector<uint8_t> f = good;
  f[5] = '4';
  EXPECT_FALSE(ParseSpr24Header(f, h)) << "tag";
  EXPECT_FALSE(ParseSpr24Header(std::span(good).first(311), h));
  // Any mask mode is accepted; only 1 and 2 mean masks.
  core::StoreU32(good.data() + 56, 7);
  ASSERT_TRUE(ParseSpr24Header(good, h));
  EXPECT_EQ(h.MaskCount(), 0);
}

TEST(Spr24File, RawLayout) {
  Spr24Desc d = Desc(4, 3, 2, kSpr24Raw);
  d.header.mask_mode = kSpr24MaskPerFrame;
  d.masks = {std::vector<uint8_t>(12, 1), std::vector<uint8_t>(12, 0)};
  std::vector<uint8_t> file;
  ASSERT_TRUE(WriteSpr24File(d, file));
  ASSERT_EQ(file.size(), kSpr24HeaderSize + 2 * 12 + 2 * 36);
  EXPECT_EQ(file[kSpr24HeaderSize + 11], 1);
  EXPECT_EQ(file[kSpr24HeaderSize + 12], 0);
  EXPECT_EQ(file[kSpr24HeaderSize + 24 + 36], 60);  // frame 1, first red byte
  d.masks.pop_back();
  EXPECT_FALSE(WriteSpr24File(d, file)) << "mode 2 needs one mask per frame";
  d = Desc(4, 3, 2, kSpr24Raw);
  d.frames[1].pop_back();
  EXPECT_FALSE(WriteSpr24File(d, file));
}

TEST(Spr24File, JpegStripGeometry) {
  // W = 50, border 3: S = 56, T = H + 6 rounded up to 8.
  Spr24Desc d = Desc(50, 10, 4, kSpr24JpegStrip, 3);
  d.jpeg_quality = 100;
  std::vector<uint8_t> file;
  ASSERT_TRUE(WriteSpr24File(d, file));
  Spr24Header h;
  ASSERT_TRUE(ParseSpr24Header(file, h));
  EXPECT_EQ(h.StripFrameWidth(), 56);
  EXPECT_EQ(h.StripHeight(), 16);
  int32_t w, ht;
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(JpegDecodeMemory(std::span(file).subspan(kSpr24HeaderSize), w, ht, rgb));
  EXPECT_EQ(w, 224);
  EXPECT_EQ(ht, 16);
  // Frame 2's middle pixel sits at column 2 × 56 + 3 + 25, row 3 + 5.
  const size_t at = (static_cast<size_t>(8) * 224 + 2 * 56 + 3 + 25) * 3;
  EXPECT_NEAR(rgb[at], 100, 3);
  EXPECT_NEAR(rgb[at + 1], 128, 3);
  EXPECT_NEAR(rgb[at + 2], 140, 3);
}

}  // namespace
}  // namespace render
