// Cost of showing one frame at 1024×768: the upload into the streaming texture
// (8-bit frames through the palette) and the scaled copy, on SDL's software
// renderer under the "dummy" video driver; and the RGB read-back for screenshots.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "platform/sdl_display_device.h"
#include "render/display.h"

namespace {

bool Open(render::Display& display, platform::SdlDisplayDevice& device, int format) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  display.format.width = 1024;
  display.format.height = 768;
  display.format.format_id = static_cast<render::PixelFormatId>(format);
  render::SetFormatDefaults(display.format);
  return render::OpenDisplay(display, device);
}

void BM_Flip(benchmark::State& state) {
  platform::SdlDisplayDevice device({.fullscreen = false, .vsync = false});
  render::Display display;
  if (!Open(display, device, static_cast<int>(state.range(0)))) {
    state.SkipWithError("no display");
    return;
  }
  for (auto _ : state) {
    render::LockBackBuffer(display, device);
    display.format.draw_target[0] ^= 1;
    render::UnlockAndFlip(display, device);
  }
  render::CloseDisplay(display, device);
}
BENCHMARK(BM_Flip)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_LastFrameRgb(benchmark::State& state) {
  platform::SdlDisplayDevice device({.headless = true});
  render::Display display;
  if (!Open(display, device, static_cast<int>(state.range(0)))) {
    state.SkipWithError("no display");
    return;
  }
  render::LockBackBuffer(display, device);
  render::UnlockAndFlip(display, device);
  for (auto _ : state) benchmark::DoNotOptimize(device.LastFrameRgb());
}
BENCHMARK(BM_LastFrameRgb)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
