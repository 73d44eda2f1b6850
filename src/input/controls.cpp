#include "input/controls.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace input {

uint32_t SteadyInputClock::Milliseconds() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SteadyInputClock::Sleep(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool KeyboardOpen(InputDevices& devices) {
  return devices.keyboard != nullptr && devices.keyboard->Open();
}

bool KeyboardAcquire(InputDevices& devices, bool on) {
  return devices.keyboard != nullptr && devices.keyboard->Acquire(on);
}

void KeyboardRelease(InputDevices& devices) {
  if (devices.keyboard != nullptr) {
    devices.keyboard->Acquire(false);
    devices.keyboard->Release();
  }
}

bool KeyboardRead(Controls& controls, InputDevices& devices) {
  if (devices.keyboard == nullptr) return false;
  // Read into a scratch copy so that a failed read never leaves half a state.
  std::array<uint8_t, kKeyCount> keys{};
  KeyboardResult r = devices.keyboard->Read(keys);
  if (r == KeyboardResult::kNotAcquired) {
    if (!devices.keyboard->Acquire(true)) return false;
    r = devices.keyboard->Read(keys);
  }
  if (r != KeyboardResult::kOk) return false;
  std::ranges::copy(keys, controls.state.Keys().begin());
  return true;
}

bool JoypadsDetect(Controls& controls, InputDevices& devices) {
  controls.joypad_present = {true, true};
  if (devices.joypads == nullptr || devices.joypads->DeviceCount() <= 0) {
    controls.joypad_present = {false, false};
    return false;
  }
  for (int n = 0; n < kJoypadCount; ++n) {
    JoypadPosition p;
    // Let the driver settle: a burst of reads with short pauses, then the one that counts.
    for (int i = 0; i < 100; ++i) {
      devices.joypads->Read(n, p);
      if (i % 10 == 0 && devices.clock != nullptr) devices.clock->Sleep(1);
    }
    if (!devices.joypads->Read(n, p)) controls.joypad_present[static_cast<size_t>(n)] = false;
  }
  return controls.joypad_present[0];
}

void SetJoypadElements(const JoypadPosition& p, std::span<uint8_t, kJoypadElements> e) {
  for (int b = 0; b < kJoypadButtons; ++b) {
    if (p.buttons & (1u << b)) e[static_cast<size_t>(b)] = kHeld;
  }
  // The threshold bounds themselves count as centred.
  if (p.x < kAxisCentre - kAxisThreshold) e[kStickLeft] = kHeld;
  if (p.x > kAxisCentre + kAxisThreshold) e[kStickRight] = kHeld;
  if (p.y < kAxisCentre - kAxisThreshold) e[kStickUp] = kHeld;
  if (p.y > kAxisCentre + kAxisThreshold) e[kStickDown] = kHeld;
  if (p.hat < 36000) {
    // Eight sectors of 45 degrees, centred on the four directions and the diagonals.
    const uint32_t h = p.hat;
    if (h <= 6750 || h >= 29251) e[kHatUp] = kHeld;
    if (h >= 2251 && h <= 15750) e[kHatRight] = kHeld;
    if (h >= 11251 && h <= 24750) e[kHatDown] = kHeld;
    if (h >= 20251 && h <= 33750) e[kHatLeft] = kHeld;
  }
}

bool JoypadRead(Controls& controls, InputDevices& devices, int n) {
  if (n < 0 || n >= kJoypadCount) return false;
  auto elements = controls.state.Joypad(n);
  std::ranges::fill(elements, 0);
  const size_t i = static_cast<size_t>(n);
  if (!controls.joypad_present[i] || devices.joypads == nullptr) return false;
  const uint32_t start = devices.clock != nullptr ? devices.clock->Milliseconds() : 0;
  JoypadPosition p;
  if (!devices.joypads->Read(n, p)) {
    controls.joypad_present[i] = false;
    return false;
  }
  SetJoypadElements(p, elements);
  const uint32_t took = devices.clock != nullptr ? devices.clock->Milliseconds() - start : 0;
  if (took <= kSlowJoypadReadMs) return true;
  // A slow read often means the pad was pulled out: ask once more so that a
  // missing pad is marked absent and stops slowing every frame.
  JoypadPosition again;
  if (!devices.joypads->Read(n, again)) {
    controls.joypad_present[i] = false;
    return false;
  }
  return true;
}

bool ActionHeld(const InputState& state, int32_t device, int32_t code) {
  if (code < 0) return false;
  switch (device) {
    case core::kDeviceKeyboard:
      return code < kKeyCount && (state.Keys()[static_cast<size_t>(code)] & kHeld) != 0;
    case core::kDeviceJoypad1:
    case core::kDeviceJoypad2:
      return code < kJoypadElements &&
             (state.Joypad(device - core::kDeviceJoypad1)[static_cast<size_t>(code)] & kHeld) != 0;
    default:
      return false;
  }
}

void ReadActions(Controls& controls, InputDevices& devices, const core::BindingTable& bindings,
                 bool computer_playing) {
  KeyboardRead(controls, devices);
  if (computer_playing) return;
  const core::BindingSet& set = bindings.sets[0];
  bool uses[kJoypadCount] = {false, false};
  for (int a = 0; a < core::kActionCount; ++a) {
    const int32_t d = set[static_cast<size_t>(a)].device;
    if (d == core::kDeviceJoypad1) uses[0] = true;
    if (d == core::kDeviceJoypad2) uses[1] = true;
  }
  if (devices.joypads != nullptr) {
    const uint32_t generation = devices.joypads->Generation();
    if (generation != controls.joypad_generation) {
      // A pad came or went: the flags follow at once, without the settling reads.
      controls.joypad_generation = generation;
      for (int n = 0; n < kJoypadCount; ++n) {
        JoypadPosition p;
        controls.joypad_present[static_cast<size_t>(n)] = devices.joypads->Read(n, p);
      }
    }
  }
  for (int n = 0; n < kJoypadCount; ++n) {
    if (uses[n]) JoypadRead(controls, devices, n);
  }
  const uint32_t pad_defaults = devices.joypads != nullptr && !uses[0] && !uses[1]
                                    ? devices.joypads->StandardPadActions()
                                    : 0;
  for (int a = 0; a < core::kActionCount; ++a) {
    const bool held =
        ActionHeld(controls.state, set[static_cast<size_t>(a)]) || (pad_defaults & (1u << a)) != 0;
    controls.actions[static_cast<size_t>(a)] = held ? 1 : 0;
  }
}

}  // namespace input
