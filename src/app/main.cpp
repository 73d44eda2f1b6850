// gfall: the game. The window front end is not built yet; the game plays
// headless on a virtual clock.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "app/headless.h"
#include "app/startup.h"
#include "app/table_run.h"
#include "platform/single_instance.h"
#include "store/game_data.h"

namespace {

constexpr const char* kUsage =
    "usage: gfall --headless [options]\n"
    "  --headless         play without a window or sound on a virtual clock\n"
    "  --data DIR         folder holding GFALL.DAT (default: $GFALL_DATA, else the current\n"
    "                     folder, else beside the program, else the install folder)\n"
    "  --test-table       play the built-in test table instead of GFALL.DAT\n"
    "  --frame-ms X       virtual frame time in ms (default 16.667)\n"
    "  --demo             the computer plays the game\n"
    "  --players N        players 1..4 (default 1)\n"
    "  --seed N           seed of the random source (default 1)\n"
    "  --frames N         stop after N frames (default 600 unless --until-game-over)\n"
    "  --until-game-over  stop when the game has ended\n"
    "  --input FILE       scripted input: lines \"MS ACTION down|up\" (ACTION: left, right,\n"
    "                     nudge-left, nudge-up, nudge-right, start) or \"MS cmd N\"\n"
    "  --menus            start at the loading screen with the title, menus and dialogs\n"
    "                     (scripts may add \"MS key CODE down|up\", \"MS mouse X Y\",\n"
    "                     \"MS click X Y\", \"MS answer DIALOG RESULT [TEXT]\")\n"
    "  --config-dir DIR   folder of the settings and high scores file\n"
    "  --print-state      print the final state as JSON\n"
    "  --stats            print the state with statistics\n"
    "  --help             this text\n";

bool ParseNumber(const char* text, double& out) {
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0';
}

// Returns 0 to run, 1 for a usage error, 2 after --help.
int Parse(int argc, char** argv, app::HeadlessOptions& o, bool& headless, bool& data_given,
          std::string& switches) {
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
    if (app::WantsTableRun(argc, argv)) return app::TableRunMain(argc, argv);
    app::HeadlessOptions o;
    bool headless = false;
    bool data_given = false;
    std::string switch_text;
    int parsed = Parse(argc, argv, o, headless, data_given, switch_text);
    if (parsed == 2) return 0;
    if (parsed != 0) return 1;
    if (!headless) {
      std::fputs("gfall: the window front end is not built yet; use --headless.\n", stderr);
      return 1;
    }
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
    if (o.menus) {
      // One copy with its front end at a time, per game-data folder.
      const app::Switches sw = app::ScanSwitches(switch_text);
      o.safe_mode = sw.safe_mode;
      o.skip_instance_check = sw.skip_instance_check;
      const std::string folder = store::GameDataFolder(o.config_dir).string();
      std::string error;
      switch (platform::AcquireSingleInstance(instance, folder, !sw.skip_instance_check,
                                              sw.skip_instance_check ? 2000 : 0, error)) {
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
          std::fprintf(stderr, "gfall: %s\n", error.c_str());
          return 1;
      }
    }
    const int status = app::RunHeadless(o, stdout, stderr);
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
