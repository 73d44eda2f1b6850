#pragma once
// Scripted keyboard, joypads and clock for the controls tests.

#include <array>
#include <cstdint>
#include <deque>

#include "input/devices.h"

namespace input {

class FakeClock final : public InputClock {
 public:
  uint32_t now = 1000;
  int sleeps = 0;
  uint32_t Milliseconds() override { return now; }
  void Sleep(uint32_t ms) override {
    now += ms;
    ++sleeps;
  }
};

class FakeKeyboard final : public KeyboardDevice {
 public:
  std::array<uint8_t, 256> keys{};
  bool acquired = true;
  bool fail_acquire = false;
  bool fail_read = false;
  int reads = 0;

  bool Open() override { return true; }
  bool Acquire(bool on) override {
    if (on && fail_acquire) return false;
    acquired = on;
    return true;
  }
  void Release() override {}
  KeyboardResult Read(std::span<uint8_t, 256> out) override {
    ++reads;
    if (fail_read) {
      out[0x10] = 0x80;  // a failing device may scribble; nothing of it may show
      return KeyboardResult::kFailed;
    }
    if (!acquired) return KeyboardResult::kNotAcquired;
    std::copy(keys.begin(), keys.end(), out.begin());
    return KeyboardResult::kOk;
  }
  void Press(int code) { keys[static_cast<size_t>(code)] = 0x80; }
};

// Each read takes `read_ms[n]` of the clock; `fail_after[n]` reads succeed, then all fail.
class FakeJoypads final : public JoypadDevice {
 public:
  explicit FakeJoypads(FakeClock& clock) : clock_(clock) {}
  int devices = 2;
  std::array<JoypadPosition, 2> pos{};
  std::array<uint32_t, 2> read_ms{0, 0};
  std::array<int, 2> fail_after{1 << 30, 1 << 30};
  std::array<int, 2> reads{0, 0};

  int DeviceCount() override { return devices; }
  bool Read(int n, JoypadPosition& out) override {
    if (n < 0 || n > 1) return false;
    const size_t i = static_cast<size_t>(n);
    clock_.now += read_ms[i];
    if (reads[i]++ >= fail_after[i]) return false;
    out = pos[i];
    return true;
  }

 private:
  FakeClock& clock_;
};

}  // namespace input
