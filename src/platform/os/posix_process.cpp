#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/os/process.h"

namespace platform::os {

int ProcessId() { return static_cast<int>(::getpid()); }

bool ProcessRunning(int pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno != ESRCH); }

std::string ExecutablePath() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

int StartDetached(const std::vector<std::string>& args, std::string& error) {
  if (args.empty()) {
    error = "no program";
    return -1;
  }
  std::vector<char*> argv;
  std::vector<std::string> copy = args;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  // Two pipes that close on exec: the program's process id comes on the
  // first, the errno of a failed start on the second.
  int pid_pipe[2], exec_pipe[2];
  if (::pipe2(pid_pipe, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return -1;
  }
  if (::pipe2(exec_pipe, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    ::close(pid_pipe[0]);
    ::close(pid_pipe[1]);
    return -1;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    // The middle process starts the program in a session of its own and
    // leaves at once, so the program is nobody's child to wait for.
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      ::signal(SIGPIPE, SIG_DFL);
      ::execv(argv[0], argv.data());
      const int e = errno;
      [[maybe_unused]] ssize_t n = ::write(exec_pipe[1], &e, sizeof e);
      ::_exit(127);
    }
    const int sent[2] = {grandchild, grandchild < 0 ? errno : 0};
    [[maybe_unused]] ssize_t n = ::write(pid_pipe[1], sent, sizeof sent);
    ::_exit(0);
  }
  const int fork_errno = errno;
  ::close(pid_pipe[1]);
  ::close(exec_pipe[1]);
  auto read_all = [](int fd, void* to, size_t size) {
    ssize_t n;
    while ((n = ::read(fd, to, size)) < 0 && errno == EINTR) {
    }
    ::close(fd);
    return n == static_cast<ssize_t>(size);
  };
  if (child < 0) {
    ::close(pid_pipe[0]);
    ::close(exec_pipe[0]);
    error = std::strerror(fork_errno);
    return -1;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int sent[2] = {-1, 0};
  const bool got_pid = read_all(pid_pipe[0], sent, sizeof sent);
  int exec_errno = 0;
  const bool failed = read_all(exec_pipe[0], &exec_errno, sizeof exec_errno);
  if (!got_pid || sent[0] < 0) {
    error = std::string("cannot start ") + args[0] + ": " +
            (got_pid ? std::strerror(sent[1]) : "no process");
    return -1;
  }
  if (failed) {
    error = std::string("cannot start ") + args[0] + ": " + std::strerror(exec_errno);
    return -1;
  }
  return sent[0];
}

void RestartAs(const std::vector<std::string>& args, std::string& error) {
  std::vector<std::string> copy = args;
  std::vector<char*> c_args;
  for (std::string& a : copy) c_args.push_back(a.data());
  c_args.push_back(nullptr);
  ::execv("/proc/self/exe", c_args.data());
  error = std::strerror(errno);
}

void PrepareProcess() {}

}  // namespace platform::os
