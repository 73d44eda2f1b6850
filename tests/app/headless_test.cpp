// Headless play: input scripts, the game passes over the frame loop, stuck
// balls and the printed state.

#include "app/headless.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/frame_loop.h"
#include "app/game_passes.h"
#include "physics/flipper.h"
#include "physics/surface_map.h"

namespace app {
namespace {

TEST(InputScript, ParsesEventsAndCommandsInTimeOrder) {
  std::string error;
  auto events = ParseInputScript(
      "# a comment\n"
      "1000 start down\r\n"
      "\n"
      "  500.5 left down\n"
      "1000 cmd 112\n"
      "2000 nudge-right up\n",
      error);
  ASSERT_TRUE(events) << error;
  ASSERT_EQ(events->size(), 4u);
  EXPECT_DOUBLE_EQ((*events)[0].ms, 500.5);
  EXPECT_EQ((*events)[0].action, core::kActionLeftFlipper);
  EXPECT_EQ((*events)[1].action, core::kActionStart);  // stable among equal times
  EXPECT_EQ((*events)[2].action, -1);
  EXPECT_EQ((*events)[2].command, 112);
  EXPECT_EQ((*events)[3].action, core::kActionNudgeRight);
  EXPECT_FALSE((*events)[3].down);
}

TEST(InputScript, RejectsBadLines) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"100 jump down\n", "line 1: unknown action"},
      {"# c\n100 left sideways\n", "line 2: expected down or up"},
      {"x left down\n", "line 1: bad time"},
      {"-5 left down\n", "line 1: bad time"},
      {"100 cmd 1x\n", "line 1: bad command number"},
      {"100 left\n", "line 1: expected"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseInputScript(c.text, error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
}

// A game on the test table driven frame by frame.
struct TestTableGame {
  TestTableGame() : game(MakeClock(), std::make_unique<GamePasses>()) {
    game.random.Seed(11);
    physics::PlayfieldReset(game.world, game.random);
    UseTestTable(game);
  }
  std::unique_ptr<Clock> MakeClock() {
    auto c = std::make_unique<FakeClock>();
    clock = c.get();
    return c;
  }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) {
      clock->Advance(1000.0 / 60.0);
      FrameGate(game);
    }
  }
  FakeClock* clock = nullptr;
  Game game;
};

TEST(GamePasses, AHumanGameLaunchesFromTheHeldStartAction) {
  TestTableGame t;
  StartGame(t.game, false);
  t.Frames(30);  // the intro
  EXPECT_FALSE(t.game.world.balls[0].launched);
  t.game.actions[core::kActionStart] = 1;
  t.Frames(20);
  EXPECT_GT(t.game.flow.state.pull_time, 300u);
  t.game.actions[core::kActionStart] = 0;
  t.Frames(1);
  EXPECT_TRUE(t.game.world.balls[0].launched);
  const float y0 = t.game.world.balls[0].y;
  t.Frames(20);
  EXPECT_LT(t.game.world.balls[0].y, y0 - 100.0f);  // on its way up the lane
}

TEST(GamePasses, AHeldNudgeTiltsAndTheFlippersStopAnswering) {
  TestTableGame t;
  StartGame(t.game, false);
  t.Frames(5);
  t.game.actions[core::kActionNudgeUp] = 1;
  t.game.actions[core::kActionLeftFlipper] = 1;
  t.Frames(1);  // 16.7 ms: not yet
  EXPECT_EQ(t.game.world.tilted, 0);
  EXPECT_EQ(t.game.flipper_controls[0], 1);
  t.Frames(1);  // 33 ms in all
  EXPECT_EQ(t.game.world.tilted, 1);
  EXPECT_EQ(t.game.nudge.tilts, 1);
  t.game.actions = {};
  t.Frames(1);
  EXPECT_EQ(t.game.flipper_controls[0], 0);
  EXPECT_GT(physics::FlipperFrame(t.game.world, 0), 0);  // still falling: not dark yet
  EXPECT_EQ(t.game.rules.table.flags.lights_out, 0);
  t.Frames(30);
  EXPECT_EQ(t.game.rules.table.flags.lights_out, 1);
  EXPECT_EQ(t.game.dark_playfield, 1);
  EXPECT_EQ(t.game.score_recorder.tilt_sign_draws, 1);
}

TEST(GamePasses, TheDemonstrationLaunchesOnItsFirstFrame) {
  TestTableGame t;
  t.game.host.PostCommand(116, 0);
  EXPECT_EQ(t.game.flags.computer_playing, 1);
  EXPECT_EQ(t.game.flags.main_menu_shown, 0);
  t.Frames(1);
  EXPECT_TRUE(t.game.world.balls[0].launched);
  EXPECT_EQ(t.game.flow.state.launches, 1);
  // Command 112 ends it and brings the main menu back.
  t.game.host.PostCommand(112, 0);
  EXPECT_EQ(t.game.flags.main_menu_shown, 1);
  EXPECT_EQ(t.game.flow.state.game_ended, 1);
  ASSERT_EQ(t.game.posted_commands.size(), 2u);
}

TEST(GamePasses, ADemoGameOnTheTestTableEnds) {
  TestTableGame t;
  t.game.rules.players.last_index = 1;
  StartGame(t.game, true);
  int frames = 0, flipper_frames = 0;
  while (!t.game.flow.state.game_ended && frames < 60 * 600) {
    t.Frames(1);
    ++frames;
    flipper_frames += t.game.flipper_controls[0] || t.game.flipper_controls[1];
  }
  EXPECT_GT(flipper_frames, 0);  // the computer used the flippers
  EXPECT_TRUE(t.game.flow.state.game_ended);
  EXPECT_EQ(t.game.flow.state.drains, 6);
  EXPECT_EQ(t.game.flow.state.launches, 6);
  EXPECT_TRUE(t.game.posted_commands.empty());
  EXPECT_EQ(t.game.flags.main_menu_shown, 1);
}

// A flat-topped block in mid-table holds a ball that lands on it at rest: the
// ball search frees it and the computer's game goes on to its end.
TEST(BallSearch, FreesABallRestingOnALedgeAndTheGameEnds) {
  TestTableGame t;
  t.game.world.map.Fill(300, 600, 500, 640, physics::kCodeWall);
  StartGame(t.game, true);
  t.Frames(1);
  physics::BallRecord& b = t.game.world.balls[0];
  ASSERT_TRUE(b.launched);
  b.x = 400.0f;
  b.y = 598.0f;
  b.vx = b.vy = 0.0f;
  t.Frames(60 * 9);
  EXPECT_EQ(t.game.flow.state.ball_searches, 0);
  EXPECT_NEAR(b.x, 400.0f, 3.0f);  // it rests on the ledge
  EXPECT_NEAR(b.y, 598.0f, 3.0f);
  t.Frames(60 * 2);
  EXPECT_EQ(t.game.flow.state.ball_searches, 1);
  int frames = 0;
  while (!t.game.flow.state.game_ended && frames < 60 * 600) {
    t.Frames(1);
    ++frames;
  }
  EXPECT_TRUE(t.game.flow.state.game_ended);
  EXPECT_EQ(t.game.flow.state.drains, 3);
  EXPECT_LE(t.game.flow.state.ball_searches, 3);
}

TEST(StuckBalls, ABallThatStaysPutFor30SecondsIsCounted) {
  TestTableGame t;
  StartGame(t.game, false);
  HeadlessStats s;
  physics::BallRecord& b = t.game.world.balls[0];
  b.waiting_at_plunger = 0;
  b.x = 300.0f;
  b.y = 600.0f;
  for (int ms = 0; ms <= 29000; ms += 1000) TrackStuckBalls(s, t.game, ms);
  EXPECT_EQ(s.stuck_balls, 0);
  b.x = 304.0f;  // within 5 pixels
  TrackStuckBalls(s, t.game, 30000);
  EXPECT_EQ(s.stuck_balls, 1);
  b.x = 320.0f;
  TrackStuckBalls(s, t.game, 31000);
  TrackStuckBalls(s, t.game, 60000);
  EXPECT_EQ(s.stuck_balls, 1);
  b.held = 1;
  TrackStuckBalls(s, t.game, 100000);
  EXPECT_EQ(s.stuck_balls, 1);
}

TEST(StateJson, HasOnePlayerEntryPerPlayerAndAllRows) {
  TestTableGame t;
  t.game.rules.players.last_index = 2;
  StartGame(t.game, false);
  HeadlessStats s;
  const std::string json = StateJson(t.game, 7, &s);
  EXPECT_EQ(json.rfind("{\"frames\":7,\"game_ms\":", 0), 0u) << json;
  size_t players = 0;
  for (size_t p = json.find("\"bonus_level\""); p != std::string::npos;
       p = json.find("\"bonus_level\"", p + 1)) {
    ++players;
  }
  EXPECT_EQ(players, 3u);
  EXPECT_NE(json.find("{\"row\":64,\"kind\":25"), std::string::npos);
  EXPECT_EQ(json.find("{\"row\":65"), std::string::npos);
  EXPECT_NE(json.find("\"lanes\":{\"upper_e2\":0,"), std::string::npos);
  EXPECT_NE(json.find("\"stuck_balls\":0}}"), std::string::npos);
}

}  // namespace
}  // namespace app
