// Headless replay speed: a recorded four-player demonstration game on the
// built-in test table, read from memory and played back with every checkpoint
// checked. "x_real_time" is seconds of recorded game time replayed per second
// of CPU time; the target is at least 2000. BM_ReadRecording is the reader
// alone.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/frame_loop.h"
#include "app/game_passes.h"
#include "app/headless.h"
#include "app/replay_hook.h"
#include "replay/reader.h"

namespace {

std::unique_ptr<app::Game> TestTableGame(uint32_t seed, int players, app::FakeClock*& clock) {
  auto owned = std::make_unique<app::FakeClock>();
  clock = owned.get();
  auto g = std::make_unique<app::Game>(std::move(owned), std::make_unique<app::GamePasses>());
  g->random.Seed(seed);
  physics::PlayfieldReset(g->world, g->random);
  app::UseTestTable(*g);
  g->rules.players.last_index = players - 1;
  app::StartGame(*g, true);
  return g;
}

// The recording's bytes: made once, from a game with uneven frame times.
const std::vector<uint8_t>& RecordedGame() {
  static const std::vector<uint8_t> bytes = [] {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("gfall-bench-" + std::to_string(::getpid()) + ".gfrec"))
                                 .string();
    app::FakeClock* clock = nullptr;
    auto g = TestTableGame(11, 4, clock);
    app::ReplayHook hook;
    app::RecordingSetup setup;
    setup.seed = 11;
    setup.computer = true;
    setup.test_table = true;
    std::string error;
    if (!hook.StartRecording(*g, setup, path, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::abort();
    }
    for (int n = 0; n < 60 * 3600 && !g->flow.state.game_ended; ++n) {
      clock->Advance(16.0 + (n * 7919 % 1000) * 0.0013);
      hook.BeforeFrame(*g);
      app::FrameGate(*g);
      hook.AfterFrame(*g);
    }
    hook.Finish(*g);
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> out((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    return out;
  }();
  return bytes;
}

void BM_HeadlessReplay(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = RecordedGame();
  double game_ms = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    app::FakeClock* clock = nullptr;
    auto g = TestTableGame(11, 4, clock);
    state.ResumeTiming();
    const replay::ReadResult res = replay::ReadRecording(bytes);
    app::ReplayHook hook;
    std::string error;
    if (!res.complete() || !hook.StartReplay(*g, res.recording, "", error)) {
      state.SkipWithError("the recording does not replay");
      return;
    }
    while (hook.BeforeFrame(*g)) {
      app::FrameGate(*g);
      hook.AfterFrame(*g);
    }
    hook.Finish(*g);
    if (hook.checker()->diverged()) {
      state.SkipWithError(hook.checker()->divergence().c_str());
      return;
    }
    game_ms += res.recording.DurationMs();
  }
  state.counters["x_real_time"] = benchmark::Counter(game_ms / 1000.0, benchmark::Counter::kIsRate);
  state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_HeadlessReplay)->Unit(benchmark::kMillisecond);

void BM_ReadRecording(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = RecordedGame();
  for (auto _ : state) {
    const replay::ReadResult res = replay::ReadRecording(bytes);
    benchmark::DoNotOptimize(res.recording.frames.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadRecording)->Unit(benchmark::kMicrosecond);

}  // namespace
