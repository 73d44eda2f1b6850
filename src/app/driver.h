#pragma once
// The driver: every way of running the game (the window with its menus,
// straight into play, headless with or without the menus, the pictures of a
// game) is one RunSetup run by RunGame, with one loop of frames.

#include <cstdio>
#include <string>

#include "app/run_setup.h"

namespace app {

// Runs the game as the setup says; the printed state goes to out, messages
// to err. Returns the program's exit code. A new video mode chosen in the
// options restarts the program (with "/R") and does not return.
int RunGame(const RunSetup& setup, std::FILE* out, std::FILE* err);

// The idle demonstration of a kept game: replays the recording `file` as a
// run nested in the window of the run `outer` describes, on the screen and
// sound engine `window` lends it, with the table loaded again from `pack`
// (the outer run's). The game in it that made the best score is shown from
// its start (the frames before run unseen) until it ends, the time is up,
// the recording ends or diverges, or a key, click or joypad press ends it
// (see NestedWindow; its after_frame and end_frame are found here). The
// outer run's game is not touched. Returns how it went.
KeptGameShow ShowKeptGame(const std::string& file, const RunSetup& outer, res::ResourceLayer& pack,
                          NestedWindow window, std::FILE* err);

}  // namespace app
