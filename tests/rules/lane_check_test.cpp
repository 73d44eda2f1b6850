#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "rules/rules.h"
#include "rules_harness.h"

namespace rules {
namespace {

using rules_test::RulesHarness;

struct LaneCase {
  std::string name;
  float x, y;     // ball centre inside the line's box
  bool probed;    // false: the line runs without lane floor
  int lamp;       // lamp switched on, or -1
  int rollover;   // rollover row flashed, or -1
  int32_t score;  // points paid
  int sound;      // slot heard, or -1
  int32_t last_rollover;
  std::function<void(RulesHarness&)> setup = nullptr;
  std::function<void(RulesHarness&)> check = nullptr;  // extra effects of the line
};

std::vector<LaneCase> Cases() {
  return {
      {"upper E2", 685, 800, false, 17, -1, 500, 46, 502},
      {"TREE T", 37, 1180, true, 14, 46, 100, 45, 46},
      {"TREE R", 95, 1180, true, 15, 47, 100, 45, 47},
      {"TREE E1", 628, 1180, true, 16, 48, 100, 45, 48},
      {"TREE E2", 685, 1180, true, 17, 49, 100, 45, 49},
      {"SANTA S", 200, 300, true, 21, 53, 100, 47, 53},
      {"SANTA A1", 250, 300, true, 22, 54, 100, 47, 54},
      {"SANTA N", 335, 300, true, 23, -1, 100, 47, 500},
      {"SANTA T", 414, 300, true, 24, -1, 100, 47, 501},
      {"SANTA A2", 497, 300, true, 25, 55, 100, 47, 55},
      {"lane exit", 761, 1320, true, -1, -1, 0, -1, 77,
       [](RulesHarness& h) {
         h.rules.balls[0].new_ball = 1;
         SetLamp(h.rules.table, kRowShootAgain, true);
       },
       [](RulesHarness& h) {
         EXPECT_EQ(h.rules.state.skill_shot_armed, 1);
         EXPECT_EQ(h.rules.balls[0].new_ball, 0);
         EXPECT_EQ(h.Obj(kRowShootAgain).state, 0);
       }},
      {"RLSIDE", 33, 700, true, 14, 50, 100, 45, 50,
       [](RulesHarness& h) {
         for (int row = 56; row <= 59; ++row) h.Obj(row).value = 1;
       },
       [](RulesHarness& h) {
         for (int row = 56; row <= 59; ++row) EXPECT_EQ(h.Obj(row).value, 0) << row;
         EXPECT_EQ(h.sound.Count(44), 1);
       }},
      {"RGIFT", 90, 250, true, -1, 51, 100, -1, 51,
       [](RulesHarness& h) {
         h.rules.state.extra_earned = 1;
         SetLampBlinking(h.rules.table, kRowGift);
       },
       [](RulesHarness& h) {
         EXPECT_EQ(h.Obj(kRowShootAgain).state, 1);
         EXPECT_EQ(h.Obj(kRowGift).state, 0);
         EXPECT_EQ(h.rules.state.extra_earned, 0);
       }},
  };
}

TEST(LaneCheck, EveryLineWithLaneFloorDoesWhatItSays) {
  for (const LaneCase& c : Cases()) {
    RulesHarness h;
    if (c.setup) c.setup(h);
    h.rules.balls[0].last_rollover = 77;
    h.PlaceBall(0, c.x, c.y);
    if (c.probed)
      h.Paint(static_cast<int>(c.x), static_cast<int>(c.y), static_cast<int>(c.x) + 1,
              static_cast<int>(c.y) + 1, 16);
    h.HitPass();
    SCOPED_TRACE(c.name);
    if (c.lamp >= 0) {
      EXPECT_EQ(h.Obj(c.lamp).state, 1);
    }
    if (c.rollover >= 0) {
      EXPECT_EQ(h.Obj(c.rollover).animating, 1);
    }
    EXPECT_EQ(h.Score(), c.score);
    if (c.sound >= 0) {
      EXPECT_EQ(h.sound.Count(c.sound), 1);
    }
    EXPECT_EQ(h.rules.balls[0].last_rollover, c.last_rollover);
    if (c.check) c.check(h);
  }
}

TEST(LaneCheck, EveryLineWithoutLaneFloorDoesNothing) {
  for (const LaneCase& c : Cases()) {
    if (!c.probed) continue;
    RulesHarness h;
    if (c.setup) c.setup(h);
    h.rules.balls[0].last_rollover = 77;
    const size_t sounds = h.sound.played.size();
    h.PlaceBall(0, c.x, c.y);
    // Lane floor three pixels away is out of the probe's reach.
    h.Paint(static_cast<int>(c.x) + 3, static_cast<int>(c.y), static_cast<int>(c.x) + 4,
            static_cast<int>(c.y) + 1, 16);
    h.HitPass();
    SCOPED_TRACE(c.name);
    if (c.lamp >= 0) {
      EXPECT_EQ(h.Obj(c.lamp).state, 0);
    }
    if (c.rollover >= 0) {
      EXPECT_EQ(h.Obj(c.rollover).animating, 0);
    }
    EXPECT_EQ(h.Score(), 0);
    EXPECT_EQ(h.sound.played.size(), sounds);
    EXPECT_EQ(h.rules.balls[0].last_rollover, 77);  // a failed probe ends the check
    EXPECT_EQ(h.rules.state.skill_shot_armed, 0);
  }
}

TEST(LaneCheck, UpperE2LaneFreesTheHeldBall) {
  RulesHarness h;
  h.PlaceBall(1, 617, 787).held = 1;
  h.world.hole_lock_timer = 300;
  SetLampBlinking(h.rules.table, kRowMultiball);
  h.PlaceBall(0, 685, 800);
  h.HitPass();
  EXPECT_EQ(h.world.hole_lock_timer, 0);
  EXPECT_EQ(h.world.balls[1].held, 0);
  EXPECT_EQ(h.world.balls[1].x, 590.0f);
  EXPECT_EQ(h.world.balls[1].vx, -4.0f);
  EXPECT_EQ(h.Obj(kRowMultiball).state, 0);
  EXPECT_EQ(h.sound.Count(11), 1);
}

TEST(LaneCheck, ProbeReachesTwoPixelsSideways) {
  RulesHarness h;
  h.PlaceBall(0, 37.5f, 1180);
  h.Paint(35, 1180, 36, 1181, 16);
  h.HitPass();
  EXPECT_EQ(h.Obj(14).state, 1);
}

TEST(LaneCheck, PointsOncePerEntrySoundsEveryStep) {
  RulesHarness h;
  h.Paint(25, 1157, 51, 1212, 16);
  h.PlaceBall(0, 37, 1170);
  h.HitPass();
  h.PlaceBall(0, 37, 1175);
  h.HitPass();
  EXPECT_EQ(h.Score(), 100);
  EXPECT_EQ(h.sound.Count(45), 1);
  EXPECT_EQ(h.sound.Count(46), 1);  // the lamp was lit on the second pass
  // Leaving every line clears the last rollover; entering again pays again.
  h.PlaceBall(0, 400, 1000);
  h.HitPass();
  EXPECT_EQ(h.rules.balls[0].last_rollover, -1);
  h.PlaceBall(0, 37, 1180);
  h.HitPass();
  EXPECT_EQ(h.Score(), 200);
}

TEST(LaneCheck, TreeAndSantaCompleteEarnAwards) {
  RulesHarness h;
  const float tree_x[4] = {37, 95, 628, 685};
  for (float x : tree_x) {
    h.Paint(static_cast<int>(x), 1180, static_cast<int>(x) + 1, 1181, 16);
    h.PlaceBall(0, x, 1180);
    h.HitPass();
  }
  EXPECT_EQ(h.rules.state.double_earned, 1);
  const float santa_x[5] = {200, 250, 335, 414, 497};
  for (float x : santa_x) {
    h.Paint(static_cast<int>(x), 300, static_cast<int>(x) + 1, 301, 16);
    h.PlaceBall(0, x, 300);
    h.HitPass();
  }
  EXPECT_EQ(h.rules.state.extra_earned, 1);
  EXPECT_EQ(h.Obj(kRowExtra).state, 1);  // rotation 0
  EXPECT_EQ(h.Score(), 900);
}

TEST(LaneCheck, TiltedLanesStaySilentAndPayNothing) {
  RulesHarness h;
  h.world.tilted = 1;
  h.Paint(200, 300, 201, 301, 16);
  h.PlaceBall(0, 200, 300);
  h.HitPass();
  EXPECT_EQ(h.Obj(21).state, 1);
  EXPECT_EQ(h.Score(), 0);
  EXPECT_EQ(h.sound.Count(47), 0);
}

}  // namespace
}  // namespace rules
