#pragma once
// gfall-server and other programs run as child processes by the tests.

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "run_command.h"

namespace server_test {

using ShellRun = test_util::CommandRun;

// A shell command's exit status and its standard output and error together.
inline ShellRun Shell(const std::string& cmd) { return test_util::RunCommand(cmd + " 2>&1"); }

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// gfall-server started with `args` (and --listen 127.0.0.1:0), its standard
// error in `log`; port() is the port it reported, or -1.
class ServerProcess {
 public:
  ServerProcess(std::vector<std::string> args, std::filesystem::path log) : log_(std::move(log)) {
    args.insert(args.begin(), {GFALL_SERVER_EXE, "--listen", "127.0.0.1:0"});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlives a test that crashed
      const int fd = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) dup2(fd, 2);
      execv(argv[0], argv.data());
      _exit(127);
    }
    const std::regex listening("listening on http://127\\.0\\.0\\.1:([0-9]+)");
    for (int i = 0; i < 200 && port_ < 0; ++i) {
      std::smatch m;
      const std::string text = ReadFile(log_);
      if (std::regex_search(text, m, listening)) {
        port_ = std::stoi(m[1].str());
      } else if (waitpid(pid_, &status_, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
  }
  ~ServerProcess() { Stop(); }

  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string log() const { return ReadFile(log_); }

  // A signal (SIGTERM unless said), then the exit status (-1 when it did not
  // exit normally in 10 s).
  int Stop(int sig = SIGTERM) {
    if (pid_ <= 0) return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    kill(pid_, sig);
    for (int i = 0; i < 200; ++i) {
      if (waitpid(pid_, &status_, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
    pid_ = -1;
    return -1;
  }

 private:
  std::filesystem::path log_;
  pid_t pid_ = -1;
  int port_ = -1;
  int status_ = 0;
};

}  // namespace server_test
