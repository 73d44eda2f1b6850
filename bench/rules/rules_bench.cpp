// Cost of the rules' per-step and per-frame work.

#include <benchmark/benchmark.h>

#include "core/random15.h"
#include "physics/world.h"
#include "rules/rules.h"

namespace {

struct Bench {
  Bench() {
    world.map = physics::SurfaceMap(800, 1514, 0);
    world.map.Fill(25, 1157, 51, 1212, 16);
    world.random = &random;
    rules.Bind(world);
    rules::ResetObjects(rules.table);
  }
  core::Random15 random;
  physics::World world;
  rules::Rules rules;
};

// Two balls: one in a TREE lane, one against a bumper (guarded after its first hit).
void BM_HitPassTwoBalls(benchmark::State& state) {
  Bench b;
  physics::BallRecord& b0 = b.world.balls[0];
  physics::BallRecord& b1 = b.world.balls[1];
  b0.in_play = b1.in_play = 1;
  b0.x = 37.0f;
  b0.y = 1180.0f;
  b0.surface_code = 0;
  b1.x = 420.0f;
  b1.y = 436.0f;
  b1.surface_code = 12;
  uint32_t now = 1000;
  for (auto _ : state) {
    now += 7;
    rules::SetClock(b.rules, now, 7, 6.6);
    rules::HitPass(b.rules);
    benchmark::DoNotOptimize(b.rules.players.records[0].score);
  }
}
BENCHMARK(BM_HitPassTwoBalls);

// A rules frame with the attract show running and the spinner turning.
void BM_RulesFrame(benchmark::State& state) {
  Bench b;
  rules::StartLampShow(b.rules.table, rules::kShowAttract);
  b.rules.state.spinner.speed = 1e6f;
  uint32_t now = 1000;
  for (auto _ : state) {
    now += 16;
    rules::SetClock(b.rules, now, 16, 16.0);
    rules::RulesFrameEarly(b.rules, false, false);
    rules::RulesFrameLate(b.rules);
    benchmark::DoNotOptimize(b.rules.recorder.total_draws);
  }
}
BENCHMARK(BM_RulesFrame);

}  // namespace
