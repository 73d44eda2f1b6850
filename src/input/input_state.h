#pragma once
// The image of every control element the game can read: both joypads and the
// keyboard, one byte per element, 0x80 while the element is held.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace input {

inline constexpr uint8_t kHeld = 0x80;
inline constexpr int kJoypadCount = 2;
inline constexpr int kJoypadElements = 64;
inline constexpr int kKeyCount = 256;
inline constexpr size_t kInputStateSize = kJoypadCount * kJoypadElements + kKeyCount;  // 384

// Joypad elements.
inline constexpr int kJoypadButtons = 32;  // elements 0-31: buttons 1-32
inline constexpr int kStickLeft = 32;
inline constexpr int kStickRight = 33;
inline constexpr int kStickUp = 34;
inline constexpr int kStickDown = 35;
inline constexpr int kHatLeft = 48;
inline constexpr int kHatRight = 49;
inline constexpr int kHatUp = 50;
inline constexpr int kHatDown = 51;

// Bytes 0-63 joypad 1, 64-127 joypad 2, 128-383 the keyboard by scan code.
struct InputState {
  std::array<uint8_t, kInputStateSize> bytes{};

  std::span<uint8_t, kJoypadElements> Joypad(int n) {
    return std::span<uint8_t, kJoypadElements>(bytes.data() + n * kJoypadElements, kJoypadElements);
  }
  std::span<const uint8_t, kJoypadElements> Joypad(int n) const {
    return std::span<const uint8_t, kJoypadElements>(bytes.data() + n * kJoypadElements,
                                                     kJoypadElements);
  }
  std::span<uint8_t, kKeyCount> Keys() {
    return std::span<uint8_t, kKeyCount>(bytes.data() + kJoypadCount * kJoypadElements, kKeyCount);
  }
  std::span<const uint8_t, kKeyCount> Keys() const {
    return std::span<const uint8_t, kKeyCount>(bytes.data() + kJoypadCount * kJoypadElements,
                                               kKeyCount);
  }
};

}  // namespace input
