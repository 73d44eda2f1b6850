#include "app/run_setup.h"

namespace app {

RunSetup RunSetupOf(const Options& o, RunMode mode) {
  RunSetup s;
  switch (mode) {
    case RunMode::kHeadless:
      s.display = DisplayKind::kNone;
      s.menus = o.menus;
      break;
    case RunMode::kWindow:
      s.display = DisplayKind::kWindow;
      s.menus = true;
      s.virtual_clock = o.virtual_clock;
      break;
    case RunMode::kTable: {
      // --play in a window, unless --headless came after the last --window.
      const bool shown = o.shown_last || (o.play && !o.headless);
      s.display = shown ? DisplayKind::kWindow : DisplayKind::kOffscreen;
      s.virtual_clock = !shown;
      s.clock_step = ClockStep::kByFrameTime;
      s.demo = !shown;  // without a window the computer plays, so a picture shows a game
      break;
    }
  }
  s.fullscreen = o.fullscreen;
  s.fullscreen_chosen = o.window;
  s.width = o.width;
  s.depth = o.depth;
  if (!o.data_dir.empty()) s.data_dir = o.data_dir;
  s.test_table = o.test_table;
  if (mode != RunMode::kTable) {
    s.demo = o.demo;
    s.players = o.players;
  }
  s.seed = o.seed;
  s.frame_ms = o.frame_ms;
  s.frames = o.frames;
  s.until_game_over = o.until_game_over;
  s.input_file = o.input_file;
  s.config_dir = o.config_dir;
  s.print_state = o.print_state;
  s.stats = o.stats;
  s.shot_map = o.shot_map;
  s.shot_map_json = o.shot_map_json;
  s.screenshot = o.screenshot;
  s.window_screenshot = o.window_screenshot;
  s.shots_dir = o.shots_dir;
  s.linger_ms = o.linger_ms;
  s.record_file = o.record_file;
  return s;
}

int64_t FrameLimit(const RunSetup& s) {
  if (s.frames >= 0) return s.frames;
  switch (s.display) {
    case DisplayKind::kNone:
      return s.until_game_over ? -1 : 600;
    case DisplayKind::kOffscreen:
      return 240;
    case DisplayKind::kWindow:
      return -1;
  }
  return -1;
}

}  // namespace app
