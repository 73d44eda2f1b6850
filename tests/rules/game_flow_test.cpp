// The course of a game: serving, the plunger, drains, players, shoot again,
// multiball and game over.

#include "rules/game_flow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "physics/ball.h"
#include "rules_harness.h"

namespace {

using rules_test::RecordingSound;

class RecordingHost final : public rules::FlowHost {
 public:
  void PostCommand(int command, int arg) override {
    commands.emplace_back(command, arg);
    if (state) cycles_at_post.push_back(state->cycles_left);
  }
  void ResetTiltMeter() override { ++tilt_meter_resets; }
  std::vector<std::pair<int, int>> commands;
  std::vector<int> cycles_at_post;
  const rules::FlowState* state = nullptr;
  int tilt_meter_resets = 0;
};

struct FlowHarness {
  FlowHarness() {
    world.map = physics::SurfaceMap(800, 1514, 0);
    world.sound = &sound;
    world.random = &random;
    rules.Bind(world);
    display.canvas = &canvas;
    display.sound = &sound;
    rules::ResetObjects(rules.table);
    host.state = &flow.state;
  }

  void Start(int players, bool computer = false) {
    rules.players.last_index = players - 1;
    rules.table.flags.computer_playing = computer ? 1 : 0;
    rules.main_menu_shown = 0;
    flow.state.game_ended = 0;
    rules::NewGame(flow);
    if (computer) flow.state.ball_served = 1;
  }

  // One frame: lifecycle checks (with drains) then the rules frame.
  void Frame(int ms = 17, bool start = false) {
    now += static_cast<uint32_t>(ms);
    rules::SetClock(rules, now, ms, ms);
    flow.state.start_held = start ? 1 : 0;
    for (int b = 0; b < physics::kBallCount; ++b) {
      if (rules::BallLifecycleCheck(flow, b)) rules::DrainHandling(flow, b);
    }
    rules::FlowRulesFrame(flow, false, false);
  }

  // Launches the waiting ball as the computer would, puts it in mid-table.
  void LaunchAndPlay(int b = 0) {
    rules::Launch(flow, 1.0f);
    physics::BallRecord& ball = world.balls[b];
    ball.x = 400.0f;
    ball.y = 700.0f;
    ball.waiting_at_plunger = 0;
    Frame();
  }

  // Drops a ball below the table and runs frames until it is drained.
  void Drain(int b = 0) {
    world.balls[b].y = 1600.0f;
    world.balls[b].vy = 0.0f;
    for (int i = 0; i < 200 && world.balls[b].y >= 1600.0f; ++i) Frame();
  }

  core::Random15 random;
  RecordingSound sound;
  physics::World world;
  rules::Rules rules;
  rules::ScoreDisplay display;
  rules::RecordingScoreCanvas canvas;
  RecordingHost host;
  rules::GameFlow flow{rules, display, host};
  uint32_t now = 10000;
};

// The board redrawn behind the main menu before any game shows the first
// ball; after a game the third ball's picture stays.
TEST(GameFlow, TheBoardShowsTheFirstBallBeforeAnyGameAndTheLastAfterOne) {
  FlowHarness h;
  rules::RedrawTable(h.flow);
  EXPECT_EQ(h.canvas.ball_number_frame, 0);
  h.Start(1);
  for (int ball = 0; ball < 3; ++ball) {
    h.LaunchAndPlay();
    h.Drain();
  }
  ASSERT_TRUE(h.flow.state.game_ended);
  rules::RedrawTable(h.flow);
  EXPECT_EQ(h.canvas.ball_number_frame, 2);
}

TEST(GameFlow, NewGameServesBallZeroOnThePlunger) {
  FlowHarness h;
  h.Start(1);
  const physics::BallRecord& b = h.world.balls[0];
  EXPECT_TRUE(b.in_play);
  EXPECT_TRUE(b.waiting_at_plunger);
  EXPECT_FALSE(b.launched);
  EXPECT_FLOAT_EQ(b.x, physics::kPlungerX);
  EXPECT_FALSE(h.world.balls[1].in_play);
  EXPECT_EQ(h.rules.balls[0].new_ball, 1);
  EXPECT_EQ(h.flow.state.cycles_left, 2);
  EXPECT_EQ(h.flow.state.ball_hold_time, 1);
  EXPECT_EQ(h.rules.table.flags.plunger_armed, 1);
  EXPECT_EQ(h.canvas.tab_frame[0], 1);
  EXPECT_EQ(h.canvas.ball_number_frame, 0);
  EXPECT_EQ(h.sound.Count(1), 1);
}

TEST(GameFlow, OnePlayerGameEndsAfterThreeDrainedBalls) {
  FlowHarness h;
  h.Start(1);
  for (int ball = 0; ball < 3; ++ball) {
    EXPECT_FALSE(h.flow.state.game_ended) << ball;
    EXPECT_EQ(h.canvas.ball_number_frame, ball);
    h.LaunchAndPlay();
    h.rules.players.records[0].bonus_level = 2;
    h.Drain();
    // The bonus was paid when the ball started to drain.
    EXPECT_EQ(h.rules.players.records[0].bonus_level, 0);
    if (ball < 2) {
      EXPECT_TRUE(h.host.commands.empty());
    }
  }
  EXPECT_EQ(h.rules.players.records[0].score, 6000);
  EXPECT_TRUE(h.flow.state.game_ended);
  EXPECT_EQ(h.rules.main_menu_shown, 1);
  EXPECT_EQ(h.flow.state.cycles_left, 0);
  EXPECT_EQ(h.flow.state.ball_served, 0);
  EXPECT_TRUE(h.rules.table.shows[rules::kShowAttract].active);
  ASSERT_EQ(h.host.commands.size(), 1u);
  EXPECT_EQ(h.host.commands[0], std::make_pair(rules::kCommandHighScore, 0));
  EXPECT_FALSE(h.world.balls[0].in_play);  // the drained ball left the table
  EXPECT_EQ(h.canvas.ball_number_frame, 2);
}

// A drain is counted by where the ball fell out: past the left flipper's
// pivot, between the pivots, or past the right one (223 and 497 here).
TEST(GameFlow, DrainsAreCountedBySide) {
  FlowHarness h;
  h.Start(4);
  struct Case {
    float x;
    int left, centre, right;  // totals after this drain
  };
  const Case cases[] = {
      {40.0f, 1, 0, 0},  {222.0f, 2, 0, 0}, {223.0f, 2, 1, 0}, {360.0f, 2, 2, 0},
      {497.0f, 2, 3, 0}, {498.0f, 2, 3, 1}, {690.0f, 2, 3, 2},
  };
  for (const Case& c : cases) {
    h.LaunchAndPlay();
    h.world.balls[0].x = c.x;
    h.Drain();
    const rules::FlowState& s = h.flow.state;
    EXPECT_EQ(s.drains_left, c.left) << c.x;
    EXPECT_EQ(s.drains_centre, c.centre) << c.x;
    EXPECT_EQ(s.drains_right, c.right) << c.x;
    EXPECT_EQ(s.drains, s.drains_left + s.drains_centre + s.drains_right);
  }
  EXPECT_FALSE(h.flow.state.game_ended);
}

// The ball search. Nothing moves the balls here, so a placed ball rests.
struct SearchHarness : FlowHarness {
  SearchHarness() {
    Start(1);
    LaunchAndPlay();  // ball 0 launched, at (400, 700)
    Rest(400.0f, 700.0f);
  }
  void Rest(float x, float y) {
    physics::BallRecord& b = world.balls[0];
    b.x = x;
    b.y = y;
    b.vx = b.vy = 0.0f;
  }
  // Frames of 17 ms for `ms`, with a flipper held or not.
  void Run(int ms, bool flipper = false) {
    for (int t = 0; t < ms; t += 17) {
      now += 17;
      rules::SetClock(rules, now, 17, 17.0);
      for (int b = 0; b < physics::kBallCount; ++b) {
        if (rules::BallLifecycleCheck(flow, b)) rules::DrainHandling(flow, b);
      }
      rules::FlowRulesFrame(flow, flipper, false);
    }
  }
  int Searches() const { return flow.state.ball_searches; }
  void Paint(int x0, int y0, int x1, int y1, int code = physics::kCodeWall) {
    world.map.Fill(x0, y0, x1, y1, static_cast<uint8_t>(code));
  }
};

TEST(BallSearch, ABallAtRestForTenSecondsIsSearched) {
  SearchHarness h;
  h.Paint(350, 701, 450, 740);  // the ledge it lies on
  const int32_t score = h.rules.players.records[0].score;
  h.Run(9900);
  EXPECT_EQ(h.Searches(), 0);
  EXPECT_EQ(h.world.balls[0].vx, 0.0f);
  h.Run(200);
  ASSERT_EQ(h.Searches(), 1);
  // Pushed along the ledge and a little up from it: 60 to 85 degrees from
  // straight up.
  const physics::BallRecord& b = h.world.balls[0];
  const float speed = std::hypot(b.vx, b.vy);
  EXPECT_NEAR(speed, rules::kSearchPush, 1e-3f);
  EXPECT_LT(b.vy, 0.0f);
  const float turn = std::atan2(std::fabs(b.vx), -b.vy) * 180.0f / 3.14159265f;
  EXPECT_GE(turn, 59.0f);
  EXPECT_LE(turn, 86.0f);
  const float first_vx = b.vx;
  // Every bumper and the kicker fired, for nothing.
  for (int row = rules::kRowBumperFirst; row <= rules::kRowBumperLast; ++row) {
    EXPECT_EQ(h.rules.table.objects[row].animating, 1) << row;
  }
  EXPECT_EQ(h.rules.table.objects[rules::kRowKicker].animating, 1);
  EXPECT_EQ(h.sound.Count(41), 9);
  EXPECT_EQ(h.sound.Count(0), 1);
  EXPECT_EQ(h.rules.players.records[0].score, score);
  // Still there 10 s later: searched again, pushed to the other side.
  h.Rest(400.0f, 700.0f);
  h.Run(10100);
  ASSERT_EQ(h.Searches(), 2);
  EXPECT_LT(h.world.balls[0].vx * first_vx, 0.0f);
}

TEST(BallSearch, AgainstABumperTheBallIsKickedAwayFromIt) {
  SearchHarness h;
  h.Paint(330, 650, 396, 750, physics::kCodeBumper);  // to the ball's left
  h.Run(10100);
  ASSERT_EQ(h.Searches(), 1);
  const physics::BallRecord& b = h.world.balls[0];
  EXPECT_NEAR(std::hypot(b.vx, b.vy), rules::kSearchKick, 1e-3f);
  EXPECT_GT(b.vx, 0.0f);
}

TEST(BallSearch, NoSearchForABallThatMovesOrIsNotOnTheTable) {
  enum Setup { kMoving, kHeld, kInLane, kDraining, kFlipperHeld, kGameOver };
  for (Setup setup : {kMoving, kHeld, kInLane, kDraining, kFlipperHeld, kGameOver}) {
    SearchHarness h;
    physics::BallRecord& b = h.world.balls[0];
    if (setup == kHeld) b.held = 1;
    if (setup == kInLane) h.Rest(765.0f, 1450.0f);
    if (setup == kDraining) h.Rest(400.0f, 1550.0f);
    if (setup == kGameOver) rules::StopGame(h.flow);
    for (int second = 0; second < 25; ++second) {
      if (setup == kMoving) b.x += 4.0f;  // slow, but more than 3 pixels a second
      h.Run(1000, setup == kFlipperHeld);
    }
    EXPECT_EQ(h.Searches(), 0) << setup;
  }
}

TEST(GameFlow, TwoPlayersAlternateAndEachGetsAHighScoreCheck) {
  FlowHarness h;
  h.Start(2);
  std::vector<int> order;
  std::vector<int> cycles;
  std::vector<size_t> commands_after;
  while (!h.flow.state.game_ended) {
    order.push_back(h.rules.players.current);
    h.LaunchAndPlay();
    rules::AddScore(h.rules, 100 * (h.rules.players.current + 1), 0);
    h.Drain();
    cycles.push_back(h.flow.state.cycles_left);
    commands_after.push_back(h.host.commands.size());
    ASSERT_LT(order.size(), 10u);
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 0, 1, 0, 1}));
  // Cycles left after each drain (game over sets it back to 0 after -1).
  EXPECT_EQ(cycles, (std::vector<int>{2, 1, 1, 0, 0, 0}));
  EXPECT_EQ(commands_after, (std::vector<size_t>{0, 0, 0, 0, 1, 2}));
  ASSERT_EQ(h.host.commands.size(), 2u);
  EXPECT_EQ(h.host.commands[0].second, 0);
  EXPECT_EQ(h.host.commands[1].second, 1);
  EXPECT_EQ(h.host.cycles_at_post, (std::vector<int>{0, -1}));
  EXPECT_EQ(h.rules.players.records[0].score, 300);
  EXPECT_EQ(h.rules.players.records[1].score, 600);
}

TEST(GameFlow, ShootAgainKeepsThePlayerUntilTheNewBallPassesTheLaneExit) {
  FlowHarness h;
  h.Start(2);
  h.LaunchAndPlay();
  rules::SetLamp(h.rules.table, rules::kRowShootAgain, true);
  h.Drain();
  EXPECT_EQ(h.rules.players.current, 0);
  EXPECT_EQ(h.flow.state.cycles_left, 2);
  EXPECT_TRUE(h.host.commands.empty());
  EXPECT_EQ(h.rules.table.objects[rules::kRowShootAgain].state, 1);
  EXPECT_EQ(h.rules.balls[0].new_ball, 1);
  // The served ball crosses the lane exit: the lamp goes out.
  h.world.map.Fill(745, 1300, 790, 1350, physics::kCodeHole);
  rules::Launch(h.flow, 1.0f);
  h.world.balls[0].x = 761.0f;
  h.world.balls[0].y = 1320.0f;
  rules::LaneCheck(h.rules, 0);
  EXPECT_EQ(h.rules.table.objects[rules::kRowShootAgain].state, 0);
  EXPECT_EQ(h.rules.balls[0].new_ball, 0);
  h.world.balls[0].y = 700.0f;
  h.Drain();
  EXPECT_EQ(h.rules.players.current, 1);
}

TEST(GameFlow, PlungerIntroThenPullAndRelease) {
  FlowHarness h;
  h.Start(1);
  h.Frame(30);
  EXPECT_EQ(h.rules.table.objects[rules::kRowPlunger].frame, 33);
  for (int i = 0; i < 12; ++i) h.Frame(30);
  EXPECT_EQ(h.flow.state.intro_timer, rules::kIntroFinished);
  EXPECT_EQ(h.rules.table.objects[rules::kRowPlunger].frame, 0);
  // Start held for 465 ms then released: strength 0.5, slot 51.
  for (int i = 0; i < 31; ++i) h.Frame(15, true);
  EXPECT_EQ(h.flow.state.pull_time, 465u);
  EXPECT_EQ(h.rules.table.objects[rules::kRowPlunger].frame, 15);
  EXPECT_FALSE(h.world.balls[0].launched);
  const uint32_t before = h.random.state;
  h.Frame(15, false);
  EXPECT_TRUE(h.world.balls[0].launched);
  EXPECT_EQ(h.sound.Count(51), 1);
  EXPECT_EQ(h.rules.table.flags.plunger_armed, 0);
  EXPECT_EQ(h.flow.state.ball_served, 0);
  // The same random draws give the launch velocity with factor 0.75.
  core::Random15 r;
  r.state = before;
  const physics::Tuning& t = h.world.tuning;
  const float vx = t.ball_start_dx + r.Within(t.ball_start_dx_rand);
  const float vy = (t.ball_start_dy + r.Within(t.ball_start_dy_rand)) * 0.75f;
  EXPECT_FLOAT_EQ(h.world.balls[0].vx, vx);
  EXPECT_FLOAT_EQ(h.world.balls[0].vy, vy);
}

TEST(GameFlow, HoldingStartForAFullPullLaunchesAtFullStrength) {
  FlowHarness h;
  h.Start(1);
  h.flow.state.intro_timer = rules::kIntroFinished;
  int frames = 0;
  while (!h.world.balls[0].launched && frames < 100) {
    h.Frame(30, true);
    ++frames;
  }
  EXPECT_EQ(frames, 32);  // 32 × 30 = 960 ms
  EXPECT_EQ(h.sound.Count(52), 1);
  EXPECT_EQ(h.sound.Count(50) + h.sound.Count(51), 0);
}

TEST(GameFlow, LaunchStrengthPicksTheSoundAndClamps) {
  const struct {
    float strength;
    int slot;
  } cases[] = {{-1.0f, 50}, {0.49f, 50}, {0.5f, 51}, {0.74f, 51}, {0.75f, 52}, {3.0f, 52}};
  for (const auto& c : cases) {
    FlowHarness h;
    h.Start(1);
    rules::Launch(h.flow, c.strength);
    EXPECT_EQ(h.sound.Count(c.slot), 1) << c.strength;
    EXPECT_TRUE(h.world.balls[0].launched);
  }
}

TEST(GameFlow, AWeakLaunchRollingBackIntoTheLaneRearmsThePlunger) {
  FlowHarness h;
  h.Start(1);
  rules::Launch(h.flow, 0.1f);
  physics::BallRecord& b = h.world.balls[0];
  // The ball left the lane (the hit pass cleared its flag) and rolled back.
  b.waiting_at_plunger = 0;
  b.x = 765.0f;
  b.y = 1450.0f;
  h.rules.balls[0].new_ball = 1;
  h.Frame();
  EXPECT_EQ(b.waiting_at_plunger, 1);
  EXPECT_FALSE(b.launched);
  EXPECT_FLOAT_EQ(b.x, physics::kPlungerX);
  EXPECT_EQ(h.rules.table.flags.plunger_armed, 1);
  EXPECT_EQ(h.flow.state.ball_served, 1);
  EXPECT_EQ(h.flow.state.intro_timer, rules::kIntroFinished);
  EXPECT_EQ(h.rules.balls[0].new_ball, 0);  // a lit shoot-again lamp is not spent by it
}

TEST(GameFlow, MultiballDrainMakesTheOtherBallBallZeroWithoutBonus) {
  FlowHarness h;
  h.Start(1);
  h.LaunchAndPlay();
  // Ball 0 caught in the hole; the lock runs out and serves ball 1.
  h.world.balls[0].held = 1;
  h.world.hole_lock_timer = -1;
  h.flow.HoleReleaseStep();
  ASSERT_TRUE(h.world.balls[1].in_play);
  EXPECT_EQ(h.rules.balls[1].new_ball, 0);
  EXPECT_EQ(h.flow.state.ball_served, 1);
  EXPECT_EQ(h.flow.state.multiballs, 1);
  rules::Launch(h.flow, 1.0f);
  h.world.balls[1].x = 300.0f;
  h.world.balls[1].y = 600.0f;
  h.world.balls[1].waiting_at_plunger = 0;
  rules::ReleaseHeldBalls(h.rules);
  h.world.hole_lock_timer = 0;
  h.rules.players.records[0].bonus_level = 5;
  h.Drain(0);
  EXPECT_EQ(h.rules.players.records[0].bonus_level, 5);
  EXPECT_EQ(h.rules.players.records[0].score, 0);
  EXPECT_TRUE(h.world.balls[0].in_play);
  EXPECT_FLOAT_EQ(h.world.balls[0].x, 300.0f);
  EXPECT_FALSE(h.world.balls[1].in_play);
  EXPECT_EQ(h.flow.state.cycles_left, 2);
  // The last ball pays the bonus when it starts to drain.
  h.world.balls[0].y = 1600.0f;
  h.Frame();
  EXPECT_EQ(h.rules.players.records[0].score, 5000);
}

TEST(GameFlow, HoleReleaseStepWithTwoBallsInPlayFreesTheHeldBall) {
  FlowHarness h;
  h.Start(1);
  h.LaunchAndPlay();
  h.world.balls[1].in_play = 1;
  h.world.balls[1].held = 1;
  h.world.hole_lock_timer = -1;
  h.flow.HoleReleaseStep();
  EXPECT_EQ(h.world.balls[1].held, 0);
  EXPECT_EQ(h.world.hole_lock_timer, 0);
  EXPECT_EQ(h.flow.state.multiballs, 0);
  EXPECT_EQ(h.sound.Count(11), 1);
}

TEST(GameFlow, ASecondBallInTheOccupiedLaneIsRemoved) {
  FlowHarness h;
  h.Start(1);
  h.world.balls[1].in_play = 1;
  h.world.balls[1].x = 760.0f;
  h.world.balls[1].y = 1420.0f;
  EXPECT_TRUE(rules::BallLifecycleCheck(h.flow, 1));
  EXPECT_FALSE(rules::BallLifecycleCheck(h.flow, 0));
}

TEST(GameFlow, ComputerLaunchesOnTheFirstFrameWithNoHoldTime) {
  FlowHarness h;
  h.Start(1, true);
  h.flow.state.ball_hold_time = 40;
  h.Frame(17);
  h.Frame(17);
  EXPECT_FALSE(h.world.balls[0].launched);
  h.Frame(17);  // the hold time reaches 0 in this frame
  EXPECT_EQ(h.flow.state.ball_hold_time, 0);
  EXPECT_FALSE(h.world.balls[0].launched);
  h.Frame(17);
  EXPECT_TRUE(h.world.balls[0].launched);
  EXPECT_EQ(h.flow.state.launches, 1);
  EXPECT_EQ(h.sound.Count(52), 1);  // 0.75 and more
}

TEST(GameFlow, AComputerGamePostsNoHighScoreCheck) {
  FlowHarness h;
  h.Start(2, true);
  int balls = 0;
  while (!h.flow.state.game_ended && balls < 10) {
    h.flow.state.ball_hold_time = 0;
    h.Frame();  // the computer launches
    ASSERT_TRUE(h.world.balls[0].launched);
    h.world.balls[0].x = 400.0f;
    h.world.balls[0].y = 700.0f;
    h.Drain();
    ++balls;
  }
  EXPECT_EQ(balls, 6);
  EXPECT_TRUE(h.flow.state.game_ended);
  EXPECT_TRUE(h.host.commands.empty());
}

TEST(GameFlow, TiltEndsAtTheNextBall) {
  FlowHarness h;
  h.Start(1);
  h.LaunchAndPlay();
  rules::SetLamp(h.rules.table, rules::kRowSantaFirst, true);
  h.rules.table.objects[rules::kRowBumperFirst + 3].value = 1;
  h.world.hole_lock_timer = 300;
  h.world.balls[1].in_play = 1;
  h.world.balls[1].held = 1;
  rules::TiltCleanUp(h.flow);
  h.world.tilted = 1;
  h.rules.table.flags.lights_out = 1;
  EXPECT_EQ(h.world.hole_lock_timer, 0);
  EXPECT_EQ(h.world.balls[1].held, 0);
  EXPECT_EQ(h.rules.table.objects[rules::kRowBumperFirst + 3].value, 0);
  h.world.balls[1].in_play = 0;
  h.rules.players.records[0].bonus_level = 7;
  h.Drain();
  EXPECT_EQ(h.rules.players.records[0].score, 0);  // a tilted ball's bonus pays nothing
  EXPECT_EQ(h.world.tilted, 0);
  EXPECT_EQ(h.rules.table.flags.lights_out, 0);
  EXPECT_GE(h.host.tilt_meter_resets, 1);
  EXPECT_EQ(h.rules.table.objects[rules::kRowSantaFirst].state, 0);
}

TEST(GameFlow, StopGameEndsAtOnce) {
  FlowHarness h;
  h.Start(1);
  h.LaunchAndPlay();
  h.world.hole_lock_timer = 100;
  rules::StopGame(h.flow);
  EXPECT_TRUE(h.flow.state.game_ended);
  EXPECT_EQ(h.flow.state.ball_served, 0);
  EXPECT_EQ(h.rules.table.flags.plunger_armed, 0);
  EXPECT_EQ(h.world.hole_lock_timer, 0);
  EXPECT_FALSE(h.world.balls[1].in_play);
  EXPECT_TRUE(h.rules.table.shows[rules::kShowAttract].active);
}

}  // namespace
