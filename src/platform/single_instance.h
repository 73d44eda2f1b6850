#pragma once
// One copy of the game at a time: a lock file held with flock() for the life
// of the process, and a local socket beside it through which a second copy
// asks the first to raise its window.

#include <string>

namespace platform {

struct SingleInstance {
  int lock_fd = -1;
  int listen_fd = -1;
  std::string lock_path;
  std::string socket_path;
};

enum class InstanceResult {
  kFirst,          // we hold the lock and listen for raise requests
  kRaisedOther,    // another copy holds the lock; it was asked to raise its window
  kOtherRunning,   // another copy holds the lock and could not be reached
  kError,          // the lock file could not be made (error text filled in)
};

// Takes the lock in `dir` (made if missing). When another copy holds it and
// `ask_other` is true, sends it a raise request. `wait_ms` retries the lock
// for that long first (a restart waits for the old copy to let go).
InstanceResult AcquireSingleInstance(SingleInstance& s, const std::string& dir, bool ask_other,
                                     int wait_ms, std::string& error);

// True when a second copy asked us to raise the window since the last call.
bool PollRaiseRequest(SingleInstance& s);

// Lets go of the lock and the socket.
void ReleaseSingleInstance(SingleInstance& s);

}  // namespace platform
