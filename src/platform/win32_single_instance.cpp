// The single running copy on Windows: the named mutex "GFallPBallGameMtx"
// held for the life of the process, and the window class "GFallPBallWndClass"
// by which a second copy finds the first one's window and brings it forward.
#include <SDL.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <system_error>

#include "platform/os/files.h"
#include "platform/single_instance.h"

namespace platform {

namespace {

constexpr char kMutexName[] = "GFallPBallGameMtx";
constexpr char kWindowClass[] = "GFallPBallWndClass";

// The default data folder has the mutex of its name; a folder chosen with
// --config-dir has one of its own, so copies playing from separate folders
// (as the tests do) do not stop each other.
std::string MutexNameFor(const std::string& dir) {
  std::error_code ec;
  const std::filesystem::path own = os::UserDataFolder();
  if (own.empty() || std::filesystem::equivalent(own, dir, ec)) return kMutexName;
  std::string name = std::string(kMutexName) + "-";
  for (char c : std::filesystem::absolute(dir, ec).string()) name += c == '\\' ? '/' : c;
  if (name.size() > MAX_PATH) name.resize(MAX_PATH);
  return name;
}

bool RaiseOther() {
  HWND w = FindWindowA(kWindowClass, nullptr);
  if (!w) return false;
  if (IsIconic(w)) ShowWindow(w, SW_RESTORE);
  SetForegroundWindow(w);
  return true;
}

}  // namespace

std::string InstanceFolder(bool chosen, const std::string& data_folder, const char* runtime_dir) {
  if (!chosen && runtime_dir != nullptr && runtime_dir[0] == '/') {
    return (std::filesystem::path(runtime_dir) / "gfall").string();
  }
  return data_folder;
}

bool MakePrivateFolders(const std::string& path, std::string& error) {
  // The application-data folders are the user's own by their permissions.
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) {
    error = "cannot make the folder " + path + ": " + ec.message();
    return false;
  }
  return true;
}

InstanceResult AcquireSingleInstance(SingleInstance& s, const std::string& dir, bool ask_other,
                                     int wait_ms, std::string& error) {
  if (dir.empty()) {
    error = "no folder for the lock";
    return InstanceResult::kError;
  }
  if (!MakePrivateFolders(dir, error)) return InstanceResult::kError;
  s.lock_path = MutexNameFor(dir);
  HANDLE m = CreateMutexA(nullptr, FALSE, s.lock_path.c_str());
  if (!m) {
    error =
        "cannot make the mutex " + s.lock_path + " (error " + std::to_string(GetLastError()) + ")";
    return InstanceResult::kError;
  }
  // A copy that ended without letting go leaves the mutex abandoned: ours.
  const DWORD got = WaitForSingleObject(m, static_cast<DWORD>(wait_ms < 0 ? 0 : wait_ms));
  if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED) {
    CloseHandle(m);
    if (ask_other && RaiseOther()) return InstanceResult::kRaisedOther;
    return InstanceResult::kOtherRunning;
  }
  s.mutex = m;
  // Our window is made with the class a second copy looks for.
  SDL_RegisterApp(kWindowClass, 0, nullptr);
  return InstanceResult::kFirst;
}

// The second copy raises the window itself (RaiseOther): nothing comes here.
bool PollRaiseRequest(SingleInstance&) { return false; }

void ReleaseSingleInstance(SingleInstance& s) {
  if (s.mutex) {
    ReleaseMutex(static_cast<HANDLE>(s.mutex));
    CloseHandle(static_cast<HANDLE>(s.mutex));
    s.mutex = nullptr;
  }
}

}  // namespace platform
