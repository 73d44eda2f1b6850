// gfall: the game. By default the whole program in a window (or full screen);
// --headless plays on a virtual clock without one; --play starts straight into
// a one-player game.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "app/headless.h"
#include "app/shot_map.h"
#include "app/startup.h"
#include "app/table_run.h"
#include "app/window_front_end.h"
#include "platform/single_instance.h"
#include "store/game_data.h"

namespace {

constexpr const char* kUsage =
    "usage: gfall [options]          the game, full screen\n"
    "       gfall --window [options] the game in a window (Alt+Enter: full screen)\n"
    "       gfall --headless [options]\n"
    "       gfall --play [--window] [options]   straight into a one-player game\n"
    "  --window           a resizable window instead of full screen\n"
    "  --fullscreen       full screen (the default)\n"
    "  --width W          640, 800 or 1024 for this run (default: the stored setting)\n"
    "  --depth D          0 = 8-bit, 1 = 15, 2 = 16, 3 = 24, 4 = 32-bit for this run\n"
    "  --screenshot F     write the last composed frame as a PNG at exit\n"
    "  --window-screenshot F   write what the window showed last as a PNG at exit\n"
    "  --shots DIR        with a window: the loading screen, every dialog as it opens\n"
    "                     and \"MS shot NAME\" script lines as PNGs in DIR\n"
    "  --virtual-clock    with a window: frames of --frame-ms each, no waiting (tests)\n"
    "  --headless         play without a window or sound on a virtual clock\n"
    "  --data DIR         folder holding GFALL.DAT (default: $GFALL_DATA, else the current\n"
    "                     folder, else beside the program, else the install folder)\n"
    "  --test-table       play the built-in test table instead of GFALL.DAT\n"
    "  --frame-ms X       virtual frame time in ms (default 16.667)\n"
    "  --demo             the computer plays the game\n"
    "  --players N        players 1..4 (default 1)\n"
    "  --seed N           seed of the random source (default 1)\n"
    "  --frames N         stop after N frames (headless default 600 unless\n"
    "                     --until-game-over; with a window: until Quit)\n"
    "  --until-game-over  stop when the game has ended\n"
    "  --input FILE       scripted input: lines \"MS ACTION down|up\" (ACTION: left, right,\n"
    "                     nudge-left, nudge-up, nudge-right, start) or \"MS cmd N\"\n"
    "  --menus            start at the loading screen with the title, menus and dialogs\n"
    "                     (scripts may add \"MS key CODE down|up\", \"MS mouse X Y\",\n"
    "                     \"MS click X Y\", \"MS answer DIALOG RESULT [TEXT]\")\n"
    "  --config-dir DIR   folder of the settings and high scores file\n"
    "                     (default: $XDG_DATA_HOME/gfall or ~/.local/share/gfall)\n"
    "  /0                 safe mode: 640 x 480 in 8-bit colour, stored at the next save\n"
    "  /R                 a restart: no title picture\n"
    "  --shot-map F.png   headless: draw every flipper shot over the table plan\n"
    "  --shot-map-json F  headless: the shots' windows per flipper and feed as JSON\n"
    "  --print-state      print the final state as JSON\n"
    "  --stats            print the state with statistics\n"
    "  --help             this text\n";

bool ParseNumber(const char* text, double& out) {
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0';
}

// Returns 0 to run, 1 for a usage error, 2 after --help.
int Parse(int argc, char** argv, app::HeadlessOptions& o, app::WindowOptions& wo, bool& headless,
          bool& data_given, std::string& switches) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto number = [&](double& out, double lo, double hi) {
      if (i + 1 >= argc || !ParseNumber(argv[i + 1], out) || !(out >= lo && out <= hi)) {
        std::fprintf(stderr, "gfall: %s needs a number from %g to %g\n", a.c_str(), lo, hi);
        return false;
      }
      ++i;
      return true;
    };
    auto text = [&](std::string& out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "gfall: %s needs a value\n", a.c_str());
        return false;
      }
      out = argv[++i];
      return true;
    };
    double v = 0.0;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 2;
    } else if (a == "--headless") {
      headless = true;
    } else if (a == "--window") {
      wo.fullscreen = false;
    } else if (a == "--fullscreen") {
      wo.fullscreen = true;
    } else if (a == "--virtual-clock") {
      wo.virtual_clock = true;
    } else if (a == "--width") {
      if (!number(v, 640, 1024) || (v != 640 && v != 800 && v != 1024)) {
        std::fprintf(stderr, "gfall: --width needs 640, 800 or 1024\n");
        return 1;
      }
      wo.width = static_cast<int32_t>(v);
    } else if (a == "--depth") {
      if (!number(v, 0, 4) || v != static_cast<int>(v)) return 1;
      wo.depth = static_cast<int32_t>(v);
    } else if (a == "--screenshot") {
      if (!text(wo.screenshot)) return 1;
    } else if (a == "--window-screenshot") {
      if (!text(wo.window_screenshot)) return 1;
    } else if (a == "--shots") {
      if (!text(wo.shots_dir)) return 1;
    } else if (a == "--demo") {
      o.demo = true;
    } else if (!a.empty() && a[0] == '/') {
      switches += a + " ";  // "/0" and "/R", scanned as one text
    } else if (a == "--menus") {
      o.menus = true;
    } else if (a == "--config-dir") {
      if (!text(o.config_dir)) return 1;
    } else if (a == "--test-table") {
      o.test_table = true;
    } else if (a == "--until-game-over") {
      o.until_game_over = true;
    } else if (a == "--shot-map") {
      if (!text(o.shot_map)) return 1;
    } else if (a == "--shot-map-json") {
      if (!text(o.shot_map_json)) return 1;
    } else if (a == "--print-state") {
      o.print_state = true;
    } else if (a == "--stats") {
      o.stats = true;
    } else if (a == "--data") {
      if (!text(o.data_dir)) return 1;
      data_given = true;
    } else if (a == "--input") {
      if (!text(o.input_file)) return 1;
    } else if (a == "--frame-ms") {
      if (!number(v, 0.1, 1000)) return 1;
      o.frame_ms = v;
    } else if (a == "--players") {
      if (!number(v, 1, 4) || v != static_cast<int>(v)) {
        if (v != static_cast<int>(v)) std::fprintf(stderr, "gfall: --players needs 1..4\n");
        return 1;
      }
      o.players = static_cast<int>(v);
    } else if (a == "--seed") {
      if (!number(v, 0, 4294967295.0)) return 1;
      o.seed = static_cast<uint32_t>(v);
    } else if (a == "--frames") {
      if (!number(v, 0, 1e12)) return 1;
      o.frames = static_cast<int64_t>(v);
    } else {
      std::fprintf(stderr, "gfall: unknown option %s\n%s", a.c_str(), kUsage);
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    bool play = false, headless_given = false, shown = false, screenshot = false;
    for (int i = 1; i < argc; ++i) {
      const std::string a = argv[i];
      play = play || a == "--play";
      headless_given = headless_given || a == "--headless";
      shown = shown || a == "--window" || a == "--fullscreen";
      screenshot = screenshot || a == "--screenshot";
    }
    // One game straight away, and the pictures of a game under way (a
    // screenshot without a window).
    if (play || (headless_given && app::WantsTableRun(argc, argv)) || (screenshot && !shown)) {
      return app::TableRunMain(argc, argv);
    }
    app::HeadlessOptions o;
    app::WindowOptions wo;
    bool headless = false;
    bool data_given = false;
    std::string switch_text;
    int parsed = Parse(argc, argv, o, wo, headless, data_given, switch_text);
    if (parsed == 2) return 0;
    if (parsed != 0) return 1;
    if (!data_given && !o.test_table) {
      // GFALL_DATA, else the current folder, else beside the program, else the install folder.
      app::DataFolderPlaces places = app::ProcessDataFolderPlaces(GFALL_INSTALL_DATA_DIR);
      auto found = app::FindDataFolder(places, "GFALL.DAT", [](const std::string& path) {
        std::error_code ec;
        return std::filesystem::is_regular_file(path, ec);
      });
      if (!found) {
        std::fprintf(stderr,
                     "gfall: cannot find GFALL.DAT (looked in %s)\n",
                     places.environment.empty()
                         ? ("the current folder, " + places.exe_dir + " and " +
                            places.install_dir).c_str()
                         : ("GFALL_DATA=" + places.environment).c_str());
        return 1;
      }
      o.data_dir = *found;
    }
    platform::SingleInstance instance;
    const bool front_end = o.menus || !headless;
    if (front_end) {
      // One copy with its front end at a time, per game-data folder.
      const app::Switches sw = app::ScanSwitches(switch_text);
      o.safe_mode = sw.safe_mode;
      o.skip_instance_check = sw.skip_instance_check;
      const std::string folder = platform::InstanceFolder(
          !o.config_dir.empty(), store::GameDataFolder(o.config_dir).string(),
          std::getenv("XDG_RUNTIME_DIR"));
      std::string error;
      switch (folder.empty() ? platform::InstanceResult::kError
                             : platform::AcquireSingleInstance(instance, folder,
                                                               !sw.skip_instance_check,
                                                               sw.skip_instance_check ? 2000 : 0,
                                                               error)) {
        case platform::InstanceResult::kFirst:
          break;
        case platform::InstanceResult::kRaisedOther:
          std::fprintf(stderr, "gfall: another copy is running; it was asked to come forward\n");
          return 1;
        case platform::InstanceResult::kOtherRunning:
          std::fprintf(stderr, "gfall: another copy is running (%s/gfall.lock is held)\n",
                       folder.c_str());
          return 1;
        case platform::InstanceResult::kError:
          // Without a usable folder the game still plays; only the guard
          // against a second copy is missing.
          std::fprintf(stderr, "gfall: %s; running without the single-instance lock\n",
                       folder.empty() ? "no usable home folder (HOME is not set)"
                                      : error.c_str());
          break;
      }
    }
    int status = 0;
    if (headless) {
      status = o.shot_map.empty() && o.shot_map_json.empty() ? app::RunHeadless(o, stdout, stderr)
                                                              : app::RunShotMap(o, stdout, stderr);
    } else {
      if (o.test_table) {
        std::fputs("gfall: --test-table plays headless only\n", stderr);
        return 1;
      }
      wo.run = o;
      wo.instance = &instance;
      for (int i = 0; i < argc; ++i) wo.argv.emplace_back(argv[i]);
      status = app::RunWindowFrontEnd(wo, stdout, stderr);
    }
    platform::ReleaseSingleInstance(instance);
    return status;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "gfall: %s\n", e.what());
    return 1;
  } catch (...) {
    std::fprintf(stderr, "gfall: unexpected error\n");
    return 1;
  }
}
