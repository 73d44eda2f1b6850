#pragma once
// `gftool info FILE` describes any data file it knows. Each format lives in its
// own info_<format>.cpp and registers itself with GFTOOL_INFO_FORMAT; the
// command picks the first whose Matches accepts the file.

#include <cstdint>
#include <cstring>
#include <ostream>
#include <span>

namespace gftool {

struct InfoFormat {
  const char* name;
  bool (*matches)(std::span<const uint8_t> file);
  // Writes the description; returns the exit code (1 after a message when the file is bad).
  int (*describe)(std::span<const uint8_t> file, std::ostream& out);
};

struct InfoRegistrar {
  explicit InfoRegistrar(InfoFormat f);
};

// True when the zero-padded text field at `offset` holds exactly `tag`.
inline bool TagAt(std::span<const uint8_t> file, size_t offset, const char* tag) {
  size_t n = std::strlen(tag);
  if (file.size() < offset + n + 1) return false;
  return std::memcmp(file.data() + offset, tag, n) == 0 && file[offset + n] == 0;
}

}  // namespace gftool

#define GFTOOL_INFO_FORMAT(name, matches, describe)               \
  static ::gftool::InfoRegistrar GFTOOL_INFO_CONCAT(gftool_info_, \
                                                    __LINE__)({name, matches, describe})
#define GFTOOL_INFO_CONCAT2(a, b) a##b
#define GFTOOL_INFO_CONCAT(a, b) GFTOOL_INFO_CONCAT2(a, b)
