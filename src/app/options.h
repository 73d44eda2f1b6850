#pragma once
// The command line of gfall: one table of options (it also writes --help), read
// into one record, and the way of running that the record asks for.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace app {

// The most games one --seeds run plays.
inline constexpr uint64_t kMaxSeedGames = 1000000;

struct Options {
  // How the game is shown.
  bool headless = false;       // --headless: no window, no sound, a virtual clock
  bool play = false;           // --play: straight into a one-player game
  bool window = false;         // --window or --fullscreen was given
  bool fullscreen = true;      // the last of --window / --fullscreen
  bool shown_last = false;     // --window/--fullscreen came after the last --headless
  bool virtual_clock = false;  // with a window: frames of frame_ms each, no waiting
  int32_t width = 0;           // 640, 800 or 1024 for this run; 0: not given
  int32_t depth = -1;          // 0..4 for this run; -1: not given
  // Files written at exit and on the way.
  std::string screenshot, window_screenshot, shots_dir;
  int64_t linger_ms = 0;  // --play with a window: the last frame stays this long
  // The table and the game.
  std::string data_dir;  // empty: not given (searched for)
  bool test_table = false;
  bool demo = false;
  int players = 1;
  uint32_t seed = 1;
  // --seeds A-B: headless, one game per seed from A to B, in one process
  // (at most kMaxSeedGames).
  std::string seeds;
  uint32_t seeds_first = 0, seeds_last = 0;
  double frame_ms = 1000.0 / 60.0;
  int64_t frames = -1;  // -1: not given
  bool until_game_over = false;
  std::string input_file;
  bool menus = false;
  std::string config_dir;
  std::string switches;  // the "/0" and "/R" words, joined with spaces
  // Output of a headless run.
  std::string shot_map, shot_map_json;
  bool print_state = false, stats = false;
  // Recording and replay.
  std::string record_file;  // --record
  std::string replay_file;  // --replay or --replay-partial
  bool replay_partial = false;
  // Which options appeared, by their long name ("--demo"), in order.
  std::vector<std::string> given;
};

enum class ParseResult { kRun, kDone, kBadUsage };

// Reads argv[1..] into `o`. --help and --version print to out and give kDone;
// a bad option or value is said on err and gives kBadUsage.
ParseResult ParseOptions(int argc, const char* const* argv, Options& o, std::FILE* out,
                         std::FILE* err);

// The generated --help text.
std::string UsageText();

// The ways of running: the window with its menus, headless play (with or
// without the menus), and the table straight into play (--play, or the
// pictures of a game under way: --screenshot without a window, or headless
// with a picture size).
enum class RunMode { kWindow, kHeadless, kTable };
RunMode ModeOf(const Options& o);

// An option given that the mode does not use (named on err by the caller);
// empty when every option applies.
std::string OptionOutOfPlace(const Options& o, RunMode mode);

}  // namespace app
