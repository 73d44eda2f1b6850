#include "platform/sdl_audio_device.h"

#include <SDL.h>

namespace platform {

bool SdlAudioDevice::Open(int rate, sound::AudioSource& source) {
  Close();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  want.freq = rate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  source_ = &source;
  // No changes allowed: SDL converts our format to the hardware's.
  SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (id == 0) {
    source_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  device_ = id;
  SDL_PauseAudioDevice(id, 0);
  return true;
}

void SdlAudioDevice::Callback(void* user, uint8_t* stream, int len) {
  auto* self = static_cast<SdlAudioDevice*>(user);
  self->source_->Render(reinterpret_cast<int16_t*>(stream), len / 4);
}

void SdlAudioDevice::Lock() {
  if (device_) SDL_LockAudioDevice(device_);
}

void SdlAudioDevice::Unlock() {
  if (device_) SDL_UnlockAudioDevice(device_);
}

void SdlAudioDevice::Close() {
  if (!device_) return;
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  source_ = nullptr;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace platform
