#include "res/pack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "core/byte_io.h"

namespace res {
namespace {

constexpr std::array<uint8_t, 4> kDirectoryKey = {0x5C, 0xE1, 0x27, 0x94};
constexpr uint32_t kHashStart = 0x71A416C3u;
constexpr char kMagic[] = "MFILE";  // with its terminating zero: 6 bytes

void SetError(std::string* error, const char* text) {
  if (error) *error = text;
}

}  // namespace

uint32_t PackNameHash(std::string_view name) {
  uint32_t h = kHashStart;
  for (char c : name) {
    // Each byte counts as a signed value widened with its sign.
    uint32_t u = static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
    if (u >= 'a' && u <= 'z') u -= 'a' - 'A';
    h = h * 37u + (u ^ (u << 3) ^ (u << 7) ^ (u << 12) ^ (u << 15) ^ (u << 21) ^ (u << 25));
  }
  return h;
}

bool PackNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
  for (size_t i = 0; i < a.size(); ++i) {
    if (up(a[i]) != up(b[i])) return false;
  }
  return true;
}

void PackScrambleDirectory(std::span<uint8_t> directory) {
  for (size_t i = 0; i < directory.size(); ++i) {
    directory[i] ^= static_cast<uint8_t>((i ^ kDirectoryKey[i % 4]) & 0xFF);
  }
}

bool PackOpen(ResourceLayer& layer, const std::string& path, std::string* error) {
  // Check for a free slot before touching the file.
  bool any_free = false;
  for (const PackSlot& s : layer.slots) any_free = any_free || !s.open();
  if (!any_free) {
    SetError(error, "all pack slots are in use");
    return false;
  }
  // Only a regular file is a pack: a FIFO would block the open for ever, and
  // a folder is better named than read as an empty file.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    SetError(error, (std::string("cannot open the file: ") + std::strerror(errno)).c_str());
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    SetError(error, "is a folder, not a file");
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    SetError(error, "is not a regular file");
    return false;
  }
  // Opened without waiting and checked again on the descriptor: the name
  // may have been swapped for a pipe since it was looked at.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    SetError(error, (std::string("cannot open the file: ") + std::strerror(errno)).c_str());
    return false;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    SetError(error, "is not a regular file");
    return false;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  FilePtr stream(::fdopen(fd, "rb"));
  if (!stream) {
    ::close(fd);
    SetError(error, (std::string("cannot open the file: ") + std::strerror(errno)).c_str());
    return false;
  }
  return PackOpenStream(layer, std::move(stream), path, error);
}

bool PackOpenStream(ResourceLayer& layer, FilePtr stream, const std::string& path,
                    std::string* error) {
  PackSlot* slot = nullptr;
  for (PackSlot& s : layer.slots) {
    if (!s.open()) {
      slot = &s;
      break;
    }
  }
  if (!slot) {
    SetError(error, "all pack slots are in use");
    return false;
  }
  if (!stream) {
    SetError(error, "cannot open the file");
    return false;
  }
  std::FILE* f = stream.get();

  // The file's length bounds the directory before anything is allocated for it.
  if (fseeko(f, 0, SEEK_END) != 0) {
    SetError(error, "cannot seek in the file");
    return false;
  }
  const int64_t file_size = ftello(f);
  if (file_size < 0 || fseeko(f, 0, SEEK_SET) != 0) {
    SetError(error, "cannot seek in the file");
    return false;
  }

  std::array<uint8_t, kPackHeaderSize> header{};
  if (std::fread(header.data(), 1, header.size(), f) != header.size()) {
    SetError(error, "file too short for a pack header");
    return false;
  }
  if (std::memcmp(header.data(), kMagic, sizeof kMagic) != 0) {
    SetError(error, "not a pack (bad magic)");
    return false;
  }
  core::ByteReader hr(header);
  hr.Seek(16);
  const int32_t version = hr.I32();
  const int32_t count = hr.I32();
  if (version != kPackVersion) {
    SetError(error, "unsupported pack version");
    return false;
  }
  if (count <= 0) {
    SetError(error, "bad entry count");
    return false;
  }
  const int64_t dir_bytes = int64_t{count} * kPackEntrySize;
  if (dir_bytes > file_size - kPackHeaderSize) {
    SetError(error, "file too short for its directory");
    return false;
  }
  std::vector<uint8_t> dir(static_cast<size_t>(dir_bytes));
  if (std::fread(dir.data(), 1, dir.size(), f) != dir.size()) {
    SetError(error, "file too short for its directory");
    return false;
  }
  PackScrambleDirectory(dir);

  std::vector<PackEntry> entries(static_cast<size_t>(count));
  core::ByteReader dr(dir);
  for (PackEntry& e : entries) {
    const size_t at = dr.pos();
    std::span<const uint8_t> name = dr.Take(kPackNameSize);
    dr.Skip(4);  // the stored hash is never trusted
    e.offset = dr.I32();
    e.size = dr.I32();
    dr.Seek(at + kPackEntrySize);
    const void* end = std::memchr(name.data(), 0, name.size());
    if (!dr.ok() || end == nullptr) {
      // A name without its terminating zero cannot be looked up safely.
      SetError(error, "directory entry with an unterminated name");
      return false;
    }
    if (e.offset < 0 || e.size < 0) {
      SetError(error, "directory entry with a negative offset or size");
      return false;
    }
    e.name.assign(reinterpret_cast<const char*>(name.data()),
                  static_cast<const uint8_t*>(end) - name.data());
    e.hash = PackNameHash(e.name);
  }

  const int64_t data_base = kPackHeaderSize + dir_bytes;
  if (fseeko(f, data_base, SEEK_SET) != 0) {
    SetError(error, "cannot seek in the file");
    return false;
  }
  slot->entries = std::move(entries);
  slot->data_base = data_base;
  slot->file_size = file_size;
  slot->path = path;
  slot->stream = std::move(stream);
  return true;
}

std::optional<std::vector<uint8_t>> PackBuild(std::span<const PackItem> items, std::string* error) {
  if (items.empty()) {
    SetError(error, "a pack needs at least one file");
    return std::nullopt;
  }
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  if (items.size() > static_cast<size_t>(kPackMaxEntries)) {
    SetError(error, "too many files for one pack");
    return std::nullopt;
  }
  int64_t data_size = 0;
  for (const PackItem& it : items) {
    if (it.name.empty() || it.name.size() >= kPackNameSize ||
        it.name.find('\0') != std::string::npos) {
      SetError(error, "entry names must be 1 to 63 characters with no zero byte");
      return std::nullopt;
    }
    // Offsets and sizes are signed 32-bit: the data area must stay addressable.
    if (static_cast<int64_t>(it.bytes.size()) > kMax - data_size) {
      SetError(error, "too much data for one pack");
      return std::nullopt;
    }
    data_size += static_cast<int64_t>(it.bytes.size());
  }

  core::ByteWriter w;
  w.FixedString("MFILE", 16);
  w.I32(kPackVersion);
  w.I32(static_cast<int32_t>(items.size()));
  w.FixedString("", kPackHeaderSize - 24);

  const size_t dir_at = w.size();
  int64_t offset = 0;
  for (const PackItem& it : items) {
    w.FixedString(it.name, kPackNameSize);
    w.U32(PackNameHash(it.name));
    w.I32(static_cast<int32_t>(offset));
    w.I32(static_cast<int32_t>(it.bytes.size()));
    w.FixedString("", kPackEntrySize - kPackNameSize - 12);
    offset += static_cast<int64_t>(it.bytes.size());
  }
  std::vector<uint8_t> out = w.Release();
  PackScrambleDirectory(std::span<uint8_t>(out).subspan(dir_at));
  out.reserve(out.size() + static_cast<size_t>(data_size));
  for (const PackItem& it : items) out.insert(out.end(), it.bytes.begin(), it.bytes.end());
  return out;
}

}  // namespace res
