// Shots the generated table is built around, played on its collision map with
// the rules' hit pass after every step.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "app/clock.h"
#include "app/game.h"
#include "generated_table.h"
#include "physics/world.h"
#include "res/resource_layer.h"
#include "rules/rules.h"

namespace {

constexpr int kFirstDropTarget = 56, kSecondDropTarget = 57, kDropTargets = 4;

// The kicker hole throws its ball across the table at the drop-target bank;
// the ball must land squarely on the second target, not graze the bank or
// hit a neighbour.
TEST(TableShots, TheHoleThrowsItsBallOntoTheSecondDropTarget) {
  if (!e2e::GeneratedTableBuilt()) GTEST_SKIP() << "no generated table in " << GFALL_DATA_DIR;
  app::Game g(std::make_unique<app::FakeClock>());
  res::ResourceLayer layer;
  ASSERT_TRUE(e2e::LoadGeneratedTable(g, layer));
  physics::World& w = g.world;
  rules::SetClock(g.rules, 10000, 17, 16.667);

  // A ball caught by the hole, then let go as the lock opens.
  physics::PlaceBallAtPlunger(w.balls, 0, w.tuning, g.random);
  physics::BallRecord& b = w.balls[0];
  b.waiting_at_plunger = 0;
  b.launched = 1;
  b.held = 1;
  b.x = b.prev_x = 617.0f;
  b.y = b.prev_y = 787.0f;
  b.vx = b.vy = 0.0f;
  w.balls[1].in_play = 0;
  w.hole_lock_timer = 0;
  rules::HoleRelease(g.rules, 0);
  ASSERT_EQ(b.held, 0);

  const auto& hits = g.rules.counters.object_hits;
  auto target_hits = [&] {
    int n = 0;
    for (int row = kFirstDropTarget; row < kFirstDropTarget + kDropTargets; ++row) n += hits[row];
    return n;
  };
  int step = 0;
  for (; step < 400 && target_hits() == 0 && b.vx < 0.0f; ++step) {
    physics::StepBall(w, 0);
    rules::HitPass(g.rules);
  }
  EXPECT_EQ(hits[kSecondDropTarget], 1) << "ball at (" << b.x << ", " << b.y << ") after " << step
                                        << " steps, moving (" << b.vx << ", " << b.vy << ")";
  EXPECT_EQ(target_hits(), hits[kSecondDropTarget]);
  EXPECT_EQ(g.rules.table.objects[kSecondDropTarget].value, 1) << "the second target is down";
}

}  // namespace
