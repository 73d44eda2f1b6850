#include "app/game_passes.h"

#include "physics/flipper.h"
#include "rules/game_flow.h"

namespace app {

void GameHost::PostCommand(int command, int arg) {
  game_.posted_commands.emplace_back(command, arg);
  if (game_.command_handler) game_.command_handler(game_, command, arg);
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

void SyncFlagsIn(Game& g) {
  rules::SetClock(g.rules, g.frame.now_whole, static_cast<int32_t>(g.frame.frame_time_whole),
                  g.frame.frame_time);
  g.rules.main_menu_shown = g.flags.main_menu_shown;
  g.rules.table.flags.computer_playing = g.flags.computer_playing;
  g.score_display.sound = g.world.sound;
}

void SyncFlagsOut(Game& g) {
  g.flags.main_menu_shown = g.rules.main_menu_shown;
  g.play.game_ended = g.flow.state.game_ended;
  g.play.ball_hold_time = g.flow.state.ball_hold_time;
}

void GamePasses::PollControls(Game& g) {
  SyncFlagsIn(g);
  if (g.flags.computer_playing) {
    g.nudge.pressed = {0, 0, 0};
    g.flow.state.start_held = 0;
    if (g.computer_first_launch) {
      g.computer_first_launch = 0;
      rules::Launch(g.flow, 0.75f + g.random.UpTo(0.25f));
    }
  } else {
    g.flipper_controls = {g.actions[core::kActionLeftFlipper] ? 1 : 0,
                          g.actions[core::kActionRightFlipper] ? 1 : 0};
    g.nudge.pressed[physics::kNudgeFromLeft] = g.actions[core::kActionNudgeLeft] ? 1 : 0;
    g.nudge.pressed[physics::kNudgeFromRight] = g.actions[core::kActionNudgeRight] ? 1 : 0;
    g.nudge.pressed[physics::kNudgeUp] = g.actions[core::kActionNudgeUp] ? 1 : 0;
    g.flow.state.start_held = g.actions[core::kActionStart] ? 1 : 0;
  }
  SyncFlagsOut(g);
}

std::array<physics::FlipperReach, physics::kFlipperCount> FlipperReaches(const physics::World& w) {
  std::array<physics::FlipperReach, physics::kFlipperCount> reach{};
  for (int i = 0; i < physics::kFlipperCount; ++i) {
    const physics::Flipper& f = w.flippers[static_cast<size_t>(i)];
    reach[static_cast<size_t>(i)] = {f.box_x, f.box_y, f.box_w, f.box_h, f.pivot_x, f.left_side};
  }
  return reach;
}

void GamePasses::ComputerPlayer(Game& g) {
  physics::RunComputerPlayer(g.computer, g.world, FlipperReaches(g.world),
                             static_cast<int32_t>(g.frame.frame_time_whole), g.random,
                             g.flipper_controls);
  // A tilted table ignores the flippers, the computer's presses too.
  if (g.world.tilted || g.flags.main_menu_shown) g.flipper_controls = {0, 0};
}

void GamePasses::NudgeAndTilt(Game& g) {
  SyncFlagsIn(g);
  physics::NudgeAndTiltPass(g.world, g.nudge, g.host, static_cast<float>(g.frame.frame_time));
  SyncFlagsOut(g);
}

bool GamePasses::BallLifecycleCheck(Game& g, int ball) {
  SyncFlagsIn(g);
  const bool remove = rules::BallLifecycleCheck(g.flow, ball);
  SyncFlagsOut(g);
  return remove;
}

void GamePasses::BallFollowUp(Game& g, int ball) {
  SyncFlagsIn(g);
  rules::DrainHandling(g.flow, ball);
  SyncFlagsOut(g);
}

void GamePasses::HitPass(Game& g) {
  SyncFlagsIn(g);
  rules::HitPass(g.rules);
  SyncFlagsOut(g);
}

void GamePasses::RulesFrame(Game& g) {
  SyncFlagsIn(g);
  rules::FlowRulesFrame(g.flow, g.flipper_controls[0] != 0, g.flipper_controls[1] != 0);
  SyncFlagsOut(g);
}

void StartGame(Game& g, bool computer) {
  g.flags.computer_playing = computer ? 1 : 0;
  g.flags.main_menu_shown = 0;
  g.flow.state.game_ended = 0;
  g.rules.main_menu_shown = 0;
  g.rules.table.flags.computer_playing = g.flags.computer_playing;
  g.actions = {};
  g.flipper_controls = {0, 0};
  rules::NewGame(g.flow);
  if (computer) {
    g.flow.state.ball_served = 1;
    g.computer_first_launch = 1;
  }
  if (g.reload_tuning) g.reload_tuning(g);
  SyncFlagsOut(g);
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
      g.rules.main_menu_shown = 1;
      g.flags.computer_playing = 0;
      SyncFlagsOut(g);
      return true;
    default:
      return false;
  }
}

}  // namespace app
