#include "sound/mixer.h"

#include <algorithm>
#include <cmath>

namespace sound {

float GainOfLevel(int hundredths_db) {
  if (hundredths_db <= kVolumeSilent) return 0.0f;
  if (hundredths_db >= 0) return 1.0f;
  return static_cast<float>(std::pow(10.0, hundredths_db / 2000.0));
}

void Mixer::SetOutputRate(int rate) {
  output_rate_ = rate > 0 ? rate : kDefaultOutputRate;
  for (Voice& v : voices_) v.step = StepFor(v.rate);
}

uint64_t Mixer::StepFor(uint32_t rate) const {
  return (static_cast<uint64_t>(rate) << 32) / static_cast<uint64_t>(output_rate_);
}

void Mixer::SetBuffer(int slot, std::span<const int16_t> samples, uint32_t rate, bool stereo) {
  Voice* v = Get(slot);
  if (!v) return;
  const size_t per_frame = stereo ? 2 : 1;
  const size_t frames = samples.size() / per_frame;
  int pan = v->pan, volume = v->volume;
  *v = Voice{};
  SetPanVolume(slot, pan, volume);
  if (frames == 0 || rate == 0 || frames > UINT32_MAX) return;
  v->samples = samples.data();
  v->frames = static_cast<uint32_t>(frames);
  v->rate = rate;
  v->stereo = stereo;
  v->step = StepFor(rate);
}

void Mixer::Play(int slot, bool loop) {
  Voice* v = Get(slot);
  if (!v || !v->samples) return;
  v->playing = true;
  v->looping = loop;
}

void Mixer::Stop(int slot, bool rewind) {
  Voice* v = Get(slot);
  if (!v) return;
  v->playing = false;
  if (rewind) v->position = 0;
}

void Mixer::SetPosition(int slot, uint32_t frame) {
  Voice* v = Get(slot);
  if (!v) return;
  v->position = frame < v->frames ? static_cast<uint64_t>(frame) << 32 : 0;
}

void Mixer::SetPanVolume(int slot, int pan, int volume) {
  Voice* v = Get(slot);
  if (!v) return;
  v->pan = std::clamp(pan, -10000, 10000);
  v->volume = std::clamp(volume, kVolumeSilent, 0);
  // A positive pan takes the left channel down by that many hundredths of a
  // decibel, a negative pan the right one.
  v->gain_left = GainOfLevel(v->volume - std::max(v->pan, 0));
  v->gain_right = GainOfLevel(v->volume + std::min(v->pan, 0));
}

bool Mixer::IsPlaying(int slot) const {
  const Voice* v = Get(slot);
  return v && v->playing;
}

VoiceState Mixer::State(int slot) const {
  const Voice* v = Get(slot);
  if (!v) return {};
  return {v->samples != nullptr,
          v->playing,
          v->looping,
          v->pan,
          v->volume,
          static_cast<uint32_t>(v->position >> 32)};
}

int Mixer::PlayingCount() const {
  int n = 0;
  for (const Voice& v : voices_) n += v.playing ? 1 : 0;
  return n;
}

void Mixer::MixVoice(Voice& v, float* acc, int frames) {
  const uint64_t end = static_cast<uint64_t>(v.frames) << 32;
  const int16_t* s = v.samples;
  const float gl = v.gain_left, gr = v.gain_right;
  constexpr float kFrac = 1.0f / 4294967296.0f;
  for (int i = 0; i < frames; ++i) {
    const uint32_t idx = static_cast<uint32_t>(v.position >> 32);
    const float frac = static_cast<float>(v.position & 0xFFFFFFFFu) * kFrac;
    // The sample after the last is the first again when looping; otherwise hold.
    const uint32_t next = idx + 1 < v.frames ? idx + 1 : (v.looping ? 0 : idx);
    float left, right;
    if (v.stereo) {
      const float l0 = s[2 * idx], l1 = s[2 * next];
      const float r0 = s[2 * idx + 1], r1 = s[2 * next + 1];
      left = l0 + (l1 - l0) * frac;
      right = r0 + (r1 - r0) * frac;
    } else {
      const float m0 = s[idx], m1 = s[next];
      left = right = m0 + (m1 - m0) * frac;
    }
    acc[2 * i] += left * gl;
    acc[2 * i + 1] += right * gr;
    v.position += v.step;
    if (v.position >= end) {
      if (v.looping) {
        v.position %= end;
      } else {
        // A finished buffer stops and starts from the beginning next time.
        v.playing = false;
        v.position = 0;
        return;
      }
    }
  }
}

void Mixer::Render(int16_t* out, int frames) {
  while (frames > 0) {
    const int n = std::min(frames, kChunk);
    std::fill_n(acc_.begin(), 2 * n, 0.0f);
    for (Voice& v : voices_) {
      if (v.playing) MixVoice(v, acc_.data(), n);
    }
    for (int i = 0; i < 2 * n; ++i) {
      const float x = std::clamp(acc_[i], -32768.0f, 32767.0f);
      out[i] = static_cast<int16_t>(std::lrint(x));
    }
    out += 2 * n;
    frames -= n;
  }
}

}  // namespace sound
