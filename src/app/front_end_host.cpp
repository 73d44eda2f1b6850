#include "app/front_end_host.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "app/game_passes.h"
#include "app/help.h"
#include "app/replay_hook.h"
#include "app/replay_run.h"
#include "input/key_names.h"
#include "platform/os/process.h"
#include "replay/kept_games.h"
#include "store/build_urls.h"
#include "store/high_score_entry.h"
#include "store/score_report.h"

namespace app {

std::array<std::string, store::kHighScoreRows> WatchableRows(const store::HighScoreTable& table,
                                                             const std::string& folder) {
  std::array<std::string, store::kHighScoreRows> files;
  if (folder.empty()) return files;
  for (size_t row = 0; row < files.size(); ++row) {
    // An empty row (no score) has no game behind it.
    if (table[row].score <= 0) continue;
    if (auto g = replay::FindKeptGame(folder, table[row].name, table[row].score)) {
      files[row] = g->path;
    }
  }
  return files;
}

int StartDetached(const std::vector<std::string>& args, std::string& error) {
  return platform::os::StartDetached(args, error);
}

namespace {

constexpr int32_t kMusicSample = core::kSoundPrize;  // played when the music slider moves
constexpr int32_t kSoundSample = core::kSoundClick;  // played when the game-sound slider moves

ui::OptionsValues ValuesOf(const store::SettingsBlock& s) {
  return {s.music_on,     s.sounds_on,  s.show_nudge,  s.music_volume,
          s.sound_volume, s.resolution, s.colour_depth};
}

void StoreValues(store::SettingsBlock& s, const ui::OptionsValues& v) {
  s.music_on = v.music_on;
  s.sounds_on = v.sounds_on;
  s.show_nudge = v.show_nudge;
  s.music_volume = v.music_volume;
  s.sound_volume = v.sound_volume;
  s.resolution = v.resolution;
  s.colour_depth = v.depth;
}

constexpr std::array<const char*, core::kActionCount> kCapturePrompts = {
    "Press a new key or button for Left Flipper.",
    "Press a new key or button for Right Flipper.",
    "Press a new key or button for Nudge from Left.",
    "Press a new key or button for Nudge Up.",
    "Press a new key or button for Nudge from Right.",
    "Press a new key or button for Start.",
};

// Opens URLs through the screen (the report's address).
class ScreenOpener final : public store::UrlOpener {
 public:
  explicit ScreenOpener(FrontEndScreen& s) : screen_(s) {}
  bool OpenUrl(const std::string& url) override {
    screen_.OpenUrl(url);
    return true;
  }

 private:
  FrontEndScreen& screen_;
};

}  // namespace

void FrontEndHost::ApplySoundSettings() {
  if (sound == nullptr) return;
  const store::SettingsBlock& s = data_.settings;
  sound->settings.music_on = s.music_on;
  sound->settings.sound_on = s.sounds_on;
  sound->settings.music_level = s.music_volume;
  sound->settings.game_level = s.sound_volume;
}

void FrontEndHost::PlaySound(int32_t slot) {
  if (sound) sound->Play(slot, 0, 0, true, false);
}

void FrontEndHost::StopSound(int32_t slot) {
  if (sound) sound->Stop(slot);
}

void FrontEndHost::KeepLooping(int32_t slot) {
  if (sound && !sound->IsPlaying(slot)) sound->Play(slot, 0, 0, false, true);
}

void FrontEndHost::GameCommand(int32_t command, int32_t arg) {
  if (replay_hook) replay_hook->Command(g_, command, arg);
  RunGameCommand(g_, command, arg);
  data_.settings.players_minus_one = g_.rules.players.last_index;
}

void FrontEndHost::Say(const std::string& text) {
  if (err) std::fprintf(err, "gfall: %s\n", text.c_str());
  notices.push_back(text);
  forms_.Notice(text);
}

void FrontEndHost::SaveGameData() {
  data_.settings.players_minus_one = g_.rules.players.last_index;
  if (!saving) return;
  std::string error;
  if (store::SaveGameData(file_, data_, &error)) {
    ++saves;
  } else {
    Say("The settings and high scores could not be saved to " + file_.string() + ": " + error +
        ". The game goes on; they are kept until the game is closed.");
  }
}

bool FrontEndHost::OptionsFromPause() const { return g_.flags.pause_menu_shown != 0; }

void FrontEndHost::OptionsDialog(std::function<void(bool restart)> closed) {
  if (options_open_) {  // one options form at a time
    if (closed) closed(false);
    return;
  }
  options_open_ = true;
  screen_.OpenBackdrop();
  ui::OptionsValues opened = ValuesOf(data_.settings);
  opened.sharp_scaling = sharp_scaling && sharp_scaling() ? 1 : 0;
  opened.demo_kept_game = demo_kept_game ? 1 : 0;
  ui::OptionsForm form = ui::OpenOptionsForm(opened, modes_, OptionsFromPause());
  OptionsFormHooks hooks;
  // The sliders act at once, and stay in force even if the form is cancelled;
  // the sample plays with its group switched on for that moment.
  hooks.music_volume_changed = [this](int32_t step) {
    data_.settings.music_volume = step;
    ApplySoundSettings();
    if (sound) {
      const int32_t was = sound->settings.music_on;
      sound->settings.music_on = 1;
      sound->Play(kMusicSample, 0, 0, true, false);
      sound->settings.music_on = was;
    }
  };
  hooks.sound_volume_changed = [this](int32_t step) {
    data_.settings.sound_volume = step;
    ApplySoundSettings();
    if (sound) {
      const int32_t was = sound->settings.sound_on;
      sound->settings.sound_on = 1;
      sound->Play(kSoundSample, 0, 0, true, false);
      sound->settings.sound_on = was;
    }
  };
  hooks.change_controls = [this] {
    auto before = std::make_shared<core::BindingTable>(data_.bindings);
    ControlsDialog([this, before](bool ok) {
      if (!ok) data_.bindings = *before;
    });
  };
  hooks.help = [this](std::string_view topic) {
    screen_.Minimise();
    OpenHelp(topic);
  };
  auto finish = [this, closed](bool restart) {
    screen_.CloseBackdrop();
    options_open_ = false;
    if (closed) closed(restart);
  };
  forms_.Options(form, modes_, hooks, [this, opened, finish](bool ok, const ui::OptionsForm& f) {
    if (!ok) {
      finish(false);
      return;
    }
    ui::OptionsValues current = ValuesOf(data_.settings);
    auto r = std::make_shared<ui::OptionsResult>(ui::FinishOptionsForm(f, current, modes_));
    auto keep = [this, opened, r, finish](bool restart) {
      StoreValues(data_.settings, r->values);
      if (set_sharp_scaling && r->values.sharp_scaling != opened.sharp_scaling) {
        set_sharp_scaling(r->values.sharp_scaling != 0);
      }
      if (r->values.demo_kept_game != opened.demo_kept_game) {
        // In force at once; a file that cannot be written costs only the next start.
        demo_kept_game = r->values.demo_kept_game != 0;
        std::string error;
        if (!demo_settings_file.empty() &&
            !WriteDemoSettings(demo_settings_file, demo_kept_game, error)) {
          Say("The demonstration setting could not be saved: " + error + ".");
        }
      }
      ApplySoundSettings();
      SaveGameData();
      finish(restart);
    };
    if (!r->mode_changed) {
      keep(false);
      return;
    }
    forms_.NewVideoMode([this, r, keep](bool accept) {
      if (!accept) {
        r->values.resolution = data_.settings.resolution;
        r->values.depth = data_.settings.colour_depth;
      }
      keep(accept);
    });
  });
}

void FrontEndHost::ControlsDialog(std::function<void(bool ok)> closed) {
  if (controls_open_) {
    if (closed) closed(false);
    return;
  }
  controls_open_ = true;
  ControlsFormHooks hooks;
  hooks.binding_text = [this](int32_t action) {
    const core::ControlBinding& b = data_.bindings.sets[0][static_cast<size_t>(action)];
    return input::BindingText(b.device, b.code);
  };
  hooks.capture = [this](int32_t action) { CaptureBinding(action); };
  hooks.restore_defaults = [this] {
    forms_.RestoreDefaultsConfirm([this](bool ok) {
      if (ok) data_.bindings = core::DefaultBindingTable();
    });
  };
  hooks.help = [this](std::string_view topic) {
    screen_.Minimise();
    OpenHelp(topic);
  };
  forms_.Controls(hooks, [this, closed](bool ok) {
    controls_open_ = false;
    if (closed) closed(ok);
  });
}

void FrontEndHost::CaptureBinding(int32_t action) {
  if (action < 0 || action >= core::kActionCount) return;
  auto capture = std::make_shared<input::Capture>();
  input::CaptureStart(*capture, 0, action);
  auto next_tick = std::make_shared<double>(g_.clock->Now() + 50.0);
  input::KeyboardAcquire(input_.devices, true);
  forms_.Capture(kCapturePrompts[static_cast<size_t>(action)],
                 [this, capture, next_tick]() -> int {
                   // One capture step per 50 ms, as the window's timer would run it.
                   if (g_.clock->Now() < *next_tick) return 0;
                   *next_tick = g_.clock->Now() + 50.0;
                   if (input_.devices.keyboard == nullptr) return 0;
                   switch (input::CaptureTick(*capture, input_.controls, input_.devices,
                                              data_.bindings, false)) {
                     case input::CaptureResult::kBound:
                       return 1;
                     case input::CaptureResult::kCancelled:
                       return 2;
                     default:
                       return 0;
                   }
                 },
                 {});
}

void FrontEndHost::HighScoreDialog(bool entry, int32_t player, std::function<void()> closed) {
  auto help = [this](std::string_view topic) {
    screen_.Minimise();
    OpenHelp(topic);
  };
  screen_.OpenBackdrop();
  auto finish = [this, closed] {
    screen_.CloseBackdrop();
    if (closed) closed();
  };
  if (!entry) {
    HighScoreWatch watch;
    if (!kept_games_folder.empty() && !watch_command.empty()) {
      auto files = std::make_shared<std::array<std::string, store::kHighScoreRows>>(
          WatchableRows(data_.high_scores, kept_games_folder));
      for (size_t row = 0; row < files->size(); ++row) watch.rows[row] = !(*files)[row].empty();
      watch.start = [this, files](int row) {
        log.push_back("watch " + (*files)[static_cast<size_t>(row)]);
        StartReplayWindow((*files)[static_cast<size_t>(row)]);
      };
    }
    forms_.HighScores(
        data_.high_scores, -1, 0, std::string(), help,
        [this] {
          store::ClearHighScores(data_.high_scores);
          SaveGameData();
        },
        watch, [finish](bool, const std::string&) { finish(); });
    return;
  }
  std::string proposed;
  const int32_t score = player >= 0 && player < rules::kPlayerCount
                            ? g_.rules.players.records[static_cast<size_t>(player)].score
                            : 0;
  const int place = store::OfferHighScore(data_, player, score, proposed);
  if (place < 0) {
    finish();
    return;
  }
  forms_.HighScores(
      data_.high_scores, place, score, proposed, help, {}, {},
      [this, player, score, place, proposed, finish](bool ok, const std::string& typed) {
        const store::HighScoreEntryResult r =
            store::KeepHighScore(data_, player, score, place, ok ? typed : proposed,
                                 saving ? file_ : std::filesystem::path());
        if (r.saved) ++saves;
        if (r.place >= 0 && saving && !r.saved) {
          Say("The new high score could not be saved to " + file_.string() + ": " + r.save_error +
              ". The game goes on; it is kept until the game is closed.");
        }
        if (r.place != 0) {
          finish();
          return;
        }
        forms_.SubmitOffer([this, score, finish](bool yes) {
          if (yes) {
            ScreenOpener opener(screen_);
            screen_.Minimise();
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now().time_since_epoch());
            store::SubmitScore(store::SenderFor(data_), score, data_.current_name,
                               static_cast<uint32_t>(ms.count()), opener);
          }
          finish();
        });
      });
}

int FrontEndHost::StartReplayWindow(const std::string& file) {
  std::vector<std::string> args = watch_command;
  args.insert(args.end(), {"--replay", file, "--window"});
  std::string error = "cannot start it";
  const int pid = start_process ? start_process(args, error) : -1;
  if (pid <= 0) Say("The recording " + file + " could not be shown: " + error);
  return pid;
}

bool FrontEndHost::KeptDemonstration() {
  if (!demo_kept_game || kept_games_folder.empty() || !show_kept_game) return false;
  const std::optional<replay::KeptGame> best = replay::BestKeptGame(kept_games_folder);
  if (!best || faulty_demos_.count(best->path) != 0) return false;
  log.push_back("demonstration " + best->path);
  const KeptGameShow shown = show_kept_game(best->path);
  // Never said to the player: the computer plays the next demonstration.
  if (!shown.started || shown.diverged) faulty_demos_.insert(best->path);
  return shown.started;
}

void FrontEndHost::AboutDialog(std::function<void()> closed) {
  screen_.OpenBackdrop();
  forms_.About(
      [this] {
        screen_.Minimise();
        screen_.OpenUrl(store::BuildHomeUrl());
        screen_.MarkRedraw();
      },
      [this, closed] {
        screen_.CloseBackdrop();
        if (closed) closed();
      });
}

void FrontEndHost::OpenHelp(std::string_view topic) {
  log.push_back("help " + std::string(topic));
  const std::string url = HelpUrl(help_folders, topic, [](const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
  });
  if (!url.empty()) screen_.OpenUrl(url);  // a missing page quietly does nothing
}

void FrontEndHost::KeyboardAcquire(bool on) { input::KeyboardAcquire(input_.devices, on); }

void FrontEndHost::JoypadsDetect() {
  if (input_.devices.joypads) input::JoypadsDetect(input_.controls, input_.devices);
}

void FrontEndHost::SettleClock() {
  FrameState& f = g_.frame;
  f.now = g_.clock->Now();
  f.previous_frame_time = f.now;
  f.next_step_time = f.now;
  f.step_debt = 0.0;
}

}  // namespace app
