// A batch of headless demonstration games on the table of the built pack, as
// `gfall --headless --demo --seeds A-B --stats` plays them: one pack opened
// once, the table's physics decoded once. "x_real_time" is seconds of game
// time per second of CPU time. The pack is GFALL.DAT in $GFALL_DATA, else in
// the build folder.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "app/driver.h"
#include "app/headless.h"
#include "app/playfield_load.h"
#include "res/resource_layer.h"

namespace {

std::string DataDir() {
  const char* env = std::getenv("GFALL_DATA");
  return env != nullptr && *env != '\0' ? env : GFALL_BENCH_DATA_DIR;
}

bool OpenPack(benchmark::State& state, res::ResourceLayer& pack) {
  std::string error;
  if (app::OpenTablePack(pack, DataDir(), error)) return true;
  state.SkipWithError(error.c_str());
  return false;
}

// The game milliseconds of every "game_ms" in a run's output.
double GameMs(std::FILE* out) {
  std::rewind(out);
  double sum = 0.0;
  char line[1 << 14];
  while (std::fgets(line, sizeof line, out) != nullptr) {
    const char* at = std::strstr(line, "\"game_ms\":");
    if (at != nullptr) sum += std::strtod(at + 10, nullptr);
  }
  return sum;
}

// Loading one game's table physics from the open pack: arg 0 decodes it from
// the pack each time (a single run), arg 1 copies it from the batch's cache.
void BM_TablePhysicsLoad(benchmark::State& state) {
  res::ResourceLayer pack;
  if (!OpenPack(state, pack)) return;
  app::TablePhysicsCache cache;
  app::TablePhysicsCache* use = state.range(0) != 0 ? &cache : nullptr;
  const std::string dir = DataDir();
  std::string error;
  for (auto _ : state) {
    app::Game g(std::make_unique<app::FakeClock>());
    if (!app::LoadTablePhysics(g, pack, dir, error, use)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(g.world.map.codes.data());
  }
}
BENCHMARK(BM_TablePhysicsLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Seeds 1 to 20 played to their ends in one process.
void BM_HeadlessBatch(benchmark::State& state) {
  res::ResourceLayer pack;
  if (!OpenPack(state, pack)) return;
  double game_ms = 0.0;
  for (auto _ : state) {
    app::TablePhysicsCache physics;
    app::RunSetup o;
    o.data_dir = DataDir();
    o.demo = true;
    o.stats = true;
    o.until_game_over = true;
    o.seed_in_state = true;
    o.shared_pack = &pack;
    o.shared_physics = &physics;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::fopen("/dev/null", "w");
    for (uint32_t seed = 1; seed <= 20; ++seed) {
      o.seed = seed;
      if (app::RunGame(o, out, err) != 0) state.SkipWithError("a game did not run");
    }
    state.PauseTiming();
    game_ms += GameMs(out);
    std::fclose(out);
    std::fclose(err);
    state.ResumeTiming();
  }
  state.counters["x_real_time"] = benchmark::Counter(game_ms / 1000.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HeadlessBatch)->Unit(benchmark::kMillisecond);

}  // namespace
