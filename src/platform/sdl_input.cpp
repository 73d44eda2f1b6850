#include "platform/sdl_input.h"

#include <SDL.h>

#include <algorithm>

namespace platform {

uint32_t HatHundredths(uint8_t hat) {
  switch (hat) {
    case SDL_HAT_UP:
      return 0;
    case SDL_HAT_RIGHTUP:
      return 4500;
    case SDL_HAT_RIGHT:
      return 9000;
    case SDL_HAT_RIGHTDOWN:
      return 13500;
    case SDL_HAT_DOWN:
      return 18000;
    case SDL_HAT_LEFTDOWN:
      return 22500;
    case SDL_HAT_LEFT:
      return 27000;
    case SDL_HAT_LEFTUP:
      return 31500;
    default:
      return input::kHatCentred;  // centred, or opposite directions at once
  }
}

uint32_t AxisPosition(int16_t axis) { return static_cast<uint32_t>(axis + 32768); }

SdlJoypads::SdlJoypads() { ready_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0; }

SdlJoypads::~SdlJoypads() {
  Close();
  if (ready_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void SdlJoypads::Close() {
  for (auto& s : sticks_) {
    if (s != nullptr) SDL_JoystickClose(s);
    s = nullptr;
  }
}

int SdlJoypads::DeviceCount() { return ready_ ? SDL_NumJoysticks() : 0; }

bool SdlJoypads::Read(int joypad, input::JoypadPosition& out) {
  if (!ready_ || joypad < 0 || joypad > 1) return false;
  SDL_Joystick*& stick = sticks_[static_cast<size_t>(joypad)];
  if (stick != nullptr && !SDL_JoystickGetAttached(stick)) {
    SDL_JoystickClose(stick);
    stick = nullptr;
  }
  if (stick == nullptr) {
    if (joypad >= SDL_NumJoysticks()) return false;
    stick = SDL_JoystickOpen(joypad);
    if (stick == nullptr) return false;
  }
  SDL_JoystickUpdate();
  if (!SDL_JoystickGetAttached(stick)) return false;
  out = input::JoypadPosition{};
  if (SDL_JoystickNumAxes(stick) >= 2) {
    out.x = AxisPosition(SDL_JoystickGetAxis(stick, 0));
    out.y = AxisPosition(SDL_JoystickGetAxis(stick, 1));
  }
  const int buttons = std::min(SDL_JoystickNumButtons(stick), 32);
  for (int b = 0; b < buttons; ++b) {
    if (SDL_JoystickGetButton(stick, b)) out.buttons |= 1u << b;
  }
  if (SDL_JoystickNumHats(stick) >= 1) out.hat = HatHundredths(SDL_JoystickGetHat(stick, 0));
  return true;
}

uint32_t SdlInputClock::Milliseconds() { return SDL_GetTicks(); }

void SdlInputClock::Sleep(uint32_t ms) { SDL_Delay(ms); }

}  // namespace platform
