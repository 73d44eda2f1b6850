// gfall: the game. By default the whole program in a window (or full screen);
// --headless plays on a virtual clock without one; --play starts straight into
// a one-player game.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "app/driver.h"
#include "app/options.h"
#include "app/replay_run.h"
#include "app/run_setup.h"
#include "app/shot_map.h"
#include "app/startup.h"
#include "platform/single_instance.h"
#include "store/game_data.h"

int main(int argc, char** argv) {
  try {
    app::Options opts;
    switch (app::ParseOptions(argc, argv, opts, stdout, stderr)) {
      case app::ParseResult::kRun: break;
      case app::ParseResult::kDone: return 0;
      case app::ParseResult::kBadUsage: return 1;
    }
    const app::RunMode mode = app::ModeOf(opts);
    const std::string stray = app::OptionOutOfPlace(opts, mode);
    if (!stray.empty()) {
      std::fprintf(stderr, "gfall: %s does not apply %s\n", stray.c_str(),
                   mode == app::RunMode::kTable ? "when the table runs straight into play"
                                                : "without --play and a window");
      return 1;
    }
    app::RunSetup o = app::RunSetupOf(opts, mode);
    if (!opts.replay_file.empty()) {
      if (const int status = app::SetUpReplay(opts, o, stderr)) return status;
    }
    if (mode == app::RunMode::kTable) return app::RunGame(o, stdout, stderr);
    const bool headless = mode == app::RunMode::kHeadless;
    const bool data_given = !opts.data_dir.empty();
    const std::string& switch_text = opts.switches;
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
    const bool front_end = o.menus;
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
    if (!headless && o.test_table) {
      std::fputs("gfall: --test-table plays headless only\n", stderr);
      return 1;
    }
    o.instance = &instance;
    for (int i = 0; i < argc; ++i) o.argv.emplace_back(argv[i]);
    const bool shot_map = headless && !(o.shot_map.empty() && o.shot_map_json.empty());
    const int status = shot_map ? app::RunShotMap(o, stdout, stderr) : app::RunGame(o, stdout, stderr);
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
