#include "input/key_names.h"

#include <array>

#include "core/control_binding.h"
#include "input/input_state.h"

namespace input {

namespace {

using NameTable = std::array<std::string_view, 256>;

// Our own key-name text for every key of the DirectInput scan-code set.
constexpr NameTable MakeKeyNames() {
  NameTable t{};
  t[0x01] = "Escape";
  t[0x02] = "1";
  t[0x03] = "2";
  t[0x04] = "3";
  t[0x05] = "4";
  t[0x06] = "5";
  t[0x07] = "6";
  t[0x08] = "7";
  t[0x09] = "8";
  t[0x0A] = "9";
  t[0x0B] = "0";
  t[0x0C] = "Hyphen";
  t[0x0D] = "Equals";
  t[0x0E] = "Backspace";
  t[0x0F] = "Tab";
  t[0x10] = "Q";
  t[0x11] = "W";
  t[0x12] = "E";
  t[0x13] = "R";
  t[0x14] = "T";
  t[0x15] = "Y";
  t[0x16] = "U";
  t[0x17] = "I";
  t[0x18] = "O";
  t[0x19] = "P";
  t[0x1A] = "Left Bracket";
  t[0x1B] = "Right Bracket";
  t[0x1C] = "Enter";
  t[0x1D] = "Left Control";
  t[0x1E] = "A";
  t[0x1F] = "S";
  t[0x20] = "D";
  t[0x21] = "F";
  t[0x22] = "G";
  t[0x23] = "H";
  t[0x24] = "J";
  t[0x25] = "K";
  t[0x26] = "L";
  t[0x27] = "Semicolon";
  t[0x28] = "Apostrophe";
  t[0x29] = "Accent Grave";
  t[0x2A] = "Left Shift";
  t[0x2B] = "Backslash";
  t[0x2C] = "Z";
  t[0x2D] = "X";
  t[0x2E] = "C";
  t[0x2F] = "V";
  t[0x30] = "B";
  t[0x31] = "N";
  t[0x32] = "M";
  t[0x33] = "Comma";
  t[0x34] = "Period";
  t[0x35] = "Slash";
  t[0x36] = "Right Shift";
  t[0x37] = "Numpad Multiply";
  t[0x38] = "Left Alt";
  t[0x39] = "Space";
  t[0x3A] = "Caps Lock";
  t[0x3B] = "F1";
  t[0x3C] = "F2";
  t[0x3D] = "F3";
  t[0x3E] = "F4";
  t[0x3F] = "F5";
  t[0x40] = "F6";
  t[0x41] = "F7";
  t[0x42] = "F8";
  t[0x43] = "F9";
  t[0x44] = "F10";
  t[0x45] = "Num Lock";
  t[0x46] = "Scroll Lock";
  t[0x47] = "Numpad 7";
  t[0x48] = "Numpad 8";
  t[0x49] = "Numpad 9";
  t[0x4A] = "Numpad Subtract";
  t[0x4B] = "Numpad 4";
  t[0x4C] = "Numpad 5";
  t[0x4D] = "Numpad 6";
  t[0x4E] = "Numpad Add";
  t[0x4F] = "Numpad 1";
  t[0x50] = "Numpad 2";
  t[0x51] = "Numpad 3";
  t[0x52] = "Numpad 0";
  t[0x53] = "Numpad Decimal";
  t[0x56] = "Extra Backslash";
  t[0x57] = "F11";
  t[0x58] = "F12";
  t[0x64] = "F13";
  t[0x65] = "F14";
  t[0x66] = "F15";
  t[0x70] = "Kana";
  t[0x73] = "Ro";
  t[0x79] = "Convert";
  t[0x7B] = "No Convert";
  t[0x7D] = "Yen";
  t[0x7E] = "Numpad Separator";
  t[0x8D] = "Numpad Equals";
  t[0x90] = "Previous Track";
  t[0x91] = "At";
  t[0x92] = "Colon";
  t[0x93] = "Underline";
  t[0x94] = "Kanji";
  t[0x95] = "Stop";
  t[0x96] = "AX";
  t[0x97] = "Unlabeled";
  t[0x99] = "Next Track";
  t[0x9C] = "Numpad Enter";
  t[0x9D] = "Right Control";
  t[0xA0] = "Mute";
  t[0xA1] = "Calculator";
  t[0xA2] = "Play/Pause";
  t[0xA4] = "Media Stop";
  t[0xAE] = "Volume Down";
  t[0xB0] = "Volume Up";
  t[0xB2] = "Web Home";
  t[0xB3] = "Numpad Comma";
  t[0xB5] = "Numpad Slash";
  t[0xB7] = "Print Screen";
  t[0xB8] = "Right Alt";
  t[0xC5] = "Pause";
  t[0xC7] = "Home";
  t[0xC8] = "Up Arrow";
  t[0xC9] = "Page Up";
  t[0xCB] = "Left Arrow";
  t[0xCD] = "Right Arrow";
  t[0xCF] = "End";
  t[0xD0] = "Down Arrow";
  t[0xD1] = "Page Down";
  t[0xD2] = "Insert";
  t[0xD3] = "Delete";
  t[0xDB] = "Left Windows";
  t[0xDC] = "Right Windows";
  t[0xDD] = "Application";
  t[0xDE] = "Power";
  t[0xDF] = "Sleep";
  t[0xE3] = "Wake";
  t[0xE5] = "Web Search";
  t[0xE6] = "Web Favorites";
  t[0xE7] = "Web Refresh";
  t[0xE8] = "Web Stop";
  t[0xE9] = "Web Forward";
  t[0xEA] = "Web Back";
  t[0xEB] = "My Computer";
  t[0xEC] = "Mail";
  t[0xED] = "Media Select";
  return t;
}

constexpr NameTable kKeyNames = MakeKeyNames();
constexpr std::string_view kUnknown = "Unknown";

}  // namespace

KeyNameResult KeyName(int32_t code) {
  if (code < 0 || code >= kKeyCount) return {kUnknown, false};
  std::string_view n = kKeyNames[static_cast<size_t>(code)];
  if (n.empty()) return {kUnknown, false};
  return {n, true};
}

std::string JoypadElementName(int32_t element) {
  if (element < 0 || element >= kJoypadElements) return std::string(kUnknown);
  if (element < kJoypadButtons) return "Button " + std::to_string(element + 1);
  switch (element) {
    case kStickLeft:
      return "Left";
    case kStickRight:
      return "Right";
    case kStickUp:
      return "Up";
    case kStickDown:
      return "Down";
    case kHatLeft:
      return "POV Left";
    case kHatRight:
      return "POV Right";
    case kHatUp:
      return "POV Up";
    case kHatDown:
      return "POV Down";
    default:
      return {};
  }
}

std::string BindingText(int32_t device, int32_t code) {
  switch (device) {
    case core::kDeviceKeyboard:
      return "Keyboard '" + std::string(KeyName(code).name) + "'";
    case core::kDeviceJoypad1:
      return "Joypad 1 '" + JoypadElementName(code) + "'";
    case core::kDeviceJoypad2:
      return "Joypad 2 '" + JoypadElementName(code) + "'";
    default:
      return {};
  }
}

}  // namespace input
