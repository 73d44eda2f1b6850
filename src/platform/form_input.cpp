#include "platform/form_input.h"

#include <SDL.h>
#include <imgui.h>

namespace platform {

namespace {

int ButtonIndex(uint8_t sdl_button) {
  switch (sdl_button) {
    case SDL_BUTTON_LEFT:
      return 0;
    case SDL_BUTTON_RIGHT:
      return 1;
    case SDL_BUTTON_MIDDLE:
      return 2;
    default:
      return -1;
  }
}

}  // namespace

bool FormInput::Take(const SDL_Event& e) {
  Item it;
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const int code = e.key.keysym.scancode;
      if (code <= 0 || code >= kActivateKeyIndex) return false;
      if (e.type == SDL_KEYDOWN && e.key.repeat != 0) return true;  // ImGui repeats by itself
      it.kind = Kind::kKey;
      it.code = code;
      it.down = e.type == SDL_KEYDOWN;
      it.mod = e.key.keysym.mod;
      break;
    }
    case SDL_MOUSEMOTION:
      it.kind = Kind::kMove;
      it.x = static_cast<float>(e.motion.x);
      it.y = static_cast<float>(e.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      it.kind = Kind::kButton;
      it.code = ButtonIndex(e.button.button);
      if (it.code < 0) return false;
      it.down = e.type == SDL_MOUSEBUTTONDOWN;
      it.x = static_cast<float>(e.button.x);
      it.y = static_cast<float>(e.button.y);
      break;
    case SDL_MOUSEWHEEL:
      it.kind = Kind::kWheel;
      it.x = static_cast<float>(e.wheel.x);
      it.y = static_cast<float>(e.wheel.y);
      break;
    case SDL_TEXTINPUT:
      it.kind = Kind::kText;
      it.text = e.text.text;
      break;
    default:
      return false;
  }
  queue_.push_back(std::move(it));
  return true;
}

void FormInput::HoldFromBefore(bool first, const std::function<bool(int)>& held) {
  if (first) {
    queue_.clear();
    keys_.fill(false);
    buttons_.fill(false);
    ignored_.fill(false);
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    mouse_x_ = static_cast<float>(x);
    mouse_y_ = static_cast<float>(y);
  }
  const Uint8* state = SDL_GetKeyboardState(nullptr);
  for (int k = 1; k < kActivateKeyIndex; ++k) {
    const bool down = (state != nullptr && state[k]) || (held && held(k));
    if (down && !keys_[static_cast<size_t>(k)]) {
      ignored_[static_cast<size_t>(k)] = true;
    }
  }
  // Presses already queued for keys held from before are theirs too.
  for (const Item& it : queue_) {
    if (it.kind == Kind::kKey && it.down) ignored_[static_cast<size_t>(it.code)] = true;
  }
}

bool FormInput::Apply(ImGuiIO& io, bool& keys) {
  keys = false;
  std::array<bool, 512> key_changed{};
  std::array<bool, 5> button_changed{};
  bool any_button_changed = false;
  bool changed = false;
  while (!queue_.empty()) {
    Item& it = queue_.front();
    if (it.kind == Kind::kKey) {
      const size_t k = static_cast<size_t>(it.code);
      if (ignored_[k]) {
        if (!it.down) ignored_[k] = false;  // released: its next press counts
        queue_.pop_front();
        continue;
      }
      if (key_changed[k]) break;  // its next change waits a frame
      if (keys_[k] != it.down) {
        keys_[k] = it.down;
        key_changed[k] = true;
        keys = keys || it.down;
      }
      io.KeyCtrl = (it.mod & KMOD_CTRL) != 0;
      io.KeyShift = (it.mod & KMOD_SHIFT) != 0;
      io.KeyAlt = (it.mod & KMOD_ALT) != 0;
      io.KeySuper = (it.mod & KMOD_GUI) != 0;
    } else if (it.kind == Kind::kButton) {
      const size_t b = static_cast<size_t>(it.code);
      if (button_changed[b]) break;
      // A click lands where it was made, even when the pointer moved on.
      mouse_x_ = it.x;
      mouse_y_ = it.y;
      buttons_[b] = it.down;
      button_changed[b] = true;
      any_button_changed = true;
    } else if (it.kind == Kind::kMove) {
      if (any_button_changed) break;  // the move after a click waits a frame
      mouse_x_ = it.x;
      mouse_y_ = it.y;
    } else if (it.kind == Kind::kWheel) {
      io.MouseWheelH += it.x;
      io.MouseWheel += it.y;
    } else {
      io.AddInputCharactersUTF8(it.text.c_str());
    }
    queue_.pop_front();
    changed = true;
  }
  for (size_t k = 1; k < static_cast<size_t>(kActivateKeyIndex); ++k) io.KeysDown[k] = keys_[k];
  io.KeysDown[kActivateKeyIndex] =
      keys_[SDL_SCANCODE_SPACE] || keys_[SDL_SCANCODE_RETURN] || keys_[SDL_SCANCODE_KP_ENTER];
  for (size_t b = 0; b < 3; ++b) io.MouseDown[b] = buttons_[b];
  io.MousePos = ImVec2(mouse_x_, mouse_y_);
  return changed;
}

void FormInput::ReleaseAll(ImGuiIO& io) {
  queue_.clear();
  keys_.fill(false);
  buttons_.fill(false);
  ignored_.fill(false);
  for (bool& k : io.KeysDown) k = false;
  for (bool& b : io.MouseDown) b = false;
  io.KeyCtrl = io.KeyShift = io.KeyAlt = io.KeySuper = false;
}

}  // namespace platform
