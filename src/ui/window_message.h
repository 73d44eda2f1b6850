#pragma once
// The messages of the game window. Platform events (keys, mouse, focus,
// close requests) are translated into these, the 50 ms tick and the window
// commands travel the same way, and the window procedure handles them one at
// a time between frames.

#include <cstdint>

#include "core/window_commands.h"

namespace ui {

enum class MessageKind : uint8_t {
  kCreate,
  kDestroy,
  kMove,
  kSize,
  kDisplayChange,
  kPaint,
  kNonClientPaint,
  kClose,
  kActivateApp,  // param: 1 active, 0 inactive
  kSetCursor,
  kSystemCommand,
  kKeyDown,  // param: virtual key; shift: Shift held
  kKeyUp,
  kMouseMove,  // x, y in window pixels
  kLeftButtonDown,
  kLeftButtonUp,
  kRightButtonDown,
  kEnterMenuLoop,
  kExitMenuLoop,
  kPaletteChanged,
  kTimer,    // param: timer id (1: the 50 ms tick)
  kCommand,  // param: command number (low 16 bits); param2: its argument
  kQuit,
};

// Virtual key numbers carried by key messages (the usual PC key codes).
namespace vk {
inline constexpr int32_t kTab = 0x09;
inline constexpr int32_t kEnter = 0x0D;
inline constexpr int32_t kShift = 0x10;
inline constexpr int32_t kPause = 0x13;
inline constexpr int32_t kEscape = 0x1B;
inline constexpr int32_t kSpace = 0x20;
inline constexpr int32_t kLeft = 0x25;
inline constexpr int32_t kUp = 0x26;
inline constexpr int32_t kRight = 0x27;
inline constexpr int32_t kDown = 0x28;
inline constexpr int32_t kF1 = 0x70;
}  // namespace vk

struct Message {
  MessageKind kind = MessageKind::kPaint;
  int32_t param = 0;
  int32_t param2 = 0;
  int32_t x = 0, y = 0;
  bool shift = false;
};

inline Message KeyMessage(MessageKind kind, int32_t key, bool shift = false) {
  Message m;
  m.kind = kind;
  m.param = key;
  m.shift = shift;
  return m;
}
inline Message MouseMessage(MessageKind kind, int32_t x, int32_t y) {
  Message m;
  m.kind = kind;
  m.x = x;
  m.y = y;
  return m;
}
inline Message CommandMessage(int32_t command, int32_t argument = 0) {
  Message m;
  m.kind = MessageKind::kCommand;
  m.param = command;
  m.param2 = argument;
  return m;
}

// Translates a keyboard scan code (the stored DirectInput code set) to the
// virtual key of the window messages. Keys the window gives no name of their
// own become 0x100 + the scan code, so they still count as "a key"; 0 stays 0.
int32_t VirtualKeyFromScanCode(int32_t scan_code);

}  // namespace ui
