#pragma once
// The state of the file layer: the table of open packs and where loose files are
// looked for. One ResourceLayer per game; several may live in one process (tests).

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace res {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

inline constexpr int kPackSlotCount = 16;
inline constexpr int kPackHeaderSize = 280;
inline constexpr int kPackEntrySize = 96;
inline constexpr int kPackNameSize = 64;  // zero-terminated, so at most 63 characters
inline constexpr int32_t kPackVersion = 256;
// Handles address at most this many entries of one pack.
inline constexpr int32_t kPackMaxEntries = 65536;

// One directory record, unscrambled, with its hash recomputed from the name.
struct PackEntry {
  std::string name;    // as stored: upper case, backslash-separated
  uint32_t hash = 0;   // PackNameHash(name)
  int32_t offset = 0;  // from the data base, >= 0
  int32_t size = 0;    // bytes, >= 0
};

// One open pack. A slot is free while it has no stream.
struct PackSlot {
  std::string path;                // as given to PackOpen
  std::vector<PackEntry> entries;  // the directory, in stored order
  FilePtr stream;                  // shared by every handle on this pack
  int64_t data_base = 0;           // 280 + 96 * entry count
  int64_t file_size = 0;           // bytes in the pack file, for sanity checks before allocating

  bool open() const { return stream != nullptr; }
  int32_t entry_count() const { return static_cast<int32_t>(entries.size()); }
};

struct ResourceLayer {
  std::array<PackSlot, kPackSlotCount> slots;
  // Loose files are looked for below this folder; empty means the current directory.
  std::filesystem::path loose_root;
  // When false, a name no pack holds is not looked for on disk (the pack tools use this).
  bool loose_files = true;
};

}  // namespace res
