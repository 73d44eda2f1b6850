#include "app/frame_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace app {
namespace {

// Records what the frame asked of each pass.
class RecordingPasses final : public FramePasses {
 public:
  void PaletteStep(Game&) override { log.push_back("palette"); }
  void PollControls(Game& g) override {
    log.push_back("poll");
    g.flipper_controls = poll_controls;
  }
  void ComputerPlayer(Game&) override { log.push_back("computer"); }
  void NudgeAndTilt(Game&) override { log.push_back("nudge"); }
  bool BallLifecycleCheck(Game&, int ball) override {
    log.push_back("check" + std::to_string(ball));
    return ball == 1;
  }
  void BallFollowUp(Game&, int ball) override { log.push_back("follow" + std::to_string(ball)); }
  void UpdateFlipper(Game&, int control, bool pressed, int hold) override {
    EXPECT_EQ(hold, 7);
    flipper_updates.push_back(control * 10 + (pressed ? 1 : 0));
  }
  void RollReflection(Game&, int ball, float forward, float sideways, float spin) override {
    rolls.push_back({static_cast<float>(ball), forward, sideways, spin});
  }
  void HitPass(Game&) override { ++hit_passes; }
  void FlipperSounds(Game&) override { ++flipper_sounds; }
  void RulesFrame(Game&) override { log.push_back("rules"); }
  void RefreshFlipperImages(Game&) override { log.push_back("images"); }
  void ShowPlayfield(Game&, bool) override {}
  void Draw(Game& g, bool interpolated) override {
    log.push_back(interpolated ? "draw-interpolated" : "draw");
    drawn_x = g.world.balls[0].x;
  }
  bool Present(Game&) override {
    log.push_back("present");
    return present_ok;
  }

  std::vector<std::string> log;
  std::vector<int> flipper_updates;
  std::vector<std::array<float, 4>> rolls;
  std::array<int32_t, 2> poll_controls{1, 1};
  int hit_passes = 0;
  int flipper_sounds = 0;
  float drawn_x = 0.0f;
  bool present_ok = true;
};

class FrameLoop : public ::testing::Test {
 protected:
  FrameLoop() {
    auto c = std::make_unique<FakeClock>();
    auto p = std::make_unique<RecordingPasses>();
    clock = c.get();
    passes = p.get();
    game = std::make_unique<Game>(std::move(c), std::move(p));
    game->random.Seed(11);
    game->world.map = physics::SurfaceMap(800, 1500, 0);
    // A launched ball gliding right across open floor, without friction or
    // gravity so each step moves it by exactly its velocity.
    physics::BallRecord& b = game->world.balls[0];
    b.plane_friction = 0;
    b.plane_gravity = 0;
    b.x = 100;
    b.y = 700;
    b.vx = 3;
    b.vy = -1;
    b.launched = 1;
  }
  // The schedule as if the last frame ran at `at` with its next step due then.
  void ScheduleAt(double at) {
    game->frame.next_step_time = at;
    game->frame.previous_frame_time = at - 10;
  }
  void Clear() {
    passes->log.clear();
    passes->flipper_updates.clear();
    passes->hit_passes = 0;
    passes->flipper_sounds = 0;
  }
  FakeClock* clock;
  RecordingPasses* passes;
  std::unique_ptr<Game> game;
};

TEST_F(FrameLoop, TwentyMsOfDebtRunsFourSteps) {
  ScheduleAt(1000);
  clock->Set(1020);
  RunFrame(*game);
  EXPECT_EQ(game->frame.steps_run, 4);
  EXPECT_NEAR(game->frame.next_step_time - clock->Now(), 6.4, 1e-9);
  EXPECT_EQ(clock->sleeps(), 0);
  EXPECT_EQ(passes->hit_passes, 4);
  EXPECT_EQ(passes->flipper_sounds, 4);
  EXPECT_EQ(passes->flipper_updates.size(), 8u);
  EXPECT_EQ(game->world.balls[0].x, 112.0f);  // four moves of 3
  EXPECT_EQ(game->frame.now_whole, 1020u);
  EXPECT_DOUBLE_EQ(game->frame.frame_time, 30.0);
  EXPECT_EQ(game->frame.frame_time_whole, 30u);
  EXPECT_DOUBLE_EQ(game->frame.previous_frame_time, 1020.0);

  // The next frame comes 3 ms later: it is early and waits for its step.
  clock->Advance(3);
  RunFrame(*game);
  EXPECT_EQ(clock->sleeps(), 4);
  EXPECT_EQ(game->frame.steps_run, 1);
}

TEST_F(FrameLoop, AFrameTooLateIsCappedAtSixSteps) {
  ScheduleAt(1000);
  clock->Set(1100);
  RunFrame(*game);
  EXPECT_EQ(game->frame.steps_run, 6);
  EXPECT_DOUBLE_EQ(game->frame.step_debt, 33.0);
  EXPECT_DOUBLE_EQ(game->frame.frame_time, 33.0);
  EXPECT_NEAR(game->frame.next_step_time - clock->Now(), 6.6, 1e-9);
  EXPECT_EQ(game->world.balls[0].x, 118.0f);
}

TEST_F(FrameLoop, FirstFrameAfterStartRunsAtMostSixSteps) {
  clock->Set(5000);
  EXPECT_EQ(FrameGate(*game), 0);
  EXPECT_EQ(game->frame.steps_run, 6);
  EXPECT_EQ(passes->log.front(), "palette");
  Clear();
  clock->Advance(16.7);
  FrameGate(*game);
  EXPECT_EQ(std::count(passes->log.begin(), passes->log.end(), "palette"), 0);
}

TEST_F(FrameLoop, EarlyFrameSleepsUntilDueThenRunsOneStep) {
  ScheduleAt(1000);
  clock->Set(997.5);
  RunFrame(*game);
  EXPECT_EQ(clock->sleeps(), 3);
  EXPECT_DOUBLE_EQ(game->frame.now, 1000.5);
  EXPECT_EQ(game->frame.steps_run, 1);
  EXPECT_NEAR(game->frame.next_step_time, 1006.6, 1e-9);
}

// A clock that never moves: the early wait gives up after 10 000 sleeps.
class FrozenClock final : public Clock {
 public:
  double Now() override { return 500.0; }
  void Sleep(double) override { ++sleeps; }
  int sleeps = 0;
};

TEST(FrameLoopWait, GivesUpAfterTenThousandSleeps) {
  auto c = std::make_unique<FrozenClock>();
  FrozenClock* clock = c.get();
  Game game(std::move(c));
  game.frame.next_step_time = 600.0;
  game.frame.previous_frame_time = 490.0;
  RunFrame(game);
  EXPECT_EQ(clock->sleeps, 10000);
  EXPECT_EQ(game.frame.steps_run, 1);
}

TEST_F(FrameLoop, InterpolatesTheDrawnBallBetweenItsLastTwoSteps) {
  ScheduleAt(1000);
  clock->Set(1010);
  RunFrame(*game);
  // n = trunc(10 / 6.6) = 1; w = 1 - (2 × 6.6 + 1000 - 1010) / 6.6.
  double w = 1.0 - (13.2 - 10.0) / 6.6;
  EXPECT_EQ(game->frame.steps_run, 2);
  EXPECT_NEAR(game->frame.weight, w, 1e-12);
  EXPECT_NEAR(passes->drawn_x, 103.0 + 3.0 * w, 1e-4);
  EXPECT_EQ(game->world.balls[0].x, 106.0f);  // the true state is back after drawing
}

TEST_F(FrameLoop, FailedPresentForcesOneStepWithoutInterpolation) {
  ScheduleAt(1000);
  clock->Set(1010);
  passes->present_ok = false;
  RunFrame(*game);
  EXPECT_EQ(game->frame.present_succeeded, 0);
  passes->present_ok = true;
  clock->Advance(20);  // 23.4 ms of debt would be four steps
  RunFrame(*game);
  EXPECT_EQ(game->frame.steps_run, 1);
  EXPECT_EQ(game->frame.weight, 0.0);
  EXPECT_EQ(passes->drawn_x, 106.0f);  // drawn where the step began
  EXPECT_EQ(game->world.balls[0].x, 109.0f);
  EXPECT_EQ(game->frame.present_succeeded, 1);
}

TEST_F(FrameLoop, PlayingFrameRunsPassesInOrder) {
  ScheduleAt(1000);
  clock->Set(1001);
  game->flags.computer_playing = 1;
  RunFrame(*game);
  std::vector<std::string> expected = {
      "poll",   "computer",          "nudge",  "check0", "check1", "follow1", "rules",
      "images", "draw-interpolated", "present"};
  EXPECT_EQ(passes->log, expected);
  EXPECT_EQ(passes->flipper_updates, (std::vector<int>{1, 11}));  // both held
  ASSERT_EQ(passes->rolls.size(), 1u);
  EXPECT_EQ(passes->rolls[0][0], 0.0f);
  EXPECT_EQ(passes->rolls[0][1], game->world.balls[0].rotation_rate[0]);
  EXPECT_EQ(passes->rolls[0][3], game->world.balls[0].rotation_rate[2]);
}

TEST_F(FrameLoop, TiltOrMainMenuDropsTheFlippers) {
  ScheduleAt(1000);
  clock->Set(1001);
  game->world.tilted = 1;
  RunFrame(*game);
  EXPECT_EQ(passes->flipper_updates, (std::vector<int>{0, 10}));
  EXPECT_EQ(game->flipper_controls[0], 0);
}

TEST_F(FrameLoop, MainMenuIdlesTheTable) {
  ScheduleAt(1000);
  clock->Set(1020);
  game->flags.main_menu_shown = 1;
  RunFrame(*game);
  EXPECT_EQ(game->world.balls[0].x, 100.0f);
  EXPECT_EQ(passes->flipper_updates.size(), 10u);  // five rounds, both released
  for (int u : passes->flipper_updates) EXPECT_EQ(u % 10, 0);
  std::vector<std::string> expected = {"rules", "images", "draw", "present"};
  EXPECT_EQ(passes->log, expected);
  EXPECT_EQ(clock->sleeps(), 1);
  EXPECT_DOUBLE_EQ(game->frame.previous_frame_time, 1020.0);
}

TEST_F(FrameLoop, PauseHoldFramesIdleUntilTheyRunOut) {
  ScheduleAt(1000);
  clock->Set(1020);
  game->frame.pause_hold_frames = 2;
  RunFrame(*game);
  RunFrame(*game);
  EXPECT_EQ(game->world.balls[0].x, 100.0f);
  EXPECT_EQ(passes->flipper_updates.size(), 0u);
  EXPECT_EQ(game->frame.pause_hold_frames, 0);
  RunFrame(*game);
  EXPECT_GT(game->world.balls[0].x, 100.0f);
  // A capped debt, however long the pause lasted.
  EXPECT_LE(game->frame.steps_run, 6);
}

TEST_F(FrameLoop, LoadingOrTitleOnlyPresents) {
  game->flags.loading_phase = 1;
  clock->Set(777);
  RunFrame(*game);
  std::vector<std::string> expected = {"present"};
  EXPECT_EQ(passes->log, expected);
  EXPECT_EQ(game->frame.now, 0.0);  // the clock is not read
  EXPECT_EQ(clock->sleeps(), 1);
  game->flags.loading_phase = 0;
  game->flags.title_shown = 1;
  RunFrame(*game);
  EXPECT_EQ(game->world.balls[0].x, 100.0f);
}

TEST_F(FrameLoop, HoldTimeFreezesBallsAndFlippersGameEndFreezesBalls) {
  ScheduleAt(1000);
  clock->Set(1020);
  game->flow.state.ball_hold_time = 500;
  RunFrame(*game);
  EXPECT_EQ(game->world.balls[0].x, 100.0f);
  EXPECT_TRUE(passes->flipper_updates.empty());
  EXPECT_EQ(passes->log.back(), "present");
  EXPECT_NE(std::find(passes->log.begin(), passes->log.end(), "draw"), passes->log.end());

  Clear();
  game->flow.state.game_ended = 1;  // flippers follow the controls again, balls stay
  clock->Advance(10);
  RunFrame(*game);
  EXPECT_EQ(game->world.balls[0].x, 100.0f);
  EXPECT_EQ(passes->flipper_updates, (std::vector<int>{1, 11}));
  EXPECT_EQ(passes->flipper_sounds, 1);
}

TEST_F(FrameLoop, GateRunsNothingWhileInactive) {
  game->flags.app_active = 0;
  EXPECT_EQ(FrameGate(*game), 1);
  game->flags.app_active = 1;
  game->flags.system_menu_open = 1;
  EXPECT_EQ(FrameGate(*game), 1);
  std::vector<std::string> expected = {"palette"};
  EXPECT_EQ(passes->log, expected);
}

TEST_F(FrameLoop, UnlaunchedBallsStayPut) {
  game->world.balls[0].launched = 0;
  ScheduleAt(1000);
  clock->Set(1020);
  RunFrame(*game);
  EXPECT_EQ(game->world.balls[0].x, 100.0f);
  EXPECT_TRUE(passes->rolls.empty());
}

// One seed and one clock give one game: two runs end in identical records.
TEST(FrameLoopDeterminism, SameSeedSameBalls) {
  auto run = [] {
    auto c = std::make_unique<FakeClock>();
    FakeClock* clock = c.get();
    Game g(std::move(c));
    g.random.Seed(1234);
    g.world.map = physics::SurfaceMap(800, 1500, 0);
    g.world.map.Fill(0, 1400, 800, 1500, physics::kCodeWall);
    g.world.map.Fill(780, 0, 800, 1500, physics::kCodeWall);
    physics::PlaceBallAtPlunger(g.world.balls, 0, g.world.tuning, g.random);
    g.world.balls[0].y = 1300;
    g.world.balls[0].launched = 1;
    for (int i = 0; i < 300; ++i) {
      clock->Advance(16.6667);
      FrameGate(g);
    }
    return g.world.balls;
  };
  auto a = run();
  auto b = run();
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
  EXPECT_NE(a[0].x, 761.0f);
}

// Readings no clock gives (a forged recording's, were it not refused) keep
// the frame's times and step count within their bounds, with no overflow on
// the way (the sanitizer build checks the conversions).
TEST_F(FrameLoop, ClockReadingsOutOfRangeKeepTheFrameInBounds) {
  const double nan = std::nan("");
  for (double reading : {1000.0, 1e12, 1e30, 1e300, -1e12, 500.0, nan, 2000.0}) {
    SCOPED_TRACE(reading);
    clock->Set(reading);
    RunFrame(*game);
    const FrameState& f = game->frame;
    EXPECT_GE(f.steps_run, 0);
    EXPECT_LE(f.steps_run, kMaxExtraSteps + 1);
    EXPECT_GE(f.frame_time, 0.0);
    EXPECT_LE(f.frame_time, kLagCapMs);
    EXPECT_LE(f.frame_time_whole, 33u);
    // Whole ms hold at the counter's end.
    if (reading >= 1e12) {
      EXPECT_EQ(f.now_whole, 4294967295u);
    }
  }
}

}  // namespace
}  // namespace app
