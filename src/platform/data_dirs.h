#pragma once
// Where the game's data folder (the one holding GFALL.DAT) may be, in the
// order it is looked for: an installed game finds its data through its own
// program, wherever the install was moved; then the current folder and the
// program's own (a game built and not installed); then the XDG data folders.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// What the search is built from; each field as the process has it.
struct DataSearchInputs {
  std::string environment;    // GFALL_DATA: when not empty, the only place
  std::string exe_dir;        // folder of the running program, empty if unknown
  std::string data_from_bin;  // path from the program's folder to the data, e.g. "../share/gfall"
  std::string xdg_data_home;  // XDG_DATA_HOME (empty: $HOME/.local/share)
  std::string home;           // HOME
  std::string xdg_data_dirs;  // XDG_DATA_DIRS (empty: /usr/local/share:/usr/share)
  std::string current_dir;
  std::string install_dir;  // the configured prefix's data folder
};

// The folders to look in, in order, without repeats: GFALL_DATA alone when it
// is set; else the data folder relative to the program, the current folder,
// the program's own folder, "gfall" under XDG_DATA_HOME and under each of
// XDG_DATA_DIRS, and the configured install folder. Relative entries of the
// XDG variables are ignored, as the XDG base directory rules say.
std::vector<std::string> DataFolderSearch(const DataSearchInputs& in);

// The first folder of `folders` holding `file`; `exists` answers whether a
// path is a regular file (tests pass their own).
std::optional<std::string> FirstFolderHolding(
    const std::vector<std::string>& folders, const std::string& file,
    const std::function<bool(const std::string&)>& exists);

// The inputs of the running process (environment, /proc/self/exe, working
// folder), with the two paths the build configured.
DataSearchInputs ProcessDataSearchInputs(const std::string& data_from_bin,
                                         const std::string& install_dir);

// The folders as one line for a message: "a, b and c".
std::string ListForMessage(const std::vector<std::string>& folders);

}  // namespace platform
