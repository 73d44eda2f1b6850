#pragma once
// What each action is bound to: one element of one device. The binding table
// is stored in the game data file, so its layout is fixed: two sets of 16
// slots, each slot a device and a code as two little-endian 32-bit values.

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/byte_io.h"

namespace core {

// Devices of a binding.
inline constexpr int32_t kDeviceNone = 0;
inline constexpr int32_t kDeviceKeyboard = 1;
inline constexpr int32_t kDeviceJoypad1 = 2;
inline constexpr int32_t kDeviceJoypad2 = 3;

// The six actions; the action number is the slot index in a binding set.
enum Action : int {
  kActionLeftFlipper = 0,
  kActionRightFlipper = 1,
  kActionNudgeLeft = 2,  // nudge from the left
  kActionNudgeUp = 3,
  kActionNudgeRight = 4,  // nudge from the right
  kActionStart = 5,
};
inline constexpr int kActionCount = 6;

struct ControlBinding {
  int32_t device = kDeviceNone;  // kDevice*
  int32_t code = 0;              // scan code 0-255 (keyboard) or element 0-63 (joypad)
  friend bool operator==(const ControlBinding&, const ControlBinding&) = default;
};

inline constexpr int kBindingSets = 2;    // set 0 is played; set 1 is only kept
inline constexpr int kBindingSlots = 16;  // slots 6-15 are unused (device 0)
inline constexpr size_t kBindingTableSize = kBindingSets * kBindingSlots * 8;  // 256 bytes

using BindingSet = std::array<ControlBinding, kBindingSlots>;

struct BindingTable {
  std::array<BindingSet, kBindingSets> sets{};
  friend bool operator==(const BindingTable&, const BindingTable&) = default;
};

// The bindings of a fresh installation: set 0 on the keyboard, set 1 on joypad 1.
constexpr BindingTable DefaultBindingTable() {
  BindingTable t{};
  t.sets[0][kActionLeftFlipper] = {kDeviceKeyboard, 0x2A};   // Left Shift
  t.sets[0][kActionRightFlipper] = {kDeviceKeyboard, 0x36};  // Right Shift
  t.sets[0][kActionNudgeLeft] = {kDeviceKeyboard, 0x2C};     // Z
  t.sets[0][kActionNudgeUp] = {kDeviceKeyboard, 0x39};       // Space
  t.sets[0][kActionNudgeRight] = {kDeviceKeyboard, 0x35};    // Slash
  t.sets[0][kActionStart] = {kDeviceKeyboard, 0x1C};         // Enter
  t.sets[1][kActionLeftFlipper] = {kDeviceJoypad1, 7};       // Button 8
  t.sets[1][kActionRightFlipper] = {kDeviceJoypad1, 6};      // Button 7
  t.sets[1][kActionNudgeLeft] = {kDeviceJoypad1, 32};        // stick left
  t.sets[1][kActionNudgeUp] = {kDeviceJoypad1, 35};          // stick down
  t.sets[1][kActionNudgeRight] = {kDeviceJoypad1, 33};       // stick right
  t.sets[1][kActionStart] = {kDeviceJoypad1, 0};             // Button 1
  return t;
}

// Writes the 256-byte stored form: set 0 then set 1, device then code per slot.
inline void WriteBindingTable(ByteWriter& w, const BindingTable& t) {
  for (const auto& set : t.sets) {
    for (const auto& b : set) {
      w.I32(b.device);
      w.I32(b.code);
    }
  }
}

// Reads the stored form; false (table unchanged) when fewer than 256 bytes remain.
inline bool ReadBindingTable(ByteReader& r, BindingTable& t) {
  if (r.remaining() < kBindingTableSize) return false;
  for (auto& set : t.sets) {
    for (auto& b : set) {
      b.device = r.I32();
      b.code = r.I32();
    }
  }
  return true;
}

}  // namespace core
