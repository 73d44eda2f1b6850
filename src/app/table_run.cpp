#include "app/table_run.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>
#include <memory>
#include <optional>

#include "app/clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/game_passes.h"
#include "app/input_script.h"
#include "app/playfield_load.h"
#include "app/scoreboard.h"
#include "app/table_view.h"
#include "app/view_passes.h"
#include "physics/ball.h"
#include "physics/tuning_file.h"
#include "platform/png_file.h"
#include "platform/sdl_display_device.h"
#include "platform/sdl_audio_device.h"
#include "platform/sdl_events.h"
#include "platform/sdl_input.h"
#include "input/controls.h"
#include "input/event_keyboard.h"
#include "sound/pack_sound_file.h"
#include "sound/sound_engine.h"
#include "store/game_data.h"
#include "render/image_files.h"
#include "res/pack.h"

namespace app {

namespace {

constexpr uint8_t kKeyEscape = 0x01;

// The window's own events: closing, full screen, exposure and activation.
// True when the window asks to quit.
bool WindowEvent(const platform::Event& e, platform::SdlDisplayDevice& device, TableView& view) {
  if (e.kind == platform::EventKind::kClose || e.kind == platform::EventKind::kTerminate) return true;
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

void SetSoundTuning(sound::SoundEngine& engine, const Game& g) {
  engine.tuning = {g.world.tuning.sound_pano_scale, g.world.tuning.sound_volume_scale,
                   g.world.tuning.sound_speed_scale};
}

// The settings and bindings of the game data file, read without touching the
// file; the defaults when there is none or it does not read.
void ReadStoredSettings(const std::string& config_dir, store::GameData& data) {
  store::ApplyDefaults(data, {});
  const std::filesystem::path folder = store::GameDataFolder(config_dir);
  if (folder.empty()) return;
  std::ifstream in(store::GameDataPath(folder), std::ios::binary);
  if (!in) return;
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  store::GameData read;
  if (store::ParseGameData(bytes, read, {})) data = std::move(read);
}

// Opens the sound engine with the pack's sounds and the stored levels and
// gives it to the table; a missing device leaves the game silent.
void AttachSound(Game& g, sound::SoundEngine& engine, platform::SdlAudioDevice& audio,
                 res::ResourceLayer& layer, const store::SettingsBlock& s, std::FILE* err) {
  engine.Open(&audio);
  if (!engine.LoadSounds(sound::PackSoundFiles(layer))) {
    std::fprintf(err, "gfall: some sounds did not load\n");
  }
  engine.Stop(core::kSoundMenuMusic);  // the menus' music starts with the loading
  engine.settings.music_on = s.music_on;
  engine.settings.sound_on = s.sounds_on;
  engine.settings.music_level = s.music_volume;
  engine.settings.game_level = s.sound_volume;
  SetSoundTuning(engine, g);
  engine.SetPlayfieldSize(g.world.map.width, g.world.map.height);
  g.world.sound = &engine;
  g.rules.table.sound = &engine;
  g.score_display.sound = &engine;
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
  // With a window the player plays: the stored bindings and sound settings
  // (read only; the defaults when there is no usable file), the keyboard fed
  // by the window's events, the joypads, and the sound engine.
  store::GameData data;
  ReadStoredSettings(o.config_dir, data);
  input::EventKeyboard keyboard;
  std::optional<platform::SdlJoypads> joypads;  // opened with a window only
  platform::SdlInputClock input_clock;
  input::Controls controls;
  input::InputDevices devices{&keyboard, nullptr, &input_clock};
  platform::SdlAudioDevice audio;
  sound::SoundEngine engine;
  if (!o.headless) {
    devices.joypads = &joypads.emplace();
    input::KeyboardOpen(devices);
    input::KeyboardAcquire(devices, true);
    AttachSound(*game, engine, audio, layer, data.settings, err);
    game->reload_tuning = [&layer, &engine](Game& g) {
      physics::LoadTuning(layer, g.world.tuning_targets());
      SetSoundTuning(engine, g);
    };
  }
  // Without a window the computer plays, so the picture shows a game under way.
  StartGame(*game, o.headless);

  std::vector<ScriptEvent> script;
  if (!o.input_file.empty()) {
    std::string script_error;
    auto parsed = ReadInputScript(o.input_file, script_error);
    if (!parsed) {
      std::fprintf(err, "gfall: %s\n", script_error.c_str());
      render::CloseDisplay(view->display, device);
      return 1;
    }
    script = std::move(*parsed);
  }
  ScriptFeed feed(script);

  bool quit = false;
  for (int64_t frame = 0; !quit && (o.frames < 0 || frame < o.frames); ++frame) {
    if (!o.headless) {
      platform::Event e;
      while (platform::PollEvent(e, &keyboard)) {
        if (WindowEvent(e, device, *view)) quit = true;
        if (e.kind == platform::EventKind::kKeyDown && e.key == kKeyEscape) quit = true;
      }
    } else if (fake != nullptr) {
      fake->Advance(o.frame_ms);
    }
    feed.Deliver(game->clock->Now(), *game, nullptr, nullptr, nullptr);
    if (!o.headless) {
      input::ReadActions(controls, devices, data.bindings, false);
      for (size_t a = 0; a < game->actions.size(); ++a) {
        game->actions[a] = controls.actions[a] | feed.actions[a];
      }
      if (!engine.IsPlaying(core::kSoundTableMusic)) {
        engine.Play(core::kSoundTableMusic, 0, 0, false, true);
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
  engine.Close();
  game->world.sound = &game->silent_sound;
  game->rules.table.sound = &game->silent_sound;
  game->score_display.sound = &game->silent_sound;
  render::CloseDisplay(view->display, device);
  return code;
}

}  // namespace app
