#include <gtest/gtest.h>

#include <array>
#include <climits>

#include "rules/rules.h"
#include "rules_harness.h"

namespace rules {
namespace {

using rules_test::RulesHarness;

void StartMultiball(RulesHarness& h) { h.PlaceBall(1, 300.0f, 1000.0f); }

TEST(AddScore, Multipliers) {
  struct Case {
    bool multiball, bonus20, tilted, held_second;
    int32_t expect;
  };
  const Case cases[] = {
      {false, false, false, false, 100}, {true, false, false, false, 200},
      {false, true, false, false, 200},  {true, true, false, false, 400},
      {true, false, false, true, 100},  // a held ball does not make multiball
      {true, true, true, false, 0},
  };
  for (const Case& c : cases) {
    RulesHarness h;
    if (c.multiball) StartMultiball(h);
    if (c.held_second) h.world.balls[1].held = 1;
    if (c.bonus20) h.rules.players.Current().bonus_level = 20;
    h.world.tilted = c.tilted;
    AddScore(h.rules, 100, 2);
    EXPECT_EQ(h.Score(), c.expect);
    EXPECT_EQ(h.rules.players.Current().last_award, c.expect);
    EXPECT_EQ(h.Bonus(), c.tilted ? (c.bonus20 ? 20 : 0) : (c.bonus20 ? 20 : 2));
  }
}

TEST(AddScore, BonusStopsAtTwentyAndScoreDoesNotWrap) {
  RulesHarness h;
  AddScore(h.rules, 0, 19);
  AddScore(h.rules, 0, 5);
  EXPECT_EQ(h.Bonus(), 20);
  h.rules.players.Current().score = INT32_MAX - 10;
  AddScore(h.rules, 1000, 0);
  EXPECT_EQ(h.Score(), INT32_MAX);
}

TEST(CountBonus, LevelTwentyCountsAsFortyAndDoubleAndMultiball) {
  struct Case {
    int32_t level;
    bool doubled, multiball, tilted;
    int32_t expect;
  };
  const Case cases[] = {
      {7, false, false, false, 7000},  {20, false, false, false, 40000},
      {20, true, false, false, 80000}, {5, false, true, false, 10000},
      {5, true, true, false, 20000},   {20, false, false, true, 0},
  };
  for (const Case& c : cases) {
    RulesHarness h;
    if (c.multiball) StartMultiball(h);
    h.world.tilted = c.tilted;
    h.rules.players.Current().bonus_level = c.level;
    h.rules.players.Current().score = 1;
    CountBonus(h.rules, c.doubled);
    EXPECT_EQ(h.Score(), 1 + c.expect) << c.level << " " << c.doubled << " " << c.multiball;
    EXPECT_EQ(h.Bonus(), 0);
  }
}

TEST(CollectAward, SpecialIsWorthTheCurrentScore) {
  struct Case {
    int bumpers_on_off;
    bool multiball, bonus20;
    int32_t expect_gain;
  };
  const Case cases[] = {
      {1, false, false, 40000},
      {1, true, false, 80000},
      {1, false, true, 80000},
      {0, false, false, 50000},
  };
  for (const Case& c : cases) {
    RulesHarness h;
    h.world.tuning.bumpers_on_off = c.bumpers_on_off;
    if (c.multiball) StartMultiball(h);
    if (c.bonus20) h.rules.players.Current().bonus_level = 20;
    h.rules.players.Current().score = 40000;
    for (int row = 2; row <= 10; ++row) h.Obj(row).value = 1;
    h.rules.state.special_earned = 1;
    h.rules.state.award_rotation = 2;
    SetLampBlinking(h.rules.table, kRowGift);
    CollectAward(h.rules);
    EXPECT_EQ(h.Score(), 40000 + c.expect_gain);
    EXPECT_EQ(h.rules.state.special_earned, 0);
    EXPECT_EQ(h.Obj(kRowGift).state, 0);
    EXPECT_EQ(h.Obj(6).value, 0);  // the bumper lights are cleared
    EXPECT_EQ(h.sound.Count(53), 1);
    EXPECT_TRUE(h.rules.table.shows[kShowAward].active);
    EXPECT_EQ(h.rules.counters.awards_by_kind, (std::array<int32_t, 3>{0, 0, 1}));
  }
}

TEST(CollectAward, ExtraAndDoubleAndNotEarned) {
  RulesHarness h;
  Rules& r = h.rules;
  for (int i = 0; i < 5; ++i) SetLamp(r.table, 21 + i, true);
  for (int i = 0; i < 4; ++i) SetLamp(r.table, 14 + i, true);
  CheckSanta(r);
  CheckTree(r);
  EXPECT_EQ(r.state.extra_earned, 1);
  EXPECT_EQ(r.state.double_earned, 1);
  CheckSanta(r);  // already earned: counted once
  EXPECT_EQ(r.counters.awards_earned, (std::array<int32_t, 3>{1, 1, 0}));
  EXPECT_EQ(h.Obj(kRowExtra).state, 1);  // rotation 0 shows EXTRA

  SetLampBlinking(r.table, kRowGift);
  r.state.award_rotation = 2;  // SPECIAL not earned: nothing
  CollectAward(r);
  EXPECT_EQ(h.Obj(kRowGift).state, 2);
  EXPECT_EQ(r.counters.awards, 0);

  r.state.award_rotation = 0;
  CollectAward(r);
  EXPECT_EQ(h.Obj(kRowShootAgain).state, 1);
  EXPECT_EQ(h.Obj(kRowGift).state, 0);
  EXPECT_EQ(h.Obj(21).state, 0);
  EXPECT_EQ(r.state.extra_earned, 0);
  EXPECT_EQ(r.counters.awards_by_kind, (std::array<int32_t, 3>{1, 0, 0}));

  r.players.Current().bonus_level = 20;
  r.state.award_rotation = 1;
  CollectAward(r);
  EXPECT_EQ(h.Score(), 80000);
  EXPECT_EQ(h.Obj(14).state, 0);
  EXPECT_EQ(r.state.double_earned, 0);
  EXPECT_EQ(r.counters.awards_by_kind, (std::array<int32_t, 3>{1, 1, 0}));
  EXPECT_EQ(r.counters.awards, 2);

  h.world.tilted = 1;  // a tilted table pays and plays nothing
  r.state.double_earned = 1;
  r.players.Current().bonus_level = 5;
  const size_t sounds = h.sound.played.size();
  CollectAward(r);
  EXPECT_EQ(h.Score(), 80000);
  EXPECT_EQ(h.sound.played.size(), sounds);
}

TEST(AwardLamps, RotationShowsOneEarnedAward) {
  RulesHarness h;
  Rules& r = h.rules;
  r.state.extra_earned = 1;
  r.state.special_earned = 1;
  UpdateAwardLamps(r, false);
  const int expect[3][3] = {{1, 0, 0}, {0, 0, 0}, {0, 0, 1}};
  for (int step = 0; step < 6; ++step) {
    const int rot = r.state.award_rotation;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(h.Obj(61 + i).state, expect[rot][i]) << step;
    UpdateAwardLamps(r, true);
    EXPECT_EQ(r.state.award_rotation, (rot + 1) % 3);
  }
}

TEST(BonusLamps, NewStepRefillsBlinksAndSettles) {
  RulesHarness h;
  Rules& r = h.rules;
  AddScore(r, 0, 3);
  EXPECT_EQ(r.state.bonus_anim_step, 0);
  // Lit count seen after each 101 ms frame.
  std::vector<int> lit;
  for (int i = 0; i < 9; ++i) {
    h.Frame(101);
    int n = 0;
    for (int k = 0; k < kBonusLamps; ++k) n += h.Obj(26 + k).state != 0;
    lit.push_back(n);
  }
  // Refill 1, 2, 3; blink steps 4 (lit), 5 (off), 6 (off); step 7 ends the
  // animation and the next frame settles at the level.
  EXPECT_EQ(lit, (std::vector<int>{1, 2, 3, 3, 0, 0, 0, 3, 3}));
  EXPECT_EQ(r.state.bonus_anim_step, -1);
}

TEST(BonusLamps, LevelTwentyFlashesAndMenuPutsThemOut) {
  RulesHarness h;
  Rules& r = h.rules;
  r.players.Current().bonus_level = 20;
  h.now = 99900;  // tenth 999, a multiple of three: off
  h.Frame(0);
  EXPECT_EQ(h.Obj(26).state, 0);
  h.Frame(100);
  EXPECT_EQ(h.Obj(26).state, 1);
  EXPECT_EQ(h.Obj(45).state, 1);
  r.main_menu_shown = 1;
  h.Frame(10);
  EXPECT_EQ(h.Obj(45).state, 0);
}

TEST(BonusLamps, FirstBumperBlinksWhilePlungerArmed) {
  RulesHarness h;
  h.rules.table.flags.plunger_armed = 1;
  h.now = 150 * 100;  // even
  h.Frame(0);
  EXPECT_EQ(h.Drawn(2), 0);
  h.Frame(150);
  EXPECT_EQ(h.Drawn(2), 3);
  h.Frame(150);
  EXPECT_EQ(h.Drawn(2), 0);
}

TEST(ShiftLamps, FlipperPressesRotateSantaAndTree) {
  RulesHarness h;
  Rules& r = h.rules;
  h.world.tuning.santa_lamp_shifted = 1;
  h.world.tuning.tree_lamp_shifted = 1;
  SetLamp(r.table, 22, true);    // A1
  SetLampBlinking(r.table, 14);  // T, counts as on
  h.Frame(10, true, false);      // left: each takes the next one's state
  EXPECT_EQ(h.Obj(21).state, 1);
  EXPECT_EQ(h.Obj(22).state, 0);
  EXPECT_EQ(h.Obj(17).state, 1);
  EXPECT_EQ(h.Obj(14).state, 0);
  h.Frame(10, true, false);  // still held: no new press
  EXPECT_EQ(h.Obj(21).state, 1);
  h.Frame(10, false, true);  // right: the other way
  EXPECT_EQ(h.Obj(22).state, 1);
  EXPECT_EQ(h.Obj(21).state, 0);
  EXPECT_EQ(h.Obj(14).state, 1);
  h.Frame(10, false, false);
  h.Frame(10, true, true);  // both at once: nothing
  EXPECT_EQ(h.Obj(22).state, 1);
  h.world.tuning.santa_lamp_shifted = 0;
  h.Frame(10, false, false);
  h.Frame(10, true, false);
  EXPECT_EQ(h.Obj(22).state, 1);
  EXPECT_EQ(h.Obj(14).state, 0);
}

TEST(BumperLights, SaveClearRestore) {
  RulesHarness h;
  Rules& r = h.rules;
  h.Obj(3).value = 1;
  h.Obj(9).value = 1;
  SaveBumperLights(r, 2);
  ClearBumperLights(r);
  EXPECT_EQ(h.Obj(3).value, 0);
  EXPECT_EQ(h.Drawn(3), 0);
  RestoreBumperLights(r, 2);
  EXPECT_EQ(h.Obj(3).value, 1);
  EXPECT_EQ(h.Obj(4).value, 0);
  EXPECT_EQ(h.Drawn(9), 3);
  RestoreBumperLights(r, 4);  // out of range: nothing
  EXPECT_EQ(h.Obj(9).value, 1);
}

}  // namespace
}  // namespace rules
