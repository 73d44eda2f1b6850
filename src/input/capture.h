#pragma once
// Capturing a new binding: the capture dialog calls CaptureTick on every tick
// of the 50 ms timer. A few settling ticks first learn what is already held, so
// that only an element pressed afresh is bound; Escape (released) cancels.

#include <array>
#include <cstdint>

#include "core/control_binding.h"
#include "input/controls.h"

namespace input {

inline constexpr int32_t kCaptureSettleTicks = 5;
inline constexpr uint8_t kEscapeCode = 0x01;

struct Capture {
  int32_t set = 0;
  int32_t action = 0;
  int32_t settle = 0;  // settling ticks still to run
  bool escape_seen = false;
  std::array<uint8_t, kKeyCount> previous_keys{};
  std::array<uint8_t, kJoypadCount * kJoypadElements> previous_joypads{};
};

enum class CaptureResult {
  kSettling,   // still settling; the caller brings the game window to the front
               // unless the primary mouse button is held (then the count waits)
  kWaiting,    // nothing new held yet
  kBound,      // the binding was stored: close the capture dialog with OK
  kCancelled,  // Escape was pressed and released: close with Cancel
};

// The capture dialog opened (or became active again) for one set and action.
void CaptureStart(Capture& capture, int32_t set, int32_t action);
void CaptureActivated(Capture& capture);

CaptureResult CaptureTick(Capture& capture, Controls& controls, InputDevices& devices,
                          core::BindingTable& bindings, bool primary_button_held);

}  // namespace input
