#include "platform/window_settings.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <system_error>
#include <vector>

#include "core/file_io.h"
#include "store/durable_file.h"

namespace platform {

namespace {

constexpr int32_t kSmallestSide = 64;
constexpr int32_t kLargestSide = 16384;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// A whole number in [lo, hi], nothing else on the value.
bool ReadInt(std::string_view v, int32_t lo, int32_t hi, int32_t& out) {
  int32_t n = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (ec != std::errc() || end != v.data() + v.size() || n < lo || n > hi) return false;
  out = n;
  return true;
}

// "WIDTHxHEIGHT".
bool ReadSize(std::string_view v, int32_t& w, int32_t& h) {
  const size_t x = v.find('x');
  if (x == std::string_view::npos) return false;
  int32_t a = 0, b = 0;
  if (!ReadInt(v.substr(0, x), kSmallestSide, kLargestSide, a) ||
      !ReadInt(v.substr(x + 1), kSmallestSide, kLargestSide, b)) {
    return false;
  }
  w = a;
  h = b;
  return true;
}

}  // namespace

std::filesystem::path WindowSettingsPathFrom(std::string_view config_dir,
                                             const char* xdg_config_home, const char* home) {
  if (!config_dir.empty()) return std::filesystem::path(config_dir) / "window.ini";
  std::filesystem::path base;
  if (xdg_config_home != nullptr && xdg_config_home[0] == '/') {
    base = xdg_config_home;
  } else if (home != nullptr && home[0] != '\0') {
    base = std::filesystem::path(home) / ".config";
  } else {
    return {};
  }
  return base / "gfall" / "window.ini";
}

std::filesystem::path WindowSettingsPath(std::string_view config_dir) {
  return WindowSettingsPathFrom(config_dir, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

WindowSettings ParseWindowSettings(std::string_view text) {
  WindowSettings s;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    std::string_view line = Trim(text.substr(0, nl));
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    if (key == "fullscreen") {
      int32_t v = 0;
      if (ReadInt(value, 0, 1, v)) s.fullscreen = v != 0;
    } else if (key == "scaling") {
      if (value == "sharp" || value == "smooth") s.sharp = value == "sharp";
    } else if (key == "size") {
      ReadSize(value, s.width, s.height);
    } else if (key == "mode") {
      ReadSize(value, s.mode_width, s.mode_height);
    }
  }
  // A size means nothing without the mode it was chosen for.
  if (s.width == 0 || s.mode_width == 0) s.width = s.height = s.mode_width = s.mode_height = 0;
  return s;
}

std::string FormatWindowSettings(const WindowSettings& s) {
  std::string out = "# The game's window, kept between runs.\n";
  out += "fullscreen=" + std::string(s.fullscreen ? "1" : "0") + "\n";
  out += "scaling=" + std::string(s.sharp ? "sharp" : "smooth") + "\n";
  if (s.width > 0 && s.mode_width > 0) {
    out += "size=" + std::to_string(s.width) + "x" + std::to_string(s.height) + "\n";
    out += "mode=" + std::to_string(s.mode_width) + "x" + std::to_string(s.mode_height) + "\n";
  }
  return out;
}

WindowSettings ReadWindowSettings(const std::filesystem::path& file) {
  if (file.empty()) return {};
  constexpr size_t kMost = 1 << 16;  // a settings file is a few lines: larger is not ours
  std::string text, why;
  if (!core::ReadRegularTextFile(file, kMost, text, why)) return {};
  return ParseWindowSettings(text);
}

bool WriteWindowSettings(const std::filesystem::path& file, const WindowSettings& s,
                         std::string* error) {
  if (file.empty()) {
    if (error) *error = "no folder for the window settings";
    return false;
  }
  std::string why;
  if (!core::CreatePrivateFolders(file.parent_path(), why)) {
    if (error) *error = why;
    return false;
  }
  const std::string text = FormatWindowSettings(s);
  const std::vector<uint8_t> bytes(text.begin(), text.end());
  return store::WriteFileDurably(file, bytes, error);
}

}  // namespace platform
