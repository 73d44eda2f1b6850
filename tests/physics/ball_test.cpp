#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/random15.h"
#include "physics/world.h"

namespace physics {
namespace {

float Speed(const BallRecord& b) { return std::sqrt(b.vx * b.vx + b.vy * b.vy); }

// An open field with walls on every side, big enough for the plunger.
struct Field : ::testing::Test {
  Field() {
    world.map = SurfaceMap(800, 1500, 0);
    world.random = &random;
    random.Seed(7);
  }
  BallRecord& Ball(float x, float y, float vx, float vy) {
    BallRecord& b = world.balls[0];
    b.x = x;
    b.y = y;
    b.vx = vx;
    b.vy = vy;
    b.launched = 1;
    return b;
  }
  World world;
  core::Random15 random;
};

TEST_F(Field, ResetWritesBothRecordsAndKeepsReflection) {
  world.balls[0].x = 5;
  world.balls[0].speed_limit = 9;
  world.balls[1].in_play = 1;
  world.balls[1].reflection.radius = 11;
  BallReset(world.balls);
  for (const BallRecord& b : world.balls) {
    EXPECT_EQ(b.x, 0.0f);
    EXPECT_EQ(b.prev_x, -1.0f);
    EXPECT_EQ(b.speed_limit, 20.0f);
    EXPECT_EQ(b.radius, 20);
    EXPECT_EQ(b.surface_code, 23);
    EXPECT_EQ(b.flipper_contact, -1);
    EXPECT_FLOAT_EQ(b.flipper_angle[0], -4 * core::kPi);
    EXPECT_FLOAT_EQ(b.floor_tolerance, 10 * core::kPi / 180);
  }
  EXPECT_EQ(world.balls[0].in_play, 1);
  EXPECT_EQ(world.balls[1].in_play, 0);
  EXPECT_EQ(world.balls[1].reflection.radius, 11);
}

TEST_F(Field, PlaceBallAtPlunger) {
  BallRecord& b = world.balls[1];
  b.speed_limit = 9;
  b.launched = 1;
  b.rolling = 1;
  b.rotation_rate = {1, 2, 3};
  b.flipper_contact = 0;
  b.gate_pass = {1, 1, 1};
  b.surface_code = 12;
  core::Random15 copy = random;
  ASSERT_TRUE(PlaceBallAtPlunger(world.balls, 1, world.tuning, random));
  float r1 = copy.Within(0.2f), r2 = copy.Within(0.2f);
  EXPECT_EQ(b.x, 761.0f);
  EXPECT_EQ(b.y, 1468.0f);
  EXPECT_FLOAT_EQ(b.vx, -2.0f + r1);
  EXPECT_FLOAT_EQ(b.vy, -2.0f + r2);
  EXPECT_NE(r1, r2);
  EXPECT_EQ(b.in_play, 1);
  EXPECT_EQ(b.waiting_at_plunger, 1);
  EXPECT_EQ(b.launched, 0);
  EXPECT_EQ(b.rolling, 0);
  EXPECT_EQ(b.rotation_rate[2], 0.0f);
  EXPECT_EQ(b.flipper_contact, -1);
  EXPECT_EQ(b.gate_pass[1], 0);
  EXPECT_EQ(b.surface_code, 23);
  EXPECT_EQ(b.last_open_floor_code, 23);
  EXPECT_EQ(b.speed_limit, 9.0f);  // tuning fields survive

  // Only balls 0 and 1 exist; nothing else changes and no random number is drawn.
  std::array<BallRecord, 2> before = world.balls;
  uint32_t state = random.state;
  EXPECT_FALSE(PlaceBallAtPlunger(world.balls, 2, world.tuning, random));
  EXPECT_FALSE(PlaceBallAtPlunger(world.balls, -1, world.tuning, random));
  EXPECT_EQ(random.state, state);
  EXPECT_EQ(std::memcmp(&before, &world.balls, sizeof before), 0);
}

// A playfield load resets, then the tuning text wins over the reset values.
TEST_F(Field, PlayfieldResetThenTuningText) {
  world.surfaces.wall_friction[4] = 0.3f;
  world.balls[0].speed_limit = 3;
  world.balls[1].in_play = 1;
  PlayfieldReset(world, random);
  EXPECT_FLOAT_EQ(world.surfaces.wall_friction[4], -0.1f);
  EXPECT_EQ(world.balls[0].speed_limit, 20.0f);
  EXPECT_EQ(world.balls[0].waiting_at_plunger, 1);
  EXPECT_EQ(world.balls[0].x, kPlungerX);
  EXPECT_EQ(world.balls[1].in_play, 0);
  EXPECT_TRUE(LoadTuningText(world.tuning_targets(), "BALLMAXSPEED 15\nMUWALL4 0.2\n"));
  EXPECT_EQ(world.balls[0].speed_limit, 15.0f);
  EXPECT_EQ(world.balls[1].speed_limit, 15.0f);
  EXPECT_FLOAT_EQ(WallFriction(world.surfaces, 4), 0.2f);
}

TEST_F(Field, HoldCounterKeepsTheBallStillThreeSteps) {
  BallRecord& b = Ball(400, 700, 1, 0);
  b.hold_counter = 3;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(BallStep(world, 0), 0);
    EXPECT_EQ(b.x, 400.0f);
  }
  EXPECT_EQ(b.hold_counter, 0);
  EXPECT_EQ(BallStep(world, 0), 2);
  EXPECT_EQ(b.x, 401.0f);
  EXPECT_EQ(b.prev_x, 400.0f);
}

TEST_F(Field, BallsOutOfPlayOrHeldDoNotMove) {
  BallRecord& b = Ball(400, 700, 1, 1);
  b.held = 1;
  EXPECT_EQ(BallStep(world, 0), 0);
  b.held = 0;
  b.in_play = 0;
  EXPECT_EQ(BallStep(world, 0), 0);
  EXPECT_EQ(b.x, 400.0f);
  EXPECT_EQ(BallStep(world, 2), 0);
}

TEST_F(Field, SpeedIsClampedToTheLimit) {
  BallRecord& b = Ball(100, 700, 30, 0);
  EXPECT_EQ(BallStep(world, 0), 2);
  EXPECT_EQ(b.x, 130.0f);  // this step's move still uses the old speed
  EXPECT_NEAR(Speed(b), 20.0f, 1e-4);
  b.speed_limit = 5;
  BallStep(world, 0);
  EXPECT_NEAR(Speed(b), 5.0f, 1e-5);
}

TEST_F(Field, ExtraGravityOnlyWhileNotRisingFast) {
  world.tuning.add_g_down = 0.05f;
  struct Case {
    float vy, expected;
  } cases[] = {
      {2.0f, 2.0f + 0.03f + 0.05f - 0.006f},  // falling: PLANEG + ADDGDOWN, less friction
      {-2.0f, -2.0f + 0.03f + 0.006f},        // rising fast: PLANEG only
      // Slow risers climb into more potential energy than the guard's
      // reference allows, so the guard damps them once.
      {-0.3f, (-0.3f + 0.03f + 0.006f) * 0.99f},  // at the threshold: still rising fast
      {-0.29f, (-0.29f + 0.03f + 0.05f + 0.006f) * 0.99f},
  };
  for (const Case& c : cases) {
    BallRecord& b = Ball(400, 700, 0, c.vy);
    EXPECT_EQ(BallStep(world, 0), 2);
    EXPECT_NEAR(b.vy, c.expected, 1e-6) << c.vy;
    EXPECT_EQ(b.y, 700.0f + c.vy);
  }
}

TEST_F(Field, SlopeOfTheSurfaceAddsGravity) {
  world.surfaces.slope_acceleration[0] = 0.1f;
  BallRecord& b = Ball(400, 700, 0, 2);
  BallStep(world, 0);
  // The slope's work is not in the guard's reference energy: damped once.
  EXPECT_NEAR(b.vy, (2.0f + 0.03f + 0.1f - 0.006f) * 0.99f, 1e-6);
}

TEST_F(Field, EnergyGuard) {
  // From rest the explicit step gains a little energy: one damping of 0.99.
  BallRecord& b = Ball(400, 1000, 0, 0);
  EXPECT_EQ(BallStep(world, 0), 2);
  EXPECT_FLOAT_EQ(b.vy, (0.03f - 0.006f) * 0.99f);
  // Moving fast enough, friction costs more than the step gains: no damping.
  Ball(400, 1000, 0, 1);
  BallStep(world, 0);
  EXPECT_FLOAT_EQ(b.vy, 1.0f + 0.03f - 0.006f);
  // A large gain (a steep slope) is damped again and again, at most 50 times.
  world.surfaces.slope_acceleration[0] = 25.0f;
  Ball(400, 1000, 0, 0);
  BallStep(world, 0);
  float v = 20.0f;
  for (int i = 0; i < 50; ++i) v *= 0.99f;
  EXPECT_FLOAT_EQ(b.vy, v);
}

TEST_F(Field, PendingChangeIsAddedAndCountsAsStartVelocity) {
  BallRecord& b = Ball(400, 700, 1, 0);
  b.pending_vx = 0.5f;
  BallStep(world, 0);
  EXPECT_EQ(b.x, 401.5f);
  EXPECT_EQ(b.pending_vx, 0.5f);  // cleared by the ball–ball pass, not by the step
}

TEST_F(Field, RotationFollowsTheVelocity) {
  BallRecord& b = Ball(400, 700, 1, -2);
  b.rotation_rate = {0.1f, 0.0f, 0.0f};
  BallStep(world, 0);
  EXPECT_FLOAT_EQ(b.rotation[0], 0.1f);
  EXPECT_FLOAT_EQ(b.rotation_rate[0], (0.1f + 2 * 0.002f) * 0.9f);
  EXPECT_FLOAT_EQ(b.rotation_rate[2], (1 * 0.002f) * 0.9f);
  EXPECT_EQ(b.rotation_rate[1], 0.0f);
}

TEST_F(Field, SurfaceCodesAndTheMapEdges) {
  world.map.Set(10, 10, 5);
  EXPECT_EQ(SurfaceCodeAt(world, 10, 10), 5);
  EXPECT_EQ(SurfaceCodeAt(world, -1, 10), kCodeWall);
  EXPECT_EQ(SurfaceCodeAt(world, 800, 10), kCodeWall);
  EXPECT_EQ(SurfaceCodeAt(world, 10, -1), kCodeWall);
  EXPECT_EQ(SurfaceCodeAt(world, 10, 1500), kCodeOpenFloor);
  EXPECT_EQ(SurfaceCodeAt(world, -1, 1500), kCodeWall);
  EXPECT_EQ(PixelOf(NAN), PixelOf(-1e30f));
  EXPECT_EQ(SurfaceCodeAt(world, PixelOf(NAN), 10), kCodeWall);
  EXPECT_EQ(SurfaceCodeAt(world, 10, PixelOf(1e30f)), kCodeOpenFloor);
}

TEST_F(Field, OpenCodes) {
  const BallRecord& b = world.balls[0];
  for (int code : {0, 13, 17, 18, 32}) {
    world.map.Set(50, 50, static_cast<uint8_t>(code));
    EXPECT_TRUE(IsOpenAt(world, b, 50, 50)) << code;
  }
  for (int code : {10, 11, 12, 14, 22, 99, 255}) {
    world.map.Set(50, 50, static_cast<uint8_t>(code));
    EXPECT_FALSE(IsOpenAt(world, b, 50, 50)) << code;
  }
}

TEST_F(Field, GatesOpenPerBallAndTheHoleClosesWhileLocked) {
  BallRecord& b = world.balls[0];
  struct Case {
    int x, y, gate;
  } gates[] = {{150, 300, 0}, {300, 100, 1}, {300, 300, 2}};
  for (const Case& c : gates) {
    world.map.Set(c.x, c.y, kCodeGate);
    b.gate_pass = {};
    EXPECT_FALSE(IsOpenAt(world, b, c.x, c.y));
    b.gate_pass[c.gate] = 1;
    EXPECT_TRUE(IsOpenAt(world, b, c.x, c.y)) << c.gate;
  }
  world.map.Fill(560, 730, 640, 800, kCodeHole);
  EXPECT_TRUE(IsOpenAt(world, b, 600, 760));
  world.hole_lock_timer = 5;
  EXPECT_FALSE(IsOpenAt(world, b, 600, 760));
  EXPECT_FALSE(IsOpenAt(world, b, 600, 791));
  EXPECT_TRUE(IsOpenAt(world, b, 600, 737));  // the box is open below its top edge
  EXPECT_TRUE(IsOpenAt(world, b, 572, 760));
  EXPECT_TRUE(IsOpenAt(world, b, 624, 760));
}

// A ball that falls onto a painted floor and is thrown at a side wall never
// ends a step inside a wall, and comes to rest on the floor.
TEST_F(Field, BallStaysOutOfPaintedWalls) {
  // As the table's tuning does: grazing balls roll along walls instead of
  // bouncing off them step after step.
  world.surfaces.max_tangent[kDefaultSurfaceRow] = core::DegreesToRadians(15.0f);
  world.map.Fill(0, 1000, 800, 1500, kCodeWall);
  world.map.Fill(600, 0, 800, 1500, kCodeWall);
  BallRecord& b = Ball(300, 900, 6, -3);
  for (int i = 0; i < 3000; ++i) {
    BallStep(world, 0);
    ASSERT_TRUE(IsOpenAt(world, b, PixelOf(b.x), PixelOf(b.y))) << i << " " << b.x << "," << b.y;
  }
  EXPECT_LT(Speed(b), 0.05f);
  EXPECT_GT(b.y, 990.0f);
  EXPECT_EQ(b.last_open_floor_code, 0);
}

// A ball at rest on a flat ledge whose edge lies 10 pixels to its right
// edges toward the drop 0.2 pixels per step, then falls.
TEST_F(Field, RestingBallDriftsOffALedge) {
  world.map.Fill(0, 701, 410, 720, kCodeWall);
  BallRecord& b = Ball(400.5f, 700.5f, 0, 0);
  for (int i = 0; i < 10; ++i) BallStep(world, 0);
  EXPECT_NEAR(b.x, 402.5f, 1e-3);  // ten float additions of 0.2
  EXPECT_EQ(b.y, 700.5f);
  EXPECT_EQ(b.vx, 0.0f);
  for (int i = 0; i < 200; ++i) BallStep(world, 0);
  EXPECT_GT(b.y, 720.0f);
  // With no drop within reach the ball stays where it is.
  world.map.Fill(0, 701, 800, 720, kCodeWall);
  Ball(200.5f, 700.5f, 0, 0);
  for (int i = 0; i < 10; ++i) BallStep(world, 0);
  EXPECT_EQ(b.x, 200.5f);
  EXPECT_EQ(b.y, 700.5f);
}

// Below the map is open: a ball falls out at the bottom (where the rules drain it).
TEST_F(Field, BallFallsOutAtTheBottom) {
  BallRecord& b = Ball(300, 1490, 0, 5);
  for (int i = 0; i < 10; ++i) BallStep(world, 0);
  EXPECT_GT(b.y, 1500.0f);
  EXPECT_GT(b.vy, 5.0f);
}

TEST_F(Field, MirroredStepIsTheReflectionOfAnOrdinaryStep) {
  BallRecord& b = Ball(100, -10, 0.5f, 1.0f);
  b.flipper_contact_y = 3;
  BallRecord twin = b;
  MirrorBallY(twin);
  World w2 = world;
  w2.balls[0] = twin;
  ASSERT_EQ(twin.y, 10.0f);

  EXPECT_EQ(StepBall(world, 0), 2);
  BallStep(w2, 0);
  const BallRecord& m = w2.balls[0];
  EXPECT_EQ(b.x, m.x);
  EXPECT_EQ(b.y, -m.y);
  EXPECT_EQ(b.prev_y, -10.0f);
  EXPECT_EQ(b.vy, -m.vy);
  EXPECT_EQ(b.vx, m.vx);
  EXPECT_EQ(b.flipper_contact, -1);
  EXPECT_EQ(world.mirrored_step, 0);
  EXPECT_EQ(world.current_ball, 0);
}

TEST(MirrorBall, TwiceRestoresTheRecordExactly) {
  for (int index : {-1, 0, 1, 5, 6, 11}) {
    BallRecord b;
    b.y = 12.345f;
    b.prev_y = -0.1f;
    b.vy = 3.3f;
    b.flipper_contact_y = 1377.5f;
    b.flipper_contact = index;
    BallRecord m = b;
    MirrorBallY(m);
    EXPECT_EQ(m.y, -12.345f);
    EXPECT_EQ(m.flipper_contact, index < 0 ? index : (index <= 5 ? index + 6 : index - 6));
    MirrorBallY(m);
    EXPECT_EQ(std::memcmp(&m, &b, sizeof b), 0) << index;
  }
}

}  // namespace
}  // namespace physics
