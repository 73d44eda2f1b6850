#pragma once
// Recording and replaying in the driver's loop. The hook wraps the game's
// clock, so every reading made inside a frame is recorded (or, in a replay,
// comes from the recording; between frames the replay's clock stands still); before each frame it
// notes what changed from outside the game (the actions, the application flags, the last present's
// result, the pause hold) and, in a replay, sets them as recorded; after each
// frame it takes the checkpoints.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "app/clock.h"
#include "app/game.h"
#include "replay/session.h"
#include "replay/validate.h"

namespace app {

// The inputs of the frame loop from outside the game, numbered as in the
// recording's loop-state events.
enum LoopInput : int {
  kLoopAppActive,
  kLoopSystemMenu,
  kLoopLoading,
  kLoopTitle,
  kLoopMainMenu,
  kLoopPauseMenu,
  kLoopComputer,
  kLoopPresentOk,
  kLoopPauseHold,
  kLoopInputs
};

// The frame state's times, numbered as in the recording's loop-time events
// (the window sets them when play resumes).
enum LoopTime : int {
  kTimeNow,
  kTimePrevious,
  kTimeNextStep,
  kTimeFrame,
  kTimeStepDebt,
  kLoopTimes
};

struct LoopInputs {
  std::array<int32_t, core::kActionCount> actions{};
  std::array<int32_t, kLoopInputs> values{};
  std::array<double, kLoopTimes> times{};
};
LoopInputs LoopInputsOf(const Game& g);

replay::GameStateView StateView(const Game& g);

// The bounds of a recording this program could have written, with the frame
// loop's inputs and times as it numbers them.
replay::Limits RecordingLimits();

// What the header says about a game at the start of recording.
struct RecordingSetup {
  std::string pack_path;  // GFALL.DAT; empty for the built-in test table
  std::string run_mode;   // "window", "play", "headless", ...
  std::string display_mode = "none";
  int32_t width = 0, height = 0;
  uint32_t seed = 1;
  bool computer = false;
  bool test_table = false;
  std::string start;  // "menus", "play" or "demo": how the run began
  std::string player;
};

// The hash of the pack a game runs on (0: the built-in test table).
bool PackHash(const std::string& pack_path, uint64_t& hash, std::string& error);

class ReplayHook {
 public:
  ReplayHook() = default;
  ReplayHook(const ReplayHook&) = delete;
  ReplayHook& operator=(const ReplayHook&) = delete;

  // Starts recording the game into a file (its table and tuning loaded, its
  // seed set): wraps its clock. False with a message when the file cannot be
  // written.
  bool StartRecording(Game& g, const RecordingSetup& setup, const std::string& path,
                      std::string& error);
  // Starts replaying a recording (which must outlive the hook) into a game
  // set up as its header says: checks pack and tuning (false with a message
  // when they differ) and puts the recorded clock in place of the game's.
  // `pace`, when given, is a real clock: the replay then keeps real time.
  bool StartReplay(Game& g, const replay::Recording& recording, const std::string& pack_path,
                   std::string& error, std::unique_ptr<Clock> pace = nullptr);

  bool recording() const { return record_ != nullptr; }
  // False once writing the recording failed (a full disk): the rest is missing.
  bool record_ok() const { return !record_ || record_->writer().ok(); }
  bool replaying() const { return play_ != nullptr; }

  // Before a frame. Recording: notes what changed from outside. Replay: the
  // next recorded frame's inputs are set (and its window commands run);
  // false when every frame was played.
  bool BeforeFrame(Game& g);
  // Recording: a window command the game answers (RunGameCommand), given by
  // the menus between frames.
  void Command(const Game& g, int command, int arg);
  // After a frame: its checkpoints.
  void AfterFrame(Game& g);
  // The end of the run: the last frame's state (and, recording, the end record).
  void Finish(Game& g);

  // Replay: the verdict ("" while none) and how it went.
  const replay::Checker* checker() const { return play_ ? &play_->checker() : nullptr; }
  // Real-speed replay: faster or slower (1 = real time). While paused the
  // driver runs no frames; the replay keeps time again from where it paused.
  void SetSpeed(double factor);
  void SetPaused(bool paused);
  double speed() const;
  bool paused() const { return paused_; }

 private:
  void NoteChanges(const Game& g);

  std::unique_ptr<replay::RecordSession> record_;
  std::unique_ptr<replay::ReplaySession> play_;
  LoopInputs last_{};
  bool finished_ = false;
  bool paused_ = false;
  bool in_frame_ = false;
  int32_t replay_actions_ = 0;  // the actions held in the replay  // between BeforeFrame and
                                // AfterFrame: the clock is the game's
  class ReplayClock* replay_clock_ = nullptr;
};

}  // namespace app
