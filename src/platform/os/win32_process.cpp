#include <SDL.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/os/process.h"

namespace platform::os {

namespace {

// One argument as the C runtime's command-line parser reads it back: quoted
// when it holds a space, a tab or a quote, with the backslashes before a
// quote (and before the closing quote) doubled.
std::string QuoteArgument(const std::string& a) {
  if (!a.empty() && a.find_first_of(" \t\n\v\"") == std::string::npos) return a;
  std::string q = "\"";
  size_t backslashes = 0;
  for (char c : a) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"')
      q.append(backslashes * 2 + 1, '\\');
    else
      q.append(backslashes, '\\');
    backslashes = 0;
    q += c;
  }
  q.append(backslashes * 2, '\\');
  q += '"';
  return q;
}

std::string LastErrorText() {
  const DWORD code = GetLastError();
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

int ProcessId() { return static_cast<int>(GetCurrentProcessId()); }

bool ProcessRunning(int pid) {
  if (pid <= 0) return false;
  HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (!p) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
  DWORD code = 0;
  const bool running = !GetExitCodeProcess(p, &code) || code == STILL_ACTIVE;
  CloseHandle(p);
  return running;
}

std::string ExecutablePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

int StartDetached(const std::vector<std::string>& args, std::string& error) {
  if (args.empty()) {
    error = "no program";
    return -1;
  }
  std::string line;
  for (const std::string& a : args) line += (line.empty() ? "" : " ") + QuoteArgument(a);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(args[0].c_str(), line.data(), nullptr, nullptr, FALSE,
                      CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &si, &pi)) {
    error = "cannot start " + args[0] + ": " + LastErrorText();
    return -1;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(pi.dwProcessId);
}

void RestartAs(const std::vector<std::string>& args, std::string& error) {
  // Windows has no exec: the new copy starts (and waits for our instance
  // lock, see single_instance.h), then this one ends at once.
  std::vector<std::string> with_exe = args;
  if (with_exe.empty()) with_exe.emplace_back();
  with_exe[0] = ExecutablePath();
  if (StartDetached(with_exe, error) < 0) return;
  std::fflush(nullptr);
  ExitProcess(0);
}

namespace {

BOOL WINAPI OnConsoleEvent(DWORD event) {
  // Without a window the default applies (the process ends).
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return FALSE;
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    // The process ends when this returns: give the game the moments it needs
    // to save, as Windows allows (about five seconds).
    Sleep(4000);
  }
  return TRUE;
}

}  // namespace

// A standard stream with nowhere to go (a window program's, unless the one who
// started it redirected it).
bool Unconnected(DWORD which) {
  const HANDLE h = GetStdHandle(which);
  return h == nullptr || h == INVALID_HANDLE_VALUE;
}

void PrepareProcess() {
  // main() is ours (SDL_MAIN_HANDLED), not SDL's WinMain wrapper.
  SDL_SetMainReady();
  const bool out = Unconnected(STD_OUTPUT_HANDLE), err = Unconnected(STD_ERROR_HANDLE);
  if ((out || err) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    if (out) std::freopen("CONOUT$", "w", stdout);
    if (err) std::freopen("CONOUT$", "w", stderr);
  }
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace platform::os
