// The game-state digest: each kind of change shows in its own named part and
// in no other, and the pictures' own fields do not count.

#include "replay/state_hash.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

struct Table {
  Table() {
    rules.Bind(world);
    random.Seed(5);
  }
  physics::World world;
  rules::Rules rules;
  rules::FlowState flow;
  core::Random15 random;
  physics::NudgeState nudge;

  replay::StateDigest Digest() const {
    return replay::DigestGameState({world, rules, flow, random, &nudge});
  }
};

TEST(StateHash, EachChangeShowsInItsOwnPart) {
  struct Case {
    const char* name;
    std::function<void(Table&)> change;
    int part;  // -1: no part may change
  };
  const Case cases[] = {
      {"ball 0 moved a bit",
       [](Table& t) { t.world.balls[0].x = std::nextafter(t.world.balls[0].x, 1e9f); },
       replay::kPartBall0Position},
      {"ball 1 moved", [](Table& t) { t.world.balls[1].y += 1.0f; }, replay::kPartBall1Position},
      {"ball 0 faster", [](Table& t) { t.world.balls[0].vx += 0.5f; }, replay::kPartBall0Motion},
      {"ball 1 spinning", [](Table& t) { t.world.balls[1].rotation_rate[2] = 0.1f; },
       replay::kPartBall1Motion},
      {"ball 0 held", [](Table& t) { t.world.balls[0].held = 1; }, replay::kPartBall0State},
      {"ball 1 draining", [](Table& t) { t.rules.balls[1].drain_time = 30; },
       replay::kPartBall1State},
      {"a flipper up", [](Table& t) { t.world.flippers[1].frame = 5; }, replay::kPartFlippers},
      {"a score", [](Table& t) { t.rules.players.records[2].score = 1000; }, replay::kPartScores},
      {"the next player", [](Table& t) { t.rules.players.current = 1; }, replay::kPartScores},
      {"a lamp lit", [](Table& t) { t.rules.table.objects[rules::kRowGift].value = 1; },
       replay::kPartLamps},
      {"a random draw", [](Table& t) { t.random.Next(); }, replay::kPartRandom},
      {"an award earned", [](Table& t) { t.rules.state.extra_earned = 1; }, replay::kPartRules},
      {"the spinner turning", [](Table& t) { t.rules.state.spinner.speed = 3.0f; },
       replay::kPartRules},
      {"a drain counted", [](Table& t) { t.flow.drains = 1; }, replay::kPartGameFlow},
      {"the tilt meter", [](Table& t) { t.nudge.tilt_meter = 10.0f; }, replay::kPartNudge},
      {"tilted", [](Table& t) { t.world.tilted = 1; }, replay::kPartNudge},
      // What only the pictures use.
      {"a ball's reflection", [](Table& t) { t.world.balls[0].reflection.roll_x = 3.0f; }, -1},
      {"a lamp's redraw mark", [](Table& t) { t.rules.table.objects[5].dirty = 1; }, -1},
      {"a lamp's shown picture", [](Table& t) { t.rules.table.objects[5].shown_frame = 3; }, -1},
      {"the shake shown", [](Table& t) { t.nudge.shake_offset[0] = 2; }, -1},
  };
  const replay::StateDigest base = Table().Digest();
  EXPECT_EQ(base, Table().Digest());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Table t;
    c.change(t);
    const replay::StateDigest d = t.Digest();
    for (int part = 0; part < replay::kDigestParts; ++part) {
      EXPECT_EQ(d[part] != base[part], part == c.part) << replay::DigestPartName(part);
    }
  }
}

TEST(StateHash, ScoresListEveryPlayerInTheGame) {
  Table t;
  t.rules.players.last_index = 2;
  t.rules.players.records[0].score = 10;
  t.rules.players.records[2].score = 30;
  t.rules.players.records[3].score = 99;  // not in this game
  EXPECT_EQ(replay::Scores(t.rules), (std::vector<int32_t>{10, 0, 30}));
}

TEST(StateHash, TheTuningHashFollowsTheValuesNotTheText) {
  Table a, b, c;
  EXPECT_EQ(replay::TuningHash(a.world), replay::TuningHash(b.world));
  ASSERT_TRUE(
      physics::LoadTuningText(b.world.tuning_targets(), std::string_view("FLIPPERHARD 0.5\n")));
  EXPECT_NE(replay::TuningHash(a.world), replay::TuningHash(b.world));
  // The same value written another way.
  ASSERT_TRUE(physics::LoadTuningText(c.world.tuning_targets(),
                                      std::string_view("/ a comment\nflipperhard 0.50\n")));
  EXPECT_EQ(replay::TuningHash(b.world), replay::TuningHash(c.world));
}

}  // namespace

namespace {

TEST(StateHash, TheWatchSeesBallEndsAndTheGameEnd) {
  Table t;
  replay::CheckpointWatch watch;
  auto after = [&] { return watch.AfterFrame({t.world, t.rules, t.flow, t.random, &t.nudge}); };
  t.flow.game_ended = 0;
  t.world.balls[0].in_play = 1;
  t.world.balls[0].launched = 1;
  EXPECT_EQ(after(), std::nullopt);  // the first frame only primes it
  EXPECT_EQ(after(), std::nullopt);

  // Multiball: one of two balls drains; the ball goes on.
  t.world.balls[1].in_play = 1;
  t.world.balls[1].launched = 1;
  EXPECT_EQ(after(), std::nullopt);
  t.flow.drains = 1;
  t.world.balls[1].in_play = 0;
  EXPECT_EQ(after(), std::nullopt);

  // The last ball drains; the next one is served and launched in the same frame.
  t.flow.drains = 2;
  EXPECT_EQ(after(), replay::CheckKind::kBallEnd);
  EXPECT_EQ(after(), std::nullopt);

  // Both balls of a multiball drain in one frame.
  t.world.balls[1].in_play = 1;
  EXPECT_EQ(after(), std::nullopt);
  t.flow.drains = 4;
  t.world.balls[1].in_play = 0;
  EXPECT_EQ(after(), replay::CheckKind::kBallEnd);

  // The last drain of the game is the game end only.
  t.flow.drains = 5;
  t.flow.game_ended = 1;
  t.world.balls[0].in_play = 0;
  EXPECT_EQ(after(), replay::CheckKind::kGameEnd);
  EXPECT_EQ(after(), std::nullopt);

  // A new game, stopped from the menu.
  t.flow.game_ended = 0;
  EXPECT_EQ(after(), std::nullopt);
  t.flow.game_ended = 1;
  EXPECT_EQ(after(), replay::CheckKind::kGameEnd);
}

}  // namespace
