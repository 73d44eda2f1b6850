#include "app/game_passes.h"

#include "app/window_proc.h"
#include "physics/flipper.h"
#include "physics/tuning_file.h"
#include "rules/game_flow.h"
#include "sound/sound_engine.h"

namespace app {

void GameHost::PostCommand(int command, int arg) {
  game_.posted_commands.emplace_back(command, arg);
  if (game_.window_queue != nullptr) {
    game_.window_queue->Post(ui::CommandMessage(command, arg));
  } else {
    RunGameCommand(game_, command, arg);
  }
}

void GameHost::ResetFlippers() {
  game_.flipper_controls = {0, 0};
  physics::ResetFlippers(game_.world);
}

void GameHost::RedrawFlippers() { physics::RefreshFlipperImages(game_.world, true); }

void GameHost::ShowPlayfield(bool dark) {
  game_.dark_playfield = dark ? 1 : 0;
  game_.passes->ShowPlayfield(game_, dark);
}

void GameHost::ResetTiltMeter() { game_.nudge.tilt_meter = 0.0f; }

bool GameHost::LightsOut() { return game_.rules.table.flags.lights_out != 0; }

void GameHost::SetLightsOut(bool on) {
  game_.rules.table.flags.lights_out = on ? 1 : 0;
  if (!on) return;
  rules::RedrawTable(game_.flow);
  rules::DrawTiltSign(game_.score_display);
}

bool GameHost::FlippersDown() { return physics::FlippersAllDown(game_.world); }

void GameHost::NudgeReaction(int mask) {
  rules::SpinnerTouch(game_.rules);
  rules::GateSwing(game_.rules, mask);
}

void GameHost::TiltCleanUp() { rules::TiltCleanUp(game_.flow); }

std::array<physics::FlipperReach, physics::kFlipperCount> FlipperReaches(const physics::World& w) {
  std::array<physics::FlipperReach, physics::kFlipperCount> reach{};
  for (int i = 0; i < physics::kFlipperCount; ++i) {
    const physics::Flipper& f = w.flippers[static_cast<size_t>(i)];
    reach[static_cast<size_t>(i)] = {f.box_x, f.box_y, f.box_w, f.box_h, f.pivot_x, f.left_side};
  }
  return reach;
}

void ReloadTuning(Game& g) {
  physics::LoadTuning(*g.tuning_pack, g.world.tuning_targets());
  if (g.tuned_sound == nullptr) return;
  g.tuned_sound->tuning = {g.world.tuning.sound_pano_scale, g.world.tuning.sound_volume_scale,
                           g.world.tuning.sound_speed_scale};
}

void StartGame(Game& g, bool computer) {
  g.flags.computer_playing = computer ? 1 : 0;
  g.flags.main_menu_shown = 0;
  g.flow.state.game_ended = 0;
  g.actions = {};
  g.flipper_controls = {0, 0};
  rules::NewGame(g.flow);
  if (computer) {
    g.flow.state.ball_served = 1;
    g.computer_first_launch = 1;
  }
  if (g.tuning_pack != nullptr) ReloadTuning(g);
}

bool RunGameCommand(Game& g, int command, int /*arg*/) {
  switch (command) {
    case core::kCommandNewGame:
      StartGame(g, false);
      return true;
    case core::kCommandComputerGame:
      StartGame(g, true);
      return true;
    case core::kCommandNextPlayerCount: {
      rules::Players& p = g.rules.players;
      p.last_index = (p.last_index + 1) % rules::kPlayerCount;
      rules::UpdateScoreDisplay(g.score_display, p, 0, true);
      return true;
    }
    case core::kCommandEndGame:
      rules::StopGame(g.flow);
      g.flags.main_menu_shown = 1;
      g.flags.computer_playing = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace app
