// A ball on a flipper: the contact kept from step to step, and the strike
// when the ball meets a moving flipper's surface.

#include <algorithm>
#include <cmath>

#include "core/angle.h"
#include "physics/collision.h"
#include "physics/world.h"

namespace physics {

namespace {

using core::kPi;
using core::WrapAngle;

constexpr int kHeldBelow = 3;       // the flipper must lie this many pixels below the ball
constexpr int kCatchAbove = 5;      // open pixels above a ball that can be caught or knock back
constexpr int kSidePushBelow = 14;  // frames below which a rising flipper pushes sideways

float Length(float x, float y) { return std::sqrt(x * x + y * y); }

bool IsFlipperPixel(const World& w, int x, int y) { return SurfaceCodeAt(w, x, y) == kCodeFlipper; }

// Whether the flipper surface still carries the ball; may put the ball back
// onto the surface.
bool HeldByFlipper(const World& w, BallRecord& b, const StepContext& ctx, int sign) {
  const int x0 = PixelOf(ctx.old_x), y0 = PixelOf(ctx.old_y);
  if (!IsFlipperPixel(w, x0, y0 + kHeldBelow * sign)) return false;
  if (IsFlipperPixel(w, x0, y0)) {
    // Inside the surface: along the move to where it opens.
    const float dx = b.x - ctx.old_x, dy = b.y - ctx.old_y;
    const float len = std::min(Length(dx, dy), 4096.0f);
    const int r = static_cast<int>(len >= 0.0f ? len : 4096.0f) + 3;
    float px = ctx.old_x, py = ctx.old_y;
    for (int k = 1; k <= 3 * r; ++k) {
      const float t = static_cast<float>(k) / static_cast<float>(r);
      const float qx = ctx.old_x + dx * t, qy = ctx.old_y + dy * t;
      if (IsOpenAt(w, b, PixelOf(qx), PixelOf(qy))) {
        b.x = px;
        b.y = py;
        return true;
      }
      px = qx;
      py = qy;
    }
    return false;
  }
  if (IsFlipperPixel(w, PixelOf(b.x), PixelOf(b.y))) return true;
  if (IsFlipperPixel(w, x0, y0 + sign)) {
    b.x = ctx.old_x;
    b.y = ctx.old_y + static_cast<float>(sign);
    return true;
  }
  return false;
}

}  // namespace

void FlipperContactUpkeep(World& w, int, BallRecord& b, const StepContext& ctx) {
  if (b.flipper_contact < 0) return;
  ++b.flipper_contact_steps;
  const Tuning& t = w.tuning;
  const Flipper* f = FlipperFor(w, b.flipper_contact);
  bool ends = !f || f->frame <= b.flipper_contact_frame ||
              b.flipper_contact_steps >= t.max_flipper_speed_phase ||
              Length(b.vx, b.vy) >= t.max_flipper_speed ||
              Length(b.x - b.flipper_contact_x, b.y - b.flipper_contact_y) >= t.max_ball_range ||
              Length(b.x - static_cast<float>(f->pivot_x), b.y - static_cast<float>(f->pivot_y)) >=
                  t.max_cbcf_range;
  if (!ends) ends = !HeldByFlipper(w, b, ctx, FlipperAboveSign(w, b.flipper_contact));
  if (ends) EndFlipperContact(b);
}

FlipperStrikeResult FlipperStrike(World& w, BallRecord& b, int fl, float normal,
                                  float normal_speed) {
  FlipperStrikeResult r;
  Flipper* f = FlipperFor(w, fl);
  if (!f) return r;
  const Tuning& t = w.tuning;
  const int px = PixelOf(b.x), py = PixelOf(b.y);
  const int sign = FlipperAboveSign(w, fl);
  const float pivot_x = static_cast<float>(f->pivot_x), pivot_y = static_cast<float>(f->pivot_y);

  if (!FlipperMoving(w, fl)) {
    // A fast ball knocks a fully raised flipper back a frame.
    if (f->frame == kFlipperTopFrame && IsOpenAt(w, b, px, py - kCatchAbove * sign) &&
        normal_speed * Length(b.x - pivot_x, b.y - pivot_y) > t.min_flip_return_speed) {
      f->frame = kFlipperTopFrame - 1;
      f->redraw = 1;
      SetFlipperHold(w, fl, t.flip_return_counter);
      r.knocked = true;
    }
    return r;
  }
  r.struck = true;

  // Contact point on the ball and its distance from the pivot.
  const float rho = static_cast<float>(b.radius);
  const float cx = b.x - rho * std::cos(normal), cy = b.y + rho * std::sin(normal);
  const float dist = Length(cx - pivot_x, cy - pivot_y);
  const float tip = std::clamp(dist - t.min_f_flipper_radius, 0.0f, t.max_f_flipper_radius) /
                    t.max_f_flipper_radius * t.max_f_flipper_angle;
  const float lever = std::clamp(dist - t.min_flipper_radius, 0.0f, t.max_flipper_radius);
  const float k = std::max(1.0f - lever / t.max_flipper_radius, t.min_flipper_radius_k);
  const bool left = f->left_side != 0;
  float s = core::DirectionOf(cx - pivot_x, cy - pivot_y);
  float n = normal;
  s = WrapAngle(left ? s - tip : s + tip);
  n = WrapAngle(left ? n - tip : n + tip);

  // The ball's velocity as the flipper meets it.
  const bool pressed = f->pressed != 0;
  float vx = b.vx, vy = b.vy;
  float catch_factor = 1.0f;
  if (!pressed) {
    vx *= t.flipper_down_reflection * k;
    vy *= t.flipper_down_reflection * k;
    if (IsOpenAt(w, b, px, py - kCatchAbove * sign) && b.vy > t.ball_catch_speed_y) {
      vx *= t.ball_catch_decay;
      vy *= t.ball_catch_decay;
      catch_factor = t.flipper_catch_decay;
      r.caught = true;
    }
  } else if (b.flipper_contact >= 0) {
    vx *= t.flipper_up_reflection * k;
    vy *= t.flipper_up_reflection * k;
  }
  const float cn = std::cos(n), sn = std::sin(n);
  float vn = std::min(vx * cn - vy * sn, 0.0f);
  float push = 1.0f;
  if (-vn > t.max_ball_normal_speed) {
    const float q = std::max(1.0f - std::fabs(vn) / b.speed_limit, t.ball_speed_decay);
    vx *= q;
    vy *= q;
    vn = std::min(vx * cn - vy * sn, 0.0f);
    f->speed_counter =
        std::max(f->speed_counter - t.reset_flipper_speed_counter, t.min_flipper_speed_counter);
    push = std::max(q, t.flipper_speed_decay);
  }
  const float vt = -vx * sn - vy * cn;

  // The flipper's surface speed at the contact, square to the flipper.
  const float u = lever * FlipperSpeed(w, fl) *
                  (FlipperRising(w, fl) ? t.flipper_speed_up : t.flipper_speed_down) * push *
                  catch_factor;
  float ux = u * std::sin(s), uy = u * std::cos(s);
  if (left) ux = -ux, uy = -uy;
  if (!pressed) ux = -ux, uy = -uy;
  float un = ux * cn - uy * sn;
  un = std::max(std::min(un, vn + t.max_flipper_normal_speed), 0.0f);

  const float h = FlipperHardness(w, fl, b.flipper_contact_steps);
  float nvx = h * (2.0f * un - vn) * cn + vt * -sn;
  const float nvy = h * (2.0f * un - vn) * -sn + vt * -cn;

  // A strike from the wrong side of the flipper is no strike.
  if (!pressed) {
    r.cancelled = IsOpenAt(w, b, px, py - sign) && !r.caught;
  } else {
    r.cancelled = IsOpenAt(w, b, px, py + sign) || (sign > 0 ? n > kPi : n < kPi);
  }
  if (r.cancelled) return r;

  SetFlipperHold(w, fl, t.max_flipper_counter);
  const float away = core::DirectionOf(nvx, nvy);
  bool keep =
      left ? (n >= t.max_flipper_normal_angle && n <= kPi) : (n < kPi - t.max_flipper_normal_angle);
  keep = keep && std::fabs(core::AngleDifference(away, s)) < t.max_delta_flip_a_new_ball_a &&
         std::fabs(core::AngleDifference(n, s)) < t.max_delta_norma_flip_a;
  if (keep) {
    if (b.flipper_contact != fl) {
      b.flipper_contact = fl;
      b.flipper_contact_steps = 0;
      b.flipper_contact_x = b.x;
      b.flipper_contact_y = b.y;
      b.flipper_angle = {s, n};
    }
  } else {
    EndFlipperContact(b);
  }
  b.flipper_contact_frame = f->frame;

  // A flipper low in its stroke also pushes a slow ball sideways.
  if (pressed && lever > t.min_fc_flipper_radius && f->frame < kSidePushBelow &&
      std::fabs(b.vy) < t.max_fc_ball_speed) {
    float dvx = -t.max_fc_flipper_dx * FlipperSpeed(w, fl) *
                std::min((dist - t.min_fc_flipper_radius) / t.max_fc_flipper_radius, 1.0f);
    if (left) dvx = -dvx;
    nvx += dvx;
  }
  r.stands = true;
  r.vx = nvx;
  r.vy = nvy;
  return r;
}

bool ElementImpulse(const World& w, const BallRecord& b, int code, float normal, float speed,
                    float& kick_x, float& kick_y) {
  const Tuning& t = w.tuning;
  float k;
  if (code == kCodeBumper) {
    if (!(speed < t.max_bumper_speed)) return false;
    k = t.bumper_speed;
  } else if (code == kCodeKicker || code == kCodeKickerStrong) {
    // The kick grows toward the nearest kicker's centre.
    const float reach = t.max_rebound_distance;
    float d = reach;
    const float bx = static_cast<float>(PixelOf(b.x)), by = static_cast<float>(PixelOf(b.y));
    const int count = std::clamp(w.kicker_count, 0, kMaxKickers);
    float best = -1.0f;
    for (int i = 0; i < count; ++i) {
      const KickerCentre& c = w.kicker_centres[static_cast<size_t>(i)];
      const float dc = Length(bx - c.x, by - c.y);
      if (best < 0.0f || dc < best) best = dc;
    }
    if (best >= 0.0f) d = std::min(best, reach);
    k = reach > 0.0f ? std::fabs(reach - d) * t.rebound_speed / reach : t.rebound_speed;
    if (code == kCodeKicker) k *= 0.5f;
    k = std::max(k, t.rebound_speed * t.rebound_force_decay);
  } else {
    return false;
  }
  kick_x = std::cos(normal) * k;
  kick_y = -std::sin(normal) * k;
  return true;
}

}  // namespace physics
