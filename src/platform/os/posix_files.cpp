#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/os/files.h"

namespace platform::os {

namespace {

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool SyncFd(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

bool ReplaceFileDurably(const std::filesystem::path& file, std::span<const uint8_t> bytes,
                        std::string* error) {
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern = (folder / (file.filename().string() + ".XXXXXX")).string();
  std::vector<char> tmp(pattern.begin(), pattern.end());
  tmp.push_back('\0');

  auto fail = [&](int err) {
    if (error) *error = std::strerror(err);
    return false;
  };
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) return fail(errno);
  int err = 0;
  bool ok = WriteAll(fd, bytes) && SyncFd(fd);
  if (!ok) err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && std::rename(tmp.data(), file.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tmp.data());
    return fail(err);
  }
  // Make the rename itself durable. Some file systems cannot sync a folder;
  // the new file is in place either way.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    SyncFd(dir);
    ::close(dir);
  }
  return true;
}

bool MakeOwnFolders(const std::filesystem::path& folder) {
  std::filesystem::path built;
  for (const auto& part : folder) {
    built /= part;
    ::mkdir(built.c_str(), 0700);
  }
  std::error_code ec;
  return folder.empty() || std::filesystem::is_directory(folder, ec);
}

std::filesystem::path UserDataFolder() { return {}; }

std::string RecordedInstallFolder() { return {}; }

}  // namespace platform::os
