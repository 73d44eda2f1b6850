#include "sound/sound_engine.h"

#include <algorithm>
#include <cmath>

#include "sound/sound_list.h"
#include "sound/wave_file.h"

namespace sound {

namespace {

// Levels step by 6 dB.
constexpr int kLevelStep = 600;

int TruncToInt(float v) {
  if (std::isnan(v)) return 0;
  return static_cast<int>(std::clamp(v, -1.0e6f, 1.0e6f));
}

}  // namespace

PanVolume PositionalLaw(const SoundTuning& tuning, int width, int height, float x, float y,
                        const float* speed) {
  float pan, volume;
  if (width > 0) {
    pan = tuning.pan_scale * (x - static_cast<float>(width / 2));
    volume = -tuning.volume_scale * (static_cast<float>(height + 100) - y);
  } else {
    // Before a playfield is loaded: the table's own size.
    pan = tuning.pan_scale * (x - 400.0f);
    volume = -tuning.volume_scale * (1614.0f - y);
  }
  if (speed) volume += *speed * tuning.speed_scale;
  if (volume > 0) volume = 0;
  return {TruncToInt(pan), TruncToInt(volume)};
}

bool SoundEngine::Open(AudioDevice* device, int output_rate) {
  Close();
  mixer_.SetOutputRate(output_rate);
  if (!device || !device->Open(mixer_.output_rate(), mixer_)) return false;
  device_ = device;
  present_ = true;
  return true;
}

void SoundEngine::ClearSlot(int s) {
  Lock();
  mixer_.SetBuffer(s, {}, 0, false);
  Unlock();
  slots_[s] = SoundSlot{};
}

bool SoundEngine::LoadSlot(int s, bool compressed, const std::string& name, SoundFile& file) {
  if (s < 0 || s >= kSlotCount) return false;
  ClearSlot(s);
  SoundSlot& slot = slots_[s];
  if (compressed) {
    DecodedSound decoded;
    if (!DecodeCompressedSound(file, false, dither, decoded) || decoded.samples.empty()) {
      return false;
    }
    slot.buffer = std::move(decoded.samples);
    decoded.samples = {};
    slot.stereo = decoded.channels == 2 ? 1 : 0;
    slot.sample_rate = decoded.sample_rate;
    slot.decoded = std::move(decoded);
  } else {
    WaveSound wave;
    if (!ReadWave(file, wave)) return false;
    slot.buffer = std::move(wave.samples);
    slot.stereo = wave.format.channels > 1 ? 1 : 0;
    slot.sample_rate = static_cast<int32_t>(wave.format.sample_rate);
  }
  slot.size = static_cast<uint32_t>(slot.buffer.size() * sizeof(int16_t));
  slot.file_name = name;
  Lock();
  mixer_.SetBuffer(s, slot.buffer, SlotPlaybackRate(s, static_cast<uint32_t>(slot.sample_rate)),
                   slot.stereo != 0);
  Unlock();
  return true;
}

bool SoundEngine::LoadSounds(const SoundFileOpener& open) {
  bool all = true;
  for (const SoundListRow& row : kSoundList) {
    std::string name(row.file);
    std::unique_ptr<SoundFile> file = open ? open(name) : nullptr;
    if (!file) ClearSlot(row.slot);
    if (!file || !LoadSlot(row.slot, row.compressed, name, *file)) {
      all = false;
      continue;
    }
    // The menu music starts as soon as it is there.
    if (row.slot == kMenuMusicSlot) PlayAt(kMenuMusicSlot, 400, 1000, false, true);
  }
  return all;
}

bool SoundEngine::Play(int s, int pan, int volume, bool restart, bool loop) {
  if (!present_) return true;
  if (s < 0 || s >= kSlotCount) return false;
  int level;
  if (s < kFirstMusicSlot) {
    if (!settings.sound_on || settings.game_level > 8) return true;
    level = settings.game_level;
  } else {
    if (!settings.music_on || settings.music_level > 8) return true;
    level = settings.music_level;
  }
  level = std::max(level, 0);
  pan = std::clamp(pan, -10000, 10000);
  volume = std::clamp(volume - level * kLevelStep, kVolumeSilent, 0);
  if (slots_[s].buffer.empty()) return true;
  Lock();
  if (mixer_.IsPlaying(s)) {
    if (restart) {
      mixer_.Stop(s, true);
      mixer_.SetPanVolume(s, pan, volume);
      // A restarted sound keeps looping when the caller asks for a loop.
      mixer_.Play(s, loop);
    }
  } else {
    mixer_.SetPanVolume(s, pan, volume);
    mixer_.Play(s, loop);
  }
  Unlock();
  return true;
}

bool SoundEngine::PlayAt(int s, float x, float y, bool restart, bool loop) {
  PanVolume pv = PositionalLaw(tuning, playfield_width_, playfield_height_, x, y, nullptr);
  return Play(s, pv.pan, pv.volume, restart, loop);
}

bool SoundEngine::PlayAtWithSpeed(int s, float x, float y, float speed, bool restart, bool loop) {
  PanVolume pv = PositionalLaw(tuning, playfield_width_, playfield_height_, x, y, &speed);
  return Play(s, pv.pan, pv.volume, restart, loop);
}

void SoundEngine::Stop(int s) {
  if (s < 0 || s >= kSlotCount || slots_[s].buffer.empty()) return;
  Lock();
  mixer_.Stop(s, true);
  Unlock();
}

void SoundEngine::StopAll() {
  Lock();
  for (int s = 0; s < kSlotCount; ++s) mixer_.Stop(s, true);
  Unlock();
}

bool SoundEngine::IsPlaying(int s) {
  if (s < 0 || s >= kSlotCount) return false;
  Lock();
  bool playing = mixer_.IsPlaying(s);
  Unlock();
  return playing;
}

void SoundEngine::Close() {
  StopAll();
  Lock();
  for (int s = 0; s < kSlotCount; ++s) mixer_.SetBuffer(s, {}, 0, false);
  Unlock();
  if (device_) device_->Close();
  device_ = nullptr;
  present_ = false;
  for (SoundSlot& slot : slots_) slot = SoundSlot{};
}

void SoundEngine::Render(std::span<int16_t> out) {
  Lock();
  mixer_.Render(out.data(), static_cast<int>(out.size() / 2));
  Unlock();
}

const SoundSlot& SoundEngine::slot(int s) const {
  static const SoundSlot kNone{};
  return s >= 0 && s < kSlotCount ? slots_[s] : kNone;
}

}  // namespace sound
