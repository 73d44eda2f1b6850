// Block codec throughput on a table-like 8-bit picture, and the colour cube build.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "render/block_codec.h"
#include "render/colour_cube.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;

// What a pre-rendered table looks like in palette indices: smooth shading on the
// playfield, flat panels, round inserts with hard edges, and some dither noise.
std::vector<uint8_t> TablePicture() {
  std::vector<uint8_t> p(static_cast<size_t>(kWidth) * kHeight);
  std::mt19937 rng(42);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      int v;
      if (x < 200 || x > 830) {
        v = 20 + (y / 96) * 3;  // flat side panels in bands
      } else {
        double shade = 40 + 60.0 * (y / static_cast<double>(kHeight)) +
                       20.0 * std::sin(x / 90.0) * std::cos(y / 120.0);
        v = static_cast<int>(shade);
        if (rng() % 16 == 0) v += static_cast<int>(rng() % 3) - 1;  // dither
      }
      // Round inserts and lamps.
      for (int k = 0; k < 12; ++k) {
        int cx = 260 + (k % 4) * 150, cy = 120 + (k / 4) * 200;
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < 900) v = 150 + k * 6;
      }
      p[static_cast<size_t>(y) * kWidth + x] = static_cast<uint8_t>(std::clamp(v, 10, 245));
    }
  }
  return p;
}

void BM_CodecDecode(benchmark::State& state) {
  const std::vector<uint8_t> picture = TablePicture();
  std::vector<uint8_t> coded;
  if (render::CodecEncode(picture, coded) < 0) {
    state.SkipWithError("encoder declined the picture");
    return;
  }
  std::vector<uint8_t> out(picture.size());
  for (auto _ : state) {
    int64_t n = render::CodecDecode(coded, out);
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(picture.size()));
  state.counters["ratio"] = static_cast<double>(coded.size()) / static_cast<double>(picture.size());
}
BENCHMARK(BM_CodecDecode)->Unit(benchmark::kMillisecond);

void BM_CodecEncode(benchmark::State& state) {
  const std::vector<uint8_t> picture = TablePicture();
  std::vector<uint8_t> coded;
  for (auto _ : state) {
    int64_t n = render::CodecEncode(picture, coded);
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(picture.size()));
}
BENCHMARK(BM_CodecEncode)->Unit(benchmark::kMillisecond);

void BM_ColourCubeBuild(benchmark::State& state) {
  render::Palette palette{};
  std::mt19937 rng(7);
  for (auto& e : palette) {
    e = render::Rgb{static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                    static_cast<uint8_t>(rng())};
  }
  auto cube = std::make_unique<render::ColourCube>();
  for (auto _ : state) {
    render::BuildColourCube(palette, *cube);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ColourCubeBuild)->Unit(benchmark::kMillisecond);

}  // namespace
