#include "input/capture.h"

#include <gtest/gtest.h>

#include "input/input_fakes.h"

namespace input {
namespace {

using core::ControlBinding;

struct CaptureRig {
  FakeClock clock;
  FakeKeyboard keyboard;
  FakeJoypads joypads{clock};
  InputDevices devices{&keyboard, &joypads, &clock};
  Controls controls;
  core::BindingTable bindings = core::DefaultBindingTable();
  Capture capture;

  CaptureResult Tick(bool mouse = false) {
    return CaptureTick(capture, controls, devices, bindings, mouse);
  }
  void Settle() {
    CaptureStart(capture, 0, core::kActionNudgeUp);
    for (int i = 0; i < kCaptureSettleTicks; ++i) ASSERT_EQ(Tick(), CaptureResult::kSettling);
  }
};

TEST(Capture, KeyHeldWhenOpeningBindsOnlyWhenPressedAgain) {
  CaptureRig rig;
  rig.keyboard.Press(0x2A);
  rig.Settle();
  EXPECT_EQ(rig.Tick(), CaptureResult::kWaiting);
  EXPECT_EQ(rig.Tick(), CaptureResult::kWaiting);
  rig.keyboard.keys[0x2A] = 0;
  EXPECT_EQ(rig.Tick(), CaptureResult::kWaiting);
  rig.keyboard.Press(0x2A);
  EXPECT_EQ(rig.Tick(), CaptureResult::kBound);
  EXPECT_EQ(rig.bindings.sets[0][core::kActionNudgeUp], (ControlBinding{1, 0x2A}));
}

TEST(Capture, EscapeCancelsOnRelease) {
  CaptureRig rig;
  const core::BindingTable before = rig.bindings;
  rig.Settle();
  rig.keyboard.Press(kEscapeCode);
  EXPECT_EQ(rig.Tick(), CaptureResult::kWaiting);
  EXPECT_EQ(rig.Tick(), CaptureResult::kWaiting);
  rig.keyboard.keys[kEscapeCode] = 0;
  EXPECT_EQ(rig.Tick(), CaptureResult::kCancelled);
  EXPECT_EQ(rig.bindings, before);
}

TEST(Capture, KeyWinsOverJoypadOnTheSameTickAndCode255NeverBinds) {
  CaptureRig rig;
  rig.Settle();
  rig.keyboard.Press(0xFF);
  EXPECT_EQ(rig.Tick(), CaptureResult::kWaiting);
  rig.keyboard.Press(0x39);
  rig.joypads.pos[0].buttons = 1;
  EXPECT_EQ(rig.Tick(), CaptureResult::kBound);
  EXPECT_EQ(rig.bindings.sets[0][core::kActionNudgeUp], (ControlBinding{1, 0x39}));
}

TEST(Capture, JoypadElementsLowestFirstPadOneBeforePadTwo) {
  struct Case {
    uint32_t buttons1, buttons2, x2;
    ControlBinding want;
  };
  const Case cases[] = {
      {1u << 4, 1u << 4, 32768, {core::kDeviceJoypad1, 4}},
      {1u << 9, 1u << 2, 32768, {core::kDeviceJoypad2, 2}},
      {0, 0, 0, {core::kDeviceJoypad2, kStickLeft}},
  };
  for (const Case& c : cases) {
    CaptureRig rig;
    rig.Settle();
    rig.joypads.pos[0].buttons = c.buttons1;
    rig.joypads.pos[1].buttons = c.buttons2;
    rig.joypads.pos[1].x = c.x2;
    EXPECT_EQ(rig.Tick(), CaptureResult::kBound);
    EXPECT_EQ(rig.bindings.sets[0][core::kActionNudgeUp], c.want);
  }
}

TEST(Capture, HeldMouseButtonHoldsTheSettling) {
  CaptureRig rig;
  CaptureStart(rig.capture, 1, 40);  // set and action are clamped when storing
  for (int i = 0; i < 10; ++i) EXPECT_EQ(rig.Tick(true), CaptureResult::kSettling);
  for (int i = 0; i < kCaptureSettleTicks; ++i) EXPECT_EQ(rig.Tick(), CaptureResult::kSettling);
  rig.keyboard.Press(0x10);
  EXPECT_EQ(rig.Tick(), CaptureResult::kBound);
  EXPECT_EQ(rig.bindings.sets[1][15], (ControlBinding{1, 0x10}));
}

TEST(Capture, FailedKeyboardReadSkipsTheTick) {
  CaptureRig rig;
  rig.Settle();
  rig.keyboard.fail_read = true;
  rig.joypads.pos[0].buttons = 1;
  EXPECT_EQ(rig.Tick(), CaptureResult::kWaiting);
  rig.keyboard.fail_read = false;
  // The skipped tick did not remember the button as held: it still binds.
  EXPECT_EQ(rig.Tick(), CaptureResult::kBound);
  EXPECT_EQ(rig.bindings.sets[0][core::kActionNudgeUp], (ControlBinding{core::kDeviceJoypad1, 0}));
}

}  // namespace
}  // namespace input
