// Cost of composing one frame: two moving balls (shadows, reflections, depth
// test, dirty rectangles) and a full repaint, in each format at 1024 × 768 and
// 640 × 480, against a plain copy of one frame measured in the same run.

#include <benchmark/benchmark.h>
#include <time.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "render/compositor.h"
#include "render/image_set.h"

namespace {

using render::PixelFormatId;

struct Bench {
  Bench(PixelFormatId id, int32_t width) {
    render::DisplayFormat& f = display.format;
    f.width = width;
    f.height = width * 3 / 4;
    f.format_id = id;
    render::SetFormatDefaults(f);
    c = std::make_unique<render::Compositor>();
    render::InitCompositor(*c, display);
    for (size_t i = 0; i < c->background.size(); ++i) {
      c->background[i] = static_cast<uint8_t>((i * 7) >> 3);
    }
    c->scene = c->background;
    for (auto& b : buffers) b.assign(c->background.size(), 0);
    // A depth map nearer at the bottom, like the table.
    c->scene_depth.width = f.width;
    c->scene_depth.height = f.height;
    c->scene_depth.data.resize(static_cast<size_t>(f.width) * f.height);
    for (int32_t y = 0; y < f.height; ++y) {
      for (int32_t x = 0; x < f.width; ++x) {
        c->scene_depth.data[static_cast<size_t>(y) * f.width + x] =
            static_cast<int16_t>(3000 + y * 10000 / f.height);
      }
    }
    render::Palette pal{};
    for (int i = 0; i < 256; ++i) {
      pal[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                     static_cast<uint8_t>(i)};
    }
    render::LookupTable256 mas{};
    for (int v = 0; v < 256; ++v) {
      for (int s = 0; s < 256; ++s)
        mas[static_cast<size_t>(v * 256 + s)] = static_cast<uint8_t>(v / 2);
    }
    render::BuildShadowTables(c->shadows, id, pal, mas);
    for (size_t i = 0; i < c->mix.size(); ++i) c->mix[i] = static_cast<uint8_t>(i >> 8);
    c->mix_loaded = true;
    auto& tex = c->reflection.maps[0];
    tex.width = 256;
    tex.height = 128;
    tex.bytes.assign(256 * 128, 120);

    // A ball set: a disc of radius 18 px with a shadow to its lower right.
    const int32_t side = static_cast<int32_t>(128 * f.scale);
    render::ImageSet& set = sets->sets[render::kBallSet];
    set.frame_count = 40;
    set.palette = pal;
    set.lookup = render::BuildLookupTable(f, pal);
    const int32_t centre = static_cast<int32_t>(63 * f.scale);
    const int32_t radius = static_cast<int32_t>(18 * f.scale);
    for (int k = 0; k < 40; ++k) {
      render::SpriteFrame fr;
      fr.width = fr.height = side;
      fr.decoded_size = fr.stored_size = side * side;
      fr.pixels.assign(static_cast<size_t>(side * side), 0);
      fr.shadow.assign(static_cast<size_t>(side * side), 0);
      for (int32_t y = 0; y < side; ++y) {
        for (int32_t x = 0; x < side; ++x) {
          const int32_t dx = x - centre, dy = y - centre;
          if (dx * dx + dy * dy <= radius * radius)
            fr.pixels[static_cast<size_t>(y * side + x)] = 200;
          const int32_t sx = dx - radius / 2, sy = dy - radius / 3;
          if (sx * sx + sy * sy <= radius * radius * 2)
            fr.shadow[static_cast<size_t>(y * side + x)] = 3;
        }
      }
      set.frames.push_back(std::move(fr));
    }
    set.work.assign(static_cast<size_t>(side * side), 0);
    set.radii.assign(40, radius + 2);
    render::MeasureUsedBoxes(set);  // as loading a ball set does
    render::PrepareBalls(*c, f, *sets);
    for (int i = 0; i < 4; ++i) Present();  // past the first full repaints
  }

  void Present() {
    render::DisplayFormat& f = display.format;
    f.draw_target = buffers[static_cast<size_t>(c->current_buffer)].data();
    render::ComposeFrame(*c, display, *slots);
    c->current_buffer = (c->current_buffer + 1) % c->buffer_count;
  }

  // Two balls on their way down the table.
  void MoveBalls(int64_t t) {
    const render::DisplayFormat& f = display.format;
    for (int k = 0; k < 2; ++k) {
      const double a = static_cast<double>(t) * 0.05 + k * 2.0;
      const int32_t x = static_cast<int32_t>(400 + 250 * std::sin(a));
      const int32_t y = static_cast<int32_t>(380 + 250 * std::cos(a * 0.7));
      render::MoveInstance(*c, f, k, x, y, 9000);
      render::SetInstanceFrame(*c, k, static_cast<int32_t>(t % 40));
      physics::ReflectionBlock r;
      r.radius = static_cast<int32_t>(18 * f.scale) + 7;
      r.centre_x = r.centre_y = static_cast<int32_t>(63 * f.scale) - 1;
      r.roll_x = static_cast<float>(t % 100);
      r.angle = static_cast<float>(t % 7);
      render::SetReflection(*c, k, r);
    }
  }

  render::Display display;
  std::unique_ptr<render::Compositor> c;
  std::unique_ptr<render::SpriteSlots> slots = std::make_unique<render::SpriteSlots>();
  std::unique_ptr<render::ImageSetTable> sets = std::make_unique<render::ImageSetTable>();
  std::array<std::vector<uint8_t>, 2> buffers;
};

// Microseconds of processor time this thread has used. The machine may be
// shared: the processor time of the frame and of the copy is what they cost,
// where wall time also counts other programs.
double ThreadMicros() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// Microseconds of one plain frame copy, measured now.
double MemcpyMicros(size_t bytes) {
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  const int kRounds = 200;
  const double t0 = ThreadMicros();
  for (int i = 0; i < kRounds; ++i) {
    a[static_cast<size_t>(i) % bytes] = static_cast<uint8_t>(i);
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  return (ThreadMicros() - t0) / kRounds;
}

void SetCounters(benchmark::State& state, const Bench& b, double start_us, int64_t frames) {
  const double per_frame = start_us / static_cast<double>(frames);
  const double copy = MemcpyMicros(b.c->background.size());
  state.counters["frame_us"] = per_frame;
  state.counters["memcpy_us"] = copy;
  state.counters["x_memcpy"] = per_frame / copy;
}

void BM_TwoMovingBalls(benchmark::State& state) {
  Bench b(static_cast<PixelFormatId>(state.range(0)), static_cast<int32_t>(state.range(1)));
  int64_t t = 0;
  const double t0 = ThreadMicros();
  for (auto _ : state) {
    b.MoveBalls(t++);
    b.Present();
    benchmark::ClobberMemory();
  }
  SetCounters(state, b, ThreadMicros() - t0, t);
}

void BM_FullRepaint(benchmark::State& state) {
  Bench b(static_cast<PixelFormatId>(state.range(0)), static_cast<int32_t>(state.range(1)));
  int64_t t = 0;
  const double t0 = ThreadMicros();
  for (auto _ : state) {
    b.MoveBalls(t++);
    b.display.full_redraw_count = 1;
    b.Present();
    benchmark::ClobberMemory();
  }
  SetCounters(state, b, ThreadMicros() - t0, t);
}

void Formats(benchmark::internal::Benchmark* bm) {
  for (int width : {1024, 640}) {
    for (int id = 0; id < 5; ++id) bm->Args({id, width});
  }
  bm->ArgNames({"format", "width"});
  bm->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_TwoMovingBalls)->Apply(Formats);
BENCHMARK(BM_FullRepaint)->Apply(Formats);

}  // namespace
