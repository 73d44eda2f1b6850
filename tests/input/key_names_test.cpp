#include "input/key_names.h"

#include <gtest/gtest.h>

#include "core/control_binding.h"

namespace input {
namespace {

TEST(KeyName, NamesAndUnknowns) {
  struct Case {
    int32_t code;
    std::string_view name;
    bool found;
  };
  const Case cases[] = {
      {0x2A, "Left Shift", true},
      {0x36, "Right Shift", true},
      {0x1C, "Enter", true},
      {0x2C, "Z", true},
      {0x39, "Space", true},
      {0x35, "Slash", true},
      {0x02, "1", true},
      {0x0B, "0", true},
      {0x9C, "Numpad Enter", true},
      {0xB5, "Numpad Slash", true},
      {0xD3, "Delete", true},
      {0x01, "Escape", true},
      {0x00, "Unknown", false},
      {0xFF, "Unknown", false},
      {256, "Unknown", false},
      {-1, "Unknown", false},
      {0x54, "Unknown", false},
  };
  for (const Case& c : cases) {
    KeyNameResult r = KeyName(c.code);
    EXPECT_EQ(r.name, c.name) << c.code;
    EXPECT_EQ(r.found, c.found) << c.code;
  }
}

TEST(KeyName, LettersRunInKeyboardRows) {
  const std::string_view rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
  const int starts[] = {0x10, 0x1E, 0x2C};
  for (int r = 0; r < 3; ++r) {
    for (size_t i = 0; i < rows[r].size(); ++i) {
      EXPECT_EQ(KeyName(starts[r] + static_cast<int>(i)).name, rows[r].substr(i, 1));
    }
  }
}

TEST(BindingText, EveryDevice) {
  struct Case {
    int32_t device, code;
    std::string text;
  };
  const Case cases[] = {
      {core::kDeviceKeyboard, 0x2A, "Keyboard 'Left Shift'"},
      {core::kDeviceKeyboard, 0x00, "Keyboard 'Unknown'"},
      {core::kDeviceJoypad1, 7, "Joypad 1 'Button 8'"},
      {core::kDeviceJoypad1, 31, "Joypad 1 'Button 32'"},
      {core::kDeviceJoypad1, 32, "Joypad 1 'Left'"},
      {core::kDeviceJoypad2, 35, "Joypad 2 'Down'"},
      {core::kDeviceJoypad2, 50, "Joypad 2 'POV Up'"},
      {core::kDeviceJoypad2, 48, "Joypad 2 'POV Left'"},
      {core::kDeviceJoypad1, 40, "Joypad 1 ''"},  // an unused element has no name
      {core::kDeviceJoypad1, 64, "Joypad 1 'Unknown'"},
      {core::kDeviceJoypad1, -3, "Joypad 1 'Unknown'"},
      {core::kDeviceNone, 0x2A, ""},
      {7, 1, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(BindingText(c.device, c.code), c.text);
}

TEST(BindingText, DefaultsOfBothSets) {
  const core::BindingTable t = core::DefaultBindingTable();
  const char* set0[] = {"Keyboard 'Left Shift'", "Keyboard 'Right Shift'", "Keyboard 'Z'",
                        "Keyboard 'Space'",      "Keyboard 'Slash'",       "Keyboard 'Enter'"};
  const char* set1[] = {"Joypad 1 'Button 8'", "Joypad 1 'Button 7'", "Joypad 1 'Left'",
                        "Joypad 1 'Down'",     "Joypad 1 'Right'",    "Joypad 1 'Button 1'"};
  for (int a = 0; a < core::kActionCount; ++a) {
    EXPECT_EQ(BindingText(t.sets[0][a].device, t.sets[0][a].code), set0[a]);
    EXPECT_EQ(BindingText(t.sets[1][a].device, t.sets[1][a].code), set1[a]);
  }
  EXPECT_EQ(BindingText(t.sets[0][6].device, t.sets[0][6].code), "");
}

}  // namespace
}  // namespace input
