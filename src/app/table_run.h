#pragma once
// The table straight into play (--play), without the title and the menus: the
// pack's playfield drawn by the compositor in a window (or full screen), or
// with no window at all on a virtual clock where the computer plays (the
// pictures of a game under way, --screenshot). With a window the player's
// stored bindings work the table and the sound engine plays. Escape, the window's close
// button or a frame count ends it; optionally the last frame as a PNG file.

#include <cstdint>
#include <cstdio>
#include <string>

namespace app {

struct TableRunOptions {
  std::string data_dir = ".";   // folder holding GFALL.DAT
  std::string screenshot;       // PNG written at exit; empty = none
  int32_t width = 1024;         // 640, 800 or 1024
  int32_t depth = 4;            // pixel format 0..4 (8, 15, 16, 24, 32 bits)
  bool headless = true;         // no window; runs on a virtual clock
  bool fullscreen = false;      // with a window: desktop full screen
  int64_t frames = 240;         // frames to run; −1 = until quit (windowed only)
  double frame_ms = 1000.0 / 60.0;  // virtual clock step (headless)
  uint32_t seed = 1;
  std::string input_file;         // scripted input, as for headless play
  std::string window_screenshot;  // PNG of what the window shows at exit; empty = none
  std::string config_dir;  // folder of the game data file (bindings, sound levels)
  int64_t linger_ms = 0;  // with a window: the last frame stays shown this long after the files
};

// Returns the program's exit code; messages go to err.
int RunTable(const TableRunOptions& o, std::FILE* err);

}  // namespace app
