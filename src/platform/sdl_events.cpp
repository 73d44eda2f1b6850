#include "platform/sdl_events.h"

#include <SDL.h>

#include "input/event_keyboard.h"
#include "platform/scancodes.h"
#include "platform/sdl_input.h"

namespace platform {

bool TranslateEvent(const SDL_Event& e, Event& out) {
  out = Event{};
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      out.kind = e.type == SDL_KEYDOWN ? EventKind::kKeyDown : EventKind::kKeyUp;
      out.key = DiCodeOfScancode(e.key.keysym.scancode);
      out.repeat = e.key.repeat != 0;
      out.alt = (e.key.keysym.mod & KMOD_ALT) != 0;
      return true;
    case SDL_MOUSEMOTION:
      out.kind = EventKind::kMouseMove;
      out.x = e.motion.x;
      out.y = e.motion.y;
      return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      out.kind = e.type == SDL_MOUSEBUTTONDOWN ? EventKind::kMouseDown : EventKind::kMouseUp;
      out.x = e.button.x;
      out.y = e.button.y;
      out.button = e.button.button;
      return true;
    case SDL_QUIT:
      // SDL sends this for TERM and INT; closing the last window does not
      // send it (the display turns that off), so it is never the close button.
      out.kind = EventKind::kTerminate;
      return true;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          out.kind = EventKind::kFocusGained;
          return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          out.kind = EventKind::kFocusLost;
          return true;
        case SDL_WINDOWEVENT_CLOSE:
          out.kind = EventKind::kClose;
          return true;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          out.kind = EventKind::kResized;
          out.width = e.window.data1;
          out.height = e.window.data2;
          return true;
        case SDL_WINDOWEVENT_EXPOSED:
          out.kind = EventKind::kExposed;
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

bool PollEvent(Event& out, input::EventKeyboard* keyboard) {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (!TranslateEvent(e, out)) continue;
    if (keyboard != nullptr) {
      if (out.kind == EventKind::kKeyDown || out.kind == EventKind::kKeyUp) {
        keyboard->KeyEvent(out.key, out.kind == EventKind::kKeyDown);
      } else if (out.kind == EventKind::kFocusLost) {
        keyboard->ReleaseAll();
      }
    }
    return true;
  }
  return false;
}

bool WaitForEvent(int32_t timeout_ms) { return SDL_WaitEventTimeout(nullptr, timeout_ms) == 1; }

}  // namespace platform
