// The collision response: bounce or roll, surface delay, kicks, gates, tilt,
// push-out and impact sounds.

#include "physics/collision.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/angle.h"
#include "core/random15.h"
#include "core/table_sound.h"
#include "physics/painted_table.h"
#include "physics/world.h"

namespace physics {
namespace {

using core::kPi;

float Speed(const BallRecord& b) { return std::hypot(b.vx, b.vy); }

class ImpactLog final : public core::TableSound {
 public:
  void PlayTableSound(int, float, float, bool, bool) override {}
  void PlayTableSoundWithSpeed(int slot, float, float, float speed, bool, bool) override {
    impacts.push_back({slot, speed});
  }
  void StopSound(int) override {}
  bool IsPlaying(int) override { return false; }
  std::vector<std::pair<int, float>> impacts;
};

struct Response : ::testing::Test {
  Response() {
    w.map = SurfaceMap(800, 1514, 0);
    w.random = &random;
    w.sound = &log;
    random.Seed(5);
  }
  BallRecord& Ball(float x, float y, float vx, float vy) {
    BallRecord& b = w.balls[0];
    b.x = x;
    b.y = y;
    b.vx = vx;
    b.vy = vy;
    b.launched = 1;
    b.hold_counter = 0;
    b.rolling = 0;
    return b;
  }
  World w;
  core::Random15 random;
  ImpactLog log;
};

TEST_F(Response, GrazingBallRollsSteepBallBounces) {
  w.map.Fill(0, 701, 800, 800, 40);
  w.surfaces.max_tangent[40] = core::DegreesToRadians(20.0f);
  w.surfaces.max_normal_speed[40] = 1.0f;
  // 5 degrees into the floor at speed 3: normal speed 0.26.
  const float a = core::DegreesToRadians(5.0f);
  BallRecord& b = Ball(300.5f, 700.9f, 3 * std::cos(a), 3 * std::sin(a));
  BallStep(w, 0);
  EXPECT_EQ(b.rolling, 1);
  EXPECT_NEAR(b.vy, 0.0f, 1e-3);  // turned along the floor
  EXPECT_GT(b.vx, 2.8f);
  EXPECT_GT(b.x, 302.5f);  // and moved on at once
  // It keeps rolling along the floor on the following steps.
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(BallStep(w, 0), 0);
    ASSERT_EQ(b.rolling, 1) << i;
  }
  EXPECT_NEAR(b.y, 700.5f, 1.0f);
  EXPECT_GT(b.vx, 2.5f);
  // 40 degrees in: a bounce, no rolling.
  const float steep = core::DegreesToRadians(40.0f);
  Ball(300.5f, 700.9f, 3 * std::cos(steep), 3 * std::sin(steep));
  BallStep(w, 0);
  EXPECT_EQ(b.rolling, 0);
  EXPECT_LT(b.vy, -1.0f);
  EXPECT_GT(b.vx, 1.0f);
}

TEST_F(Response, MirrorImageGrazingHitsReboundAlike) {
  w.map.Fill(0, 701, 800, 800, 40);
  w.surfaces.max_normal_speed[40] = 0.05f;
  const float a = core::DegreesToRadians(8.0f);
  BallRecord& b = Ball(300.5f, 700.5f, 4 * std::cos(a), 4 * std::sin(a));
  BallStep(w, 0);
  const float right = Speed(b);
  Ball(300.5f, 700.5f, -4 * std::cos(a), 4 * std::sin(a));
  BallStep(w, 0);
  EXPECT_NEAR(Speed(b), right, 1e-4);
}

TEST_F(Response, SurfaceDelayHoldsTheBall) {
  w.map.Fill(0, 701, 800, 800, 40);
  w.surfaces.surface_delay[40] = 5;
  struct Case {
    float speed;  // straight down; the floor takes 0.007 of friction first
    int hold;
  } cases[] = {{1.007f, 2}, {0.207f, 1}, {2.1f, 5}, {8.0f, 5}, {0.1f, 0}};
  for (const Case& c : cases) {
    BallRecord& b = Ball(300.5f, 700.95f, 0.0f, c.speed);  // each move ends in the floor
    BallStep(w, 0);
    EXPECT_EQ(b.hold_counter, c.hold) << c.speed;
  }
  // The held ball waits that many steps.
  BallRecord& b = Ball(300.5f, 700.5f, 0.0f, 1.007f);
  BallStep(w, 0);
  const float x = b.x, y = b.y;
  EXPECT_EQ(BallStep(w, 0), 0);
  EXPECT_EQ(BallStep(w, 0), 0);
  EXPECT_EQ(b.x, x);
  EXPECT_EQ(b.y, y);
  EXPECT_NE(BallStep(w, 0), 0);
}

TEST_F(Response, FastBallDoesNotTunnelThroughAThinWall) {
  w.map.Fill(400, 0, 402, 1514, 40);
  BallRecord& b = Ball(380.5f, 700.5f, 19.0f, 0.5f);
  for (int i = 0; i < 5; ++i) BallStep(w, 0);
  EXPECT_LT(b.x, 400.0f);
  EXPECT_LT(b.vx, 0.0f);
}

TEST_F(Response, BallInsideAWallIsPushedOut) {
  w.map.Fill(300, 600, 400, 800, 40);
  BallRecord& b = Ball(305.5f, 700.5f, 0.0f, 0.0f);
  StepContext ctx;
  ctx.old_x = b.x;
  ctx.old_y = b.y;
  ASSERT_TRUE(PushOut(w, b, ctx));
  EXPECT_TRUE(IsOpenAt(w, b, PixelOf(b.x), PixelOf(b.y)));
  // One pixel back along x and y is still wall; from there the first open
  // point along the eight rays is five pixels up and left.
  EXPECT_EQ(b.x, 299.5f);
  EXPECT_EQ(b.y, 694.5f);
  // Nothing open within reach: the ball stays.
  w.map.Fill(0, 0, 800, 1514, 40);
  Ball(305.5f, 700.5f, 0.0f, 0.0f);
  EXPECT_FALSE(PushOut(w, b, ctx));
  EXPECT_EQ(b.x, 305.5f);
}

TEST_F(Response, ContactSearchStopsBeforeTheWall) {
  w.map.Fill(0, 710, 800, 800, 41);
  BallRecord& b = Ball(300.5f, 700.5f, 0.0f, 12.0f);
  b.x = 300.5f;
  b.y = 712.5f;
  StepContext ctx;
  ctx.old_x = 300.5f;
  ctx.old_y = 700.5f;
  int wx = 0, wy = 0;
  EXPECT_EQ(ContactPointSearch(w, b, ctx, wx, wy), 41);
  EXPECT_EQ(wy, 710);
  EXPECT_LT(b.y, 710.0f);
  EXPECT_GT(b.y, 709.0f);
}

TEST_F(Response, BumperKicksOnlyBelowItsSpeedLimit) {
  painted::Disc(w.map, 400, 800, 50, kCodeBumper);
  // Straight down onto the top of the ring.
  BallRecord& b = Ball(400.5f, 748.0f, 0.0f, 3.0f);
  EXPECT_EQ(BallStep(w, 0), 6);
  EXPECT_EQ(b.surface_code, kCodeBumper);
  EXPECT_LT(b.vy, -4.0f);  // the bounce plus the kick of 4 upward
  // At speed 6 it only bounces (the limit is 5).
  Ball(400.5f, 746.0f, 0.0f, 6.0f);
  EXPECT_EQ(BallStep(w, 0), 2);
  EXPECT_GT(b.vy, -6.0f);
  EXPECT_LT(b.vy, 0.0f);
}

TEST_F(Response, KickerKickGrowsTowardItsCentre) {
  w.kicker_count = 1;
  w.kicker_centres[0] = {400.0f, 400.0f};
  struct Case {
    int code;
    float x, y;
    float kick;
  } cases[] = {
      {kCodeKickerStrong, 400.5f, 400.5f, 6.0f}, {kCodeKickerStrong, 470.0f, 400.0f, 5.4f},
      {kCodeKickerStrong, 460.0f, 400.0f, 5.4f}, {kCodeKickerStrong, 403.0f, 400.0f, 5.7f},
      {kCodeKicker, 400.0f, 400.0f, 5.4f},       {kCodeKicker, 430.0f, 400.0f, 5.4f},
  };
  for (const Case& c : cases) {
    BallRecord& b = Ball(c.x, c.y, 0, 0);
    float kx = 0, ky = 0;
    ASSERT_TRUE(ElementImpulse(w, b, c.code, kPi / 2, 1.0f, kx, ky));
    EXPECT_NEAR(std::hypot(kx, ky), c.kick, 1e-4) << c.code << " " << c.x;
    EXPECT_LT(ky, 0.0f);  // along the normal (up)
  }
  float kx, ky;
  EXPECT_FALSE(ElementImpulse(w, w.balls[0], 40, 0.0f, 1.0f, kx, ky));
}

TEST_F(Response, KickerPushReportsItsCodeUnlessTilted) {
  w.kicker_count = 1;
  w.kicker_centres[0] = {400.0f, 800.0f};
  painted::Disc(w.map, 400, 800, 40, kCodeKickerStrong);
  BallRecord& b = Ball(400.5f, 757.0f, 0.0f, 5.0f);
  EXPECT_EQ(BallStep(w, 0), 6);
  EXPECT_EQ(b.surface_code, kCodeKickerStrong);
  EXPECT_LT(b.vy, -5.0f);
  // Tilted: the ball only bounces, and the scoreless kicker is reported as floor.
  w.tilted = 1;
  Ball(400.5f, 757.0f, 0.0f, 5.0f);
  EXPECT_EQ(BallStep(w, 0), 2);
  EXPECT_EQ(b.surface_code, 0);
  EXPECT_GT(b.vy, -5.0f);
}

TEST_F(Response, TiltedTableAddsNoKicks) {
  w.tilted = 1;
  painted::Disc(w.map, 400, 800, 50, kCodeBumper);
  painted::Disc(w.map, 200, 400, 40, kCodeKicker);
  w.kicker_count = 1;
  w.kicker_centres[0] = {200.0f, 400.0f};
  core::Random15 r;
  r.Seed(9);
  for (int i = 0; i < 300; ++i) {
    const bool bumper = i % 2 == 0;
    const float cx = bumper ? 400.0f : 200.0f, cy = bumper ? 800.0f : 400.0f;
    const float a = r.UpTo(2 * kPi);
    BallRecord& b = Ball(cx + 80 * std::cos(a), cy - 80 * std::sin(a), 0, 0);
    b.vx = -3.0f * std::cos(a);
    b.vy = 3.0f * std::sin(a);
    for (int s = 0; s < 30; ++s) {
      const float before = Speed(b);
      ASSERT_NE(BallStep(w, 0), 6);
      ASSERT_LE(Speed(b), before + 0.05f);
    }
  }
}

// The rules' gate check, as the hit pass runs it: the flag is set inside the
// approach box and cleared once the ball is out of it and off the gate.
void GateCheck(World& w, BallRecord& b) {
  const bool inside = b.x > 569 && b.x < 697 && b.y >= 262 && b.y < 380;
  if (inside) {
    b.gate_pass[2] = 1;
  } else if (b.gate_pass[2]) {
    const int x = PixelOf(b.x), y = PixelOf(b.y);
    bool on = false;
    for (auto [dx, dy] : {std::pair{0, 0}, {-1, -1}, {1, 1}, {-1, 1}, {1, -1}}) {
      on = on || SurfaceCodeAt(w, x + dx, y + dy) == kCodeGate;
    }
    if (!on) b.gate_pass[2] = 0;
  }
}

TEST_F(Response, GateOpensOnlyFromItsApproachBox) {
  // A band of gate pixels along the top of the third gate's box.
  w.map.Fill(570, 250, 697, 262, kCodeGate);
  // From inside the box, going up: through.
  BallRecord& b = Ball(630.5f, 300.5f, 0.0f, -4.0f);
  for (int i = 0; i < 20; ++i) {
    GateCheck(w, b);
    BallStep(w, 0);
    ASSERT_NE(b.surface_code, kCodeGate);  // the rules never see the gate code
  }
  EXPECT_LT(b.y, 245.0f);
  EXPECT_EQ(b.gate_pass[2], 0);  // cleared once past
  // From above, coming down: the gate is closed.
  Ball(630.5f, 200.5f, 0.0f, 4.0f);
  for (int i = 0; i < 30; ++i) {
    GateCheck(w, b);
    BallStep(w, 0);
    ASSERT_LT(b.y, 250.0f);
  }
  EXPECT_EQ(b.gate_pass[2], 0);
}

TEST_F(Response, ImpactSounds) {
  struct Case {
    int code;
    int slot;
  } cases[] = {{10, 3}, {14, 3}, {15, 3}, {23, 3}, {40, 4}, {25, 4}};
  for (const Case& c : cases) {
    w.map = SurfaceMap(800, 1514, 0);
    w.map.Fill(0, 701, 800, 800, static_cast<uint8_t>(c.code));
    log.impacts.clear();
    Ball(300.5f, 700.5f, 0.0f, 8.0f);
    BallStep(w, 0);
    ASSERT_EQ(log.impacts.size(), 1u) << c.code;
    EXPECT_EQ(log.impacts[0].first, c.slot) << c.code;
    EXPECT_NEAR(log.impacts[0].second, 8.0f - 20.0f, 1e-4);
  }
  // A slow touch is silent.
  log.impacts.clear();
  Ball(300.5f, 700.5f, 0.0f, 0.9f);
  BallStep(w, 0);
  EXPECT_TRUE(log.impacts.empty());
  // The locked hole sounds at every touch.
  w.map = SurfaceMap(800, 1514, 0);
  w.map.Fill(560, 760, 640, 800, kCodeHole);
  w.hole_lock_timer = 100;
  Ball(600.5f, 759.8f, 0.0f, 0.5f);
  BallStep(w, 0);
  ASSERT_EQ(log.impacts.size(), 1u);
  EXPECT_EQ(log.impacts[0].first, 3);
}

TEST_F(Response, SlowBallBesideAWallFallsAlongIt) {
  w.map.Fill(0, 0, 300, 1514, 40);
  BallRecord& b = Ball(300.5f, 400.5f, -0.3f, 0.0f);
  for (int i = 0; i < 200; ++i) BallStep(w, 0);
  EXPECT_GT(b.y, 600.0f);
}

TEST_F(Response, BallOnARampPicksUpSpeed) {
  // A 30-degree ramp falling to the right.
  for (int y = 0; y < 1514; ++y) {
    for (int x = 0; x < 800; ++x) {
      if (static_cast<float>(y) > 500.0f + static_cast<float>(x - 100) * 0.57735f) {
        w.map.Set(x, y, 40);
      }
    }
  }
  for (float tangent : {0.0f, 15.0f}) {
    w.surfaces.max_tangent[kDefaultSurfaceRow] = core::DegreesToRadians(tangent);
    BallRecord& b = Ball(150.5f, 527.9f, 0.0f, 0.0f);
    for (int i = 0; i < 150; ++i) BallStep(w, 0);
    // Along the slope gravity gives 0.015 a step against 0.007 of friction.
    EXPECT_GT(Speed(b), 0.5f) << tangent;
    EXPECT_GT(b.vx, 0.0f);
    EXPECT_NEAR(b.y - 500.0f, (b.x - 100.0f) * 0.57735f, 3.0f) << "stays on the ramp";
  }
}

// A round cap painted on a pixel grid ends in a one-pixel tip, with the
// outline normal flat or nearly so over its top. A ball put there at rest,
// over the tip, beside it or on the shoulder, rolls off within four seconds;
// it never balances.
TEST_F(Response, BallAtRestOnARoundCapRollsOff) {
  constexpr float kCx = 400.5f, kCy = 800.5f, kR = 24.0f;  // the tip is pixel (400, 776)
  struct Case {
    float x, y;
  } cases[] = {{400.5f, 775.5f},   // over the tip
               {400.0f, 775.9f},   // over the tip's left edge
               {401.0f, 776.1f},   // beside the tip, right
               {399.9f, 776.1f},   // beside the tip, left
               {404.0f, 776.1f},   // on the shoulder, the tip 4 pixels away
               {400.5f, 700.0f}};  // dropped from above
  for (int code : {40, kCodeKicker}) {
    w.map = SurfaceMap(800, 1514, 0);
    painted::Disc(w.map, kCx, kCy, kR, static_cast<uint8_t>(code));
    w.kicker_centres[0] = {kCx, kCy};
    w.kicker_count = 1;
    ASSERT_FALSE(IsOpenAt(w, w.balls[0], 400, 776));
    ASSERT_TRUE(IsOpenAt(w, w.balls[0], 399, 776) && IsOpenAt(w, w.balls[0], 401, 776));
    for (const Case& c : cases) {
      BallRecord& b = Ball(c.x, c.y, 0.0f, 0.0f);
      for (int step = 0; step < 600 && b.y < kCy; ++step) {
        BallStep(w, 0);
        ASSERT_TRUE(IsOpenAt(w, b, PixelOf(b.x), PixelOf(b.y))) << code << " " << c.x;
      }
      EXPECT_GT(b.y, kCy) << "code " << code << " from (" << c.x << "," << c.y
                          << "): still on the cap at (" << b.x << "," << b.y << ")";
    }
  }
}

TEST_F(Response, EscapeStepsOffTheWallAlongTheNormal) {
  w.map.Fill(0, 701, 800, 800, 40);
  StepContext ctx;
  ctx.old_x = 300.5f;
  ctx.old_y = 690.5f;
  // The way ahead is open: nothing to do.
  BallRecord& b = Ball(300.5f, 700.5f, 1.0f, -1.0f);
  EXPECT_FALSE(EscapeAlongNormal(w, b, ctx, kPi / 2));
  EXPECT_EQ(b.y, 700.5f);
  // Blocked ahead: off the wall in 0.1-pixel steps to the first open point.
  Ball(300.5f, 701.2f, 0.0f, 1.0f);
  EXPECT_FALSE(EscapeAlongNormal(w, b, ctx, kPi / 2));
  EXPECT_NEAR(b.y, 700.9f, 1e-4);
  EXPECT_EQ(b.x, 300.5f);
}

TEST_F(Response, BallInsideTheFlipperClimbsOut) {
  painted::PaintFlipperMasks(w);
  // A ball resting on the lowered left flipper; the flipper jumps up under it.
  int y = 1300;
  while (SurfaceCodeAt(w, 250, y) != kCodeFlipper) ++y;
  BallRecord& b = Ball(250.5f, static_cast<float>(y) - 0.5f, 0.0f, 0.0f);
  w.flippers[0].frame = 6;
  w.flippers[0].pressed = 0;  // standing still at 6: no strike, only the climb
  ASSERT_EQ(SurfaceCodeAt(w, 250, PixelOf(b.y)), kCodeFlipper);
  BallStep(w, 0);
  EXPECT_TRUE(IsOpenAt(w, b, PixelOf(b.x), PixelOf(b.y)));
  EXPECT_NEAR(b.x, 250.5f, 0.21f);  // straight up (and perhaps one drift toward the tip)
  EXPECT_LT(b.y, static_cast<float>(y) - 0.5f);
  EXPECT_EQ(SurfaceCodeAt(w, 250, PixelOf(b.y) + 1), kCodeFlipper);  // on top of the bar
}

}  // namespace
}  // namespace physics
