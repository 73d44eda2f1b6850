#pragma once
// The game as a player starts it: a window (or full screen) showing the
// loading screen, the title, the main menu over the table with its music, play,
// the pause menu and the dialogs, until Quit; a new video mode restarts the
// program with "/R".

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/headless.h"
#include "platform/single_instance.h"

namespace app {

struct WindowOptions {
  // Data folder, game data folder, switches, frame limit, script, seed and
  // --print-state, as for headless runs. frames −1: until Quit.
  HeadlessOptions run;
  bool fullscreen = true;
  bool virtual_clock = false;  // frames of run.frame_ms each, no waiting (tests)
  int32_t width = 0;           // 640, 800 or 1024 for this run; 0: the stored setting
  int32_t depth = -1;          // 0..4 for this run; −1: the stored setting
  std::string screenshot;         // the last composed frame, written at exit
  std::string window_screenshot;  // what the window showed last, written at exit
  std::string shots_dir;  // loading screen, title and every dialog as it opens, as PNGs
  // The program and its arguments, for the restart in a new mode.
  std::vector<std::string> argv;
  // The single-instance lock this copy holds (raise requests come through it); may be null.
  platform::SingleInstance* instance = nullptr;
};

// Returns the exit code. Start-up failures print one line naming what failed.
int RunWindowFrontEnd(const WindowOptions& o, std::FILE* out, std::FILE* err);

}  // namespace app
