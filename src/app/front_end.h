#pragma once
// The whole front end's message loop: the window procedure with its 50 ms
// tick, the menus, the dialogs and the frames, fed by the platform's events
// (in a window) and by the input script. Headless runs (--headless --menus)
// and the windowed game share it; the windowed game adds a screen, the SDL
// events and on-screen forms.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/clock.h"
#include "app/dialog_forms.h"
#include "app/front_end_host.h"
#include "app/game.h"
#include "app/headless.h"
#include "app/window_proc.h"
#include "store/game_data.h"

namespace app {

struct FrontEndRun {
  FrontEndRun(const HeadlessOptions& o, const std::vector<ScriptEvent>& s, store::GameData& d,
              std::filesystem::path file, FrontEndScreen& sc, FrontEndInput& in,
              render::SpriteSlots& sl)
      : options(o), script(s), data(d), data_file(std::move(file)), screen(sc), input(in),
        slots(sl) {}

  const HeadlessOptions& options;  // frames, frame_ms, until_game_over, print_state, switches
  const std::vector<ScriptEvent>& script;
  int64_t frame_limit = -1;        // −1: until the window quits
  FakeClock* virtual_clock = nullptr;  // null: the game's clock runs in real time
  store::GameData& data;
  std::filesystem::path data_file;
  FrontEndScreen& screen;
  FrontEndInput& input;
  render::SpriteSlots& slots;  // the menu items' sprites
  sound::SoundEngine* sound = nullptr;
  std::vector<std::string> help_folders;
  // Windowed: moves the platform's pending events into the queue (keys also
  // into the keyboard). May be empty.
  std::function<void(MessageQueue&)> poll_events;
  // Windowed, real time: waits for the next event or for `ms`.
  std::function<void(int ms)> wait;
  // Builds the dialog forms over the script's answers and the pump that lets a
  // waiting form run the script on (null: every form is answered by the script).
  std::function<std::unique_ptr<DialogForms>(ui::ScriptedAnswers&, std::function<bool()> pump)>
      make_forms;
  // Set up by the caller of the window: the menus and flags for drawing.
  std::function<void(Window&)> on_window;
  // "MS shot NAME" lines (may be empty).
  std::function<void(const std::string&)> on_shot;
  // Said to the player once the menu shows (a damaged file kept aside, saving off).
  std::vector<std::string> start_notices;
  bool saving = true;  // false: the game data file is not written
};

// The game data file at start: what was found and what the player must be told.
struct GameDataStart {
  bool saving = true;
  std::vector<std::string> notices;
};

// Loads the game data file into `data`: temporary files left by interrupted
// saves are removed; a damaged file is kept aside and salvaged (see
// store::LoadGameData); saving is switched off when the file cannot be read or the
// folder cannot be written, with the reason in the notices.
GameDataStart OpenGameData(const std::filesystem::path& file, store::GameData& data,
                           const store::IdentitySource& id);

// Runs until the window quits or the frame limit; `out` gets the JSON state
// when options.print_state is set. Returns the exit code; `restart` tells
// whether a new video mode asks for a restart.
int RunFrontEnd(Game& g, FrontEndRun& run, std::FILE* out, std::FILE* err, bool& restart);

// The headless front end (--headless --menus): no screen, dialogs answered by
// the script, the game data file in options.config_dir.
int RunScriptedFrontEnd(Game& g, FakeClock& clock, const HeadlessOptions& o,
                        const std::vector<ScriptEvent>& script, std::FILE* out, std::FILE* err);

}  // namespace app
