#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "core/file_io.h"

namespace core {

namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  void Release() { fd_ = -1; }
  // Closes now, so a failing close is seen.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

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

std::string SizeText(uint64_t bytes) {
  if (bytes >= (1ull << 20) && bytes % (1ull << 20) == 0) {
    return std::to_string(bytes >> 20) + " MB";
  }
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KB";
  return std::to_string(bytes) + " bytes";
}

bool ReadRegularFile(const std::filesystem::path& path, uint64_t max_bytes,
                     std::vector<uint8_t>& bytes, std::string& error) {
  bytes.clear();
  // Non-blocking, so that opening a pipe returns at once; the type is then
  // checked on the descriptor itself.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    error = "is a folder, not a file";
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = "is not a regular file";
    return false;
  }
  if (static_cast<uint64_t>(st.st_size) > max_bytes) {
    error = "is larger than " + SizeText(max_bytes);
    return false;
  }
  // Back to blocking reads for a regular file.
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  bytes.resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  // The file may grow while it is read: read at most one byte past the
  // limit to tell.
  while (true) {
    if (done == bytes.size()) {
      if (bytes.size() > max_bytes) break;
      bytes.resize(std::min<uint64_t>(max_bytes + 1, bytes.size() + 65536));
    }
    const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  if (done > max_bytes) {
    error = "is larger than " + SizeText(max_bytes);
    bytes.clear();
    return false;
  }
  bytes.resize(done);
  return true;
}

bool ReadRegularTextFile(const std::filesystem::path& path, uint64_t max_bytes, std::string& text,
                         std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadRegularFile(path, max_bytes, bytes, error)) return false;
  text.assign(bytes.begin(), bytes.end());
  return true;
}

bool WriteFileSafelyVia(const std::filesystem::path& file, std::span<const uint8_t> bytes,
                        std::span<const std::string> temporary_names, std::string& error) {
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  // Created new, never through a link: a name planted in advance (a link, a
  // file) makes the create fail, and the next name is tried.
  std::string tmp;
  int raw = -1;
  errno = EEXIST;
  for (const std::string& name : temporary_names) {
    tmp = (folder / name).string();
    raw = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (raw >= 0 || errno != EEXIST) break;
  }
  if (raw < 0) {
    error = std::strerror(errno);
    return false;
  }
  Fd fd(raw);
  // The umask may only take bits away; this makes sure of 0600.
  bool ok = ::fchmod(fd.get(), 0600) == 0 && WriteAll(fd.get(), bytes) && SyncFd(fd.get());
  int err = ok ? 0 : errno;
  if (!fd.Close() && ok) {
    ok = false;
    err = errno;
  }
  // rename replaces a link at the target's name; it never writes through it.
  if (ok && std::rename(tmp.c_str(), file.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    error = std::strerror(err);
    return false;
  }
  // Makes the rename itself durable. Some file systems cannot sync a folder;
  // the new file is in place either way.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    SyncFd(dir);
    ::close(dir);
  }
  return true;
}

bool WriteFileSafely(const std::filesystem::path& file, std::span<const uint8_t> bytes,
                     std::string& error) {
  // The file's name, a dot and six letters or digits (the form the game
  // data's clean-up of stale temporaries knows).
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device rd;
  std::vector<std::string> names;
  for (int i = 0; i < 16; ++i) {
    std::string name = file.filename().string() + ".";
    for (int k = 0; k < 6; ++k) name += kChars[rd() % 36];
    names.push_back(std::move(name));
  }
  return WriteFileSafelyVia(file, bytes, names, error);
}

std::FILE* OpenPrivateFileForWriting(const std::filesystem::path& file, std::string& error) {
  // Non-blocking, so that a pipe at the name does not wait for a reader.
  const int fd = ::open(file.c_str(),
                        O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) {
    error = errno == ELOOP ? "is a link" : std::strerror(errno);
    return nullptr;
  }
  Fd owned(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "is not a regular file";
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (::ftruncate(fd, 0) != 0 || ::fchmod(fd, 0600) != 0 ||
      (flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)) {
    error = std::strerror(errno);
    return nullptr;
  }
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    error = std::strerror(errno);
    return nullptr;
  }
  owned.Release();
  return f;
}

bool CreatePrivateFolders(const std::filesystem::path& folder, std::string& error) {
  if (folder.empty()) return true;
  std::filesystem::path so_far;
  for (const std::filesystem::path& part : folder) {
    so_far /= part;
    if (::mkdir(so_far.c_str(), 0700) == 0) {
      // The umask may have taken bits away.
      ::chmod(so_far.c_str(), 0700);
      continue;
    }
    if (errno != EEXIST) {
      error = "cannot create the folder " + so_far.string() + ": " + std::strerror(errno);
      return false;
    }
    struct stat st {};
    if (::stat(so_far.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      error = "cannot create the folder " + so_far.string() + ": something else has its name";
      return false;
    }
  }
  return true;
}

}  // namespace core
