#include "input/event_keyboard.h"

#include <algorithm>

#include "input/input_state.h"

namespace input {

bool EventKeyboard::Open() {
  open_ = true;
  return true;
}

bool EventKeyboard::Acquire(bool on) {
  if (!open_) return false;
  acquired_ = on;
  if (!on) ReleaseAll();
  return true;
}

void EventKeyboard::Release() {
  open_ = acquired_ = false;
  ReleaseAll();
}

KeyboardResult EventKeyboard::Read(std::span<uint8_t, 256> keys) {
  if (!open_) return KeyboardResult::kFailed;
  if (!acquired_) return KeyboardResult::kNotAcquired;
  std::copy(keys_.begin(), keys_.end(), keys.begin());
  return KeyboardResult::kOk;
}

void EventKeyboard::KeyEvent(uint8_t code, bool down) {
  if (code != 0) keys_[code] = down ? kHeld : 0;
}

}  // namespace input
