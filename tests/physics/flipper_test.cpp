// Flipper stroke, holds, images, sounds and the strike on a ball.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/random15.h"
#include "core/table_sound.h"
#include "physics/collision.h"
#include "physics/painted_table.h"
#include "physics/world.h"

namespace physics {
namespace {

// Records every call as text.
class SoundLog final : public core::TableSound {
 public:
  void PlayTableSound(int slot, float x, float y, bool restart, bool loop) override {
    calls.push_back("play " + std::to_string(slot) + " " + std::to_string(int(x)) + "," +
                    std::to_string(int(y)) + (restart ? " restart" : "") + (loop ? " loop" : ""));
  }
  void PlayTableSoundWithSpeed(int slot, float, float, float speed, bool, bool) override {
    impacts.push_back({slot, speed});
  }
  void StopSound(int slot) override { calls.push_back("stop " + std::to_string(slot)); }
  bool IsPlaying(int) override { return false; }
  std::vector<std::string> calls;
  std::vector<std::pair<int, float>> impacts;
};

// One physics step of the flippers as the frame loop runs it.
void Step(World& w, bool left, bool right = false) {
  UpdateFlipper(w, 0, left, 7);
  UpdateFlipper(w, 1, right, 7);
  FlipperSounds(w);
}

TEST(Flipper, StrokeTiming) {
  World w;
  const Flipper& f = w.flippers[0];
  for (int step = 1; step <= 13; ++step) {
    Step(w, true);
    EXPECT_EQ(f.frame, 2 * step) << step;
  }
  for (int step = 14; step <= 17; ++step) {
    Step(w, true);
    EXPECT_EQ(f.frame, 29) << step;  // at the top from the 14th step, held while the hold runs
  }
  EXPECT_EQ(f.hold, -6);
  for (int step = 18; step <= 25; ++step) {
    Step(w, true);
    EXPECT_EQ(f.frame, 28) << step;
  }
  EXPECT_EQ(f.hold, -6);
  EXPECT_EQ(w.flippers[1].frame, 0);  // the other control drives the other flipper

  // Release: +10 makes 4, the first step runs it to -3, then one frame a
  // step down to 14, two a step below.
  Step(w, false);
  EXPECT_EQ(f.frame, 28);
  EXPECT_EQ(f.hold, -3);
  for (int frame = 27; frame >= 14; --frame) {
    Step(w, false);
    EXPECT_EQ(f.frame, frame);
  }
  const int below[] = {12, 10, 8, 6, 4, 2, 0, 0};
  for (int frame : below) {
    Step(w, false);
    EXPECT_EQ(f.frame, frame);
  }
  EXPECT_TRUE(FlippersAllDown(w));
}

TEST(Flipper, SpeedCounterAndQueries) {
  World w;
  Step(w, true);
  const Flipper& f = w.flippers[0];
  // A new press starts at the minimum, then grows by one per frame moved.
  EXPECT_EQ(f.speed_counter, 5);
  EXPECT_TRUE(FlipperRising(w, 0));
  EXPECT_TRUE(FlipperMoving(w, 0));
  EXPECT_FALSE(FlipperFalling(w, 0));
  EXPECT_FLOAT_EQ(FlipperSpeed(w, 0), 5.0f / 28.0f);
  for (int i = 0; i < 12; ++i) Step(w, true);  // frame 26
  // Near the top the counter is held to the frames left.
  EXPECT_LE(f.speed_counter, 28 - 24);
  EXPECT_EQ(FlipperHardness(w, 0, 0), w.tuning.flipper_hard);
  Step(w, true);  // top
  EXPECT_FALSE(FlipperMoving(w, 0));
  EXPECT_EQ(FlipperHardness(w, 0, 0), w.tuning.flipper_hard_up_upper);
  EXPECT_EQ(FlipperHardness(w, 0, 1), w.tuning.flipper_hard);
  Step(w, false);
  EXPECT_EQ(FlipperHardness(w, 0, 0), w.tuning.flipper_hard_down);
  EXPECT_EQ(FlipperPreviousFrame(w, 0), 29);
  // A mirrored step meets no flipper: every query answers as for none.
  w.mirrored_step = 1;
  EXPECT_EQ(FlipperFrame(w, 0), 0);
  EXPECT_FALSE(FlipperMoving(w, 0));
  EXPECT_EQ(FlipperFor(w, 1), nullptr);
  w.mirrored_step = 0;
  EXPECT_EQ(FlipperFrame(w, 0), 29);
  EXPECT_EQ(FlipperFor(w, 2), nullptr);
  EXPECT_EQ(FlipperFor(w, -1), nullptr);
}

TEST(Flipper, OtherControlsDoNothing) {
  World w;
  for (int control : {2, 3, 4, -1}) UpdateFlipper(w, control, true, 7);
  EXPECT_EQ(w.flippers[0].frame, 0);
  EXPECT_EQ(w.flippers[1].frame, 0);
  w.flippers[1].control = 3;  // a record may follow any control 0..3
  UpdateFlipper(w, 3, true, 7);
  EXPECT_EQ(w.flippers[1].frame, 2);
}

TEST(Flipper, HoldsScaleWithTheMultiplier) {
  World w;
  SetFlipperHold(w, 0, 7);
  EXPECT_EQ(w.flippers[0].hold, 21);
  w.flippers[1].hold_multiplier = 0;
  SetFlipperHold(w, 1, 7);
  EXPECT_EQ(w.flippers[1].hold, 35);
  SetFlipperHold(w, 2, 7);  // no such flipper
  // A hold of 21 pauses a pressed flipper for three steps.
  SetFlipperHold(w, 0, 7);
  for (int i = 0; i < 3; ++i) {
    Step(w, true);
    EXPECT_EQ(w.flippers[0].frame, 0);
  }
  Step(w, true);
  EXPECT_EQ(w.flippers[0].frame, 2);
}

TEST(Flipper, DrawnImagesFollowTheKeyFrames) {
  World w;
  Flipper& f = w.flippers[0];
  const int expected[30] = {0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3,
                            3, 4, 4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 7, 8};
  for (int frame = 0; frame <= 29; ++frame) {
    f.frame = frame;
    EXPECT_EQ(RefreshFlipperImages(w, true), 3);
    EXPECT_EQ(f.image, expected[frame]) << frame;
  }
  EXPECT_EQ(RefreshFlipperImages(w, false), 0);  // nothing to redraw
  // Passing a key frame asks for a redraw; so does a press.
  f.frame = 0;
  Step(w, true);  // frames 1, 2: no key frame, but a press
  EXPECT_EQ(RefreshFlipperImages(w, false), 1);
  Step(w, true);  // 3, 4
  EXPECT_EQ(RefreshFlipperImages(w, false), 0);
  Step(w, true);  // 5, 6: passes key frame 5
  EXPECT_EQ(RefreshFlipperImages(w, false), 1);
  EXPECT_EQ(f.image, 2);
  ResetFlippers(w);
  EXPECT_EQ(f.frame, 0);
  EXPECT_EQ(f.image, 0);
  EXPECT_EQ(f.redraw, 0);
}

TEST(Flipper, Sounds) {
  World w;
  SoundLog log;
  w.sound = &log;
  Step(w, true, false);
  Step(w, true, false);  // held: no new sounds
  Step(w, false, true);
  const std::vector<std::string> expected = {"stop 22",
                                             "play 21 300,0 restart",
                                             "play 20 300,0 restart loop",  // left pressed
                                             "stop 20",
                                             "stop 21",
                                             "play 22 300,0 restart",  // left released
                                             "stop 25",
                                             "play 24 500,0 restart",
                                             "play 23 500,600 restart loop"};  // right pressed
  EXPECT_EQ(log.calls, expected);
  EXPECT_EQ(w.flippers[1].previous_pressed, 1);
  EXPECT_EQ(w.flippers[1].previous_frame, 2);
}

TEST(Flipper, SlowZoneOnlyAtFrame28) {
  World w;
  EXPECT_FALSE(InSlowZone(w, 232.5f, 1332.5f));
  w.flippers[0].frame = 28;
  EXPECT_TRUE(InSlowZone(w, 232.5f, 1332.5f));
  EXPECT_FALSE(InSlowZone(w, 231.0f, 1332.5f));  // strictly inside
  EXPECT_FALSE(InSlowZone(w, 487.5f, 1332.5f));  // the other flipper is down
  w.flippers[0].frame = 29;
  EXPECT_FALSE(InSlowZone(w, 232.5f, 1332.5f));
}

// A ball just above a flipper's surface, falling onto it.
struct Strike : ::testing::Test {
  Strike() {
    w.map = SurfaceMap(800, 1514, 0);
    w.random = &random;
    painted::PaintFlipperMasks(w);
  }
  // Sets flipper 0's state and drops a ball onto its top at column x.
  BallRecord& DropOn(int x, int frame, bool pressed, float vy) {
    Flipper& f = w.flippers[0];
    f.frame = frame;
    f.previous_frame = pressed ? frame - 2 : frame + 1;
    f.pressed = pressed;
    f.speed_counter = 14;
    f.hold = 0;
    int y = 1377 + 60;
    while (SurfaceCodeAt(w, x, y) != kCodeFlipper) --y;  // onto the bar
    while (SurfaceCodeAt(w, x, y) == kCodeFlipper) --y;  // up to its top
    BallRecord& b = w.balls[0];
    b.x = static_cast<float>(x) + 0.5f;
    b.y = static_cast<float>(y) - 1.5f;
    b.vx = 0.0f;
    b.vy = vy;
    b.launched = 1;
    EndFlipperContact(b);
    top = y + 1;
    return b;
  }
  World w;
  core::Random15 random;
  int top = 0;  // the bar's top pixel row under the ball
};

TEST_F(Strike, RisingFlipperStrikesAndHolds21) {
  BallRecord& b = DropOn(270, 10, true, 3.0f);
  EXPECT_EQ(BallStep(w, 0), 5);
  EXPECT_LT(b.vy, -3.0f);  // thrown up
  EXPECT_EQ(w.flippers[0].hold, 21);
  EXPECT_TRUE(IsOpenAt(w, b, PixelOf(b.x), PixelOf(b.y)));
  // The flipper then pauses three steps.
  for (int i = 0; i < 3; ++i) {
    Step(w, true);
    EXPECT_EQ(w.flippers[0].frame, 10);
  }
  Step(w, true);
  EXPECT_EQ(w.flippers[0].frame, 12);
}

TEST_F(Strike, FastBallKnocksARaisedFlipperBack) {
  BallRecord& b = DropOn(270, 28, true, 9.0f);
  EXPECT_EQ(BallStep(w, 0), 2);  // no strike: the flipper stands still
  EXPECT_EQ(w.flippers[0].frame, 27);
  EXPECT_EQ(w.flippers[0].hold, 15);
  EXPECT_LT(b.vy, 0.0f);
  // A slow ball does not.
  DropOn(270, 28, true, 2.0f);
  w.flippers[0].hold = 0;
  BallStep(w, 0);
  EXPECT_EQ(w.flippers[0].frame, 28);
}

TEST_F(Strike, LoweredFlipperCatchesAFastFallingBall) {
  BallRecord& b = DropOn(270, 10, false, 4.0f);
  EXPECT_EQ(BallStep(w, 0), 5);
  EXPECT_LT(std::hypot(b.vx, b.vy), 0.3f);  // caught: almost all speed gone
  // Slower than the catch speed the strike is cancelled: a plain bounce.
  DropOn(270, 10, false, 2.9f);
  EXPECT_EQ(BallStep(w, 0), 2);
  EXPECT_LT(b.vy, 0.0f);
  EXPECT_GT(std::hypot(b.vx, b.vy), 1.0f);
}

TEST_F(Strike, MirroredBallMeetsNoFlipper) {
  // The same fall that is struck above, reflected through the top edge.
  BallRecord& b = DropOn(270, 10, true, 3.0f);
  const float y0 = b.y;
  MirrorBallY(b);
  EXPECT_EQ(StepBall(w, 0), 2);
  EXPECT_EQ(b.y, -(y0 + 3.0f));  // straight on, through where the flipper would be
  EXPECT_EQ(b.flipper_contact, -1);
  EXPECT_EQ(w.flippers[0].hold, 0);
}

TEST_F(Strike, ContactLastsWhileTheFlipperRisesUnderTheBall) {
  BallRecord& b = DropOn(270, 10, true, 0.0f);
  b.y = static_cast<float>(top) - 0.5f;  // resting on the bar
  b.flipper_contact = 0;
  b.flipper_contact_frame = 8;
  b.flipper_contact_x = b.x;
  b.flipper_contact_y = b.y;
  StepContext ctx;
  ctx.old_x = b.x;
  ctx.old_y = b.y;
  FlipperContactUpkeep(w, 0, b, ctx);
  EXPECT_EQ(b.flipper_contact, 0);
  EXPECT_EQ(b.flipper_contact_steps, 1);
  struct Case {
    const char* what;
    void (*spoil)(World&, BallRecord&);
  } cases[] = {
      {"flipper no higher", [](World& w, BallRecord&) { w.flippers[0].frame = 8; }},
      {"too long", [](World&, BallRecord& b) { b.flipper_contact_steps = 13; }},
      {"too fast", [](World&, BallRecord& b) { b.vx = 20.0f; }},
      {"moved away", [](World&, BallRecord& b) { b.flipper_contact_x -= 12.0f; }},
      {"mirrored", [](World& w, BallRecord&) { w.mirrored_step = 1; }},
  };
  for (const Case& c : cases) {
    BallRecord copy = b;
    World w2 = w;
    c.spoil(w2, copy);
    FlipperContactUpkeep(w2, 0, copy, ctx);
    EXPECT_EQ(copy.flipper_contact, -1) << c.what;
    EXPECT_EQ(copy.flipper_contact_steps, 0) << c.what;
    EXPECT_EQ(copy.flipper_angle[0], kNoFlipperAngle) << c.what;
  }
  // Lifted off the surface: nothing below the ball any more.
  ctx.old_y -= 10.0f;
  b.y -= 10.0f;
  FlipperContactUpkeep(w, 0, b, ctx);
  EXPECT_EQ(b.flipper_contact, -1);
}

TEST_F(Strike, LowRisingFlipperPushesASlowBallSideways) {
  // Struck at frame 10 the ball leaves toward the tip's side (right for the
  // left flipper); the push adds to that.
  BallRecord& b = DropOn(270, 10, true, 3.0f);
  ASSERT_EQ(BallStep(w, 0), 5);
  const float with_push = b.vx;
  w.tuning.max_fc_flipper_dx = 0.0f;
  DropOn(270, 10, true, 3.0f);
  ASSERT_EQ(BallStep(w, 0), 5);
  EXPECT_GT(with_push, b.vx + 0.1f);
}

}  // namespace
}  // namespace physics
