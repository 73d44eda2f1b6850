#pragma once
// The table's rule set: what every hit scores and lights, the SANTA and TREE
// lamps, the bonus lamps, drop targets, spinner, kicker hole, skill shot and
// the EXTRA, DOUBLE and SPECIAL awards. The hit pass runs after every physics
// step; the per-frame pieces run from the rules frame.

#include <array>
#include <cstdint>

#include "core/random15.h"
#include "physics/world.h"
#include "rules/players.h"
#include "rules/table_objects.h"

namespace rules {

// Spinner state: speed in radians per second, angles in radians.
struct SpinnerState {
  float speed = 0.0f;
  float angle = 0.0f;
  float settle = 0.0f;  // position in the wobble list
  int32_t settling = 0;
  int32_t frame = 0;  // 0..15
};

struct RuleState {
  int32_t extra_earned = 0;
  int32_t double_earned = 0;
  int32_t special_earned = 0;
  int32_t award_rotation = 0;  // 0 EXTRA, 1 DOUBLE, 2 SPECIAL
  int32_t skill_shot_armed = 0;
  int32_t bonus_anim_step = -1;  // -1 idle
  int32_t bonus_anim_timer = 0;  // ms
  int32_t bumper_rotation_count = 0;
  uint32_t last_hole_sound_time = 0;  // ms
  SpinnerState spinner;
};

// What the rules keep per ball record besides the physics fields. The game
// flow swaps these together with the ball records.
struct BallRuleState {
  int32_t last_rollover = -1;  // last rollover or lane crossed, -1 in none
  int32_t new_ball = 0;        // served to a player and not yet past the lane exit
  int32_t drain_time = 0;      // ms below the table bottom
  int32_t lane_line = -1;      // lane line of the lane check the ball is in, -1 in none
  // Per one-way gate: this passage through it has been counted.
  std::array<int32_t, 3> gate_counted{};
  int32_t drain_side = 1;  // where the ball left the table: 0 left, 1 centre, 2 right
  // Where the ball came to rest and for how long it has stayed there (ball search).
  float rest_x = 0.0f, rest_y = 0.0f;
  int32_t rest_ms = 0;
  int32_t search_turn = 0;  // side the last search turned the push to: -1, 1, 0 for none yet
};

inline constexpr int kLaneLineCount = 13;

// What happened on the table, counted for statistics (headless runs, tuning).
struct RuleCounters {
  // Accepted hits by row; the gate rows count passages through their gate.
  std::array<int32_t, kUsedObjectRows> object_hits{};
  // Entries into each lane line of the lane check: upper E2, TREE T R E1 E2,
  // SANTA S A1 N T A2, lane exit, side lane, gift lane.
  std::array<int32_t, kLaneLineCount> lane_entries{};
  int32_t hole_catches = 0;
  int32_t spinner_revolutions = 0;
  int32_t skill_shots = 0;
  int32_t awards = 0;
  // Awards collected by kind: EXTRA, DOUBLE, SPECIAL (their sum is awards).
  std::array<int32_t, 3> awards_by_kind{};
  // Times each award became ready to collect (SANTA complete, TREE complete,
  // every bumper lit), and times the whole drop-target bank went down and lit
  // GIFT: an award is paid only when both happen in one ball.
  std::array<int32_t, 3> awards_earned{};
  int32_t gift_lit = 0;
};

// What the rules ask of the game flow.
class FlowHooks {
 public:
  virtual ~FlowHooks() = default;
  // The hole lock timer ran past its limit (it is now -1): serve the second
  // ball, or free the held one when two balls are already in play.
  virtual void HoleReleaseStep() = 0;
};

inline constexpr int32_t kHoleHoldMs = 700;

struct Rules {
  Rules() { table.canvas = &recorder; }
  Rules(const Rules&) = delete;
  Rules& operator=(const Rules&) = delete;

  // Ties the rules to a world: balls, tilt, hole lock timer, tuning, the
  // surface map, the sound and the random source.
  void Bind(physics::World& w);

  physics::World* world = nullptr;   // not owned
  core::Random15* random = nullptr;  // not owned; the world's by default
  FlowHooks* flow = nullptr;         // not owned; may be null
  Table table;
  RuleState state;
  Players players;
  std::array<BallRuleState, physics::kBallCount> balls{};
  RuleCounters counters;
  int32_t main_menu_shown = 0;
  std::array<int32_t, 2> flippers_held{};  // at the previous rules frame

  // The clock of the current frame.
  uint32_t now = 0;            // ms
  int32_t frame_time = 0;      // whole ms
  double frame_time_ms = 0.0;  // exact

  // Keeps what was drawn until the compositor supplies its canvas.
  RecordingCanvas recorder;
};

// Sets the clock for the coming hit passes and rules frame.
void SetClock(Rules& r, uint32_t now, int32_t frame_time, double frame_time_ms);

// --- Scoring (the only ways points reach a player record) ---
void AddScore(Rules& r, int32_t points, int32_t bonus_steps);
void CountBonus(Rules& r, bool doubled);
// True while more than one ball is in play and not held.
bool Multiball(const Rules& r);
bool Tilted(const Rules& r);

// --- Lamps and awards ---
void UpdateBonusLamps(Rules& r);
void UpdateAwardLamps(Rules& r, bool advance);
void CheckSanta(Rules& r);
void CheckTree(Rules& r);
void CheckBumpers(Rules& r);
void CollectAward(Rules& r);
void ClearSkillShot(Rules& r);
void ClearBumperLights(Rules& r);
void SaveBumperLights(Rules& r, int player);
void RestoreBumperLights(Rules& r, int player);
// Newly pressed flippers shift the SANTA and TREE lamps (when the tuning asks).
void ShiftLampsByFlippers(Rules& r, bool left_held, bool right_held);

// --- Hits ---
// After every physics step: hole lock timer, then for each ball in play the
// gate, spinner, hole and lane checks and the nearest-object hit.
void HitPass(Rules& r);
void KickerHit(Rules& r);
// The kicker's kick picture and sound, without scoring (a hit, a ball search).
void FireKicker(Rules& r);
void BumperHit(Rules& r, int row);
void DropTargetHit(Rules& r, float x, float y, int row, int ball);
void DropTarget(Rules& r, int row, bool direct);
void ResetDropTargets(Rules& r);
bool AllDropTargetsDown(const Rules& r);
void GatePassage(Rules& r, int row);
// Nudges swing the gates: bit 1 row 11, bit 2 row 12, bit 4 row 13.
void GateSwing(Rules& r, int mask);
void SpinnerTouch(Rules& r);
void MoveSpinner(Rules& r);
void ResetSpinner(Rules& r);
void HoleRelease(Rules& r, int ball);
void ReleaseHeldBalls(Rules& r);
void LaneCheck(Rules& r, int ball);

// --- Per frame ---
// Early in the rules frame: bonus lamps, lamp shows, spinner, lamp shifting.
void RulesFrameEarly(Rules& r, bool left_held, bool right_held);
// Late in the rules frame: blinking, animation steps and the drop bank.
void RulesFrameLate(Rules& r);

}  // namespace rules
