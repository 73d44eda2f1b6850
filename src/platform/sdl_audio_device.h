#pragma once
// The sound device on SDL: a 16-bit stereo output stream whose callback runs
// the mixer on SDL's audio thread. SDL converts our rate to the hardware's.
//
// When the device is removed (headphones pulled out, a USB card unplugged)
// the game goes on silent; when an output device comes back it is opened
// again. SDL reports both as events; they are acted on at the next Lock,
// on the game's own thread.

#include <atomic>
#include <cstdint>

#include "sound/audio_device.h"

union SDL_Event;

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

  // A stream is playing (false while the device is lost).
  bool is_open() const { return device_ != 0; }
  // The device was removed and none has come back yet.
  bool lost() const { return lost_; }

 private:
  static void Callback(void* user, uint8_t* stream, int len);
  static int Watch(void* self, SDL_Event* event);
  bool OpenStream();
  // Closes a removed stream, or opens one again once a device is back.
  void FollowDeviceEvents();

  uint32_t device_ = 0;  // SDL_AudioDeviceID
  uint32_t locked_ = 0;  // the device the outermost Lock locked, for Unlock
  int lock_depth_ = 0;
  sound::AudioSource* source_ = nullptr;
  int rate_ = 0;
  bool subsystem_ = false;  // SDL's audio is ours to quit
  bool lost_ = false;
  // Written by SDL's event watch, which may run on another thread.
  std::atomic<uint32_t> watched_{0};  // the device whose removal counts
  std::atomic<uint32_t> removed_{0}, added_{0};
  uint32_t removed_seen_ = 0, added_seen_ = 0;
};

}  // namespace platform
