#include "app/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>

namespace app {

namespace {

constexpr const char* kUsageLines =
    "usage: gfall [options]                the game, full screen\n"
    "       gfall --window [options]       the game in a window (Alt+Enter, F11: full screen)\n"
    "       gfall --headless [options]     without a window or sound, on a virtual clock\n"
    "       gfall --play [--window] [options]   straight into a one-player game\n";

constexpr const char* kFooter =
    "Switches:\n"
    "  /0                          safe mode: 640 x 480 in 8-bit colour, stored at the next save\n"
    "  /R                          a restart: no title picture\n"
    "Options take their value as --name VALUE or --name=VALUE.\n";

class UsageFormatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App*, std::string) const override { return kUsageLines; }
};

// The one table of options, bound to `o`.
std::unique_ptr<CLI::App> MakeParser(Options& o, std::vector<std::string>& words) {
  auto cli = std::make_unique<CLI::App>("", "gfall");
  cli->formatter(std::make_shared<UsageFormatter>());
  cli->footer(kFooter);
  cli->set_help_flag("-h,--help", "this text");
  cli->set_version_flag("--version", std::string("gfall ") + GFALL_VERSION, "the version");
  cli->get_formatter()->column_width(28);

  cli->add_flag("--window")->description("a resizable window, for this run");
  cli->add_flag("--fullscreen")
      ->description("full screen, for this run (default: as the game was left)");
  cli->add_flag("--headless", o.headless, "play without a window or sound on a virtual clock");
  cli->add_flag("--play", o.play,
                "straight into a one-player game (Enter launches, the "
                "Shift keys flip, Escape quits)");
  cli->add_option("--width", o.width,
                  "640, 800 or 1024 for this run (default: the stored "
                  "setting; 1024 with --play)")
      ->check(CLI::IsMember({640, 800, 1024}))
      ->option_text("W");
  cli->add_option("--depth", o.depth,
                  "0 = 8-bit, 1 = 15, 2 = 16, 3 = 24, 4 = 32-bit for this "
                  "run (default: the stored setting; 32-bit with --play)")
      ->check(CLI::Range(0, 4))
      ->option_text("D");
  cli->add_option("--screenshot", o.screenshot,
                  "write the last composed frame as a PNG at exit "
                  "(without a window: after the frames of a "
                  "computer game)")
      ->option_text("F.png");
  cli->add_option("--window-screenshot", o.window_screenshot,
                  "write what the window showed last as a PNG at exit")
      ->option_text("F.png");
  cli->add_option("--shots", o.shots_dir,
                  "with a window: the loading screen, every dialog as it "
                  "opens and \"MS shot NAME\" script lines as PNGs in DIR")
      ->option_text("DIR");
  cli->add_flag("--virtual-clock", o.virtual_clock,
                "with a window: frames of --frame-ms each, no waiting (tests)");
  cli->add_option("--linger", o.linger_ms,
                  "with --play and a window: keep the last frame shown "
                  "for MS milliseconds after the files are written; "
                  "Escape ends it")
      ->check(CLI::Range(int64_t{0}, int64_t{3600000}))
      ->option_text("MS");
  cli->add_option("--data", o.data_dir,
                  "folder holding GFALL.DAT (default: $GFALL_DATA, else "
                  "../share/gfall from the program, the current folder, the "
                  "program's folder, gfall/ in the XDG data folders)")
      ->option_text("DIR");
  cli->add_flag("--test-table", o.test_table,
                "headless: play the built-in test table instead "
                "of GFALL.DAT");
  cli->add_option("--frame-ms", o.frame_ms, "virtual frame time in ms (default 16.667)")
      ->check(CLI::Range(0.1, 1000.0))
      ->option_text("X");
  cli->add_flag("--demo", o.demo, "the computer plays the game");
  cli->add_option("--players", o.players, "players 1..4 (default 1)")
      ->check(CLI::Range(1, 4))
      ->option_text("N");
  CLI::Option* seed =
      cli->add_option("--seed", o.seed, "seed of the random source (default 1)")->option_text("N");
  cli->add_option("--seeds", o.seeds,
                  "headless: one game for each seed from A to B in one "
                  "process, each to its end unless --frames is given, one "
                  "line of --stats or --print-state each")
      ->excludes(seed)
      ->option_text("A-B");
  cli->add_option("--frames", o.frames,
                  "stop after N frames (headless default 600 unless "
                  "--until-game-over, 240 for the pictures of a game; "
                  "with a window: until Quit)")
      ->check(CLI::Range(int64_t{0}, int64_t{1000000000000}))
      ->option_text("N");
  cli->add_flag("--until-game-over", o.until_game_over, "stop when the game has ended");
  cli->add_option("--input", o.input_file,
                  "scripted input: lines \"MS ACTION down|up\" (ACTION: left, right, nudge-left, "
                  "nudge-up, nudge-right, start) or \"MS cmd N\"; with --menus also \"MS key CODE "
                  "down|up\", \"MS mouse X Y\", \"MS click X Y\", \"MS answer DIALOG RESULT "
                  "[TEXT]\"")
      ->option_text("FILE");
  cli->add_flag("--menus", o.menus,
                "headless: start at the loading screen with the title, menus "
                "and dialogs");
  cli->add_option("--config-dir", o.config_dir,
                  "folder of the settings and high scores file (default: "
                  "$XDG_DATA_HOME/gfall or ~/.local/share/gfall) and of window.ini "
                  "(default: $XDG_CONFIG_HOME/gfall or ~/.config/gfall); --play only "
                  "reads them")
      ->option_text("DIR");
  cli->add_option("--shot-map", o.shot_map,
                  "headless: draw every flipper shot over the table "
                  "plan into this PNG")
      ->option_text("F.png");
  cli->add_option("--shot-map-json", o.shot_map_json,
                  "headless: the shots' windows per flipper and feed as JSON")
      ->option_text("F");
  cli->add_option("--record", o.record_file,
                  "record the run into FILE, to be replayed exactly "
                  "(any way of running)")
      ->option_text("FILE");
  cli->add_option("--replay", o.replay_file,
                  "play a recording back and check it: headless as "
                  "fast as it runs, or with --window at real speed "
                  "(Space pauses, F faster, S slower, R real time); "
                  "status 0 when every checkpoint matches, 3 when it "
                  "diverges, 1 when it cannot be replayed")
      ->option_text("FILE");
  cli->add_option("--replay-partial", o.replay_file,
                  "as --replay, and a truncated or damaged "
                  "recording plays as far as it can be read")
      ->option_text("FILE");
  cli->add_flag("--print-state", o.print_state, "print the final state as JSON");
  cli->add_flag("--stats", o.stats, "print the state with statistics");
  // "/0" and "/R" are words of their own; the footer lists them.
  cli->add_option("switches", words, "the /0 and /R switches")->group("");
  return cli;
}

// "A-B": two decimal seeds (32-bit) with A <= B.
bool ParseSeedRange(const std::string& text, uint32_t& first, uint32_t& last) {
  const size_t dash = text.find('-');
  if (dash == std::string::npos) return false;
  auto number = [](const std::string& digits, uint32_t& out) {
    if (digits.empty() || digits.size() > 10 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    const uint64_t v = std::stoull(digits);
    if (v > UINT32_MAX) return false;
    out = static_cast<uint32_t>(v);
    return true;
  };
  return number(text.substr(0, dash), first) && number(text.substr(dash + 1), last) &&
         first <= last;
}

// "/0", "/R", or both in one word ("/0R", "/0/R"), as ScanSwitches reads them.
bool KnownSwitchWord(std::string_view w) {
  size_t i = 0;
  while (i < w.size()) {
    if (w[i] != '/' || i + 1 >= w.size()) return false;
    ++i;
    if (w[i] == '0') {
      ++i;
      if (i < w.size() && w[i] == 'R') ++i;
    } else if (w[i] == 'R') {
      ++i;
    } else {
      return false;
    }
  }
  return !w.empty();
}

bool Given(const Options& o, const char* name) {
  return std::find(o.given.begin(), o.given.end(), name) != o.given.end();
}

}  // namespace

std::string UsageText() {
  Options o;
  std::vector<std::string> words;
  return MakeParser(o, words)->help();
}

ParseResult ParseOptions(int argc, const char* const* argv, Options& o, std::FILE* out,
                         std::FILE* err) {
  std::vector<std::string> words;
  auto cli = MakeParser(o, words);
  try {
    cli->parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(cli->help().c_str(), out);
    return ParseResult::kDone;
  } catch (const CLI::CallForVersion& e) {
    std::fprintf(out, "%s\n", e.what());
    return ParseResult::kDone;
  } catch (const CLI::ParseError& e) {
    std::fprintf(err, "gfall: %s\nRun gfall --help for the options.\n", e.what());
    return ParseResult::kBadUsage;
  }
  for (const CLI::Option* opt : cli->parse_order()) {
    if (opt->get_lnames().empty()) continue;
    const std::string name = "--" + opt->get_lnames().front();
    o.given.push_back(name);
    if (name == "--window" || name == "--fullscreen") {
      o.window = true;
      o.fullscreen = name == "--fullscreen";
      o.shown_last = true;
    } else if (name == "--headless") {
      o.shown_last = false;
    } else if (name == "--replay-partial") {
      o.replay_partial = true;
    } else if (name == "--replay") {
      o.replay_partial = false;
    }
  }
  if (!o.seeds.empty() && !ParseSeedRange(o.seeds, o.seeds_first, o.seeds_last)) {
    std::fprintf(err, "gfall: --seeds takes A-B, two seeds with A <= B (not \"%s\")\n",
                 o.seeds.c_str());
    return ParseResult::kBadUsage;
  }
  if (!o.seeds.empty() && uint64_t{o.seeds_last} - o.seeds_first + 1 > kMaxSeedGames) {
    std::fprintf(err, "gfall: --seeds plays at most %llu games in one run (%s is %llu)\n",
                 static_cast<unsigned long long>(kMaxSeedGames), o.seeds.c_str(),
                 static_cast<unsigned long long>(uint64_t{o.seeds_last} - o.seeds_first + 1));
    return ParseResult::kBadUsage;
  }
  // The range check lets a NaN through (it compares false both ways).
  if (!std::isfinite(o.frame_ms)) {
    std::fprintf(err, "gfall: --frame-ms takes a number from 0.1 to 1000 (not %g)\n", o.frame_ms);
    return ParseResult::kBadUsage;
  }
  for (const std::string& word : words) {
    if (word.empty() || word[0] != '/') {
      std::fprintf(err, "gfall: unknown option %s\nRun gfall --help for the options.\n",
                   word.c_str());
      return ParseResult::kBadUsage;
    }
    if (!KnownSwitchWord(word)) {
      std::fprintf(err, "gfall: unknown switch %s (the switches are /0 and /R)\n", word.c_str());
      return ParseResult::kBadUsage;
    }
    o.switches += word + " ";
  }
  return ParseResult::kRun;
}

RunMode ModeOf(const Options& o) {
  // A replay runs headless; its recording says how the game was set up.
  if (!o.replay_file.empty()) return RunMode::kHeadless;
  const bool sized =
      o.window || Given(o, "--screenshot") || Given(o, "--width") || Given(o, "--depth");
  if (o.play || (o.headless && sized) || (Given(o, "--screenshot") && !o.window)) {
    return RunMode::kTable;
  }
  return o.headless ? RunMode::kHeadless : RunMode::kWindow;
}

std::string OptionOutOfPlace(const Options& o, RunMode mode) {
  // The recording says how the game was set up and played.
  static constexpr const char* kNotForReplay[] = {"--play",
                                                  "--screenshot",
                                                  "--window-screenshot",
                                                  "--shots",
                                                  "--virtual-clock",
                                                  "--linger",
                                                  "--test-table",
                                                  "--frame-ms",
                                                  "--demo",
                                                  "--players",
                                                  "--seed",
                                                  "--frames",
                                                  "--until-game-over",
                                                  "--input",
                                                  "--menus",
                                                  "--shot-map",
                                                  "--shot-map-json",
                                                  "--record",
                                                  "--seeds"};
  if (!o.replay_file.empty()) {
    for (const char* name : kNotForReplay) {
      if (Given(o, name)) return name;
    }
    if (!o.switches.empty()) return o.switches.substr(0, o.switches.find(' '));
    return {};
  }
  static constexpr const char* kNotForTable[] = {
      "--virtual-clock", "--shots",           "--test-table", "--demo",
      "--players",       "--until-game-over", "--menus",      "--shot-map",
      "--shot-map-json", "--print-state",     "--stats",      "--seeds"};
  if (mode == RunMode::kTable) {
    for (const char* name : kNotForTable) {
      if (Given(o, name)) return name;
    }
    if (!o.switches.empty()) return o.switches.substr(0, o.switches.find(' '));
  } else if (Given(o, "--linger")) {
    return "--linger";
  } else if (Given(o, "--seeds") && (mode != RunMode::kHeadless || o.menus)) {
    return "--seeds";
  }
  return {};
}

}  // namespace app
