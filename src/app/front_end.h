#pragma once
// The front end's parts shared by the window and the headless menus: the game
// data file at start, the menu items' places without pictures, the printed
// state of the window, and the screen of runs without a display.

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

// Every video mode is offered (the buffers are ours, whatever the screen).
render::ModeTable AllModes();

// Menu items without pictures (runs without a display) get a 200×40 box
// each, 50 pixels apart from (100, 100), so scripted mouse positions have
// something to hit.
void PlaceMenuItems(render::SpriteSlots& slots, const ui::MenuScreen& screen);

// The window's state printed by --print-state with the menus.
std::string WindowJson(const Window& w, const FrontEndHost& host,
                       const ui::ScriptedAnswers& answers, bool quit);

// The screen of runs without a display: nothing is drawn and no browser
// opens, unless $GFALL_URL_OPENER names a command to hand addresses to (a
// test's stand-in browser).
class HeadlessScreen final : public FrontEndScreen {
 public:
  void OpenUrl(const std::string& url) override;
};

}  // namespace app
