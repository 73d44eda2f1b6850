#include "physics/collision.h"

#include <cmath>

#include "core/angle.h"
#include "physics/surface_map.h"
#include "physics/world.h"

namespace physics {

void FlipperContactUpkeep(World&, int, BallRecord& ball, const StepContext&) {
  if (ball.flipper_contact < 0) return;
  ball.flipper_contact = -1;
  ball.flipper_contact_steps = 0;
  ball.flipper_angle = {kNoFlipperAngle, kNoFlipperAngle};
}

bool InSlowZone(const World&, float, float) { return false; }

bool WallNormal(World& world, int index, int /*code*/, int x, int y, float& normal) {
  // The direction from the wall toward the open side: the mean offset of the
  // open pixels within two pixels of the contact.
  const BallRecord& ball = world.balls[index];
  int sx = 0, sy = 0;
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) {
      if ((dx || dy) && IsOpenAt(world, ball, x + dx, y + dy)) {
        sx += dx;
        sy += dy;
      }
    }
  }
  bool found = sx != 0 || sy != 0;
  normal = found ? core::DirectionOf(static_cast<float>(sx), static_cast<float>(sy)) : 0.0f;
  world.contact[index] = {x, y, normal};
  return found;
}

void WallContact(World& world, int index, BallRecord& ball, StepContext& ctx) {
  ctx.normal_found =
      WallNormal(world, index, ball.surface_code, PixelOf(ball.x), PixelOf(ball.y), ctx.normal);
  if (!ctx.normal_found) {
    ctx.normal_found = WallNormal(world, index, ball.surface_code, PixelOf(ctx.old_x),
                                  PixelOf(ctx.old_y), ctx.normal);
  }
}

bool RollingContactStep(World&, int, BallRecord& ball, StepContext&) {
  ball.rolling = 0;
  return false;
}

int CollisionResponse(World& world, int index, BallRecord& ball, StepContext& ctx) {
  const BallRecord& gates = world.balls[index];
  if (!IsOpenAt(world, gates, PixelOf(ball.x), PixelOf(ball.y)) &&
      IsOpenAt(world, gates, PixelOf(ctx.old_x), PixelOf(ctx.old_y))) {
    // Back along the move to the last open point before the wall.
    float dx = ball.x - ctx.old_x, dy = ball.y - ctx.old_y;
    int parts = static_cast<int>(2.0f * std::sqrt(dx * dx + dy * dy)) + 2;
    float px = ctx.old_x, py = ctx.old_y;
    for (int i = 1; i <= parts; ++i) {
      float qx = ctx.old_x + dx * static_cast<float>(i) / static_cast<float>(parts);
      float qy = ctx.old_y + dy * static_cast<float>(i) / static_cast<float>(parts);
      if (!IsOpenAt(world, gates, PixelOf(qx), PixelOf(qy))) {
        ball.surface_code = SurfaceCodeAt(world, PixelOf(qx), PixelOf(qy));
        break;
      }
      px = qx;
      py = qy;
    }
    ball.x = px;
    ball.y = py;
    ctx.normal_found =
        WallNormal(world, index, ball.surface_code, PixelOf(px), PixelOf(py), ctx.normal);
  }
  if (!ctx.normal_found) return 2;

  // Reflect the part of the velocity that runs into the wall.
  float nx = std::cos(ctx.normal), ny = -std::sin(ctx.normal);
  float vn = ball.vx * nx + ball.vy * ny;
  if (vn < 0.0f) {
    float k = (1.0f + WallRebound(world.surfaces, ball.surface_code)) * vn;
    ball.vx -= k * nx;
    ball.vy -= k * ny;
  }

  // A ball at rest on a floor-like wall edges toward a nearby drop.
  float speed = std::sqrt(ball.vx * ball.vx + ball.vy * ball.vy);
  if (speed < 0.01f && std::fabs(ctx.normal - core::kPi / 2) <= ball.floor_tolerance &&
      !ctx.slow_zone) {
    ball.x += 0.2f * static_cast<float>(DropSearch(world, index, PixelOf(ball.x), PixelOf(ball.y)));
  }
  return 2;
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
