#pragma once
// Processes: this one, others by id, and starting programs.

#include <string>
#include <vector>

namespace platform::os {

// The id of the running process.
int ProcessId();

// False only when no process `pid` is running (a process of another user, or
// one we cannot ask about, counts as running).
bool ProcessRunning(int pid);

// The full path of the running program; empty when the system does not say.
std::string ExecutablePath();

// Starts the program args[0] with the arguments args[1..], detached: it is
// nobody's child to wait for and outlives us. Its process id, or -1 with the
// reason in `error` when it could not be started.
int StartDetached(const std::vector<std::string>& args, std::string& error);

// Runs the running program again with `args` (args[0] is ignored) in place of
// this process. Returns only when that failed, with the reason in `error`.
void RestartAs(const std::vector<std::string>& args, std::string& error);

// Sets the process up as the system expects before anything else runs. On
// Windows the game is a window program: started from a console it prints
// there (when its output is not already redirected), and Ctrl+C, Ctrl+Break
// or closing that console ask the game to quit (an SDL_QUIT event) while it
// has a window, as the window's own close does. Elsewhere SDL already turns
// SIGINT and SIGTERM into SDL_QUIT: nothing to do.
void PrepareProcess();

}  // namespace platform::os
