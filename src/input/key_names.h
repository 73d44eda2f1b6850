#pragma once
// Names of keys and joypad elements, and the text that names a binding in the
// controls dialog.

#include <cstdint>
#include <string>
#include <string_view>

namespace input {

struct KeyNameResult {
  std::string_view name;  // "Unknown" when not found
  bool found = false;
};

// The name of a key by DirectInput scan code ("Left Shift", "Enter", "Z").
KeyNameResult KeyName(int32_t code);

// The name of a joypad element: "Button 1" ... "Button 32", "Left", "Right", "Up",
// "Down", "POV Left" ... "POV Down"; empty for an unused element below 64 and
// "Unknown" for any other number.
std::string JoypadElementName(int32_t element);

// "Keyboard 'Left Shift'", "Joypad 1 'Button 8'", "Joypad 2 'Up'"; empty for device 0.
std::string BindingText(int32_t device, int32_t code);

}  // namespace input
