// gfall: the game. By default the whole program in a window (or full screen);
// --headless plays on a virtual clock without one; --play starts straight into
// a one-player game.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "app/headless.h"
#include "app/options.h"
#include "app/shot_map.h"
#include "app/startup.h"
#include "app/table_run.h"
#include "app/window_front_end.h"
#include "platform/data_dirs.h"
#include "platform/single_instance.h"
#include "store/game_data.h"

namespace {

// What each driver takes of the options.
app::TableRunOptions TableRunOptionsOf(const app::Options& o) {
  app::TableRunOptions t;
  t.headless = !(o.shown_last || (o.play && !o.headless));
  t.fullscreen = o.fullscreen;
  if (!o.data_dir.empty()) t.data_dir = o.data_dir;
  t.screenshot = o.screenshot;
  t.window_screenshot = o.window_screenshot;
  if (o.width != 0) t.width = o.width;
  if (o.depth >= 0) t.depth = o.depth;
  t.frames = o.frames >= 0 ? o.frames : t.headless ? 240 : -1;
  t.frame_ms = o.frame_ms;
  t.linger_ms = o.linger_ms;
  t.seed = o.seed;
  t.input_file = o.input_file;
  t.config_dir = o.config_dir;
  return t;
}

app::HeadlessOptions HeadlessOptionsOf(const app::Options& o) {
  app::HeadlessOptions h;
  h.data_dir = o.data_dir.empty() ? h.data_dir : o.data_dir;
  h.frame_ms = o.frame_ms;
  h.demo = o.demo;
  h.players = o.players;
  h.seed = o.seed;
  h.frames = o.frames;
  h.until_game_over = o.until_game_over;
  h.input_file = o.input_file;
  h.print_state = o.print_state;
  h.stats = o.stats;
  h.test_table = o.test_table;
  h.menus = o.menus;
  h.config_dir = o.config_dir;
  h.shot_map = o.shot_map;
  h.shot_map_json = o.shot_map_json;
  return h;
}

app::WindowOptions WindowOptionsOf(const app::Options& o) {
  app::WindowOptions wo;
  wo.fullscreen = o.fullscreen;
  wo.virtual_clock = o.virtual_clock;
  wo.width = o.width;
  wo.depth = o.depth;
  wo.screenshot = o.screenshot;
  wo.window_screenshot = o.window_screenshot;
  wo.shots_dir = o.shots_dir;
  return wo;
}

}  // namespace

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
    if (opts.data_dir.empty() && !opts.test_table) {
      // GFALL_DATA, else the program's install, the current folder, the program's
      // folder, the XDG data folders, the install folder (platform/data_dirs.h).
      const std::vector<std::string> folders = platform::DataFolderSearch(
          platform::ProcessDataSearchInputs(GFALL_DATA_FROM_BIN, GFALL_INSTALL_DATA_DIR));
      auto found = platform::FirstFolderHolding(folders, "GFALL.DAT", [](const std::string& path) {
        std::error_code ec;
        return std::filesystem::is_regular_file(path, ec);
      });
      if (!found) {
        std::fprintf(stderr, "gfall: cannot find GFALL.DAT (looked in %s%s)\n",
                     std::getenv("GFALL_DATA") && *std::getenv("GFALL_DATA") ? "GFALL_DATA=" : "",
                     platform::ListForMessage(folders).c_str());
        return 1;
      }
      opts.data_dir = *found;
    }
    if (mode == app::RunMode::kTable) {
      return app::RunTable(TableRunOptionsOf(opts), stderr);
    }
    app::HeadlessOptions o = HeadlessOptionsOf(opts);
    app::WindowOptions wo = WindowOptionsOf(opts);
    const bool headless = mode == app::RunMode::kHeadless;
    const std::string& switch_text = opts.switches;
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
