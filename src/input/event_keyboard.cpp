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
  // A key tapped since the last read (down and up between two reads) reads
  // as held this once: a tap is a press, however short.
  for (size_t k = 0; k < keys_.size(); ++k) keys[k] = keys_[k] | pressed_[k];
  pressed_.fill(0);
  return KeyboardResult::kOk;
}

void EventKeyboard::KeyEvent(uint8_t code, bool down) {
  if (code == 0) return;
  keys_[code] = down ? kHeld : 0;
  if (down) pressed_[code] = kHeld;
}

}  // namespace input
