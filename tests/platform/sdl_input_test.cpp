#include "platform/sdl_input.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "input/controls.h"
#include "input/event_keyboard.h"
#include "platform/sdl_events.h"
#include "test_files.h"

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
  // F11 toggles as Alt+Enter does, alone or with a modifier, once per press.
  ASSERT_TRUE(TranslateEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_F11), out));
  EXPECT_TRUE(IsFullscreenToggle(out));
  ASSERT_TRUE(TranslateEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_F11, KMOD_LALT), out));
  EXPECT_TRUE(IsFullscreenToggle(out));
  ASSERT_TRUE(TranslateEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_F11, 0, 1), out));
  EXPECT_FALSE(IsFullscreenToggle(out));
  ASSERT_TRUE(TranslateEvent(KeyEvent(SDL_KEYUP, SDL_SCANCODE_F11), out));
  EXPECT_FALSE(IsFullscreenToggle(out));
  ASSERT_TRUE(TranslateEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_F10), out));
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

TEST(SdlJoypads, MappingsFileAndPadDefaults) {
  EXPECT_EQ(GameControllerDbPath("/x/config", "/home/p"), "/x/config/gfall/gamecontrollerdb.txt");
  EXPECT_EQ(GameControllerDbPath(nullptr, "/home/p"), "/home/p/.config/gfall/gamecontrollerdb.txt");
  EXPECT_EQ(GameControllerDbPath("relative", "/home/p"),
            "/home/p/.config/gfall/gamecontrollerdb.txt");
  EXPECT_EQ(GameControllerDbPath("", ""), "");

  using core::Action;
  auto bit = [](Action a) { return 1u << a; };
  struct Case {
    const char* what;
    StandardPadState s;
    uint32_t want;
  };
  const Case cases[] = {
      {"at rest", {}, 0},
      {"shoulders",
       {.left_shoulder = true, .right_shoulder = true},
       bit(core::kActionLeftFlipper) | bit(core::kActionRightFlipper)},
      {"triggers past a quarter",
       {.left_trigger = 8001, .right_trigger = 8000},
       bit(core::kActionLeftFlipper)},
      {"A launches", {.a = true}, bit(core::kActionStart)},
      {"stick left and up",
       {.left_x = -16001, .left_y = -32768},
       bit(core::kActionNudgeLeft) | bit(core::kActionNudgeUp)},
      {"stick right, pulled back",
       {.left_x = 32767, .left_y = 32767},
       bit(core::kActionNudgeRight)},
      {"a thumb resting on the stick", {.left_x = 16000, .left_y = -16000}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(StandardPadDefaults(c.s), c.want) << c.what;
}

// The actions a frame reads from the pads alone, with the stored bindings.
std::array<int32_t, core::kActionCount> Actions(SdlJoypads& pads, input::Controls& controls,
                                                const core::BindingTable& bindings) {
  SdlInputClock clock;
  input::InputDevices devices{nullptr, &pads, &clock};
  input::ReadActions(controls, devices, bindings, false);
  return controls.actions;
}

// A controller SDL knows plays with its defaults as soon as it is plugged in,
// stops when pulled out and plays again when plugged back, without a poll.
TEST(SdlJoypads, ControllerPlugsInAndOutAtAnyTime) {
  test_util::TempDir dir;
  SdlJoypads pads((dir.path() / "none.txt").string());
  if (SDL_NumJoysticks() != 0) GTEST_SKIP() << "a real joystick is connected";
  const core::BindingTable keys = core::DefaultBindingTable();
  input::Controls controls;
  using A = std::array<int32_t, core::kActionCount>;
  EXPECT_EQ(Actions(pads, controls, keys), A{});
  EXPECT_EQ(pads.DeviceCount(), 0);

  for (int round = 0; round < 2; ++round) {
    // SDL's virtual controller: a:b0, leftshoulder:b9, rightshoulder:b10,
    // leftx:a0, lefty:a1, righttrigger:a5.
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    ASSERT_TRUE(SDL_IsGameController(index));
    SDL_Joystick* v = SDL_JoystickOpen(index);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(Actions(pads, controls, keys), A{}) << "round " << round;
    EXPECT_TRUE(controls.joypad_present[0]) << "round " << round;
    EXPECT_FALSE(controls.joypad_present[1]);

    SDL_JoystickSetVirtualButton(v, 9, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(v, 5, 32767);
    SDL_JoystickSetVirtualButton(v, 0, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(v, 0, -32768);
    EXPECT_EQ(Actions(pads, controls, keys), (A{1, 1, 1, 0, 0, 1})) << "round " << round;
    SDL_JoystickSetVirtualButton(v, 9, SDL_RELEASED);
    SDL_JoystickSetVirtualAxis(v, 5, -32768);  // a trigger at rest
    SDL_JoystickSetVirtualButton(v, 0, SDL_RELEASED);
    SDL_JoystickSetVirtualAxis(v, 0, 32767);
    SDL_JoystickSetVirtualAxis(v, 1, -32768);
    EXPECT_EQ(Actions(pads, controls, keys), (A{0, 0, 0, 1, 1, 0})) << "round " << round;

    // A binding that names the pad: the bindings alone rule, the raw button
    // numbers keep their meaning, and the defaults stay out.
    core::BindingTable bound = keys;
    bound.sets[0][core::kActionLeftFlipper] = {core::kDeviceJoypad1, 0};  // "Button 1"
    SDL_JoystickSetVirtualAxis(v, 0, 0);
    SDL_JoystickSetVirtualAxis(v, 1, 0);
    SDL_JoystickSetVirtualButton(v, 0, SDL_PRESSED);
    EXPECT_EQ(Actions(pads, controls, bound), (A{1, 0, 0, 0, 0, 0})) << "round " << round;

    // Pulled out while held: nothing stays held.
    SDL_JoystickClose(v);
    ASSERT_EQ(SDL_JoystickDetachVirtual(index), 0);
    EXPECT_EQ(Actions(pads, controls, bound), A{}) << "round " << round;
    EXPECT_EQ(Actions(pads, controls, keys), A{}) << "round " << round;
    EXPECT_FALSE(controls.joypad_present[0]);
    EXPECT_EQ(pads.DeviceCount(), 0);
  }
}

// A pad SDL has no mapping for plays only through bindings; the player's
// gamecontrollerdb.txt adds mappings to SDL's database.
TEST(SdlJoypads, PadWithoutAMappingAndTheUsersMappingFile) {
  test_util::TempDir dir;
  const std::string file = (dir.path() / "gamecontrollerdb.txt").string();
  {
    SdlJoypads pads(file);  // no file yet
    EXPECT_EQ(pads.mappings_added(), 0);
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 4, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    ASSERT_FALSE(SDL_IsGameController(index));
    SDL_Joystick* v = SDL_JoystickOpen(index);
    SDL_JoystickSetVirtualButton(v, 2, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(v, 0, -32768);
    input::Controls controls;
    core::BindingTable bindings = core::DefaultBindingTable();
    using A = std::array<int32_t, core::kActionCount>;
    EXPECT_EQ(Actions(pads, controls, bindings), A{}) << "no defaults without a mapping";
    bindings.sets[0][core::kActionRightFlipper] = {core::kDeviceJoypad1, 2};  // "Button 3"
    bindings.sets[0][core::kActionNudgeLeft] = {core::kDeviceJoypad1, input::kStickLeft};
    EXPECT_EQ(Actions(pads, controls, bindings), (A{0, 1, 1, 0, 0, 0}));
    SDL_JoystickClose(v);
    SDL_JoystickDetachVirtual(index);
  }
  const char* guid = "03000000fe1200003412000001010000";
  std::ofstream(file) << "# the player's own pads\n"
                      << guid << ",Home-made pad,a:b3,leftshoulder:b0,rightshoulder:b1,"
                      << "leftx:a0,lefty:a1,platform:Linux,\n";
  SdlJoypads pads(file);
  EXPECT_EQ(pads.mappings_added(), 1);
  char* mapping = SDL_GameControllerMappingForGUID(SDL_JoystickGetGUIDFromString(guid));
  ASSERT_NE(mapping, nullptr);
  EXPECT_NE(std::string(mapping).find("Home-made pad"), std::string::npos);
  SDL_free(mapping);
}

}  // namespace
}  // namespace platform
