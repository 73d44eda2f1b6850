#pragma once
// The joypads on SDL, in the shape the controls read: 32 buttons, two axes on
// 0-65535 and a hat in hundredths of a degree. (The keyboard is an
// input::EventKeyboard fed by the event poll, platform/sdl_events.h.)

#include <array>
#include <cstdint>

#include "input/devices.h"
#include "input/input_state.h"

struct _SDL_Joystick;

namespace platform {

class SdlJoypads final : public input::JoypadDevice {
 public:
  SdlJoypads();
  ~SdlJoypads() override;
  SdlJoypads(const SdlJoypads&) = delete;
  SdlJoypads& operator=(const SdlJoypads&) = delete;

  int DeviceCount() override;
  // Joypad n is SDL's joystick device n; it is opened on first use.
  bool Read(int joypad, input::JoypadPosition& out) override;
  void Close();

 private:
  bool ready_ = false;  // the joystick subsystem is ours to quit
  std::array<_SDL_Joystick*, 2> sticks_{};
};

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
