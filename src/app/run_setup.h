#pragma once
// One run of the game as data: whether it has a display, whether it starts at
// the menus or straight into play, whether its clock is real or virtual, its
// script, its table and what it writes. Every way of running is one of these,
// and one driver (driver.h) runs them all.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"

namespace res {
struct ResourceLayer;
}

namespace platform {
struct SingleInstance;
class SdlDisplayDevice;
struct Event;
}  // namespace platform
namespace render {
struct Display;
}
namespace sound {
class SoundEngine;
}
namespace replay {
struct Recording;
}

namespace app {

struct TablePhysicsCache;

// Where the frames go.
enum class DisplayKind {
  kNone,       // nothing is drawn (headless play and the headless menus)
  kOffscreen,  // drawn into a screen that no window shows (pictures of a game)
  kWindow,     // a window, or the desktop in full screen
};

// How a virtual clock moves from one frame to the next.
enum class ClockStep {
  kToFrameTime,  // frame N reads N × frame_ms exactly, whatever the frame slept
  kByFrameTime,  // each frame adds frame_ms to the time its sleeps left
};

// A replay shown inside the window of the run it is nested in (the idle
// demonstration of a kept game). It draws its own table on that run's open
// screen and plays through its sound engine, neither opening nor closing
// them. The frames before the game it shows run unseen and unheard, as fast
// as they run; it ends at that game's end, after `shown_ms` of the
// recording's time, at the recording's end or when it diverges, or at once
// on any key, click or joypad press (which is not passed on).
struct NestedWindow {
  platform::SdlDisplayDevice* device = nullptr;
  const render::Display* display = nullptr;  // that run's display, open
  sound::SoundEngine* engine = nullptr;      // may be null: silent
  // The game shown begins after this frame (the end of the one before it;
  // -1: none) once the recording has left the menus, and ends at `end_frame`.
  int64_t after_frame = -1;
  int64_t end_frame = 0;
  double shown_ms = 60000.0;
  // The replay keeps real time (else it runs as fast as it can, as a run on
  // a virtual clock does).
  bool paced = true;
  // After each shown frame, with the time shown so far: the outer run's own
  // share (its virtual clock follows; its script's lines come due). True
  // ends the nested run (a key, click or joypad press the outer run saw).
  std::function<bool(double shown_ms)> outer_tick;
  // The window's events that are the outer run's too (closing, the focus,
  // repaints), handed on to it.
  std::function<void(const platform::Event&)> pass_on;
};

// How a nested run went (ShowKeptGame, driver.h).
struct KeptGameShow {
  bool started = false;         // false: the recording cannot be read or is not of this table
  bool shown = false;           // its game began and was shown
  bool diverged = false;        // it ended early: the replay no longer matched the recording
  int64_t frames = 0;           // frames replayed, the unseen ones included
  int64_t first_shown = -1;     // the first frame shown
  std::vector<int32_t> scores;  // the players' scores where it ended
};

struct RunSetup {
  // How the game is shown and driven.
  DisplayKind display = DisplayKind::kNone;
  bool menus = false;         // loading screen, title, menus, dialogs, the game data file
  bool virtual_clock = true;  // false: the machine's clock, in real time
  ClockStep clock_step = ClockStep::kToFrameTime;
  bool fullscreen = true;  // with a window
  // --window or --fullscreen was given: the stored full-screen choice does not apply.
  bool fullscreen_chosen = false;
  int32_t width = 0;   // 640, 800 or 1024 for this run; 0: the stored setting (menus) or 1024
  int32_t depth = -1;  // 0..4 for this run; -1: the stored setting (menus) or 32 bits

  // The table and the game.
  std::string data_dir = ".";  // folder holding GFALL.DAT
  bool test_table = false;     // the built-in test table instead of the pack's (no display)
  bool demo = false;           // straight into play: the computer plays
  int players = 1;             // straight into play
  uint32_t seed = 1;
  double frame_ms = 1000.0 / 60.0;  // one frame of a virtual clock
  int64_t frames = -1;  // frames to run; -1: the default of the way of running (FrameLimit)
  bool until_game_over = false;
  std::string input_file;           // the input script; empty: none
  std::string config_dir;           // folder of the game data file (empty: the user's data folder)
  int32_t safe_mode = 0;            // "/0"
  int32_t skip_instance_check = 0;  // "/R": a restart, no title

  // What the run writes.
  bool print_state = false, stats = false;
  bool seed_in_state = false;  // the state's line begins with the seed (a batch of games)
  // Headless without the menus: the pack opened once for a batch of games.
  res::ResourceLayer* shared_pack = nullptr;
  // With the shared pack: what its first game decoded of the table's physics.
  TablePhysicsCache* shared_physics = nullptr;
  std::string shot_map, shot_map_json;  // the shot map instead of play (no display)
  std::string screenshot;               // the last composed frame, written at exit
  std::string window_screenshot;        // what the window showed last, written at exit
  std::string shots_dir;                // loading screen, title and every dialog as PNGs
  int64_t linger_ms = 0;                // straight into play in a window: the last frame stays

  // Recording and replay (replay_run.h).
  std::string record_file;  // the run is recorded into this file
  // A replay: the recording read (the rest of the setup follows its header),
  // and the reader's message when only part of it could be read.
  std::shared_ptr<const replay::Recording> replay;
  std::string replay_file, replay_problem;
  // Set: the replay is shown inside another run's window (null: a run of its own).
  const NestedWindow* nested = nullptr;

  // The program and its arguments (for the restart in a new video mode) and the
  // single-instance lock this copy holds (may be null).
  std::vector<std::string> argv;
  platform::SingleInstance* instance = nullptr;
};

// The run that the options ask for in the given way of running.
RunSetup RunSetupOf(const Options& o, RunMode mode);

// The frames a run plays: the --frames given, else 600 without a display
// (until the game ends with --until-game-over), 240 for the pictures of a game,
// and until the player quits in a window. -1: no limit.
int64_t FrameLimit(const RunSetup& s);

}  // namespace app
