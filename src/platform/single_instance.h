#pragma once
// One copy of the game at a time: a lock file held with flock() for the life
// of the process, and a local socket beside it through which a second copy
// asks the first to raise its window. On Windows (win32_single_instance.cpp)
// the lock is the named mutex "GFallPBallGameMtx" and the second copy brings
// the first one's window (class "GFallPBallWndClass") forward itself.

#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct SingleInstance {
  int lock_fd = -1;
  void* mutex = nullptr;  // Windows: the named mutex we own
  int listen_fd = -1;
  std::string lock_path;
  std::string socket_path;
  // Second copies connected but not yet heard from, with the polls left before
  // they are given up.
  struct Client {
    int fd = -1;
    int polls_left = 0;
  };
  std::vector<Client> clients;
};

// The folder of the lock and the socket: `data_folder` when the player chose
// it (--config-dir), else $XDG_RUNTIME_DIR/gfall when that is an absolute
// path, else `data_folder`; empty when none is known.
std::string InstanceFolder(bool chosen, const std::string& data_folder, const char* runtime_dir);

// Makes the missing folders of `path` with mode 0700, whatever the umask.
bool MakePrivateFolders(const std::string& path, std::string& error);

enum class InstanceResult {
  kFirst,         // we hold the lock and listen for raise requests
  kRaisedOther,   // another copy holds the lock; it was asked to raise its window
  kOtherRunning,  // another copy holds the lock and could not be reached
  kError,         // the lock file could not be made (error text filled in)
};

// Takes the lock in `dir` (made 0700 if missing; the socket is 0600). When another copy holds it
// and `ask_other` is true, sends it a raise request. `wait_ms` retries the lock for that long first
// (a restart waits for the old copy to let go).
InstanceResult AcquireSingleInstance(SingleInstance& s, const std::string& dir, bool ask_other,
                                     int wait_ms, std::string& error);

// True when a second copy asked us to raise the window since the last call.
// Never waits: a copy that has connected but sent nothing yet is read again on
// later calls (at most kRaisePolls of them), and at most kRaiseClients are
// taken per call.
bool PollRaiseRequest(SingleInstance& s);
inline constexpr int kRaisePolls = 100;
inline constexpr size_t kRaiseClients = 8;

// Lets go of the lock and the socket.
void ReleaseSingleInstance(SingleInstance& s);

}  // namespace platform
