#include <gtest/gtest.h>

#include <cmath>

#include "render/image_set.h"
#include "sprite_fixtures.h"

namespace render {
namespace {

using namespace render::testing;

std::vector<uint8_t> BallFile(int frames, int32_t radius) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  for (int i = 0; i < frames; ++i) desc.frames.push_back(BallFrame(radius, 100));
  return Write(desc);
}

// Shadow: a disc offset down and right, strength from the palette's green.
std::vector<uint8_t> ShadowFile(int frames) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.palette[120].g = 104;  // (255 − 104) >> 4 = 9: limited to 7
  desc.palette[121].g = 180;  // 75 >> 4 = 4
  desc.palette[122].g = 250;  // 0: raised to 1
  for (int i = 0; i < frames; ++i) {
    SpriteFileFrame f = Frame(128, 128, 0);
    for (int32_t y = 60; y < 100; ++y) {
      for (int32_t x = 60; x < 100; ++x)
        At(f, x, y) = static_cast<uint8_t>(x < 70 ? 120 : x < 80 ? 121 : 122);
    }
    desc.frames.push_back(f);
  }
  return Write(desc);
}

struct Composite {
  DisplayFormat format;
  std::unique_ptr<TableColours> colours = FreshColours();
  ImageSet set;
  Composite(PixelFormatId id, int32_t width) : format(Format(id, width)) {}
  bool Load(const std::vector<uint8_t>& picture, const std::vector<uint8_t>& shadow) {
    ImageSetContext ctx{format, *colours, nullptr};
    return LoadCompositeSet(set, picture, shadow, ctx);
  }
};

TEST(CompositeSet, JoinsPictureShadowAndCoverage) {
  Composite c(PixelFormatId::RGB565, 1024);
  ASSERT_TRUE(c.Load(BallFile(3, 18), ShadowFile(3)));
  EXPECT_EQ(c.set.frame_count, 3);
  EXPECT_EQ(c.set.compression, kStoredPlain);
  EXPECT_EQ(c.set.lookup, BuildLookupTable(c.format, c.colours->palette));
  const SpriteFrame& f = c.set.frames[1];
  ASSERT_EQ(f.width, 128);
  ASSERT_EQ(f.shadow.size(), 128u * 128u);
  ASSERT_EQ(f.coverage.size(), 128u * 128u);
  EXPECT_EQ(c.set.work.size(), 128u * 128u);
  auto at = [&](const std::vector<uint8_t>& plane, int x, int y) {
    return plane[static_cast<size_t>(y * 128 + x)];
  };
  EXPECT_EQ(at(f.pixels, 63, 63), 100);
  EXPECT_EQ(at(f.pixels, 90, 90), 0);
  EXPECT_EQ(at(f.shadow, 65, 90), 7);
  EXPECT_EQ(at(f.shadow, 75, 90), 4);
  EXPECT_EQ(at(f.shadow, 85, 90), 1);
  EXPECT_EQ(at(f.shadow, 10, 10), 0);
  EXPECT_EQ(at(f.coverage, 63, 50), 1) << "ball only";
  EXPECT_EQ(at(f.coverage, 95, 95), 1) << "shadow only";
  EXPECT_EQ(at(f.coverage, 10, 10), 0);
}

TEST(CompositeSet, ShadowKeepsItsIndicesInTrueColour) {
  Composite c(PixelFormatId::RGB32, 1024);
  ASSERT_TRUE(c.Load(BallFile(1, 18), ShadowFile(1)));
  EXPECT_EQ(c.set.frames[0].shadow[static_cast<size_t>(90 * 128 + 65)], 120);
}

TEST(CompositeSet, WithoutShadowAndFailures) {
  Composite c(PixelFormatId::RGB32, 1024);
  ASSERT_TRUE(c.Load(BallFile(2, 18), {}));
  EXPECT_TRUE(c.set.frames[0].shadow.empty());
  EXPECT_EQ(c.set.frames[0].coverage[static_cast<size_t>(63 * 128 + 63)], 1);

  EXPECT_FALSE(c.Load(BallFile(2, 18), ShadowFile(3))) << "frame counts differ";
  EXPECT_TRUE(c.set.frames.empty());
  std::vector<uint8_t> broken = ShadowFile(2);
  broken.resize(broken.size() - 10);
  EXPECT_FALSE(c.Load(BallFile(2, 18), broken));
  EXPECT_TRUE(c.set.frames.empty());

  SpriteFileDesc many;
  many.palette = TestPalette();
  many.frames.assign(1025, Frame(1, 1, 50));
  EXPECT_FALSE(c.Load(Write(many), {})) << "more than 1024 frames";
  many.frames.resize(1024);
  EXPECT_TRUE(c.Load(Write(many), {}));
}

// At 800 and 640 wide the ball is trimmed around its own centre (63, 63): it must
// survive whole, minus the ring outside the measured radius.
TEST(CompositeSet, ReducedResolutionTrimKeepsTheBall) {
  for (int32_t width : {800, 640}) {
    SCOPED_TRACE(width);
    const double s = width / 1024.0;
    SpriteFileDesc desc;
    desc.palette = TestPalette();
    desc.frames = {BallFrame(18, 100), Frame(128, 128, 100)};  // the second has no edge on row 63
    Composite c(PixelFormatId::RGB32, width);
    ASSERT_TRUE(c.Load(Write(desc), {}));
    const SpriteFrame& ball = c.set.frames[0];
    const int32_t side = static_cast<int32_t>(128 * s) + 1;
    ASSERT_EQ(ball.width, side);
    const double centre = 63 * s;
    const double r = (82 - 63 - 2) * s;  // measured: first key at 82, less 2
    int visible = 0;
    for (int32_t y = 0; y < side; ++y) {
      for (int32_t x = 0; x < side; ++x) {
        if (ball.pixels[static_cast<size_t>(y * side + x)] == 0) continue;
        ++visible;
        EXPECT_LE(std::hypot(x - centre, y - centre), r + 1e-9) << x << "," << y;
      }
    }
    EXPECT_GT(visible, 0.8 * M_PI * r * r) << "the ball survives the trim";
    EXPECT_NE(ball.pixels[static_cast<size_t>(static_cast<int>(centre) * side +
                                              static_cast<int>(centre))],
              0);
    // No radius found: the frame is left as resampled.
    const SpriteFrame& full = c.set.frames[1];
    EXPECT_NE(full.pixels[static_cast<size_t>(2 * side + 2)], 0);
    EXPECT_NE(full.pixels[static_cast<size_t>((side - 3) * side + side - 3)], 0);
  }
}

}  // namespace
}  // namespace render

namespace render {
namespace {

TEST(ImageSetTable, WarmUpReadsEveryPlane) {
  auto table = std::make_unique<ImageSetTable>();
  EXPECT_EQ(WarmUpImageSets(*table), 0u);
  SpriteFrame f;
  f.pixels = {1, 2};
  f.shadow = {3};
  f.coverage = {1, 1};
  table->sets[kImageSetCount - 1].frames.push_back(f);
  table->sets[kBallSet].frames.push_back(f);
  EXPECT_EQ(WarmUpImageSets(*table), 16u);
}

}  // namespace
}  // namespace render

namespace render {
namespace {

using namespace render::testing;

TEST(CompositeSet, PlanesSpanBothFramesFromTheSmallerHotSpot) {
  SpriteFileDesc picture, shadow;
  picture.palette = shadow.palette = TestPalette();
  picture.frames = {Frame(10, 10, 100, 0, 0)};
  shadow.frames = {Frame(10, 10, 121, -3, -2)};
  DisplayFormat format = Format(PixelFormatId::RGB32);
  auto colours = FreshColours();
  ImageSetContext ctx{format, *colours, nullptr};
  ImageSet set;
  ASSERT_TRUE(LoadCompositeSet(set, Write(picture), Write(shadow), ctx));
  const SpriteFrame& f = set.frames[0];
  EXPECT_EQ(f.hot_x, -3);
  EXPECT_EQ(f.hot_y, -2);
  ASSERT_EQ(f.width, 13);
  ASSERT_EQ(f.height, 12);
  auto at = [&](const std::vector<uint8_t>& plane, int x, int y) {
    return plane[static_cast<size_t>(y * 13 + x)];
  };
  // The picture lands at (hot − composite hot) = (3, 2), the shadow at (0, 0).
  EXPECT_EQ(at(f.pixels, 2, 1), 0);
  EXPECT_EQ(at(f.pixels, 3, 2), 100);
  EXPECT_EQ(at(f.pixels, 12, 11), 100);
  EXPECT_EQ(at(f.shadow, 0, 0), 121);
  EXPECT_EQ(at(f.shadow, 9, 9), 121);
  EXPECT_EQ(at(f.shadow, 10, 10), 0);
  EXPECT_EQ(at(f.coverage, 0, 11), 0);
  EXPECT_EQ(at(f.coverage, 12, 0), 0);
  EXPECT_EQ(at(f.coverage, 0, 0), 1);
  EXPECT_EQ(at(f.coverage, 12, 11), 1);
}

}  // namespace
}  // namespace render
