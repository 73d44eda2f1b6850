#include "app/table_run.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>
#include <memory>

#include "app/clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/game_passes.h"
#include "app/headless.h"
#include "app/scoreboard.h"
#include "app/playfield_load.h"
#include "app/table_view.h"
#include "app/view_passes.h"
#include "physics/ball.h"
#include "physics/tuning_file.h"
#include "platform/png_file.h"
#include "platform/sdl_display_device.h"
#include "platform/sdl_events.h"
#include "render/image_files.h"
#include "res/pack.h"

namespace app {

namespace {

constexpr uint8_t kKeyEscape = 0x01;

// The default keys until the bindings are read: Shift keys the flippers, Z,
// Space and Slash nudge, Enter the plunger.
int ActionOfKey(uint8_t key) {
  switch (key) {
    case 0x2A: return core::kActionLeftFlipper;
    case 0x36: return core::kActionRightFlipper;
    case 0x2C: return core::kActionNudgeLeft;
    case 0x39: return core::kActionNudgeUp;
    case 0x35: return core::kActionNudgeRight;
    case 0x1C:
    case 0x9C: return core::kActionStart;
    default: return -1;
  }
}

// The window's own events: closing, full screen, exposure and activation.
// True when the window asks to quit.
bool WindowEvent(const platform::Event& e, platform::SdlDisplayDevice& device, TableView& view) {
  if (e.kind == platform::EventKind::kClose || e.kind == platform::EventKind::kQuit) return true;
  if (platform::IsFullscreenToggle(e)) {
    device.ToggleFullscreen();
  } else if (e.kind == platform::EventKind::kExposed || e.kind == platform::EventKind::kResized) {
    device.Redraw();
  } else if (e.kind == platform::EventKind::kFocusGained ||
             e.kind == platform::EventKind::kFocusLost) {
    view.display.full_redraw_count = 3;  // every activation change repaints the whole picture
  }
  return false;
}

// Keeps the last frame on the screen for `ms` milliseconds, answering the
// window meanwhile, so that it can be looked at or captured after the run.
void Linger(int64_t ms, platform::SdlDisplayDevice& device, TableView& view) {
  if (ms <= 0 || !device.has_window()) return;
  SteadyClock wall;
  double shown = -1.0e9;
  while (wall.Now() < static_cast<double>(ms)) {
    platform::Event e;
    while (platform::PollEvent(e, nullptr)) {
      if (WindowEvent(e, device, view)) return;
      if (e.kind == platform::EventKind::kKeyDown && e.key == kKeyEscape) return;
    }
    if (wall.Now() - shown >= 50.0) {
      device.Redraw();
      shown = wall.Now();
    }
    wall.Sleep(std::min(10.0, std::max(0.0, static_cast<double>(ms) - wall.Now())));
  }
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
  std::string why;
  if (!LoadTableFromPack(*game, layer, o.data_dir, why)) {
    std::fprintf(err, "gfall: %s\n", why.c_str());
    render::CloseDisplay(view->display, device);
    return 1;
  }
  if (!why.empty()) std::fprintf(err, "gfall: %s\n", why.c_str());
  std::string error;
  if (!LoadTableView(*view, layer, error)) {
    std::fprintf(err, "gfall: %s\n", error.c_str());
    render::CloseDisplay(view->display, device);
    return 1;
  }
  if (!error.empty()) std::fprintf(err, "gfall: %s\n", error.c_str());

  auto board = std::make_unique<Scoreboard>();
  render::TrueColourContext tc{layer, f, *view->colours};
  if (!LoadScoreboard(*board, tc)) std::fprintf(err, "gfall: some scoreboard pictures are missing\n");
  ScoreboardView score_view(*board, *view);
  game->score_display.canvas = &score_view;
  game->reload_tuning = [&layer](Game& g) { physics::LoadTuning(layer, g.world.tuning_targets()); };
  game->command_handler = [](Game& g, int command, int arg) { RunGameCommand(g, command, arg); };
  CompositorCanvas canvas(*view);
  game->rules.table.canvas = &canvas;
  rules::ResetObjects(game->rules.table);
  // Without a window the computer plays, so the picture shows a game under way.
  StartGame(*game, o.headless);

  std::vector<ScriptEvent> script;
  if (!o.input_file.empty()) {
    std::ifstream in(o.input_file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string script_error;
    auto parsed = in ? ParseInputScript(text.str(), script_error) : std::nullopt;
    if (!parsed) {
      std::fprintf(err, "gfall: cannot use %s %s\n", o.input_file.c_str(), script_error.c_str());
      render::CloseDisplay(view->display, device);
      return 1;
    }
    script = std::move(*parsed);
  }
  size_t next_event = 0;

  bool quit = false;
  for (int64_t frame = 0; !quit && (o.frames < 0 || frame < o.frames); ++frame) {
    if (!o.headless) {
      platform::Event e;
      while (platform::PollEvent(e, nullptr)) {
        if (WindowEvent(e, device, *view)) quit = true;
        if (platform::IsFullscreenToggle(e)) continue;
        if (e.kind != platform::EventKind::kKeyDown && e.kind != platform::EventKind::kKeyUp) continue;
        const bool down = e.kind == platform::EventKind::kKeyDown;
        if (e.key == kKeyEscape && down) quit = true;
        const int action = ActionOfKey(e.key);
        if (action >= 0) game->actions[static_cast<size_t>(action)] = down ? 1 : 0;
      }
    } else if (fake != nullptr) {
      fake->Advance(o.frame_ms);
    }
    while (next_event < script.size() && script[next_event].ms <= game->clock->Now()) {
      const ScriptEvent& e = script[next_event++];
      if (e.action >= 0) {
        game->actions[static_cast<size_t>(e.action)] = e.down ? 1 : 0;
      } else {
        game->host.PostCommand(e.command, 0);
      }
    }
    FrameGate(*game);
  }

  int code = 0;
  std::string failed;
  if (!platform::WriteExitPictures(device, o.screenshot, o.window_screenshot, failed)) {
    std::fprintf(err, "gfall: cannot write %s\n", failed.c_str());
    code = 1;
  }
  if (!quit) Linger(o.linger_ms, device, *view);  // not when the player asked to leave
  render::CloseDisplay(view->display, device);
  return code;
}

}  // namespace app
