#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "physics/world.h"

namespace physics {
namespace {

struct RecordedSound {
  int slot;
  float x, y, strength;
};

class RecordingSound final : public core::TableSound {
 public:
  void PlayTableSound(int slot, float x, float y, bool, bool) override {
    played.push_back({slot, x, y, 0.0f});
  }
  void PlayTableSoundWithSpeed(int slot, float x, float y, float speed, bool, bool) override {
    played.push_back({slot, x, y, speed});
  }
  void StopSound(int) override {}
  bool IsPlaying(int) override { return false; }
  std::vector<RecordedSound> played;
};

float Distance(const BallRecord& a, const BallRecord& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

struct TwoBalls : ::testing::Test {
  TwoBalls() {
    world.map = SurfaceMap(800, 1500, 0);
    world.sound = &sound;
    world.balls[1].in_play = 1;
  }
  // Places a ball that moved from prev to (x, y) with velocity v in its last step.
  BallRecord& Put(int i, float x, float y, float vx, float vy, float px, float py) {
    BallRecord& b = world.balls[i];
    b.x = x;
    b.y = y;
    b.vx = vx;
    b.vy = vy;
    b.prev_x = px;
    b.prev_y = py;
    return b;
  }
  World world;
  RecordingSound sound;
};

TEST_F(TwoBalls, HeadOnCollisionReversesWithNineTenthsOfTheSpeed) {
  BallRecord& a = Put(0, 100, 500, 2, 0, 98, 500);
  BallRecord& b = Put(1, 138, 500, -2, 0, 140, 500);
  EXPECT_EQ(BallBallPass(world), 1);
  EXPECT_FLOAT_EQ(a.vx, -1.8f);
  EXPECT_FLOAT_EQ(b.vx, 1.8f);
  EXPECT_NEAR(a.vy, 0.0f, 1e-6);
  EXPECT_NEAR(b.vy, 0.0f, 1e-6);
  // Both went back to where they met (sub-step 10 of 20: 99 and 139), then on
  // along their new velocity and the push apart.
  EXPECT_NEAR(a.x, 99.0f - 1.8f - (0.03f + 3 * 0.006f), 1e-4);
  EXPECT_NEAR(b.x, 139.0f + 1.8f + (0.03f + 3 * 0.006f), 1e-4);
  EXPECT_GE(Distance(a, b), 40.0f);
  // The clash sounds at ball 0 with the relative speed less the speed limit.
  ASSERT_EQ(sound.played.size(), 1u);
  EXPECT_EQ(sound.played[0].slot, 4);
  EXPECT_FLOAT_EQ(sound.played[0].x, 100.0f);  // where ball 0 stood after its step
  EXPECT_FLOAT_EQ(sound.played[0].strength, 4.0f - 20.0f);
}

TEST_F(TwoBalls, ObliqueCollisionSwapsOnlyTheNormalParts) {
  // Centres on a vertical line throughout; both also move right alike.
  BallRecord& a = Put(0, 300, 400, 1, 1, 299, 399);
  BallRecord& b = Put(1, 300, 439, 1, -1, 299, 440);
  BallBallPass(world);
  // Along the line of centres (y) the parts swap; across it (x) they stay.
  // Then both are pulled toward the mean (1, 0) by 0.9.
  EXPECT_NEAR(a.vx, 1.0f, 1e-5);
  EXPECT_NEAR(a.vy, -0.9f, 1e-5);
  EXPECT_NEAR(b.vx, 1.0f, 1e-5);
  EXPECT_NEAR(b.vy, 0.9f, 1e-5);
}

TEST_F(TwoBalls, SlowClashIsSilentAndKeepsVelocities) {
  BallRecord& a = Put(0, 100, 500, 0.02f, 0, 100, 500);
  BallRecord& b = Put(1, 130, 500, -0.02f, 0, 130, 500);
  EXPECT_EQ(BallBallPass(world), 1);
  EXPECT_TRUE(sound.played.empty());
  EXPECT_FLOAT_EQ(a.vx, 0.02f);  // total speed 0.04 is below 0.1: no exchange
  EXPECT_FLOAT_EQ(b.vx, -0.02f);
  // They overlapped from the start: ball 1 is moved right until clear of ball 0.
  EXPECT_GT(Distance(a, b), 40.0f);
  EXPECT_FLOAT_EQ(a.x, 100.0f);
  EXPECT_FLOAT_EQ(b.prev_x, 130.0f);
}

TEST_F(TwoBalls, NearBallsArePushedApartThroughThePendingChange) {
  // 40.1 apart: inside the near range (40.2), not touching (40).
  BallRecord& a = Put(0, 200, 600, 0, 0, 200, 600);
  BallRecord& b = Put(1, 240.1f, 600, 0, 0, 240.1f, 600);
  EXPECT_EQ(BallBallPass(world), 0);
  EXPECT_NEAR(a.pending_vx, -(0.03f + 0.018f), 1e-6);
  EXPECT_NEAR(b.pending_vx, 0.03f + 0.018f, 1e-6);
  EXPECT_NEAR(a.pending_vy, 0.0f, 1e-6);
  // Ball 1 below ball 0 on a diagonal: vertical parts point apart too.
  Put(1, 228, 628, 0, 0, 228, 628);
  BallBallPass(world);
  EXPECT_LT(a.pending_vx, 0.0f);
  EXPECT_LT(a.pending_vy, 0.0f);
  EXPECT_GT(b.pending_vx, 0.0f);
  EXPECT_GT(b.pending_vy, 0.0f);
  // The next pass starts by clearing them.
  b.in_play = 0;
  BallBallPass(world);
  EXPECT_EQ(a.pending_vx, 0.0f);
  EXPECT_EQ(b.pending_vy, 0.0f);
}

TEST_F(TwoBalls, NearBallsBothAgainstAWallAreDampedAndStopped) {
  world.map.Fill(0, 601, 800, 1500, kCodeWall);  // floor right under both
  BallRecord& a = Put(0, 200, 600, 1.0f, 0.5f, 200, 600);
  BallRecord& b = Put(1, 240.1f, 600, 0.05f, 0.0f, 240.1f, 600);
  BallBallPass(world);
  EXPECT_FLOAT_EQ(a.vx, 0.6f);
  EXPECT_FLOAT_EQ(a.vy, 0.3f);
  EXPECT_EQ(b.vx, 0.0f);  // 0.03 after damping: below 0.1 in all, stopped
  EXPECT_EQ(a.pending_vx, 0.0f);
  EXPECT_EQ(b.pending_vx, 0.0f);
}

TEST_F(TwoBalls, HeldOrOutOfPlayBallsTakeNoPart) {
  Put(0, 100, 500, 2, 0, 98, 500);
  Put(1, 110, 500, -2, 0, 112, 500);
  world.balls[1].held = 1;
  EXPECT_EQ(BallBallPass(world), 0);
  EXPECT_EQ(world.balls[0].vx, 2.0f);
  world.balls[1].held = 0;
  world.balls[0].in_play = 0;
  EXPECT_EQ(BallBallPass(world), 0);
  EXPECT_EQ(world.balls[1].x, 110.0f);
}

TEST_F(TwoBalls, WhenTheSecondBallIsBoxedInTheFirstMovesAway) {
  // Solid wall from y = 300 down, with a one-pixel pocket holding ball 1;
  // ball 0 overlaps it from the open room above.
  world.map.Fill(0, 300, 800, 1500, kCodeWall);
  world.map.Set(300, 300, 0);
  BallRecord& b = Put(1, 300.5f, 300.5f, 0, 0, 300.5f, 300.5f);
  BallRecord& a = Put(0, 300.5f, 280.5f, 0, 0, 300.5f, 280.5f);
  EXPECT_EQ(BallBallPass(world), 1);
  EXPECT_EQ(b.x, 300.5f);
  EXPECT_EQ(b.y, 300.5f);
  // Ball 0 slides sideways, right first, to the first spot more than 40 away.
  EXPECT_EQ(a.x, 335.5f);
  EXPECT_EQ(a.y, 280.5f);
  EXPECT_EQ(a.prev_x, 300.0f);
  EXPECT_EQ(a.prev_y, 280.0f);
}

TEST_F(TwoBalls, BlockedWayOnTakesTheNextTarget) {
  world.map.Fill(0, 0, 98, 1500, kCodeWall);
  BallRecord& a = Put(0, 100, 500, 2, 0, 98, 500);
  Put(1, 138, 500, -2, 0, 140, 500);
  BallBallPass(world);
  // Back at 99, x + vx + pending crosses into the wall at 97; x + pending is open.
  EXPECT_FLOAT_EQ(a.x, 99.0f - (0.03f + 3 * 0.006f));
  EXPECT_FLOAT_EQ(a.vx, -1.8f);
}

}  // namespace
}  // namespace physics
