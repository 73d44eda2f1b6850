#pragma once
// The small device interfaces the controls read through. The game implements
// them on SDL (src/platform); tests use fakes.

#include <cstdint>
#include <span>

namespace input {

// Result of asking the keyboard for its state.
enum class KeyboardResult {
  kOk,
  kNotAcquired,  // input was lost or the device is not acquired: acquire and ask again
  kFailed,
};

// The system keyboard as 256 key states indexed by DirectInput scan code
// (0x80 while held). Codes 0x80 and above are the extended keys.
class KeyboardDevice {
 public:
  virtual ~KeyboardDevice() = default;
  virtual bool Open() = 0;
  virtual bool Acquire(bool on) = 0;
  virtual void Release() = 0;
  virtual KeyboardResult Read(std::span<uint8_t, 256> keys) = 0;
};

// A centred hat reads this (any value of 36000 or more counts as centred).
inline constexpr uint32_t kHatCentred = 0xFFFF;

// One reading of a joypad.
struct JoypadPosition {
  uint32_t x = 32768;          // stick, 0 (left) to 65535 (right); centre 32768
  uint32_t y = 32768;          // stick, 0 (up) to 65535 (down)
  uint32_t buttons = 0;        // bit b: button b + 1 held
  uint32_t hat = kHatCentred;  // hundredths of a degree clockwise from straight up
};

class JoypadDevice {
 public:
  virtual ~JoypadDevice() = default;
  // Number of joystick devices the system knows of.
  virtual int DeviceCount() = 0;
  // Reads joypad 0 or 1; false when it is missing or the read failed.
  virtual bool Read(int joypad, JoypadPosition& out) = 0;
  // A number that changes whenever a pad is plugged in or pulled out, so
  // that the controls look for pads again (0 for devices that cannot tell).
  virtual uint32_t Generation() { return 0; }
  // What game controllers of a known layout hold by their own defaults
  // (bit a: core action a), played while no binding names a joypad.
  virtual uint32_t StandardPadActions() { return 0; }
};

// Milliseconds for timing joypad reads, and the short pauses of detection.
class InputClock {
 public:
  virtual ~InputClock() = default;
  virtual uint32_t Milliseconds() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// The machine's monotonic clock.
class SteadyInputClock final : public InputClock {
 public:
  uint32_t Milliseconds() override;
  void Sleep(uint32_t ms) override;
};

}  // namespace input
