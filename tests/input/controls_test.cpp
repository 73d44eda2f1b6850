#include "input/controls.h"

#include <gtest/gtest.h>

#include "input/input_fakes.h"

namespace input {
namespace {

using core::BindingTable;
using core::DefaultBindingTable;

std::vector<int> HeldElements(const Controls& c, int pad) {
  std::vector<int> held;
  for (int e = 0; e < kJoypadElements; ++e) {
    if (c.state.Joypad(pad)[static_cast<size_t>(e)] == kHeld) held.push_back(e);
  }
  return held;
}

struct Rig {
  FakeClock clock;
  FakeKeyboard keyboard;
  FakeJoypads joypads{clock};
  InputDevices devices{&keyboard, &joypads, &clock};
  Controls controls;
  Rig() { controls.joypad_present = {true, true}; }
};

TEST(JoypadRead, StickThresholdBoundsCountAsCentred) {
  struct Case {
    uint32_t x, y;
    std::vector<int> held;
  };
  const Case cases[] = {
      {32768, 32768, {}},
      {28768, 36768, {}},  // exactly on the bounds
      {28767, 32768, {kStickLeft}},
      {36769, 32768, {kStickRight}},
      {32768, 28767, {kStickUp}},
      {32768, 36769, {kStickDown}},
      {0, 65535, {kStickLeft, kStickDown}},
      {65535, 0, {kStickRight, kStickUp}},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.joypads.pos[1].x = c.x;
    rig.joypads.pos[1].y = c.y;
    EXPECT_TRUE(JoypadRead(rig.controls, rig.devices, 1));
    EXPECT_EQ(HeldElements(rig.controls, 1), c.held) << c.x << "," << c.y;
    EXPECT_TRUE(HeldElements(rig.controls, 0).empty());
  }
}

TEST(JoypadRead, HatSectors) {
  const int U = kHatUp, R = kHatRight, D = kHatDown, L = kHatLeft;
  struct Case {
    uint32_t hat;
    std::vector<int> held;  // in element order: left 48, right 49, up 50, down 51
  };
  const Case cases[] = {
      {0, {U}},          {2250, {U}},      {2251, {R, U}},  {4500, {R, U}},  {6750, {R, U}},
      {6751, {R}},       {11250, {R}},     {11251, {R, D}}, {15750, {R, D}}, {15751, {D}},
      {20250, {D}},      {20251, {L, D}},  {24750, {L, D}}, {24751, {L}},    {29250, {L}},
      {29251, {L, U}},   {33750, {L, U}},  {33751, {U}},    {35999, {U}},    {36000, {}},
      {kHatCentred, {}}, {0xFFFFFFFF, {}},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.joypads.pos[0].hat = c.hat;
    EXPECT_TRUE(JoypadRead(rig.controls, rig.devices, 0));
    EXPECT_EQ(HeldElements(rig.controls, 0), c.held) << c.hat;
  }
}

TEST(JoypadRead, ButtonsAndStaleBytesCleared) {
  Rig rig;
  rig.controls.state.Joypad(0)[40] = kHeld;  // left over from an earlier read
  rig.joypads.pos[0].buttons = 0x80000081u;
  EXPECT_TRUE(JoypadRead(rig.controls, rig.devices, 0));
  EXPECT_EQ(HeldElements(rig.controls, 0), (std::vector<int>{0, 7, 31}));
}

TEST(JoypadRead, AbsentOrFailingPadReadsAsNothingHeld) {
  Rig rig;
  rig.joypads.pos[0].buttons = 1;
  rig.controls.joypad_present[0] = false;
  rig.controls.state.Joypad(0)[0] = kHeld;
  EXPECT_FALSE(JoypadRead(rig.controls, rig.devices, 0));
  EXPECT_TRUE(HeldElements(rig.controls, 0).empty());
  EXPECT_EQ(rig.joypads.reads[0], 0);

  rig.controls.joypad_present[0] = true;
  rig.joypads.fail_after[0] = 0;
  EXPECT_FALSE(JoypadRead(rig.controls, rig.devices, 0));
  EXPECT_FALSE(rig.controls.joypad_present[0]) << "a failed read marks the pad absent";
  EXPECT_FALSE(JoypadRead(rig.controls, rig.devices, 2));
  EXPECT_FALSE(JoypadRead(rig.controls, rig.devices, -1));
}

TEST(JoypadRead, SlowReadIsCheckedOnceMore) {
  struct Case {
    uint32_t read_ms;
    int fail_after;
    bool result, present;
    int reads;
  };
  const Case cases[] = {
      {4, 1, true, true, 1},    // 4 ms is not slow: no second read
      {5, 2, true, true, 2},    // slow, the second read works
      {5, 1, false, false, 2},  // slow, and the pad is gone on the second read
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.joypads.read_ms[0] = c.read_ms;
    rig.joypads.fail_after[0] = c.fail_after;
    rig.joypads.pos[0].buttons = 2;
    EXPECT_EQ(JoypadRead(rig.controls, rig.devices, 0), c.result) << c.read_ms;
    EXPECT_EQ(rig.controls.joypad_present[0], c.present);
    EXPECT_EQ(rig.joypads.reads[0], c.reads);
    // The elements of the first reading stay either way.
    EXPECT_EQ(HeldElements(rig.controls, 0), std::vector<int>{1});
  }
}

TEST(JoypadsDetect, MarksPadsThatAnswer) {
  Rig rig;
  rig.controls.joypad_present = {false, false};
  rig.joypads.fail_after = {1 << 30, 100};  // pad 2 stops answering before the final read
  EXPECT_TRUE(JoypadsDetect(rig.controls, rig.devices));
  EXPECT_TRUE(rig.controls.joypad_present[0]);
  EXPECT_FALSE(rig.controls.joypad_present[1]);
  EXPECT_EQ(rig.joypads.reads[0], 101);
  EXPECT_EQ(rig.clock.sleeps, 20);  // ten 1 ms pauses per pad

  rig.joypads.devices = 0;
  EXPECT_FALSE(JoypadsDetect(rig.controls, rig.devices));
  EXPECT_FALSE(rig.controls.joypad_present[0]);
  EXPECT_FALSE(rig.controls.joypad_present[1]);
}

TEST(KeyboardRead, ReacquiresOnceAndKeepsKeysOnFailure) {
  Rig rig;
  rig.keyboard.Press(0x2A);
  rig.keyboard.acquired = false;
  EXPECT_TRUE(KeyboardRead(rig.controls, rig.devices));
  EXPECT_EQ(rig.controls.state.Keys()[0x2A], kHeld);
  EXPECT_EQ(rig.keyboard.reads, 2);

  rig.keyboard.acquired = false;
  rig.keyboard.fail_acquire = true;
  rig.keyboard.keys = {};
  EXPECT_FALSE(KeyboardRead(rig.controls, rig.devices));
  EXPECT_EQ(rig.controls.state.Keys()[0x2A], kHeld) << "a failed read keeps the keys";

  rig.keyboard.fail_read = true;
  EXPECT_FALSE(KeyboardRead(rig.controls, rig.devices));
  EXPECT_EQ(rig.controls.state.Keys()[0x10], 0);
}

TEST(ActionHeld, DevicesAndRanges) {
  InputState s;
  s.Keys()[255] = kHeld;
  s.Keys()[0x39] = kHeld;
  s.Joypad(0)[63] = kHeld;
  s.Joypad(1)[5] = kHeld;
  EXPECT_TRUE(ActionHeld(s, core::kDeviceKeyboard, 255));
  EXPECT_TRUE(ActionHeld(s, core::kDeviceKeyboard, 0x39));
  EXPECT_FALSE(ActionHeld(s, core::kDeviceKeyboard, 256));
  EXPECT_FALSE(ActionHeld(s, core::kDeviceKeyboard, -1));
  EXPECT_TRUE(ActionHeld(s, core::kDeviceJoypad1, 63));
  EXPECT_FALSE(ActionHeld(s, core::kDeviceJoypad1, 64)) << "must not reach joypad 2";
  EXPECT_FALSE(ActionHeld(s, core::kDeviceJoypad2, 64)) << "must not reach the keyboard";
  EXPECT_TRUE(ActionHeld(s, core::kDeviceJoypad2, 5));
  EXPECT_FALSE(ActionHeld(s, core::kDeviceJoypad1, 5));
  EXPECT_FALSE(ActionHeld(s, core::kDeviceNone, 0x39));
  EXPECT_FALSE(ActionHeld(s, 4, 0x39));
}

TEST(ReadActions, KeyboardSetReadsNoJoypad) {
  Rig rig;
  rig.joypads.pos[0].buttons = 0xFF;
  rig.keyboard.Press(0x36);  // Right Shift
  rig.keyboard.Press(0x1C);  // Enter
  ReadActions(rig.controls, rig.devices, DefaultBindingTable(), false);
  EXPECT_EQ(rig.controls.actions, (std::array<int32_t, 6>{0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(rig.joypads.reads[0] + rig.joypads.reads[1], 0);

  rig.keyboard.keys = {};
  ReadActions(rig.controls, rig.devices, DefaultBindingTable(), false);
  EXPECT_EQ(rig.controls.actions, (std::array<int32_t, 6>{}));
}

TEST(ReadActions, JoypadSetAsPlayedSet) {
  Rig rig;
  BindingTable t = DefaultBindingTable();
  t.sets[0] = t.sets[1];                        // the joypad defaults, played
  rig.joypads.pos[0].buttons = (1u << 7) | 1u;  // Button 8 and Button 1
  rig.joypads.pos[0].x = 10;                    // stick left
  rig.joypads.pos[0].y = 60000;                 // stick down
  rig.keyboard.Press(0x2A);
  ReadActions(rig.controls, rig.devices, t, false);
  EXPECT_EQ(rig.controls.actions, (std::array<int32_t, 6>{1, 0, 1, 1, 0, 1}));
  EXPECT_EQ(rig.joypads.reads[0], 1);
  EXPECT_EQ(rig.joypads.reads[1], 0) << "joypad 2 is bound to nothing";
}

TEST(ReadActions, SetOneIsNeverPlayedAndSharedElementsHoldBoth) {
  Rig rig;
  BindingTable t = DefaultBindingTable();
  t.sets[0][core::kActionStart] = {core::kDeviceKeyboard, 0x39};  // Space for Start too
  t.sets[0][core::kActionLeftFlipper] = {core::kDeviceNone, 0x39};
  rig.joypads.pos[0].buttons = 0xFFFFFFFF;
  rig.keyboard.Press(0x39);
  ReadActions(rig.controls, rig.devices, t, false);
  EXPECT_EQ(rig.controls.actions, (std::array<int32_t, 6>{0, 0, 0, 1, 0, 1}));
}

TEST(ReadActions, ComputerPlayLeavesFlagsButReadsKeyboard) {
  Rig rig;
  BindingTable t = DefaultBindingTable();
  t.sets[0][0] = {core::kDeviceJoypad2, 0};
  rig.controls.actions = {1, 0, 0, 0, 0, 0};
  rig.keyboard.Press(0x36);
  ReadActions(rig.controls, rig.devices, t, true);
  EXPECT_EQ(rig.controls.actions, (std::array<int32_t, 6>{1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(rig.controls.state.Keys()[0x36], kHeld);
  EXPECT_EQ(rig.joypads.reads[1], 0);
}

TEST(ReadActions, WithoutDevicesNothingIsHeld) {
  Controls c;
  InputDevices none;
  c.actions.fill(1);
  ReadActions(c, none, DefaultBindingTable(), false);
  EXPECT_EQ(c.actions, (std::array<int32_t, 6>{}));
}

}  // namespace
}  // namespace input
