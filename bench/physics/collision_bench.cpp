// Ball steps per second against painted walls and on a flipper.

#include <benchmark/benchmark.h>

#include <cmath>

#include "core/random15.h"
#include "physics/painted_table.h"
#include "physics/world.h"

namespace {

using physics::BallRecord;
using physics::World;

// A ball bouncing about a closed box with round posts and bumpers; thrown
// again from a random open spot whenever it comes to rest.
void BM_BallStepBouncingInPaintedBox(benchmark::State& state) {
  World w;
  core::Random15 r;
  r.Seed(1);
  w.random = &r;
  physics::painted::ClosedBox(w);
  BallRecord& b = w.balls[0];
  auto thrown = [&] {
    do {
      b.x = 20.0f + r.UpTo(700.0f);
      b.y = 20.0f + r.UpTo(1100.0f);
    } while (physics::TouchesWall(w, b, physics::PixelOf(b.x), physics::PixelOf(b.y)));
    b.vx = r.Within(12.0f);
    b.vy = r.Within(12.0f);
    b.rolling = 0;
    b.hold_counter = 0;
  };
  thrown();
  b.launched = 1;
  int resting = 0;
  int64_t touching = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(physics::StepBall(w, 0));
    touching += physics::TouchesWall(w, b, physics::PixelOf(b.x), physics::PixelOf(b.y));
    resting = std::hypot(b.vx, b.vy) < 0.05f ? resting + 1 : 0;
    if (resting > 100) {
      thrown();
      resting = 0;
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["touching"] =
      benchmark::Counter(static_cast<double>(touching) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_BallStepBouncingInPaintedBox);

// A ball falling onto the left flipper as it rises: every step is a strike.
void BM_BallStepStruckByFlipper(benchmark::State& state) {
  World w;
  core::Random15 r;
  r.Seed(1);
  w.random = &r;
  w.map = physics::SurfaceMap(800, 1514, 0);
  physics::painted::PaintFlipperMasks(w);
  physics::Flipper& f = w.flippers[0];
  f.frame = 10;
  f.previous_frame = 8;
  f.pressed = 1;
  f.speed_counter = 14;
  int y = 1437;
  while (physics::SurfaceCodeAt(w, 270, y) != physics::kCodeFlipper) --y;
  while (physics::SurfaceCodeAt(w, 270, y) == physics::kCodeFlipper) --y;
  BallRecord& b = w.balls[0];
  b.launched = 1;
  int64_t strikes = 0;
  for (auto _ : state) {
    b.x = 270.5f;
    b.y = static_cast<float>(y) - 1.5f;
    b.vx = 0.0f;
    b.vy = 3.0f;
    b.flipper_contact = -1;
    f.hold = 0;
    strikes += physics::StepBall(w, 0) == 5;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["strikes"] =
      benchmark::Counter(static_cast<double>(strikes) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_BallStepStruckByFlipper);

}  // namespace
