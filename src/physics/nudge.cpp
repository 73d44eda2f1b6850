#include "physics/nudge.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace physics {

float NudgeStrength(const World& w, const BallRecord& b) {
  if (b.waiting_at_plunger) return 0.0f;
  const float max_d = w.tuning.max_nudge_distance;
  if (!(max_d > 0.0f)) return 0.0f;
  const int64_t d = std::llabs(static_cast<int64_t>(w.map.height) - PixelOf(b.y));
  if (static_cast<float>(d) > max_d) return 0.0f;
  return w.tuning.nudge_speed * (1.0f - static_cast<float>(d) / max_d);
}

namespace {

constexpr float kSoundX[kNudgeControls] = {300.0f, 500.0f, 400.0f};
constexpr int kGateMask[kNudgeControls] = {1, 2, 4};
// The pushed side as seen from the ball.
constexpr int kProbeDx[kNudgeControls] = {-1, 1, 0};
constexpr int kProbeDy[kNudgeControls] = {0, 0, 1};

void Nudge(World& w, NudgeState& n, NudgeHooks& hooks, int control) {
  hooks.NudgeReaction(kGateMask[control]);
  if (w.sound) w.sound->PlayTableSound(kNudgeSoundSlot, kSoundX[control], 0.0f, true, false);
  switch (control) {
    case kNudgeFromLeft:
      n.shake_x.speed = kShakeSpeed;
      n.shake_x.offset += kShakeJump;
      n.shake_x.outward = 1;
      break;
    case kNudgeFromRight:
      n.shake_x.speed = -kShakeSpeed;
      n.shake_x.offset -= kShakeJump;
      n.shake_x.outward = 1;
      break;
    default:
      n.shake_y.speed = -kShakeSpeed;
      n.shake_y.offset -= kShakeJump;
      n.shake_y.outward = 1;
      break;
  }
  for (BallRecord& b : w.balls) {
    if (!b.in_play) continue;
    const int x = PixelOf(b.x), y = PixelOf(b.y);
    const int dx = kProbeDx[control], dy = kProbeDy[control];
    const bool open2 = IsOpenAt(w, b, x + 2 * dx, y + 2 * dy);
    const bool open4 = IsOpenAt(w, b, x + 4 * dx, y + 4 * dy);
    if (open2 && open4) continue;
    const float push = NudgeStrength(w, b) * w.tuning.nudge_multi;
    switch (control) {
      case kNudgeFromLeft:
        b.vx += push;
        break;
      case kNudgeFromRight:
        b.vx -= push;
        break;
      default:
        b.vy -= push;
        break;
    }
  }
}

void ShakeUpkeep(ShakeAxis& a, float frame_time) {
  a.offset += frame_time * a.speed;
  if (a.outward) {
    if (a.offset > kShakeLimit) {
      a.offset = kShakeLimit;
      a.speed = -kShakeReturnSpeed;
      a.outward = 0;
    } else if (a.offset < -kShakeLimit) {
      a.offset = -kShakeLimit;
      a.speed = kShakeReturnSpeed;
      a.outward = 0;
    }
  } else if ((a.speed > kShakeEnd && a.offset > 0.0f) ||
             (a.speed < -kShakeEnd && a.offset < 0.0f)) {
    a.offset = 0.0f;
    a.speed = 0.0f;
  }
}

int32_t ShiftOf(const ShakeAxis& a) {
  const int32_t v = -static_cast<int32_t>(a.offset + 0.5f);
  return std::clamp(v, -kShakeMaxShift, kShakeMaxShift);
}

}  // namespace

void NudgeAndTiltPass(World& w, NudgeState& n, NudgeHooks& hooks, float frame_time) {
  if (w.tilted && !hooks.LightsOut() && hooks.FlippersDown()) hooks.SetLightsOut(true);

  for (int c = 0; c < kNudgeControls; ++c) {
    if (n.pressed[c] && !n.previous[c]) Nudge(w, n, hooks, c);
  }

  const bool held = n.pressed[0] || n.pressed[1] || n.pressed[2];
  if (held && !w.tilted) {
    n.tilt_meter += frame_time * kTiltGainPerMs;
    if (n.tilt_meter > static_cast<float>(w.tuning.max_tilt_counter)) {
      hooks.TiltCleanUp();
      w.tilted = 1;
      hooks.SetLightsOut(false);
      n.tilt_meter = 0.0f;
      ++n.tilts;
    }
  } else if (!held && n.tilt_meter > 0.00001f) {
    n.tilt_meter = std::max(0.0f, n.tilt_meter - frame_time);
  }

  n.previous = n.pressed;

  ShakeUpkeep(n.shake_x, frame_time);
  ShakeUpkeep(n.shake_y, frame_time);
  if (n.display_nudge) {
    n.shake_offset = {ShiftOf(n.shake_x), ShiftOf(n.shake_y)};
  } else {
    n.shake_offset = {0, 0};
  }
}

}  // namespace physics
