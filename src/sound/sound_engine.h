#pragma once
// The sound engine: 256 slots, each loaded once at start-up with one whole
// sound and played as one voice of the mixer. Table events play sounds at a
// playfield position; a positional law turns it into pan and volume. Slots
// below 60 are game sounds and slots 60 and above music, each group with its
// own switch and level.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/table_sound.h"
#include "sound/audio_device.h"
#include "sound/compressed_sound.h"
#include "sound/mixer.h"
#include "sound/sound_file.h"

namespace sound {

// The player's sound options (stored with the settings).
struct SoundSettings {
  int32_t sound_on = 1;     // game sounds (slots below 60) play only when set
  int32_t music_on = 1;     // music (slots 60 and above) plays only when set
  int32_t game_level = 0;   // 0..9: attenuation in steps of 6 dB; 9 silences game sounds
  int32_t music_level = 0;  // 0..9, the same for music
};

// The three tuning values of the positional law; the app fills them from the tuning file.
struct SoundTuning {
  float pan_scale = 4.0f;      // SOUNDPANOSCALE: pan units per playfield pixel from the centre
  float volume_scale = 0.03f;  // SOUNDVOLUMESCALE: volume units per pixel up the table
  float speed_scale = 1.0f;    // SOUNDSPEEDSCALE: factor of the impact-speed term
};

struct PanVolume {
  int pan = 0;     // hundredths of a decibel, −10 000..10 000 after Play clamps
  int volume = 0;  // hundredths of a decibel, ≤ 0
};

// The positional law. width and height are the playfield's size in pixels, 0
// before a playfield is loaded; speed is the impact term or null.
PanVolume PositionalLaw(const SoundTuning& tuning, int width, int height, float x, float y,
                        const float* speed);

struct SoundSlot {
  int32_t stereo = 0;           // 1 for two channels
  int32_t sample_rate = 0;      // sample frames per second
  uint32_t size = 0;            // bytes of PCM in the buffer
  std::vector<int16_t> buffer;  // the slot's PCM; empty when the slot has no sound
  DecodedSound decoded;         // stream facts of a compressed file (its samples are `buffer`)
  std::string file_name;        // the name the slot was loaded from
};

class SoundEngine final : public core::TableSound {
 public:
  SoundEngine() = default;
  ~SoundEngine() override { Close(); }
  SoundEngine(const SoundEngine&) = delete;
  SoundEngine& operator=(const SoundEngine&) = delete;

  // Opens the device (not owned; it must outlive the engine or Close). False
  // when no device could be opened: every play then succeeds silently.
  bool Open(AudioDevice* device, int output_rate = kDefaultOutputRate);
  // Loads every row of the built-in sound list; true when every row loaded.
  // A row that fails leaves its slot silent and loading goes on.
  bool LoadSounds(const SoundFileOpener& open);
  // Loads one file into a slot (a compressed file, or a plain wave file).
  bool LoadSlot(int slot, bool compressed, const std::string& name, SoundFile& file);

  // Plays a slot with pan and volume in hundredths of a decibel. A playing
  // slot is restarted from the beginning when restart is set and otherwise
  // left alone. False for a slot out of range.
  bool Play(int slot, int pan, int volume, bool restart, bool loop);
  // The positional law, then Play.
  bool PlayAt(int slot, float x, float y, bool restart, bool loop);
  bool PlayAtWithSpeed(int slot, float x, float y, float speed, bool restart, bool loop);
  void Stop(int slot);
  void StopAll();
  bool IsPlaying(int slot) override;
  // Stops everything, releases every buffer and the device.
  void Close();

  // core::TableSound
  void PlayTableSound(int slot, float x, float y, bool restart, bool loop) override {
    PlayAt(slot, x, y, restart, loop);
  }
  void PlayTableSoundWithSpeed(int slot, float x, float y, float speed, bool restart,
                               bool loop) override {
    PlayAtWithSpeed(slot, x, y, speed, restart, loop);
  }
  void StopSound(int slot) override { Stop(slot); }

  // The playfield's size in pixels, once it is loaded (0 before).
  void SetPlayfieldSize(int width, int height) {
    playfield_width_ = width;
    playfield_height_ = height;
  }
  // Renders the mix into memory (interleaved stereo); for a device that does not pull.
  void Render(std::span<int16_t> out);

  bool device_present() const { return present_; }
  const SoundSlot& slot(int s) const;
  const Mixer& mixer() const { return mixer_; }

  SoundSettings settings;
  SoundTuning tuning;
  DitherRandom dither;  // the decoder's dither source

 private:
  void Lock() {
    if (device_) device_->Lock();
  }
  void Unlock() {
    if (device_) device_->Unlock();
  }
  void ClearSlot(int slot);

  std::array<SoundSlot, kSlotCount> slots_{};
  Mixer mixer_;
  AudioDevice* device_ = nullptr;
  bool present_ = false;
  int playfield_width_ = 0;
  int playfield_height_ = 0;
};

}  // namespace sound
