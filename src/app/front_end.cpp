#include "app/front_end.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <array>
#include <cstdint>
#include <ctime>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "app/frame_loop.h"
#include "app/game_passes.h"
#include "platform/open_url.h"
#include "input/event_keyboard.h"
#include "platform/single_instance.h"
#include "store/game_data.h"
#include "store/web_address.h"

namespace app {

namespace {

// Every mode is offered: the buffers are ours, whatever the screen.
render::ModeTable AllModes() {
  render::ModeTable t;
  for (auto& row : t.available) row.fill(true);
  return t;
}

// Menu items without pictures (headless runs) get a 200×40 box each, 50
// pixels apart from (100, 100), so scripted mouse positions have something
// to hit.
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

std::string WindowJson(const Window& w, const FrontEndHost& host,
                       const ui::ScriptedAnswers& answers, bool quit) {
  nlohmann::ordered_json j;
  j["loading"] = w.app.loading_phase;
  j["title"] = w.app.title_shown;
  j["main_menu"] = w.app.main_menu_shown;
  j["pause_menu"] = w.app.pause_menu_shown;
  j["computer_playing"] = w.app.computer_playing;
  j["main_selected"] = w.menus.main_menu.selected;
  j["pause_selected"] = w.menus.pause_menu.selected;
  j["dialog_depth"] = w.flags.dialog_depth;
  j["quit"] = quit ? 1 : 0;
  j["restart"] = w.flags.restart_requested;
  j["saves"] = host.saves;
  j["saving"] = host.saving;
  j["dialogs"] = answers.log;
  j["help"] = host.log.size();
  j["notices"] = host.notices;
  // Script texts may hold anything; invalid UTF-8 is replaced, never written raw.
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Whether a file can be made in `folder` (created when missing); the reason when not.
bool FolderWritable(const std::filesystem::path& folder, std::string& reason) {
  if (!platform::MakePrivateFolders(folder.string(), reason)) return false;
  std::string pattern = (folder / ".gfall-probe.XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  ::close(fd);
  ::unlink(name.data());
  return true;
}

}  // namespace

GameDataStart OpenGameData(const std::filesystem::path& file, store::GameData& data,
                           const store::IdentitySource& id) {
  GameDataStart start;
  // Not about the file, but said at the same moment: a score server address
  // from the environment that cannot be used.
  if (std::string problem = store::ScoreServerProblem(std::getenv("GFALL_SCORE_SERVER"));
      !problem.empty()) {
    start.notices.push_back(problem);
  }
  if (file.empty()) {
    store::ApplyDefaults(data, id);
    start.saving = false;
    start.notices.push_back(
        "There is no folder for the game data file (HOME is not set; --config-dir names "
        "one): saving is off, settings and high scores last until the game is closed.");
    return start;
  }
  store::RemoveStaleTemporaryFiles(file);
  const store::GameDataLoad load = store::LoadGameData(file, data, id);
  if (!load.message.empty()) start.notices.push_back(load.message);
  if (!load.may_save) {
    start.saving = false;
    return start;
  }
  std::string reason;
  if (!FolderWritable(file.parent_path(), reason)) {
    start.saving = false;
    start.notices.push_back("The folder " + file.parent_path().string() +
                            " cannot be written (" + reason +
                            "): saving is off, settings and high scores last until the game is "
                            "closed.");
  }
  return start;
}

int RunFrontEnd(Game& g, FrontEndRun& run, std::FILE* out, std::FILE* err, bool& restart) {
  const HeadlessOptions& o = run.options;
  restart = false;
  g.rules.players.last_index = std::clamp(run.data.settings.players_minus_one, 0, 3);

  render::ModeTable modes = AllModes();
  ui::ScriptedAnswers answers;
  ScriptFeed feed(run.script);
  feed.on_shot = run.on_shot;
  input::EventKeyboard* keyboard = run.input.keyboard;

  // Script times count from the start of the message loop (loading took real time).
  const double script_origin = run.virtual_clock ? 0.0 : g.clock->Now();
  std::unique_ptr<DialogForms> forms;
  MessageQueue* queue_for_pump = nullptr;
  // A form that waits on time (the capture form) runs the script on meanwhile.
  auto pump = [&]() -> bool {
    if (run.virtual_clock) {
      run.virtual_clock->Set(run.virtual_clock->Now() + o.frame_ms);
      if (run.virtual_clock->Now() > kHeadlessGameTimeCapMs) return false;
    }
    if (queue_for_pump) {
      MessageQueue during;  // messages for the game window wait until the form closes
      feed.Deliver(g.clock->Now() - script_origin, g, &during, &answers, keyboard);
      for (const ui::Message& m : during.messages) queue_for_pump->Post(m);
    }
    return true;
  };
  if (run.make_forms) forms = run.make_forms(answers, pump);
  if (!forms) forms = std::make_unique<ScriptedForms>(answers, pump);

  FrontEndHost host(g, run.data, run.data_file, *forms, run.screen, run.input, modes);
  host.err = err;
  host.saving = run.saving;
  host.sound = run.sound;
  host.help_folders = run.help_folders;
  host.ApplySoundSettings();
  Window w{g.flags, {}, {}, ui::MakeMenuScreens(), run.slots, host};
  queue_for_pump = &w.queue;
  w.pause_hold_frames = &g.frame.pause_hold_frames;
  w.flags.safe_mode = o.safe_mode;
  w.flags.skip_instance_check = o.skip_instance_check;
  if (o.safe_mode) {
    // "/0": 640×480 in 8 bits, stored with the next save.
    run.data.settings.resolution = 0;
    run.data.settings.colour_depth = 0;
  }
  PlaceMenuItems(run.slots, w.menus.main_menu);
  PlaceMenuItems(run.slots, w.menus.pause_menu);
  if (run.on_window) run.on_window(w);
  g.flags.loading_phase = 1;
  g.flags.main_menu_shown = 1;
  g.rules.main_menu_shown = 1;
  g.command_handler = [&w](Game&, int command, int arg) {
    w.queue.Post(ui::CommandMessage(command, arg));
  };

  const int64_t limit = run.frame_limit >= 0 ? run.frame_limit : INT64_MAX;
  int64_t frames = 0;
  double next_tick = g.clock->Now() + 50.0;
  bool quit = false;
  bool first_idle_done = false;
  bool game_started = false;
  while (!quit && frames < limit) {
    if (run.virtual_clock) {
      const double target = static_cast<double>(frames + 1) * o.frame_ms;
      if (target > kHeadlessGameTimeCapMs) break;
      run.virtual_clock->Set(std::max(run.virtual_clock->Now(), target));
    }
    feed.Deliver(g.clock->Now() - script_origin, g, &w.queue, &answers, keyboard);
    if (run.poll_events) run.poll_events(w.queue);
    while (next_tick <= g.clock->Now()) {
      ui::Message t;
      t.kind = ui::MessageKind::kTimer;
      t.param = 1;
      w.queue.Post(t);
      next_tick += 50.0;
      // After a long stall (a dialog) the ticks do not pile up.
      if (next_tick < g.clock->Now() - 500.0) next_tick = g.clock->Now() + 50.0;
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
      for (const std::string& text : run.start_notices) host.Say(text);
    }
    if (FramesRun(w) && !g.flags.loading_phase) {
      if (keyboard != nullptr) {
        input::ReadActions(run.input.controls, run.input.devices, run.data.bindings,
                           g.flags.computer_playing != 0);
        for (size_t a = 0; a < g.actions.size(); ++a) {
          g.actions[a] = run.input.controls.actions[a] | feed.actions[a];
        }
      }
      FrameGate(g);
    } else if (run.wait && !run.virtual_clock) {
      run.wait(50);
    }
    ++frames;
  }
  restart = w.flags.restart_requested != 0;
  if (o.print_state || o.stats) {
    std::fprintf(out, "{\"window\": %s, \"state\": %s}\n",
                 WindowJson(w, host, answers, quit).c_str(), StateJson(g, frames, nullptr).c_str());
  }
  return 0;
}

namespace {

// Headless runs draw nothing and open no browser, unless $GFALL_URL_OPENER
// names a command to hand addresses to (a test's stand-in browser).
class HeadlessScreen final : public FrontEndScreen {
 public:
  void OpenUrl(const std::string& url) override {
    const std::string opener = platform::UrlOpenerCommand();
    std::string error;
    if (!opener.empty()) platform::OpenUrlWith(opener, url, error);
  }
};

}  // namespace

int RunScriptedFrontEnd(Game& g, FakeClock& clock, const HeadlessOptions& o,
                        const std::vector<ScriptEvent>& script, std::FILE* out, std::FILE* err) {
  const std::filesystem::path folder = store::GameDataFolder(o.config_dir);
  store::GameData data;
  const std::filesystem::path file = folder.empty() ? folder : store::GameDataPath(folder);
  store::IdentitySource id{static_cast<uint32_t>(std::time(nullptr)), &g.random};
  GameDataStart start = OpenGameData(file, data, id);

  HeadlessScreen screen;
  input::EventKeyboard keyboard;  // fed by the script's key lines
  FrontEndInput input;
  input.keyboard = &keyboard;
  input.devices.keyboard = &keyboard;
  input::KeyboardOpen(input.devices);
  input::KeyboardAcquire(input.devices, true);
  render::SpriteSlots slots;
  FrontEndRun run(o, script, data, file, screen, input, slots);
  run.frame_limit = o.frames >= 0 ? o.frames : (o.until_game_over ? -1 : 600);
  run.virtual_clock = &clock;
  run.start_notices = std::move(start.notices);
  run.saving = start.saving;
  bool restart = false;
  return RunFrontEnd(g, run, out, err, restart);
}

}  // namespace app
