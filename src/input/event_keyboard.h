#pragma once
// A keyboard whose 256 key states are set by key events: the window's (the
// platform's event poll hands each key to it) or an input script's. It needs
// no device of its own, so headless runs and tests use it as they are.

#include <array>
#include <cstdint>
#include <span>

#include "input/devices.h"

namespace input {

class EventKeyboard final : public KeyboardDevice {
 public:
  bool Open() override;
  bool Acquire(bool on) override;
  void Release() override;
  KeyboardResult Read(std::span<uint8_t, 256> keys) override;

  // A key went down or up (a DirectInput code; 0 is ignored).
  void KeyEvent(uint8_t code, bool down);
  // Forgets every held key: the window lost the focus and will not hear the releases.
  void ReleaseAll() {
    keys_.fill(0);
    pressed_.fill(0);
  }
  bool held(uint8_t code) const { return keys_[code] != 0; }

 private:
  std::array<uint8_t, 256> keys_{};
  std::array<uint8_t, 256> pressed_{};  // went down since the last read
  bool open_ = false;
  bool acquired_ = false;
};

}  // namespace input
