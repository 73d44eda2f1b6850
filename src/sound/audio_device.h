#pragma once
// The audio output the mixer plays through. A device pulls 16-bit stereo
// frames from its source on its own thread; the game thread changes what the
// source plays only between Lock and Unlock.

#include <cstdint>

namespace sound {

// Something that fills interleaved 16-bit stereo frames (the mixer).
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Called on the device's thread; must not allocate or block.
  virtual void Render(int16_t* out, int frames) = 0;
};

class AudioDevice {
 public:
  virtual ~AudioDevice() = default;
  // Opens the device for 16-bit stereo at `rate` frames per second (the
  // device converts to what the hardware wants) and starts pulling from
  // `source`. False when there is no device.
  virtual bool Open(int rate, AudioSource& source) = 0;
  // Keeps the device thread out of the source while the game changes it.
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
  // Stops pulling and releases the device; the source may be destroyed after.
  virtual void Close() = 0;
};

// A device that opens but never pulls: sounds "play" until stopped, and a
// caller may render the source itself (tests, tools, headless runs).
class NullAudioDevice final : public AudioDevice {
 public:
  bool Open(int, AudioSource&) override { return true; }
  void Lock() override {}
  void Unlock() override {}
  void Close() override {}
};

// A device that cannot be opened (no sound hardware).
class AbsentAudioDevice final : public AudioDevice {
 public:
  bool Open(int, AudioSource&) override { return false; }
  void Lock() override {}
  void Unlock() override {}
  void Close() override {}
};

}  // namespace sound
