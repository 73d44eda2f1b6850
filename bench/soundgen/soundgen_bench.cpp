// Building every sound of the table from its recipes (synthesis on every core,
// encoding and the decode check): the target is well under 20 s on two cores.
// The table builder adds this to the pack build, which must stay within 60 s.

#include <benchmark/benchmark.h>

#include "soundgen/soundgen.h"

namespace {

const std::filesystem::path kRecipes = std::filesystem::path(GFALL_SOURCE_DIR) / "table" / "sounds";

void BM_BuildTableSounds(benchmark::State& state) {
  size_t bytes = 0;
  for (auto _ : state) {
    std::string error;
    std::vector<soundgen::SoundFileOut> files = soundgen::BuildTableSounds(kRecipes, &error);
    if (files.empty()) {
      state.SkipWithError(error.c_str());
      return;
    }
    bytes = 0;
    for (const auto& f : files) bytes += f.bytes.size();
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BuildTableSounds)->Unit(benchmark::kSecond)->Iterations(2);

void BM_RenderOneLoop(benchmark::State& state) {
  soundgen::RecipeBook book;
  std::string error;
  if (!soundgen::LoadRecipes(kRecipes, book, &error) || book.music.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  for (auto _ : state) {
    soundgen::Pcm pcm;
    benchmark::DoNotOptimize(soundgen::RenderMusic(book.music.front(), pcm, &error));
  }
}
BENCHMARK(BM_RenderOneLoop)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
