// gfall: the game. By default the whole program in a window (or full screen);
// --headless plays on a virtual clock without one; --play starts straight into
// a one-player game.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/options.h"
#include "app/playfield_load.h"
#include "app/replay_run.h"
#include "app/run_setup.h"
#include "app/shot_map.h"
#include "app/startup.h"
#include "platform/data_dirs.h"
#include "platform/os/process.h"
#include "platform/single_instance.h"
#include "store/game_data.h"

namespace {

// The folder of GFALL.DAT when --data does not name one, in the order of
// platform/data_dirs.h (GFALL_DATA first, the install folders last). False
// (said on stderr, with every folder looked in) when there is none.
bool FindPack(app::RunSetup& o) {
  const std::vector<std::string> folders = platform::DataFolderSearch(
      platform::ProcessDataSearchInputs(GFALL_DATA_FROM_BIN, GFALL_INSTALL_DATA_DIR));
  auto found = platform::FirstFolderHolding(folders, "GFALL.DAT", [](const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
  });
  if (!found) {
    const char* env = std::getenv("GFALL_DATA");
    std::fprintf(stderr, "gfall: cannot find GFALL.DAT (looked in %s%s)\n",
                 env && *env ? "GFALL_DATA=" : "", platform::ListForMessage(folders).c_str());
    return false;
  }
  o.data_dir = *found;
  return true;
}

// One copy with its front end at a time, per game-data folder; "/R" (a
// restart) waits a moment for the old copy to go. False (said on stderr) when
// another copy runs.
bool LockOneCopy(const app::RunSetup& o, platform::SingleInstance& instance) {
  const std::string folder =
      platform::InstanceFolder(!o.config_dir.empty(), store::GameDataFolder(o.config_dir).string(),
                               std::getenv("XDG_RUNTIME_DIR"));
  const bool restart = o.skip_instance_check != 0;
  std::string error;
  switch (folder.empty() ? platform::InstanceResult::kError
                         : platform::AcquireSingleInstance(instance, folder, !restart,
                                                           restart ? 2000 : 0, error)) {
    case platform::InstanceResult::kFirst:
      return true;
    case platform::InstanceResult::kRaisedOther:
      std::fprintf(stderr, "gfall: another copy is running; it was asked to come forward\n");
      return false;
    case platform::InstanceResult::kOtherRunning:
      std::fprintf(stderr, "gfall: another copy is running (%s/gfall.lock is held)\n",
                   folder.c_str());
      return false;
    case platform::InstanceResult::kError:
      // Without a usable folder the game still plays; only the guard against a
      // second copy is missing.
      std::fprintf(stderr, "gfall: %s; running without the single-instance lock\n",
                   folder.empty() ? "no usable home folder (HOME is not set)" : error.c_str());
      return true;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  platform::os::PrepareProcess();
  try {
    app::Options opts;
    switch (app::ParseOptions(argc, argv, opts, stdout, stderr)) {
      case app::ParseResult::kRun:
        break;
      case app::ParseResult::kDone:
        return 0;
      case app::ParseResult::kBadUsage:
        return 1;
    }
    const app::RunMode mode = app::ModeOf(opts);
    const std::string stray = app::OptionOutOfPlace(opts, mode);
    if (!stray.empty()) {
      std::fprintf(stderr, "gfall: %s does not apply %s\n", stray.c_str(),
                   !opts.replay_file.empty()      ? "to a replay (its recording sets the game up)"
                   : mode == app::RunMode::kTable ? "when the table runs straight into play"
                   : stray == "--seeds"           ? "outside headless play without the menus"
                                                  : "without --play and a window");
      return 1;
    }
    app::RunSetup o = app::RunSetupOf(opts, mode);
    if (!opts.replay_file.empty()) {
      if (const int status = app::SetUpReplay(opts, o, stderr)) return status;
    }
    if (opts.data_dir.empty() && !o.test_table && !FindPack(o)) return 1;
    if (mode == app::RunMode::kTable) return app::RunGame(o, stdout, stderr);
    const bool headless = mode == app::RunMode::kHeadless;
    platform::SingleInstance instance;
    if (o.menus) {
      const app::Switches sw = app::ScanSwitches(opts.switches);
      o.safe_mode = sw.safe_mode;
      o.skip_instance_check = sw.skip_instance_check;
      if (!LockOneCopy(o, instance)) return 1;
    }
    if (!headless && o.test_table) {
      std::fputs("gfall: --test-table plays headless only\n", stderr);
      return 1;
    }
    o.instance = &instance;
    for (int i = 0; i < argc; ++i) o.argv.emplace_back(argv[i]);
    const bool shot_map = headless && !(o.shot_map.empty() && o.shot_map_json.empty());
    int status = 0;
    if (shot_map) {
      status = app::RunShotMap(o, stdout, stderr);
    } else if (!opts.seeds.empty()) {
      // A batch: one game per seed, each to its end unless --frames says,
      // each line of state led by its seed.
      if (opts.frames < 0) o.until_game_over = true;
      o.seed_in_state = true;
      res::ResourceLayer pack;         // read once for every game
      app::TablePhysicsCache physics;  // decoded once for every game
      if (!o.test_table) {
        std::string error;
        if (!app::OpenTablePack(pack, o.data_dir, error)) {
          std::fprintf(stderr, "gfall: %s\n", error.c_str());
          return 1;
        }
        o.shared_pack = &pack;
        o.shared_physics = &physics;
      }
      for (uint64_t seed = opts.seeds_first; seed <= opts.seeds_last && status == 0; ++seed) {
        o.seed = static_cast<uint32_t>(seed);
        status = app::RunGame(o, stdout, stderr);
      }
    } else {
      status = app::RunGame(o, stdout, stderr);
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
