#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "rules/rules.h"
#include "rules_harness.h"

namespace rules {
namespace {

using rules_test::RulesHarness;

// A ball touching bumper row `row` (on its ring, 50 px right of the centre).
void TouchBumper(RulesHarness& h, int row, int ball = 0) {
  const TableObject& o = h.Obj(row);
  h.PlaceBall(ball, static_cast<float>(o.x + 50), static_cast<float>(o.y), 0, 0, 12);
}

TEST(HitPass, TwoHitsOfOneBumperWithinAHundredMsScoreOnce) {
  RulesHarness h;
  TouchBumper(h, 3);
  h.HitPass(7);
  EXPECT_EQ(h.Score(), 100);
  for (int i = 0; i < 14; ++i) h.HitPass(7);  // 98 ms
  EXPECT_EQ(h.Score(), 100);
  h.HitPass(7);
  EXPECT_EQ(h.Score(), 200);
  EXPECT_EQ(h.sound.Count(41) + h.sound.Count(42), 2);
}

TEST(HitPass, NearestRowOfTheBallsSurfaceCodeIsHit) {
  RulesHarness h;
  // Between bumpers 2 (370, 436) and 3 (254, 550), nearer the second.
  h.PlaceBall(0, 300, 510, 0, 0, 12);
  h.HitPass();
  EXPECT_EQ(h.Obj(4).value, 1);
  EXPECT_EQ(h.Obj(3).value, 0);
  // A code no row carries hits nothing; the spinner's code is not a hit.
  RulesHarness g;
  g.PlaceBall(0, 512, 523, 0, 0, 13);
  g.HitPass();
  g.PlaceBall(0, 300, 510, 0, 0, 77);
  g.HitPass();
  EXPECT_EQ(g.Score(), 0);
}

TEST(HitPass, WaitingAtPlungerClearsOnOpenFloorOutsideTheLane) {
  struct Case {
    float x, y;
    int code;
    int waiting_after;
  };
  const Case cases[] = {{761, 1468, 0, 1},
                        {761, 1340, 0, 0},
                        {735, 1400, 0, 0},
                        {700, 1000, 16, 1},
                        {761, 1360, 0, 1}};
  for (const Case& c : cases) {
    RulesHarness h;
    h.PlaceBall(0, c.x, c.y, 0, 0, c.code).waiting_at_plunger = 1;
    h.HitPass();
    EXPECT_EQ(h.world.balls[0].waiting_at_plunger, c.waiting_after) << c.x << "," << c.y;
  }
}

TEST(Bumpers, ToggleBumpersAndSpecial) {
  RulesHarness h;
  TouchBumper(h, 5);
  h.HitPass(200);
  EXPECT_EQ(h.Obj(5).value, 1);
  EXPECT_EQ(h.Obj(5).frame, 0);  // lighting up
  EXPECT_EQ(h.Bonus(), 0);
  h.HitPass(200);  // hitting a lit bumper puts it out and adds a bonus step
  EXPECT_EQ(h.Obj(5).value, 0);
  EXPECT_EQ(h.Obj(5).frame, 6);
  EXPECT_EQ(h.Bonus(), 1);
  EXPECT_EQ(h.sound.Count(42), 1);
  for (int row = 2; row <= 10; ++row) {
    TouchBumper(h, row);
    h.HitPass(200);
  }
  EXPECT_EQ(h.rules.state.special_earned, 1);
  const int32_t bonus = h.Bonus();
  TouchBumper(h, 7);
  h.HitPass(200);
  EXPECT_EQ(h.Obj(7).value, 1);
  EXPECT_EQ(h.Bonus(), bonus + 1);
  EXPECT_EQ(h.rules.counters.awards_earned, (std::array<int32_t, 3>{0, 0, 1}));
  // The award rotation advanced with every hit: 12 hits -> rotation 0.
  EXPECT_EQ(h.rules.state.award_rotation, 12 % 3);
  h.rules.state.award_rotation = 1;
  UpdateAwardLamps(h.rules, true);
  EXPECT_EQ(h.Obj(kRowSpecial).state, 1);
}

TEST(Bumpers, SteadyBumpersLightAndFlash) {
  RulesHarness h;
  h.world.tuning.bumpers_on_off = 0;
  TouchBumper(h, 4);
  h.HitPass(200);
  EXPECT_EQ(h.Obj(4).value, 1);
  EXPECT_EQ(h.Obj(4).frame, 0);
  EXPECT_EQ(h.Bonus(), 0);
  h.HitPass(200);
  EXPECT_EQ(h.Obj(4).value, 1);
  EXPECT_EQ(h.Obj(4).frame, 3);
  EXPECT_EQ(h.Bonus(), 1);
  EXPECT_EQ(h.Score(), 200);
}

TEST(Bumpers, TiltedBumperDoesNothing) {
  RulesHarness h;
  h.world.tilted = 1;
  TouchBumper(h, 4);
  h.HitPass(200);
  EXPECT_EQ(h.Obj(4).value, 0);
  EXPECT_TRUE(h.sound.played.empty());
}

// Arms the skill shot the way a launched ball does: across the lane exit.
void CrossLaneExit(RulesHarness& h) {
  h.Paint(755, 1310, 770, 1340, 16);
  h.PlaceBall(0, 761, 1320);
  h.HitPass();
  ASSERT_EQ(h.rules.state.skill_shot_armed, 1);
}

TEST(SkillShot, PaysFiveThousandAndFiveStepsPlusTheBumper) {
  RulesHarness h;
  CrossLaneExit(h);
  TouchBumper(h, 2);
  h.HitPass(200);
  EXPECT_EQ(h.Score(), 6000);
  EXPECT_EQ(h.Bonus(), 5);
  EXPECT_EQ(h.rules.state.skill_shot_armed, 0);
  EXPECT_TRUE(h.rules.table.shows[kShowSkillShot].active);
  EXPECT_EQ(h.sound.Count(60), 1);
  EXPECT_EQ(h.sound.Count(43), 1);
}

TEST(SkillShot, MultipliersApply) {
  RulesHarness h;
  CrossLaneExit(h);
  h.PlaceBall(1, 300, 1000);
  TouchBumper(h, 2);
  h.HitPass(200);
  EXPECT_EQ(h.Score(), 12000);
}

TEST(SkillShot, CancelledByAnyOtherScore) {
  RulesHarness h;
  CrossLaneExit(h);
  h.PlaceBall(0, 560, 1193, 0, 0, 22);  // the kicker first
  h.HitPass(200);
  EXPECT_EQ(h.rules.state.skill_shot_armed, 0);
  EXPECT_EQ(h.Score(), 10);
  TouchBumper(h, 2);
  h.HitPass(200);
  EXPECT_EQ(h.Score(), 1010);
  EXPECT_EQ(h.Bonus(), 0);
}

TEST(SkillShot, NeverPaidWithSteadyBumpersAndTheFirstBumperKeepsBlinking) {
  RulesHarness h;
  h.world.tuning.bumpers_on_off = 0;
  CrossLaneExit(h);
  TouchBumper(h, 2);
  h.HitPass(200);
  EXPECT_EQ(h.Score(), 1000);
  EXPECT_EQ(h.rules.state.skill_shot_armed, 1);
  h.now = 1500;
  h.Frame(0);
  const int a = h.Drawn(2);
  h.Frame(150);
  EXPECT_NE(h.Drawn(2), a);
}

TEST(Kicker, ScoresAnimatesAndSounds) {
  RulesHarness h;
  h.PlaceBall(0, 560, 1193, 0, 0, 22);
  h.HitPass(200);
  EXPECT_EQ(h.Score(), 10);
  EXPECT_EQ(h.Obj(0).animating, 1);
  EXPECT_EQ(h.sound.Count(0), 1);
  std::vector<int> frames;
  for (int i = 0; i < 5; ++i) {
    h.Frame(30);
    frames.push_back(h.Drawn(0));
  }
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 0, 0}));
}

struct DropCase {
  float y;
  int hit_row;
  std::vector<int> down_before;
  std::vector<int> down_after;
};

TEST(DropTargets, BandsDropTheirTargetAndNeighbours) {
  const std::vector<DropCase> cases = {
      {830, 56, {}, {56}},       {815, 56, {}, {56, 57}},
      {840, 56, {56}, {56, 57}},  // a down target widens its band by 20
      {780, 57, {}, {57}},       {770, 57, {}, {57, 58}},
      {800, 57, {}, {56, 57}},   {740, 58, {}, {58}},
      {730, 58, {}, {58, 59}},   {755, 58, {}, {57, 58}},
      {740, 58, {58}, {58, 59}}, {690, 59, {}, {59}},
      {705, 59, {}, {58, 59}},   {705, 59, {59}, {59}},
      {780, 59, {}, {57, 59}},  // the band decides, and the hit row drops too
  };
  for (const DropCase& c : cases) {
    RulesHarness h;
    for (int row : c.down_before) h.Obj(row).value = 1;
    DropTargetHit(h.rules, 160, c.y, c.hit_row, 0);
    std::vector<int> down;
    for (int row = 56; row <= 59; ++row) {
      if (h.Obj(row).value) down.push_back(row);
    }
    EXPECT_EQ(down, c.down_after) << "y " << c.y << " row " << c.hit_row;
  }
}

TEST(DropTargets, TopTargetIgnoresBallsMovingSteeplyDownRight) {
  RulesHarness h;
  h.PlaceBall(0, 190, 690, 1.0f, 3.0f, 26);
  h.HitPass(200);
  EXPECT_EQ(h.Obj(59).value, 0);
  h.PlaceBall(0, 190, 690, -1.0f, 3.0f, 26);
  h.HitPass(200);
  EXPECT_EQ(h.Obj(59).value, 1);
  EXPECT_EQ(h.Score(), 500);
  EXPECT_EQ(h.Bonus(), 1);
}

TEST(DropTargets, NeighboursFallLater) {
  RulesHarness h;
  DropTargetHit(h.rules, 160, 815, 56, 0);
  EXPECT_EQ(h.Obj(56).step_timer, 30);
  EXPECT_GE(h.Obj(57).step_timer, 30);
  EXPECT_LT(h.Obj(57).step_timer, 120);
  EXPECT_EQ(h.sound.Count(44), 2);
  EXPECT_EQ(h.Score(), 1000);
}

TEST(DropTargets, LastTargetLightsGiftBlinkingAndTheRotationPicksTheAward) {
  // The award paid at RGIFT is the one the rotation shows; four drops advance it.
  struct Case {
    int rotation_before;
    bool extra, dbl;
    bool collected;
  };
  const Case cases[] = {
      {2, true, false, true},   // 2 + 4 drops -> 0: EXTRA
      {0, true, false, false},  // -> 1: DOUBLE not earned, nothing
      {0, false, true, true},   // -> 1: DOUBLE
  };
  for (const Case& c : cases) {
    RulesHarness h;
    h.rules.state.award_rotation = c.rotation_before;
    h.rules.state.extra_earned = c.extra;
    h.rules.state.double_earned = c.dbl;
    for (int row = 56; row <= 59; ++row) {
      EXPECT_EQ(h.rules.counters.gift_lit, 0);
      DropTarget(h.rules, row, true);
    }
    EXPECT_EQ(h.Obj(kRowGift).state, 2);
    EXPECT_EQ(h.rules.counters.gift_lit, 1);
    EXPECT_EQ(h.Score(), 2000);
    h.Paint(90, 250, 91, 251, 16);
    h.PlaceBall(0, 90, 250);
    h.HitPass();
    EXPECT_EQ(h.Obj(kRowGift).state, c.collected ? 0 : 2);
    EXPECT_EQ(h.rules.table.shows[kShowAward].active, c.collected);
  }
}

TEST(DropTargets, ResetRaisesTheDownTargets) {
  RulesHarness h;
  DropTarget(h.rules, 57, true);
  h.Frames(10, 30);
  EXPECT_EQ(h.Obj(57).frame, 5);
  ResetDropTargets(h.rules);
  EXPECT_EQ(h.Obj(57).value, 0);
  EXPECT_EQ(h.Obj(57).rising, 0);
  h.Frames(10, 30);
  EXPECT_EQ(h.Obj(57).frame, 0);
  EXPECT_EQ(h.Drawn(57), 0);
  EXPECT_EQ(h.sound.Count(44), 2);
  DropTarget(h.rules, 60, true);  // the bank picture is no target
  EXPECT_EQ(h.Obj(60).value, 0);
}

TEST(Gates, PassageAndSwing) {
  RulesHarness h;
  h.Paint(120, 140, 150, 148, 23);  // gate 11's band above its box
  h.PlaceBall(0, 140, 160);
  h.HitPass();
  EXPECT_EQ(h.world.balls[0].gate_pass[0], 1);
  h.PlaceBall(0, 140, 147);  // out of the box, on the band
  h.HitPass();
  EXPECT_EQ(h.world.balls[0].gate_pass[0], 1);
  EXPECT_EQ(h.Obj(11).animating, 1);
  EXPECT_EQ(h.sound.Count(59), 1);
  // Swung up and on its way down, a gate still passing the ball is held open.
  h.Frames(6, 31);  // up through 1..4, then one step down
  EXPECT_EQ(h.Obj(11).rising, 0);
  EXPECT_LT(h.Obj(11).frame, 4);
  h.HitPass();
  EXPECT_EQ(h.Obj(11).frame, 4);
  EXPECT_EQ(h.sound.Count(59), 1);
  h.PlaceBall(0, 140, 100);  // clear of the band
  h.HitPass();
  EXPECT_EQ(h.world.balls[0].gate_pass[0], 0);
  h.Frames(6, 31);
  EXPECT_EQ(h.Obj(11).animating, 0);
  EXPECT_EQ(h.sound.Count(59), 2);  // the click at rest

  GateSwing(h.rules, 2 | 4);
  EXPECT_EQ(h.Obj(12).frame, 1);
  EXPECT_EQ(h.Obj(12).rising, 0);
  EXPECT_EQ(h.Obj(13).frame, 1);
  h.Frame(31);
  EXPECT_EQ(h.Obj(12).frame, 0);
  EXPECT_EQ(h.sound.Count(59), 4);  // both click at rest
}

// Each gate's passages land on its own row, once per passage however long
// the ball stays on the gate; a ball meeting gate code without coming through
// the gate counts nothing.
TEST(Gates, EachPassageCountsOnceOnItsOwnRow) {
  struct Case {
    int row;
    int band_x0, band_y0, band_x1, band_y1;  // gate code just outside the box
    float in_x, in_y, on_x, on_y;            // inside the box, then on the band
  };
  const Case cases[] = {
      {11, 120, 140, 150, 148, 140, 160, 140, 145},
      {12, 700, 110, 720, 120, 710, 150, 710, 115},
      {13, 600, 380, 620, 390, 610, 300, 610, 385},
  };
  for (const Case& c : cases) {
    RulesHarness h;
    h.Paint(c.band_x0, c.band_y0, c.band_x1, c.band_y1, 23);
    h.PlaceBall(0, c.on_x, c.on_y, 0, 0, 23);  // on the gate from the wrong side
    h.HitPass();
    for (int pass = 1; pass <= 2; ++pass) {
      h.PlaceBall(0, c.in_x, c.in_y);
      h.HitPass();
      for (int step = 0; step < 3; ++step) {
        h.PlaceBall(0, c.on_x, c.on_y, 0, 0, 23);
        h.HitPass(120);  // past the hit debounce each time
      }
      h.PlaceBall(0, 400, 1000);
      h.HitPass();
      for (int row = 11; row <= 13; ++row) {
        EXPECT_EQ(h.rules.counters.object_hits[row], row == c.row ? pass : 0)
            << "gate " << c.row << " pass " << pass << " row " << row;
      }
    }
  }
}

TEST(Spinner, CheckSetsSpeedFromTheBall) {
  RulesHarness h;
  h.Paint(600, 520, 601, 521, 13);
  h.PlaceBall(0, 602, 522, 0, -6.0f);
  h.HitPass();
  EXPECT_FLOAT_EQ(h.rules.state.spinner.speed, 18.0f);
  h.PlaceBall(0, 560, 522, 0, -2.0f);  // outside the box
  h.HitPass();
  EXPECT_FLOAT_EQ(h.rules.state.spinner.speed, 18.0f);
}

TEST(Spinner, SlowSpinnerScoresTenAndWobblesToRest) {
  RulesHarness h;
  h.rules.state.spinner.speed = 3.0f;
  h.rules.state.skill_shot_armed = 1;
  std::vector<int> frames;
  int frames_run = 0;
  while (h.Score() == 0 && frames_run < 500) {
    h.Frame(10);
    ++frames_run;
  }
  // 2π / 3 rad/s at constant speed.
  EXPECT_NEAR(frames_run, 210, 2);
  EXPECT_EQ(h.Score(), 10);
  EXPECT_EQ(h.rules.state.skill_shot_armed, 0);
  EXPECT_EQ(h.sound.Count(56), 1);
  for (int i = 0; i < 80; ++i) {
    h.Frame(10);
    if (frames.empty() || frames.back() != h.rules.state.spinner.frame) {
      frames.push_back(h.rules.state.spinner.frame);
    }
  }
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 1, 0, 15, 14, 15, 0, 1, 0}));
  EXPECT_EQ(h.rules.state.spinner.settling, 0);
  EXPECT_EQ(h.Drawn(1), 0);
  EXPECT_EQ(h.Score(), 10);
}

TEST(Spinner, FastSpinnerBrakesScoresEveryTurnAndAlternatesSounds) {
  RulesHarness h;
  h.world.tuning.need_rotate_bumpers = 1;
  h.Obj(2).value = 1;
  h.rules.state.spinner.speed = 30.0f;
  h.Frames(300, 10);
  EXPECT_GT(h.Score(), 30);
  EXPECT_EQ(h.Score() % 10, 0);
  EXPECT_LT(h.rules.state.spinner.speed, 20.0f);
  EXPECT_GE(h.sound.Count(57), h.sound.Count(56) - 1);
  EXPECT_GE(h.sound.Count(57), 1);
  // Every revolution moved the bumper light one row on.
  int lit = 0;
  for (int row = 2; row <= 10; ++row) lit += h.Obj(row).value;
  EXPECT_EQ(lit, 1);
  EXPECT_EQ(h.Obj(2 + (h.Score() / 10) % 9).value, 1);
}

TEST(Spinner, TouchWobblesARestingSpinner) {
  RulesHarness h;
  SpinnerTouch(h.rules);
  EXPECT_EQ(h.rules.state.spinner.settling, 1);
  std::vector<int> frames;
  for (int i = 0; i < 30; ++i) {
    h.Frame(10);
    frames.push_back(h.rules.state.spinner.frame);
  }
  EXPECT_EQ(frames[0], 0);
  EXPECT_EQ(frames[8], 1);  // settle 9.01 + 0.2 per 10 ms: entry 11 at 9 frames
  EXPECT_EQ(frames.back(), 0);
  EXPECT_EQ(h.rules.state.spinner.settling, 0);
}

TEST(Hole, ApproachSlowsFastBallsAndSoundsAtMostEveryHalfSecond) {
  RulesHarness h;
  h.Paint(575, 601, 625, 800, 16);
  h.PlaceBall(0, 590, 650, 2.0f, 10.0f);
  h.HitPass();
  EXPECT_FLOAT_EQ(h.world.balls[0].vy, 8.0f);
  EXPECT_FLOAT_EQ(h.world.balls[0].vx, 1.6f);
  EXPECT_EQ(h.sound.Count(3), 1);
  EXPECT_FLOAT_EQ(h.sound.last_speed, 12.0f * 5.0f - 20.0f);
  h.PlaceBall(0, 590, 650, 0.5f, 2.0f);
  h.HitPass();
  EXPECT_FLOAT_EQ(h.world.balls[0].vx, 0.51f);
  EXPECT_EQ(h.sound.Count(3), 1);
  h.HitPass(500);
  EXPECT_EQ(h.sound.Count(3), 2);
}

TEST(Hole, CatchHoldsTheBallAndTheLockTimerAsksForTheRelease) {
  RulesHarness h;
  h.Paint(575, 601, 625, 800, 16);
  h.PlaceBall(0, 615, 785, 0.5f, 1.0f);
  h.HitPass();
  const physics::BallRecord& b = h.world.balls[0];
  EXPECT_EQ(b.held, 1);
  EXPECT_EQ(b.x, 617.0f);
  EXPECT_EQ(b.y, 787.0f);
  EXPECT_EQ(b.vx, 0.0f);
  EXPECT_EQ(h.world.hole_lock_timer, 1);
  EXPECT_EQ(h.Obj(kRowMultiball).state, 2);
  EXPECT_EQ(h.sound.Count(10), 1);
  // No catch while locked; the timer grows by the frame time every pass.
  for (int i = 0; i < 99; ++i) h.HitPass(7);
  EXPECT_EQ(h.world.hole_lock_timer, 694);
  EXPECT_EQ(h.flow.release_steps, 0);
  h.HitPass(7);
  EXPECT_EQ(h.world.hole_lock_timer, -1);
  EXPECT_EQ(h.flow.release_steps, 1);
  h.HitPass(7);
  EXPECT_EQ(h.flow.release_steps, 1);
}

TEST(Hole, FastBallIsNotCaught) {
  RulesHarness h;
  h.Paint(575, 601, 625, 800, 16);
  h.PlaceBall(0, 615, 785, 9.0f, 1.0f);
  h.HitPass();
  EXPECT_EQ(h.world.balls[0].held, 0);
  EXPECT_EQ(h.world.hole_lock_timer, 0);
}

TEST(Multiball, EveryAwardCountsDouble) {
  RulesHarness h;
  h.PlaceBall(1, 300, 1000);
  TouchBumper(h, 6);
  h.HitPass(200);
  EXPECT_EQ(h.Score(), 200);
  h.world.balls[1].held = 1;
  h.HitPass(200);
  EXPECT_EQ(h.Score(), 300);
}

// A frame time no clock gives (backward, not a number, far too long) never
// steers the wobble's table: the wobble ends and the frame stays one of the
// sixteen. Debug builds stop at the broken promise instead.
TEST(Spinner, AFrameTimeOutsideTheClocksRangeEndsTheWobble) {
  struct Case {
    double ms;
    bool promise_broken;  // the frame loop never gives it
  };
  const Case cases[] = {{-26900.0, true}, {std::nan(""), true}, {1e30, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms);
    RulesHarness h;
    h.rules.state.spinner.settling = 1;
    h.rules.state.spinner.settle = 0.5f;
    rules::SetClock(h.rules, 1000, 0, c.ms);
#ifdef NDEBUG
    rules::MoveSpinner(h.rules);
    EXPECT_EQ(h.rules.state.spinner.settling, 0);
    EXPECT_GE(h.rules.state.spinner.frame, 0);
    EXPECT_LE(h.rules.state.spinner.frame, 15);
#else
    if (c.promise_broken) {
      EXPECT_DEATH(rules::MoveSpinner(h.rules), "settles forward");
    } else {
      rules::MoveSpinner(h.rules);
      EXPECT_EQ(h.rules.state.spinner.settling, 0);
    }
#endif
  }
}

}  // namespace
}  // namespace rules
