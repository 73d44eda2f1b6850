#pragma once
// The window's size and the full-screen choice, kept between runs in a small
// text file of their own (window.ini) beside the user's other settings. The
// game data file does not hold them.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

struct WindowSettings {
  bool fullscreen = true;
  bool sharp = false;  // whole-number scales only (DisplayOptions::sharp), else smooth
  // The window's size when not full screen, and the video mode it was chosen
  // for (it only applies to that mode); 0: none stored.
  int32_t width = 0, height = 0;
  int32_t mode_width = 0, mode_height = 0;
  bool operator==(const WindowSettings&) const = default;
};

// The file: DIR/window.ini with --config-dir DIR, else gfall/window.ini under
// XDG_CONFIG_HOME (when absolute) or ~/.config. Empty when there is no home.
std::filesystem::path WindowSettingsPathFrom(std::string_view config_dir,
                                             const char* xdg_config_home, const char* home);
std::filesystem::path WindowSettingsPath(std::string_view config_dir);

// "key=value" lines; unknown keys, comments and bad lines are skipped, and a
// value that is missing or out of range keeps its default.
WindowSettings ParseWindowSettings(std::string_view text);
std::string FormatWindowSettings(const WindowSettings& s);

// The defaults when the file is missing or unreadable.
WindowSettings ReadWindowSettings(const std::filesystem::path& file);
// Creates the folder when needed and replaces the file whole; false (with the
// reason in `error`) when it cannot.
bool WriteWindowSettings(const std::filesystem::path& file, const WindowSettings& s,
                         std::string* error = nullptr);

}  // namespace platform
