#include "rules/lamp_shows.h"

#include <gtest/gtest.h>

#include <map>

#include "rules_harness.h"

namespace rules {
namespace {

using rules_test::RulesHarness;

// A frame of 31 ms makes every frame a due tick of a show.
constexpr int kTick = 31;

TEST(LampShows, AttractShowLoopsUntilStopped) {
  RulesHarness h;
  Table& t = h.rules.table;
  StartLampShow(t, kShowAttract);
  EXPECT_EQ(h.Obj(14).show_owned, 1);
  EXPECT_EQ(h.Obj(45).show_owned, 1);
  EXPECT_EQ(h.Obj(18).show_owned, 0);
  int restarts = 0, lit_seen = 0, last_position = -1;
  for (int i = 0; i < 1000; ++i) {
    h.Frame(kTick);
    const int pos = t.shows[kShowAttract].position;
    if (pos < last_position) ++restarts;
    last_position = pos;
    lit_seen += h.Drawn(45) == 2;
  }
  EXPECT_TRUE(t.shows[kShowAttract].active);
  EXPECT_GE(restarts, 2);
  EXPECT_GT(lit_seen, 0);
  StopLampShow(t, kShowAttract);
  EXPECT_FALSE(t.shows[kShowAttract].active);
  EXPECT_EQ(h.Obj(14).show_owned, 0);
}

TEST(LampShows, WaitsCountDueTicks) {
  RulesHarness h;
  Table& t = h.rules.table;
  StartLampShow(t, kShowAward);  // wait 1; all off; wait 5; TREE on
  h.Frame(kTick);                // runs the first wait
  EXPECT_EQ(t.shows[kShowAward].wait, 1);
  h.Frame(kTick);  // skipped
  h.Frame(kTick);  // all off, then wait 5
  EXPECT_EQ(t.shows[kShowAward].wait, 5);
  for (int i = 0; i < 5; ++i) h.Frame(kTick);
  EXPECT_EQ(h.Obj(14).value, 0);
  h.Frame(kTick);
  EXPECT_EQ(h.Obj(14).value, 1);
  EXPECT_EQ(h.Obj(26).value, 0);
  // A frame that does not pass the step period is no tick.
  EXPECT_EQ(t.shows[kShowAward].wait, 2);
  h.Frame(30);
  EXPECT_EQ(t.shows[kShowAward].wait, 2);
  h.Frame(1);  // 31 ms in all
  h.Frame(kTick);
  EXPECT_EQ(h.Obj(26).value, 0);
  h.Frame(kTick);
  EXPECT_EQ(h.Obj(26).value, 1);
}

// Runs a show to its end and records the tick at which each lamp first lit.
std::map<int, int> RunToEnd(RulesHarness& h, int show) {
  std::map<int, int> first_lit;
  for (int tick = 0; tick < 200 && h.rules.table.shows[show].active; ++tick) {
    h.Frame(kTick);
    for (int row : {14, 17, 21, 25, 26, 45}) {
      if (h.Obj(row).value && !first_lit.count(row)) first_lit[row] = tick;
    }
  }
  return first_lit;
}

TEST(LampShows, AwardAndSkillShowsEndAndGiveLampsBack) {
  for (int show : {kShowAward, kShowSkillShot}) {
    RulesHarness h;
    Table& t = h.rules.table;
    SetLamp(t, 15, true);    // logically on
    SetLampBlinking(t, 16);  // blinking
    h.Frames(5, kTick);
    StartLampShow(t, show);
    const auto lit = RunToEnd(h, show);
    ASSERT_FALSE(t.shows[show].active) << show;
    if (show == kShowAward) {
      EXPECT_LT(lit.at(14), lit.at(26));
      EXPECT_LT(lit.at(45), lit.at(21));
    } else {
      EXPECT_LT(lit.at(21), lit.at(45));
      EXPECT_LT(lit.at(26), lit.at(14));
    }
    h.Frames(5, kTick);
    EXPECT_EQ(h.Drawn(15), 2) << show;
    EXPECT_EQ(h.Drawn(14), 0) << show;
    EXPECT_EQ(h.Drawn(21), 0) << show;
    EXPECT_EQ(h.Obj(16).state, 2);
    for (int row = 14; row <= 45; ++row) EXPECT_EQ(h.Obj(row).show_owned, 0) << row;
  }
}

TEST(LampShows, SetLampDuringShowChangesLogicalStateAndStopRestoresIt) {
  RulesHarness h;
  Table& t = h.rules.table;
  StartLampShow(t, kShowAward);
  for (int i = 0; i < 4; ++i) h.Frame(kTick);  // all lamps switched off by the show
  SetLamp(t, 22, true);
  EXPECT_EQ(h.Obj(22).state, 1);
  EXPECT_EQ(h.Obj(22).animating, 1);
  StopAllLampShows(t);
  h.Frames(5, kTick);
  EXPECT_EQ(h.Drawn(22), 2);
  EXPECT_EQ(h.Drawn(21), 0);
}

TEST(LampShows, BonusLampsOwnedByAShowAreLeftToIt) {
  RulesHarness h;
  Table& t = h.rules.table;
  h.rules.players.Current().bonus_level = 5;
  StartLampShow(t, kShowAward);
  h.Frame(kTick);
  EXPECT_EQ(h.Obj(26).state, 0);
  RunToEnd(h, kShowAward);
  h.Frame(kTick);
  EXPECT_EQ(h.Obj(26).state, 1);
  EXPECT_EQ(h.Obj(30).state, 1);
  EXPECT_EQ(h.Obj(31).state, 0);
}

TEST(LampShows, ScriptsStartWithTheirWaitAndSweepAsDescribed) {
  const auto shows = BuildLampShows();
  const auto& attract = shows[kShowAttract].steps;
  EXPECT_EQ(attract[0].op, kOpWait);
  EXPECT_EQ(attract[0].arg, 30);
  for (int i = 1; i <= 29; ++i) EXPECT_EQ(attract[i].op, kOpLampOff) << i;
  // Then TREE on lamp by lamp with one tick between.
  EXPECT_EQ(attract[30].op, kOpLampOn);
  EXPECT_EQ(attract[30].arg, 14);
  EXPECT_EQ(attract[31].op, kOpWait);
  EXPECT_EQ(attract[31].arg, 1);
  EXPECT_EQ(attract[32].arg, 15);
  // Show 1 lights two lamps per tick.
  const auto& sweep = shows[kShowSweep].steps;
  EXPECT_EQ(sweep[0].arg, 10);
  EXPECT_EQ(sweep[30].op, kOpLampOn);
  EXPECT_EQ(sweep[31].op, kOpLampOn);
  EXPECT_EQ(sweep[32].op, kOpWait);
  int restarts = 0, ends_after_wait = 0;
  for (const auto& show : shows) {
    for (int i = 1; i < kShowSteps; ++i) {
      if (show.steps[i].op == kOpRestart) ++restarts;
      if (show.steps[i].op == kOpEnd && show.steps[i - 1].op == kOpWait &&
          show.steps[i - 1].arg == 5) {
        ++ends_after_wait;
        break;
      }
    }
  }
  EXPECT_EQ(restarts, 1);
  EXPECT_EQ(ends_after_wait, 2);  // shows 2 and 3
}

TEST(LampShows, AShowStoppedInAWaitStartsAfresh) {
  RulesHarness h;
  Table& t = h.rules.table;
  StartLampShow(t, kShowAttract);
  h.Frame(kTick);  // wait 30
  h.Frame(20);
  StopAllLampShows(t);
  StartLampShow(t, kShowAttract);
  EXPECT_EQ(t.shows[kShowAttract].wait, 0);
  EXPECT_EQ(t.shows[kShowAttract].elapsed, 0);
  h.Frame(kTick);
  EXPECT_EQ(t.shows[kShowAttract].position, 0);
  EXPECT_EQ(t.shows[kShowAttract].wait, 30);
}

TEST(LampShows, OutOfRangeShowsAreIgnored) {
  RulesHarness h;
  StartLampShow(h.rules.table, 16);
  StopLampShow(h.rules.table, -1);
  StartLampShow(h.rules.table, 5);  // an empty slot ends at its first tick
  h.Frame(kTick);
  EXPECT_FALSE(h.rules.table.shows[5].active);
}

}  // namespace
}  // namespace rules
