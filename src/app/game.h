#pragma once
// The game aggregate: everything one running table owns. Tests build one with
// a FakeClock (and, to watch the frame's order, their own passes); several
// can live in one process.

#include <array>
#include <cstdint>
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

namespace res {
struct ResourceLayer;
}
namespace sound {
class SoundEngine;
}

namespace app {

struct MessageQueue;

// Application flags (0 or 1). Whether the main menu shows and whether the
// computer plays belong to the rules (the game flow brings the menu back at a
// game's end, the table's plunger answers the computer): AppFlags names those
// two, it holds no copy.
struct AppFlags {
  AppFlags(int32_t& main_menu, int32_t& computer)
      : main_menu_shown(main_menu), computer_playing(computer) {}
  AppFlags(const AppFlags&) = delete;
  AppFlags& operator=(const AppFlags&) = delete;

  int32_t app_active = 1;
  int32_t system_menu_open = 0;
  int32_t loading_phase = 0;
  int32_t title_shown = 0;
  int32_t pause_menu_shown = 0;
  int32_t& main_menu_shown;   // rules::Rules::main_menu_shown
  int32_t& computer_playing;  // rules::TableFlags::computer_playing
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
  AppFlags flags{rules.main_menu_shown, rules.table.flags.computer_playing};
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

  // Window commands posted by the rules, oldest first. Under a window
  // procedure they go to its queue (`window_queue`); without one the game
  // answers its own commands at once (RunGameCommand) and ignores the rest.
  std::vector<std::pair<int, int>> posted_commands;
  MessageQueue* window_queue = nullptr;
  // Where the tuning file is read again after a game start (null: it is not),
  // and the sound engine whose tuning follows the table's (null: none).
  res::ResourceLayer* tuning_pack = nullptr;
  sound::SoundEngine* tuned_sound = nullptr;
};

}  // namespace app
