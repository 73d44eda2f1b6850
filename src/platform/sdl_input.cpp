#include "platform/sdl_input.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/control_binding.h"
#include "platform/os/files.h"

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

std::string GameControllerDbPath(const char* xdg_config_home, const char* home) {
  std::string base;
  if (xdg_config_home != nullptr && xdg_config_home[0] == '/') {
    base = xdg_config_home;
  } else if (home != nullptr && home[0] != '\0') {
    base = std::string(home) + "/.config";
  } else {
    return {};
  }
  return base + "/gfall/gamecontrollerdb.txt";
}

std::string SdlJoypads::DefaultMappingsFile() {
  if (std::filesystem::path own = os::UserDataFolder(); !own.empty()) {
    return (own / "gamecontrollerdb.txt").string();
  }
  return GameControllerDbPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

uint32_t StandardPadDefaults(const StandardPadState& s) {
  // Half way for a nudge, so that resting a thumb on the stick never tilts;
  // a quarter of a trigger's travel flips.
  constexpr int kStick = 16000, kTrigger = 8000;
  uint32_t bits = 0;
  auto set = [&bits](core::Action a) { bits |= 1u << a; };
  if (s.left_shoulder || s.left_trigger > kTrigger) set(core::kActionLeftFlipper);
  if (s.right_shoulder || s.right_trigger > kTrigger) set(core::kActionRightFlipper);
  if (s.a) set(core::kActionStart);
  if (s.left_x < -kStick) set(core::kActionNudgeLeft);
  if (s.left_x > kStick) set(core::kActionNudgeRight);
  // Up: the stick pushed away, as the cabinet is shoved.
  if (s.left_y < -kStick) set(core::kActionNudgeUp);
  return bits;
}

SdlJoypads::SdlJoypads(const std::string& mappings_file) {
  // The game-controller subsystem brings the joystick one and SDL's mapping
  // database (which also reads SDL_GAMECONTROLLERCONFIG).
  ready_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  if (!ready_) return;
  if (!mappings_file.empty()) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(mappings_file, ec)) {
      mappings_added_ = std::max(0, SDL_GameControllerAddMappingsFromFile(mappings_file.c_str()));
    }
  }
  SDL_AddEventWatch(&SdlJoypads::Watch, this);
}

SdlJoypads::~SdlJoypads() {
  if (ready_) SDL_DelEventWatch(&SdlJoypads::Watch, this);
  Close();
  if (ready_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

int SdlJoypads::Watch(void* self, SDL_Event* event) {
  // Only counted here: SDL calls this while it adds or removes the device,
  // so the pads are opened and closed later, at the next read.
  if (event->type == SDL_JOYDEVICEADDED || event->type == SDL_JOYDEVICEREMOVED ||
      event->type == SDL_CONTROLLERDEVICEREMAPPED) {
    static_cast<SdlJoypads*>(self)->events_.fetch_add(1);
  }
  return 1;
}

void SdlJoypads::Close() {
  for (Pad& p : pads_) {
    if (p.controller != nullptr) {
      SDL_GameControllerClose(p.controller);  // closes its joystick too
    } else if (p.stick != nullptr) {
      SDL_JoystickClose(p.stick);
    }
    p = Pad{};
  }
}

void SdlJoypads::Sync() {
  const uint32_t seen = events_.load();
  if (!ready_ || seen == synced_) return;
  synced_ = seen;
  SDL_JoystickUpdate();
  // Pulled out: free the slot.
  for (Pad& p : pads_) {
    if (p.stick != nullptr && !SDL_JoystickGetAttached(p.stick)) {
      if (p.controller != nullptr) {
        SDL_GameControllerClose(p.controller);
      } else {
        SDL_JoystickClose(p.stick);
      }
      p = Pad{};
    }
  }
  // Plugged in (or there at start): the first free slot.
  const int count = SDL_NumJoysticks();
  for (int index = 0; index < count; ++index) {
    const int32_t instance = SDL_JoystickGetDeviceInstanceID(index);
    bool open = false;
    for (const Pad& p : pads_) open = open || (p.stick != nullptr && p.instance == instance);
    if (open) continue;
    Pad* slot = nullptr;
    for (Pad& p : pads_) {
      if (p.stick == nullptr) {
        slot = &p;
        break;
      }
    }
    if (slot == nullptr) break;
    Pad pad;
    if (SDL_IsGameController(index)) {
      pad.controller = SDL_GameControllerOpen(index);
      if (pad.controller != nullptr) pad.stick = SDL_GameControllerGetJoystick(pad.controller);
    }
    if (pad.stick == nullptr) pad.stick = SDL_JoystickOpen(index);
    if (pad.stick == nullptr) continue;
    pad.instance = SDL_JoystickInstanceID(pad.stick);
    *slot = pad;
  }
}

uint32_t SdlJoypads::Generation() {
  Sync();
  return synced_;
}

int SdlJoypads::DeviceCount() {
  Sync();
  int n = 0;
  for (const Pad& p : pads_) n += p.stick != nullptr ? 1 : 0;
  return n;
}

bool SdlJoypads::Read(int joypad, input::JoypadPosition& out) {
  if (!ready_ || joypad < 0 || joypad > 1) return false;
  Sync();
  SDL_Joystick* stick = pads_[static_cast<size_t>(joypad)].stick;
  if (stick == nullptr) return false;
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

uint32_t SdlJoypads::StandardPadActions() {
  if (!ready_) return 0;
  Sync();
  SDL_JoystickUpdate();
  uint32_t bits = 0;
  for (const Pad& p : pads_) {
    SDL_GameController* c = p.controller;
    if (c == nullptr || !SDL_GameControllerGetAttached(c)) continue;
    StandardPadState s;
    s.a = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_A) != 0;
    s.left_shoulder = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_LEFTSHOULDER) != 0;
    s.right_shoulder = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER) != 0;
    s.left_trigger = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
    s.right_trigger = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
    s.left_x = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
    s.left_y = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY);
    bits |= StandardPadDefaults(s);
  }
  return bits;
}

uint32_t SdlInputClock::Milliseconds() { return SDL_GetTicks(); }

void SdlInputClock::Sleep(uint32_t ms) { SDL_Delay(ms); }

}  // namespace platform
