#include "replay/checker.h"

namespace replay {

void Checker::Diverge(uint32_t frame, const std::string& what) {
  if (divergence_) return;
  divergence_frame_ = frame;
  divergence_ = "replay diverged at frame " + std::to_string(frame) + ": " + what;
}

bool Checker::BeginFrame() {
  if (in_frame_) EndFrame();
  const uint32_t next = started_ ? frame_ + 1 : 0;
  // After the last frame the driver still reports the last frame's state;
  // Finish finds what is missing then.
  if (next >= rec_.frames.size()) return false;
  // A checkpoint recorded after the previous frame that the replay did not reach.
  if (started_ && next_check_ < rec_.checkpoints.size() &&
      rec_.checkpoints[next_check_].frame <= frame_) {
    const replay::Checkpoint& c = rec_.checkpoints[next_check_];
    Diverge(c.frame, "the recorded " + std::string(CheckKindName(c.kind)) + " did not happen");
  }
  frame_ = next;
  started_ = true;
  in_frame_ = true;
  reading_ = 0;
  return true;
}

double Checker::NextReading() {
  if (!in_frame_) return last_reading_;
  const Frame& f = rec_.frames[frame_];
  if (reading_ < f.reading_count) {
    last_reading_ = rec_.readings[f.first_reading + reading_];
  } else if (reading_ == f.reading_count) {
    Diverge(frame_, "the clock was read more often than the " + std::to_string(f.reading_count) +
                        " times recorded");
  }
  ++reading_;
  return last_reading_;
}

std::span<const InputEvent> Checker::Events() const {
  if (!in_frame_) return {};
  return rec_.EventsOf(rec_.frames[frame_]);
}

void Checker::EndFrame() {
  if (!in_frame_) return;
  in_frame_ = false;
  const Frame& f = rec_.frames[frame_];
  if (reading_ < f.reading_count) {
    Diverge(frame_, "the clock was read " + std::to_string(reading_) + " times, recorded " +
                        std::to_string(f.reading_count));
  }
}

void Checker::Checkpoint(CheckKind kind, const StateDigest& digest) {
  if (in_frame_) EndFrame();
  const std::string name(CheckKindName(kind));
  if (next_check_ >= rec_.checkpoints.size()) {
    // A truncated recording simply has no more checkpoints.
    if (rec_.finished) Diverge(frame_, "a " + name + " that the recording does not have");
    return;
  }
  const replay::Checkpoint& c = rec_.checkpoints[next_check_];
  if (c.frame > frame_) {
    Diverge(frame_, "a " + name + " the recording does not have here (its next is a " +
                        std::string(CheckKindName(c.kind)) + " at frame " +
                        std::to_string(c.frame) + ")");
    return;
  }
  if (c.frame < frame_) {
    Diverge(c.frame, "the recorded " + std::string(CheckKindName(c.kind)) + " did not happen");
    return;
  }
  if (c.kind != kind) {
    Diverge(frame_,
            "a " + name + " where the recording has a " + std::string(CheckKindName(c.kind)));
    return;
  }
  ++next_check_;
  for (int part = 0; part < kDigestParts; ++part) {
    if (c.digest[part] != digest[part]) {
      Diverge(frame_, std::string(DigestPartName(part)) + " (at the " + name + ")");
      return;
    }
  }
  ++matched_;
}

void Checker::Finish() {
  if (in_frame_) EndFrame();
  if (next_check_ < rec_.checkpoints.size()) {
    const replay::Checkpoint& c = rec_.checkpoints[next_check_];
    Diverge(c.frame, "the recorded " + std::string(CheckKindName(c.kind)) + " did not happen");
  }
}

}  // namespace replay
