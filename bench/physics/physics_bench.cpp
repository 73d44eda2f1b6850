// Cost of the ball step and the ball–ball pass, per call.

#include <benchmark/benchmark.h>

#include "physics/world.h"

namespace {

using physics::BallRecord;
using physics::World;

// A ball that has just moved from (px, py) to (x, y).
void Moved(BallRecord& b, float px, float py, float x, float y, float vx, float vy) {
  b.prev_x = px;
  b.prev_y = py;
  b.x = x;
  b.y = y;
  b.vx = vx;
  b.vy = vy;
}

void Put(BallRecord& b, float x, float y, float vx, float vy) {
  b.x = x;
  b.y = y;
  b.vx = vx;
  b.vy = vy;
}

// A free ball on open floor: the common step.
void BM_BallStepOpenFloor(benchmark::State& state) {
  World w;
  w.map = physics::SurfaceMap(800, 1500, 0);
  BallRecord& b = w.balls[0];
  for (auto _ : state) {
    Put(b, 400.25f, 700.5f, 2.5f, -1.5f);
    benchmark::DoNotOptimize(physics::BallStep(w, 0));
  }
}
BENCHMARK(BM_BallStepOpenFloor);

// A ball running into a painted wall: contact, normal and bounce.
void BM_BallStepIntoWall(benchmark::State& state) {
  World w;
  w.map = physics::SurfaceMap(800, 1500, 0);
  w.map.Fill(0, 702, 800, 1500, physics::kCodeWall);
  BallRecord& b = w.balls[0];
  for (auto _ : state) {
    Put(b, 400.25f, 699.5f, 1.0f, 3.0f);
    benchmark::DoNotOptimize(physics::BallStep(w, 0));
  }
}
BENCHMARK(BM_BallStepIntoWall);

World PaintedWorld() {
  World w;
  w.map = physics::SurfaceMap(800, 1500, 0);
  w.map.Fill(0, 0, 800, 8, physics::kCodeWall);
  w.map.Fill(0, 0, 8, 1500, physics::kCodeWall);
  w.map.Fill(792, 0, 800, 1500, physics::kCodeWall);
  w.map.Fill(300, 520, 500, 540, physics::kCodeWall);
  w.balls[1].in_play = 1;
  return w;
}

// Two balls far apart: the pass every step of a multiball.
void BM_BallBallPassApart(benchmark::State& state) {
  World w = PaintedWorld();
  Put(w.balls[0], 200, 400, 1, 1);
  Put(w.balls[1], 600, 900, -1, 1);
  for (auto _ : state) benchmark::DoNotOptimize(physics::BallBallPass(w));
}
BENCHMARK(BM_BallBallPassApart);

// Two balls meeting head-on next to a painted wall.
void BM_BallBallPassCollision(benchmark::State& state) {
  World w = PaintedWorld();
  for (auto _ : state) {
    Moved(w.balls[0], 398, 500, 400, 500, 2, 0);
    Moved(w.balls[1], 440, 500, 438, 500, -2, 0);
    benchmark::DoNotOptimize(physics::BallBallPass(w));
  }
}
BENCHMARK(BM_BallBallPassCollision);

// Two resting balls overlapping in a corner: the separation search.
void BM_BallBallPassSeparation(benchmark::State& state) {
  World w = PaintedWorld();
  for (auto _ : state) {
    Moved(w.balls[0], 20.5f, 500.5f, 20.5f, 500.5f, 0, 0);
    Moved(w.balls[1], 30.5f, 500.5f, 30.5f, 500.5f, 0, 0);
    benchmark::DoNotOptimize(physics::BallBallPass(w));
  }
}
BENCHMARK(BM_BallBallPassSeparation);

}  // namespace
