// Nudging, the table shake, the tilt meter and the computer player.

#include "physics/nudge.h"

#include <gtest/gtest.h>

#include "core/random15.h"
#include "physics/computer_player.h"
#include "physics/world.h"

namespace physics {
namespace {

class Hooks final : public NudgeHooks {
 public:
  bool LightsOut() override { return lights_out; }
  void SetLightsOut(bool on) override {
    lights_out = on;
    on ? ++darkened : 0;
  }
  bool FlippersDown() override { return flippers_down; }
  void NudgeReaction(int mask) override { masks.push_back(mask); }
  void TiltCleanUp() override { ++clean_ups; }

  bool lights_out = false;
  bool flippers_down = true;
  int darkened = 0;
  int clean_ups = 0;
  std::vector<int> masks;
};

struct NudgeField : ::testing::Test {
  NudgeField() {
    world.map = SurfaceMap(800, 1514, 0);
    world.random = &random;
    for (BallRecord& b : world.balls) b.in_play = 0;
  }
  BallRecord& Ball(float x, float y) {
    BallRecord& b = world.balls[0];
    b = BallRecord{};
    b.x = x;
    b.y = y;
    return b;
  }
  // Frames with a control held (or none with -1).
  void Frames(int n, int control, float ms) {
    for (int i = 0; i < n; ++i) {
      nudge.pressed = {};
      if (control >= 0) nudge.pressed[control] = 1;
      NudgeAndTiltPass(world, nudge, hooks, ms);
    }
  }
  World world;
  core::Random15 random;
  NudgeState nudge;
  Hooks hooks;
};

TEST_F(NudgeField, HoldingANudgeForMoreThan30MsTilts) {
  Frames(3, kNudgeFromLeft, 10.0f);  // 30 ms: the meter is at the limit, not above
  EXPECT_EQ(world.tilted, 0);
  EXPECT_FLOAT_EQ(nudge.tilt_meter, 300.0f);
  Frames(1, kNudgeFromLeft, 1.0f);
  EXPECT_EQ(world.tilted, 1);
  EXPECT_EQ(hooks.clean_ups, 1);
  EXPECT_EQ(nudge.tilt_meter, 0.0f);
  EXPECT_EQ(nudge.tilts, 1);
  EXPECT_EQ(hooks.masks, (std::vector<int>{1}));  // one nudge: only the first frame pressed it
  // Dark once both flippers are down.
  hooks.flippers_down = false;
  Frames(1, -1, 10.0f);
  EXPECT_FALSE(hooks.lights_out);
  hooks.flippers_down = true;
  Frames(1, -1, 10.0f);
  EXPECT_TRUE(hooks.lights_out);
  EXPECT_EQ(hooks.darkened, 1);
}

TEST_F(NudgeField, ATapThenRestEmptiesTheMeter) {
  Frames(2, kNudgeUp, 10.0f);
  EXPECT_FLOAT_EQ(nudge.tilt_meter, 200.0f);
  Frames(20, -1, 10.0f);
  EXPECT_EQ(nudge.tilt_meter, 0.0f);
  EXPECT_EQ(world.tilted, 0);
}

TEST_F(NudgeField, OnlyBallsAgainstAWallOnThePushedSideMove) {
  world.map.Fill(0, 1000, 400, 1514, kCodeWall);  // a wall left of x = 400
  BallRecord& b = Ball(403.0f, 1400.0f);
  Frames(1, kNudgeFromLeft, 16.0f);
  const float want = NudgeStrength(world, b) * world.tuning.nudge_multi;
  EXPECT_GT(want, 0.0f);
  EXPECT_FLOAT_EQ(b.vx, want);
  // From the right nothing is near: no push.
  b.vx = 0.0f;
  Frames(1, -1, 16.0f);
  Frames(1, kNudgeFromRight, 16.0f);
  EXPECT_EQ(b.vx, 0.0f);
  // Mid-table, nothing within four pixels: no push.
  BallRecord& m = Ball(600.0f, 800.0f);
  Frames(1, -1, 16.0f);
  Frames(1, kNudgeFromLeft, 16.0f);
  EXPECT_EQ(m.vx, 0.0f);
}

TEST_F(NudgeField, NudgeStrengthFallsWithTheDistanceFromTheBottom) {
  BallRecord& b = Ball(400.0f, 1514.0f);
  EXPECT_FLOAT_EQ(NudgeStrength(world, b), world.tuning.nudge_speed);
  b.y = 514.0f;
  EXPECT_FLOAT_EQ(NudgeStrength(world, b), world.tuning.nudge_speed * 0.5f);
  b.y = 1514.0f - 2001.0f;
  EXPECT_EQ(NudgeStrength(world, b), 0.0f);
  b.y = 1500.0f;
  b.waiting_at_plunger = 1;
  EXPECT_EQ(NudgeStrength(world, b), 0.0f);
}

TEST_F(NudgeField, ShakeRunsOutAndReturnsButMovesThePictureOnlyWithDisplayNudge) {
  Frames(1, kNudgeFromLeft, 10.0f);
  EXPECT_FLOAT_EQ(nudge.shake_x.offset, 1.0f + 3.0f);
  EXPECT_EQ(nudge.shake_offset, (std::array<int32_t, 2>{0, 0}));
  Frames(1, -1, 10.0f);  // past 6.45: turns back
  EXPECT_FLOAT_EQ(nudge.shake_x.offset, 6.45f);
  EXPECT_FLOAT_EQ(nudge.shake_x.speed, -0.15f);
  EXPECT_EQ(nudge.shake_x.outward, 0);
  nudge.display_nudge = 1;
  Frames(1, -1, 10.0f);
  EXPECT_EQ(nudge.shake_offset[0], -4);  // -(4.95 + 0.5) clamped to -4
  Frames(10, -1, 10.0f);
  EXPECT_EQ(nudge.shake_x.offset, 0.0f);
  EXPECT_EQ(nudge.shake_x.speed, 0.0f);
  EXPECT_EQ(nudge.shake_offset[0], 0);
  // Up: the y axis, with the nudge sound at x = 400.
  Frames(1, kNudgeUp, 1.0f);
  EXPECT_LT(nudge.shake_y.offset, 0.0f);
  EXPECT_EQ(hooks.masks.back(), 4);
}

struct Computer : ::testing::Test {
  Computer() {
    world.map = SurfaceMap(800, 1514, 0);
    world.balls[1].in_play = 0;
    world.balls[0].in_play = 1;
    reach[0] = {250, 1200, 150, 100, 270, 1};
    reach[1] = {400, 1200, 150, 100, 530, 0};
    random.Seed(3);
  }
  void Frame() { RunComputerPlayer(state, world, reach, 17, random, controls); }
  World world;
  core::Random15 random;
  ComputerPlayerState state;
  std::array<FlipperReach, 2> reach{};
  std::array<int32_t, 2> controls{};
};

TEST_F(Computer, AimsThenPressesAndReleasesTheSideOfTheFlipper) {
  world.balls[0].x = 330.0f;
  world.balls[0].y = 1250.0f;
  int frames = 0;
  while (!controls[0] && frames < 100) {
    Frame();
    ++frames;
  }
  // 550 ms of aim at 17 ms (+ up to 2 ms extra) per frame.
  EXPECT_GE(frames, 30);
  EXPECT_LE(frames, 34);
  EXPECT_EQ(controls[1], 0);
  int held = 0;
  while (controls[0]) {
    ++held;
    Frame();
  }
  EXPECT_GE(held, 26);
  EXPECT_LE(held, 31);
}

TEST_F(Computer, NeverFiresForABallCloseToThePivot) {
  world.balls[0].x = 280.0f;  // 10 pixels from the pivot x
  world.balls[0].y = 1250.0f;
  for (int i = 0; i < 500; ++i) {
    Frame();
    ASSERT_EQ(controls[0], 0);
  }
  EXPECT_GT(state.aim_time[0], 550);
}

TEST_F(Computer, BallsAboveTheTopEdgeAreInNoBox) {
  reach[0].box_y = -100;
  world.balls[0].x = 330.0f;
  world.balls[0].y = -50.0f;
  for (int i = 0; i < 100; ++i) Frame();
  EXPECT_EQ(state.aim_time[0], 0);
}

TEST(ComputerExtra, RandomExtraBound) {
  Tuning t;
  core::Random15 r;
  r.Seed(1);
  t.ai_random_k = 20;
  for (int i = 0; i < 200; ++i) {
    const int32_t e = RandomExtra(t, r, 17);  // bound 3
    EXPECT_GE(e, 0);
    EXPECT_LE(e, 2);
  }
  const uint32_t before = r.state;
  EXPECT_EQ(RandomExtra(t, r, 4), 0);  // bound 0: no draw
  EXPECT_EQ(r.state, before);
}

}  // namespace
}  // namespace physics
