#include "app/frame_loop.h"

#include <algorithm>
#include <cmath>

#include "app/game_passes.h"
#include "app/headless.h"
#include "app/table_view.h"
#include "physics/computer_player.h"
#include "physics/flipper.h"
#include "render/picture.h"
#include "rules/game_flow.h"
#include "rules/rules.h"

namespace app {

namespace {

// Rounded to whole milliseconds; a time beyond the counter's range (which no
// clock reaches in a session) holds at its end.
uint32_t Whole(double ms) {
  if (!(ms > 0.0)) return 0u;
  if (ms >= 4294967295.0) return 4294967295u;
  return static_cast<uint32_t>(ms + 0.5);
}

// Reads the clock and updates frame time and step debt, both capped at 33 ms
// by holding the previous frame time and the next step time back.
void ReadTiming(Game& g) {
  FrameState& f = g.frame;
  f.now = g.clock->Now();
  f.now_whole = Whole(f.now);
  f.frame_time = f.now - f.previous_frame_time;
  // A clock behind the last frame (it never runs backward) gives no time.
  if (!(f.frame_time >= 0.0)) {
    f.previous_frame_time = f.now;
    f.frame_time = 0.0;
  }
  if (f.frame_time > kLagCapMs) {
    f.previous_frame_time = f.now - kLagCapMs;
    f.frame_time = kLagCapMs;
  }
  f.step_debt = f.now - f.next_step_time;
  if (f.step_debt > kLagCapMs) {
    f.next_step_time = f.now - kLagCapMs;
    f.step_debt = kLagCapMs;
  }
  f.frame_time_whole = Whole(f.frame_time);
  // The rules read the frame's time from here on.
  rules::SetClock(g.rules, f.now_whole, static_cast<int32_t>(f.frame_time_whole), f.frame_time);
}

void UpdateFlippers(Game& g, bool left, bool right) {
  g.passes->UpdateFlipper(g, 0, left, kFlipperHoldFactor);
  g.passes->UpdateFlipper(g, 1, right, kFlipperHoldFactor);
}

void IdleFrame(Game& g) {
  FramePasses& p = *g.passes;
  FrameState& f = g.frame;
  --f.pause_hold_frames;
  ReadTiming(g);
  if (g.flags.main_menu_shown) {
    for (int i = 0; i < 5; ++i) UpdateFlippers(g, false, false);
    p.RulesFrame(g);
    p.RefreshFlipperImages(g);
    p.Draw(g, false);
    p.FlipperSounds(g);
  }
  p.Present(g);
  g.clock->Sleep(1.0);
  f.previous_frame_time = f.now;
}

void DrawInterpolated(Game& g, double w) {
  FrameState& f = g.frame;
  auto& balls = g.world.balls;
  f.backup = balls;
  for (int i = 0; i < physics::kBallCount; ++i) {
    const physics::BallRecord& s = f.pre_step[i];
    if (!s.in_play) continue;
    balls[i].x = static_cast<float>(s.x + (balls[i].x - s.x) * w);
    balls[i].y = static_cast<float>(s.y + (balls[i].y - s.y) * w);
  }
  g.passes->Draw(g, true);
  balls = f.backup;
}

}  // namespace

int FrameGate(Game& g) {
  if (!g.frame.palette_done) {
    g.frame.palette_done = true;
    g.passes->PaletteStep(g);
  }
  if (g.flags.app_active && !g.flags.system_menu_open) {
    RunFrame(g);
    return 0;
  }
  return 1;
}

int StepOneBall(Game& g, int index) {
  int result = physics::StepBall(g.world, index);
  const physics::BallRecord& b = g.world.balls[index];
  g.passes->RollReflection(g, index, b.rotation_rate[0], b.rotation_rate[1], b.rotation_rate[2]);
  return result;
}

void RunFrame(Game& g) {
  FramePasses& p = *g.passes;
  FrameState& f = g.frame;
  f.steps_run = 0;
  f.weight = 0.0;
  f.interpolated = false;

  if (g.flags.loading_phase || g.flags.title_shown) {
    p.Present(g);
    g.clock->Sleep(1.0);
    return;
  }
  if (g.flags.pause_menu_shown || f.pause_hold_frames > 0 || g.flags.main_menu_shown) {
    IdleFrame(g);
    return;
  }

  ReadTiming(g);
  if (f.now - f.next_step_time < 0.0) {
    // Early: wait in 1 ms sleeps until the next step is due.
    for (int i = 0; i < kEarlyWaitLimit; ++i) {
      g.clock->Sleep(1.0);
      if (g.clock->Now() - f.next_step_time >= 0.0) break;
    }
    ReadTiming(g);
  }

  p.PollControls(g);
  if (g.world.tilted || g.flags.main_menu_shown) g.flipper_controls = {0, 0};
  if (g.flags.computer_playing) p.ComputerPlayer(g);
  p.NudgeAndTilt(g);
  for (int i = 0; i < physics::kBallCount; ++i) {
    if (p.BallLifecycleCheck(g, i)) p.BallFollowUp(g, i);
  }

  // Clamped before it becomes a count: a step time far behind or ahead of
  // the clock must not overflow it.
  const double due = std::trunc((f.now - f.next_step_time) / kStepMs);
  int n = due >= kMaxExtraSteps ? kMaxExtraSteps : (due > 0.0 ? static_cast<int>(due) : 0);
  double w = 1.0 - ((n + 1) * kStepMs + f.next_step_time - f.now) / kStepMs;
  w = std::clamp(w, 0.0, 1.0);
  if (!f.present_succeeded) {
    n = 0;
    w = 0.0;
  }

  // A hold time that has run below zero counts as run out.
  const rules::FlowState& flow = g.flow.state;
  const bool holding = flow.ball_hold_time > 0 && !flow.game_ended;
  bool stepped = false;
  if (!holding && !flow.game_ended) {
    for (int i = 0; i <= n; ++i) {
      UpdateFlippers(g, g.flipper_controls[0] != 0, g.flipper_controls[1] != 0);
      f.pre_step = g.world.balls;
      for (int b = 0; b < physics::kBallCount; ++b) {
        if (g.world.balls[b].launched) StepOneBall(g, b);
      }
      physics::BallBallPass(g.world);
      p.HitPass(g);
      p.FlipperSounds(g);
    }
    stepped = true;
    f.steps_run = n + 1;
  } else if (!holding) {
    UpdateFlippers(g, g.flipper_controls[0] != 0, g.flipper_controls[1] != 0);
    p.FlipperSounds(g);
  }
  p.RulesFrame(g);
  p.RefreshFlipperImages(g);

  if (stepped) {
    f.weight = w;
    f.interpolated = true;
    DrawInterpolated(g, w);
  } else {
    p.Draw(g, false);
  }

  f.next_step_time += kStepMs * (n + 1);
  f.previous_frame_time = f.now;
  f.present_succeeded = p.Present(g) ? 1 : 0;
}

// --- The passes, in the order a frame runs them ---

void GamePasses::PollControls(Game& g) {
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
}

void GamePasses::ComputerPlayer(Game& g) {
  physics::RunComputerPlayer(g.computer, g.world, FlipperReaches(g.world),
                             static_cast<int32_t>(g.frame.frame_time_whole), g.random,
                             g.flipper_controls);
  // A tilted table ignores the flippers, the computer's presses too.
  if (g.world.tilted || g.flags.main_menu_shown) g.flipper_controls = {0, 0};
}

void GamePasses::NudgeAndTilt(Game& g) {
  physics::NudgeAndTiltPass(g.world, g.nudge, g.host, static_cast<float>(g.frame.frame_time));
}

bool GamePasses::BallLifecycleCheck(Game& g, int ball) {
  const bool remove = rules::BallLifecycleCheck(g.flow, ball);
  return remove;
}

void GamePasses::BallFollowUp(Game& g, int ball) { rules::DrainHandling(g.flow, ball); }

void GamePasses::UpdateFlipper(Game& g, int control, bool pressed, int hold_factor) {
  physics::UpdateFlipper(g.world, control, pressed, hold_factor);
}

void GamePasses::RollReflection(Game& g, int ball, float forward, float sideways, float spin) {
  if (view_ == nullptr || ball < 0 || ball >= physics::kBallCount) return;
  render::RollReflection(g.world.balls[static_cast<size_t>(ball)].reflection,
                         view_->compositor->reflection, forward, sideways, spin);
}

void GamePasses::HitPass(Game& g) {
  rules::HitPass(g.rules);
  if (stats == nullptr) return;
  for (const physics::BallRecord& b : g.world.balls) {
    if (!b.in_play || !b.launched) continue;
    const float v = std::sqrt(b.vx * b.vx + b.vy * b.vy);
    if (v > stats->max_speed) stats->max_speed = v;
  }
}

void GamePasses::FlipperSounds(Game& g) { physics::FlipperSounds(g.world); }

void GamePasses::RulesFrame(Game& g) {
  rules::FlowRulesFrame(g.flow, g.flipper_controls[0] != 0, g.flipper_controls[1] != 0);
}

void GamePasses::RefreshFlipperImages(Game& g) { physics::RefreshFlipperImages(g.world, false); }

void GamePasses::ShowPlayfield(Game& g, bool dark) {
  g.dark_playfield = dark ? 1 : 0;
  if (view_ == nullptr || shown_ == (dark ? 1 : 0)) return;
  ForcePlayfield(dark);
}

void GamePasses::ForcePlayfield(bool dark) {
  if (view_ == nullptr) return;
  const render::Picture& p =
      dark && !view_->dark_picture.pixels.empty() ? view_->dark_picture : view_->lit_picture;
  if (p.pixels.empty() || !render::SetBackground(p, view_->display)) return;
  shown_ = dark ? 1 : 0;
  // The flippers were drawn into the old picture.
  view_->flipper_image_drawn = {-1, -1};
}

void GamePasses::Draw(Game& g, bool) {
  if (view_ == nullptr) return;
  view_->compositor->shake_x = g.nudge.shake_offset[0];
  view_->compositor->shake_y = g.nudge.shake_offset[1];
  DrawTable(*view_, g.world);
}

bool GamePasses::Present(Game& g) {
  if (view_ == nullptr) return true;
  // The table comes back once the title and the loading are over.
  if (title_on_ && !g.flags.title_shown && !g.flags.loading_phase) {
    title_on_ = false;
    ForcePlayfield(g.dark_playfield != 0);
    rules::RedrawTable(g.flow);
  }
  render::PresentContext ctx{view_->display, *device_, *view_->compositor, *view_->slots,
                             view_->colours->palette};
  return render::PresentFrame(view_->presentation, ctx);
}

}  // namespace app
