// True-colour sprites read through the file layer from an in-memory pack, in
// the display formats and resolutions where they behave differently.

#include "render/true_colour_sprite.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/byte_io.h"
#include "memory_pack.h"
#include "render/jpeg_io.h"
#include "render/spr24_file.h"
#include "sprite_fixtures.h"

namespace render {
namespace {

using namespace render::testing;

constexpr uint32_t kKey = 0xFF00FF;

std::vector<uint8_t> Solid(int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> f(static_cast<size_t>(w * h * 3));
  for (size_t i = 0; i < f.size(); i += 3) {
    f[i] = r;
    f[i + 1] = g;
    f[i + 2] = b;
  }
  return f;
}

void SetPixel(std::vector<uint8_t>& f, int32_t w, int32_t x, int32_t y, uint8_t r, uint8_t g,
              uint8_t b) {
  const size_t i = static_cast<size_t>((y * w + x) * 3);
  f[i] = r;
  f[i + 1] = g;
  f[i + 2] = b;
}

Spr24Desc Desc(int32_t w, int32_t h, std::vector<std::vector<uint8_t>> frames,
               int32_t encoding = kSpr24Raw) {
  Spr24Desc d;
  d.header.width = w;
  d.header.height = h;
  d.header.x = 100;
  d.header.y = 60;
  d.header.value_a = 3;
  d.header.value_b = 4;
  d.header.key_colour = kKey;
  d.header.encoding = encoding;
  d.frames = std::move(frames);
  return d;
}

std::vector<uint8_t> Write(const Spr24Desc& d) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(WriteSpr24File(d, out));
  return out;
}

uint32_t PixelOf(const TrueColourSprite& s, int32_t frame, int32_t x, int32_t y) {
  const auto& f = s.frames.at(static_cast<size_t>(frame));
  const size_t at = static_cast<size_t>((y * s.width + x) * s.bytes_per_pixel);
  uint32_t v = 0;
  for (int32_t k = 0; k < s.bytes_per_pixel; ++k)
    v |= static_cast<uint32_t>(f.at(at + k)) << (8 * k);
  return v;
}

class TrueColour : public ::testing::Test {
 protected:
  // Loads "RES\ANIM\T.J24" (and the named mask) in `id` at `width`.
  bool Load(PixelFormatId id, int32_t width = 1024, std::string_view mask = {}, int32_t dx = 0,
            int32_t dy = 0) {
    format_ = Format(id, width);
    res::ResourceLayer& layer = pack_.Open();
    TrueColourContext ctx{layer, format_, SharedColours()};
    return LoadTrueColourSprite(sprite_, ctx, "RES\\ANIM\\T.J24", mask, dx, dy);
  }

  MemoryPack pack_;
  DisplayFormat format_;
  TrueColourSprite sprite_;
};

TEST_F(TrueColour, RawFramesAtFullSize) {
  auto f0 = Solid(4, 3, 10, 20, 30), f1 = Solid(4, 3, 200, 100, 50);
  SetPixel(f0, 4, 1, 1, 0xFF, 0x00, 0xFF);  // the key colour
  pack_.Add("RES\\ANIM\\T.J24", Write(Desc(4, 3, {f0, f1})));
  ASSERT_TRUE(Load(PixelFormatId::RGB32, 1024, {}, 5, -7));
  EXPECT_EQ(sprite_.frame_count, 2);
  EXPECT_EQ(sprite_.width, 4);
  EXPECT_EQ(sprite_.height, 3);
  EXPECT_EQ(sprite_.x, 105);
  EXPECT_EQ(sprite_.y, 53);
  EXPECT_EQ(sprite_.value_a, 3);
  EXPECT_EQ(sprite_.value_b, 4);
  EXPECT_EQ(sprite_.key_value, kKey);
  EXPECT_EQ(sprite_.current_frame, 0);
  EXPECT_EQ(PixelOf(sprite_, 0, 0, 0), 0x0A141Eu);
  EXPECT_EQ(PixelOf(sprite_, 0, 1, 1), 0xFF00FEu);
  EXPECT_EQ(PixelOf(sprite_, 1, 3, 2), 0xC86432u);
  EXPECT_EQ(SpriteRect(sprite_).x1, 109);
  EXPECT_EQ(SpriteRect(sprite_).y1, 56);

  // RGB24 frames hold 4 bytes a pixel as well; PAL8 transparent is index 0.
  ASSERT_TRUE(Load(PixelFormatId::RGB24));
  EXPECT_EQ(sprite_.bytes_per_pixel, 4);
  EXPECT_EQ(PixelOf(sprite_, 1, 0, 0), 0xC86432u);
  ASSERT_TRUE(Load(PixelFormatId::PAL8));
  EXPECT_EQ(sprite_.key_value, 0u);
  EXPECT_EQ(PixelOf(sprite_, 0, 1, 1), 0u);
  EXPECT_EQ(PixelOf(sprite_, 0, 0, 0), SharedColours().cube.cells[CubeIndex(10, 20, 30)]);
}

TEST_F(TrueColour, KeyCollisions) {
  auto f = Solid(2, 1, 255, 0, 240);
  SetPixel(f, 2, 1, 0, 255, 0, 254);
  pack_.Add("RES\\ANIM\\T.J24", Write(Desc(2, 1, {f})));
  // RGB565: (255, 0, 240) packs to the key 0xF81E and is stored one above it.
  ASSERT_TRUE(Load(PixelFormatId::RGB565));
  EXPECT_EQ(sprite_.key_value, 0xF81Eu);
  EXPECT_EQ(PixelOf(sprite_, 0, 0, 0), 0xF81Fu);
  // RGB32: (255, 0, 254) packs to 0xFF00FE and is drawn transparent.
  ASSERT_TRUE(Load(PixelFormatId::RGB32));
  EXPECT_EQ(PixelOf(sprite_, 0, 1, 0), 0xFF00FEu);
  EXPECT_EQ(PixelOf(sprite_, 0, 0, 0), 0xFF00F0u);
}

TEST_F(TrueColour, TinySpriteAt640IsTransparent) {
  pack_.Add("RES\\ANIM\\T.J24", Write(Desc(3, 3, {Solid(3, 3, 9, 9, 9)})));
  ASSERT_TRUE(Load(PixelFormatId::RGB32, 640));
  EXPECT_EQ(sprite_.width, 2);
  EXPECT_EQ(sprite_.height, 2);
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 2; ++x) EXPECT_EQ(PixelOf(sprite_, 0, x, y), 0xFF00FEu);
  }
  ASSERT_TRUE(Load(PixelFormatId::RGB555, 640));
  EXPECT_EQ(PixelOf(sprite_, 0, 1, 1), 0x7C1Eu);
}

TEST_F(TrueColour, ResampledAt800) {
  // A 40 × 20 sprite at (100, 60): on screen round(31.25) × round(15.625) =
  // 31 × 16 at (78, 47). Inside, a plain colour stays that colour; the outer
  // rows and columns are keyed.
  pack_.Add("RES\\ANIM\\T.J24", Write(Desc(40, 20, {Solid(40, 20, 60, 120, 180)})));
  ASSERT_TRUE(Load(PixelFormatId::RGB32, 800, {}, 10, 0));
  EXPECT_EQ(sprite_.width, 31);
  EXPECT_EQ(sprite_.height, 16);
  EXPECT_EQ(sprite_.x, 86);  // (100 + 10) × 0.78125 + 0.5
  EXPECT_EQ(sprite_.y, 47);
  EXPECT_EQ(PixelOf(sprite_, 0, 0, 5), 0xFF00FEu);
  EXPECT_EQ(PixelOf(sprite_, 0, 30, 5), 0xFF00FEu);
  EXPECT_EQ(PixelOf(sprite_, 0, 5, 15), 0xFF00FEu);
  EXPECT_EQ(PixelOf(sprite_, 0, 15, 8), 0x3C78B4u);

  // Partly off the screen to the left: columns of red 255 and 0 alternate, and a
  // pixel left of the screen edge blends its two columns with weights in [0, 1].
  auto stripes = Solid(40, 20, 0, 120, 180);
  for (int32_t y = 0; y < 20; ++y) {
    for (int32_t x = 0; x < 40; x += 2) SetPixel(stripes, 40, x, y, 255, 120, 180);
  }
  Spr24Desc off = Desc(40, 20, {stripes});
  off.header.x = -25;
  pack_.Add("RES\\ANIM\\T.J24", Write(off));
  ASSERT_TRUE(Load(PixelFormatId::RGB32, 800));
  ASSERT_EQ(sprite_.x, -19);          // round(−25 × 0.78125)
  for (int32_t x = 1; x < 19; ++x) {  // screen columns −18 .. −1
    const double u = (x - 19) * 1.28;
    const double c = std::floor(u), fx = u - c;
    const bool even = static_cast<int64_t>(c + 25) % 2 == 0;
    const int red =
        static_cast<int>((even ? 255 : 0) * (1 - fx) + (even ? 0 : 255) * fx + 0.000001);
    EXPECT_EQ(static_cast<int>(PixelOf(sprite_, 0, x, 5) >> 16), red) << "column " << x;
  }
}

TEST_F(TrueColour, ResamplingNeverBlendsTheKeyColourIn) {
  // A plain picture keyed on its right half: at 800 the visible pixels next to
  // the edge keep the picture's colour instead of taking some of the key's.
  auto f = Solid(40, 20, 60, 120, 180);
  for (int32_t y = 0; y < 20; ++y) {
    for (int32_t x = 20; x < 40; ++x) SetPixel(f, 40, x, y, 0xFF, 0x00, 0xFF);
  }
  pack_.Add("RES\\ANIM\\T.J24", Write(Desc(40, 20, {f})));
  ASSERT_TRUE(Load(PixelFormatId::RGB32, 800));
  int visible = 0, keyed = 0;
  for (int32_t y = 1; y < sprite_.height - 1; ++y) {
    for (int32_t x = 1; x < sprite_.width - 1; ++x) {
      const uint32_t v = PixelOf(sprite_, 0, x, y);
      if (v == 0xFF00FEu) {
        ++keyed;
      } else {
        ++visible;
        EXPECT_EQ(v, 0x3C78B4u) << x << "," << y;
      }
    }
  }
  EXPECT_GT(visible, 0);
  EXPECT_GT(keyed, 0);
}

TEST_F(TrueColour, MasksEmbeddedAndExternal) {
  // External mask: 2 × 1, keeps column 0 only; read clamped beyond its size.
  std::vector<uint8_t> ims;
  ASSERT_TRUE(WriteMaskFile(2, 1, std::vector<uint8_t>{255, 0}, kMaskCoded, ims));
  pack_.Add("RES\\IMMASK\\T.IMS", ims);
  Spr24Desc d = Desc(3, 2, {Solid(3, 2, 1, 2, 3), Solid(3, 2, 4, 5, 6)});
  pack_.Add("RES\\ANIM\\T.J24", Write(d));
  ASSERT_TRUE(Load(PixelFormatId::RGB32, 1024, "RES\\IMMASK\\T.IMS"));
  for (int32_t k = 0; k < 2; ++k) {
    EXPECT_NE(PixelOf(sprite_, k, 0, 1), 0xFF00FEu);
    EXPECT_EQ(PixelOf(sprite_, k, 1, 0), 0xFF00FEu);
    EXPECT_EQ(PixelOf(sprite_, k, 2, 1), 0xFF00FEu);
  }
  EXPECT_FALSE(Load(PixelFormatId::RGB32, 1024, "RES\\IMMASK\\MISSING.IMS"));
  EXPECT_TRUE(sprite_.frames.empty());

  // Mask mode 2: each frame has its own mask and the external one is ignored.
  d.header.mask_mode = kSpr24MaskPerFrame;
  d.masks = {{0, 255, 255, 255, 255, 255}, {255, 255, 255, 255, 255, 0}};
  pack_.Add("RES\\ANIM\\T.J24", Write(d));
  ASSERT_TRUE(Load(PixelFormatId::RGB32, 1024, "RES\\IMMASK\\T.IMS"));
  EXPECT_EQ(PixelOf(sprite_, 0, 0, 0), 0xFF00FEu);
  EXPECT_EQ(PixelOf(sprite_, 0, 1, 0), 0x010203u);
  EXPECT_EQ(PixelOf(sprite_, 1, 0, 0), 0x040506u);
  EXPECT_EQ(PixelOf(sprite_, 1, 2, 1), 0xFF00FEu);

  // Mask mode 1 replaces the external mask for every frame.
  d.header.mask_mode = kSpr24OneMask;
  d.masks = {{255, 255, 0, 255, 255, 255}};
  pack_.Add("RES\\ANIM\\T.J24", Write(d));
  ASSERT_TRUE(Load(PixelFormatId::RGB32, 1024, "RES\\IMMASK\\T.IMS"));
  EXPECT_EQ(PixelOf(sprite_, 1, 1, 0), 0x040506u);
  EXPECT_EQ(PixelOf(sprite_, 1, 2, 0), 0xFF00FEu);
}

// A part that moves from left to right across five frames sharing one mask
// (columns 3..10). The background holds frame 0, whose edge lies just outside
// the mask: the other frames cover the two columns left of the mask that the
// part has left, never the columns beside its new place, and frame 0 takes
// the background's pixels there so that coming back restores the picture.
TEST_F(TrueColour, ARestRimCoversWhereTheRestingPartWas) {
  constexpr int32_t kW = 14, kH = 3;
  const int32_t part_at[5] = {3, 5, 7, 9, 9};  // first of its two columns
  std::vector<std::vector<uint8_t>> frames;
  for (int32_t k = 0; k < 5; ++k) {
    auto f = Solid(kW, kH, 20, 40, 200);  // the floor
    for (int32_t y = 0; y < kH; ++y) {
      for (int32_t x = part_at[k]; x < part_at[k] + 2; ++x) SetPixel(f, kW, x, y, 220, 30, 30);
    }
    frames.push_back(f);
  }
  std::vector<uint8_t> mask(static_cast<size_t>(kW * kH), 0);
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 3; x <= 10; ++x) mask[static_cast<size_t>(y * kW + x)] = 255;
  }
  std::vector<uint8_t> ims;
  ASSERT_TRUE(WriteMaskFile(kW, kH, mask, kMaskPlain, ims));
  pack_.Add("RES\\IMMASK\\T.IMS", ims);
  pack_.Add("RES\\ANIM\\T.J24", Write(Desc(kW, kH, frames)));
  format_ = Format(PixelFormatId::RGB32);
  TrueColourContext ctx{pack_.Open(), format_, SharedColours()};
  const uint32_t key = 0xFF00FEu, floor = 0x1428C8u;

  ASSERT_TRUE(LoadTrueColourSprite(sprite_, ctx, "RES\\ANIM\\T.J24", "RES\\IMMASK\\T.IMS", 0, 0));
  for (int32_t k = 0; k < 5; ++k) EXPECT_EQ(PixelOf(sprite_, k, 2, 1), key) << k;  // no rim asked

  ASSERT_TRUE(
      LoadTrueColourSprite(sprite_, ctx, "RES\\ANIM\\T.J24", "RES\\IMMASK\\T.IMS", 0, 0, 2));
  for (int32_t k = 1; k < 5; ++k) {
    for (int32_t y = 0; y < kH; ++y) {
      EXPECT_EQ(PixelOf(sprite_, k, 0, y), key) << k;  // three columns away
      EXPECT_EQ(PixelOf(sprite_, k, 1, y), floor) << k;
      EXPECT_EQ(PixelOf(sprite_, k, 2, y), floor) << k;
      EXPECT_EQ(PixelOf(sprite_, k, 11, y), key) << k;  // beside the part's new place
      EXPECT_EQ(PixelOf(sprite_, k, 12, y), key) << k;
    }
  }
  EXPECT_EQ(PixelOf(sprite_, 0, 1, 1), key);
  EXPECT_EQ(PixelOf(sprite_, 0, 4, 1), 0xDC1E1Eu);  // inside the mask nothing changes
  EXPECT_EQ(PixelOf(sprite_, 3, 9, 1), 0xDC1E1Eu);

  Picture background;
  background.width = 1024;
  background.height = 768;
  background.format = PixelFormatId::RGB32;
  background.pixels.assign(1024 * 768 * 4, 0);
  const size_t at = (static_cast<size_t>(61) * 1024 + 101) * 4;  // sprite at (100, 60)
  background.pixels[at] = 0x56;
  background.pixels[at + 1] = 0x34;
  background.pixels[at + 2] = 0x12;
  CoverRestRim(sprite_, background);
  EXPECT_EQ(PixelOf(sprite_, 0, 1, 1), 0x123456u);
  EXPECT_EQ(PixelOf(sprite_, 0, 2, 1), 0u);
  EXPECT_EQ(PixelOf(sprite_, 0, 0, 1), key);  // no frame paints these
  EXPECT_EQ(PixelOf(sprite_, 0, 11, 1), key);
  EXPECT_EQ(PixelOf(sprite_, 1, 1, 1), floor);  // the other frames keep their rim
}

TEST_F(TrueColour, JpegStripFromThePack) {
  // W = 50, border 3, N = 4: S = 56, the strip must be 224 wide.
  std::vector<std::vector<uint8_t>> frames;
  for (uint8_t k = 0; k < 4; ++k) frames.push_back(Solid(50, 10, 40 + 50 * k, 128, 200 - 40 * k));
  Spr24Desc d = Desc(50, 10, frames, kSpr24JpegStrip);
  d.header.border = 3;
  d.jpeg_quality = 100;
  pack_.Add("RES\\ANIM\\T.J24", Write(d));
  pack_.Add("RES\\ANIM\\U.J24", std::vector<uint8_t>(5000, 0xFF));  // follows it in the pack
  ASSERT_TRUE(Load(PixelFormatId::RGB32));
  ASSERT_EQ(sprite_.frame_count, 4);
  for (int32_t k = 0; k < 4; ++k) {
    for (auto [x, y] : {std::pair{0, 0}, {49, 9}, {25, 5}}) {
      const uint32_t v = PixelOf(sprite_, k, x, y);
      EXPECT_NEAR(static_cast<int>(v >> 16), 40 + 50 * k, 4) << k << " " << x << "," << y;
      EXPECT_NEAR(static_cast<int>((v >> 8) & 255), 128, 4);
      EXPECT_NEAR(static_cast<int>(v & 255), 200 - 40 * k, 4);
    }
  }

  // The same header over a 232-wide strip is refused.
  std::vector<uint8_t> file = Write(d), wrong;
  file.resize(kSpr24HeaderSize);
  ASSERT_TRUE(JpegEncode(232, 16, Solid(232, 16, 1, 2, 3), 90, wrong));
  file.insert(file.end(), wrong.begin(), wrong.end());
  pack_.Add("RES\\ANIM\\T.J24", file);
  EXPECT_FALSE(Load(PixelFormatId::RGB32));
  EXPECT_EQ(sprite_.frame_count, 0);
  // Not a JPEG at all.
  file.resize(kSpr24HeaderSize + 100);
  pack_.Add("RES\\ANIM\\T.J24", file);
  EXPECT_FALSE(Load(PixelFormatId::RGB32));
}

TEST_F(TrueColour, Pal8SteadinessAndRefusals) {
  // Frame 1 differs from frame 0 by 3 in sum at pixel 0 (taken back to frame 0's
  // colour) and by 9 at pixel 1 (kept).
  auto f0 = Solid(2, 1, 100, 100, 100), f1 = f0;
  SetPixel(f1, 2, 0, 0, 101, 101, 103);
  SetPixel(f1, 2, 1, 0, 96, 104, 104);  // (12, 13, 13) ≠ (12, 12, 12)
  pack_.Add("RES\\ANIM\\T.J24", Write(Desc(2, 1, {f0, f1})));
  ASSERT_TRUE(Load(PixelFormatId::PAL8));
  const ColourCube& cube = SharedColours().cube;
  EXPECT_EQ(PixelOf(sprite_, 1, 0, 0), cube.cells[CubeIndex(100, 100, 100)]);
  EXPECT_EQ(PixelOf(sprite_, 1, 1, 0), cube.cells[CubeIndex(96, 104, 104)]);
  // Not in the true-colour modes.
  ASSERT_TRUE(Load(PixelFormatId::RGB32));
  EXPECT_EQ(PixelOf(sprite_, 1, 0, 0), 0x656567u);

  // PAL8 without a cube is refused.
  format_ = Format(PixelFormatId::PAL8);
  TableColours none;
  res::ResourceLayer& layer = pack_.Open();
  TrueColourContext ctx{layer, format_, none};
  EXPECT_FALSE(LoadTrueColourSprite(sprite_, ctx, "RES\\ANIM\\T.J24", {}, 0, 0));

  // Raw data cut short, and a header the reader refuses.
  std::vector<uint8_t> file = Write(Desc(2, 1, {f0, f1}));
  file.pop_back();
  pack_.Add("RES\\ANIM\\T.J24", file);
  EXPECT_FALSE(Load(PixelFormatId::RGB32));
  file = Write(Desc(2, 1, {f0, f1}));
  core::StoreU32(file.data() + 40, 257);
  pack_.Add("RES\\ANIM\\T.J24", file);
  EXPECT_FALSE(Load(PixelFormatId::RGB32));
  EXPECT_TRUE(sprite_.frames.empty());
}

TEST(TrueColourFrames, StepAndWrap) {
  TrueColourSprite s;
  s.frame_count = 5;
  PrevFrame(s);
  EXPECT_EQ(s.current_frame, 4);
  NextFrame(s);
  EXPECT_EQ(s.current_frame, 0);
  SetFrame(s, 3);
  EXPECT_EQ(s.current_frame, 3);
  SetFrame(s, 5);
  SetFrame(s, -1);
  EXPECT_EQ(s.current_frame, 3);
  s.current_frame = -1;  // draws nothing; the next step shows frame 0
  NextFrame(s);
  EXPECT_EQ(s.current_frame, 0);
  TrueColourSprite empty;
  PrevFrame(empty);
  EXPECT_EQ(empty.current_frame, 0);
  NextFrame(empty);
  EXPECT_EQ(empty.current_frame, 0);
}

TEST(PartGraphics, NamedPartsAndLoading) {
  auto table = std::make_unique<PartGraphicsTable>();
  InitPartGraphicsTable(*table);
  EXPECT_EQ(table->records[0].sprite_file, "RES\\ANIM\\REBOUNDR.J24");
  EXPECT_EQ(table->records[0].mask_file, "RES\\IMMASK\\REBOUNDR.IMS");
  EXPECT_EQ(table->records[0].sprite_slot, 30);
  EXPECT_EQ(table->records[1].depth_file, "RES\\Z\\SPINNER.ZS2");
  EXPECT_EQ(table->records[26].sprite_file, "RES\\ANIM\\LBON_00.J24");
  EXPECT_EQ(table->records[59].depth_file, "RES\\Z\\DT_04.ZS2");
  EXPECT_EQ(table->records[64].sprite_file, "RES\\ANIM\\PLUNGER.J24");
  EXPECT_EQ(table->records[64].sprite_slot, 94);
  EXPECT_TRUE(table->records[65].sprite_file.empty());
  int depth = 0;
  for (const auto& r : table->records) depth += !r.depth_file.empty();
  EXPECT_EQ(depth, 5);

  // Every part present but one: all others load, the result says one failed.
  MemoryPack pack;
  std::vector<uint8_t> ims, zs2;
  ASSERT_TRUE(WriteMaskFile(1, 1, std::vector<uint8_t>{255}, kMaskPlain, ims));
  pack.Add("RES\\IMMASK\\REBOUNDR.IMS", ims);
  const std::vector<std::vector<int16_t>> depth_frames(2, std::vector<int16_t>(4, 7));
  for (const char* z : {"SPINNER", "WGATE_L", "WGATE_R", "WGATE_S", "DT_04"}) {
    ASSERT_TRUE(WritePartDepthFile(2, 2, depth_frames, DepthCamera{}, 10, 10, zs2));
    pack.Add(std::string("RES\\Z\\") + z + ".ZS2", zs2);
  }
  for (int32_t i = 0; i < kNamedPartCount; ++i) {
    if (PartName(i) == "LBON_07") continue;
    pack.Add(table->records[static_cast<size_t>(i)].sprite_file,
             Write(Desc(12, 12, {Solid(12, 12, static_cast<uint8_t>(i), 1, 2)})));
  }
  auto slots = std::make_unique<SpriteSlots>();
  slots->slots[63].frame_count = 99;  // LBON_07's slot is freed even though its load fails
  const DisplayFormat format = Format(PixelFormatId::RGB565, 800);
  TrueColourContext ctx{pack.Open(), format, SharedColours()};
  EXPECT_FALSE(LoadPartGraphics(*table, *slots, ctx));
  EXPECT_EQ(slots->slots[63].frame_count, 0);
  EXPECT_EQ(slots->slots[94].frame_count, 1);
  EXPECT_EQ(slots->slots[30].width, 9);
  EXPECT_EQ(table->records[1].depth.frame_count, 2);
  EXPECT_EQ(table->records[1].depth.x, 7);
  EXPECT_EQ(slots->slots[29].frame_count, 0);
  EXPECT_NE(WarmUpSprites(*slots), 0u);
}

}  // namespace
}  // namespace render
