#pragma once
// How physics and rules make sounds without knowing the sound engine: the
// engine implements this interface, tests record calls, headless runs may
// pass a silent one. Positions are playfield pixels; slots are named in
// core/sound_slots.h.

#include "core/sound_slots.h"

namespace core {

class TableSound {
 public:
  virtual ~TableSound() = default;
  // The positional law turns (x, y) into pan and volume.
  virtual void PlayTableSound(int slot, float x, float y, bool restart, bool loop) = 0;
  // The same with an impact-strength term added to the volume.
  virtual void PlayTableSoundWithSpeed(int slot, float x, float y, float speed, bool restart,
                                       bool loop) = 0;
  virtual void StopSound(int slot) = 0;
  virtual bool IsPlaying(int slot) = 0;
};

// Plays nothing.
class SilentTableSound final : public TableSound {
 public:
  void PlayTableSound(int, float, float, bool, bool) override {}
  void PlayTableSoundWithSpeed(int, float, float, float, bool, bool) override {}
  void StopSound(int) override {}
  bool IsPlaying(int) override { return false; }
};

}  // namespace core
