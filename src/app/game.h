#pragma once
// The game aggregate: everything one running table owns. Tests build one with
// a FakeClock (and, to watch the frame's order, their own passes); several
// can live in one process.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/clock.h"
#include "app/frame_passes.h"
#include "core/control_binding.h"
#include "core/random15.h"
#include "core/table_sound.h"
#include "physics/computer_player.h"
#include "physics/nudge.h"
#include "physics/world.h"
#include "rules/game_flow.h"
#include "rules/rules.h"
#include "rules/score_display.h"

namespace app {

// Application flags (plain integers, 0 or 1).
struct AppFlags {
  int32_t app_active = 1;
  int32_t system_menu_open = 0;
  int32_t loading_phase = 0;
  int32_t title_shown = 0;
  int32_t main_menu_shown = 0;
  int32_t pause_menu_shown = 0;
  int32_t computer_playing = 0;
};

// The game-flow flags the frame loop reads; the rules own and update them.
struct PlayFlags {
  int32_t game_ended = 0;
  int32_t ball_hold_time = 0;  // ms; while above zero neither balls nor flippers move
};

// The frame loop's clock values (ms) and state.
struct FrameState {
  double now = 0.0;
  uint32_t now_whole = 0;
  double previous_frame_time = 0.0;
  double frame_time = 0.0;  // at most 33
  uint32_t frame_time_whole = 0;
  double next_step_time = 0.0;
  double step_debt = 0.0;         // at most 33
  int32_t pause_hold_frames = 0;  // set to 10 when the pause menu closes
  int32_t present_succeeded = 1;
  bool palette_done = false;

  // Both ball records before the last step (for interpolation), and the true
  // records while interpolated positions are drawn.
  std::array<physics::BallRecord, physics::kBallCount> pre_step{};
  std::array<physics::BallRecord, physics::kBallCount> backup{};

  // What the last playing frame did.
  int32_t steps_run = 0;
  double weight = 0.0;
  bool interpolated = false;
};

struct Game;

// What the game flow and the nudge pass ask of the program: window commands,
// the flippers, the playfield picture, the tilt meter and lights out.
class GameHost final : public rules::FlowHost, public physics::NudgeHooks {
 public:
  explicit GameHost(Game& game) : game_(game) {}
  // Records the command and hands it to the game's command handler at once.
  void PostCommand(int command, int arg) override;
  void ResetFlippers() override;
  void RedrawFlippers() override;
  void ShowPlayfield(bool dark) override;
  void ResetTiltMeter() override;
  bool LightsOut() override;
  void SetLightsOut(bool on) override;
  bool FlippersDown() override;
  void NudgeReaction(int mask) override;
  void TiltCleanUp() override;

 private:
  Game& game_;
};

struct Game {
  // Without passes the game runs GamePasses with nothing drawn.
  explicit Game(std::unique_ptr<Clock> clock, std::unique_ptr<FramePasses> passes = nullptr);
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  core::Random15 random;
  core::SilentTableSound silent_sound;  // the sound of runs without a sound engine
  physics::World world;
  rules::Rules rules;  // bound to the world
  std::unique_ptr<Clock> clock;
  std::unique_ptr<FramePasses> passes;
  AppFlags flags;
  PlayFlags play;
  FrameState frame;
  // Flipper control states for this frame (0 left, 1 right), written by the
  // control poll and the computer player.
  std::array<int32_t, 2> flipper_controls{};

  // The six action flags (core::Action order), refreshed by the input before
  // each frame; the control poll hands them to the flippers, the nudge pass
  // and the plunger.
  std::array<int32_t, core::kActionCount> actions{};
  physics::NudgeState nudge;
  physics::ComputerPlayerState computer;
  int32_t computer_first_launch = 0;  // the poll launches once after a demo starts
  int32_t dark_playfield = 0;         // the dark playfield picture is shown

  rules::ScoreDisplay score_display;
  rules::RecordingScoreCanvas score_recorder;  // the scoreboard of runs that draw nothing
  GameHost host{*this};
  rules::GameFlow flow{rules, score_display, host};

  // Window commands posted by the rules, oldest first, and who answers them
  // (the window procedure; may be empty).
  std::vector<std::pair<int, int>> posted_commands;
  std::function<void(Game&, int, int)> command_handler;
  // Reloads the tuning file after a game start (may be empty).
  std::function<void(Game&)> reload_tuning;
};

}  // namespace app
