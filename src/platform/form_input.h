#pragma once
// What the forms read from the window: keys, the mouse, typed text and the
// wheel, taken as events and handed to Dear ImGui a frame at a time, so that
// a key tapped between two frames (down and up within a few milliseconds) is
// still a press: each key and button changes at most once a frame, the rest
// waits for the next. A key already held when the forms opened (an Enter
// held for the plunger) is not a press; nor is a key's auto-repeat.
//
// Mouse positions are the window's own pixels, the space the forms are
// drawn in (the display drops the picture's scaling while forms show), read
// from the events themselves rather than from the pointer's place on the
// screen, which a window manager's frame shifts.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

union SDL_Event;
struct ImGuiIO;

namespace platform {

// The key index Dear ImGui's "activate" reads: down while Space, Enter or
// the keypad's Enter is, so that Enter presses the focused button as Space does.
inline constexpr int kActivateKeyIndex = 511;

class FormInput {
 public:
  // Takes one window event; false when it is none of the forms' business.
  bool Take(const SDL_Event& e);
  // A form opens: the keys held now are held from before, and their presses
  // never reach it. `first`: no form was open, so what the forms last heard
  // is forgotten and the pointer is taken where it is now.
  // `held` tells of keys the game heard go down (may be empty).
  void HoldFromBefore(bool first, const std::function<bool(int scancode)>& held);
  // Hands what is due to ImGui for the next frame. True when anything
  // changed; `keys` is set when a key went down (a keyboard user).
  bool Apply(ImGuiIO& io, bool& keys);
  // Forgets every held key and button (the window lost the focus).
  void ReleaseAll(ImGuiIO& io);
  bool Pending() const { return !queue_.empty(); }
  float mouse_x() const { return mouse_x_; }
  float mouse_y() const { return mouse_y_; }

 private:
  enum class Kind { kKey, kButton, kMove, kText, kWheel };
  struct Item {
    Kind kind = Kind::kKey;
    int code = 0;  // the key's scancode or the button (0 left, 1 right, 2 middle)
    bool down = false;
    float x = 0, y = 0;  // the mouse position (moves and buttons), the wheel's steps
    uint16_t mod = 0;    // the modifier keys with the key
    std::string text;
  };
  std::deque<Item> queue_;
  std::array<bool, 512> keys_{};     // what ImGui was told
  std::array<bool, 512> ignored_{};  // held since before the forms: ignored until released
  std::array<bool, 5> buttons_{};
  float mouse_x_ = -1.0e9f, mouse_y_ = -1.0e9f;
};

}  // namespace platform
