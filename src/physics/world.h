#pragma once
// The physics state of one table: tuning, surface table, the two balls, the
// collision map, the flippers, the kicker centres and the flags the ball step
// reads. The nudge state joins it when it is built.

#include <array>
#include <climits>
#include <cstdint>

#include "core/random15.h"
#include "core/table_sound.h"
#include "physics/ball.h"
#include "physics/flipper.h"
#include "physics/surface_map.h"
#include "physics/surface_table.h"
#include "physics/tuning.h"

namespace physics {

// Where and at what angle a ball last met a wall (read by the rules and sounds).
struct ContactRecord {
  int32_t x = 0, y = 0;
  float normal = 0.0f;  // radians
};

// The drop search remembers its last pixel and answer per ball.
struct DropCache {
  int32_t x = INT_MIN, y = INT_MIN;
  int32_t result = 0;
};

// A rebound kicker's centre, playfield pixels.
struct KickerCentre {
  float x = 0.0f, y = 0.0f;
};
inline constexpr int kMaxKickers = 4;

struct World {
  Tuning tuning;
  SurfaceTable surfaces;
  std::array<BallRecord, kBallCount> balls{};
  SurfaceMap map;
  std::array<Flipper, kFlipperCount> flippers = BuiltInFlippers();
  // The last state seen per flipper control, for the flippers' speed counters.
  std::array<int32_t, kFlipperControls> flipper_control_state{};
  // Set by the rules from the table objects that are rebound kickers.
  std::array<KickerCentre, kMaxKickers> kicker_centres{};
  int32_t kicker_count = 0;

  int32_t current_ball = 0;     // the ball being stepped (rules and sounds use its number)
  int32_t mirrored_step = 0;    // set while the current ball is stepped reflected through y = 0
  int32_t tilted = 0;           // set by the tilt meter; no flipper control, no kicks
  int32_t hole_lock_timer = 0;  // kept by the rules: not 0 while a ball is locked in the hole
  std::array<ContactRecord, kBallCount> contact{};
  std::array<DropCache, kBallCount> drop_cache{};

  // Not owned. The sound may be null (nothing is played).
  core::TableSound* sound = nullptr;
  core::Random15* random = nullptr;

  World() { BallReset(balls); }

  TuningTargets tuning_targets() { return {tuning, surfaces, balls}; }
};

// Plays a table sound with an impact-strength term, when there is a sound device.
inline void PlayImpactSound(World& w, int slot, float x, float y, float strength) {
  if (w.sound) w.sound->PlayTableSoundWithSpeed(slot, x, y, strength, true, false);
}

// The physics side of a playfield load, before the tuning text is read:
// resets the surface table and both balls and puts ball 0 on the plunger.
// (A game start only resets the balls: BallReset, then the tuning text.)
void PlayfieldReset(World& world, core::Random15& random);

// Advances one ball by one step (time factor f; the frame loop passes 1.0).
// Returns 0 when the ball did not move freely (not in play, held, holding, or
// rolling along a wall), 2 after an ordinary step, 5 after a flipper strike,
// 6 after a bumper or kicker push.
int BallStep(World& world, int index, float f = 1.0f);

// Steps one ball the way the frame loop does: marks it as the current ball
// and, when it lies above the top edge (y < 0), steps it reflected through
// y = 0 with the mirrored-step flag set, so it meets no flipper, then reflects
// it back exactly. Returns the ball step's result.
int StepBall(World& world, int index);

// After each round of ball steps: pushes near balls apart, collides touching
// balls and separates any that still overlap. Returns 1 when two balls touched.
int BallBallPass(World& world);

}  // namespace physics
