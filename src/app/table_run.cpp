#include "app/table_run.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/playfield_load.h"
#include "app/table_view.h"
#include "physics/ball.h"
#include "platform/png_file.h"
#include "platform/sdl_display_device.h"
#include "platform/sdl_events.h"
#include "render/image_files.h"
#include "res/pack.h"

namespace app {

namespace {

constexpr uint8_t kKeyEscape = 0x01, kKeyEnter = 0x1C, kKeyPadEnter = 0x9C;
constexpr uint8_t kKeyLeftShift = 0x2A, kKeyRightShift = 0x36;

// Draws through the table view and presents through the display device.
class ViewPasses final : public FramePasses {
 public:
  ViewPasses(TableView& view, render::DisplayDevice& device) : view_(view), device_(device) {}
  void RollReflection(Game& g, int ball, float forward, float sideways, float spin) override {
    if (ball < 0 || ball >= physics::kBallCount) return;
    render::RollReflection(g.world.balls[static_cast<size_t>(ball)].reflection,
                           view_.compositor->reflection, forward, sideways, spin);
  }
  void Draw(Game& g, bool) override { DrawTable(view_, g.world); }
  bool Present(Game&) override {
    render::PresentContext ctx{view_.display, device_, *view_.compositor, *view_.slots,
                               view_.colours->palette};
    return render::PresentFrame(view_.presentation, ctx);
  }

 private:
  TableView& view_;
  render::DisplayDevice& device_;
};

bool Launch(Game& g) {
  physics::BallRecord& b = g.world.balls[0];
  if (b.in_play && b.launched) return false;
  physics::PlaceBallAtPlunger(g.world.balls, 0, g.world.tuning, g.random);
  g.world.balls[0].launched = 1;
  return true;
}

}  // namespace

int RunTable(const TableRunOptions& o, std::FILE* err) {
  auto view = std::make_unique<TableView>();
  render::DisplayFormat& f = view->display.format;
  const int32_t res = o.width == 640 ? 0 : o.width == 800 ? 1 : 2;
  f.width = render::kResolutions[static_cast<size_t>(res)].width;
  f.height = render::kResolutions[static_cast<size_t>(res)].height;
  f.format_id = static_cast<render::PixelFormatId>(o.depth < 0 || o.depth > 4 ? 4 : o.depth);
  render::SetFormatDefaults(f);

  platform::DisplayOptions display_options;
  display_options.headless = o.headless;
  display_options.fullscreen = o.fullscreen;
  platform::SdlDisplayDevice device(display_options);
  if (!render::OpenDisplay(view->display, device)) {
    std::fprintf(err, "gfall: cannot open the display at %d x %d, %d bits\n", f.width, f.height,
                 render::kDepthBits[static_cast<size_t>(f.format_id)]);
    return 1;
  }

  res::ResourceLayer layer;
  layer.loose_root = o.data_dir;
  const std::string pack = (std::filesystem::path(o.data_dir) / "GFALL.DAT").string();
  std::string why;
  if (!res::PackOpen(layer, pack, &why)) {
    std::fprintf(err, "gfall: cannot open %s: %s\n", pack.c_str(), why.c_str());
    render::CloseDisplay(view->display, device);
    return 1;
  }
  std::string error;
  if (!LoadTableView(*view, layer, error)) {
    std::fprintf(err, "gfall: %s\n", error.c_str());
    render::CloseDisplay(view->display, device);
    return 1;
  }
  if (!error.empty()) std::fprintf(err, "gfall: %s\n", error.c_str());

  std::unique_ptr<Clock> clock;
  FakeClock* fake = nullptr;
  if (o.headless) {
    auto owned = std::make_unique<FakeClock>();
    fake = owned.get();
    clock = std::move(owned);
  } else {
    clock = std::make_unique<SteadyClock>();
  }
  auto game = std::make_unique<Game>(std::move(clock),
                                     std::make_unique<ViewPasses>(*view, device));
  game->random.Seed(o.seed);

  render::ScreenImage surface;
  if (!render::LoadScreenImage(layer, "RES\\MASK\\P_MASK0.LSC", nullptr, surface)) {
    std::fprintf(err, "gfall: cannot load the surface map\n");
    render::CloseDisplay(view->display, device);
    return 1;
  }
  physics::SurfaceMap map(surface.width, surface.height, 0);
  map.codes = surface.bytes;
  render::ImageSetContext mask_ctx{f, *view->colours, nullptr};
  if (!LoadPlayfieldPhysics(*game, layer, mask_ctx, std::move(map))) {
    std::fprintf(err, "gfall: cannot load the playfield\n");
    render::CloseDisplay(view->display, device);
    return 1;
  }
  CompositorCanvas canvas(*view);
  game->rules.table.canvas = &canvas;
  rules::ResetObjects(game->rules.table);
  if (o.headless) Launch(*game);  // a ball in play for the picture

  bool quit = false;
  for (int64_t frame = 0; !quit && (o.frames < 0 || frame < o.frames); ++frame) {
    if (!o.headless) {
      platform::Event e;
      while (platform::PollEvent(e, nullptr)) {
        if (e.kind == platform::EventKind::kClose || e.kind == platform::EventKind::kQuit) quit = true;
        if (platform::IsFullscreenToggle(e)) {
          device.ToggleFullscreen();
          continue;
        }
        if (e.kind == platform::EventKind::kExposed || e.kind == platform::EventKind::kResized) {
          device.Redraw();
        }
        if (e.kind != platform::EventKind::kKeyDown && e.kind != platform::EventKind::kKeyUp) continue;
        const bool down = e.kind == platform::EventKind::kKeyDown;
        if (e.key == kKeyEscape && down) quit = true;
        if (e.key == kKeyLeftShift) game->flipper_controls[0] = down ? 1 : 0;
        if (e.key == kKeyRightShift) game->flipper_controls[1] = down ? 1 : 0;
        if ((e.key == kKeyEnter || e.key == kKeyPadEnter) && down && !e.repeat) Launch(*game);
      }
    } else if (fake != nullptr) {
      fake->Advance(o.frame_ms);
    }
    FrameGate(*game);
  }

  int code = 0;
  if (!o.screenshot.empty()) {
    const platform::RgbFrame shot = device.LastFrameRgb();
    if (shot.pixels.empty() || !platform::WritePng(o.screenshot, shot)) {
      std::fprintf(err, "gfall: cannot write %s\n", o.screenshot.c_str());
      code = 1;
    }
  }
  render::CloseDisplay(view->display, device);
  return code;
}

}  // namespace app

namespace app {

namespace {

constexpr const char* kTableUsage =
    "usage: gfall [--window | --fullscreen | --headless] [--screenshot FILE.png]\n"
    "             [--width 640|800|1024] [--depth 0..4] [--data DIR] [--frames N] [--seed S]\n"
    "  --window       show the table in a resizable window (Alt+Enter: full screen)\n"
    "  --fullscreen   show the table full screen\n"
    "  --headless     no window; frames on a virtual clock (the default with --screenshot)\n"
    "  --screenshot   write the last composed frame as a true-colour PNG at exit\n"
    "  --width        640, 800 or 1024 (default 1024)\n"
    "  --depth        0 = 8-bit, 1 = 15-bit, 2 = 16-bit, 3 = 24-bit, 4 = 32-bit (default)\n"
    "  --data DIR     folder holding GFALL.DAT (default: the current folder)\n"
    "  --frames N     frames to run (default 240 headless, until Escape otherwise)\n"
    "  --seed S       seed of the random source\n"
    "Enter launches a ball, the Shift keys work the flippers, Escape quits.\n";

}  // namespace

bool WantsTableRun(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--window" || a == "--fullscreen" || a == "--screenshot" || a == "--width" ||
        a == "--depth") {
      return true;
    }
  }
  return false;
}

int TableRunMain(int argc, char** argv) {
  TableRunOptions o;
  bool shown = false, frames_given = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    auto number = [&](long lo, long hi, long& out) {
      if (!has_value) return false;
      char* end = nullptr;
      out = std::strtol(argv[i + 1], &end, 10);
      if (end == argv[i + 1] || *end != '\0' || out < lo || out > hi) return false;
      ++i;
      return true;
    };
    long v = 0;
    if (a == "--help" || a == "-h") {
      std::fputs(kTableUsage, stdout);
      return 0;
    } else if (a == "--window") {
      shown = true;
      o.fullscreen = false;
    } else if (a == "--fullscreen") {
      shown = true;
      o.fullscreen = true;
    } else if (a == "--headless") {
      shown = false;
    } else if (a == "--screenshot" && has_value) {
      o.screenshot = argv[++i];
    } else if (a == "--data" && has_value) {
      o.data_dir = argv[++i];
    } else if (a == "--width" && number(640, 1024, v) && (v == 640 || v == 800 || v == 1024)) {
      o.width = static_cast<int32_t>(v);
    } else if (a == "--depth" && number(0, 4, v)) {
      o.depth = static_cast<int32_t>(v);
    } else if (a == "--frames" && number(0, 100000000, v)) {
      o.frames = v;
      frames_given = true;
    } else if (a == "--seed" && number(0, 4294967295L, v)) {
      o.seed = static_cast<uint32_t>(v);
    } else {
      std::fprintf(stderr, "gfall: bad or unknown option %s\n%s", a.c_str(), kTableUsage);
      return 1;
    }
  }
  o.headless = !shown;
  if (shown && !frames_given) o.frames = -1;
  return RunTable(o, stderr);
}

}  // namespace app
