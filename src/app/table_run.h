#pragma once
// Shows the table: the pack's playfield drawn by the compositor in a window
// (or full screen, or with no window at all), the balls launched from the
// plunger and the flippers on the Shift keys, until Escape, the window's close
// button or a frame count ends it; optionally the last frame as a PNG file.
// Until the game flow drives it, this is how the table is looked at.

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
  int64_t linger_ms = 0;  // with a window: the last frame stays shown this long after the files
};

// Returns the program's exit code; messages go to err.
int RunTable(const TableRunOptions& o, std::FILE* err);

}  // namespace app
