#include "render/compositor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "compositor_fixture.h"
#include "render/projection.h"

namespace render {
namespace {

using testing::GreyPalette;
using testing::MakeSet;
using testing::Rig;

constexpr PixelFormatId kAllFormats[] = {PixelFormatId::PAL8, PixelFormatId::RGB555,
                                         PixelFormatId::RGB565, PixelFormatId::RGB24,
                                         PixelFormatId::RGB32};

// A palette whose green falls with the index, for 24/32-bit shadow strengths.
Palette ShadowPalette() {
  Palette p = GreyPalette();
  p[1].g = 154;  // trunc(0.3 × 100) = 30 darker per shadow
  return p;
}

// An RGB565 rig on a 0x22 background with one 8 × 8 ball at (4, 4) casting
// a shadow under itself.
struct ShadowedBall {
  ShadowedBall() {
    rig.FillBackground(0x22);
    BuildShadowTables(rig.c->shadows, PixelFormatId::RGB565, ShadowPalette());
    MakeSet(ball, rig.display.format, 8, 8, 77, 2);
    rig.Place(0, ball, 4, 4, 300);
    SetShadow(*rig.c, 0, true);
    SetShadowOn(*rig.c, 0, true);
  }
  Rig rig{PixelFormatId::RGB565};
  ImageSet ball;
};

TEST(Compositor, EqualDepthsDrawTheLowerNumberOnTopAndDepthZeroNeverDraws) {
  for (PixelFormatId id : kAllFormats) {
    SCOPED_TRACE(static_cast<int>(id));
    Rig rig(id);
    rig.FillBackground(0x40);
    ImageSet a, b, zero;
    MakeSet(a, rig.display.format, 8, 8, 100, 0);
    MakeSet(b, rig.display.format, 8, 8, 200, 0);
    MakeSet(zero, rig.display.format, 8, 8, 150, 0);
    rig.Place(3, a, 10, 10, 500);
    rig.Place(7, b, 14, 10, 500);
    rig.Place(9, zero, 30, 30, 0);
    rig.Present();
    const auto& shown = rig.Shown();
    // Overlap at x 14..17: instance 3 (lower number) ends on top.
    const uint32_t colour_a = id == PixelFormatId::PAL8 ? 100 : a.lookup[100];
    const uint32_t colour_b = id == PixelFormatId::PAL8 ? 200 : b.lookup[200];
    const uint32_t mask = rig.Bpp() == 4 ? 0xFFFFFFFFu : (1u << (8 * rig.Bpp())) - 1;
    EXPECT_EQ(rig.Pixel(shown, 15, 12), colour_a & mask);
    EXPECT_EQ(rig.Pixel(shown, 20, 12), colour_b & mask);
    EXPECT_EQ(rig.At(shown, 32, 32), 0x40);  // depth 0 left the background
  }
}

TEST(Compositor, DepthTestTiesDrawTheBall) {
  Rig rig(PixelFormatId::RGB32);
  rig.FillBackground(0x10);
  for (int32_t y = 0; y < 48; ++y) {
    for (int32_t x = 0; x < 64; ++x) {
      // Column 20 equals the ball's depth, column 21 is nearer by one.
      rig.c->scene_depth.data[static_cast<size_t>(y * 64 + x)] = x == 21 ? 1001 : 1000;
    }
  }
  ImageSet ball;
  MakeSet(ball, rig.display.format, 8, 8, 90, 0);
  rig.Place(0, ball, 18, 10, 1000);
  SetDepthMap(*rig.c, 0, &rig.c->scene_depth);
  rig.Present();
  EXPECT_EQ(rig.At(rig.Shown(), 20, 12), 90);
  EXPECT_EQ(rig.At(rig.Shown(), 21, 12), 0x10);
  EXPECT_EQ(rig.At(rig.Shown(), 22, 12), 90);
}

TEST(Compositor, ShadowIsMaskedWhereDepthPlusThirtyIsBelowTheScene) {
  Rig rig(PixelFormatId::RGB32);
  rig.FillBackground(200);
  BuildShadowTables(rig.c->shadows, PixelFormatId::RGB32, ShadowPalette());
  for (int32_t y = 0; y < 48; ++y) {
    for (int32_t x = 0; x < 64; ++x) {
      rig.c->scene_depth.data[static_cast<size_t>(y * 64 + x)] = x < 20 ? 530 : 531;
    }
  }
  ImageSet ball;
  MakeSet(ball, rig.display.format, 16, 8, 0, 1);  // invisible ball, shadow everywhere
  rig.Place(0, ball, 12, 10, 500);
  SetShadow(*rig.c, 0, true);
  SetShadowOn(*rig.c, 0, true);
  SetDepthMap(*rig.c, 0, &rig.c->scene_depth);
  rig.Present();
  EXPECT_EQ(rig.At(rig.Shown(), 19, 12), 170);     // 500 + 30 ≥ 530: shadowed
  EXPECT_EQ(rig.At(rig.Shown(), 20, 12), 200);     // 530 < 531: masked
  EXPECT_EQ(rig.At(rig.Shown(), 19, 12, 3), 200);  // the fourth byte is kept
}

TEST(Compositor, OverlappingShadowsAreDarker) {
  for (PixelFormatId id : kAllFormats) {
    SCOPED_TRACE(static_cast<int>(id));
    Rig rig(id);
    rig.FillBackground(200);
    LookupTable256 mas{};
    for (int v = 0; v < 256; ++v) {
      for (int s = 0; s < 256; ++s)
        mas[static_cast<size_t>(v * 256 + s)] = static_cast<uint8_t>(s ? std::max(0, v - 30) : v);
    }
    BuildShadowTables(rig.c->shadows, id, ShadowPalette(), mas);
    // In 15/16-bit the shadow plane holds levels; 3 is a clear step there.
    const bool high = id == PixelFormatId::RGB555 || id == PixelFormatId::RGB565;
    ImageSet b0, b1;
    MakeSet(b0, rig.display.format, 16, 8, 0, high ? 3 : 1);
    MakeSet(b1, rig.display.format, 16, 8, 0, high ? 3 : 1);
    rig.Place(0, b0, 0, 10, 500);
    rig.Place(1, b1, 8, 10, 500);
    for (int i = 0; i < 2; ++i) {
      SetShadow(*rig.c, i, true);
      SetShadowOn(*rig.c, i, true);
    }
    rig.Present();
    const auto& s = rig.Shown();
    const uint32_t plain = rig.Pixel(s, 30, 12), one = rig.Pixel(s, 4, 12),
                   both = rig.Pixel(s, 12, 12), other = rig.Pixel(s, 20, 12);
    EXPECT_EQ(one, other);
    EXPECT_NE(one, plain);
    // Darker: compare the lowest channel byte (blue in the packed formats).
    const auto low = [&](uint32_t v) {
      return high ? static_cast<int>(v & 31) : static_cast<int>(v & 0xFF);
    };
    EXPECT_LT(low(one), low(plain));
    EXPECT_LT(low(both), low(one));
  }
}

TEST(Compositor, AStoppedBallLeavesNoTraceAfterTwoPresents) {
  ShadowedBall fixture;
  Rig& rig = fixture.rig;
  for (int i = 0; i < 4; ++i) rig.Present();  // the three full repaints are over
  EXPECT_EQ(rig.display.full_redraw_count, 0);
  MoveInstance(*rig.c, rig.display.format, 0, 40, 30, 300);  // moves once, then stays
  rig.Present();
  rig.Present();
  for (const auto& b : rig.buffers) {
    for (int32_t y = 4; y < 12; ++y) {
      for (int32_t x = 4; x < 12; ++x) ASSERT_EQ(rig.Pixel(b, x, y), 0x2222u) << x << "," << y;
    }
    EXPECT_NE(rig.Pixel(b, 42, 32), 0x2222u);  // the ball where it stopped
  }
  // The scene buffer carries no old shadow either.
  EXPECT_EQ(rig.c->scene[static_cast<size_t>(6 * 64 + 6) * 2], 0x22);
}

TEST(Compositor, AShadowWhoseRectangleWasDroppedLeavesNoGhostForTheShake) {
  // An overflowing list drops every rectangle, the one that would take the
  // ball's old shadow out of the scene too; the scene is what a nudge shows.
  ShadowedBall fixture;
  Rig& rig = fixture.rig;
  for (int i = 0; i < 4; ++i) rig.Present();
  ASSERT_NE(rig.c->scene[static_cast<size_t>(6 * 64 + 6) * 2], 0x22);  // the shadow is in the scene
  for (int i = 0; i <= kMaxRectsPerList; ++i) AddDirtyRect(*rig.c, rig.display, {60, 40, 61, 41});
  MoveInstance(*rig.c, rig.display.format, 0, 40, 30, 300);
  for (int i = 0; i < 3; ++i) rig.Present();
  rig.c->shake_x = 2;
  rig.Present();
  for (int32_t y = 4; y < 12; ++y) {
    for (int32_t x = 4; x < 12; ++x) {
      ASSERT_EQ(rig.c->scene[static_cast<size_t>(y * 64 + x) * 2], 0x22) << x << "," << y;
      ASSERT_EQ(rig.Pixel(rig.Shown(), x - 2, y), 0x2222u) << x << "," << y;
    }
  }
}

TEST(Compositor, NegativeXStartsAtTheClippedSourceColumn) {
  ClippedBox b;
  ASSERT_TRUE(ClipBox(-5, 3, 10, 4, ClipRect{0, 0, 63, 47}, 64, b));
  EXPECT_EQ(b.x, 0);
  EXPECT_EQ(b.src_x, 5);
  EXPECT_EQ(b.w, 5);
  EXPECT_FALSE(ClipBox(64, 0, 10, 4, ClipRect{0, 0, 63, 47}, 64, b));
  EXPECT_FALSE(ClipBox(-20, 0, 10, 4, ClipRect{0, 0, 63, 47}, 64, b));
  EXPECT_FALSE(ClipBox(0, 0, 100, 4, ClipRect{0, 0, 99, 47}, 64, b));  // wider than the screen

  // Drawn: a frame with its column index as pixel value lands column 5 at x 0.
  Rig rig(PixelFormatId::PAL8);
  rig.FillBackground(1);
  ImageSet set;
  MakeSet(set, rig.display.format, 10, 2, 0, 0);
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 10; ++x)
      set.frames[0].pixels[static_cast<size_t>(y * 10 + x)] = static_cast<uint8_t>(50 + x);
  }
  set.frames[0].key = 0;
  rig.Place(0, set, -5, 0, 10);
  rig.Present();
  EXPECT_EQ(rig.At(rig.Shown(), 0, 0), 55);
  EXPECT_EQ(rig.At(rig.Shown(), 4, 1), 59);
  EXPECT_EQ(rig.At(rig.Shown(), 5, 1), 1);
}

TEST(Compositor, SparseFramesDrawEveryVisiblePixelAndNoOther) {
  // Mostly transparent frames, wider than sixteen pixels and not a multiple of
  // it, half off the screen: only their visible pixels change the picture,
  // with and without the depth test, in every format.
  for (const PixelFormatId id : kAllFormats) {
    for (const bool tested : {false, true}) {
      SCOPED_TRACE(static_cast<int>(id) * 2 + tested);
      Rig rig(id);
      rig.FillBackground(3);
      for (int32_t y = 0; y < 48; ++y) {
        for (int32_t x = 0; x < 64; ++x)
          rig.c->scene_depth.data[static_cast<size_t>(y * 64 + x)] = static_cast<int16_t>(x * 10);
      }
      ImageSet set;
      MakeSet(set, rig.display.format, 37, 21, 0, 0);
      std::vector<uint8_t>& px = set.frames[0].pixels;
      for (const auto& [x, y] :
           {std::pair{0, 0}, {36, 0}, {0, 20}, {36, 20}, {17, 9}, {18, 9}, {31, 4}, {5, 15}}) {
        px[static_cast<size_t>(y * 37 + x)] = static_cast<uint8_t>(100 + x + y);
      }
      const int32_t x0 = -3, y0 = 30, depth = 200;  // rows 18..20 fall below the screen
      rig.Place(0, set, x0, y0, depth);
      if (tested) SetDepthMap(*rig.c, 0, &rig.c->scene_depth);
      rig.Present();
      const std::vector<uint8_t>& shown = rig.Shown();
      const uint32_t background = rig.Pixel(shown, 63, 0);
      const uint32_t mask = rig.Bpp() == 4 ? 0xFFFFFFFFu : (1u << (8 * rig.Bpp())) - 1;
      for (int32_t y = 0; y < 48; ++y) {
        for (int32_t x = 0; x < 64; ++x) {
          const int32_t fx = x - x0, fy = y - y0;
          uint32_t want = background;
          if (fx >= 0 && fx < 37 && fy >= 0 && fy < 21) {
            const uint8_t v = px[static_cast<size_t>(fy * 37 + fx)];
            if (v != 0 && (!tested || depth >= x * 10)) {
              want = rig.Bpp() == 1 ? v : set.lookup[v] & mask;
            }
          }
          ASSERT_EQ(rig.Pixel(shown, x, y), want) << x << "," << y;
        }
      }
    }
  }
}

TEST(Compositor, MeasuredBallFramesDrawTheSamePicturesAsSearchedOnes) {
  // A ball set whose frames' used boxes were measured at load draws, restores
  // and shakes exactly as one whose boxes are found while drawing.
  for (const PixelFormatId id : kAllFormats) {
    SCOPED_TRACE(static_cast<int>(id));
    const bool high = id == PixelFormatId::RGB555 || id == PixelFormatId::RGB565;
    std::array<Rig, 2> rigs{Rig(id), Rig(id)};
    std::array<ImageSet, 2> sets;
    for (size_t k = 0; k < 2; ++k) {
      Rig& rig = rigs[k];
      rig.FillBackground(0x5A);
      for (int32_t y = 0; y < 48; ++y) {
        for (int32_t x = 0; x < 64; ++x)
          rig.c->scene_depth.data[static_cast<size_t>(y * 64 + x)] = static_cast<int16_t>(y * 20);
      }
      LookupTable256 mas{};
      for (size_t i = 0; i < mas.size(); ++i) mas[i] = static_cast<uint8_t>((i >> 8) / 2);
      BuildShadowTables(rig.c->shadows, id, ShadowPalette(), mas);
      for (size_t i = 0; i < rig.c->mix.size(); ++i) rig.c->mix[i] = static_cast<uint8_t>(i * 7);
      rig.c->mix_loaded = true;
      ScreenImage& map = rig.c->reflection.maps[0];
      map.width = 16;
      map.height = 8;
      map.bytes.resize(128);
      for (size_t i = 0; i < 128; ++i) map.bytes[i] = static_cast<uint8_t>(i * 3);
      // Two frames: a disc with a shadow below and to the right, and an empty one.
      MakeSet(sets[k], rig.display.format, 30, 30, 0, 0, 2);
      SpriteFrame& fr = sets[k].frames[0];
      for (int32_t y = 0; y < 30; ++y) {
        for (int32_t x = 0; x < 30; ++x) {
          const size_t at = static_cast<size_t>(y * 30 + x);
          if ((x - 12) * (x - 12) + (y - 11) * (y - 11) <= 36)
            fr.pixels[at] = static_cast<uint8_t>(40 + x);
          if ((x - 16) * (x - 16) + (y - 17) * (y - 17) <= 49) fr.shadow[at] = high ? 3 : 1;
        }
      }
      if (k == 1) MeasureUsedBoxes(sets[k]);
      rig.Place(0, sets[k], 0, 0, 500);
      SetShadow(*rig.c, 0, true);
      SetShadowOn(*rig.c, 0, true);
      SetDepthMap(*rig.c, 0, &rig.c->scene_depth);
    }
    ASSERT_TRUE(sets[1].frames[0].boxes_measured);
    EXPECT_EQ(sets[1].frames[1].pixel_box.w, 0);  // the empty frame has nothing to draw
    for (int step = 0; step < 24; ++step) {
      for (Rig& rig : rigs) {
        MoveInstance(*rig.c, rig.display.format, 0, (step * 13) % 80 - 20, (step * 7) % 60 - 15,
                     300 + step * 40);
        SetInstanceFrame(*rig.c, 0, step % 5 == 4 ? 1 : 0);
        physics::ReflectionBlock r;
        r.radius = step % 3 == 0 ? 0 : 9;
        r.centre_x = 12;
        r.centre_y = 11;
        r.roll_x = static_cast<float>(step) * 1.5f;
        r.angle = static_cast<float>(step) * 0.4f;
        SetReflection(*rig.c, 0, r);
        rig.c->shake_x = step == 10 ? 3 : 0;
        rig.Present();
      }
      ASSERT_EQ(rigs[0].Shown(), rigs[1].Shown()) << "step " << step;
    }
  }
}

TEST(Compositor, AClipBeyondTheScreenDrawsOnTheScreenOnly) {
  for (const PixelFormatId id : kAllFormats) {
    Rig rig(id);
    rig.FillBackground(3);
    ImageSet set;
    MakeSet(set, rig.display.format, 30, 30, 9, 2);
    rig.Place(0, set, 50, 40, 100);
    SetShadow(*rig.c, 0, true);
    SetShadowOn(*rig.c, 0, true);
    rig.c->instances[0].clip = ClipRect{-100, -100, 500, 500};
    rig.Present();  // under the address checker: nothing outside the buffers
    EXPECT_NE(rig.Pixel(rig.Shown(), 63, 47), rig.Pixel(rig.Shown(), 0, 0));
  }
}

TEST(Compositor, AShakeOfFortyActsAsThirtyTwoWithBlackColumns) {
  Rig rig(PixelFormatId::RGB24);
  for (int32_t y = 0; y < 48; ++y) {
    for (int32_t x = 0; x < 64; ++x) {
      for (int k = 0; k < 3; ++k) {
        rig.c->background[static_cast<size_t>((y * 64 + x) * 3 + k)] = static_cast<uint8_t>(x + 1);
      }
    }
  }
  rig.c->scene = rig.c->background;
  rig.c->shake_x = 40;
  rig.Present();
  const auto& s = rig.Shown();
  EXPECT_EQ(rig.At(s, 0, 5), 33);   // scene column 32
  EXPECT_EQ(rig.At(s, 31, 5), 64);  // scene column 63
  for (int32_t x = 32; x < 64; ++x) EXPECT_EQ(rig.Pixel(s, x, 5), 0u) << x;
  EXPECT_EQ(rig.display.full_redraw_count, rig.c->buffer_count);

  // Upward by more than the limit: the bottom 32 rows are black, the rest shifted.
  rig.c->shake_x = 0;
  rig.c->shake_y = 99;
  rig.Present();
  EXPECT_EQ(rig.At(rig.Shown(), 10, 15), 11);
  EXPECT_EQ(rig.Pixel(rig.Shown(), 10, 16), 0u);
  // Shake over: full repaints bring the unshifted picture back.
  rig.c->shake_y = 0;
  rig.Present();
  EXPECT_EQ(rig.At(rig.Shown(), 10, 40), 11);
  EXPECT_EQ(rig.At(rig.Shown(), 63, 40), 64);
}

TEST(Compositor, RectangleListOverflowRepaintsEverything) {
  Rig rig(PixelFormatId::RGB32);
  for (int i = 0; i < 4; ++i) rig.Present();
  for (int i = 0; i < kMaxRectsPerList; ++i) AddDirtyRect(*rig.c, rig.display, {0, 0, 4, 4});
  EXPECT_EQ(rig.c->lists[0].count, kMaxRectsPerList);
  EXPECT_EQ(rig.display.full_redraw_count, 0);
  AddDirtyRect(*rig.c, rig.display, {0, 0, 4, 4});
  EXPECT_EQ(rig.c->lists[0].count, 0);
  EXPECT_EQ(rig.display.full_redraw_count, rig.c->buffer_count);
}

TEST(Compositor, RestoreCopiesWholeAlignedSpansAndClamps) {
  Rig rig(PixelFormatId::PAL8);
  rig.FillBackground(9);
  std::vector<uint8_t> dst(64 * 48, 0);
  RestoreRect(rig.display.format, {dst.data(), 64}, rig.c->background.data(), {5, 2, 9, 3});
  EXPECT_EQ(dst[2 * 64 + 3], 0);
  EXPECT_EQ(dst[2 * 64 + 4], 9);   // x0 rounded down to 4
  EXPECT_EQ(dst[3 * 64 + 11], 9);  // run to (9 + 3) rounded down = 12
  EXPECT_EQ(dst[3 * 64 + 12], 0);
  EXPECT_EQ(dst[4 * 64 + 4], 0);
  RestoreRect(rig.display.format, {dst.data(), 64}, rig.c->background.data(), {-50, 40, 500, 500});
  EXPECT_EQ(dst[47 * 64 + 63], 9);
  EXPECT_EQ(dst[40 * 64 + 0], 9);
}

TEST(Compositor, PartRepaintCopiesTheSlotBackForEachBuffer) {
  Rig rig(PixelFormatId::RGB565);
  rig.FillBackground(0x11);
  for (int i = 0; i < 4; ++i) rig.Present();
  TrueColourSprite& lamp = rig.slots.slots[40];
  lamp.width = 4;
  lamp.height = 2;
  lamp.x = 8;
  lamp.y = 8;
  lamp.frame_count = 1;
  lamp.key_value = 0xF81E;
  lamp.bytes_per_pixel = 2;
  lamp.frames.assign(1, std::vector<uint8_t>(16, 0x55));
  // A keyed pixel leaves the background.
  lamp.frames[0][0] = 0x1E;
  lamp.frames[0][1] = 0xF8;
  DrawIntoBackground(*rig.c, rig.display.format, lamp, 40);
  EXPECT_EQ(rig.c->part_repaint_count[40], 2);
  rig.Present();
  rig.Present();
  EXPECT_EQ(rig.c->part_repaint_count[40], 0);
  for (const auto& b : rig.buffers) {
    EXPECT_EQ(rig.Pixel(b, 8, 8), 0x1111u);
    EXPECT_EQ(rig.Pixel(b, 9, 8), 0x5555u);
    EXPECT_EQ(rig.Pixel(b, 11, 9), 0x5555u);
  }
}

TEST(Compositor, TrueColourKeysPerFormat) {
  struct Case {
    PixelFormatId id;
    uint32_t key;
  };
  for (const Case& k : {Case{PixelFormatId::PAL8, 3}, Case{PixelFormatId::RGB555, 0x7C1E},
                        Case{PixelFormatId::RGB565, 0xF81E}, Case{PixelFormatId::RGB24, 0xFF00FE},
                        Case{PixelFormatId::RGB32, 0xFF00FE}}) {
    Rig rig(k.id);
    const DisplayFormat& f = rig.display.format;
    const int32_t sb = f.bytes_per_pixel == 3 ? 4 : f.bytes_per_pixel;
    std::vector<uint8_t> px(static_cast<size_t>(2 * sb), 0x66);
    std::memcpy(px.data(), &k.key, static_cast<size_t>(sb));
    std::vector<uint8_t> dst(static_cast<size_t>(f.pitch) * 48, 0);
    BlitTrueColour(f, {dst.data(), f.pitch}, px.data(), 2, 1, 0, 0, FullClip(f), k.key);
    EXPECT_EQ(dst[0], 0) << static_cast<int>(k.id);
    EXPECT_EQ(dst[static_cast<size_t>(f.bytes_per_pixel)], 0x66) << static_cast<int>(k.id);
    if (f.bytes_per_pixel == 3) {
      EXPECT_EQ(dst[6], 0);  // only three bytes written
    }
  }
}

TEST(ShadowTables, HighColourLevelsFloorAtZero) {
  ShadowTables t;
  BuildShadowTables(t, PixelFormatId::RGB565, Palette{});
  // Level 2 on (r 10, g 3, b 1): r 8, g 0 (3 − 4 floored), b 0.
  const uint16_t c = static_cast<uint16_t>((10 << 11) | (3 << 5) | 1);
  EXPECT_EQ(t.words[(c & 0xFFF8) | 2], (8 << 11) | 0);
  BuildShadowTables(t, PixelFormatId::RGB555, Palette{});
  const uint16_t d = static_cast<uint16_t>((10 << 10) | (20 << 5) | 8);
  EXPECT_EQ(t.words[(d & 0x7FF8) | 3], (7 << 10) | (17 << 5) | 5);
  Palette p{};
  p[4].g = 254;  // no darkening
  p[5].g = 0;    // 76
  BuildShadowTables(t, PixelFormatId::RGB24, p);
  EXPECT_EQ(t.bytes[100 * 256 + 4], 100);
  EXPECT_EQ(t.bytes[100 * 256 + 5], 24);
  EXPECT_EQ(t.bytes[50 * 256 + 5], 0);
  BuildShadowTables(t, PixelFormatId::PAL8, p, std::vector<uint8_t>(12, 0));
  EXPECT_FALSE(t.Ready());  // a table of the wrong size: shadows draw nothing
}

TEST(ShadowBlit, HighColourShadowsKeepTheHueOfGreys) {
  // A grey whose blue has low bits set darkens by the level in every channel,
  // not by the level plus the bits the table index drops.
  for (PixelFormatId id : {PixelFormatId::RGB565, PixelFormatId::RGB555}) {
    Rig rig(id, 8, 4);
    const bool six = id == PixelFormatId::RGB565;
    const uint16_t grey = six ? static_cast<uint16_t>((23 << 11) | (46 << 5) | 23)
                              : static_cast<uint16_t>((23 << 10) | (23 << 5) | 23);
    for (size_t i = 0; i < rig.c->scene.size(); i += 2) std::memcpy(&rig.c->scene[i], &grey, 2);
    BuildShadowTables(rig.c->shadows, id, Palette{});
    std::vector<uint8_t> dst(rig.c->scene.size(), 0);
    const std::vector<uint8_t> plane(4, 5);
    BlitShadow(rig.display.format, {dst.data(), 16}, {rig.c->scene.data(), 16}, rig.c->shadows,
               plane.data(), 2, 2, 0, 0, FullClip(rig.display.format));
    uint16_t v;
    std::memcpy(&v, dst.data(), 2);
    const uint16_t want = six ? static_cast<uint16_t>((18 << 11) | (36 << 5) | 18)
                              : static_cast<uint16_t>((18 << 10) | (18 << 5) | 18);
    EXPECT_EQ(v, want) << static_cast<int>(id);
    std::memcpy(&v, rig.c->scene.data(), 2);
    EXPECT_EQ(v, want);  // the scene darkens alike
  }
}

TEST(StampPartDepth, CopiesWholeFramesThatFit) {
  DepthMap scene;
  scene.width = 16;
  scene.height = 8;
  scene.data.assign(128, 0);
  PartDepth part;
  part.width = 4;
  part.height = 2;
  part.x = 12;
  part.y = 6;
  part.frame_count = 2;
  part.frames = {std::vector<int16_t>(8, 5), std::vector<int16_t>(8, 7)};
  StampPartDepth(scene, part, 1);
  EXPECT_EQ(scene.data[6 * 16 + 12], 7);
  EXPECT_EQ(scene.data[7 * 16 + 15], 7);
  EXPECT_EQ(scene.data[5 * 16 + 12], 0);
  StampPartDepth(scene, part, 2);   // no such frame
  StampPartDepth(scene, part, 64);  // above 63
  EXPECT_EQ(scene.data[6 * 16 + 12], 7);
  part.x = 13;  // would run past the right edge
  StampPartDepth(scene, part, 0);
  part.x = -1;
  StampPartDepth(scene, part, 0);
  EXPECT_EQ(scene.data[6 * 16 + 12], 7);
  EXPECT_EQ(scene.data[6 * 16 + 13], 7);
}

TEST(PlaceBalls, ProjectsPicksFramesAndSwitchesToTheLaneSet) {
  Rig rig(PixelFormatId::RGB32, 1024, 768);
  rig.c->scene_depth.camera = TableCamera();
  auto sets = std::make_unique<ImageSetTable>();
  MakeSet(sets->sets[kBallSet], rig.display.format, 128, 128, 50, 1, 40);
  MakeSet(sets->sets[kLaneBallSet], rig.display.format, 128, 128, 60, 0, 40);
  sets->sets[kBallSet].radii.assign(40, 12);
  PrepareBalls(*rig.c, rig.display.format, *sets);
  EXPECT_EQ(rig.c->instances[0].depth, kParkDepth);
  EXPECT_EQ(rig.c->instances[1].x, kParkX);

  std::array<physics::BallRecord, 2> balls{};
  balls[0].x = 400.0f;
  balls[0].y = 900.0f;
  balls[0].reflection.roll_x = 3.5f;
  balls[1].x = 761.0f;
  balls[1].y = 1468.0f;
  PlaceBalls(*rig.c, rig.display.format, balls, *sets);
  const Projected p = Project(TableCamera(), TableToWorld(400.0f, 900.0f, 0.0f));
  const SpriteInstance& s0 = rig.c->instances[0];
  EXPECT_EQ(s0.x, p.x - 63);
  EXPECT_EQ(s0.y, p.y - 63);
  EXPECT_EQ(s0.depth, p.depth);
  EXPECT_GT(s0.depth, 0);
  EXPECT_EQ(s0.frame, BallFrameForY(900.0f));
  EXPECT_EQ(s0.image_set, &sets->sets[kBallSet]);
  EXPECT_EQ(s0.shadow_on, 1);
  EXPECT_EQ(s0.reflection.radius, 17);
  EXPECT_EQ(s0.reflection.centre_x, 62);
  EXPECT_FLOAT_EQ(s0.reflection.roll_x, 3.5f);
  const SpriteInstance& s1 = rig.c->instances[1];
  EXPECT_EQ(s1.image_set, &sets->sets[kLaneBallSet]);
  EXPECT_EQ(s1.shadow_on, 0);
  EXPECT_EQ(s1.frame, 39);
  EXPECT_EQ(s1.reflection.radius, 0);  // the lane set has no measured radii here

  balls[1].in_play = 0;
  PlaceBalls(*rig.c, rig.display.format, balls, *sets);
  EXPECT_EQ(rig.c->instances[1].depth, -1);
  // Both drawn in one frame without faults, the lane ball hidden.
  rig.Present();
}

TEST(RollReflection, WrapsOffsetsAndAngle) {
  ReflectionTables t;
  t.maps[0].width = 256;
  t.maps[0].height = 128;
  physics::ReflectionBlock b;
  // A forward roll of a quarter turn at angle 0 moves roll y by 256 / 4 × 1.5 = 96:
  // past 64, so it wraps by the height.
  RollReflection(b, t, 6.2831855f / 4.0f, 0.0f, 0.0f);
  EXPECT_NEAR(b.roll_x, 0.0f, 1e-4f);
  EXPECT_NEAR(b.roll_y, 96.0f - 128.0f, 1e-3f);
  RollReflection(b, t, 0.0f, 0.0f, -1.0f);
  EXPECT_NEAR(b.angle, 6.2831855f - 1.5f, 1e-5f);
  physics::ReflectionBlock none;
  none.map_index = 2;  // not loaded: nothing moves
  RollReflection(none, t, 1.0f, 1.0f, 1.0f);
  EXPECT_EQ(none.roll_y, 0.0f);
  EXPECT_EQ(none.angle, 0.0f);
}

TEST(Reflection, ChangesTheDiscInsideItsOuterRadiusOnly) {
  Rig rig(PixelFormatId::PAL8);
  rig.FillBackground(1);
  ReflectionTables& t = rig.c->reflection;
  t.maps[0].width = 16;
  t.maps[0].height = 16;
  t.maps[0].bytes.assign(256, 7);
  for (int b = 0; b < 256; ++b) {
    for (int x = 0; x < 256; ++x)
      rig.c->mix[static_cast<size_t>(b * 256 + x)] =
          static_cast<uint8_t>(b == 40 && x == 7 ? 41 : b);
  }
  rig.c->mix_loaded = true;
  ImageSet ball;
  MakeSet(ball, rig.display.format, 21, 21, 40, 0);
  rig.Place(0, ball, 0, 0, 100);
  SetShadow(*rig.c, 0, true);
  physics::ReflectionBlock r;
  r.radius = 8;  // outer = 6
  r.centre_x = r.centre_y = 10;
  SetReflection(*rig.c, 0, r);
  rig.Present();
  EXPECT_EQ(rig.At(rig.Shown(), 10, 10), 41);
  EXPECT_EQ(rig.At(rig.Shown(), 15, 10), 41);  // distance 5 < 6
  EXPECT_EQ(rig.At(rig.Shown(), 16, 10), 40);  // distance 6: outside
  EXPECT_EQ(rig.At(rig.Shown(), 0, 0), 40);
  EXPECT_EQ(ball.frames[0].pixels[10 * 21 + 10], 40);  // the set itself is untouched
}

TEST(Reflection, EveryPixelTakesTheTexelOfTheFormula) {
  // The mix table passes the texel through, so each pixel of the disc shows
  // which texel the formula picked; compared with the formula written out.
  struct Case {
    int32_t radius, cx, cy;
    float roll_x, roll_y, angle;
    int32_t map_w, map_h;  // sides that are not powers of two wrap another way
  };
  for (const Case k :
       {Case{20, 20, 20, 3.7f, -5.2f, 0.9f, 16, 8}, Case{12, 3, 38, -60.0f, 41.5f, 5.5f, 16, 8},
        Case{27, 20, 20, 0.0f, 0.0f, 0.0f, 16, 8}, Case{9, 40, 1, 7.25f, -3.0f, 3.14159f, 16, 8},
        Case{20, 20, 20, 3.7f, -5.2f, 0.9f, 12, 7}, Case{27, 20, 20, 0.0f, 0.0f, 2.0f, 12, 7}}) {
    SCOPED_TRACE(k.radius);
    Rig rig(PixelFormatId::PAL8);
    rig.FillBackground(1);
    ReflectionTables& t = rig.c->reflection;
    t.maps[0].width = k.map_w;
    t.maps[0].height = k.map_h;
    t.maps[0].bytes.resize(static_cast<size_t>(k.map_w * k.map_h));
    for (size_t i = 0; i < t.maps[0].bytes.size(); ++i)
      t.maps[0].bytes[i] = static_cast<uint8_t>(100 + i);
    for (size_t i = 0; i < rig.c->mix.size(); ++i) rig.c->mix[i] = static_cast<uint8_t>(i & 255);
    rig.c->mix_loaded = true;
    ImageSet ball;
    MakeSet(ball, rig.display.format, 41, 41, 40, 0);
    std::vector<uint8_t>& p = ball.frames[0].pixels;
    for (size_t i = 0; i < p.size(); i += 7) p[i] = 0;  // some transparent pixels
    rig.Place(0, ball, 0, 0, 100);
    SetShadow(*rig.c, 0, true);
    physics::ReflectionBlock r;
    r.radius = k.radius;
    r.centre_x = k.cx;
    r.centre_y = k.cy;
    r.roll_x = k.roll_x;
    r.roll_y = k.roll_y;
    r.angle = k.angle;
    SetReflection(*rig.c, 0, r);
    rig.Present();

    std::vector<uint8_t> want = p;
    const int32_t outer = static_cast<int32_t>(static_cast<float>(k.radius) * 0.75f);
    const int32_t l = static_cast<int32_t>(std::lround(static_cast<float>(k.radius) * 2.0f));
    const float e = static_cast<float>(k.map_w) / static_cast<float>(k.radius);
    const float hx = k.roll_x + 0.5f + static_cast<float>(k.map_w / 2);
    const float hy = k.roll_y + 0.5f + static_cast<float>(k.map_h / 2);
    const float ca = std::cos(k.angle), sa = std::sin(k.angle);
    for (int32_t i = -k.radius; i <= k.radius; ++i) {
      for (int32_t j = -k.radius; j <= k.radius; ++j) {
        const int32_t x = k.cx + j, y = k.cy + i;
        if (x < 0 || y < 0 || x >= 41 || y >= 41 || p[static_cast<size_t>(y * 41 + x)] == 0)
          continue;
        const float dist = std::sqrt(static_cast<float>(i * i + j * j));
        if (dist >= static_cast<float>(outer)) continue;
        const float q =
            t.spread[static_cast<size_t>(std::lround(dist)) * 256 + static_cast<size_t>(l)] * e;
        const float fj = static_cast<float>(j), fi = static_cast<float>(i);
        int64_t tx = static_cast<int64_t>(fj * q * ca + fi * q * sa + hx) % k.map_w;
        int64_t ty = static_cast<int64_t>(-fj * q * sa + fi * q * ca + hy) % k.map_h;
        if (tx < 0) tx += k.map_w;
        if (ty < 0) ty += k.map_h;
        want[static_cast<size_t>(y * 41 + x)] = static_cast<uint8_t>(100 + ty * k.map_w + tx);
      }
    }
    for (int32_t y = 0; y < 41; ++y) {
      for (int32_t x = 0; x < 41; ++x) {
        const uint8_t v = want[static_cast<size_t>(y * 41 + x)];
        ASSERT_EQ(rig.At(rig.Shown(), x, y), v == 0 ? 1 : v) << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace render
