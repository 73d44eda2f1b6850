// The ball–ball pass: run once after every round of ball steps.

#include <cmath>

#include "physics/world.h"

namespace physics {

namespace {

constexpr int kSubSteps = 20;
constexpr float kSubStep = 0.05f;
constexpr float kClashSoundShare = 0.05f;  // of the speed limit
constexpr float kMinTotalSpeed = 0.1f;
constexpr float kKeepShare = 0.9f;  // of the velocity relative to the pair's mean
constexpr float kWallDamping = 0.6f;
constexpr int kClashSound = core::kSoundBallHit;

// Offsets tried when moving a ball off another, in order.
constexpr int kAwayDx[8] = {1, -1, 0, 0, -1, 1, 1, -1};
constexpr int kAwayDy[8] = {0, 0, 1, -1, -1, -1, 1, 1};

bool Active(const BallRecord& b) { return b.in_play && !b.held; }

float Dist2(float ax, float ay, float bx, float by) {
  float dx = ax - bx, dy = ay - by;
  return dx * dx + dy * dy;
}

// Position at sub-step k of the ball's last move.
float Along(float prev, float now, int k) {
  return prev + static_cast<float>(k) * kSubStep * (now - prev);
}

// The last sub-step of the two balls' last moves before they overlap.
int LastFreeSubStep(const BallRecord& a, const BallRecord& b, float touch2) {
  for (int k = 0; k <= kSubSteps; ++k) {
    float d2 = Dist2(Along(a.prev_x, a.x, k), Along(a.prev_y, a.y, k), Along(b.prev_x, b.x, k),
                     Along(b.prev_y, b.y, k));
    if (d2 < touch2) return k > 0 ? k - 1 : 0;
  }
  return kSubSteps;
}

// Whether the straight path from the ball to (tx, ty) is open at 20 equal sub-steps.
bool PathOpen(const World& w, const BallRecord& ball, float tx, float ty) {
  for (int i = 1; i <= kSubSteps; ++i) {
    float t = static_cast<float>(i) / static_cast<float>(kSubSteps);
    float x = ball.x + (tx - ball.x) * t;
    float y = ball.y + (ty - ball.y) * t;
    if (!IsOpenAt(w, ball, PixelOf(x), PixelOf(y))) return false;
  }
  return true;
}

// Moves ball a to the first open spot farther than 2 × radius from (qx, qy).
bool MoveAway(const World& w, BallRecord& a, float qx, float qy) {
  const float reach = 2.0f * static_cast<float>(a.radius);
  const float reach2 = reach * reach;
  auto fits = [&](float x, float y) {
    return IsOpenAt(w, a, PixelOf(x), PixelOf(y)) && Dist2(x, y, qx, qy) > reach2;
  };
  if (fits(a.x, a.y)) return true;
  auto move = [&](float x, float y) {
    a.prev_x = static_cast<float>(PixelOf(a.x));
    a.prev_y = static_cast<float>(PixelOf(a.y));
    a.x = x;
    a.y = y;
    return true;
  };
  const int far = static_cast<int>(reach);
  for (int o = 0; o < 4; ++o) {
    float x = a.x + kAwayDx[o], y = a.y + kAwayDy[o];
    if (fits(x, y)) return move(x, y);
  }
  for (int j = 1; j <= far; ++j) {
    for (int o = 0; o < 2; ++o) {
      float x = a.x + j * kAwayDx[o], y = a.y + j * kAwayDy[o];
      if (fits(x, y)) return move(x, y);
    }
  }
  for (int j = 1; j <= far; ++j) {
    for (int o = 0; o < 2; ++o) {
      for (int l = 1; l <= j; ++l) {
        float x = a.x + j * kAwayDx[o], y = a.y + j * kAwayDy[o] + l;
        if (fits(x, y)) return move(x, y);
      }
    }
  }
  for (int j = 1; j <= 10; ++j) {
    for (int o = 0; o < 8; ++o) {
      float x = a.x + j * kAwayDx[o], y = a.y + j * kAwayDy[o];
      if (fits(x, y)) return move(x, y);
    }
  }
  return false;
}

// Balls almost touching push each other apart through their pending velocity.
void NearContact(World& w, BallRecord& a, BallRecord& b) {
  float theta = std::atan2(b.y - a.y, a.x - b.x);  // from b toward a, y up
  float c = std::fabs(std::cos(theta)), s = std::fabs(std::sin(theta));
  float t = 3.0f * a.plane_friction;
  float sx = a.x >= b.x ? 1.0f : -1.0f;  // a lies right of b: a goes right, b left
  float sy = a.y >= b.y ? 1.0f : -1.0f;  // a lies below b: a goes down, b up
  a.pending_vx = sx * (c * a.plane_gravity + t);
  a.pending_vy = sy * (s * a.plane_gravity);
  b.pending_vx = -sx * (c * b.plane_gravity + t);
  b.pending_vy = -sy * (s * b.plane_gravity);
  if (TouchesWall(w, a, PixelOf(a.x), PixelOf(a.y)) &&
      TouchesWall(w, b, PixelOf(b.x), PixelOf(b.y))) {
    for (BallRecord* r : {&a, &b}) {
      r->vx *= kWallDamping;
      r->vy *= kWallDamping;
      r->pending_vx = r->pending_vy = 0.0f;
      if (std::fabs(r->vx) + std::fabs(r->vy) < 0.1f) r->vx = r->vy = 0.0f;
    }
  }
}

// Equal masses, elastic: swap the velocity parts along the line of centres,
// then pull both toward their mean.
void Collide(World& w, BallRecord& a, BallRecord& b, int k) {
  float rel = std::fabs(a.vx - b.vx) + std::fabs(a.vy - b.vy);
  if (rel > kClashSoundShare * a.speed_limit) {
    PlayImpactSound(w, kClashSound, a.x, a.y, rel - a.speed_limit);
  }
  float total = std::fabs(a.vx) + std::fabs(a.vy) + std::fabs(b.vx) + std::fabs(b.vy);
  if (total <= kMinTotalSpeed) return;
  float dx = Along(a.prev_x, a.x, k) - Along(b.prev_x, b.x, k);
  float dy = Along(a.prev_y, a.y, k) - Along(b.prev_y, b.y, k);
  float len = std::sqrt(dx * dx + dy * dy);
  if (len > 0.0f) {  // centres on one point have no line between them
    float nx = dx / len, ny = dy / len;
    float ua = a.vx * nx + a.vy * ny;
    float ub = b.vx * nx + b.vy * ny;
    a.vx += (ub - ua) * nx;
    a.vy += (ub - ua) * ny;
    b.vx += (ua - ub) * nx;
    b.vy += (ua - ub) * ny;
  }
  float mx = (a.vx + b.vx) * 0.5f, my = (a.vy + b.vy) * 0.5f;
  a.vx = mx + (a.vx - mx) * kKeepShare;
  a.vy = my + (a.vy - my) * kKeepShare;
  b.vx = mx + (b.vx - mx) * kKeepShare;
  b.vy = my + (b.vy - my) * kKeepShare;
}

}  // namespace

int BallBallPass(World& w) {
  BallRecord& a = w.balls[0];
  BallRecord& b = w.balls[1];
  for (BallRecord& r : w.balls) r.pending_vx = r.pending_vy = 0.0f;
  if (!Active(a) || !Active(b)) return 0;

  const float r = static_cast<float>(a.radius);
  const float near = (r + 0.1f) * 2.0f;
  const float touch = 2.0f * r;
  float d2 = Dist2(a.x, a.y, b.x, b.y);
  if (d2 < near * near) NearContact(w, a, b);
  if (!(d2 < touch * touch)) return 0;

  // Back to the last sub-step before the overlap, where the balls meet.
  int k = LastFreeSubStep(a, b, touch * touch);
  Collide(w, a, b, k);
  for (BallRecord* m : {&a, &b}) {
    // A move that was bent by a wall (a push-out, a climb off a flipper) is
    // not a straight line: never put the ball back into the wall it left.
    const float x = Along(m->prev_x, m->x, k), y = Along(m->prev_y, m->y, k);
    if (IsOpenAt(w, *m, PixelOf(x), PixelOf(y))) {
      m->x = x;
      m->y = y;
    }
  }

  // Each ball moves on along its new velocity if the way is free.
  for (int i = 0; i < kBallCount; ++i) {
    BallRecord& m = w.balls[i];
    const BallRecord& other = w.balls[1 - i];
    const float targets[3][2] = {{m.x + m.vx + m.pending_vx, m.y + m.vy + m.pending_vy},
                                 {m.x + m.pending_vx, m.y + m.pending_vy},
                                 {m.x + m.pending_vx, m.y}};
    for (const auto& t : targets) {
      if (PathOpen(w, m, t[0], t[1]) && !(Dist2(t[0], t[1], other.x, other.y) < touch * touch)) {
        m.x = t[0];
        m.y = t[1];
        break;
      }
    }
  }

  if (Dist2(a.x, a.y, b.x, b.y) < touch * touch) {
    if (!MoveAway(w, b, a.x, a.y)) MoveAway(w, a, b.x, b.y);
  }
  return 1;
}

}  // namespace physics
