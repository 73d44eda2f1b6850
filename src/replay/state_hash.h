#pragma once
// The game-state digest: one 64-bit hash per named part of the state (each
// ball's place, motion and state, the flippers, the scores, the lamps, the
// random state, the rules, the game flow, nudge and tilt). It only reads the
// state; the pictures' own fields (reflections, redraw marks) are left out,
// so a game hashes the same with or without a window.

#include <cstdint>
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

// Every player's score (players 0..last index).
std::vector<int32_t> Scores(const rules::Rules& rules);

// The hash of the tuning in force: its report text (every single key and
// every changed surface entry), so it does not depend on how it was loaded.
uint64_t TuningHash(const physics::World& world);

}  // namespace replay
