#pragma once
// The driver: every way of running the game (the window with its menus,
// straight into play, headless with or without the menus, the pictures of a
// game) is one RunSetup run by RunGame, with one loop of frames.

#include <cstdio>

#include "app/run_setup.h"

namespace app {

// Runs the game as the setup says; the printed state goes to out, messages
// to err. Returns the program's exit code. A new video mode chosen in the
// options restarts the program (with "/R") and does not return.
int RunGame(const RunSetup& setup, std::FILE* out, std::FILE* err);

}  // namespace app
