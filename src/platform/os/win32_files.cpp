#include <SDL.h>
#include <windows.h>

#include <atomic>

#include "platform/os/files.h"

namespace platform::os {

namespace {

std::string ErrorText(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string s = n && text ? std::string(text, n) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

bool ReplaceFileDurably(const std::filesystem::path& file, std::span<const uint8_t> bytes,
                        std::string* error) {
  static std::atomic<unsigned> counter{0};
  auto fail = [&](DWORD code) {
    if (error) *error = ErrorText(code);
    return false;
  };
  // A name nobody else uses: this process and a count; CREATE_NEW refuses
  // a file left by someone else.
  std::string tmp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
    tmp = file.string() + "." + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(counter++) + ".tmp";
    h = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) return fail(GetLastError());
  DWORD code = 0;
  size_t done = 0;
  while (code == 0 && done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD wrote = 0;
    if (!WriteFile(h, bytes.data() + done, chunk, &wrote, nullptr)) code = GetLastError();
    done += wrote;
  }
  if (code == 0 && !FlushFileBuffers(h)) code = GetLastError();
  if (!CloseHandle(h) && code == 0) code = GetLastError();
  if (code == 0 && !MoveFileExA(tmp.c_str(), file.string().c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    code = GetLastError();
  }
  if (code != 0) {
    DeleteFileA(tmp.c_str());
    return fail(code);
  }
  return true;
}

bool MakeOwnFolders(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder.empty() || std::filesystem::is_directory(folder, ec);
}

std::filesystem::path UserDataFolder() {
  // %APPDATA%\Kestrune Software\Glimmerfall Pinball, made when missing.
  char* pref = SDL_GetPrefPath("Kestrune Software", "Glimmerfall Pinball");
  if (!pref) return {};
  std::string folder = pref;
  SDL_free(pref);
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return std::filesystem::path(folder);
}

std::string RecordedInstallFolder() {
  char value[MAX_PATH * 4];
  DWORD size = sizeof value;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    size = sizeof value;
    if (RegGetValueA(root, "Software\\Kestrune Software\\Glimmerfall Pinball\\1.0", "Install Path",
                     RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS) {
      return std::string(value);
    }
  }
  return {};
}

}  // namespace platform::os
