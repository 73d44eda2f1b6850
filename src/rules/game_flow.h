#pragma once
// The course of a game: one to four players (or the computer) take turns, three
// balls each; each ball is served onto the plunger, launched by the held Start
// action, and drained 2 s after it falls below the table; the end-of-ball
// bonus, shoot again, the kicker hole's two-ball multiball, tilt clean-up and
// game over with a high-score check per human player.

#include <cstdint>

#include "core/window_commands.h"
#include "rules/rules.h"
#include "rules/score_display.h"

namespace rules {

inline constexpr int32_t kDrainDelayMs = 2000;
inline constexpr int32_t kPlungerFrameMs = 30;
inline constexpr int32_t kPullFrames = 32;  // a full pull: 32 × 30 = 960 ms
inline constexpr float kPullPerStrength = 930.0f;
inline constexpr int32_t kIntroFrames = 13;
inline constexpr int32_t kIntroFirstFrame = 32;
inline constexpr int32_t kIntroFinished = -1;
inline constexpr int32_t kNewGameHoldMs = 1;
inline constexpr int32_t kCyclesPerGame = 2;  // cycles after the first: three balls each
inline constexpr int kCommandHighScore = core::kCommandHighScoreEntry;
inline constexpr int kServeSoundSlot = core::kSoundServe;
// Ball search: a ball that has stayed within kRestRadius pixels for kBallSearchMs.
inline constexpr int32_t kBallSearchMs = 10000;
inline constexpr float kRestRadius = 3.0f;
inline constexpr float kSearchPush = 2.5f;  // pixels per step, away from a wall
inline constexpr float kSearchKick = 5.0f;  // from a bumper or kicker the ball lies against

// The plunger lane: a ball inside it lies on the plunger.
inline bool InPlungerLane(float x, float y) {
  return x > 740.0f && x < 795.0f && y > 1400.0f && y < 1510.0f;
}

// What the game flow asks of the program around it.
class FlowHost {
 public:
  virtual ~FlowHost() = default;
  // A window command with its argument, delivered before the call returns
  // (108 with a player index: the high-score check).
  virtual void PostCommand(int command, int arg) = 0;
  // Both flippers down and redrawn (a new game).
  virtual void ResetFlippers() {}
  virtual void RedrawFlippers() {}
  // The normal or the dark playfield picture.
  virtual void ShowPlayfield(bool /*dark*/) {}
  // The nudge tilt meter back to 0 (each new ball).
  virtual void ResetTiltMeter() {}
};

struct FlowState {
  // Before the first game as at a new game, so that the scoreboard waiting on
  // the main menu shows the first ball (after a game the last ball stays).
  int32_t cycles_left = kCyclesPerGame;
  int32_t game_ended = 0;
  int32_t ball_hold_time = 0;  // ms; while above zero no ball moves
  int32_t ball_served = 0;     // a ball waits on the plunger for its launch
  uint32_t pull_time = 0;      // ms the Start action has been held since arming
  int32_t intro_timer = kIntroFinished;
  int32_t start_held = 0;  // the Start action in this frame (the control poll sets it)

  // Counts for the statistics of headless runs.
  int32_t launches = 0;
  int32_t drains = 0;
  // Drains by where the ball left the table: left of the left flipper's
  // pivot, between the pivots, right of the right flipper's pivot.
  int32_t drains_left = 0;
  int32_t drains_centre = 0;
  int32_t drains_right = 0;
  int32_t multiballs = 0;
  int32_t ball_searches = 0;
};

class GameFlow final : public FlowHooks {
 public:
  // Hooks itself into the rules (Rules::flow).
  GameFlow(Rules& rules, ScoreDisplay& display, FlowHost& host);
  ~GameFlow() override;
  GameFlow(const GameFlow&) = delete;
  GameFlow& operator=(const GameFlow&) = delete;

  void HoleReleaseStep() override;

  Rules& rules;
  ScoreDisplay& display;
  FlowHost& host;
  FlowState state;
};

// A game for players 0..rules.players.last_index. The caller (the menu)
// clears the main-menu flag and game ended first, and for a computer game
// sets rules.table.flags.computer_playing and then ball served.
void NewGame(GameFlow& f);
// Ends the game at once (menu).
void StopGame(GameFlow& f);
// Once per frame per ball: true when the ball is to be removed (then run
// DrainHandling for it).
bool BallLifecycleCheck(GameFlow& f, int ball);
// Where a ball falling out at x leaves the table: 0 past the left flipper
// (the left outlane), 2 past the right one, 1 between them.
int DrainSide(const physics::World& w, float x);
void DrainHandling(GameFlow& f, int ball);
// Once per rules frame: a ball on the table (launched, not held in the hole,
// not in the plunger lane, not draining) that has lain still for 10 s while
// no flipper was held gets a ball search, so that no resting place can keep a
// game from ending.
void BallSearchCheck(GameFlow& f, bool flipper_held);
// Fires every bumper and the kicker once (pictures and sounds, no score) and
// pushes the ball along and a little away from the walls around it, so that
// it also leaves a flat ledge; harder when it lies against a bumper or the
// kicker.
void BallSearch(GameFlow& f, int ball);
// Once per frame after the physics steps. The flipper states are this frame's.
void FlowRulesFrame(GameFlow& f, bool left_held, bool right_held);
void PlungerUpdate(GameFlow& f);
void Launch(GameFlow& f, float strength);
// At the moment the table tilts.
void TiltCleanUp(GameFlow& f);
void ServeBall(GameFlow& f, int ball);
void BallStartReset(GameFlow& f);
void RedrawTable(GameFlow& f);

// Whether the game is over (or none was started).
inline bool GameOver(const GameFlow& f) { return f.state.game_ended != 0; }

}  // namespace rules
