#include "platform/data_dirs.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/os/files.h"
#include "platform/os/process.h"

namespace platform {

namespace {

std::string Clean(const std::filesystem::path& p) {
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

const char* EnvOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

}  // namespace

std::vector<std::string> DataFolderSearch(const DataSearchInputs& in) {
  if (!in.environment.empty()) return {in.environment};
  std::vector<std::string> out;
  auto add = [&](const std::string& dir) {
    if (dir.empty()) return;
    if (std::find(out.begin(), out.end(), dir) == out.end()) out.push_back(dir);
  };
  if (!in.exe_dir.empty() && !in.data_from_bin.empty()) {
    add(Clean(std::filesystem::path(in.exe_dir) / in.data_from_bin));
  }
  // The current folder and the program's own (a game built and not
  // installed) come before the XDG folders, so that a copy installed on the
  // system never stands in for the pack at hand.
  add(in.current_dir);
  add(in.exe_dir);
  auto xdg = [&](const std::string& base) {
    // The XDG rules: a relative path in these variables is invalid and ignored.
    if (!base.empty() && base.front() == '/') add(Clean(std::filesystem::path(base) / "gfall"));
  };
  if (!in.xdg_data_home.empty()) {
    xdg(in.xdg_data_home);
  } else if (!in.home.empty()) {
    xdg(in.home + "/.local/share");
  }
  const std::string dirs =
      in.xdg_data_dirs.empty() ? "/usr/local/share:/usr/share" : in.xdg_data_dirs;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    xdg(dirs.substr(start, end - start));
    start = end + 1;
  }
  add(in.install_dir);
  return out;
}

std::optional<std::string> FirstFolderHolding(
    const std::vector<std::string>& folders, const std::string& file,
    const std::function<bool(const std::string&)>& exists) {
  for (const std::string& dir : folders) {
    if (dir.empty()) continue;
    std::string path = dir;
    if (path.back() != '/') path += '/';
    path += file;
    if (exists(path)) return dir;
  }
  return std::nullopt;
}

DataSearchInputs ProcessDataSearchInputs(const std::string& data_from_bin,
                                         const std::string& install_dir) {
  DataSearchInputs in;
  in.environment = EnvOrEmpty("GFALL_DATA");
  std::error_code ec;
  const std::filesystem::path exe = os::ExecutablePath();
  if (!exe.empty()) in.exe_dir = exe.parent_path().string();
  in.data_from_bin = data_from_bin;
  in.xdg_data_home = EnvOrEmpty("XDG_DATA_HOME");
  in.home = EnvOrEmpty("HOME");
  in.xdg_data_dirs = EnvOrEmpty("XDG_DATA_DIRS");
  in.current_dir = std::filesystem::current_path(ec).string();
  if (ec) in.current_dir.clear();
  // The folder the installer recorded (Windows), else the configured one.
  in.install_dir = os::RecordedInstallFolder();
  if (in.install_dir.empty()) in.install_dir = install_dir;
  return in;
}

std::string ListForMessage(const std::vector<std::string>& folders) {
  std::string s;
  for (size_t i = 0; i < folders.size(); ++i) {
    if (i > 0) s += i + 1 == folders.size() ? " and " : ", ";
    s += folders[i];
  }
  return s;
}

}  // namespace platform
