#include "res/loose_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <system_error>

#include "res/pack.h"

namespace res {
namespace {

namespace fs = std::filesystem;

// Opens `path` when it is a regular file; a folder opened for reading would
// only fail later, on the first read.
// A file to read is opened without waiting (a pipe would otherwise block
// until someone writes to it) and checked on its descriptor.
FilePtr OpenRegular(const fs::path& path, const char* mode) {
  if (std::string_view(mode) != "rb" && std::string_view(mode) != "r") {
    FilePtr f(std::fopen(path.c_str(), mode));
    if (!f) return nullptr;
    struct stat st {};
    if (fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    return f;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  FilePtr f(::fdopen(fd, mode));
  if (!f) ::close(fd);
  return f;
}

// The entry of `dir` whose name equals `want` ignoring case; the lowest in
// byte order when several do, so the choice never depends on listing order.
std::optional<fs::path> FindIgnoringCase(const fs::path& dir, std::string_view want) {
  std::error_code ec;
  fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec);
  if (ec) return std::nullopt;
  std::optional<std::string> best;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return std::nullopt;
    std::string n = it->path().filename().string();
    if (PackNamesEqual(n, want) && (!best || n < *best)) best = std::move(n);
  }
  if (!best) return std::nullopt;
  return dir / *best;
}

}  // namespace

fs::path LoosePath(const fs::path& root, std::string_view name) {
  std::string rel(name);
  for (char& c : rel) {
    if (c == '\\') c = '/';
  }
  return root.empty() ? fs::path(rel) : root / rel;
}

FilePtr LooseFileOpen(const fs::path& root, std::string_view name, const char* mode) {
  // A zero byte would cut the path short and open some other file.
  if (name.empty() || name.find('\0') != std::string_view::npos) return nullptr;
  const fs::path exact = LoosePath(root, name);
  if (FilePtr f = OpenRegular(exact, mode)) return f;

  // Walk the path one component at a time, matching each without regard to case.
  fs::path cur = exact.has_root_path() ? exact.root_path() : fs::path();
  for (const fs::path& part : exact.relative_path()) {
    const std::string p = part.string();
    if (p.empty() || p == ".") continue;
    std::error_code ec;
    if (p == ".." || fs::exists(cur / part, ec)) {
      cur /= part;
      continue;
    }
    std::optional<fs::path> found = FindIgnoringCase(cur, p);
    if (!found) return nullptr;
    cur = std::move(*found);
  }
  return OpenRegular(cur, mode);
}

}  // namespace res
