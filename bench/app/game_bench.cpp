// Game time simulated per second of CPU: whole demonstration games (frames,
// physics steps, rules, game flow; no drawing, no sound) on the built-in test
// table. "x_real_time" is seconds of game time per second of CPU time.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "app/frame_loop.h"
#include "app/game_passes.h"
#include "app/headless.h"

namespace {

// Plays one game; the table set-up (painting the map and flipper masks) is
// not timed.
double PlayDemoGame(benchmark::State& state, uint32_t seed, int players) {
  state.PauseTiming();
  auto owned = std::make_unique<app::FakeClock>();
  app::FakeClock* clock = owned.get();
  auto g_owned = std::make_unique<app::Game>(std::move(owned), std::make_unique<app::GamePasses>());
  app::Game& g = *g_owned;
  g.random.Seed(seed);
  physics::PlayfieldReset(g.world, g.random);
  app::UseTestTable(g);
  g.rules.players.last_index = players - 1;
  app::StartGame(g, true);
  state.ResumeTiming();
  int64_t frames = 0;
  while (!g.flow.state.game_ended && frames < 60 * 3600) {
    ++frames;
    clock->Set(static_cast<double>(frames) * (1000.0 / 60.0));
    app::FrameGate(g);
  }
  return clock->Now();
}

void BM_DemoGame(benchmark::State& state) {
  uint32_t seed = 1;
  double game_ms = 0.0;
  for (auto _ : state) {
    game_ms += PlayDemoGame(state, seed++, static_cast<int>(state.range(0)));
  }
  state.counters["x_real_time"] = benchmark::Counter(game_ms / 1000.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DemoGame)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace
