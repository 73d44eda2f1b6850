#pragma once
// The mixer behind the 256 sound slots: each slot is one voice playing a
// static 16-bit buffer at the buffer's own rate, mono or stereo, with a pan
// and a volume in hundredths of a decibel (volume 0 is full level, −10 000
// silence; a positive pan attenuates the left channel, a negative one the
// right). Voices are mixed into 16-bit stereo at the output rate with
// clipping. Rendering never allocates.
//
// Threading: Render runs on the device thread; every other call is made by
// the game thread while the device is locked.

#include <array>
#include <cstdint>
#include <span>

#include "sound/audio_device.h"

namespace sound {

inline constexpr int kSlotCount = 256;
inline constexpr int kVolumeSilent = -10000;
inline constexpr int kDefaultOutputRate = 44100;

// Linear gain of a level in hundredths of a decibel; 0 at −10 000 or below.
float GainOfLevel(int hundredths_db);

struct VoiceState {
  bool has_buffer = false;
  bool playing = false;
  bool looping = false;
  int pan = 0;
  int volume = 0;
  uint32_t position = 0;  // sample frames into the buffer
};

class Mixer final : public AudioSource {
 public:
  explicit Mixer(int output_rate = kDefaultOutputRate) { SetOutputRate(output_rate); }

  void SetOutputRate(int rate);
  int output_rate() const { return output_rate_; }

  // Gives a slot its buffer (not copied: it must stay alive and unchanged
  // while the slot has it). An empty buffer removes it. The voice stops.
  void SetBuffer(int slot, std::span<const int16_t> samples, uint32_t rate, bool stereo);
  // Starts from the current position; a playing voice keeps going.
  void Play(int slot, bool loop);
  // Stops; with rewind the next play starts from the beginning.
  void Stop(int slot, bool rewind);
  void SetPosition(int slot, uint32_t frame);
  void SetPanVolume(int slot, int pan, int volume);
  bool IsPlaying(int slot) const;
  VoiceState State(int slot) const;
  int PlayingCount() const;

  // Mixes every playing voice into `frames` interleaved stereo frames.
  void Render(int16_t* out, int frames) override;

 private:
  struct Voice {
    const int16_t* samples = nullptr;
    uint32_t frames = 0;
    uint32_t rate = 0;
    bool stereo = false;
    bool playing = false;
    bool looping = false;
    int pan = 0;
    int volume = 0;
    float gain_left = 1.0f;
    float gain_right = 1.0f;
    uint64_t position = 0;  // 32.32 fixed point, in source frames
    uint64_t step = 0;      // source frames per output frame, 32.32
  };
  static constexpr int kChunk = 256;

  void MixVoice(Voice& v, float* acc, int frames);
  Voice* Get(int slot) { return slot >= 0 && slot < kSlotCount ? &voices_[slot] : nullptr; }
  const Voice* Get(int slot) const {
    return slot >= 0 && slot < kSlotCount ? &voices_[slot] : nullptr;
  }
  uint64_t StepFor(uint32_t rate) const;

  std::array<Voice, kSlotCount> voices_{};
  std::array<float, 2 * kChunk> acc_{};
  int output_rate_ = kDefaultOutputRate;
};

}  // namespace sound
