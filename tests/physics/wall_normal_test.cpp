// Wall normals from the outline walks, and the surface lookup.

#include <gtest/gtest.h>

#include <cmath>

#include "core/angle.h"
#include "core/random15.h"
#include "physics/collision.h"
#include "physics/painted_table.h"
#include "physics/world.h"

namespace physics {
namespace {

using core::kPi;

struct Normals : ::testing::Test {
  Normals() {
    world.map = SurfaceMap(400, 400, 0);
    world.random = &random;
    random.Seed(3);
  }
  float NormalAt(int x, int y, bool* ok = nullptr) {
    float n = -1.0f;
    bool found = WallNormal(world, 0, world.balls[0], 40, x, y, n);
    if (ok) *ok = found;
    return n;
  }
  World world;
  core::Random15 random;
};

TEST_F(Normals, StraightWallsInTheFourDirections) {
  struct Case {
    int x0, y0, x1, y1;  // the wall rectangle
    float expected;
  } cases[] = {
      {0, 201, 400, 400, kPi / 2},    // floor below the ball
      {0, 0, 200, 400, 0.0f},         // wall on the left
      {201, 0, 400, 400, kPi},        // wall on the right
      {0, 0, 400, 200, 3 * kPi / 2},  // ceiling above
  };
  for (const Case& c : cases) {
    world.map = SurfaceMap(400, 400, 0);
    world.map.Fill(c.x0, c.y0, c.x1, c.y1, 40);
    bool ok = false;
    EXPECT_NEAR(NormalAt(200, 200, &ok), c.expected, 1e-5) << c.x0 << "," << c.y0;
    EXPECT_TRUE(ok);
    EXPECT_EQ(world.contact[0].x, 200);
    EXPECT_EQ(world.contact[0].y, 200);
  }
}

TEST_F(Normals, DiagonalWallOpenUpAndLeft) {
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 400; ++x) {
      if (x + y > 400) world.map.Set(x, y, 40);
    }
  }
  bool ok = false;
  EXPECT_NEAR(NormalAt(200, 200, &ok), 3 * kPi / 4, 1e-5);
  EXPECT_TRUE(ok);
  // The mirror image: open up and right.
  world.map = SurfaceMap(400, 400, 0);
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 400; ++x) {
      if (y - x > 0) world.map.Set(x, y, 40);
    }
  }
  EXPECT_NEAR(NormalAt(200, 199), kPi / 4, 1e-5);
}

TEST_F(Normals, CurvedWallNormalPointsAwayFromTheCentre) {
  painted::Disc(world.map, 200.0f, 200.0f, 60.0f, 40);
  int checked = 0;
  for (int deg = 0; deg < 360; deg += 15) {
    const float a = core::DegreesToRadians(static_cast<float>(deg));
    const int x = static_cast<int>(std::floor(200.0f + 61.0f * std::cos(a)));
    const int y = static_cast<int>(std::floor(200.0f - 61.0f * std::sin(a)));
    const BallRecord& b = world.balls[0];
    if (!IsOpenAt(world, b, x, y) || !TouchesWall(world, b, x, y)) continue;
    ++checked;
    float n = NormalAt(x, y);
    EXPECT_LT(std::fabs(core::AngleDifference(a, n)), core::DegreesToRadians(12)) << deg;
  }
  EXPECT_GT(checked, 12);
}

TEST_F(Normals, RandomDeflectionStaysWithinItsSpread) {
  world.map.Fill(0, 201, 400, 400, 40);
  world.surfaces.random_multiplier[40] = 8;  // 8 × 0.125° = 1°
  float lo = 10, hi = -10;
  for (int i = 0; i < 200; ++i) {
    const float d = core::AngleDifference(kPi / 2, NormalAt(200, 200));
    lo = std::min(lo, d);
    hi = std::max(hi, d);
  }
  EXPECT_LE(hi, core::DegreesToRadians(1.0f) + 1e-5f);
  EXPECT_GE(lo, -core::DegreesToRadians(1.0f) - 1e-5f);
  EXPECT_GT(hi - lo, core::DegreesToRadians(1.5f));  // it does spread
}

TEST_F(Normals, NoOutlineFails) {
  bool ok = true;
  NormalAt(200, 200, &ok);  // open all round: no wall to follow
  EXPECT_FALSE(ok);
  world.map.Fill(0, 0, 400, 400, 40);
  NormalAt(200, 200, &ok);  // deep inside a wall
  EXPECT_FALSE(ok);
}

TEST_F(Normals, FixedSpotsBesideTheGates) {
  world.map.Fill(0, 0, 400, 95, 40);  // some wall nearby, its outline ignored
  BallRecord& b = world.balls[0];
  b.vx = -1;
  b.vy = 1;
  EXPECT_FLOAT_EQ(NormalAt(140, 100), 0.698f);
  b.gate_pass[0] = 1;  // a ball cleared for the gate sees the wall itself
  EXPECT_NE(NormalAt(140, 100), 0.698f);
  b.gate_pass[0] = 0;
  b.vx = 1;  // moving right: no fixed normal
  EXPECT_NE(NormalAt(140, 100), 0.698f);
  world.map = SurfaceMap(800, 400, 0);
  EXPECT_FLOAT_EQ(NormalAt(630, 80), 2.618f);
  EXPECT_NE(NormalAt(624, 80), 2.618f);
}

TEST_F(Normals, LookupsOffTheMapAndUnderTheFlippers) {
  World w;
  w.map = SurfaceMap(800, 1514, 0);
  w.map.Fill(150, 1250, 360, 1470, 0x40 | 7);  // top bits set, over the left flipper's box
  EXPECT_EQ(SurfaceCodeAt(w, -1, 10), kCodeWall);
  EXPECT_EQ(SurfaceCodeAt(w, 800, 10), kCodeWall);
  EXPECT_EQ(SurfaceCodeAt(w, 10, -1), kCodeWall);
  EXPECT_EQ(SurfaceCodeAt(w, 10, 1514), kCodeOpenFloor);
  EXPECT_EQ(SurfaceCodeAt(w, 10, 100000), kCodeOpenFloor);
  // Without masks the map byte stands.
  EXPECT_EQ(SurfaceCodeAt(w, 223, 1377), 0x47);
  painted::PaintFlipperMasks(w);
  EXPECT_EQ(SurfaceCodeAt(w, 223, 1377), kCodeFlipper);  // the pivot
  EXPECT_EQ(SurfaceCodeAt(w, 190, 1300), 7);             // in the box, off the flipper
  EXPECT_EQ(SurfaceCodeAt(w, 183, 1300), 0x47);          // just outside the box
  // The tip moves with the frame: 60 px out at -30° down, +30° up.
  const int tip_down_y = 1377 + 40, tip_up_y = 1377 - 40;
  EXPECT_EQ(SurfaceCodeAt(w, 280, tip_down_y), kCodeFlipper);
  EXPECT_NE(SurfaceCodeAt(w, 280, tip_up_y), kCodeFlipper);
  w.flippers[0].frame = 28;
  EXPECT_NE(SurfaceCodeAt(w, 280, tip_down_y), kCodeFlipper);
  EXPECT_EQ(SurfaceCodeAt(w, 280, tip_up_y), kCodeFlipper);
  w.flippers[0].frame = 29;  // held at the top: same mask as 28
  EXPECT_EQ(SurfaceCodeAt(w, 280, tip_up_y), kCodeFlipper);
  // A ball stepped mirrored meets no flipper.
  w.mirrored_step = 1;
  EXPECT_EQ(SurfaceCodeAt(w, 223, 1377), 0x47);
  w.mirrored_step = 0;
  // The right flipper answers inside its own box.
  EXPECT_EQ(SurfaceCodeAt(w, 497, 1377), kCodeFlipper);
}

TEST(FlipperMasks, BadFramesAreRefused) {
  World w;
  Flipper& f = w.flippers[0];
  std::vector<uint8_t> small(10, 1);
  FlipperMaskFrame frame{174, 170, small};
  EXPECT_FALSE(SetFlipperMasks(f, std::span(&frame, 1)));
  EXPECT_FALSE(HasMasks(f));
  EXPECT_FALSE(SetFlipperMasks(f, {}));
  // A smaller frame is placed at the box's corner.
  FlipperMaskFrame tiny{2, 5, small};
  ASSERT_TRUE(SetFlipperMasks(f, std::span(&tiny, 1)));
  w.map = SurfaceMap(800, 1514, 0);
  EXPECT_EQ(SurfaceCodeAt(w, 185, 1300), kCodeFlipper);
  EXPECT_EQ(SurfaceCodeAt(w, 186, 1300), 0);
}

}  // namespace
}  // namespace physics
