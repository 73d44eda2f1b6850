// The frame loop's flipper passes drive the world's flippers.

#include <gtest/gtest.h>

#include <memory>

#include "app/frame_loop.h"
#include "app/game.h"

namespace app {
namespace {

struct FlipperPasses : ::testing::Test {
  FlipperPasses() {
    auto c = std::make_unique<FakeClock>();
    clock = c.get();
    game = std::make_unique<Game>(std::move(c));
    game->world.map = physics::SurfaceMap(800, 1514, 0);
    // Start the schedule so that each 6.6 ms frame runs one step.
    clock->Set(1000.0);
    game->frame.next_step_time = 1000.0;
    game->frame.previous_frame_time = 990.0;
  }
  void Frame() {
    FrameGate(*game);
    clock->Advance(6.6);
  }
  FakeClock* clock;
  std::unique_ptr<Game> game;
};

TEST_F(FlipperPasses, HeldControlRaisesTheFlipperAndSelectsItsImages) {
  const physics::Flipper& left = game->world.flippers[0];
  game->actions[core::kActionLeftFlipper] = 1;  // the control poll holds the left flipper
  Frame();
  EXPECT_EQ(game->frame.steps_run, 1);
  EXPECT_EQ(left.frame, 2);
  EXPECT_EQ(left.previous_pressed, 1);  // the sounds pass ran
  EXPECT_EQ(left.image, 1);             // and the images were refreshed
  for (int i = 0; i < 13; ++i) Frame();
  EXPECT_EQ(left.frame, 29);
  EXPECT_EQ(left.image, 8);
  EXPECT_EQ(game->world.flippers[1].frame, 0);
  // A tilt forces the control off: the flipper falls.
  game->world.tilted = 1;
  for (int i = 0; i < 40; ++i) Frame();
  EXPECT_EQ(left.frame, 0);
  EXPECT_EQ(left.image, 0);
}

TEST_F(FlipperPasses, KickerCentreComesFromTheTableObjects) {
  ASSERT_EQ(game->world.kicker_count, 1);
  EXPECT_EQ(game->world.kicker_centres[0].x, 517.0f);
  EXPECT_EQ(game->world.kicker_centres[0].y, 1193.0f);
}

}  // namespace
}  // namespace app
