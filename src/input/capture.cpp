#include "input/capture.h"

#include <algorithm>

namespace input {

namespace {

void Remember(Capture& c, const Controls& controls) {
  std::ranges::copy(controls.state.Keys(), c.previous_keys.begin());
  std::copy(controls.state.bytes.begin(),
            controls.state.bytes.begin() + kJoypadCount * kJoypadElements,
            c.previous_joypads.begin());
}

}  // namespace

void CaptureStart(Capture& capture, int32_t set, int32_t action) {
  capture.set = set;
  capture.action = action;
  capture.escape_seen = false;
  CaptureActivated(capture);
}

void CaptureActivated(Capture& capture) { capture.settle = kCaptureSettleTicks; }

CaptureResult CaptureTick(Capture& c, Controls& controls, InputDevices& devices,
                          core::BindingTable& bindings, bool primary_button_held) {
  if (c.settle > 0) {
    // A held mouse button (the player still on the dialog's button) holds the count.
    if (!primary_button_held) --c.settle;
    JoypadsDetect(controls, devices);
    controls.state.bytes.fill(0);
    KeyboardRead(controls, devices);
    JoypadRead(controls, devices, 0);
    JoypadRead(controls, devices, 1);
    Remember(c, controls);
    return CaptureResult::kSettling;
  }

  const size_t set = static_cast<size_t>(std::clamp(c.set, 0, core::kBindingSets - 1));
  const size_t action = static_cast<size_t>(std::clamp(c.action, 0, core::kBindingSlots - 1));
  auto keys = controls.state.Keys();
  std::ranges::fill(keys, 0);
  if (!KeyboardRead(controls, devices)) return CaptureResult::kWaiting;
  if (keys[kEscapeCode] & kHeld) c.escape_seen = true;

  core::ControlBinding taken{};
  // Escape and code 255 can never be bound.
  for (int code = 2; code <= 254 && taken.device == core::kDeviceNone; ++code) {
    const size_t k = static_cast<size_t>(code);
    if ((keys[k] & kHeld) && !(c.previous_keys[k] & kHeld)) taken = {core::kDeviceKeyboard, code};
  }
  if (taken.device == core::kDeviceNone) {
    std::fill(controls.state.bytes.begin(),
              controls.state.bytes.begin() + kJoypadCount * kJoypadElements, 0);
    JoypadRead(controls, devices, 0);
    JoypadRead(controls, devices, 1);
    for (int e = 0; e < kJoypadElements && taken.device == core::kDeviceNone; ++e) {
      for (int pad = 0; pad < kJoypadCount; ++pad) {
        const size_t k = static_cast<size_t>(pad * kJoypadElements + e);
        if ((controls.state.bytes[k] & kHeld) && !(c.previous_joypads[k] & kHeld)) {
          taken = {core::kDeviceJoypad1 + pad, e};
          break;
        }
      }
    }
  }
  if (taken.device != core::kDeviceNone) {
    bindings.sets[set][action] = taken;
    return CaptureResult::kBound;
  }
  if (c.escape_seen && !(keys[kEscapeCode] & kHeld)) {
    c.escape_seen = false;
    return CaptureResult::kCancelled;
  }
  Remember(c, controls);
  return CaptureResult::kWaiting;
}

}  // namespace input
