#include "platform/sdl_input.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "input/controls.h"
#include "input/event_keyboard.h"
#include "platform/sdl_events.h"

namespace platform {
namespace {

SDL_Event KeyEvent(uint32_t type, SDL_Scancode s, uint16_t mod = 0, uint8_t repeat = 0) {
  SDL_Event e{};
  e.type = type;
  e.key.keysym.scancode = s;
  e.key.keysym.mod = mod;
  e.key.repeat = repeat;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  return e;
}

SDL_Event WindowEvent(uint8_t what, int32_t a = 0, int32_t b = 0) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = what;
  e.window.data1 = a;
  e.window.data2 = b;
  return e;
}

TEST(TranslateEvent, EveryKindTheGameHandles) {
  Event out;
  ASSERT_TRUE(TranslateEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_RSHIFT), out));
  EXPECT_EQ(out.kind, EventKind::kKeyDown);
  EXPECT_EQ(out.key, 0x36);
  EXPECT_FALSE(out.repeat);
  ASSERT_TRUE(TranslateEvent(KeyEvent(SDL_KEYUP, SDL_SCANCODE_KP_ENTER), out));
  EXPECT_EQ(out.kind, EventKind::kKeyUp);
  EXPECT_EQ(out.key, 0x9C);
  ASSERT_TRUE(TranslateEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_F20), out));
  EXPECT_EQ(out.key, 0) << "a key without a code";

  ASSERT_TRUE(TranslateEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_RETURN, KMOD_LALT), out));
  EXPECT_TRUE(IsFullscreenToggle(out));
  ASSERT_TRUE(TranslateEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_RETURN, KMOD_LALT, 1), out));
  EXPECT_FALSE(IsFullscreenToggle(out)) << "a repeat must not toggle back and forth";
  ASSERT_TRUE(TranslateEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_RETURN), out));
  EXPECT_FALSE(IsFullscreenToggle(out));

  SDL_Event m{};
  m.type = SDL_MOUSEBUTTONDOWN;
  m.button.button = SDL_BUTTON_RIGHT;
  m.button.x = 12;
  m.button.y = 34;
  ASSERT_TRUE(TranslateEvent(m, out));
  EXPECT_EQ(out.kind, EventKind::kMouseDown);
  EXPECT_EQ(out.button, 3);
  EXPECT_EQ(out.x, 12);
  EXPECT_EQ(out.y, 34);
  m = SDL_Event{};
  m.type = SDL_MOUSEMOTION;
  m.motion.x = 5;
  m.motion.y = 6;
  ASSERT_TRUE(TranslateEvent(m, out));
  EXPECT_EQ(out.kind, EventKind::kMouseMove);
  EXPECT_EQ(out.x + out.y, 11);

  ASSERT_TRUE(TranslateEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 900, 700), out));
  EXPECT_EQ(out.kind, EventKind::kResized);
  EXPECT_EQ(out.width, 900);
  EXPECT_EQ(out.height, 700);
  ASSERT_TRUE(TranslateEvent(WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST), out));
  EXPECT_EQ(out.kind, EventKind::kFocusLost);
  ASSERT_TRUE(TranslateEvent(WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED), out));
  EXPECT_EQ(out.kind, EventKind::kFocusGained);
  ASSERT_TRUE(TranslateEvent(WindowEvent(SDL_WINDOWEVENT_CLOSE), out));
  EXPECT_EQ(out.kind, EventKind::kClose);
  ASSERT_TRUE(TranslateEvent(WindowEvent(SDL_WINDOWEVENT_EXPOSED), out));
  EXPECT_EQ(out.kind, EventKind::kExposed);
  EXPECT_FALSE(TranslateEvent(WindowEvent(SDL_WINDOWEVENT_MOVED), out));
  SDL_Event q{};
  q.type = SDL_QUIT;
  ASSERT_TRUE(TranslateEvent(q, out));
  EXPECT_EQ(out.kind, EventKind::kTerminate);
}

// Key events through SDL's queue keep the key state the controls read.
TEST(EventKeyboard, KeyStateFromEventsReachesTheActions) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
  input::EventKeyboard keyboard;
  input::InputDevices devices{&keyboard, nullptr, nullptr};
  input::Controls controls;
  ASSERT_TRUE(input::KeyboardOpen(devices));
  // Not acquired yet: the read acquires the keyboard itself.
  SDL_Event down = KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT);
  SDL_Event enter = KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_RETURN);
  SDL_PushEvent(&down);
  SDL_PushEvent(&enter);
  Event e;
  int events = 0;
  while (PollEvent(e, &keyboard)) ++events;
  EXPECT_EQ(events, 2);
  input::ReadActions(controls, devices, core::DefaultBindingTable(), false);
  EXPECT_EQ(controls.actions, (std::array<int32_t, 6>{1, 0, 0, 0, 0, 1}));

  SDL_Event up = KeyEvent(SDL_KEYUP, SDL_SCANCODE_LSHIFT);
  SDL_PushEvent(&up);
  while (PollEvent(e, &keyboard)) {
  }
  input::ReadActions(controls, devices, core::DefaultBindingTable(), false);
  EXPECT_EQ(controls.actions, (std::array<int32_t, 6>{0, 0, 0, 0, 0, 1}));

  // Keys released while another window has the focus are never heard: let go of them.
  SDL_Event lost = WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  SDL_PushEvent(&lost);
  while (PollEvent(e, &keyboard)) {
  }
  input::ReadActions(controls, devices, core::DefaultBindingTable(), false);
  EXPECT_EQ(controls.actions, (std::array<int32_t, 6>{}));

  input::KeyboardRelease(devices);
  EXPECT_FALSE(input::KeyboardRead(controls, devices)) << "a released keyboard cannot be read";
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST(SdlJoypads, HatAndAxisScales) {
  EXPECT_EQ(HatHundredths(SDL_HAT_CENTERED), input::kHatCentred);
  EXPECT_EQ(HatHundredths(SDL_HAT_UP), 0u);
  EXPECT_EQ(HatHundredths(SDL_HAT_RIGHTUP), 4500u);
  EXPECT_EQ(HatHundredths(SDL_HAT_RIGHT), 9000u);
  EXPECT_EQ(HatHundredths(SDL_HAT_RIGHTDOWN), 13500u);
  EXPECT_EQ(HatHundredths(SDL_HAT_DOWN), 18000u);
  EXPECT_EQ(HatHundredths(SDL_HAT_LEFTDOWN), 22500u);
  EXPECT_EQ(HatHundredths(SDL_HAT_LEFT), 27000u);
  EXPECT_EQ(HatHundredths(SDL_HAT_LEFTUP), 31500u);
  EXPECT_EQ(AxisPosition(-32768), 0u);
  EXPECT_EQ(AxisPosition(0), 32768u);
  EXPECT_EQ(AxisPosition(32767), 65535u);
}

// A virtual SDL joystick stands in for a real pad.
TEST(SdlJoypads, VirtualPadReachesTheElements) {
  SdlJoypads pads;
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 32, 1);
  ASSERT_GE(index, 0) << SDL_GetError();
  if (index != 0) {
    SDL_JoystickDetachVirtual(index);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    GTEST_SKIP() << "a real joystick is connected";
  }
  SDL_Joystick* v = SDL_JoystickOpen(index);
  ASSERT_NE(v, nullptr);
  SDL_JoystickSetVirtualAxis(v, 0, -32768);
  SDL_JoystickSetVirtualAxis(v, 1, 32767);
  SDL_JoystickSetVirtualButton(v, 7, SDL_PRESSED);
  SDL_JoystickSetVirtualButton(v, 31, SDL_PRESSED);
  SDL_JoystickSetVirtualHat(v, 0, SDL_HAT_RIGHTUP);

  SdlInputClock clock;
  input::InputDevices devices{nullptr, &pads, &clock};
  input::Controls controls;
  EXPECT_TRUE(input::JoypadsDetect(controls, devices));
  EXPECT_FALSE(controls.joypad_present[1]);
  ASSERT_TRUE(input::JoypadRead(controls, devices, 0));
  std::vector<int> held;
  for (int el = 0; el < input::kJoypadElements; ++el) {
    if (controls.state.Joypad(0)[static_cast<size_t>(el)]) held.push_back(el);
  }
  EXPECT_EQ(held, (std::vector<int>{7, 31, input::kStickLeft, input::kStickDown, input::kHatRight,
                                    input::kHatUp}));

  SDL_JoystickClose(v);
  SDL_JoystickDetachVirtual(index);
  EXPECT_FALSE(input::JoypadRead(controls, devices, 0)) << "an unplugged pad fails its read";
  EXPECT_FALSE(controls.joypad_present[0]);
  pads.Close();
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

}  // namespace
}  // namespace platform
