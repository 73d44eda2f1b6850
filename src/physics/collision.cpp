#include "physics/collision.h"

#include <algorithm>
#include <cmath>

#include "core/angle.h"
#include "core/table_geometry.h"
#include "physics/surface_map.h"
#include "physics/world.h"

namespace physics {

namespace {

using core::kPi;
using core::kTwoPi;
using core::WrapAngle;

constexpr int kWalkLength = 6;
constexpr float kMaxWalk = 4096.0f;  // pixels
constexpr float kTangentT0 = 0.48f, kTangentT1 = 0.52f;
constexpr float kFlatTangent = 0.00001f;
// Two spots beside the one-way gates where the outline is unreliable.
constexpr float kLeftGateNormal = 0.698f;   // 40 degrees
constexpr float kRightGateNormal = 2.618f;  // 150 degrees
constexpr int kBackSteps = 60;              // walking back out of a wall, 0.1 px each
constexpr float kBackStep = 0.1f;
constexpr int kPushReach = 200;
constexpr int kEscapeSteps = 100;
constexpr float kEscapeStep = 0.1f;
constexpr int kClimbSteps = 20;
constexpr float kClimbStep = 0.5f;
constexpr float kDelayMinNormalSpeed = 0.1f;
constexpr float kRollMoveSpeed = 2.0f;
constexpr float kRestingSpeed = 0.01f;
constexpr float kDrift = 0.2f;
constexpr float kDriftFloor = kPi / 4.0f;
constexpr float kRollEndSpeed = 0.1f;
constexpr float kRollAwayLimit = 2.356f;  // 3π/4: moving this far into the wall ends rolling
constexpr float kRollHeight = 3000.0f;
constexpr float kCircleStep = 3.0f * kPi / 180.0f;
constexpr int kCircleTries = 10;
constexpr float kHardHitShare = 0.05f;  // of the speed limit
constexpr int kSoundWall = core::kSoundBallWall;
constexpr int kSoundOther = core::kSoundBallHit;

struct Point {
  float x, y;
};

bool OpenAt(const World& w, const BallRecord& b, float x, float y) {
  return IsOpenAt(w, b, PixelOf(x), PixelOf(y));
}

float Length(float x, float y) { return std::sqrt(x * x + y * y); }

// One step along the outline one way: onto the wall pixel that follows the
// first open neighbour, going round clockwise.
bool WalkOn(const World& w, const BallRecord& b, int& x, int& y) {
  for (int i = 0; i < 8; ++i) {
    const int j = (i + 1) % 8;
    if (IsOpenAt(w, b, x + kNeighbourDx[i], y + kNeighbourDy[i]) &&
        !IsOpenAt(w, b, x + kNeighbourDx[j], y + kNeighbourDy[j])) {
      x += kNeighbourDx[j];
      y += kNeighbourDy[j];
      return true;
    }
  }
  return false;
}

// The same the other way: onto the wall pixel that precedes an open one.
bool WalkBack(const World& w, const BallRecord& b, int& x, int& y) {
  for (int i = 0; i < 8; ++i) {
    const int j = (i + 1) % 8;
    if (!IsOpenAt(w, b, x + kNeighbourDx[i], y + kNeighbourDy[i]) &&
        IsOpenAt(w, b, x + kNeighbourDx[j], y + kNeighbourDy[j])) {
      x += kNeighbourDx[i];
      y += kNeighbourDy[i];
      return true;
    }
  }
  return false;
}

Point Bezier(const Point& p0, const Point& p1, const Point& p2, const Point& p3, float t) {
  const float u = 1.0f - t;
  const float a = u * u * u, b = 3.0f * u * u * t, c = 3.0f * u * t * t, d = t * t * t;
  return {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y};
}

// Turns a rolling ball's velocity along the wall: keeps a direction that
// already leaves the wall, takes the nearer tangent otherwise. False when the
// ball runs into the wall (the rolling ends).
bool TurnAlongWall(BallRecord& b, float normal) {
  const float speed = Length(b.vx, b.vy);
  const float m = core::DirectionOf(b.vx, b.vy);
  const float off = std::fabs(core::AngleDifference(normal, m));
  if (off > kRollAwayLimit) return false;
  if (off < kPi / 2.0f) return true;
  const float t1 = WrapAngle(normal + kPi / 2.0f), t2 = WrapAngle(normal - kPi / 2.0f);
  const float t =
      std::fabs(core::AngleDifference(m, t1)) <= std::fabs(core::AngleDifference(m, t2)) ? t1 : t2;
  b.vx = speed * std::cos(t);
  b.vy = -speed * std::sin(t);
  return true;
}

// A rolling ball never gains energy: when it would, its speed is set from the
// height it has lost since the start of the step. False when no speed fits.
bool RollingEnergyClamp(BallRecord& b, const StepContext& ctx) {
  const float g = b.plane_gravity;
  const float e0 = 0.5f * (ctx.start_vx * ctx.start_vx + ctx.start_vy * ctx.start_vy) +
                   g * (kRollHeight - ctx.old_y);
  const float v2 = b.vx * b.vx + b.vy * b.vy;
  const float e1 = 0.5f * v2 + g * (kRollHeight - b.y);
  if (!(e1 > e0)) return true;
  const float s2 = 2.0f * (e0 - g * (kRollHeight - b.y));
  if (!(s2 > 0.0f) || v2 <= 0.0f) return false;
  const float k = std::sqrt(s2) / std::sqrt(v2);
  b.vx *= k;
  b.vy *= k;
  return true;
}

void RecordContact(World& w, int index, int x, int y, float normal) {
  if (index >= 0 && index < kBallCount) w.contact[static_cast<size_t>(index)] = {x, y, normal};
}

// A ball at rest on a floor edges toward a drop nearby, moving x alone. The
// floor counts up to 45 degrees from flat: the outline normal already leans
// a few pixels before an edge, and a ball resting there would never fall.
// A bump one pixel high in the way (the tip a round cap ends in on the pixel
// grid) is rolled over: the drop search has found the row above the ball
// open all the way to the drop, and a ball held against the bump would
// otherwise balance there for good.
void RestingDrift(World& w, int index, BallRecord& b, const StepContext& ctx, float normal) {
  if (!(Length(b.vx, b.vy) < kRestingSpeed) || ctx.slow_zone) return;
  if (std::fabs(normal - kPi / 2.0f) > std::max(b.floor_tolerance, kDriftFloor)) return;
  const int drop = DropSearch(w, index, PixelOf(b.x), PixelOf(b.y));
  if (drop == 0) return;
  const float tx = b.x + kDrift * static_cast<float>(drop);
  if (OpenAt(w, b, tx, b.y)) {
    b.x = tx;
  } else if (OpenAt(w, b, tx, b.y - 1.0f)) {
    b.x = tx;
    b.y -= 1.0f;
  }
}

}  // namespace

bool InSlowZone(const World& world, float x, float y) { return InFlipperSlowZone(world, x, y); }

bool WallNormal(World& w, int index, const BallRecord& b, int code, int x, int y, float& normal) {
  // Beside the left and right gates, a closed gate's wall has a fixed normal.
  if (core::geometry::kGates[0].spot.Contains(x, y) && !b.gate_pass[0] && b.vx < 0.0f &&
      b.vy > 0.0f) {
    normal = kLeftGateNormal;
    RecordContact(w, index, x, y, normal);
    return true;
  }
  if (core::geometry::kGates[1].spot.Contains(x, y) && !b.gate_pass[1] && b.vx > 0.0f &&
      b.vy > 0.0f) {
    normal = kRightGateNormal;
    RecordContact(w, index, x, y, normal);
    return true;
  }

  // The walks' points are kept relative to the contact pixel, so the curve
  // is evaluated on small exact numbers.
  bool ok = true;
  Point on3{}, on6{}, back3{}, back6{};
  int ax = x, ay = y, bx = x, by = y;
  auto rel = [x, y](int px, int py) {
    return Point{static_cast<float>(px - x), static_cast<float>(py - y)};
  };
  for (int k = 1; k <= kWalkLength; ++k) {
    if (!WalkOn(w, b, ax, ay)) ok = false;
    if (!WalkBack(w, b, bx, by)) ok = false;
    if (k == 3) {
      on3 = rel(ax, ay);
      back3 = rel(bx, by);
    }
  }
  on6 = rel(ax, ay);
  back6 = rel(bx, by);

  const Point p0 = Bezier(on6, on3, back3, back6, kTangentT0);
  const Point p1 = Bezier(on6, on3, back3, back6, kTangentT1);
  const float dx = p1.x - p0.x, dy = p1.y - p0.y;
  const float a = std::fabs(dx) <= kFlatTangent ? kPi / 2.0f : std::atan(std::fabs(dy / dx));
  float n;
  if (dx > 0.0f) {
    n = dy > 0.0f ? -a - kPi / 2.0f : a - kPi / 2.0f;
  } else {
    n = dy > 0.0f ? a + kPi / 2.0f : kPi / 2.0f - a;
  }
  const float spread =
      static_cast<float>(RandomMultiplier(w.surfaces, code)) * w.tuning.random_angle;
  if (spread != 0.0f && w.random) n += w.random->Within(spread);
  normal = WrapAngle(n);
  RecordContact(w, index, x, y, normal);
  return ok;
}

ContactSearch SearchAlongMove(const World& w, const BallRecord& b, float x0, float y0, float x1,
                              float y1) {
  ContactSearch s;
  const float dx = x1 - x0, dy = y1 - y0;
  // Walks are bounded, however absurd the move (a tuning may allow any speed).
  const float len = std::min(Length(dx, dy), kMaxWalk);
  const int n = static_cast<int>(2.0f * (len >= 0.0f ? len : kMaxWalk)) + 2;
  float px = x0, py = y0;
  for (int k = 1; k <= n + 1; ++k) {
    const float t = static_cast<float>(k) / static_cast<float>(n);
    const float qx = x0 + dx * t, qy = y0 + dy * t;
    if (!OpenAt(w, b, qx, qy)) {
      s.hit = true;
      s.wall_x = PixelOf(qx);
      s.wall_y = PixelOf(qy);
      s.x = px;
      s.y = py;
      return s;
    }
    px = qx;
    py = qy;
  }
  s.x = x1;
  s.y = y1;
  return s;
}

int ContactPointSearch(const World& w, BallRecord& b, const StepContext& ctx, int& wall_x,
                       int& wall_y) {
  if (OpenAt(w, b, ctx.old_x, ctx.old_y)) {
    const ContactSearch s = SearchAlongMove(w, b, ctx.old_x, ctx.old_y, b.x, b.y);
    if (!s.hit) return -1;
    b.x = s.x;
    b.y = s.y;
    wall_x = s.wall_x;
    wall_y = s.wall_y;
    return SurfaceCodeAt(w, wall_x, wall_y);
  }
  // Already inside a wall at the start: back out against the move.
  wall_x = PixelOf(ctx.old_x);
  wall_y = PixelOf(ctx.old_y);
  const float dx = b.x - ctx.old_x, dy = b.y - ctx.old_y;
  const float l1 = std::fabs(dx) + std::fabs(dy);
  if (l1 > 0.0f) {
    const float step = kBackStep / l1;
    for (int k = 1; k <= kBackSteps; ++k) {
      const float qx = ctx.old_x - dx * step * static_cast<float>(k);
      const float qy = ctx.old_y - dy * step * static_cast<float>(k);
      if (OpenAt(w, b, qx, qy)) {
        b.x = qx;
        b.y = qy;
        break;
      }
    }
  }
  return SurfaceCodeAt(w, wall_x, wall_y);
}

bool PushOut(const World& w, BallRecord& b, const StepContext& ctx) {
  if (OpenAt(w, b, b.x, b.y)) return true;
  const float x = b.x + (b.vx > 0.0f ? 1.0f : -1.0f);
  const float y = b.y + (b.vy > 0.0f ? 1.0f : -1.0f);
  if (OpenAt(w, b, x, y)) {
    b.x = x;
    b.y = y;
    return true;
  }
  const int sx = PixelOf(ctx.old_x), sy = PixelOf(ctx.old_y);
  for (int i = 1; i <= kPushReach; ++i) {
    for (int d = 0; d < 8; ++d) {
      const float qx = x + static_cast<float>(kNeighbourDx[d] * i);
      const float qy = y + static_cast<float>(kNeighbourDy[d] * i);
      const int px = PixelOf(qx), py = PixelOf(qy);
      if (IsOpenAt(w, b, px, py) && !(px == sx && py == sy)) {
        b.x = qx;
        b.y = qy;
        return true;
      }
    }
  }
  return false;
}

bool EscapeAlongNormal(const World& w, BallRecord& b, const StepContext& ctx, float normal) {
  if (OpenAt(w, b, b.x + b.vx, b.y + b.vy)) return false;
  const float nx = std::cos(normal), ny = -std::sin(normal);
  for (float dir : {1.0f, -1.0f}) {
    for (int k = 1; k <= kEscapeSteps; ++k) {
      const float d = dir * kEscapeStep * static_cast<float>(k);
      const float qx = b.x + nx * d, qy = b.y + ny * d;
      if (OpenAt(w, b, qx, qy)) {
        b.x = qx;
        b.y = qy;
        return false;
      }
    }
  }
  PushOut(w, b, ctx);
  return true;
}

bool ClimbFlipperSurface(const World& w, BallRecord& b, float x, float y) {
  for (float dir : {1.0f, -1.0f}) {
    for (int k = 1; k <= kClimbSteps; ++k) {
      const float qy = y + dir * kClimbStep * static_cast<float>(k);
      if (OpenAt(w, b, x, qy)) {
        b.x = x;
        b.y = qy;
        return true;
      }
    }
  }
  return false;
}

void WallContact(World& w, int index, BallRecord& b, StepContext& ctx) {
  float n = 0.0f;
  bool found = WallNormal(w, index, b, b.surface_code, PixelOf(b.x), PixelOf(b.y), n);
  if (!found) {
    found = WallNormal(w, index, b, b.surface_code, PixelOf(ctx.old_x), PixelOf(ctx.old_y), n);
  }
  if (!found) {
    const ContactSearch s = SearchAlongMove(w, b, ctx.old_x, ctx.old_y, b.x, b.y);
    if (s.hit) {
      found = WallNormal(w, index, b, b.surface_code, s.wall_x, s.wall_y, n);
      if (!found) found = WallNormal(w, index, b, b.surface_code, PixelOf(s.x), PixelOf(s.y), n);
    }
  }
  ctx.normal = n;
  ctx.normal_found = found;
  if (b.rolling && Length(b.vx, b.vy) < kRollEndSpeed) b.rolling = 0;
}

bool RollingContactStep(World& w, int index, BallRecord& b, StepContext& ctx) {
  auto end = [&b]() {
    b.rolling = 0;
    return false;
  };
  if (!ctx.touching) return end();
  float n = ctx.normal_found ? ctx.normal : b.contact_normal;
  if (OpenAt(w, b, b.x, b.y)) {
    if (!TurnAlongWall(b, n) || !RollingEnergyClamp(b, ctx)) return end();
  } else {
    // Look round the old position, at the distance of the move, for open floor.
    const float mx = b.x - ctx.old_x, my = b.y - ctx.old_y;
    const float radius = Length(mx, my);
    if (!(radius > 0.0f)) return end();
    const float base = core::DirectionOf(mx, my);
    bool found = false;
    for (int k = 1; k <= kCircleTries && !found; ++k) {
      for (float side : {1.0f, -1.0f}) {
        const float a = base + side * kCircleStep * static_cast<float>(k);
        const float qx = ctx.old_x + radius * std::cos(a), qy = ctx.old_y - radius * std::sin(a);
        if (OpenAt(w, b, qx, qy)) {
          b.x = qx;
          b.y = qy;
          found = true;
          break;
        }
      }
    }
    if (!found) return end();
    float there = n;
    if (WallNormal(w, index, b, b.surface_code, PixelOf(b.x), PixelOf(b.y), there)) n = there;
    if (!TurnAlongWall(b, n) || !RollingEnergyClamp(b, ctx)) return end();
  }
  b.contact_normal = n;
  if (!RollingEnergyClamp(b, ctx)) return end();
  // A turn costs speed: keep the part of the new velocity along the old one.
  const float start = Length(ctx.start_vx, ctx.start_vy), now = Length(b.vx, b.vy);
  if (start > 0.0f && now > 0.0f) {
    const float c = std::fabs((ctx.start_vx * b.vx + ctx.start_vy * b.vy) / (start * now));
    b.vx *= std::min(c, 1.0f);
    b.vy *= std::min(c, 1.0f);
  }
  return true;
}

int CollisionResponse(World& w, int index, BallRecord& b, StepContext& ctx) {
  const Tuning& t = w.tuning;
  float n = ctx.normal;
  bool pushed = false;
  int wall_x = PixelOf(b.x), wall_y = PixelOf(b.y);

  // 1. Back to the contact point (or up out of a flipper).
  const bool entered = !IsOpenAt(w, b, wall_x, wall_y);
  if (entered) {
    const int ox = PixelOf(ctx.old_x), oy = PixelOf(ctx.old_y);
    if (SurfaceCodeAt(w, wall_x, wall_y) == kCodeFlipper &&
        SurfaceCodeAt(w, ox, oy) == kCodeFlipper) {
      if (!ClimbFlipperSurface(w, b, b.x, b.y)) ClimbFlipperSurface(w, b, ctx.old_x, ctx.old_y);
    } else {
      const int code = ContactPointSearch(w, b, ctx, wall_x, wall_y);
      if (code >= 0) b.surface_code = code;
    }
    bool found = WallNormal(w, index, b, b.surface_code, PixelOf(b.x), PixelOf(b.y), n);
    if (!found && !OpenAt(w, b, b.x, b.y)) {
      pushed = true;
      PushOut(w, b, ctx);
      WallNormal(w, index, b, b.surface_code, PixelOf(b.x), PixelOf(b.y), n);
    }
  }
  const int code = b.surface_code;
  const float limit = b.speed_limit;

  // A ball that only lies beside a wall while it moves along it or away from
  // it is not thrown back at the wall: reflecting it would pin a slow ball to
  // the wall for good.
  if (!entered && ctx.start_vx * std::cos(n) - ctx.start_vy * std::sin(n) >= 0.0f) {
    RestingDrift(w, index, b, ctx, n);
    return 2;
  }

  // 2, 3. Incoming and mirrored directions, speed into the wall.
  const float in_dir = core::DirectionOf(ctx.start_vx, ctx.start_vy);
  const float out_dir = WrapAngle(2.0f * n + kPi - in_dir);
  const float deflection = WrapAngle(in_dir - out_dir);
  const float speed = std::min(Length(b.vx, b.vy), limit);
  const float d = deflection > kPi ? deflection - kTwoPi : deflection;
  const float vn = std::fabs(std::sin(d / 2.0f) * speed);

  // 4. Soft surfaces hold the ball a few steps.
  const int delay = SurfaceDelay(w.surfaces, code);
  if (vn > kDelayMinNormalSpeed && delay > 0) {
    const float steps = vn * 10.0f / limit * static_cast<float>(delay);
    const int hold = steps < static_cast<float>(delay) ? static_cast<int>(steps) : delay;
    b.hold_counter = std::max(hold, 1);
  }

  // 5. Flipper strike, bumper and kicker.
  FlipperStrikeResult strike;
  if (code == kCodeFlipper) {
    const int flipper = FlipperAt(w, wall_x, wall_y);
    if (flipper >= 0) strike = FlipperStrike(w, b, flipper, n, vn);
  }
  float kick_x = 0.0f, kick_y = 0.0f;
  const bool fires = ElementImpulse(w, b, code, n, Length(b.vx, b.vy), kick_x, kick_y);

  // 6, 7. Bounce or roll. The turn is measured the short way round, so that
  // mirror-image hits rebound alike.
  const bool bounce = strike.cancelled || (strike.stands && b.flipper_contact >= 0) ||
                      vn >= MaxNormalSpeed(w.surfaces, code);
  const float m = MaxTangent(w.surfaces, code);
  const float turn = std::fabs(core::AngleDifference(in_dir, out_dir));
  bool hard = false;
  auto rebound = [&](float s) {
    hard = turn > t.reflection_min_angle;
    return s * (hard ? FastImpactRebound(w.surfaces, code, s) : t.k_reflection_roll);
  };
  float dir = out_dir;
  float impact = speed;
  float new_speed;
  bool started_rolling = false;
  bool slide = false;
  if (bounce) {
    impact = std::min(Length(ctx.start_vx, ctx.start_vy), limit);
    new_speed = rebound(impact) - (ctx.mu + AbsoluteRebound(w.surfaces, code) + b.plane_friction);
  } else if (deflection >= m && deflection <= kTwoPi - m && !entered) {
    // A slow ball that lies against the wall without having run into it
    // slides along it: reflecting it at full speed, step after step, would
    // keep it hopping in place (on a ramp it would never pick up speed).
    slide = true;
    new_speed = 0.0f;
  } else if (deflection >= m && deflection <= kTwoPi - m) {
    new_speed = rebound(speed) - (ctx.mu + b.plane_friction);
  } else {
    const float half = deflection < m ? deflection / 2.0f : -(kTwoPi - deflection) / 2.0f;
    dir = WrapAngle(out_dir + half);
    new_speed = speed * std::fabs(std::cos(half)) - (ctx.mu + b.plane_friction);
    b.rolling = 1;
    b.contact_normal = n;
    started_rolling = true;
  }
  if (slide) {
    const float nx = std::cos(n), ny = -std::sin(n);
    const float into = b.vx * nx + b.vy * ny;
    if (into < 0.0f) {
      b.vx -= into * nx;
      b.vy -= into * ny;
    }
  } else {
    new_speed = std::max(new_speed, 0.0f);
    b.vx = new_speed * std::cos(dir);
    b.vy = -new_speed * std::sin(dir);
  }

  // 9. The flipper's velocity, the kicks, then off the wall.
  int result = 2;
  if (strike.stands) {
    b.vx = strike.vx;
    b.vy = strike.vy;
    b.rolling = 0;
    started_rolling = false;
    result = 5;
  }
  bool kicker_kick = false;
  if (fires && !w.tilted) {
    b.vx += kick_x;
    b.vy += kick_y;
    b.rolling = 0;
    started_rolling = false;
    result = 6;
    kicker_kick = code == kCodeKicker || code == kCodeKickerStrong;
  }
  if (EscapeAlongNormal(w, b, ctx, n)) pushed = true;
  if (started_rolling && !pushed) {
    // A ball that starts rolling moves along the wall at once, where the way is open.
    const bool fast = Length(b.vx, b.vy) >= kRollMoveSpeed;
    const float tx = (fast ? ctx.old_x : b.x) + b.vx, ty = (fast ? ctx.old_y : b.y) + b.vy;
    if (OpenAt(w, b, tx, ty)) {
      b.x = tx;
      b.y = ty;
    }
  }

  // 10. A ball at rest on a floor edges toward a drop.
  RestingDrift(w, index, b, ctx, n);

  // The scoreless kicker is reported only when it kicked (the gates never are:
  // see the ball step).
  if (!kicker_kick && b.surface_code == kCodeKickerStrong) b.surface_code = 0;

  // 11. Impact sounds.
  if (code == kCodeHole && w.hole_lock_timer != 0) {
    PlayImpactSound(w, kSoundWall, b.x, b.y, impact - limit);
  }
  if (hard && impact > kHardHitShare * limit) {
    if (code == kCodeFlipper) {
      PlayImpactSound(w, kSoundOther, b.x, b.y, -10.0f * limit + impact);
    } else if (code == kCodeWall || code == 14 || code == 15 || code == kCodeHole ||
               code == kCodeGate) {
      PlayImpactSound(w, kSoundWall, b.x, b.y, impact - limit);
    } else {
      PlayImpactSound(w, kSoundOther, b.x, b.y, impact - limit);
    }
  }

  // Whatever happened above, the step never ends inside a wall.
  if (!OpenAt(w, b, b.x, b.y)) PushOut(w, b, ctx);
  return result;
}

int DropSearch(World& world, int index, int x, int y) {
  DropCache& cache = world.drop_cache[index];
  if (y > 1120 && cache.x == x && cache.y == y) return cache.result;
  const BallRecord& ball = world.balls[index];
  auto open = [&](int px, int py) { return IsOpenAt(world, ball, px, py); };
  int result = 0;
  for (int i = 1; i <= 16 && open(x - i, y - 1); ++i) {
    if (open(x - i, y + 1) && open(x - i - 1, y + 1)) {
      result = -1;
      break;
    }
  }
  if (result == 0) {
    for (int i = 1; i <= 16 && open(x + i, y - 1); ++i) {
      if (open(x + i, y + 1) && open(x + i + 1, y + 1)) {
        result = 1;
        break;
      }
    }
  }
  cache = {x, y, result};
  return result;
}

}  // namespace physics
