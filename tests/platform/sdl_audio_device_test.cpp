#include "platform/sdl_audio_device.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace platform
