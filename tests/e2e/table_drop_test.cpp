// Balls dropped anywhere on the generated table: the collision map must never
// hold a ball inside a wall, and must have no pocket where a ball comes to rest
// (except the plunger lane and the kicker hole, which the rules empty).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "app/clock.h"
#include "app/game.h"
#include "generated_table.h"
#include "physics/world.h"
#include "res/resource_layer.h"
#include "rules/rules.h"

namespace {

bool InPlungerLane(float x) { return x > 730.0f; }
bool InHolePocket(float x, float y) { return x > 560 && x < 640 && y > 590 && y < 800; }

TEST(TableDrop, BallsDrainOrKeepMovingAndNeverEndInsideAWall) {
  if (!e2e::GeneratedTableBuilt()) GTEST_SKIP() << "no generated table in " << GFALL_DATA_DIR;
  app::Game g(std::make_unique<app::FakeClock>());
  res::ResourceLayer layer;
  ASSERT_TRUE(e2e::LoadGeneratedTable(g, layer));
  physics::World& w = g.world;
  const int width = w.map.width, height = w.map.height;
  ASSERT_GT(width, 0);

  core::Random15 pick;
  pick.Seed(20261210);
  int dropped = 0, drained = 0, resting = 0, caught = 0, moving = 0;
  std::string failures;
  while (dropped < 1000) {
    const int x = pick.Below(width), y = pick.Below(height);
    physics::BallRecord probe = w.balls[0];
    probe.gate_pass = {};
    if (!physics::IsOpenAt(w, probe, x, y) || physics::TouchesWall(w, probe, x, y)) continue;
    ++dropped;

    physics::PlaceBallAtPlunger(w.balls, 0, w.tuning, g.random);
    physics::BallRecord& b = w.balls[0];
    b.x = b.prev_x = static_cast<float>(x);
    b.y = b.prev_y = static_cast<float>(y);
    b.vx = b.vy = 0.0f;
    b.waiting_at_plunger = 0;
    b.launched = 1;
    b.held = 0;
    w.hole_lock_timer = 0;
    w.balls[1].in_play = 0;

    // 20 s of play; then look at how far it went in the last 5 s.
    constexpr int kSteps = 3000, kWindow = 750;
    float mark_x = 0, mark_y = 0, travelled = 0;
    bool gone = false;
    for (int step = 0; step < kSteps && !gone; ++step) {
      physics::StepBall(w, 0);
      rules::HitPass(g.rules);  // opens the one-way gates, catches the ball in the hole
      if (!std::isfinite(b.x) || !std::isfinite(b.y) || !std::isfinite(b.vx) ||
          !std::isfinite(b.vy)) {
        failures += "NaN from (" + std::to_string(x) + "," + std::to_string(y) + ")\n";
        gone = true;
        break;
      }
      if (b.held) {  // caught by the hole: it sits inside the closed lock by design
        ++caught;
        gone = true;
        break;
      }
      if (b.y >= static_cast<float>(height)) {
        gone = true;
        ++drained;
        break;
      }
      const int px = static_cast<int>(b.x), py = static_cast<int>(b.y);
      if (py >= 0 && !physics::IsOpenAt(w, b, px, py)) {
        failures += "inside a wall at (" + std::to_string(px) + "," + std::to_string(py) +
                    ") from (" + std::to_string(x) + "," + std::to_string(y) + ")\n";
        gone = true;
        break;
      }
      if (step == kSteps - kWindow) {
        mark_x = b.x;
        mark_y = b.y;
      }
      if (step > kSteps - kWindow) {
        travelled = std::max(travelled, std::hypot(b.x - mark_x, b.y - mark_y));
      }
    }
    if (!gone && travelled >= 5.0f) ++moving;
    if (!gone && travelled < 5.0f) {
      if (b.held || InPlungerLane(b.x) || InHolePocket(b.x, b.y)) {
        ++resting;
      } else {
        failures += "resting at (" + std::to_string(static_cast<int>(b.x)) + "," +
                    std::to_string(static_cast<int>(b.y)) + ") from (" + std::to_string(x) + "," +
                    std::to_string(y) + ")\n";
      }
    }
  }
  EXPECT_EQ(failures, "");
  EXPECT_GT(drained, dropped / 2) << "most balls dropped on an untended table end in the drain";
  std::printf(
      "dropped %d: drained %d, caught by the hole %d, still moving %d, at rest in the lane %d\n",
      dropped, drained, caught, moving, resting);
  RecordProperty("drained", drained);
  RecordProperty("resting_in_lane_or_hole", resting);
}

}  // namespace
