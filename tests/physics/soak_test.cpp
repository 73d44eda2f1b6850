// Two balls thrown about a closed painted box with posts, bumpers, kickers
// and both flippers working: no step may leave a ball inside a wall, produce
// a NaN or let a ball leave an ordinary step faster than its limit.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/angle.h"
#include "core/random15.h"
#include "physics/painted_table.h"
#include "physics/world.h"

namespace physics {
namespace {

constexpr int kSteps = 100000;
constexpr int kRestSteps = 100;  // a ball this long at rest is thrown again

float Speed(const BallRecord& b) { return std::hypot(b.vx, b.vy); }

// A random open spot away from every wall and from the other ball, and a
// random velocity of up to 12 pixels per step.
void Throw(World& w, core::Random15& r, int i) {
  BallRecord& b = w.balls[static_cast<size_t>(i)];
  const BallRecord& other = w.balls[static_cast<size_t>(1 - i)];
  for (;;) {
    const float x = 20.0f + r.UpTo(700.0f), y = 20.0f + r.UpTo(1400.0f);
    if (TouchesWall(w, b, PixelOf(x), PixelOf(y))) continue;
    if (std::hypot(x - other.x, y - other.y) < 45.0f) continue;
    b.x = b.prev_x = x;
    b.y = b.prev_y = y;
    break;
  }
  b.vx = r.Within(12.0f);
  b.vy = r.Within(12.0f);
  b.in_play = 1;
  b.launched = 1;
  b.rolling = 0;
  b.hold_counter = 0;
  EndFlipperContact(b);
}

TEST(Soak, TwoBallsInAClosedBox) {
  World w;
  core::Random15 r;
  // SOAK_SEED=n runs the same soak from another start.
  const char* seed = std::getenv("SOAK_SEED");
  r.Seed(seed ? static_cast<uint32_t>(std::strtoul(seed, nullptr, 10)) : 20261210u);
  w.random = &r;
  painted::ClosedBox(w);
  // Table-like tuning: rolling along walls, a random spread, a soft post and
  // soft flippers.
  w.surfaces.max_tangent[kDefaultSurfaceRow] = core::DegreesToRadians(15.0f);
  w.surfaces.max_normal_speed[kDefaultSurfaceRow] = 0.5f;
  w.surfaces.random_multiplier[30] = 16;
  w.surfaces.surface_delay[30] = 2;
  w.surfaces.surface_delay[kCodeFlipper] = 3;
  w.surfaces.wall_rebound[12] = 0.9f;
  w.tuning.add_g_down = 0.01f;
  w.balls[0].x = w.balls[1].x = -1000.0f;
  Throw(w, r, 0);
  Throw(w, r, 1);

  int resting[2] = {0, 0};
  bool pressed[2] = {false, false};
  int next_toggle[2] = {30, 45};
  int strikes = 0, kicks = 0, contacts = 0, throws = 2;
  for (int step = 0; step < kSteps; ++step) {
    for (int f = 0; f < 2; ++f) {
      if (step >= next_toggle[f]) {
        pressed[f] = !pressed[f];
        next_toggle[f] = step + 5 + r.Below(60);
      }
      UpdateFlipper(w, f, pressed[f], 7);
    }
    for (int i = 0; i < kBallCount; ++i) {
      const BallRecord& b = w.balls[static_cast<size_t>(i)];
      const int result = StepBall(w, i);
      strikes += result == 5;
      kicks += result == 6;
      ASSERT_TRUE(std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.vx) &&
                  std::isfinite(b.vy))
          << "step " << step << " ball " << i;
      if (result == 0 || result == 2) {
        ASSERT_LE(Speed(b), b.speed_limit * 1.00001f) << "step " << step << " ball " << i;
      } else {
        ASSERT_LE(Speed(b), 2.0f * b.speed_limit) << "step " << step << " ball " << i;
      }
    }
    BallBallPass(w);
    FlipperSounds(w);
    for (int i = 0; i < kBallCount; ++i) {
      const BallRecord& b = w.balls[static_cast<size_t>(i)];
      ASSERT_TRUE(IsOpenAt(w, b, PixelOf(b.x), PixelOf(b.y)))
          << "step " << step << " ball " << i << " at " << b.x << "," << b.y << " code "
          << SurfaceCodeAt(w, PixelOf(b.x), PixelOf(b.y));
      ASSERT_TRUE(b.x >= 0.0f && b.x < 800.0f && b.y >= 0.0f && b.y < 1514.0f)
          << "step " << step << " ball " << i << " left the box at " << b.x << "," << b.y;
      contacts += b.flipper_contact >= 0;
      resting[i] = Speed(b) < 0.05f ? resting[i] + 1 : 0;
      if (resting[i] > kRestSteps) {
        Throw(w, r, i);
        resting[i] = 0;
        ++throws;
      }
    }
  }
  // The run really exercised the flippers and the kicks.
  EXPECT_GT(strikes, 20);
  EXPECT_GT(kicks, 50);
  EXPECT_GT(contacts, 0);
  std::printf("strikes %d, kicks %d, flipper contact steps %d, throws %d\n", strikes, kicks,
              contacts, throws);
}

}  // namespace
}  // namespace physics

namespace physics {
namespace {

// Tuning values no file may give any more (they are refused when read), set
// straight into the world: the ball still never holds a value that is not finite.
TEST(Soak, ExtremeTuningNeverGivesANonFiniteBall) {
  struct Case {
    const char* what;
    void (*set)(World&);
  };
  const Case cases[] = {
      {"wall rebound 1e30", [](World& w) { w.surfaces.wall_rebound.fill(1e30f); }},
      {"speed limit infinite",
       [](World& w) {
         for (auto& b : w.balls) b.speed_limit = INFINITY;
         w.surfaces.wall_rebound.fill(1e20f);
       }},
      {"gravity 1e38",
       [](World& w) {
         for (auto& b : w.balls) b.plane_gravity = 1e38f;
       }},
      {"friction -1e38",
       [](World& w) {
         for (auto& b : w.balls) b.plane_friction = -1e38f;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    World w;
    core::Random15 r{7};
    PlayfieldReset(w, r);
    painted::ClosedBox(w);
    c.set(w);
    Throw(w, r, 0);
    Throw(w, r, 1);
    for (int step = 0; step < 2000; ++step) {
      for (int i = 0; i < kBallCount; ++i) {
        StepBall(w, i);
        const BallRecord& b = w.balls[static_cast<size_t>(i)];
        ASSERT_TRUE(std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.vx) &&
                    std::isfinite(b.vy))
            << "ball " << i << " step " << step;
      }
    }
  }
}

}  // namespace
}  // namespace physics
