#include "rules/table_objects.h"

#include <gtest/gtest.h>

#include <vector>

#include "rules_harness.h"

namespace rules {
namespace {

using rules_test::RulesHarness;

TEST(ObjectTemplate, RowsKindsAndFiles) {
  const auto& t = ObjectTemplates();
  EXPECT_EQ(t[0].kind, kKindKicker);
  EXPECT_EQ(t[0].surface_code, 22);
  EXPECT_STREQ(t[0].mask_file, "RES\\IMMASK\\REBOUNDR.IMS");
  EXPECT_STREQ(t[1].depth_file, "RES\\Z\\SPINNER.ZS2");
  EXPECT_EQ(t[10].x, 601);
  EXPECT_EQ(t[10].y, 884);
  EXPECT_EQ(t[59].surface_code, 26);
  EXPECT_STREQ(t[59].depth_file, "RES\\Z\\DT_04.ZS2");
  EXPECT_EQ(t[21].step_period, 90);
  EXPECT_EQ(t[26].step_period, 30);
  EXPECT_EQ(t[64].kind, kKindPlunger);
  EXPECT_EQ(t[65].kind, kKindNone);
  EXPECT_EQ(AnimationFile(45), "RES\\ANIM\\LBON_19.J24");
  EXPECT_EQ(AnimationFile(65), "");
  EXPECT_EQ(SpriteSlotOf(64), 94);
  int lamps = 0, rollovers = 0;
  for (int r = 0; r < kUsedObjectRows; ++r) {
    EXPECT_NE(t[r].kind, kKindNone) << r;
    lamps += t[r].kind == kKindLamp;
    rollovers += t[r].kind == kKindRollover;
  }
  EXPECT_EQ(lamps, 35);
  EXPECT_EQ(rollovers, 10);
}

// Frames drawn for a lamp over successive rules frames.
std::vector<int> FadeFrames(RulesHarness& h, int row, int frames, int ms) {
  std::vector<int> seen;
  for (int i = 0; i < frames; ++i) {
    h.Frame(ms);
    seen.push_back(h.Drawn(row));
  }
  return seen;
}

TEST(SetLamp, FadesAtThirtyMsAndNinetyForSanta) {
  RulesHarness h;
  SetLamp(h.rules.table, 14, true);
  EXPECT_EQ(h.Obj(14).state, 1);
  // The step timer starts at zero: the first step comes at once, then one per 30 ms.
  EXPECT_EQ(FadeFrames(h, 14, 4, 10), (std::vector<int>{1, 1, 1, 2}));
  h.Frames(3, 10);  // one more step finds the end of the fade
  EXPECT_EQ(h.Obj(14).animating, 0);

  SetLamp(h.rules.table, 21, true);
  EXPECT_EQ(FadeFrames(h, 21, 10, 10), (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 2}));

  // A stopped lamp keeps its step timer: the fade out starts 30 ms after.
  SetLamp(h.rules.table, 14, false);
  EXPECT_EQ(FadeFrames(h, 14, 6, 10), (std::vector<int>{2, 2, 1, 1, 1, 0}));
}

TEST(SetLamp, OnTwiceOrOnBlinkingChangesNothingOffFadesBlinkingOut) {
  RulesHarness h;
  Table& t = h.rules.table;
  SetLamp(t, 18, true);
  h.Frames(5, 30);
  SetLamp(t, 18, true);
  EXPECT_EQ(h.Obj(18).animating, 0);
  SetLampBlinking(t, 19);
  SetLamp(t, 19, true);
  EXPECT_EQ(h.Obj(19).state, 2);
  SetLamp(t, 19, false);
  EXPECT_EQ(h.Obj(19).state, 0);
  EXPECT_EQ(h.Obj(19).frame, 2);
  h.Frames(5, 30);
  EXPECT_EQ(h.Drawn(19), 0);
  // Not a lamp: nothing.
  SetLamp(t, 2, true);
  EXPECT_EQ(h.Obj(2).value, 0);
  SetLamp(t, 300, true);
}

TEST(Blinking, OnTwoHundredOffOneHundred) {
  RulesHarness h;
  SetLampBlinking(h.rules.table, 19);
  h.Frame(10);  // the first flip comes at once: off for 100 ms
  EXPECT_EQ(h.Drawn(19), 0);
  h.Frames(9, 10);  // 90 ms of the 100
  EXPECT_EQ(h.Drawn(19), 0);
  h.Frame(10);
  EXPECT_EQ(h.Drawn(19), 2);
  h.Frames(19, 10);
  EXPECT_EQ(h.Drawn(19), 2);
  h.Frame(10);
  EXPECT_EQ(h.Drawn(19), 0);
}

struct AnimCase {
  int row;
  int frame, rising, value;
  std::vector<int> frames;  // frames drawn by successive steps
  int animating_after;
};

TEST(StepObjectAnimation, EveryKind) {
  const std::vector<AnimCase> cases = {
      {0, 0, 1, 0, {1, 2, 3, 0}, 0},                  // kicker
      {14, 0, 0, 1, {1, 2, 2}, 0},                    // lamp fading in
      {14, 2, 0, 0, {1, 0, 0}, 0},                    // lamp fading out
      {3, 0, 0, 1, {1, 2, 3}, 0},                     // bumper lighting
      {3, 3, 0, 1, {4, 5, 3}, 0},                     // bumper flash
      {3, 6, 0, 0, {7, 8, 9, 0}, 0},                  // bumper going out
      {11, 0, 1, 0, {1, 2, 3, 4, 4, 3, 2, 1, 0}, 0},  // gate swings and drops back
      {46, 0, 1, 0, {1, 2, 2, 1, 0}, 0},              // rollover flash
      {57, 0, 1, 1, {1, 2, 3, 4, 5, 5}, 0},           // drop target falling
      {57, 5, 0, 0, {6, 7, 8, 9, 10, 0}, 0},          // drop target rising
  };
  for (const AnimCase& c : cases) {
    RulesHarness h;
    TableObject& o = h.Obj(c.row);
    o.frame = c.frame;
    o.rising = c.rising;
    o.value = c.value;
    o.animating = 1;
    std::vector<int> seen;
    for (size_t i = 0; i < c.frames.size() && o.animating; ++i) {
      StepObjectAnimation(h.rules.table, c.row);
      seen.push_back(o.frame);
    }
    EXPECT_EQ(seen, c.frames) << "row " << c.row << " from frame " << c.frame;
    EXPECT_EQ(o.animating, c.animating_after) << "row " << c.row;
    EXPECT_EQ(o.step_timer, o.step_period);
  }
}

TEST(StepObjectAnimation, GateClicksWhenItComesToRest) {
  RulesHarness h;
  TableObject& g = h.Obj(12);
  g.animating = 1;
  g.frame = 1;
  StepObjectAnimation(h.rules.table, 12);
  EXPECT_EQ(g.frame, 0);
  EXPECT_EQ(h.sound.Count(59), 1);
}

TEST(DrawObject, LightsOutOffsetsAndHiddenParts) {
  RulesHarness h;
  Table& t = h.rules.table;
  t.flags.lights_out = 1;
  h.rules.recorder.Clear();
  h.Obj(11).frame = 3;
  h.Obj(1).frame = 7;
  h.Obj(57).frame = 5;
  h.Obj(57).value = 1;
  h.Obj(59).value = 1;
  RedrawAllObjects(t);
  EXPECT_EQ(h.Drawn(11), 8);
  EXPECT_EQ(h.Drawn(12), 5);
  EXPECT_EQ(h.Drawn(1), 23);
  EXPECT_EQ(h.rules.recorder.DepthFrameOfRow(1), 7);  // depth keeps the plain frame
  for (int row : {0, 2, 10, 14, 26, 46, 61}) EXPECT_EQ(h.Drawn(row), -1) << row;
  // Drop targets only ask for the bank; the bank draws them.
  EXPECT_EQ(h.Drawn(57), -1);
  EXPECT_EQ(t.drop_bank_redraw, 1);
  h.Frame(1);
  EXPECT_EQ(t.drop_bank_redraw, 0);
  EXPECT_EQ(h.Drawn(60), 1);
  EXPECT_EQ(h.Drawn(56), 11);
  EXPECT_EQ(h.Drawn(57), 16);
  EXPECT_EQ(h.rules.recorder.DepthFrameOfRow(59), 1);

  t.flags.lights_out = 0;
  h.Obj(59).value = 0;
  DrawDropTargetBank(t);
  EXPECT_EQ(h.Drawn(60), 0);
  EXPECT_EQ(h.Drawn(57), 5);
  EXPECT_EQ(h.rules.recorder.DepthFrameOfRow(59), 0);
}

TEST(DrawObject, OnlyChangedFramesUnlessForced) {
  RulesHarness h;
  h.rules.recorder.Clear();
  DrawObject(h.rules.table, 14, false);
  EXPECT_EQ(h.rules.recorder.DrawsOfRow(14), 0);
  DrawObject(h.rules.table, 14, true);
  EXPECT_EQ(h.rules.recorder.DrawsOfRow(14), 1);
  h.Obj(14).frame = 1;
  DrawObject(h.rules.table, 14, false);
  EXPECT_EQ(h.rules.recorder.DrawsOfRow(14), 2);
  EXPECT_EQ(h.Obj(14).shown_frame, 1);
}

TEST(DrawObject, PlungerOnlyWhileArmedAndNotComputer) {
  RulesHarness h;
  Table& t = h.rules.table;
  h.rules.recorder.Clear();
  DrawObject(t, kRowPlunger, true);
  EXPECT_EQ(h.Drawn(kRowPlunger), -1);
  t.flags.plunger_armed = 1;
  t.flags.lights_out = 1;  // never dark
  h.Obj(kRowPlunger).frame = 12;
  DrawObject(t, kRowPlunger, true);
  EXPECT_EQ(h.Drawn(kRowPlunger), 12);
  t.flags.computer_playing = 1;
  h.Obj(kRowPlunger).frame = 13;
  DrawObject(t, kRowPlunger, true);
  EXPECT_EQ(h.Drawn(kRowPlunger), 12);
  // Redraw all leaves the plunger alone.
  t.flags.computer_playing = 0;
  RedrawAllObjects(t);
  EXPECT_EQ(h.Drawn(kRowPlunger), 12);
}

TEST(ResetObjects, EverythingDarkAndUpAndDrawn) {
  RulesHarness h;
  Table& t = h.rules.table;
  SetLamp(t, 20, true);
  h.Obj(3).value = 1;
  h.Obj(3).frame = 3;
  h.Obj(58).value = 1;
  h.rules.recorder.Clear();
  ResetObjects(t);
  EXPECT_EQ(h.Obj(20).state, 0);
  EXPECT_EQ(h.Obj(3).value, 0);
  EXPECT_EQ(h.Obj(58).value, 0);
  EXPECT_EQ(h.Drawn(3), 0);
  EXPECT_EQ(h.Drawn(20), 0);
  EXPECT_EQ(t.drop_bank_redraw, 1);
  EXPECT_EQ(h.Obj(3).x, 370);
}

}  // namespace
}  // namespace rules
