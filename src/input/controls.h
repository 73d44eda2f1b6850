#pragma once
// Reading the keyboard and joypads into the InputState and turning the
// bindings of set 0 into the six action flags, once per frame.

#include <array>
#include <cstdint>

#include "core/control_binding.h"
#include "input/devices.h"
#include "input/input_state.h"

namespace input {

// A stick position this far from the centre (32768) or more counts as a direction.
inline constexpr uint32_t kAxisThreshold = 4000;
inline constexpr uint32_t kAxisCentre = 32768;
// A joypad read slower than this (ms) is checked once more for an unplugged pad.
inline constexpr uint32_t kSlowJoypadReadMs = 4;

// The devices the controls read; any may be null (nothing to read).
struct InputDevices {
  KeyboardDevice* keyboard = nullptr;
  JoypadDevice* joypads = nullptr;
  InputClock* clock = nullptr;
};

struct Controls {
  InputState state;
  std::array<bool, kJoypadCount> joypad_present{};
  uint32_t joypad_generation = 0;  // the devices' Generation() when presence was last set
  // The action flags handed to play: 1 while the bound element is held.
  std::array<int32_t, core::kActionCount> actions{};
};

bool KeyboardOpen(InputDevices& devices);
bool KeyboardAcquire(InputDevices& devices, bool on);
void KeyboardRelease(InputDevices& devices);
// Reads the 256 key states into the keyboard bytes; on failure they stay as they were.
bool KeyboardRead(Controls& controls, InputDevices& devices);

// Refreshes both presence flags; returns the flag of joypad 1.
bool JoypadsDetect(Controls& controls, InputDevices& devices);
// Clears joypad n's 64 bytes and fills them from a reading; false when absent or failing.
bool JoypadRead(Controls& controls, InputDevices& devices, int n);
// Sets the elements of one joypad reading (buttons, stick directions, hat sectors).
void SetJoypadElements(const JoypadPosition& p, std::span<uint8_t, kJoypadElements> elements);

// Whether an element is held: false for device 0 and for codes out of range.
bool ActionHeld(const InputState& state, int32_t device, int32_t code);
inline bool ActionHeld(const InputState& state, const core::ControlBinding& b) {
  return ActionHeld(state, b.device, b.code);
}

// Once per frame: reads the keyboard, the joypads that set 0 uses, and (unless the
// computer plays, when the flags stay as they were) sets each action flag from its
// set-0 binding. A joypad that no action uses is not read. When no set-0
// binding names a joypad, the defaults of game controllers with a known
// layout (JoypadDevice::StandardPadActions) are added. After a pad is plugged
// in or out the presence flags are set again.
void ReadActions(Controls& controls, InputDevices& devices, const core::BindingTable& bindings,
                 bool computer_playing);

}  // namespace input
