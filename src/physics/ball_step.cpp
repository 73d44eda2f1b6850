// The motion step of one ball: move, spin, gravity, friction, then hand over
// to the contact code, and commit with the energy guard.

#include <cmath>

#include "core/angle.h"
#include "physics/collision.h"
#include "physics/world.h"

namespace physics {

namespace {

constexpr float kRisingThreshold = -0.3f;  // extra gravity only while vy is above this
constexpr float kMovingSpeed = 0.00001f;
constexpr float kRestingSpeed = 0.01f;
constexpr float kDrift = 0.2f;
constexpr float kEnergyHeight = 2000.0f;
constexpr float kEnergyDamping = 0.99f;
constexpr int kEnergyRepeats = 50;
constexpr float kRotationDecay = 0.9f;
constexpr float kRotationGain = 0.002f;
constexpr float kRotationThreshold = 0.05f;
// A wall normal this close to 0, or at or above this, is a side wall or a
// ceiling: gravity acts in full.
constexpr float kSideNormal = 0.0031416f;
constexpr float kCeilingNormal = 3.138451f;

float SpeedOf(const BallRecord& b) { return std::sqrt(b.vx * b.vx + b.vy * b.vy); }

void Spin(BallRecord& b, float f) {
  for (int i = 0; i < 3; ++i) b.rotation[i] += f * b.rotation_rate[i];
  if (std::fabs(b.vy) > kRotationThreshold) b.rotation_rate[0] += f * (-b.vy * kRotationGain);
  if (std::fabs(b.vx) > kRotationThreshold) b.rotation_rate[2] += f * (b.vx * kRotationGain);
  if (b.rolling) {
    float speed = SpeedOf(b);
    if (speed > kRotationThreshold) {
      float d = f * (speed * 2.0f * kRotationGain);
      bool against = (b.contact_normal > core::kPi && b.vx > 0.0f) ||
                     (b.contact_normal <= core::kPi && b.vx <= 0.0f);
      b.rotation_rate[1] += against ? -d : d;
    }
  }
  float decay = f == 1.0f ? kRotationDecay : std::pow(kRotationDecay, f);
  for (float& r : b.rotation_rate) r *= decay;
}

bool OnFloor(const BallRecord& b, float normal) {
  return std::fabs(normal - core::kPi / 2.0f) <= b.floor_tolerance;
}

void Gravity(const World& w, BallRecord& b, const StepContext& ctx) {
  float g = b.plane_gravity + SlopeAcceleration(w.surfaces, b.surface_code) +
            (b.vy > kRisingThreshold ? w.tuning.add_g_down : 0.0f);
  const float f = ctx.f;
  if (!ctx.touching) {
    b.vy += f * g;
    return;
  }
  const float n = ctx.normal;
  if (n <= kSideNormal || n >= kCeilingNormal) {
    b.vy += f * g;
  } else if (!OnFloor(b, n)) {
    // Only the part of gravity along the wall acts.
    float c = std::cos(n);
    b.vx += f * g * c * std::sin(n);
    b.vy += f * g * c * c;
  }
  // Otherwise the wall carries the ball.
}

}  // namespace

int BallStep(World& w, int index, float f) {
  if (index < 0 || index >= kBallCount) return 0;
  BallRecord& rec = w.balls[index];
  if (!rec.in_play) return 0;
  if (rec.hold_counter > 0) {
    // A soft surface holds the ball still, unless a flipper has swept over
    // it meanwhile: then it is stepped at once and lifted out.
    if (IsOpenAt(w, rec, PixelOf(rec.x), PixelOf(rec.y))) {
      --rec.hold_counter;
      return 0;
    }
    rec.hold_counter = 0;
  }
  if (rec.held) return 0;

  rec.vx += rec.pending_vx;
  rec.vy += rec.pending_vy;

  BallRecord b = rec;
  StepContext ctx;
  ctx.f = f;
  ctx.old_x = b.x;
  ctx.old_y = b.y;
  ctx.start_vx = b.vx;
  ctx.start_vy = b.vy;
  b.x = b.x + f * b.vx;
  b.y = b.y + f * b.vy;

  Spin(b, f);
  FlipperContactUpkeep(w, index, b, ctx);

  int px = PixelOf(b.x), py = PixelOf(b.y);
  b.surface_code = SurfaceCodeAt(w, px, py);
  ctx.touching = TouchesWall(w, b, px, py);
  if (ctx.touching) WallContact(w, index, b, ctx);

  Gravity(w, b, ctx);

  ctx.slow_zone = InSlowZone(w, b.x, b.y);
  float mu = ctx.slow_zone ? w.tuning.plane_add_mu : 0.0f;
  mu += b.plane_friction;
  if (ctx.touching) mu += WallFriction(w.surfaces, b.surface_code);
  ctx.mu = mu;
  float s = SpeedOf(b);
  float speed = s > mu ? s - f * mu : 0.0f;
  if (speed > b.speed_limit) speed = b.speed_limit;
  if (s > kMovingSpeed) {
    float k = speed / s;
    b.vx *= k;
    b.vy *= k;
  } else {
    b.vx = 0.0f;
    b.vy = 0.0f;
  }

  int result = 2;
  bool rolled = false;
  if (b.rolling) {
    if (ctx.touching && SpeedOf(b) < kRestingSpeed && OnFloor(b, ctx.normal) && !ctx.slow_zone) {
      int drop = DropSearch(w, index, PixelOf(b.x), PixelOf(b.y));
      if (drop != 0) {
        b.x += kDrift * static_cast<float>(drop);
        b.vx += kDrift * static_cast<float>(drop);
      } else {
        b.vx = 0.0f;
        b.vy = 0.0f;
      }
    }
    rolled = RollingContactStep(w, index, b, ctx);
  }
  if (!rolled && ctx.touching) result = CollisionResponse(w, index, b, ctx);

  // Energy guard reference, from the state at the start of the step.
  const float g2 = b.plane_gravity + (b.vy > kRisingThreshold ? w.tuning.add_g_down : 0.0f);
  const float e0 = 0.5f * (ctx.start_vx * ctx.start_vx + ctx.start_vy * ctx.start_vy) +
                   g2 * (kEnergyHeight - ctx.old_y);

  // The rules never see a gate's code, nor the scoreless kicker's unless it
  // kicked.
  if (b.surface_code == kCodeGate || (result != 6 && b.surface_code == kCodeKickerStrong)) {
    b.surface_code = kCodeOpenFloor;
  }
  rec = b;
  rec.prev_x = ctx.old_x;
  rec.prev_y = ctx.old_y;
  if (SurfaceCodeAt(w, PixelOf(rec.x), PixelOf(rec.y)) == kCodeOpenFloor) {
    rec.last_open_floor_code = kCodeOpenFloor;
  }

  if (result == 5 || result == 6) return result;
  const float e1 = 0.5f * (rec.vx * rec.vx + rec.vy * rec.vy) + g2 * (kEnergyHeight - rec.y);
  if (e1 > e0) {
    for (int i = 0; i < kEnergyRepeats; ++i) {
      rec.vx *= kEnergyDamping;
      rec.vy *= kEnergyDamping;
      if (rec.vx * rec.vx + rec.vy * rec.vy < 2.0f * (e0 + g2 * rec.y)) break;
    }
  }
  return rolled ? 0 : 2;
}

namespace {

// Whatever the tuning, a ball never holds a value that is not finite: a step
// that would give one leaves the ball where the step started, at rest.
void KeepFinite(BallRecord& b, float start_x, float start_y) {
  if (std::isfinite(b.vx) && std::isfinite(b.vy) && std::isfinite(b.x) && std::isfinite(b.y)) {
    return;
  }
  b.vx = 0.0f;
  b.vy = 0.0f;
  if (!std::isfinite(b.x) || !std::isfinite(b.y)) {
    b.x = start_x;
    b.y = start_y;
  }
  b.prev_x = b.x;
  b.prev_y = b.y;
}

}  // namespace

int StepBall(World& w, int index) {
  if (index < 0 || index >= kBallCount) return 0;
  w.current_ball = index;
  const bool mirrored = w.balls[index].y < 0.0f;
  if (mirrored) {
    MirrorBallY(w.balls[index]);
    w.mirrored_step = 1;
  }
  const float start_x = w.balls[index].x, start_y = w.balls[index].y;
  int result = BallStep(w, index, 1.0f);
  KeepFinite(w.balls[index], start_x, start_y);
  if (mirrored) {
    MirrorBallY(w.balls[index]);
    w.mirrored_step = 0;
  }
  return result;
}

}  // namespace physics
