#include "platform/sdl_audio_device.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "sound/sound_engine.h"
#include "sound/wave_file.h"

namespace platform {
namespace {

// SDL's dummy driver pulls in real time without hardware, as CI has none.
TEST(SdlAudioDevice, MixerRunsOnTheAudioThread) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlAudioDevice device;
  sound::SoundEngine engine;
  ASSERT_TRUE(engine.Open(&device));
  ASSERT_TRUE(device.is_open());
  std::vector<int16_t> tone(2205, 1000);  // 0.1 s at 22 050 Hz
  auto wav = sound::WriteWave(tone, 22050, 1);
  sound::MemorySoundFile f(wav);
  ASSERT_TRUE(engine.LoadSlot(56, false, "T", f));
  ASSERT_TRUE(engine.PlayAt(56, 400, 0, true, false));
  ASSERT_TRUE(engine.PlayAt(200, 400, 0, true, true));  // empty slot: nothing
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (engine.IsPlaying(56) && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(engine.IsPlaying(56)) << "the device never played the sound to its end";
  engine.Close();
  EXPECT_FALSE(device.is_open());
}

// A removed device leaves the game silent, without failing; a device that
// comes back is opened again and plays.
TEST(SdlAudioDevice, ARemovedDeviceIsOpenedAgainWhenOneComesBack) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  struct Counting final : sound::AudioSource {
    std::atomic<int> renders{0};
    void Render(int16_t* out, int frames) override {
      std::fill(out, out + 2 * frames, int16_t{0});
      ++renders;
    }
  } source;
  auto renders_again = [&source](std::chrono::milliseconds wait = std::chrono::seconds(5)) {
    const int before = source.renders.load();
    auto until = std::chrono::steady_clock::now() + wait;
    while (source.renders.load() == before && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return source.renders.load() != before;
  };
  auto push = [](uint32_t type, uint32_t which) {
    SDL_Event e{};
    e.type = type;
    e.adevice.which = which;
    e.adevice.iscapture = 0;
    SDL_PushEvent(&e);
  };
  SdlAudioDevice device;
  ASSERT_TRUE(device.Open(22050, source));
  ASSERT_TRUE(renders_again());

  push(SDL_AUDIODEVICEREMOVED, 9999);  // another device: nothing changes
  device.Lock();
  device.Unlock();
  EXPECT_TRUE(device.is_open());

  // Ours goes away: the one device playing in this process.
  for (uint32_t id = 1; id < 64; ++id) {
    if (SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_PLAYING) push(SDL_AUDIODEVICEREMOVED, id);
  }
  device.Lock();
  device.Unlock();
  EXPECT_FALSE(device.is_open());
  EXPECT_TRUE(device.lost());
  EXPECT_FALSE(renders_again(std::chrono::milliseconds(300))) << "a removed device is not fed";
  device.Lock();  // silent, and no failure, while nothing is back
  device.Lock();
  device.Unlock();
  device.Unlock();
  EXPECT_FALSE(device.is_open());

  push(SDL_AUDIODEVICEADDED, 0);
  device.Lock();
  device.Unlock();
  EXPECT_TRUE(device.is_open());
  EXPECT_FALSE(device.lost());
  EXPECT_TRUE(renders_again());
  device.Close();
  EXPECT_FALSE(device.is_open());
}

}  // namespace
}  // namespace platform
