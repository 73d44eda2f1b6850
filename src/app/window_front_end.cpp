#include "app/window_front_end.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "app/front_end.h"
#include "app/game_passes.h"
#include "app/scoreboard.h"
#include "app/startup.h"
#include "app/table_view.h"
#include "app/view_passes.h"
#include "physics/tuning_file.h"
#include "platform/imgui_dialogs.h"
#include "platform/open_url.h"
#include "platform/png_file.h"
#include "platform/sdl_audio_device.h"
#include "platform/sdl_display_device.h"
#include "platform/sdl_events.h"
#include "input/event_keyboard.h"
#include "platform/sdl_input.h"
#include "platform/single_instance.h"
#include "render/image_files.h"
#include "render/picture.h"
#include "res/pack.h"
#include "sound/pack_sound_file.h"
#include "ui/menu_screen.h"

namespace app {

namespace {

constexpr const char* kLoadingPicture = "RES\\TGA\\FS_0000.JPG";
constexpr const char* kTitlePicture = "RES\\TGA\\F_0000.JPG";

bool LoadScreenPicture(render::Picture& p, res::ResourceLayer& layer, const char* name,
                       const TableView& view) {
  p = {};
  return render::LoadJpegPicture(p, layer, name) &&
         render::ConvertPicture(p, view.display.format, *view.colours);
}

void WriteShot(const std::string& dir, const std::string& name, const platform::RgbFrame& f) {
  if (dir.empty() || f.pixels.empty()) return;
  platform::WritePng((std::filesystem::path(dir) / (name + ".png")).string(), f);
}

// The window's pictures and the window itself, for the front end.
class WindowScreen final : public FrontEndScreen {
 public:
  WindowScreen(Game& g, TableView& view, ViewPasses& passes, platform::SdlDisplayDevice& device)
      : g_(g), view_(view), passes_(passes), device_(device) {}

  render::Picture title_picture;
  std::string shots_dir;

  void MarkRedraw() override { view_.display.full_redraw_count = 3; }
  void ShowTitle() override {
    if (title_picture.pixels.empty() || !render::SetBackground(title_picture, view_.display)) {
      return;
    }
    passes_.OtherPictureShown();
    render::ParkBalls(*view_.compositor, view_.display.format);
    title_on_ = true;
  }
  void EnterIdleState() override {
    passes_.ForcePlayfield(false);
    rules::RedrawTable(g_.flow);
  }
  void Minimise() override { device_.Minimise(); }
  void Raise() override { device_.Raise(); }
  void ResetViewOffset() override { g_.nudge.shake_offset = {0, 0}; }
  void OpenBackdrop() override {
    render::PresentContext ctx{view_.display, device_, *view_.compositor, *view_.slots,
                               view_.colours->palette};
    render::OpenBackdrop(view_.presentation, ctx);
    device_.BeginOverlay();
    device_.ShowPointer(true);
  }
  void CloseBackdrop() override {
    device_.EndOverlay();
    render::CloseBackdrop(view_.presentation, view_.display);
  }
  void OpenUrl(const std::string& url) override {
    std::string error;
    platform::OpenUrl(url, error);  // nothing to tell the player when no browser answers
  }

  // Before each present: the table comes back once the title is left.
  void BeforePresent() {
    if (!title_on_ || g_.flags.title_shown || g_.flags.loading_phase) return;
    title_on_ = false;
    passes_.ForcePlayfield(g_.dark_playfield != 0);
    rules::RedrawTable(g_.flow);
  }

 private:
  Game& g_;
  TableView& view_;
  ViewPasses& passes_;
  platform::SdlDisplayDevice& device_;
  bool title_on_ = false;
};

// The menus over the finished frame.
class MenuOverlay final : public render::ScreenOverlay {
 public:
  MenuOverlay(Game& g, TableView& view) : g_(g), view_(view) {}
  Window* window = nullptr;

  void Draw() override {
    if (window == nullptr || g_.flags.loading_phase || g_.flags.title_shown) return;
    ui::MenuScreen* screen = nullptr;
    if (g_.flags.main_menu_shown) {
      screen = &window->menus.main_menu;
      ui::PrepareMainMenu(*screen, g_.rules.players.last_index + 1);
    } else if (g_.flags.pause_menu_shown) {
      screen = &window->menus.pause_menu;
    }
    if (screen == nullptr) return;
    ui::DrawMenuScreen(*screen, *view_.slots, [this](int32_t slot) {
      render::DrawOnScreen(*view_.compositor, view_.display,
                           view_.slots->slots[static_cast<size_t>(slot)]);
    });
  }

 private:
  Game& g_;
  TableView& view_;
};

// The forms on screen. Runs with an input script never wait for a person:
// each form shows for a few frames and takes the script's answer.
class ScreenForms final : public DialogForms {
 public:
  ScreenForms(platform::ImGuiDialogs& dialogs, ui::ScriptedAnswers& answers,
              std::function<bool()> pump, bool scripted, std::string shots_dir,
              platform::SdlDisplayDevice& device)
      : d_(dialogs), script_(answers, pump), scripted_(scripted),
        shots_dir_(std::move(shots_dir)), device_(device) {
    d_.SetDrawnHook([this](int frame) {
      if (frame == kShownFrames - 1 && !shot_name_.empty()) {
        WriteShot(shots_dir_, shot_name_, device_.ReadOverlayRgb());
        shot_name_.clear();
      }
    });
  }

  bool Options(ui::OptionsForm& form, const render::ModeTable& modes,
               const OptionsFormHooks& hooks) override {
    platform::OptionsHooks h{hooks.music_volume_changed, hooks.sound_volume_changed,
                             hooks.change_controls, hooks.help};
    if (Show("options")) {
      ui::OptionsForm shown = form;
      d_.Options(shown, modes, {});
      return script_.Options(form, modes, hooks);
    }
    return d_.Options(form, modes, h) == platform::kDialogOk;
  }
  bool NewVideoMode() override {
    if (Show("newmode")) {
      d_.NewVideoMode();
      return script_.NewVideoMode();
    }
    return d_.NewVideoMode() == platform::kDialogOk;
  }
  void About(const std::function<void()>& open_link) override {
    if (Show("about")) {
      d_.About({});
      script_.About(open_link);
      return;
    }
    d_.About(open_link);
  }
  bool SubmitOffer() override {
    if (Show("submit")) {
      d_.SubmitOffer();
      return script_.SubmitOffer();
    }
    return d_.SubmitOffer() == platform::kDialogOk;
  }
  bool HighScores(const store::HighScoreTable& table, int entry_row, int32_t score,
                  std::string& name, const std::function<void(std::string_view)>& help,
                  const std::function<void()>& reset) override {
    if (Show("highscore")) {
      std::string shown = name;
      d_.HighScores(table, entry_row, score, shown, {});
      return script_.HighScores(table, entry_row, score, name, help, reset);
    }
    // The on-screen table asks for the confirmation itself, then resets.
    platform::HighScoreHooks h{reset, help};
    std::string typed = name;
    if (d_.HighScores(table, entry_row, score, typed, h) != platform::kDialogOk) return false;
    name = typed;
    return true;
  }
  bool ResetScoresConfirm() override {
    if (Show("resetscores")) {
      d_.ResetScoresConfirm();
      return script_.ResetScoresConfirm();
    }
    return d_.ResetScoresConfirm() == platform::kDialogOk;
  }
  bool Controls(const ControlsFormHooks& hooks) override {
    platform::ControlsHooks h{hooks.binding_text, [&hooks](int32_t a) {
                                if (hooks.capture) hooks.capture(a);
                              },
                              hooks.restore_defaults, hooks.help};
    if (Show("controls")) {
      d_.Controls({hooks.binding_text, {}, {}, {}});
      return script_.Controls(hooks);
    }
    return d_.Controls(h) == platform::kDialogOk;
  }
  bool RestoreDefaultsConfirm() override {
    if (Show("restorekeys")) {
      d_.RestoreDefaultsConfirm();
      return script_.RestoreDefaultsConfirm();
    }
    return d_.RestoreDefaultsConfirm() == platform::kDialogOk;
  }
  void Notice(std::string_view text) override {
    if (Show("notice")) {
      d_.Notice(text);
      script_.Notice(text);
      return;
    }
    d_.Notice(text);
  }
  bool Capture(std::string_view prompt, const std::function<int()>& tick) override {
    // The capture form waits for a key in every run; a script gives it a limit.
    shot_name_ = shots_dir_.empty() ? "" : "capture";
    if (scripted_) d_.SetFrameLimit(kScriptedCaptureFrames);
    const int r = d_.Capture(prompt, tick);
    d_.SetFrameLimit(-1);
    return r == platform::kDialogOk;
  }

 private:
  static constexpr int kShownFrames = 3;

  // True when the script answers this form: it then shows for a few frames.
  bool Show(const char* name) {
    if (!scripted_) return false;
    shot_name_ = shots_dir_.empty() ? "" : name;
    d_.CloseNextAfter(kShownFrames, platform::kDialogCancel);
    return true;
  }

  platform::ImGuiDialogs& d_;
  ScriptedForms script_;
  bool scripted_;
  std::string shots_dir_;
  platform::SdlDisplayDevice& device_;
  std::string shot_name_;
};

// The video mode of this run: the stored one, or the one the options give.
void ChooseMode(render::DisplayFormat& f, const store::SettingsBlock& s, const WindowOptions& wo) {
  int32_t res = std::clamp(s.resolution, 0, 2);
  if (wo.width != 0) res = wo.width == 640 ? 0 : wo.width == 800 ? 1 : 2;
  int32_t depth = std::clamp(s.colour_depth, 0, 4);
  if (wo.depth >= 0) depth = std::clamp(wo.depth, 0, 4);
  f.width = render::kResolutions[static_cast<size_t>(res)].width;
  f.height = render::kResolutions[static_cast<size_t>(res)].height;
  f.format_id = static_cast<render::PixelFormatId>(depth);
  render::SetFormatDefaults(f);
}

void SetSoundTuning(sound::SoundEngine& engine, const Game& g) {
  engine.tuning = {g.world.tuning.sound_pano_scale, g.world.tuning.sound_volume_scale,
                   g.world.tuning.sound_speed_scale};
}

// The loading screen's indicator, advanced between the steps of loading.
class LoadingScreen {
 public:
  LoadingScreen(Game& g, TableView& view, render::PresentContext& present,
                render::TrueColourContext& tc)
      : g_(g), view_(view), present_(present) {
    have_indicator_ = render::LoadTrueColourSprite(indicator_.sprite, tc,
                                                   ui::kLoadingIndicatorFile, "", 0, 0);
  }

  // Shows the next picture of the indicator (its last one when `last`) and
  // keeps the window answering while it loads.
  void Show(bool last) {
    if (have_indicator_) {
      if (last) {
        ui::EndLoadingIndicator(indicator_);
      } else if (!ui::AdvanceLoadingIndicator(indicator_, g_.clock->Now())) {
        return;
      }
      render::DrawIntoBackground(*view_.compositor, view_.display.format, indicator_.sprite);
    }
    view_.display.full_redraw_count = 2;
    render::PresentFrame(view_.presentation, present_);
    platform::Event e;
    while (platform::PollEvent(e, nullptr)) {
    }
  }

 private:
  Game& g_;
  TableView& view_;
  render::PresentContext& present_;
  ui::LoadingIndicator indicator_;
  bool have_indicator_ = false;
};

// The window's events as messages for the window procedure: close, repaint,
// activation, keys (also into the keyboard) and the mouse; Alt+Enter
// switches full screen here, a second copy's raise request is answered, and
// the pointer hides in play and shows over the menus and the forms.
class WindowEvents {
 public:
  WindowEvents(Game& g, platform::SdlDisplayDevice& device, input::EventKeyboard& keyboard,
               MenuOverlay& overlay, platform::SingleInstance* instance)
      : g_(g), device_(device), keyboard_(keyboard), overlay_(overlay), instance_(instance) {}

  void Poll(MessageQueue& q) {
    platform::Event e;
    while (platform::PollEvent(e, &keyboard_)) Translate(e, q);
    if (instance_ != nullptr && platform::PollRaiseRequest(*instance_)) device_.Raise();
    if (const Window* w = overlay_.window) {
      const bool hidden = g_.flags.app_active && w->flags.dialog_depth == 0 &&
                          !g_.flags.main_menu_shown && !g_.flags.pause_menu_shown;
      if (hidden != pointer_hidden_) device_.ShowPointer(!hidden);
      pointer_hidden_ = hidden;
    }
  }

 private:
  void Translate(const platform::Event& e, MessageQueue& q) {
    ui::Message m;
    switch (e.kind) {
      case platform::EventKind::kTerminate:
        // Ending the program saves and leaves, as the menus' Quit does.
        q.Post(ui::CommandMessage(core::kCommandQuit));
        break;
      case platform::EventKind::kClose:
        m.kind = ui::MessageKind::kClose;
        q.Post(m);
        break;
      case platform::EventKind::kResized:
      case platform::EventKind::kExposed:
        device_.Redraw();
        m.kind = ui::MessageKind::kPaint;
        q.Post(m);
        break;
      case platform::EventKind::kFocusGained:
      case platform::EventKind::kFocusLost:
        m.kind = ui::MessageKind::kActivateApp;
        m.param = e.kind == platform::EventKind::kFocusGained ? 1 : 0;
        q.Post(m);
        break;
      case platform::EventKind::kKeyDown:
      case platform::EventKind::kKeyUp: {
        if (platform::IsFullscreenToggle(e)) {
          device_.ToggleFullscreen();
          break;
        }
        const bool down = e.kind == platform::EventKind::kKeyDown;
        const int32_t key = ui::VirtualKeyFromScanCode(e.key);
        if (key == ui::vk::kShift) shift_ = down;
        if (key != 0) {
          q.Post(ui::KeyMessage(down ? ui::MessageKind::kKeyDown : ui::MessageKind::kKeyUp, key,
                                shift_));
        }
        break;
      }
      case platform::EventKind::kMouseMove:
        q.Post(ui::MouseMessage(ui::MessageKind::kMouseMove, e.x, e.y));
        break;
      case platform::EventKind::kMouseDown:
        if (e.button == 1) q.Post(ui::MouseMessage(ui::MessageKind::kLeftButtonDown, e.x, e.y));
        if (e.button == 3) q.Post(ui::MouseMessage(ui::MessageKind::kRightButtonDown, e.x, e.y));
        break;
      case platform::EventKind::kMouseUp:
        if (e.button == 1) q.Post(ui::MouseMessage(ui::MessageKind::kLeftButtonUp, e.x, e.y));
        break;
    }
  }

  Game& g_;
  platform::SdlDisplayDevice& device_;
  input::EventKeyboard& keyboard_;
  MenuOverlay& overlay_;
  platform::SingleInstance* instance_;
  bool shift_ = false;
  bool pointer_hidden_ = false;
};

std::vector<std::string> HelpFolders(const std::string& data_dir) {
  std::vector<std::string> folders = {(std::filesystem::path(data_dir) / "help").string()};
  const std::string exe = ExecutableDir();
  if (!exe.empty()) folders.push_back((std::filesystem::path(exe) / "help").string());
  folders.push_back(std::string(GFALL_INSTALL_DATA_DIR) + "/help");
  return folders;
}

// Starts the program anew with "/R" (the restart after a new video mode).
void Restart(const std::vector<std::string>& argv, std::FILE* err) {
  std::vector<std::string> args;
  args.push_back(argv.empty() ? std::string("gfall") : argv[0]);
  for (size_t i = 1; i < argv.size(); ++i) {
    // The old switches ("/0", "/R", together or not), not paths given as values.
    const std::string& a = argv[i];
    if (a.size() >= 2 && a[0] == '/' && a.find_first_not_of("0R", 1) == std::string::npos) continue;
    args.push_back(argv[i]);
  }
  args.push_back("/R");
  std::vector<char*> c_args;
  for (std::string& a : args) c_args.push_back(a.data());
  c_args.push_back(nullptr);
  ::execv("/proc/self/exe", c_args.data());
  std::fprintf(err, "gfall: cannot restart: %s\n", std::strerror(errno));
}

}  // namespace

int RunWindowFrontEnd(const WindowOptions& wo, std::FILE* out, std::FILE* err) {
  HeadlessOptions o = wo.run;
  std::vector<ScriptEvent> script;
  if (!o.input_file.empty()) {
    std::string error;
    auto parsed = ReadInputScript(o.input_file, error);
    if (!parsed) {
      std::fprintf(err, "gfall: %s\n", error.c_str());
      return 1;
    }
    script = std::move(*parsed);
  }

  // The game data file: settings, bindings, names and scores.
  const std::filesystem::path folder = store::GameDataFolder(o.config_dir);
  const std::filesystem::path data_file = folder.empty() ? folder : store::GameDataPath(folder);

  std::unique_ptr<Clock> clock_owned;
  FakeClock* fake = nullptr;
  if (wo.virtual_clock) {
    auto c = std::make_unique<FakeClock>();
    fake = c.get();
    clock_owned = std::move(c);
  } else {
    clock_owned = std::make_unique<SteadyClock>();
  }
  auto view = std::make_unique<TableView>();
  platform::DisplayOptions display_options;
  display_options.fullscreen = wo.fullscreen;
  display_options.vsync = !wo.virtual_clock;  // a virtual clock never waits
  platform::SdlDisplayDevice device(display_options);
  auto passes_owned = std::make_unique<ViewPasses>(*view, device);
  ViewPasses& passes = *passes_owned;
  auto game = std::make_unique<Game>(std::move(clock_owned), std::move(passes_owned));
  Game& g = *game;
  g.random.Seed(o.seed);

  store::GameData data;
  store::IdentitySource id{static_cast<uint32_t>(std::time(nullptr)), &g.random};
  GameDataStart data_start = OpenGameData(data_file, data, id);

  if (o.safe_mode) {
    // "/0": 640×480 in 8 bits, stored with the next save.
    data.settings.resolution = 0;
    data.settings.colour_depth = 0;
  }
  render::DisplayFormat& f = view->display.format;
  ChooseMode(f, data.settings, wo);

  res::ResourceLayer layer;
  std::string error;
  if (!OpenTablePack(layer, o.data_dir, error)) {
    std::fprintf(err, "gfall: %s\n", error.c_str());
    return 1;
  }
  if (!render::OpenDisplay(view->display, device)) {
    std::fprintf(err, "gfall: cannot open the display at %d x %d, %d bits\n", f.width, f.height,
                 render::kDepthBits[static_cast<size_t>(f.format_id)]);
    return 1;
  }
  auto close_display = [&] { render::CloseDisplay(view->display, device); };
  if (!LoadTableColours(*view, layer, error)) {
    std::fprintf(err, "gfall: %s\n", error.c_str());
    close_display();
    return 1;
  }
  render::PresentContext present{view->display, device, *view->compositor, *view->slots,
                                 view->colours->palette};

  // The loading screen with its indicator.
  render::Picture loading;
  if (LoadScreenPicture(loading, layer, kLoadingPicture, *view)) {
    render::SetBackground(loading, view->display);
  }
  render::TrueColourContext tc{layer, f, *view->colours};
  LoadingScreen loading_screen(g, *view, present, tc);
  auto show_loading = [&](bool last) { loading_screen.Show(last); };
  show_loading(false);
  if (!wo.shots_dir.empty()) WriteShot(wo.shots_dir, "loading", device.LastFrameRgb());

  // Sound: a missing device leaves the game silent, not stopped.
  platform::SdlAudioDevice audio;
  sound::SoundEngine engine;
  engine.Open(&audio);
  show_loading(false);
  if (!engine.LoadSounds(sound::PackSoundFiles(layer))) {
    std::fprintf(err, "gfall: some sounds did not load\n");
  }
  show_loading(false);

  if (!LoadTableDrawing(*view, layer, error)) {
    std::fprintf(err, "gfall: %s\n", error.c_str());
    close_display();
    return 1;
  }
  if (!error.empty()) std::fprintf(err, "gfall: %s\n", error.c_str());
  show_loading(false);
  if (!LoadTablePhysics(g, layer, o.data_dir, error)) {
    std::fprintf(err, "gfall: %s\n", error.c_str());
    close_display();
    return 1;
  }
  if (!error.empty()) std::fprintf(err, "gfall: %s\n", error.c_str());
  ui::MenuScreens menus_for_load = ui::MakeMenuScreens();
  const std::string_view missing = ui::LoadMenuImages(menus_for_load, *view->slots, tc);
  if (!missing.empty()) {
    std::fprintf(err, "gfall: cannot load %.*s\n", static_cast<int>(missing.size()),
                 missing.data());
    close_display();
    return 1;
  }
  auto board = std::make_unique<Scoreboard>();
  if (!LoadScoreboard(*board, tc)) std::fprintf(err, "gfall: some scoreboard pictures are missing\n");
  ScoreboardView score_view(*board, *view);
  g.score_display.canvas = &score_view;
  CompositorCanvas canvas(*view);
  g.rules.table.canvas = &canvas;
  rules::ResetObjects(g.rules.table);
  g.reload_tuning = [&layer, &engine](Game& game) {
    physics::LoadTuning(layer, game.world.tuning_targets());
    SetSoundTuning(engine, game);
  };
  SetSoundTuning(engine, g);
  engine.SetPlayfieldSize(g.world.map.width, g.world.map.height);
  g.world.sound = &engine;
  g.rules.table.sound = &engine;
  g.score_display.sound = &engine;

  WindowScreen screen(g, *view, passes, device);
  screen.shots_dir = wo.shots_dir;
  LoadScreenPicture(screen.title_picture, layer, kTitlePicture, *view);
  passes.before_present = [&screen](Game&) { screen.BeforePresent(); };
  MenuOverlay overlay(g, *view);
  view->compositor->menus = &overlay;

  input::EventKeyboard keyboard;
  platform::SdlJoypads joypads;
  platform::SdlInputClock input_clock;
  FrontEndInput input;
  input.devices = {&keyboard, &joypads, &input_clock};
  input.keyboard = &keyboard;
  if (!input::KeyboardOpen(input.devices)) {
    std::fprintf(err, "gfall: cannot open the keyboard\n");
    close_display();
    return 1;
  }
  input::KeyboardAcquire(input.devices, true);
  show_loading(true);

  platform::ImGuiDialogs dialogs;
  dialogs.Open(device.sdl_window(), device.sdl_renderer());
  dialogs.SetBackdropPainter([&device] { device.DrawBackdrop(); });
  dialogs.SetKeyboard(&keyboard);

  const bool scripted = !o.input_file.empty();
  FrontEndRun run(o, script, data, data_file, screen, input, *view->slots);
  run.frame_limit = o.frames;
  run.start_notices = std::move(data_start.notices);
  run.saving = data_start.saving;
  run.virtual_clock = fake;
  run.sound = &engine;
  run.help_folders = HelpFolders(o.data_dir);
  run.make_forms = [&](ui::ScriptedAnswers& answers, std::function<bool()> pump) {
    dialogs.SetFrameHook([pump](int) { pump(); });
    return std::make_unique<ScreenForms>(dialogs, answers, pump, scripted, wo.shots_dir, device);
  };
  run.on_window = [&](Window& w) {
    overlay.window = &w;
    w.menus = menus_for_load;
  };
  run.on_shot = [&](const std::string& name) {
    WriteShot(wo.shots_dir, name, device.LastFrameRgb());
  };
  WindowEvents events{g, device, keyboard, overlay, wo.instance};
  run.poll_events = [&events](MessageQueue& q) { events.Poll(q); };
  run.wait = [](int ms) { platform::WaitForEvent(ms); };

  bool restart = false;
  const int status = RunFrontEnd(g, run, out, err, restart);

  int code = status;
  std::string failed;
  if (!platform::WriteExitPictures(device, wo.screenshot, wo.window_screenshot, failed)) {
    std::fprintf(err, "gfall: cannot write %s\n", failed.c_str());
    code = 1;
  }
  engine.Close();
  dialogs.Close();
  g.world.sound = &g.silent_sound;
  g.rules.table.sound = &g.silent_sound;
  g.score_display.sound = &g.silent_sound;
  close_display();
  if (restart && code == 0) {
    if (wo.instance != nullptr) platform::ReleaseSingleInstance(*wo.instance);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    std::fflush(out);
    Restart(wo.argv, err);
    return 1;
  }
  return code;
}

}  // namespace app
