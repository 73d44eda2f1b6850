#include "app/startup.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/os/files.h"
#include "platform/os/process.h"

namespace app {

Switches ScanSwitches(std::string_view s) {
  Switches out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '/') continue;
    if (i + 1 < s.size() && s[i + 1] == '0') {
      out.safe_mode = 1;
      ++i;
    }
    if (i + 1 < s.size() && s[i + 1] == 'R') {
      out.skip_instance_check = 1;
      ++i;
    }
  }
  return out;
}

std::optional<std::string> FindDataFolder(const DataFolderPlaces& p, std::string_view pack_name,
                                          const std::function<bool(const std::string&)>& exists) {
  auto holds = [&](const std::string& dir) {
    if (dir.empty()) return false;
    std::string path = dir;
    if (path.back() != '/') path += '/';
    path += pack_name;
    return exists(path);
  };
  if (!p.environment.empty()) {
    if (holds(p.environment)) return p.environment;
    return std::nullopt;  // an explicit folder is never second-guessed
  }
  for (const std::string* dir : {&p.current_dir, &p.exe_dir, &p.install_dir}) {
    if (holds(*dir)) return *dir;
  }
  return std::nullopt;
}

std::string ExecutableDir() {
  const std::filesystem::path exe = platform::os::ExecutablePath();
  if (exe.empty()) return {};
  return exe.parent_path().string();
}

DataFolderPlaces ProcessDataFolderPlaces(const std::string& install_dir) {
  DataFolderPlaces p;
  if (const char* env = std::getenv("GFALL_DATA")) p.environment = env;
  std::error_code ec;
  p.current_dir = std::filesystem::current_path(ec).string();
  p.exe_dir = ExecutableDir();
  p.install_dir = platform::os::RecordedInstallFolder();
  if (p.install_dir.empty()) p.install_dir = install_dir;
  return p;
}

void ApplySafeMode(const Switches& s, VideoChoice& v) {
  if (!s.safe_mode) return;
  v.resolution = 0;
  v.depth = 0;
}

}  // namespace app
