#include "app/driver.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/clock.h"
#include "app/frame_loop.h"
#include "app/front_end.h"
#include "app/game.h"
#include "app/game_passes.h"
#include "app/headless.h"
#include "app/input_script.h"
#include "app/playfield_load.h"
#include "app/replay_hook.h"
#include "app/replay_run.h"
#include "app/scoreboard.h"
#include "app/scoreboard_view.h"
#include "app/table_view.h"
#include "app/window_parts.h"
#include "core/file_io.h"
#include "input/controls.h"
#include "input/event_keyboard.h"
#include "platform/imgui_dialogs.h"
#include "platform/png_file.h"
#include "platform/sdl_audio_device.h"
#include "platform/sdl_display_device.h"
#include "platform/sdl_events.h"
#include "platform/sdl_input.h"
#include "platform/window_icon.h"
#include "platform/window_settings.h"
#include "render/image_files.h"
#include "replay/reader.h"
#include "sound/pack_sound_file.h"
#include "sound/sound_engine.h"
#include "store/game_data.h"
#include "ui/dialog_answers.h"
#include "ui/menu_screen.h"

namespace app {

namespace {

constexpr uint8_t kKeyEscape = 0x01;
// A nested run's frames before the game it shows go this many times real time.
constexpr double kUnseenSpeed = 1.0e9;

// Everything a run has around its game. Which parts exist follows from the
// setup: the view, the screen device and the scoreboard with a display; the
// sound engine, the joypads and the stored bindings with a window; the game
// data file, the window procedure and its forms with the menus.
struct Run {
  explicit Run(const RunSetup& s)
      : setup(s),
        layer(s.shared_pack != nullptr ? *s.shared_pack : own_layer),
        unseen(s.nested != nullptr) {}

  const RunSetup& setup;
  std::vector<ScriptEvent> script;
  ScriptFeed feed{script};
  std::unique_ptr<Game> game;
  FakeClock* virtual_clock = nullptr;  // null: the game's clock runs in real time
  HeadlessStats stats;
  res::ResourceLayer own_layer;
  res::ResourceLayer& layer;  // the run's own, or the pack a batch of games shares

  // The display.
  std::unique_ptr<TableView> view;
  std::unique_ptr<platform::SdlDisplayDevice> own_device;
  platform::SdlDisplayDevice* device = nullptr;  // its own, or the outer run's when nested
  GamePasses* passes = nullptr;
  std::unique_ptr<Scoreboard> board;
  std::unique_ptr<ScoreboardView> score_view;
  std::unique_ptr<CompositorCanvas> canvas;
  bool display_open = false;

  // The window's size and full-screen choice kept between runs (a window
  // only): read at the start, written when they change and at the end by the
  // game with its menus (straight into play only reads them).
  std::filesystem::path window_settings_file;
  platform::WindowSettings window_settings;  // as read, then as last written
  bool write_window_settings = false;
  bool fullscreen_seen = false;  // the window's full-screen state when last looked at

  // Sound (a missing device leaves the game silent, not stopped).
  std::unique_ptr<platform::SdlAudioDevice> audio;
  std::unique_ptr<sound::SoundEngine> own_engine;
  sound::SoundEngine* engine = nullptr;  // its own, or the outer run's when nested

  // Input: the keyboard that the window's (or the script's) key events set,
  // and the joypads, read through the stored bindings.
  input::EventKeyboard keyboard;
  std::optional<platform::SdlJoypads> joypads;
  platform::SdlInputClock input_clock;
  FrontEndInput input;

  // The game data file (read only when straight into play).
  store::GameData data;
  std::filesystem::path data_file;
  GameDataStart data_start;

  // The menus: the window procedure, the screen it asks for pictures, the
  // forms and the host that answers its commands.
  std::unique_ptr<FrontEndScreen> screen;
  std::unique_ptr<MenuOverlay> overlay;
  std::unique_ptr<platform::ImGuiDialogs> dialogs;
  ui::MenuScreens menus = ui::MakeMenuScreens();
  render::SpriteSlots plain_slots;  // the menu items' boxes without a display
  render::ModeTable modes = AllModes();
  ui::ScriptedAnswers answers;
  std::unique_ptr<DialogForms> forms;
  std::unique_ptr<FrontEndHost> host;
  std::unique_ptr<Window> window;
  std::chrono::steady_clock::time_point forms_shown;  // the forms' last frame
  // $GFALL_UI_LOG: where the window says what it shows (see LogScreen).
  std::FILE* ui_log = nullptr;
  std::string ui_logged;  // what it last said it shows
  std::unique_ptr<WindowEvents> events;
  double script_origin = 0.0;  // script times count from the start of the loop

  // Records the run, or plays a recording back (--record, --replay).
  ReplayHook replay_hook;
  std::string kept_recording;  // the window's own recording, for the kept-games folder

  // Nested in another run's window (RunSetup::nested): the frames before the
  // game it shows run unseen and unheard; then it is shown from this time of
  // the recording's clock on.
  bool unseen = false;
  double shown_from = 0.0;
  int64_t first_shown = -1;
};

// --- Building a run ---

// The game with its passes: drawn through the view when there is a screen.
void NewGame(Run& r) {
  // A nested run draws nothing until the game it shows begins (StartShowing).
  auto passes = r.view && !r.unseen ? std::make_unique<GamePasses>(*r.view, *r.device)
                                    : std::make_unique<GamePasses>();
  r.passes = passes.get();
  if (!r.view) passes->stats = &r.stats;
  std::unique_ptr<Clock> clock;
  if (r.setup.virtual_clock) {
    auto fake = std::make_unique<FakeClock>();
    r.virtual_clock = fake.get();
    clock = std::move(fake);
  } else {
    clock = std::make_unique<SteadyClock>();
  }
  r.game = std::make_unique<Game>(std::move(clock), std::move(passes));
  r.game->random.Seed(r.setup.seed);
}

// Makes the view and the screen device; OpenScreen opens them once the video
// mode is chosen.
void NewScreen(Run& r) {
  r.view = std::make_unique<TableView>();
  if (const NestedWindow* n = r.setup.nested) {
    // The outer run's screen, open in its mode: the table is loaded for it.
    r.device = n->device;
    r.view->display = *n->display;
    r.view->display.locked = false;
    r.view->display.full_redraw_count = 3;
    return;
  }
  platform::DisplayOptions display_options;
  display_options.headless = r.setup.display == DisplayKind::kOffscreen;
  display_options.fullscreen = r.setup.fullscreen;
  display_options.vsync = !r.setup.virtual_clock;  // a virtual clock never waits
  if (r.setup.display == DisplayKind::kWindow) {
    r.window_settings_file = platform::WindowSettingsPath(r.setup.config_dir);
    r.window_settings = platform::ReadWindowSettings(r.window_settings_file);
    r.write_window_settings = r.setup.menus;
    if (!r.setup.fullscreen_chosen) display_options.fullscreen = r.window_settings.fullscreen;
    display_options.sharp = r.window_settings.sharp;
    r.fullscreen_seen = display_options.fullscreen;
  }
  r.own_device = std::make_unique<platform::SdlDisplayDevice>(display_options);
  r.device = r.own_device.get();
}

// Writes the window settings when they changed: the full-screen choice once
// the player switches it (a --window or --fullscreen of this run alone is not
// kept), and with `size_too` the window's size for this video mode (a window
// being dragged to a new size is written once, at the end).
void KeepWindowSettings(Run& r, bool size_too) {
  if (!r.write_window_settings || !r.device || !r.device->has_window()) return;
  platform::WindowSettings now = r.window_settings;
  now.sharp = r.device->sharp();
  if (r.device->fullscreen() != r.fullscreen_seen) {
    r.fullscreen_seen = r.device->fullscreen();
    now.fullscreen = r.fullscreen_seen;
  }
  int32_t w = 0, h = 0;
  if (size_too && r.device->WindowedSize(w, h)) {
    now.width = w;
    now.height = h;
    now.mode_width = r.view->display.format.width;
    now.mode_height = r.view->display.format.height;
  }
  if (now == r.window_settings) return;
  // A settings file that cannot be written costs only the next start's window.
  if (platform::WriteWindowSettings(r.window_settings_file, now)) r.window_settings = now;
}

// Opens the display in the chosen mode; false (said on err) when it cannot.
bool OpenScreen(Run& r, std::FILE* err) {
  const render::DisplayFormat& f = r.view->display.format;
  const platform::WindowSettings& kept = r.window_settings;
  if (kept.width > 0 && kept.mode_width == f.width && kept.mode_height == f.height) {
    r.device->SetStartWindowSize(kept.width, kept.height);  // the size chosen for this mode
  }
  if (!render::OpenDisplay(r.view->display, *r.device)) {
    std::fprintf(err, "gfall: cannot open the display at %d x %d, %d bits\n", f.width, f.height,
                 render::kDepthBits[static_cast<size_t>(f.format_id)]);
    return false;
  }
  r.display_open = true;
  if (r.device->sdl_window()) {
    platform::SetWindowIcon(r.device->sdl_window(), platform::WindowIconPath(r.setup.data_dir));
  }
  return true;
}

// Gives the table its scoreboard and its drawing canvas.
void AttachDrawing(Run& r, render::TrueColourContext& tc, std::FILE* err) {
  r.board = std::make_unique<Scoreboard>();
  if (!LoadScoreboard(*r.board, tc)) {
    std::fprintf(err, "gfall: some scoreboard pictures are missing\n");
  }
  r.score_view = std::make_unique<ScoreboardView>(*r.board, *r.view);
  r.game->score_display.canvas = r.score_view.get();
  r.canvas = std::make_unique<CompositorCanvas>(*r.view);
  r.game->rules.table.canvas = r.canvas.get();
  rules::ResetObjects(r.game->rules.table);
}

void AttachSound(Run& r) {
  Game& g = *r.game;
  SetSoundTuning(*r.engine, g);
  g.tuned_sound = r.engine;
  r.engine->SetPlayfieldSize(g.world.map.width, g.world.map.height);
  g.world.sound = r.engine;
  g.rules.table.sound = r.engine;
  g.score_display.sound = r.engine;
}

// The game's sounds go nowhere again (its engine is closed or lent back).
void DetachSound(Game& g) {
  g.world.sound = &g.silent_sound;
  g.rules.table.sound = &g.silent_sound;
  g.score_display.sound = &g.silent_sound;
  g.tuned_sound = nullptr;
}

// The tuning file is read again from the pack at every game start.
void ReloadTuningFromPack(Run& r) { r.game->tuning_pack = &r.layer; }

// The settings and bindings of the game data file, read without touching the
// file; the defaults when there is none or it does not read.
void ReadStoredSettings(const std::string& config_dir, store::GameData& data) {
  store::ApplyDefaults(data, {});
  const std::filesystem::path folder = store::GameDataFolder(config_dir);
  if (folder.empty()) return;
  std::vector<uint8_t> bytes;
  std::string why;
  if (!core::ReadRegularFile(store::GameDataPath(folder), core::kMaxSettingsBytes, bytes, why)) {
    return;
  }
  store::GameData read;
  if (store::ParseGameData(bytes, read, {})) data = std::move(read);
}

// `before_table`: the file is opened before the table loads (the window,
// which needs its video mode first). The player identity of a new file is
// then drawn from a copy of the game's random source, so that the table
// loads from the same random state as in every other way of running and a
// replay of the run starts its balls as the run did.
void OpenData(Run& r, bool before_table = false) {
  const std::filesystem::path folder = store::GameDataFolder(r.setup.config_dir);
  r.data_file = folder.empty() ? folder : store::GameDataPath(folder);
  core::Random15 copy = r.game->random;
  store::IdentitySource id{static_cast<uint32_t>(std::time(nullptr)),
                           before_table ? &copy : &r.game->random};
  r.data_start = OpenGameData(r.data_file, r.data, id);
}

void OpenKeyboard(Run& r, bool joypads) {
  r.input.keyboard = &r.keyboard;
  r.input.devices.keyboard = &r.keyboard;
  if (joypads) {
    r.input.devices.joypads = &r.joypads.emplace();
    r.input.devices.clock = &r.input_clock;
  }
}

// Without a display: the table's physics from the pack (or the test table).
bool LoadWithoutDisplay(Run& r, std::FILE* err) {
  NewGame(r);
  if (r.setup.shared_pack != nullptr && !r.setup.test_table) {
    // The pack is open already: only the table's physics are loaded.
    std::string error;
    const bool ok =
        LoadTablePhysics(*r.game, r.layer, r.setup.data_dir, error, r.setup.shared_physics);
    if (!error.empty()) std::fprintf(err, "gfall: %s\n", error.c_str());
    if (!ok) return false;
  } else if (!LoadRunTable(*r.game, r.layer, r.setup, err)) {
    return false;
  }
  if (!r.setup.test_table) ReloadTuningFromPack(r);
  return true;
}

// Straight into play on a screen: the pack's table drawn by the compositor;
// in a window the stored bindings (read only) and the sound engine too.
bool LoadOnScreen(Run& r, std::FILE* err) {
  const RunSetup& s = r.setup;
  NewScreen(r);
  if (s.nested == nullptr) {
    store::SettingsBlock full_size;  // 1024 × 768 in 32 bits unless the options say
    full_size.resolution = 2;
    full_size.colour_depth = 4;
    ChooseMode(r.view->display.format, full_size, s.width, s.depth > 4 ? 4 : s.depth);
    if (!OpenScreen(r, err)) return false;
  }
  NewGame(r);
  std::string error;
  if (!LoadTableFromPack(*r.game, r.layer, s.data_dir, error)) {
    std::fprintf(err, "gfall: %s\n", error.c_str());
    return false;
  }
  if (!error.empty()) std::fprintf(err, "gfall: %s\n", error.c_str());
  if (!LoadTableView(*r.view, r.layer, error)) {
    std::fprintf(err, "gfall: %s\n", error.c_str());
    return false;
  }
  if (!error.empty()) std::fprintf(err, "gfall: %s\n", error.c_str());
  render::TrueColourContext tc{r.layer, r.view->display.format, *r.view->colours};
  AttachDrawing(r, tc, err);
  ReloadTuningFromPack(r);
  ReadStoredSettings(s.config_dir, r.data);
  if (s.display != DisplayKind::kWindow) return true;
  OpenKeyboard(r, s.nested == nullptr);  // nested: the outer run reads the joypads
  input::KeyboardOpen(r.input.devices);
  input::KeyboardAcquire(r.input.devices, true);
  if (s.nested != nullptr) {
    // The outer run's sound engine, silenced (its menu music too); the game
    // is heard once it is shown.
    r.engine = s.nested->engine;
    if (r.engine) r.engine->StopAll();
    return true;
  }
  r.audio = std::make_unique<platform::SdlAudioDevice>();
  r.own_engine = std::make_unique<sound::SoundEngine>();
  r.engine = r.own_engine.get();
  r.engine->Open(r.audio.get());
  if (!r.engine->LoadSounds(sound::PackSoundFiles(r.layer))) {
    std::fprintf(err, "gfall: some sounds did not load\n");
  }
  r.engine->Stop(core::kSoundMenuMusic);  // the menus' music starts with the loading
  const store::SettingsBlock& st = r.data.settings;
  r.engine->settings.music_on = st.music_on;
  r.engine->settings.sound_on = st.sounds_on;
  r.engine->settings.music_level = st.music_volume;
  r.engine->settings.game_level = st.sound_volume;
  AttachSound(r);
  return true;
}

// The window with its menus: the game data file (for the video mode), then
// the loading screen while the pack, the sounds, the table and the menus load.
bool LoadInWindowWithMenus(Run& r, std::FILE* err) {
  const RunSetup& s = r.setup;
  NewScreen(r);
  NewGame(r);
  Game& g = *r.game;
  OpenData(r, true);
  if (s.safe_mode) {
    // "/0": 640×480 in 8 bits, stored with the next save.
    r.data.settings.resolution = 0;
    r.data.settings.colour_depth = 0;
  }
  render::DisplayFormat& f = r.view->display.format;
  ChooseMode(f, r.data.settings, s.width, s.depth);
  std::string error;
  if (!OpenTablePack(r.layer, s.data_dir, error)) {
    std::fprintf(err, "gfall: %s\n", error.c_str());
    return false;
  }
  if (!OpenScreen(r, err)) return false;
  TableView& view = *r.view;
  if (!LoadTableColours(view, r.layer, error)) {
    std::fprintf(err, "gfall: %s\n", error.c_str());
    return false;
  }
  render::PresentContext present{view.display, *r.device, *view.compositor, *view.slots,
                                 view.colours->palette};
  render::Picture loading;
  if (LoadScreenPicture(loading, r.layer, kLoadingPicture, view)) {
    render::SetBackground(loading, view.display);
  }
  render::TrueColourContext tc{r.layer, f, *view.colours};
  LoadingScreen loading_screen(g, view, present, tc);
  loading_screen.Show(false);
  if (!s.shots_dir.empty()) WriteShot(s.shots_dir, "loading", r.device->LastFrameRgb());

  r.audio = std::make_unique<platform::SdlAudioDevice>();
  r.own_engine = std::make_unique<sound::SoundEngine>();
  r.engine = r.own_engine.get();
  if (!r.engine->Open(r.audio.get())) {
    std::fprintf(err, "gfall: no sound device could be opened; the game plays silently\n");
  }
  loading_screen.Show(false);
  if (!r.engine->LoadSounds(sound::PackSoundFiles(r.layer))) {
    std::fprintf(err, "gfall: some sounds did not load\n");
  }
  loading_screen.Show(false);
  if (!LoadTableDrawing(view, r.layer, error)) {
    std::fprintf(err, "gfall: %s\n", error.c_str());
    return false;
  }
  if (!error.empty()) std::fprintf(err, "gfall: %s\n", error.c_str());
  loading_screen.Show(false);
  if (!LoadTablePhysics(g, r.layer, s.data_dir, error)) {
    std::fprintf(err, "gfall: %s\n", error.c_str());
    return false;
  }
  if (!error.empty()) std::fprintf(err, "gfall: %s\n", error.c_str());
  const std::string_view missing = ui::LoadMenuImages(r.menus, *view.slots, tc);
  if (!missing.empty()) {
    std::fprintf(err, "gfall: cannot load %.*s\n", static_cast<int>(missing.size()),
                 missing.data());
    return false;
  }
  AttachDrawing(r, tc, err);
  ReloadTuningFromPack(r);
  AttachSound(r);

  auto screen = std::make_unique<WindowScreen>(g, view, *r.passes, *r.device);
  screen->shots_dir = s.shots_dir;
  LoadScreenPicture(screen->title_picture, r.layer, kTitlePicture, view);
  r.screen = std::move(screen);
  r.overlay = std::make_unique<MenuOverlay>(g, view);
  view.compositor->menus = r.overlay.get();

  OpenKeyboard(r, true);
  if (!input::KeyboardOpen(r.input.devices)) {
    std::fprintf(err, "gfall: cannot open the keyboard\n");
    return false;
  }
  input::KeyboardAcquire(r.input.devices, true);
  loading_screen.Show(true);

  r.dialogs = std::make_unique<platform::ImGuiDialogs>();
  r.dialogs->Open(r.device->sdl_window(), r.device->sdl_renderer());
  platform::SdlDisplayDevice* device = r.device;
  r.dialogs->SetBackdropPainter([device] { device->DrawBackdrop(); });
  r.dialogs->SetKeyboard(&r.keyboard);
  if (const char* log = std::getenv("GFALL_UI_LOG"); log != nullptr && *log != '\0') {
    r.ui_log = std::fopen(log, "a");
    r.dialogs->SetLog(r.ui_log);
  }
  return true;
}

// The window procedure over the game: the forms, the host that answers the
// window's commands, the menus, and the game's commands posted to its queue.
void OpenMenus(Run& r, std::FILE* err) {
  const RunSetup& s = r.setup;
  Game& g = *r.game;
  g.rules.players.last_index = std::clamp(r.data.settings.players_minus_one, 0, 3);
  r.feed.on_shot = {};
  if (r.device && !s.shots_dir.empty()) {
    platform::SdlDisplayDevice* device = r.device;
    r.feed.on_shot = [device, dir = s.shots_dir](const std::string& name) {
      WriteShot(dir, name, device->LastFrameRgb());
    };
  }
  r.script_origin = r.virtual_clock ? 0.0 : g.clock->Now();
  // A form that waits on time (the capture form) runs the script on meanwhile;
  // messages for the game window wait until the form closes.
  auto pump = [&r]() -> bool {
    if (r.virtual_clock) {
      r.virtual_clock->Set(r.virtual_clock->Now() + r.setup.frame_ms);
      if (r.virtual_clock->Now() > kHeadlessGameTimeCapMs) return false;
    }
    if (r.window) {
      MessageQueue during;
      r.feed.Deliver(r.game->clock->Now() - r.script_origin, *r.game, &during, &r.answers,
                     r.input.keyboard);
      for (const ui::Message& m : during.messages) r.window->queue.Post(m);
    }
    return true;
  };
  if (r.dialogs) {
    r.forms = std::make_unique<ScreenForms>(*r.dialogs, r.answers, pump, !s.input_file.empty(),
                                            s.shots_dir, *r.device);
  } else {
    r.forms = std::make_unique<ScriptedForms>(r.answers, pump);
  }
  if (!r.screen) r.screen = std::make_unique<HeadlessScreen>();

  r.host =
      std::make_unique<FrontEndHost>(g, r.data, r.data_file, *r.forms, *r.screen, r.input, r.modes);
  r.host->err = err;
  r.host->saving = r.data_start.saving;
  r.host->sound = r.engine;
  if (r.device) r.host->help_folders = HelpFolders(s.data_dir);
  if (r.device && r.device->has_window()) {
    platform::SdlDisplayDevice* device = r.device;
    r.host->sharp_scaling = [device] { return device->sharp(); };
    r.host->set_sharp_scaling = [device](bool sharp) { device->SetSharp(sharp); };
  }
  r.host->demo_kept_game = DemoPlaysKeptGame(s);
  r.host->demo_settings_file = DemoSettingsPath(s);
  r.host->ApplySoundSettings();
  render::SpriteSlots& slots = r.view ? *r.view->slots : r.plain_slots;
  r.window.reset(new Window{g.flags, {}, {}, ui::MakeMenuScreens(), slots, *r.host});
  Window& w = *r.window;
  w.pause_hold_frames = &g.frame.pause_hold_frames;
  w.flags.safe_mode = s.safe_mode;
  w.flags.skip_instance_check = s.skip_instance_check;
  if (s.safe_mode) {
    // "/0": 640×480 in 8 bits, stored with the next save.
    r.data.settings.resolution = 0;
    r.data.settings.colour_depth = 0;
  }
  PlaceMenuItems(slots, w.menus.main_menu);
  PlaceMenuItems(slots, w.menus.pause_menu);
  if (r.overlay) {
    r.overlay->window = &w;
    w.menus = r.menus;
    r.events = std::make_unique<WindowEvents>(g, *r.device, r.keyboard, *r.overlay, s.instance);
  }
  g.flags.loading_phase = 1;
  g.flags.main_menu_shown = 1;
  g.window_queue = &w.queue;
}

// The idle demonstration of a kept game in this run's window (ShowKeptGame).
// This run's game is left as it was; meanwhile its virtual clock follows the
// shown game and its script's lines come due (a key, click or action line
// ends the demonstration and goes no further, as a joypad press does).
// Afterwards the whole picture is drawn anew, the frame times settle as
// after a form, and the menus' music comes back with the window's next tick.
KeptGameShow ShowKeptGameHere(Run& r, const std::string& file, std::FILE* err) {
  NestedWindow n;
  n.device = r.device;
  n.display = &r.view->display;
  n.engine = r.engine;
  n.paced = r.virtual_clock == nullptr;
  n.pass_on = [&r](const platform::Event& e) {
    if (r.events && r.window) r.events->Pass(e, r.window->queue);
  };
  auto pad_buttons = [&r] {
    uint32_t buttons = 0;
    for (int i = 0; r.joypads && i < r.joypads->DeviceCount(); ++i) {
      input::JoypadPosition p;
      if (r.joypads->Read(i, p)) buttons |= p.buttons;
    }
    return buttons;
  };
  uint32_t held = pad_buttons();
  const double start = r.virtual_clock ? r.virtual_clock->Now() : 0.0;
  n.outer_tick = [&](double shown) {
    if (r.virtual_clock) r.virtual_clock->Set(std::max(r.virtual_clock->Now(), start + shown));
    const uint32_t buttons = pad_buttons();
    bool end = (buttons & ~held) != 0;
    held = buttons;
    if (r.window) {
      const std::array<int32_t, core::kActionCount> before = r.feed.actions;
      MessageQueue due;
      r.feed.Deliver(r.game->clock->Now() - r.script_origin, *r.game, &due, &r.answers, nullptr);
      for (size_t a = 0; a < before.size(); ++a) end = end || (r.feed.actions[a] && !before[a]);
      for (const ui::Message& m : due.messages) {
        if (m.kind == ui::MessageKind::kKeyDown || m.kind == ui::MessageKind::kLeftButtonDown ||
            m.kind == ui::MessageKind::kRightButtonDown) {
          end = true;
        } else {
          r.window->queue.Post(m);
        }
      }
    }
    return end;
  };
  const KeptGameShow shown = ShowKeptGame(file, r.setup, r.layer, std::move(n), err);
  if (r.engine) AttachSound(r);  // the sound tuning of this run's game again
  r.view->display.full_redraw_count = 3;
  if (r.host) {
    r.host->MarkRedraw();
    r.host->SettleClock();
  }
  return shown;
}

// --record and --replay, once the game is set up.
bool StartRecordingOrReplay(Run& r, std::FILE* err) {
  const RunSetup& s = r.setup;
  std::string error;
  const std::string pack =
      s.test_table ? std::string() : (std::filesystem::path(s.data_dir) / "GFALL.DAT").string();
  if (s.replay) {
    // In a window the replay keeps real time.
    std::unique_ptr<Clock> pace;
    if (s.display == DisplayKind::kWindow && (s.nested == nullptr || s.nested->paced)) {
      pace = std::make_unique<SteadyClock>();
    }
    if (!r.replay_hook.StartReplay(*r.game, *s.replay, pack, error, std::move(pace))) {
      std::fprintf(err, "gfall: %s: %s\n", s.replay_file.c_str(), error.c_str());
      return false;
    }
  } else if (!s.record_file.empty()) {
    if (!r.replay_hook.StartRecording(*r.game, RecordingSetupOf(s, *r.game), s.record_file,
                                      error)) {
      std::fprintf(err, "gfall: %s\n", error.c_str());
      return false;
    }
    if (r.host) r.host->replay_hook = &r.replay_hook;
  } else if (s.display == DisplayKind::kWindow && s.menus) {
    // The window keeps its games; a folder that cannot be written costs only that.
    const std::string path = KeptRecordingPath(s);
    if (!path.empty()) {
      KeepLeftRecordings(std::filesystem::path(path).parent_path().string(), r.data);
      if (r.host) r.host->kept_games_folder = std::filesystem::path(path).parent_path().string();
      if (r.host) r.host->watch_command = WatchCommand(s);
      if (r.host && r.device && r.device->has_window()) {
        r.host->show_kept_game = [&r, err](const std::string& file) {
          return ShowKeptGameHere(r, file, err);
        };
      }
    }
    if (!path.empty() &&
        r.replay_hook.StartRecording(*r.game, RecordingSetupOf(s, *r.game), path, error)) {
      r.kept_recording = path;
      if (r.host) r.host->replay_hook = &r.replay_hook;
    }
  }
  return true;
}

// Builds the run the setup asks for; false (said on err) when it cannot start.
bool OpenRun(Run& r, std::FILE* err) {
  const RunSetup& s = r.setup;
  if (!s.input_file.empty()) {
    std::string error;
    auto parsed = ReadInputScript(s.input_file, error);
    if (!parsed) {
      std::fprintf(err, "gfall: %s\n", error.c_str());
      return false;
    }
    r.script = std::move(*parsed);
  }
  if (s.display == DisplayKind::kNone) {
    if (!LoadWithoutDisplay(r, err)) return false;
    if (s.menus) {
      OpenData(r);
      OpenKeyboard(r, false);  // the script's key lines set it
      input::KeyboardOpen(r.input.devices);
      input::KeyboardAcquire(r.input.devices, true);
    }
  } else if (s.menus) {
    if (!LoadInWindowWithMenus(r, err)) return false;
  } else {
    if (!LoadOnScreen(r, err)) return false;
  }
  if (s.menus) {
    OpenMenus(r, err);
  } else {
    r.game->rules.players.last_index = std::clamp(s.players, 1, rules::kPlayerCount) - 1;
    // A replay of a run that began at the menus starts its game as recorded.
    if (!s.replay || s.replay->header.Setting("start") != "menus") StartGame(*r.game, s.demo);
  }
  if (!StartRecordingOrReplay(r, err)) return false;
  // Nested: the frames before the shown game run as fast as they can.
  if (s.nested != nullptr) r.replay_hook.SetSpeed(kUnseenSpeed);
  return true;
}

// --- Straight into play in a window: its own events ---

// The window's events while a nested run shows in it: a key or a click ends
// it and goes no further; closing, ending the program and losing the focus
// end it and are the outer run's as well, as are repaints and the focus
// coming back. True to end the nested run.
bool NestedWindowEvent(const platform::Event& e, Run& r) {
  using platform::EventKind;
  switch (e.kind) {
    case EventKind::kKeyDown:
    case EventKind::kMouseDown:
      return true;
    case EventKind::kKeyUp:
    case EventKind::kMouseUp:
    case EventKind::kMouseMove:
      return false;
    default:
      break;
  }
  if (r.setup.nested->pass_on) r.setup.nested->pass_on(e);
  return e.kind == EventKind::kClose || e.kind == EventKind::kTerminate ||
         e.kind == EventKind::kFocusLost;
}

// The window's events when it has no menus: closing and Escape end the run,
// Alt+Enter or F11 switches full screen, exposure repaints. True to quit.
bool PlainWindowEvent(const platform::Event& e, Run& r) {
  if (r.setup.nested != nullptr) return NestedWindowEvent(e, r);
  if (e.kind == platform::EventKind::kClose || e.kind == platform::EventKind::kTerminate)
    return true;
  if (e.kind == platform::EventKind::kKeyDown && e.key == kKeyEscape) return true;
  if (e.kind == platform::EventKind::kKeyDown && r.replay_hook.replaying()) {
    ReplayKey(r.replay_hook, e.key);
  }
  if (platform::IsFullscreenToggle(e)) {
    r.device->ToggleFullscreen();
  } else if (e.kind == platform::EventKind::kExposed || e.kind == platform::EventKind::kResized) {
    r.device->Redraw();
  } else if (e.kind == platform::EventKind::kFocusGained ||
             e.kind == platform::EventKind::kFocusLost) {
    r.view->display.full_redraw_count = 3;  // every activation change repaints the whole picture
  }
  return false;
}

// Keeps the last frame on the screen for `ms` milliseconds, answering the
// window meanwhile, so that it can be looked at or captured after the run.
void Linger(int64_t ms, Run& r) {
  if (ms <= 0 || !r.device->has_window()) return;
  SteadyClock wall;
  double shown = -1.0e9;
  while (wall.Now() < static_cast<double>(ms)) {
    platform::Event e;
    while (platform::PollEvent(e, nullptr)) {
      if (PlainWindowEvent(e, r)) return;
    }
    if (wall.Now() - shown >= 50.0) {
      r.device->Redraw();
      shown = wall.Now();
    }
    wall.Sleep(std::min(10.0, std::max(0.0, static_cast<double>(ms) - wall.Now())));
  }
}

// --- The loop ---

struct Outcome {
  int64_t frames = 0;
  bool quit = false;  // the player (or the script) asked to leave
};

// Moves a virtual clock to the time of the next frame; false once the run has
// reached its upper bound of game time.
bool AdvanceVirtualClock(Run& r, int64_t frame) {
  if (r.virtual_clock == nullptr) return true;
  if (r.setup.clock_step == ClockStep::kByFrameTime) {
    r.virtual_clock->Advance(r.setup.frame_ms);
    return true;
  }
  const double target = static_cast<double>(frame + 1) * r.setup.frame_ms;
  if (target > kHeadlessGameTimeCapMs) return false;
  r.virtual_clock->Set(std::max(r.virtual_clock->Now(), target));
  return true;
}

// The window procedure's share of a frame: the 50 ms ticks that are due,
// then every message in the queue. False once the window quits.
bool RunWindowMessages(Run& r, double& next_tick) {
  Window& w = *r.window;
  // Messages wait while a form is open, as they wait for the form a message opened.
  auto forms_open = [&r] { return r.dialogs && r.dialogs->Active(); };
  const double now = r.game->clock->Now();
  while (next_tick <= now) {
    ui::Message t;
    t.kind = ui::MessageKind::kTimer;
    t.param = 1;
    w.queue.Post(t);
    next_tick += 50.0;
    // After a long stall (a dialog) the ticks do not pile up.
    if (next_tick < now - 500.0) next_tick = now + 50.0;
  }
  while (!forms_open()) {
    auto m = w.queue.Take();
    if (!m) break;
    if (!WindowProc(w, *m)) return false;
  }
  return true;
}

// The loop's state between frames.
struct LoopState {
  double next_tick = 0.0;  // the window procedure's next 50 ms tick
  bool first_idle_done = false;
  bool game_started = false;  // with the menus: a game has left the main menu
};

enum class InputResult { kFrame, kNoFrame, kForms, kQuit, kStop };

// The forms keep the loop's pace: at rest (nothing read, nothing moving)
// the loop waits for the window's next event; else one frame a refresh at
// most. On a virtual clock they run as fast as the script.
void PaceForms(Run& r) {
  if (r.virtual_clock != nullptr) return;
  if (!r.dialogs->Active()) return;
  if (r.dialogs->AtRest()) {
    platform::WaitForEvent(250);
    return;
  }
  constexpr std::chrono::microseconds kRefresh(16667);
  const auto next = r.forms_shown + kRefresh;
  if (std::chrono::steady_clock::now() < next) std::this_thread::sleep_until(next);
  r.forms_shown = std::chrono::steady_clock::now();
}

// With $GFALL_UI_LOG: a line each time the window shows something else
// ("state loading|title|main|pause|play|forms"), and with a menu the places
// of its items in picture pixels ("menu COMMAND X0 Y0 X1 Y1", after
// "picture W H"). Tests drive the window by it; the forms log their own.
void LogScreen(Run& r) {
  if (r.ui_log == nullptr || !r.window) return;
  const AppFlags& f = r.game->flags;
  const char* state = f.loading_phase                    ? "loading"
                      : r.dialogs && r.dialogs->Active() ? "forms"
                      : f.title_shown                    ? "title"
                      : f.main_menu_shown                ? "main"
                      : f.pause_menu_shown               ? "pause"
                                                         : "play";
  if (r.ui_logged == state) return;
  r.ui_logged = state;
  const ui::MenuScreen* menu = r.ui_logged == "main"    ? &r.window->menus.main_menu
                               : r.ui_logged == "pause" ? &r.window->menus.pause_menu
                                                        : nullptr;
  if (menu != nullptr && r.view) {
    std::fprintf(r.ui_log, "picture %d %d\n", r.view->display.format.width,
                 r.view->display.format.height);
    for (int32_t i = menu->first_selectable; i < menu->count; ++i) {
      const ui::MenuItem& item = menu->items[static_cast<size_t>(i)];
      if (item.sprite < 0 || item.sprite > 255 || item.command <= 0) continue;
      const render::TrueColourSprite& sprite =
          r.window->slots.slots[static_cast<size_t>(item.sprite)];
      if (sprite.frame_count <= 0) continue;
      const render::SpriteRectangle box = render::SpriteRect(sprite);
      std::fprintf(r.ui_log, "menu %d %d %d %d %d\n", item.command, box.x0, box.y0, box.x1, box.y1);
    }
  }
  std::fprintf(r.ui_log, "state %s\n", state);
  std::fflush(r.ui_log);
}

// A frame of the open forms in place of play: the script's lines that are due
// still come (the window's messages wait in its queue), the forms read the
// window's events and draw; the program's end and the full-screen keys go on
// to the window.
InputResult RunFormsFrame(Run& r) {
  Game& g = *r.game;
  r.feed.Deliver(g.clock->Now() - r.script_origin, g, &r.window->queue, &r.answers,
                 r.input.keyboard);
  r.dialogs->Frame([&r](const platform::Event& e) {
    if (platform::IsFullscreenToggle(e)) {
      r.device->ToggleFullscreen();
    } else if (e.kind == platform::EventKind::kTerminate) {
      // Ending the program saves and leaves, as the menus' Quit does.
      r.window->queue.Post(ui::CommandMessage(core::kCommandQuit));
    }
  });
  KeepWindowSettings(r, false);
  if (!r.dialogs->Active()) {
    // The game goes on from now, not from when the form opened.
    r.host->SettleClock();
  }
  return InputResult::kForms;
}

// Everything that reaches the game before a frame: the script's lines that are
// due, the window's events (keys set the keyboard), with the menus the window
// procedure's ticks and messages, and the controls read through the stored
// bindings with the script's held actions added. When it returns,
// Game::actions holds what the frame will use. kQuit: the player asked to
// leave; kStop: the run ends here (the game is over); kNoFrame: no frame runs
// now (the window is inactive or still loading).
InputResult ReadFrameInput(Run& r, LoopState& loop) {
  const RunSetup& s = r.setup;
  Game& g = *r.game;
  InputResult result = InputResult::kFrame;
  LogScreen(r);
  if (r.window && r.dialogs && r.dialogs->Active()) return RunFormsFrame(r);
  if (r.window) {
    r.feed.Deliver(g.clock->Now() - r.script_origin, g, &r.window->queue, &r.answers,
                   r.input.keyboard);
    if (r.events) r.events->Poll(r.window->queue);
    KeepWindowSettings(r, false);
    if (!RunWindowMessages(r, loop.next_tick)) return InputResult::kQuit;
    // A form the game's end opened (the high-score entry) is answered first.
    const bool forms_open = r.dialogs && r.dialogs->Active();
    if (s.until_game_over && loop.game_started && g.flow.state.game_ended && !forms_open) {
      return InputResult::kStop;
    }
    if (!g.flags.main_menu_shown) loop.game_started = true;
    if (!loop.first_idle_done) {
      FirstIdlePass(*r.window);
      loop.first_idle_done = true;
      for (const std::string& text : r.data_start.notices) r.host->Say(text);
    }
    if (r.dialogs && r.dialogs->Active()) return InputResult::kForms;  // opened just now
    if (!FramesRun(*r.window) || g.flags.loading_phase) return InputResult::kNoFrame;
  } else {
    r.feed.Deliver(g.clock->Now(), g, nullptr, nullptr, nullptr);
    const bool own_window_events = r.device && r.device->has_window();
    platform::Event e;
    while (own_window_events && platform::PollEvent(e, &r.keyboard)) {
      if (PlainWindowEvent(e, r)) result = InputResult::kQuit;  // this frame still runs
    }
  }
  if (r.input.keyboard != nullptr) {
    input::ReadActions(r.input.controls, r.input.devices, r.data.bindings,
                       g.flags.computer_playing != 0);
    for (size_t a = 0; a < g.actions.size(); ++a) {
      g.actions[a] = r.input.controls.actions[a] | r.feed.actions[a];
    }
  }
  return result;
}

// --- A run nested in another's window (the idle demonstration) ---

// The game a nested run shows has begun: from the next frame on it is drawn
// (the playfield and every table part anew, the whole picture), heard, and
// played at the recording's pace.
void StartShowing(Run& r) {
  Game& g = *r.game;
  r.unseen = false;
  auto passes = std::make_unique<GamePasses>(*r.view, *r.device);
  passes->TitleShown();
  r.passes = passes.get();
  g.passes = std::move(passes);
  r.view->display.full_redraw_count = 3;
  if (r.engine) AttachSound(r);
  r.replay_hook.SetSpeed(1.0);
  r.shown_from = g.clock->Now();
}

// After each frame of a nested run: true when it ends there (the replay
// diverged, the shown game ended, the time is up, or the outer run saw a
// key, click or joypad press). Until its game begins the frames are unseen.
bool NestedRunEnds(Run& r, int64_t frame) {
  const NestedWindow& n = *r.setup.nested;
  const Game& g = *r.game;
  const replay::Checker* checker = r.replay_hook.checker();
  if ((checker != nullptr && checker->diverged()) || frame >= n.end_frame) return true;
  if (r.unseen) {
    if (frame > n.after_frame && !g.flags.main_menu_shown && !g.flow.state.game_ended) {
      StartShowing(r);
      r.first_shown = frame + 1;
    }
    return false;
  }
  const double shown = g.clock->Now() - r.shown_from;
  if (n.outer_tick && n.outer_tick(shown)) return true;
  return shown >= n.shown_ms;
}

// The one loop of every run, frame by frame: the clock moves (a virtual one to
// the frame's time), the frame's input is read (ReadFrameInput), and the frame
// runs (FrameGate -> RunFrame in frame_loop.cpp: physics, rules, drawing,
// presenting). On a real clock with a window the display first holds the
// frame back until just before its next refresh (the refresh less the
// frame's measured work), so that the input read then is shown at that
// refresh. See docs/architecture.md for where a recorder hooks in:
// the replay hook (replay_hook.h) notes the input just before the frame and
// records the clock readings made inside it; a replay sets the recorded
// input there instead.
Outcome RunFrames(Run& r) {
  const RunSetup& s = r.setup;
  Game& g = *r.game;
  const int64_t limit = FrameLimit(s) >= 0 ? FrameLimit(s) : INT64_MAX;
  Outcome out;
  LoopState loop;
  loop.next_tick = g.clock->Now() + 50.0;
  while (!out.quit && out.frames < limit) {
    if (!AdvanceVirtualClock(r, out.frames)) break;
    if (r.device && !r.unseen) r.device->WaitToStartFrame();
    const InputResult input = ReadFrameInput(r, loop);
    if (input == InputResult::kStop) break;
    if (input == InputResult::kQuit) {
      out.quit = true;
      if (r.window) break;  // straight into play, the frame of the quit still runs
    }
    if (input == InputResult::kForms) {
      PaceForms(r);
      ++out.frames;
      continue;
    }
    if (r.replay_hook.paused()) {
      platform::WaitForEvent(50);  // a paused replay: the window answers, no frame runs
      continue;
    }
    if (input != InputResult::kNoFrame) {
      if (!r.window && r.engine && !r.unseen && !r.engine->IsPlaying(core::kSoundTableMusic)) {
        r.engine->Play(core::kSoundTableMusic, 0, 0, false, true);
      }
      if (!r.replay_hook.BeforeFrame(g)) break;  // the recording has no more frames
      FrameGate(g);
      r.replay_hook.AfterFrame(g);
    } else if (r.events && !r.virtual_clock) {
      platform::WaitForEvent(50);
    }
    ++out.frames;
    if (s.nested != nullptr && NestedRunEnds(r, out.frames - 1)) break;

    if (!r.window) {
      TrackStuckBalls(r.stats, g, g.clock->Now());
      if (s.until_game_over && g.flow.state.game_ended) break;
    }
  }
  return out;
}

// --- The end of a run ---

int FinishRun(Run& r, const Outcome& outcome, std::FILE* out, std::FILE* err) {
  const RunSetup& s = r.setup;
  Game& g = *r.game;
  const bool restart = r.window && r.window->flags.restart_requested != 0;
  r.replay_hook.Finish(g);
  if (!r.replay_hook.record_ok()) {
    std::fprintf(err, "gfall: %s could not be written to the end; the recording stops early\n",
                 s.record_file.empty() ? "the kept game" : s.record_file.c_str());
  }
  if (!r.kept_recording.empty()) KeepRecording(r.kept_recording, r.data);
  if (s.print_state || s.stats) {
    if (r.window) {
      std::fprintf(out, "{\"window\": %s, \"state\": %s}\n",
                   WindowJson(*r.window, *r.host, r.answers, outcome.quit).c_str(),
                   StateJson(g, outcome.frames, nullptr).c_str());
    } else if (s.display == DisplayKind::kNone) {
      const std::string state = StateJson(g, outcome.frames, s.stats ? &r.stats : nullptr);
      if (s.seed_in_state && state.size() > 1 && state[0] == '{') {
        std::fprintf(out, "{\"seed\":%u,%s\n", s.seed, state.c_str() + 1);
      } else {
        std::fprintf(out, "%s\n", state.c_str());
      }
    }
  }
  int code = s.replay ? ReplayVerdict(s, r.replay_hook, out, err) : 0;
  if (!s.record_file.empty() && !r.replay_hook.record_ok()) code = 1;
  if (!r.device) return code;
  std::string failed;
  if (!platform::WriteExitPictures(*r.device, s.screenshot, s.window_screenshot, failed)) {
    std::fprintf(err, "gfall: cannot write %s\n", failed.c_str());
    code = 1;
  }
  // Not when the player asked to leave.
  if (!r.window && !outcome.quit) Linger(s.linger_ms, r);
  KeepWindowSettings(r, true);
  if (r.engine) r.engine->Close();
  if (r.dialogs) r.dialogs->Close();
  if (r.ui_log != nullptr) {
    std::fprintf(r.ui_log, "end\n");
    std::fclose(r.ui_log);
    r.ui_log = nullptr;
  }
  DetachSound(g);
  render::CloseDisplay(r.view->display, *r.device);
  r.display_open = false;
  if (restart && code == 0) {
    if (s.instance != nullptr) platform::ReleaseSingleInstance(*s.instance);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    std::fflush(out);
    Restart(s.argv, err);
    return 1;
  }
  return code;
}

}  // namespace

KeptGameShow ShowKeptGame(const std::string& file, const RunSetup& outer, res::ResourceLayer& pack,
                          NestedWindow window, std::FILE* err) {
  KeptGameShow shown;
  replay::ReadResult read = replay::ReadRecordingFile(file);
  if (!read.playable() || read.recording.header.Setting("test-table") == "1") return shown;
  // The person's game that made the best score (the run's own computer
  // demonstrations are no one's): it begins after the game end before it.
  const BestGame best = BestPersonsGame(read.recording);
  if (best.score < 0) return shown;
  window.after_frame = best.game.after_frame;
  window.end_frame = read.recording.checkpoints[best.game.checkpoint].frame;

  RunSetup s;
  s.display = DisplayKind::kWindow;
  s.virtual_clock = !window.paced;
  s.data_dir = outer.data_dir;
  s.config_dir = outer.config_dir;
  s.players = read.recording.header.players;
  s.seed = read.recording.header.seed;
  s.frames = static_cast<int64_t>(read.recording.frames.size());
  s.shared_pack = &pack;
  s.replay_file = file;
  s.replay = std::make_shared<const replay::Recording>(std::move(read.recording));
  s.nested = &window;
  Run r(s);
  if (!OpenRun(r, err)) return shown;
  shown.started = true;
  const Outcome outcome = RunFrames(r);
  Game& g = *r.game;
  const replay::Checker* checker = r.replay_hook.checker();
  shown.diverged = checker != nullptr && checker->diverged();
  shown.frames = outcome.frames;
  shown.shown = !r.unseen;
  shown.first_shown = r.first_shown;
  for (const rules::PlayerRecord& p : g.rules.players.records) shown.scores.push_back(p.score);
  // Its sounds stop; the outer run's screen and sound engine stay open.
  if (r.engine) r.engine->StopAll();
  DetachSound(g);
  return shown;
}

int RunGame(const RunSetup& setup, std::FILE* out, std::FILE* err) {
  Run r(setup);
  if (!OpenRun(r, err)) {
    if (r.display_open) render::CloseDisplay(r.view->display, *r.device);
    return 1;
  }
  const Outcome outcome = RunFrames(r);
  return FinishRun(r, outcome, out, err);
}

}  // namespace app
