// Start-up cost of the pictures and true-colour sprites: a 1024 × 768 JPEG
// picture loaded from the pack and converted, and a 50-frame JPEG-strip sprite
// loaded and converted, in each of the 15 display modes (resolution index
// 0..2 = 640, 800, 1024 wide; depth 0..4 = PAL8, RGB555, RGB565, RGB24, RGB32).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "render/colour_cube.h"
#include "render/jpeg_io.h"
#include "render/picture.h"
#include "render/spr24_file.h"
#include "render/true_colour_sprite.h"
#include "res/pack.h"

namespace {

// A rendered-looking picture: smooth shading, hard-edged round inserts, noise.
std::vector<uint8_t> Scene(int w, int h, uint32_t seed) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w * h * 3));
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(-6, 6);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double s = 0.5 + 0.5 * std::sin(x / 70.0) * std::cos(y / 55.0);
      const bool insert = std::hypot((x % 128) - 64, (y % 96) - 48) < 20;
      int r = insert ? 230 : static_cast<int>(40 + 120 * s);
      int g = insert ? 180 : static_cast<int>(60 + 90 * (1 - s));
      int b = insert ? 40 : static_cast<int>(90 + 100 * s * s);
      uint8_t* p = &rgb[static_cast<size_t>((y * w + x) * 3)];
      p[0] = static_cast<uint8_t>(std::clamp(r + noise(rng), 0, 255));
      p[1] = static_cast<uint8_t>(std::clamp(g + noise(rng), 0, 255));
      p[2] = static_cast<uint8_t>(std::clamp(b + noise(rng), 0, 255));
    }
  }
  return rgb;
}

struct Data {
  std::vector<uint8_t> pack;
  std::unique_ptr<render::TableColours> colours;
};

const Data& Shared() {
  static const Data data = [] {
    Data d;
    std::vector<uint8_t> jpeg;
    render::JpegEncode(1024, 768, Scene(1024, 768, 1), 90, jpeg);
    // A lamp-sized 50-frame strip: 64 × 64 frames, border 2.
    render::Spr24Desc s;
    s.header.width = 64;
    s.header.height = 64;
    s.header.x = 300;
    s.header.y = 200;
    s.header.encoding = render::kSpr24JpegStrip;
    s.header.border = 2;
    s.header.mask_mode = render::kSpr24OneMask;
    const std::vector<uint8_t> scene = Scene(64 * 50, 64, 2);
    for (int k = 0; k < 50; ++k) {
      std::vector<uint8_t> f(64 * 64 * 3);
      for (int r = 0; r < 64; ++r) {
        std::copy_n(&scene[static_cast<size_t>((r * 64 * 50 + k * 64) * 3)], 64 * 3,
                    &f[static_cast<size_t>(r * 64 * 3)]);
      }
      s.frames.push_back(std::move(f));
    }
    std::vector<uint8_t> mask(64 * 64);
    for (int i = 0; i < 64 * 64; ++i)
      mask[static_cast<size_t>(i)] = std::hypot(i % 64 - 32, i / 64 - 32) < 30 ? 255 : 0;
    s.masks = {mask};
    std::vector<uint8_t> j24;
    render::WriteSpr24File(s, j24);
    std::vector<res::PackItem> items = {{"RES\\TGA\\PF_0002.JPG", jpeg},
                                        {"RES\\ANIM\\LAMP.J24", j24}};
    d.pack = res::PackBuild(items).value_or(std::vector<uint8_t>{});
    d.colours = std::make_unique<render::TableColours>();
    for (int i = 0; i < 256; ++i) {
      d.colours->palette[static_cast<size_t>(i)] =
          render::Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>((i * 3) & 255),
                      static_cast<uint8_t>(255 - i)};
    }
    render::BuildTableCube(*d.colours);
    return d;
  }();
  return data;
}

render::DisplayFormat Mode(const benchmark::State& state) {
  static constexpr int kWidths[3] = {640, 800, 1024};
  render::DisplayFormat f;
  f.width = kWidths[state.range(0)];
  f.height = f.width * 3 / 4;
  f.format_id = static_cast<render::PixelFormatId>(state.range(1));
  render::SetFormatDefaults(f);
  return f;
}

struct Layer {
  std::vector<uint8_t> bytes;
  res::ResourceLayer layer;
  explicit Layer(const std::vector<uint8_t>& pack) : bytes(pack) {
    res::PackOpenStream(layer, res::FilePtr(fmemopen(bytes.data(), bytes.size(), "rb")), "bench");
  }
  ~Layer() { layer = res::ResourceLayer{}; }
};

void BM_JpegPicture(benchmark::State& state) {
  const Data& d = Shared();
  const render::DisplayFormat f = Mode(state);
  Layer layer(d.pack);
  for (auto _ : state) {
    render::Picture p;
    if (!render::LoadJpegPicture(p, layer.layer, "RES\\TGA\\PF_0002.JPG") ||
        !render::ConvertPicture(p, f, *d.colours)) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(p.pixels.data());
  }
}

void BM_StripSprite50(benchmark::State& state) {
  const Data& d = Shared();
  const render::DisplayFormat f = Mode(state);
  Layer layer(d.pack);
  render::TrueColourContext ctx{layer.layer, f, *d.colours};
  for (auto _ : state) {
    render::TrueColourSprite s;
    if (!render::LoadTrueColourSprite(s, ctx, "RES\\ANIM\\LAMP.J24", {}, 0, 0)) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(s.frames.data());
  }
}

void Modes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"res", "depth"})->Unit(benchmark::kMillisecond);
  for (int r = 0; r < 3; ++r) {
    for (int depth = 0; depth < 5; ++depth) b->Args({r, depth});
  }
}

BENCHMARK(BM_JpegPicture)->Apply(Modes);
BENCHMARK(BM_StripSprite50)->Apply(Modes);

}  // namespace
