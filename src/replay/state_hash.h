#pragma once
// The game-state digest: one 64-bit hash per named part of the state (each
// ball's place, motion and state, the flippers, the scores, the lamps, the
// random state, the rules, the game flow, nudge and tilt). It only reads the
// state; the pictures' own fields (reflections, redraw marks) are left out,
// so a game hashes the same with or without a window.

#include <cstdint>
#include <optional>
#include <vector>

#include "core/random15.h"
#include "physics/nudge.h"
#include "physics/world.h"
#include "replay/recording.h"
#include "rules/game_flow.h"
#include "rules/rules.h"

namespace replay {

struct GameStateView {
  const physics::World& world;
  const rules::Rules& rules;
  const rules::FlowState& flow;
  const core::Random15& random;
  const physics::NudgeState* nudge = nullptr;  // null: the part hashes nothing
};

StateDigest DigestGameState(const GameStateView& game);

// Says after each frame whether a ball or the game has just ended, from the
// state alone, so the recording and the replay take their checkpoints at the
// same frames. A ball ends when a frame drains as many balls as were on the
// table after the frame before (a drain in multiball only ends the
// multiball); the game ends when its game-ended flag is set (the last drain,
// or a game stopped from the menu). Otherwise, while a game is in play,
// every kIntervalFrames-th frame is a periodic check.
class CheckpointWatch {
 public:
  std::optional<CheckKind> AfterFrame(const GameStateView& game);

 private:
  bool primed_ = false;
  int32_t drains_ = 0;
  int32_t game_ended_ = 0;
  int32_t in_play_ = 0;
  uint32_t frames_ = 0;
};

// Every player's score (players 0..last index).
std::vector<int32_t> Scores(const rules::Rules& rules);

// The hash of the tuning in force: its report text (every single key and
// every changed surface entry), so it does not depend on how it was loaded.
uint64_t TuningHash(const physics::World& world);

}  // namespace replay
