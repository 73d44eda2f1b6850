#pragma once
// The whole front end on a virtual clock: loading, title, menus, the window
// procedure with its 50 ms tick, and dialogs answered by the input script.
// End-to-end tests drive the program through it with --headless --menus.

#include <cstdio>
#include <vector>

#include "app/clock.h"
#include "app/game.h"
#include "app/headless.h"

namespace app {

// Runs until the window quits or the frame limit; the game `g` has its table
// loaded. Prints the window and game state as JSON when asked.
int RunScriptedFrontEnd(Game& g, FakeClock& clock, const HeadlessOptions& o,
                        const std::vector<ScriptEvent>& script, std::FILE* out, std::FILE* err);

}  // namespace app
