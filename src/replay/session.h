#pragma once
// What a driver needs to record a game or to play one back, in a few calls
// around its frame: the clock readings go through Reading, the input changes
// through Event / Events, and EndFrame takes the checkpoints when a ball or
// the game ends (both sides take them at the same frames).

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "replay/checker.h"
#include "replay/reader.h"
#include "replay/state_hash.h"
#include "replay/writer.h"

namespace replay {

class RecordSession {
 public:
  explicit RecordSession(std::unique_ptr<Writer> writer) : writer_(std::move(writer)) {}
  // Creates the file and writes the header; null with a message on failure.
  static std::unique_ptr<RecordSession> ToFile(const std::string& path, const Header& header,
                                               std::string& error);

  // A clock reading as the frame loop saw it; returns it unchanged.
  double Reading(double ms) {
    writer_->ClockReading(ms);
    return ms;
  }
  void Event(const InputEvent& event) { writer_->Event(event); }
  // After each frame: writes it, and a checkpoint when a ball or the game ended.
  void EndFrame(const GameStateView& game);
  // The recording is over (the game ended or the player quit): the last
  // frame's state, then the end record. Nothing more is written.
  void Finish(const GameStateView& game);

  Writer& writer() { return *writer_; }
  const Writer& writer() const { return *writer_; }

 private:
  std::unique_ptr<Writer> writer_;
  CheckpointWatch watch_;
};

class ReplaySession {
 public:
  // The recording must outlive the session.
  explicit ReplaySession(const Recording& recording) : checker_(recording) {}

  bool BeginFrame() { return checker_.BeginFrame(); }
  double Reading() { return checker_.NextReading(); }
  std::span<const InputEvent> Events() const { return checker_.Events(); }
  void EndFrame(const GameStateView& game);
  // After the last recorded frame: compares the last frame's state.
  void Finish(const GameStateView& game);

  const Checker& checker() const { return checker_; }

 private:
  Checker checker_;
  CheckpointWatch watch_;
};

// Why a recording cannot be replayed with the pack and tuning loaded now, or
// nullopt when it can ("made with another GFALL.DAT").
std::optional<std::string> Incompatibility(const Header& recorded, uint64_t pack_hash,
                                           uint64_t tuning_hash);

}  // namespace replay
