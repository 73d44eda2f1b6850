#include "app/scripted_front_end.h"

#include <cstdint>
#include <ctime>
#include <sstream>
#include <string>

#include "app/frame_loop.h"
#include "app/game_passes.h"
#include "app/window_proc.h"
#include "store/game_data.h"
#include "store/high_score_entry.h"
#include "ui/dialog_answers.h"
#include "ui/options_dialog.h"

namespace app {

namespace {

// Every mode is offered: the buffers are ours, whatever the screen.
render::ModeTable AllModes() {
  render::ModeTable t;
  for (auto& row : t.available) row.fill(true);
  return t;
}

ui::OptionsValues ValuesOf(const store::SettingsBlock& s) {
  return {s.music_on, s.sounds_on, s.show_nudge, s.music_volume, s.sound_volume, s.resolution,
          s.colour_depth};
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

class ScriptedHighScoreUi final : public store::HighScoreUi {
 public:
  explicit ScriptedHighScoreUi(ui::ScriptedAnswers& a) : answers_(a) {}
  void EnterHighScore(const store::HighScoreTable&, int, int32_t, std::string& name) override {
    ui::DialogAnswer a = answers_.Take("highscore", "cancel");
    if (a.result == "ok") name = store::CutToCharacters(a.text, 10);
  }
  bool AskSendScore() override { return answers_.Take("submit", "no").result == "yes"; }
  void SendScore(int32_t, const std::string&) override {}  // no network in scripted runs

 private:
  ui::ScriptedAnswers& answers_;
};

class ScriptedHost final : public WindowHost {
 public:
  ScriptedHost(Game& g, store::GameData& data, std::filesystem::path file,
               ui::ScriptedAnswers& answers, const render::ModeTable& modes)
      : g_(g), data_(data), file_(std::move(file)), answers_(answers), modes_(modes) {}

  bool from_pause = false;
  int saves = 0;
  std::vector<std::string> log;

  void PlaySound(int32_t) override {}
  void StopSound(int32_t) override {}
  void KeepLooping(int32_t) override {}
  void GameCommand(int32_t command, int32_t arg) override {
    RunGameCommand(g_, command, arg);
    data_.settings.players_minus_one = g_.rules.players.last_index;
  }
  void SaveGameData() override {
    data_.settings.players_minus_one = g_.rules.players.last_index;
    if (store::SaveGameData(file_, data_)) ++saves;
  }
  bool OptionsDialog() override {
    ui::OptionsForm form = ui::OpenOptionsForm(ValuesOf(data_.settings), modes_, from_pause);
    ui::DialogAnswer a = answers_.Take("options", "cancel");
    if (a.result != "ok") return false;
    if (!ui::ApplyOptionsText(form, modes_, a.text)) log.push_back("options: bad text " + a.text);
    ui::OptionsResult r = ui::FinishOptionsForm(form, ValuesOf(data_.settings), modes_);
    bool restart = false;
    if (r.mode_changed) {
      if (answers_.Take("newmode", "cancel").result == "ok") {
        restart = true;
      } else {
        r.values.resolution = data_.settings.resolution;
        r.values.depth = data_.settings.colour_depth;
      }
    }
    StoreValues(data_.settings, r.values);
    SaveGameData();
    return restart;
  }
  void HighScoreDialog(bool entry, int32_t player) override {
    if (!entry) {
      ui::DialogAnswer a = answers_.Take("highscore", "ok");
      if (a.result == "reset" && answers_.Take("resetscores", "no").result == "yes") {
        store::ClearHighScores(data_.high_scores);
        SaveGameData();
      }
      return;
    }
    ScriptedHighScoreUi ui(answers_);
    int32_t score = g_.rules.players.records[static_cast<size_t>(player)].score;
    store::HighScoreEntryResult r = store::RunHighScoreEntry(data_, player, score, file_, ui);
    if (r.saved) ++saves;
  }
  void AboutDialog() override { answers_.Take("about", "ok"); }
  void OpenHelp(std::string_view topic) override { log.push_back("help " + std::string(topic)); }
  void Minimise() override {}
  void RaiseWindow() override {}
  void MarkRedraw() override {}
  void EnterIdleState() override {}
  void ShowTitle() override {}
  bool CaptureOpen() override { return false; }
  void CaptureTick() override {}
  void CancelCapture() override {}
  void KeyboardAcquire(bool) override {}
  void JoypadsDetect() override {}
  void SettleClock() override {}
  void ResetViewOffset() override {}
  void WarpMouseInPlace() override {}

 private:
  Game& g_;
  store::GameData& data_;
  std::filesystem::path file_;
  ui::ScriptedAnswers& answers_;
  const render::ModeTable& modes_;
};

// Menu items have no pictures here: each gets a 200×40 box, 50 pixels apart,
// from (100, 100), so scripted mouse positions have something to hit.
void PlaceMenuItems(render::SpriteSlots& slots, const ui::MenuScreen& screen) {
  for (int32_t i = 0; i < screen.count; ++i) {
    int32_t slot = screen.items[static_cast<size_t>(i)].sprite;
    render::TrueColourSprite& s = slots.slots[static_cast<size_t>(slot)];
    if (s.frame_count > 0) continue;
    s.frame_count = 4;
    s.frames.resize(4);
    s.width = 200;
    s.height = 40;
    s.x = 100;
    s.y = 100 + 50 * i;
  }
}

std::string WindowJson(const Window& w, const ScriptedHost& host,
                       const ui::ScriptedAnswers& answers, bool quit) {
  std::ostringstream s;
  s << "{\"loading\": " << w.app.loading_phase << ", \"title\": " << w.app.title_shown
    << ", \"main_menu\": " << w.app.main_menu_shown
    << ", \"pause_menu\": " << w.app.pause_menu_shown
    << ", \"computer_playing\": " << w.app.computer_playing
    << ", \"main_selected\": " << w.menus.main_menu.selected
    << ", \"pause_selected\": " << w.menus.pause_menu.selected
    << ", \"dialog_depth\": " << w.flags.dialog_depth << ", \"quit\": " << (quit ? 1 : 0)
    << ", \"restart\": " << w.flags.restart_requested << ", \"saves\": " << host.saves
    << ", \"dialogs\": [";
  for (size_t i = 0; i < answers.log.size(); ++i) {
    s << (i ? ", " : "") << "\"" << answers.log[i] << "\"";
  }
  s << "], \"help\": " << host.log.size() << "}";
  return s.str();
}

}  // namespace

int RunScriptedFrontEnd(Game& g, FakeClock& clock, const HeadlessOptions& o,
                        const std::vector<ScriptEvent>& script, std::FILE* out, std::FILE* err) {
  std::filesystem::path folder = store::GameDataFolder(o.config_dir);
  if (folder.empty()) {
    std::fprintf(err, "gfall: no folder for the game data file (set HOME or --config-dir)\n");
    return 1;
  }
  std::filesystem::path file = store::GameDataPath(folder);
  store::GameData data;
  store::IdentitySource id{static_cast<uint32_t>(std::time(nullptr)), &g.random};
  store::LoadGameData(file, data, id);
  g.rules.players.last_index = data.settings.players_minus_one;

  render::ModeTable modes = AllModes();
  render::SpriteSlots slots;
  ui::ScriptedAnswers answers;
  ScriptedHost host(g, data, file, answers, modes);
  Window w{g.flags, {}, {}, ui::MakeMenuScreens(), slots, host};
  w.pause_hold_frames = &g.frame.pause_hold_frames;
  w.flags.safe_mode = o.safe_mode;
  w.flags.skip_instance_check = o.skip_instance_check;
  if (o.safe_mode) {
    // "/0": 640×480 in 8 bits, stored with the next save.
    data.settings.resolution = 0;
    data.settings.colour_depth = 0;
  }
  PlaceMenuItems(slots, w.menus.main_menu);
  PlaceMenuItems(slots, w.menus.pause_menu);
  g.flags.loading_phase = 1;
  g.flags.main_menu_shown = 1;
  g.rules.main_menu_shown = 1;
  g.command_handler = [&w](Game&, int command, int arg) {
    w.queue.Post(ui::CommandMessage(command, arg));
  };

  const int64_t limit = o.frames >= 0 ? o.frames : (o.until_game_over ? INT64_MAX : 600);
  size_t next_event = 0;
  int64_t frames = 0;
  double next_tick = 50.0;
  bool shift = false;
  bool quit = false;
  bool first_idle_done = false;
  bool game_started = false;
  while (!quit && frames < limit) {
    const double target = static_cast<double>(frames + 1) * o.frame_ms;
    if (target > kHeadlessGameTimeCapMs) break;
    clock.Set(std::max(clock.Now(), target));
    while (next_event < script.size() && script[next_event].ms <= clock.Now()) {
      const ScriptEvent& e = script[next_event++];
      switch (e.kind) {
        case ScriptKind::kAction:
          g.actions[static_cast<size_t>(e.action)] = e.down ? 1 : 0;
          break;
        case ScriptKind::kCommand:
          w.queue.Post(ui::CommandMessage(e.command));
          break;
        case ScriptKind::kKey: {
          int32_t key = ui::VirtualKeyFromScanCode(e.code);
          if (key == ui::vk::kShift) shift = e.down;
          w.queue.Post(ui::KeyMessage(e.down ? ui::MessageKind::kKeyDown
                                             : ui::MessageKind::kKeyUp,
                                      key, shift));
          break;
        }
        case ScriptKind::kMouse:
          w.queue.Post(ui::MouseMessage(ui::MessageKind::kMouseMove, e.x, e.y));
          break;
        case ScriptKind::kClick:
          w.queue.Post(ui::MouseMessage(ui::MessageKind::kMouseMove, e.x, e.y));
          w.queue.Post(ui::MouseMessage(ui::MessageKind::kLeftButtonDown, e.x, e.y));
          w.queue.Post(ui::MouseMessage(ui::MessageKind::kLeftButtonUp, e.x, e.y));
          break;
        case ScriptKind::kPress:
          w.queue.Post(ui::MouseMessage(ui::MessageKind::kMouseMove, e.x, e.y));
          w.queue.Post(ui::MouseMessage(ui::MessageKind::kLeftButtonDown, e.x, e.y));
          break;
        case ScriptKind::kRelease:
          w.queue.Post(ui::MouseMessage(ui::MessageKind::kMouseMove, e.x, e.y));
          w.queue.Post(ui::MouseMessage(ui::MessageKind::kLeftButtonUp, e.x, e.y));
          break;
        case ScriptKind::kAnswer:
          answers.pending.push_back({e.dialog, e.result, e.text});
          break;
      }
    }
    while (next_tick <= clock.Now()) {
      ui::Message t;
      t.kind = ui::MessageKind::kTimer;
      t.param = 1;
      w.queue.Post(t);
      next_tick += 50.0;
    }
    while (auto m = w.queue.Take()) {
      if (!WindowProc(w, *m)) {
        quit = true;
        break;
      }
    }
    if (quit) break;
    if (o.until_game_over && game_started && g.flow.state.game_ended) break;
    if (!g.flags.main_menu_shown) game_started = true;
    if (!first_idle_done) {
      FirstIdlePass(w);
      first_idle_done = true;
    }
    if (FramesRun(w) && !g.flags.loading_phase) {
      FrameGate(g);
    }
    ++frames;
  }
  if (o.print_state || o.stats) {
    std::fprintf(out, "{\"window\": %s, \"state\": %s}\n",
                 WindowJson(w, host, answers, quit).c_str(), StateJson(g, frames, nullptr).c_str());
  }
  return 0;
}

}  // namespace app
