// The mixer's cost per second of audio, and decoding time of compressed sounds
// (every sound is decoded at each start of the game).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include "res/pack.h"
#include "sound/compressed_sound.h"
#include "sound/mixer.h"
#include "sound/pack_sound_file.h"
#include "sound/sound_engine.h"
#include "sound/sound_fixtures.h"
#include "sound/sound_list.h"
#include "sound/wave_file.h"

namespace {

// 16 slots playing at once, half of them at a rate other than the output's,
// some stereo; one second of 44.1 kHz output per iteration.
void BM_MixOneSecond16Slots(benchmark::State& state) {
  sound::Mixer mixer(44100);
  std::vector<std::vector<int16_t>> buffers;
  for (int s = 0; s < 16; ++s) {
    const bool stereo = s % 4 == 0;
    std::vector<int16_t> b(static_cast<size_t>(22050 * (stereo ? 2 : 1)));
    for (size_t i = 0; i < b.size(); ++i) {
      b[i] = static_cast<int16_t>(3000 * std::sin(0.01 * static_cast<double>(i) * (s + 1)));
    }
    buffers.push_back(std::move(b));
  }
  for (int s = 0; s < 16; ++s) {
    const bool stereo = s % 4 == 0;
    mixer.SetBuffer(s * 3, buffers[s], s % 2 ? 22050 : 44100, stereo);
    mixer.SetPanVolume(s * 3, (s - 8) * 200, -100 * s);
    mixer.Play(s * 3, true);
  }
  std::vector<int16_t> out(2 * 44100);
  for (auto _ : state) {
    mixer.Render(out.data(), 44100);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["audio_s_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MixOneSecond16Slots)->Unit(benchmark::kMicrosecond);

// Decoding a compressed sound of the given seconds (44.1 kHz mono 64 kbit/s,
// the form of the table's effects; stereo 128 kbit/s at 48 kHz for music).
void BM_DecodeSeconds(benchmark::State& state) {
  soundtest::SineSpec spec;
  const int seconds = static_cast<int>(state.range(0));
  const bool music = state.range(1) != 0;
  if (music) {
    spec.rate = 48000;
    spec.channels = 2;
    spec.kbps = 128;
    spec.freq_right = 660;
  }
  spec.frames = spec.rate * seconds;
  auto stored = soundtest::Stored(soundtest::EncodeSine(spec));
  for (auto _ : state) {
    sound::MemorySoundFile file(stored);
    sound::DitherRandom rng;
    sound::DecodedSound d;
    if (!sound::DecodeCompressedSound(file, false, rng, d)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(d.samples.data());
  }
  state.SetLabel(music ? "stereo 48 kHz 128 kbit/s" : "mono 44.1 kHz 64 kbit/s");
}
BENCHMARK(BM_DecodeSeconds)
    ->Args({1, 0})
    ->Args({5, 0})
    ->Args({5, 1})
    ->Args({30, 1})
    ->Unit(benchmark::kMillisecond);

// Loading the whole sound list as the game does at start-up: from the pack
// named by $GFALL_PACK when set, else from a pack of stand-ins (one-second
// mono effects, 20-second stereo music, a half-second hum).
void BM_LoadSoundList(benchmark::State& state) {
  res::ResourceLayer layer;
  layer.loose_files = false;
  std::vector<uint8_t> pack;
  if (const char* path = std::getenv("GFALL_PACK"); path && *path) {
    if (!res::PackOpen(layer, path)) {
      state.SkipWithError("GFALL_PACK is not a pack");
      return;
    }
    state.SetLabel(path);
  } else {
    soundtest::SineSpec effect;
    soundtest::SineSpec music;
    music.rate = 48000;
    music.channels = 2;
    music.kbps = 128;
    music.frames = 48000 * 20;
    auto effect_wac = soundtest::Stored(soundtest::EncodeSine(effect));
    auto music_wac = soundtest::Stored(soundtest::EncodeSine(music));
    auto hum = sound::WriteWave(std::vector<int16_t>(11025, 300), 22050, 1);
    std::vector<res::PackItem> items;
    for (const auto& row : sound::kSoundList) {
      std::string name(row.file);
      bool seen = false;
      for (const auto& i : items) seen = seen || i.name == name;
      if (seen) continue;
      const bool is_music = row.slot >= sound::kFirstMusicSlot;
      items.push_back({name, !row.compressed ? std::span<const uint8_t>(hum)
                             : is_music      ? std::span<const uint8_t>(music_wac)
                                             : std::span<const uint8_t>(effect_wac)});
    }
    pack = res::PackBuild(items).value_or(std::vector<uint8_t>{});
    res::FilePtr stream(fmemopen(pack.data(), pack.size(), "rb"));
    if (!stream || !res::PackOpenStream(layer, std::move(stream), "stand-ins")) {
      state.SkipWithError("cannot build the stand-in pack");
      return;
    }
    state.SetLabel("stand-ins");
  }
  for (auto _ : state) {
    sound::NullAudioDevice device;
    sound::SoundEngine engine;
    engine.Open(&device);
    if (!engine.LoadSounds(sound::PackSoundFiles(layer))) state.SkipWithError("a row failed");
  }
}
BENCHMARK(BM_LoadSoundList)->Unit(benchmark::kMillisecond);

}  // namespace
