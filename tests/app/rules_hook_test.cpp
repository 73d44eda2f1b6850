#include <gtest/gtest.h>

#include "app/frame_loop.h"

namespace app {
namespace {

// The default passes run the table's rules: a ball resting against a bumper
// scores through the hit pass, and the rules frame steps the bumper's picture.
TEST(RulesHook, DefaultPassesRunTheHitPassAndTheRulesFrame) {
  auto clock = std::make_unique<FakeClock>();
  FakeClock* c = clock.get();
  Game g(std::move(clock));
  physics::BallRecord& b = g.world.balls[0];
  b.in_play = 1;
  b.launched = 0;  // not moved by the physics
  b.x = 420.0f;
  b.y = 436.0f;
  b.surface_code = 12;
  c->Advance(500.0);
  RunFrame(g);
  EXPECT_EQ(g.rules.players.Current().score, 100);
  EXPECT_EQ(g.rules.table.objects[3].value, 1);
  for (int i = 0; i < 10; ++i) {
    c->Advance(20.0);
    RunFrame(g);
  }
  // 200 ms more: one more hit (at 620 ms), not one per step.
  EXPECT_EQ(g.rules.players.Current().score, 200);
  EXPECT_GE(g.rules.recorder.FrameOfRow(3), 0);
}

}  // namespace
}  // namespace app
