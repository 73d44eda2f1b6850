#pragma once
// What start-up decides before the window opens: the two short switches, the
// data folder holding GFALL.DAT, and the video mode a "/0" start forces.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace app {

struct Switches {
  int32_t safe_mode = 0;            // "/0": 640×480 in 8 bits
  int32_t skip_instance_check = 0;  // "/R": a restart; no title, no window search
};

// Scans the command-line text character by character: at each "/", a following
// "0" sets safe mode and is stepped over; then a following "R" sets the restart
// switch and is stepped over. So "/0", "/R" and "/0R" are understood; letters
// are case-sensitive and everything else is ignored.
Switches ScanSwitches(std::string_view command_line);

// Where to look for the data folder, in order: the GFALL_DATA variable (when
// set and not empty it is the only candidate), the current folder, the folder
// of the executable, the install prefix's share/gfall.
struct DataFolderPlaces {
  std::string environment;  // value of GFALL_DATA, empty when unset
  std::string current_dir;
  std::string exe_dir;
  std::string install_dir;
};

// The first place holding the pack file `pack_name`; nullopt when none does.
// `exists` answers whether a file exists (tests pass their own).
std::optional<std::string> FindDataFolder(const DataFolderPlaces& places,
                                          std::string_view pack_name,
                                          const std::function<bool(const std::string&)>& exists);

// The folder of the running executable (from /proc/self/exe), empty if unknown.
std::string ExecutableDir();

// Builds the places from the process: environment, working folder, executable
// folder, and `install_dir` (the build's install prefix + "/share/gfall").
DataFolderPlaces ProcessDataFolderPlaces(const std::string& install_dir);

// Video settings as stored: resolution index 0..2 and colour-depth code 0..4.
struct VideoChoice {
  int32_t resolution = 2;
  int32_t depth = 2;
};
// "/0" forces 640×480 with 8 bits into the settings.
void ApplySafeMode(const Switches& s, VideoChoice& v);

// The window title.
inline constexpr std::string_view kWindowTitle = "Kestrune Pinball: Glimmerfall";

}  // namespace app
