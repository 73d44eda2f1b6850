#pragma once
// The pieces of the game in a window: its screen (title, backdrops, the
// playfield picture), the menus drawn over the frame, the forms on screen,
// the loading screen, the window's events as messages, and the restart in a
// new video mode. The driver (driver.cpp) puts them together.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "app/dialog_forms.h"
#include "app/frame_passes.h"
#include "app/front_end_host.h"
#include "app/game_passes.h"
#include "app/scoreboard.h"
#include "app/scoreboard_view.h"
#include "app/startup.h"
#include "app/table_view.h"
#include "app/window_proc.h"
#include "input/event_keyboard.h"
#include "physics/tuning_file.h"
#include "platform/imgui_dialogs.h"
#include "platform/open_url.h"
#include "platform/os/process.h"
#include "platform/png_file.h"
#include "platform/sdl_audio_device.h"
#include "platform/sdl_display_device.h"
#include "platform/sdl_events.h"
#include "platform/sdl_input.h"
#include "platform/single_instance.h"
#include "platform/window_icon.h"
#include "render/image_files.h"
#include "render/picture.h"
#include "res/pack.h"
#include "sound/pack_sound_file.h"
#include "ui/menu_screen.h"

namespace app {

inline constexpr const char* kLoadingPicture = "RES\\TGA\\FS_0000.JPG";
inline constexpr const char* kTitlePicture = "RES\\TGA\\F_0000.JPG";

inline bool LoadScreenPicture(render::Picture& p, res::ResourceLayer& layer, const char* name,
                              const TableView& view) {
  p = {};
  return render::LoadJpegPicture(p, layer, name) &&
         render::ConvertPicture(p, view.display.format, *view.colours);
}

inline void WriteShot(const std::string& dir, const std::string& name,
                      const platform::RgbFrame& f) {
  if (dir.empty() || f.pixels.empty()) return;
  platform::WritePng((std::filesystem::path(dir) / (name + ".png")).string(), f);
}

// The window's pictures and the window itself, for the front end.
class WindowScreen final : public FrontEndScreen {
 public:
  WindowScreen(Game& g, TableView& view, GamePasses& passes, platform::SdlDisplayDevice& device)
      : g_(g), view_(view), passes_(passes), device_(device) {}

  render::Picture title_picture;
  std::string shots_dir;

  void MarkRedraw() override { view_.display.full_redraw_count = 3; }
  void ShowTitle() override {
    if (title_picture.pixels.empty() || !render::SetBackground(title_picture, view_.display)) {
      return;
    }
    passes_.TitleShown();
    render::ParkBalls(*view_.compositor, view_.display.format);
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

 private:
  Game& g_;
  TableView& view_;
  GamePasses& passes_;
  platform::SdlDisplayDevice& device_;
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
// each form shows for a few frames in front and then takes the script's
// answer, pressing the buttons the answer names (a form they open shows
// over it, as a person's would).
class ScreenForms final : public DialogForms {
 public:
  ScreenForms(platform::ImGuiDialogs& dialogs, ui::ScriptedAnswers& answers,
              std::function<bool()> pump, bool scripted, std::string shots_dir,
              platform::SdlDisplayDevice& device)
      : d_(dialogs),
        script_(answers, pump),
        scripted_(scripted),
        shots_dir_(std::move(shots_dir)),
        device_(device) {
    d_.SetDrawnHook([this](int frame) {
      if (frame == kShownFrames - 1 && !shot_name_.empty()) {
        WriteShot(shots_dir_, shot_name_, device_.ReadOverlayRgb());
        shot_name_.clear();
      }
    });
  }

  void Options(const ui::OptionsForm& form, const render::ModeTable& modes,
               const OptionsFormHooks& hooks,
               std::function<void(bool, const ui::OptionsForm&)> done) override {
    platform::OptionsHooks h{hooks.music_volume_changed, hooks.sound_volume_changed,
                             hooks.change_controls, hooks.help};
    auto answer = std::make_shared<std::optional<std::pair<bool, ui::OptionsForm>>>();
    if (Show("options")) {
      Answer([this, answer, form, &modes, hooks] {
        if (!*answer) {
          ui::OptionsForm f = form;
          const bool ok = script_.OptionsAnswer(f, modes, hooks);
          *answer = std::make_pair(ok, f);
        }
        return (*answer)->first ? platform::kDialogOk : platform::kDialogCancel;
      });
    }
    d_.Options(form, modes, h,
               [answer, done = std::move(done)](int r, const ui::OptionsForm& shown) {
                 if (!done) return;
                 if (*answer) {
                   done((*answer)->first, (*answer)->second);
                 } else {
                   done(r == platform::kDialogOk, shown);
                 }
               });
  }
  void NewVideoMode(Answer done) override {
    Simple("newmode", "cancel", "ok");
    d_.NewVideoMode(OkOf(std::move(done)));
  }
  void About(const std::function<void()>& open_link, std::function<void()> done) override {
    Simple("about", "ok", "ok");
    d_.About(open_link, [done = std::move(done)](int) {
      if (done) done();
    });
  }
  void SubmitOffer(Answer done) override {
    Simple("submit", "no", "yes");
    d_.SubmitOffer(OkOf(std::move(done)));
  }
  void HighScores(const store::HighScoreTable& table, int entry_row, int32_t score,
                  const std::string& name, const std::function<void(std::string_view)>& help,
                  const std::function<void()>& reset, const HighScoreWatch& watch,
                  std::function<void(bool, const std::string&)> done) override {
    platform::HighScoreHooks h{reset, help,
                               [watch](int row) {
                                 return row >= 0 && row < store::kHighScoreRows &&
                                        watch.rows[static_cast<size_t>(row)];
                               },
                               watch.start};
    auto answer = std::make_shared<std::optional<std::pair<bool, std::string>>>();
    if (Show("highscore")) {
      Answer([this, answer, entry_row, name, reset, watch] {
        if (!*answer) {
          std::string typed = name;
          const bool ok = script_.HighScoresAnswer(entry_row, typed, reset, watch, *this);
          *answer = std::make_pair(ok, typed);
        }
        return (*answer)->first ? platform::kDialogOk : platform::kDialogCancel;
      });
    }
    d_.HighScores(table, entry_row, score, name, h,
                  [answer, done = std::move(done)](int r, const std::string& typed) {
                    if (!done) return;
                    if (*answer) {
                      done((*answer)->first, (*answer)->second);
                    } else {
                      done(r == platform::kDialogOk, typed);
                    }
                  });
  }
  void ResetScoresConfirm(Answer done) override {
    Simple("resetscores", "no", "yes");
    d_.ResetScoresConfirm(OkOf(std::move(done)));
  }
  void Controls(const ControlsFormHooks& hooks, Answer done) override {
    platform::ControlsHooks h{hooks.binding_text,
                              [hooks](int32_t a) {
                                if (hooks.capture) hooks.capture(a);
                              },
                              hooks.restore_defaults, hooks.help};
    if (Show("controls")) {
      // The answer's steps one at a time: each may open a form over this one.
      struct Steps {
        bool taken = false, ok = false;
        std::vector<std::string> words;
        size_t next = 0;
      };
      auto st = std::make_shared<Steps>();
      Answer([this, st, hooks] {
        if (!st->taken) {
          st->taken = true;
          ui::DialogAnswer a = script_.answers().Take("controls", "cancel");
          st->ok = a.result == "ok";
          std::string_view t = a.text;
          while (!t.empty()) {
            const size_t space = t.find(' ');
            if (space != 0) st->words.emplace_back(t.substr(0, space));
            t = space == std::string_view::npos ? std::string_view() : t.substr(space + 1);
          }
        }
        const int depth = d_.Depth();
        while (st->next < st->words.size() && d_.Depth() == depth) {
          if (!ScriptedForms::RunControlsSteps(st->words[st->next++], hooks, script_.answers())) {
            script_.errors.push_back("controls: " + st->words[st->next - 1]);
          }
        }
        if (d_.Depth() != depth) return 0;
        return st->ok ? platform::kDialogOk : platform::kDialogCancel;
      });
    }
    d_.Controls(h, OkOf(std::move(done)));
  }
  void RestoreDefaultsConfirm(Answer done) override {
    Simple("restorekeys", "cancel", "ok");
    d_.RestoreDefaultsConfirm(OkOf(std::move(done)));
  }
  void Notice(std::string_view text) override {
    if (Show("notice")) {
      d_.CloseNextAfter(kShownFrames, platform::kDialogOk);
      d_.Notice(text, [this](int) { script_.Notice(""); });
      return;
    }
    d_.Notice(text);
  }
  void Capture(std::string_view prompt, std::function<int()> tick, Answer done) override {
    // The capture form waits for a key in every run; a script gives it a limit.
    shot_name_ = shots_dir_.empty() ? "" : "capture";
    if (scripted_) d_.LimitNextTo(kScriptedCaptureFrames);
    d_.Capture(prompt, std::move(tick), OkOf(std::move(done)));
  }

  std::vector<std::string>& errors() { return script_.errors; }

 private:
  static constexpr int kShownFrames = 3;

  static platform::ImGuiDialogs::Done OkOf(Answer done) {
    return [done = std::move(done)](int r) {
      if (done) done(r == platform::kDialogOk);
    };
  }
  // True when the script answers this form: it then shows for a few frames.
  bool Show(const char* name) {
    if (!scripted_) return false;
    shot_name_ = shots_dir_.empty() ? "" : name;
    return true;
  }
  void Answer(std::function<int()> answer) { d_.AnswerNextWith(kShownFrames, std::move(answer)); }
  // A form whose answer is one word: OK for `ok_word`.
  void Simple(const char* name, const char* fallback, const char* ok_word) {
    if (!Show(name)) return;
    Answer([this, name, fallback, ok_word] {
      return script_.Take(name, fallback, ok_word) ? platform::kDialogOk : platform::kDialogCancel;
    });
  }

  platform::ImGuiDialogs& d_;
  ScriptedForms script_;
  bool scripted_;
  std::string shots_dir_;
  platform::SdlDisplayDevice& device_;
  std::string shot_name_;
};

// The video mode of this run: the stored one, or the one the options give
// (width 0 and depth -1: not given).
inline void ChooseMode(render::DisplayFormat& f, const store::SettingsBlock& s, int32_t width,
                       int32_t depth_given) {
  int32_t res = std::clamp(s.resolution, 0, 2);
  if (width != 0) res = width == 640 ? 0 : width == 800 ? 1 : 2;
  int32_t depth = std::clamp(s.colour_depth, 0, 4);
  if (depth_given >= 0) depth = std::clamp(depth_given, 0, 4);
  f.width = render::kResolutions[static_cast<size_t>(res)].width;
  f.height = render::kResolutions[static_cast<size_t>(res)].height;
  f.format_id = static_cast<render::PixelFormatId>(depth);
  render::SetFormatDefaults(f);
}

inline void SetSoundTuning(sound::SoundEngine& engine, const Game& g) {
  engine.tuning = {g.world.tuning.sound_pano_scale, g.world.tuning.sound_volume_scale,
                   g.world.tuning.sound_speed_scale};
}

// The loading screen's indicator, advanced between the steps of loading.
class LoadingScreen {
 public:
  LoadingScreen(Game& g, TableView& view, render::PresentContext& present,
                render::TrueColourContext& tc)
      : g_(g), view_(view), present_(present) {
    have_indicator_ =
        render::LoadTrueColourSprite(indicator_.sprite, tc, ui::kLoadingIndicatorFile, "", 0, 0);
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
// activation, keys (also into the keyboard) and the mouse; Alt+Enter or F11
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
  // An event another loop took from the window (a run nested in it) that is
  // this window's too.
  void Pass(const platform::Event& e, MessageQueue& q) { Translate(e, q); }

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

inline std::vector<std::string> HelpFolders(const std::string& data_dir) {
  std::vector<std::string> folders = {(std::filesystem::path(data_dir) / "help").string()};
  const std::string exe = ExecutableDir();
  if (!exe.empty()) folders.push_back((std::filesystem::path(exe) / "help").string());
  folders.push_back(std::string(GFALL_INSTALL_DATA_DIR) + "/help");
  return folders;
}

// Starts the program anew with "/R" (the restart after a new video mode).
inline void Restart(const std::vector<std::string>& argv, std::FILE* err) {
  std::vector<std::string> args;
  args.push_back(argv.empty() ? std::string("gfall") : argv[0]);
  for (size_t i = 1; i < argv.size(); ++i) {
    // The old switches ("/0", "/R", together or not), not paths given as values.
    const std::string& a = argv[i];
    if (a.size() >= 2 && a[0] == '/' && a.find_first_not_of("0R", 1) == std::string::npos) continue;
    args.push_back(argv[i]);
  }
  args.push_back("/R");
  std::string error;
  platform::os::RestartAs(args, error);
  std::fprintf(err, "gfall: cannot restart: %s\n", error.c_str());
}

}  // namespace app
