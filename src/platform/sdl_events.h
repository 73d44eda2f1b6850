#pragma once
// SDL's events as the few kinds the game's window procedure handles, keys
// already in the DirectInput code set.

#include <cstdint>

union SDL_Event;

namespace input {
class EventKeyboard;
}

namespace platform {

enum class EventKind {
  kKeyDown,
  kKeyUp,
  kMouseMove,
  kMouseDown,
  kMouseUp,
  kFocusGained,
  kFocusLost,
  kClose,    // the window's close button
  kResized,  // width and height: the window's new size
  kExposed,  // the window needs its picture again
  // The program is asked to end (a TERM or INT signal, the session ending);
  // never the window's close button, which is kClose alone.
  kTerminate,
};

struct Event {
  EventKind kind = EventKind::kTerminate;
  uint8_t key = 0;       // DirectInput code (key events); 0 for a key without one
  bool repeat = false;   // a key held down repeating
  bool alt = false;      // an Alt key was held (key events)
  int32_t x = 0, y = 0;  // mouse position in picture pixels
  int32_t button = 0;    // 1 left, 2 middle, 3 right
  int32_t width = 0, height = 0;
};

// Translates one SDL event; false for events the game does not handle.
bool TranslateEvent(const SDL_Event& e, Event& out);

// The next event the game handles, or false when the queue is empty. Key
// events also update the keyboard's state; losing the focus releases its keys.
bool PollEvent(Event& out, input::EventKeyboard* keyboard);
// Blocks until an event arrives or `timeout_ms` passes; true when one is waiting.
bool WaitForEvent(int32_t timeout_ms);

// Whether the event is Alt+Enter or F11, which switch between window and full screen.
inline bool IsFullscreenToggle(const Event& e) {
  if (e.kind != EventKind::kKeyDown || e.repeat) return false;
  if (e.key == 0x57) return true;  // F11, with or without modifiers
  return e.alt && (e.key == 0x1C || e.key == 0x9C);
}

}  // namespace platform
