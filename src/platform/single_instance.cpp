#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

namespace platform {

namespace {

bool FillAddress(sockaddr_un& addr, const std::string& path) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool AskOtherToRaise(const std::string& socket_path) {
  sockaddr_un addr;
  if (!FillAddress(addr, socket_path)) return false;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ::write(fd, "raise\n", 6) == 6;
  ::close(fd);
  return ok;
}

}  // namespace

InstanceResult AcquireSingleInstance(SingleInstance& s, const std::string& dir, bool ask_other,
                                     int wait_ms, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  s.lock_path = dir + "/gfall.lock";
  s.socket_path = dir + "/gfall.sock";
  s.lock_fd = ::open(s.lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (s.lock_fd < 0) {
    error = "cannot open the lock file " + s.lock_path + ": " + std::strerror(errno);
    return InstanceResult::kError;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  while (::flock(s.lock_fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      error = "cannot lock " + s.lock_path + ": " + std::strerror(errno);
      ReleaseSingleInstance(s);
      return InstanceResult::kError;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(s.lock_fd);
      s.lock_fd = -1;
      if (ask_other && AskOtherToRaise(s.socket_path)) return InstanceResult::kRaisedOther;
      return InstanceResult::kOtherRunning;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // We own the lock: any socket file left is stale.
  ::unlink(s.socket_path.c_str());
  sockaddr_un addr;
  if (FillAddress(addr, s.socket_path)) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::listen(fd, 4) == 0) {
      s.listen_fd = fd;
    } else if (fd >= 0) {
      ::close(fd);  // raising from a second copy is a nicety; play on without it
    }
  }
  return InstanceResult::kFirst;
}

bool PollRaiseRequest(SingleInstance& s) {
  if (s.listen_fd < 0) return false;
  bool raise = false;
  for (;;) {
    int c = ::accept4(s.listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (c < 0) break;
    char buf[16] = {};
    // The client writes before it closes; wait briefly for the bytes.
    for (int tries = 0; tries < 50; ++tries) {
      ssize_t n = ::read(c, buf, sizeof buf - 1);
      if (n > 0) {
        if (std::strncmp(buf, "raise", 5) == 0) raise = true;
        break;
      }
      if (n == 0 || (errno != EAGAIN && errno != EINTR)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::close(c);
  }
  return raise;
}

void ReleaseSingleInstance(SingleInstance& s) {
  if (s.listen_fd >= 0) {
    ::close(s.listen_fd);
    s.listen_fd = -1;
    ::unlink(s.socket_path.c_str());
  }
  if (s.lock_fd >= 0) {
    ::flock(s.lock_fd, LOCK_UN);
    ::close(s.lock_fd);
    s.lock_fd = -1;
  }
}

}  // namespace platform
