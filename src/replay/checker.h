#pragma once
// Plays a recording back into a game and checks it: hands out each frame's
// clock readings and input changes in order, and compares the digests the
// replayed game reaches with the recorded ones. The first mismatch is kept as
// the divergence ("replay diverged at frame 812: ball 0 position").

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "replay/recording.h"

namespace replay {

class Checker {
 public:
  // The recording must outlive the checker.
  explicit Checker(const Recording& recording) : rec_(recording) {}

  // Starts the next frame; false when every recorded frame has been played.
  // Also finds a recorded checkpoint of the frame before that the replay did
  // not reach.
  bool BeginFrame();
  // The next clock reading of this frame. When the game reads the clock more
  // often than it did when recorded, the replay has diverged; the last
  // reading is repeated so time does not run backwards.
  double NextReading();
  // This frame's input changes.
  std::span<const InputEvent> Events() const;
  // Ends the frame: the game must have read every recorded reading.
  void EndFrame();
  // The replayed game reached a ball end or the game end after the frame just
  // ended: compares it with the next recorded checkpoint.
  void Checkpoint(CheckKind kind, const StateDigest& digest);
  // After the last frame: every recorded checkpoint must have been reached.
  void Finish();

  // The frame being played (or last played), from 0.
  uint32_t frame() const { return frame_; }
  uint32_t checkpoints_matched() const { return matched_; }
  bool diverged() const { return divergence_.has_value(); }
  // "replay diverged at frame N: what", empty while none.
  std::string divergence() const { return divergence_.value_or(std::string()); }
  // The frame at which it diverged.
  uint32_t divergence_frame() const { return divergence_frame_; }

 private:
  void Diverge(uint32_t frame, const std::string& what);

  const Recording& rec_;
  uint32_t frame_ = 0;
  bool started_ = false;  // a frame has begun
  bool in_frame_ = false;
  uint32_t reading_ = 0;   // readings handed out in this frame
  size_t next_check_ = 0;  // the next recorded checkpoint
  uint32_t matched_ = 0;
  double last_reading_ = 0.0;
  std::optional<std::string> divergence_;
  uint32_t divergence_frame_ = 0;
};

}  // namespace replay
