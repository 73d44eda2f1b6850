#include "trap_sweep.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/clock.h"
#include "app/game.h"
#include "app/headless.h"
#include "physics/ball.h"
#include "physics/surface_map.h"
#include "physics/world.h"
#include "res/resource_layer.h"
#include "rules/rules.h"

namespace tablegen {

namespace {

constexpr double kStepMs = 6.6;
// Resting places closer than this are one trap.
constexpr int kTrapMerge = 12;
constexpr size_t kBadKept = 10;

enum class Outcome { kDrained, kLane, kHole, kMoving, kBad, kTrapped };

struct Followed {
  Outcome outcome = Outcome::kMoving;
  float x = 0, y = 0;
  std::string why;
};

// Takes ball 1 out, puts ball 0 on the plunger and clears what the last ball
// left behind (gates it had opened, a hole lock).
physics::BallRecord& FreshBall(app::Game& g) {
  physics::World& w = g.world;
  physics::PlaceBallAtPlunger(w.balls, 0, w.tuning, g.random);
  w.balls[1].in_play = 0;
  w.balls[1].launched = 0;
  w.hole_lock_timer = 0;
  w.tilted = 0;
  physics::BallRecord& b = w.balls[0];
  b.held = 0;
  return b;
}

Followed Follow(app::Game& g, const SweepOptions& o) {
  physics::World& w = g.world;
  physics::BallRecord& b = w.balls[0];
  const int steps = static_cast<int>(o.follow_ms / kStepMs);
  const int rest_steps = std::max(1, static_cast<int>(o.rest_ms / kStepMs));
  const float height = static_cast<float>(w.map.height);
  int slow = 0;
  Followed f;
  for (int step = 0; step < steps; ++step) {
    physics::StepBall(w, 0);
    rules::HitPass(g.rules);  // opens the one-way gates, catches the ball in the hole
    f.x = b.x;
    f.y = b.y;
    if (!std::isfinite(b.x) || !std::isfinite(b.y) || !std::isfinite(b.vx) ||
        !std::isfinite(b.vy)) {
      f.outcome = Outcome::kBad;
      f.why = "a position or speed that is not a number";
      return f;
    }
    if (b.held) {
      f.outcome = Outcome::kHole;
      return f;
    }
    if (b.y >= height) {
      f.outcome = Outcome::kDrained;
      return f;
    }
    const int px = static_cast<int>(b.x), py = static_cast<int>(b.y);
    if (py >= 0 && !physics::IsOpenAt(w, b, px, py)) {
      f.outcome = Outcome::kBad;
      f.why = "inside a wall";
      return f;
    }
    const float speed = std::hypot(b.x - b.prev_x, b.y - b.prev_y);
    slow = speed < o.rest_speed ? slow + 1 : 0;
    if (slow >= rest_steps) {
      f.outcome = SweepRestAllowed(b.x, b.y) ? Outcome::kLane : Outcome::kTrapped;
      if (f.outcome == Outcome::kLane && !(b.x > 730.0f)) f.outcome = Outcome::kHole;
      return f;
    }
  }
  f.outcome = Outcome::kMoving;
  return f;
}

void Record(SweepReport& r, const Followed& f, const std::string& origin) {
  switch (f.outcome) {
    case Outcome::kDrained:
      ++r.drained;
      return;
    case Outcome::kLane:
      ++r.in_lane;
      return;
    case Outcome::kHole:
      ++r.in_hole;
      return;
    case Outcome::kMoving: {
      ++r.still_moving;
      if (r.moving.size() < kBadKept) {
        char at[64];
        std::snprintf(at, sizeof at, "(%d, %d)", static_cast<int>(f.x), static_cast<int>(f.y));
        r.moving.push_back(at + (" from " + origin));
      }
      return;
    }
    case Outcome::kBad: {
      ++r.bad_state;
      if (r.bad.size() < kBadKept) {
        char at[64];
        std::snprintf(at, sizeof at, " at (%d, %d)", static_cast<int>(f.x), static_cast<int>(f.y));
        r.bad.push_back(f.why + at + " from " + origin);
      }
      return;
    }
    case Outcome::kTrapped:
      break;
  }
  ++r.trapped;
  const int x = static_cast<int>(std::lround(f.x)), y = static_cast<int>(std::lround(f.y));
  for (SweepTrap& t : r.traps) {
    if (std::abs(t.x - x) <= kTrapMerge && std::abs(t.y - y) <= kTrapMerge) {
      ++t.balls;
      return;
    }
  }
  r.traps.push_back({x, y, 1, origin});
}

}  // namespace

bool SweepRestAllowed(float x, float y) {
  const bool plunger_lane = x > 730.0f;
  const bool hole_pocket = x > 560.0f && x < 640.0f && y > 590.0f && y < 800.0f;
  return plunger_lane || hole_pocket;
}

SweepReport TrapSweep(app::Game& g, const SweepOptions& o) {
  SweepReport r;
  physics::World& w = g.world;
  // Launches: the plunger's velocity at each strength, as a pull gives it.
  const int step = std::max(1, o.pull_step_percent);
  for (int percent = 0; percent <= 100; percent += step) {
    const float strength = static_cast<float>(percent) / 100.0f;
    for (int seed = 0; seed < std::max(1, o.launch_seeds); ++seed) {
      g.random.Seed(static_cast<uint32_t>(7919 * seed + percent + 1));
      physics::BallRecord& b = FreshBall(g);
      b.vx = w.tuning.ball_start_dx + g.random.Within(w.tuning.ball_start_dx_rand);
      b.vy = (w.tuning.ball_start_dy + g.random.Within(w.tuning.ball_start_dy_rand)) *
             (0.5f * strength + 0.5f);
      b.waiting_at_plunger = 0;
      b.launched = 1;
      ++r.launches;
      Record(r, Follow(g, o),
             "launch " + std::to_string(percent) + " % seed " + std::to_string(seed));
    }
  }
  // Drops: a ball at rest on every open grid point.
  const int grid = std::max(1, o.grid);
  for (int y = grid / 2; y < w.map.height; y += grid) {
    for (int x = grid / 2; x < w.map.width; x += grid) {
      physics::BallRecord probe = w.balls[0];
      probe.gate_pass = {};
      if (!physics::IsOpenAt(w, probe, x, y) || physics::TouchesWall(w, probe, x, y)) continue;
      if (SweepRestAllowed(static_cast<float>(x), static_cast<float>(y))) continue;
      g.random.Seed(static_cast<uint32_t>(y * w.map.width + x));
      physics::BallRecord& b = FreshBall(g);
      b.x = b.prev_x = static_cast<float>(x);
      b.y = b.prev_y = static_cast<float>(y);
      b.vx = b.vy = 0.0f;
      b.waiting_at_plunger = 0;
      b.launched = 1;
      ++r.drops;
      Record(r, Follow(g, o), "drop (" + std::to_string(x) + ", " + std::to_string(y) + ")");
    }
  }
  std::sort(r.traps.begin(), r.traps.end(),
            [](const SweepTrap& a, const SweepTrap& b) { return a.balls > b.balls; });
  return r;
}

int CheckTraps(const std::string& pack_path, const SweepOptions& o) {
  app::Game g(std::make_unique<app::FakeClock>());
  res::ResourceLayer layer;
  std::string error;
  const std::string dir = std::filesystem::path(pack_path).parent_path().string();
  const std::string name = std::filesystem::path(pack_path).filename().string();
  if (name != "GFALL.DAT") {
    std::printf("FAIL: the trap sweep loads a pack named GFALL.DAT, not %s\n", name.c_str());
    return -1;
  }
  if (!app::LoadTableFromPack(g, layer, dir.empty() ? "." : dir, error)) {
    std::printf("FAIL: the trap sweep cannot load the table: %s\n", error.c_str());
    return -1;
  }
  const SweepReport r = TrapSweep(g, o);
  for (const SweepTrap& t : r.traps) {
    std::printf("FAIL: trap at (%d, %d): %d ball(s) rest there, the first from %s\n", t.x, t.y,
                t.balls, t.first_origin.c_str());
  }
  for (const std::string& b : r.bad) std::printf("FAIL: a ball %s\n", b.c_str());
  for (const std::string& m : r.moving)
    std::printf("note: still moving at the end: %s\n", m.c_str());
  std::printf(
      "trap sweep: %d launches, %d drops (grid %d px, %.0f s each): %d drained, %d at rest in the "
      "plunger lane, %d in the hole, %d still moving, %d trapped, %d in a bad state\n",
      r.launches, r.drops, o.grid, o.follow_ms / 1000.0, r.drained, r.in_lane, r.in_hole,
      r.still_moving, r.trapped, r.bad_state);
  return r.trapped + r.bad_state;
}

}  // namespace tablegen
