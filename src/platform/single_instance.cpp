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

std::string InstanceFolder(bool chosen, const std::string& data_folder, const char* runtime_dir) {
  if (!chosen && runtime_dir != nullptr && runtime_dir[0] == '/') {
    return (std::filesystem::path(runtime_dir) / "gfall").string();
  }
  return data_folder;
}

bool MakePrivateFolders(const std::string& path, std::string& error) {
  std::filesystem::path built;
  for (const auto& part : std::filesystem::path(path)) {
    built /= part;
    if (::mkdir(built.c_str(), 0700) != 0 && errno != EEXIST) {
      error = "cannot make the folder " + built.string() + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

InstanceResult AcquireSingleInstance(SingleInstance& s, const std::string& dir, bool ask_other,
                                     int wait_ms, std::string& error) {
  if (dir.empty()) {
    error = "no folder for the lock file";
    return InstanceResult::kError;
  }
  if (!MakePrivateFolders(dir, error)) return InstanceResult::kError;
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
    // The socket file takes its mode from the umask: only we may connect.
    const mode_t old_mask = ::umask(077);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::umask(old_mask);
    if (bound && ::chmod(s.socket_path.c_str(), 0600) == 0 && ::listen(fd, 4) == 0) {
      s.listen_fd = fd;
    } else if (fd >= 0) {
      ::close(fd);  // raising from a second copy is a nicety; play on without it
    }
  }
  return InstanceResult::kFirst;
}

bool PollRaiseRequest(SingleInstance& s) {
  if (s.listen_fd < 0) return false;
  for (size_t taken = 0; taken < kRaiseClients && s.clients.size() < kRaiseClients; ++taken) {
    int c = ::accept4(s.listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (c < 0) break;
    s.clients.push_back({c, kRaisePolls});
  }
  bool raise = false;
  for (auto it = s.clients.begin(); it != s.clients.end();) {
    char buf[16] = {};
    const ssize_t n = ::read(it->fd, buf, sizeof buf - 1);
    const bool waiting = n < 0 && (errno == EAGAIN || errno == EINTR);
    if (n > 0 && std::strncmp(buf, "raise", 5) == 0) raise = true;
    if (waiting && --it->polls_left > 0) {
      ++it;
      continue;
    }
    ::close(it->fd);  // heard from, gone, or silent for too long
    it = s.clients.erase(it);
  }
  return raise;
}

void ReleaseSingleInstance(SingleInstance& s) {
  for (const auto& c : s.clients) ::close(c.fd);
  s.clients.clear();
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
