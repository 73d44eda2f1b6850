// The trap sweep on the program's small built-in table: a flat ledge holds a
// dropped ball for good and is reported; the same ledge peaked is not.

#include "trap_sweep.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/clock.h"
#include "app/game.h"
#include "app/headless.h"
#include "physics/surface_map.h"
#include "physics/world.h"

namespace {

class TrapSweepTable : public ::testing::Test {
 protected:
  void SetUp() override {
    physics::PlayfieldReset(game_.world, game_.random);
    app::UseTestTable(game_);
    options_.grid = 20;
    options_.launch_seeds = 1;
    options_.pull_step_percent = 25;
    options_.follow_ms = 20000;
  }
  app::Game game_{std::make_unique<app::FakeClock>()};
  tablegen::SweepOptions options_;
};

TEST_F(TrapSweepTable, AFlatLedgeIsATrap) {
  game_.world.map.Fill(250, 760, 450, 800, physics::kCodeWall);
  const tablegen::SweepReport r = tablegen::TrapSweep(game_, options_);
  ASSERT_FALSE(r.traps.empty());
  const tablegen::SweepTrap& t = r.traps.front();
  EXPECT_GE(t.x, 250);
  EXPECT_LE(t.x, 450);
  EXPECT_NEAR(t.y, 740, 22) << "the ball rests on the ledge's top, one radius above it";
  EXPECT_NE(t.first_origin.find("drop"), std::string::npos);
  EXPECT_GT(r.launches, 0);
  EXPECT_GT(r.drained, 0);
}

TEST_F(TrapSweepTable, APeakedLedgeSendsEveryBallOn) {
  for (int y = 700; y < 800; ++y) {
    const int half = (y - 700) * 2;  // a roof falling 1 px in 2 to each side
    game_.world.map.Fill(350 - half, y, 350 + half + 1, y + 1, physics::kCodeWall);
  }
  const tablegen::SweepReport r = tablegen::TrapSweep(game_, options_);
  for (const tablegen::SweepTrap& t : r.traps) {
    ADD_FAILURE() << "trap at (" << t.x << ", " << t.y << ") from " << t.first_origin;
  }
  EXPECT_EQ(r.bad_state, 0);
  EXPECT_GT(r.drops, 500);
}

TEST(TrapSweep, RestIsExpectedOnlyInThePlungerLaneAndTheHole) {
  EXPECT_TRUE(tablegen::SweepRestAllowed(761, 1468));
  EXPECT_TRUE(tablegen::SweepRestAllowed(617, 787));
  EXPECT_FALSE(tablegen::SweepRestAllowed(700, 119));
  EXPECT_FALSE(tablegen::SweepRestAllowed(400, 740));
}

}  // namespace
