#pragma once
// The sound device on SDL: a 16-bit stereo output stream whose callback runs
// the mixer on SDL's audio thread. SDL converts our rate to the hardware's.

#include <cstdint>

#include "sound/audio_device.h"

namespace platform {

class SdlAudioDevice final : public sound::AudioDevice {
 public:
  SdlAudioDevice() = default;
  ~SdlAudioDevice() override { Close(); }
  SdlAudioDevice(const SdlAudioDevice&) = delete;
  SdlAudioDevice& operator=(const SdlAudioDevice&) = delete;

  bool Open(int rate, sound::AudioSource& source) override;
  void Lock() override;
  void Unlock() override;
  void Close() override;

  bool is_open() const { return device_ != 0; }

 private:
  static void Callback(void* user, uint8_t* stream, int len);

  uint32_t device_ = 0;  // SDL_AudioDeviceID
  sound::AudioSource* source_ = nullptr;
};

}  // namespace platform
