#include "platform/sdl_audio_device.h"

#include <SDL.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

// Keeps what the sound libraries under SDL print (ALSA's lines about a
// missing card) off the console while it lives: the game says it once.
class QuietStderr {
 public:
  QuietStderr() {
#ifndef _WIN32
    saved_ = ::dup(2);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) ::dup2(null, 2);
    if (null >= 0) ::close(null);
#endif
  }
  ~QuietStderr() {
#ifndef _WIN32
    if (saved_ >= 0) {
      ::dup2(saved_, 2);
      ::close(saved_);
    }
#endif
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace

bool SdlAudioDevice::Open(int rate, sound::AudioSource& source) {
  Close();
  QuietStderr quiet;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  subsystem_ = true;
  rate_ = rate;
  source_ = &source;
  if (!OpenStream()) {
    source_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
    return false;
  }
  removed_seen_ = removed_.load();
  added_seen_ = added_.load();
  SDL_AddEventWatch(&SdlAudioDevice::Watch, this);
  return true;
}

bool SdlAudioDevice::OpenStream() {
  SDL_AudioSpec want{};
  want.freq = rate_;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts our format to the hardware's.
  QuietStderr quiet;
  SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (id == 0) return false;
  device_ = id;
  watched_.store(id);
  SDL_PauseAudioDevice(id, 0);
  return true;
}

int SdlAudioDevice::Watch(void* user, SDL_Event* e) {
  auto* self = static_cast<SdlAudioDevice*>(user);
  if (e->type == SDL_AUDIODEVICEREMOVED && e->adevice.iscapture == 0 &&
      e->adevice.which == self->watched_.load()) {
    self->removed_.fetch_add(1);
  } else if (e->type == SDL_AUDIODEVICEADDED && e->adevice.iscapture == 0) {
    self->added_.fetch_add(1);
  }
  return 1;
}

void SdlAudioDevice::FollowDeviceEvents() {
  const uint32_t removed = removed_.load();
  if (removed != removed_seen_) {
    removed_seen_ = removed;
    if (device_ != 0) {
      SDL_CloseAudioDevice(device_);
      device_ = 0;
      watched_.store(0);
    }
    lost_ = true;
    added_seen_ = added_.load();  // only a device added from now on brings the sound back
  }
  const uint32_t added = added_.load();
  if (lost_ && added != added_seen_) {
    added_seen_ = added;
    if (OpenStream()) lost_ = false;  // else silent until the next device comes
  }
}

void SdlAudioDevice::Callback(void* user, uint8_t* stream, int len) {
  auto* self = static_cast<SdlAudioDevice*>(user);
  self->source_->Render(reinterpret_cast<int16_t*>(stream), len / 4);
}

void SdlAudioDevice::Lock() {
  // The outermost lock follows the device events and locks what is open then.
  if (lock_depth_++ > 0) return;
  if (subsystem_) FollowDeviceEvents();
  locked_ = device_;
  if (locked_) SDL_LockAudioDevice(locked_);
}

void SdlAudioDevice::Unlock() {
  if (lock_depth_ == 0 || --lock_depth_ > 0) return;
  if (locked_) SDL_UnlockAudioDevice(locked_);
  locked_ = 0;
}

void SdlAudioDevice::Close() {
  if (!subsystem_) return;
  SDL_DelEventWatch(&SdlAudioDevice::Watch, this);
  if (device_) SDL_CloseAudioDevice(device_);
  device_ = 0;
  watched_.store(0);
  source_ = nullptr;
  lost_ = false;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  subsystem_ = false;
}

}  // namespace platform
