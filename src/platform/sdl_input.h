#pragma once
// The joypads on SDL, in the shape the controls read: 32 buttons, two axes on
// 0-65535 and a hat in hundredths of a degree. (The keyboard is an
// input::EventKeyboard fed by the event poll, platform/sdl_events.h.)
//
// Pads are opened as they are plugged in and closed as they are pulled out,
// on SDL's device events (no polling); joypad 1 is the first pad plugged in
// and keeps its number until it is pulled out. A pad that SDL's mapping
// database knows (SDL's own list, the player's gamecontrollerdb.txt, or
// SDL_GAMECONTROLLERCONFIG) also plays by default: shoulder buttons or
// triggers flip, A launches, the left stick nudges.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "input/devices.h"
#include "input/input_state.h"

struct _SDL_Joystick;
struct _SDL_GameController;
union SDL_Event;

namespace platform {

class SdlJoypads final : public input::JoypadDevice {
 public:
  // `mappings_file`: extra controller mappings to load when the file exists
  // (see GameControllerDbPath); empty: none.
  explicit SdlJoypads(const std::string& mappings_file = DefaultMappingsFile());
  ~SdlJoypads() override;
  SdlJoypads(const SdlJoypads&) = delete;
  SdlJoypads& operator=(const SdlJoypads&) = delete;

  // The pads open now (0 to 2).
  int DeviceCount() override;
  // Joypad n's raw buttons, first two axes and first hat, as stored bindings
  // name them whether or not the pad has a mapping.
  bool Read(int joypad, input::JoypadPosition& out) override;
  uint32_t Generation() override;
  uint32_t StandardPadActions() override;
  void Close();

  // Mappings the file added (0 when there was none), for the start-up log.
  int mappings_added() const { return mappings_added_; }
  static std::string DefaultMappingsFile();

 private:
  struct Pad {
    _SDL_Joystick* stick = nullptr;
    _SDL_GameController* controller = nullptr;  // when SDL has a mapping for it
    int32_t instance = -1;
  };
  static int Watch(void* self, SDL_Event* event);
  // Brings the open pads in line with the devices after a device event.
  void Sync();

  bool ready_ = false;  // the subsystems are ours to quit
  int mappings_added_ = 0;
  std::array<Pad, 2> pads_{};
  std::atomic<uint32_t> events_{1};  // device events seen (starts at 1: look once)
  uint32_t synced_ = 0;              // events_ when Sync last ran
};

// Where the player's extra controller mappings live: gfall/gamecontrollerdb.txt
// under XDG_CONFIG_HOME, else under HOME/.config; empty without either.
std::string GameControllerDbPath(const char* xdg_config_home, const char* home);

// The actions (bit a for core action a) a mapped pad's state gives by
// default. Axes are SDL's: sticks -32768..32767, triggers 0..32767.
struct StandardPadState {
  bool a = false, left_shoulder = false, right_shoulder = false;
  int16_t left_trigger = 0, right_trigger = 0, left_x = 0, left_y = 0;
};
uint32_t StandardPadDefaults(const StandardPadState& s);

// A hat's direction bits (SDL_HAT_*) in hundredths of a degree clockwise from
// up; input::kHatCentred when centred.
uint32_t HatHundredths(uint8_t sdl_hat);
// An SDL axis value (-32768..32767) on the 0..65535 scale, centre 32768.
uint32_t AxisPosition(int16_t sdl_axis);

// The clock of the controls on SDL's millisecond ticks.
class SdlInputClock final : public input::InputClock {
 public:
  uint32_t Milliseconds() override;
  void Sleep(uint32_t ms) override;
};

}  // namespace platform
