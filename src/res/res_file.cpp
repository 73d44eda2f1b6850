#include "res/res_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "res/loose_file.h"
#include "res/pack.h"

namespace res {
namespace {

// The pack slot and entry a packed-file handle names, or nothing when the handle
// is unusable (closed, out of range, or its pack is not open).
struct Packed {
  const PackSlot* slot;
  const PackEntry* entry;
};

std::optional<Packed> Usable(const ResourceLayer& layer, const ResFile& file) {
  const auto slot = static_cast<uint32_t>(file.slot);
  const auto entry = static_cast<uint32_t>(file.entry);
  if (slot >= static_cast<uint32_t>(kPackSlotCount) ||
      entry >= static_cast<uint32_t>(kPackMaxEntries)) {
    return std::nullopt;
  }
  const PackSlot& s = layer.slots[slot];
  if (!s.open() || entry >= s.entries.size()) return std::nullopt;
  return Packed{&s, &s.entries[entry]};
}

bool PlaceStream(const Packed& p, int64_t position) {
  return fseeko(p.slot->stream.get(), p.slot->data_base + p.entry->offset + position, SEEK_SET) ==
         0;
}

}  // namespace

bool ResFileOpen(const ResourceLayer& layer, std::string_view name, const char* mode,
                 ResFile& file) {
  if (name.empty()) return false;
  const uint32_t hash = PackNameHash(name);
  file.stream.reset();
  file.slot = -1;
  file.entry = -1;
  file.position = 0;
  for (int s = 0; s < kPackSlotCount; ++s) {
    const PackSlot& slot = layer.slots[s];
    if (!slot.open()) continue;
    // Entries past what a handle can address are never handed out.
    const size_t count = std::min(slot.entries.size(), static_cast<size_t>(kPackMaxEntries));
    for (size_t e = 0; e < count; ++e) {
      const PackEntry& entry = slot.entries[e];
      if (entry.hash == hash && PackNamesEqual(entry.name, name)) {
        file.slot = s;
        file.entry = static_cast<int32_t>(e);
        return true;
      }
    }
  }
  if (!layer.loose_files) return false;
  file.stream = LooseFileOpen(layer.loose_root, name, mode ? mode : "rb");
  return file.stream != nullptr;
}

void ResFileClose(ResFile& file) {
  file.stream.reset();
  file.slot = -1;
  file.entry = -1;
  file.position = -1;
}

size_t ResFileRead(ResourceLayer& layer, void* buffer, size_t size, size_t count, ResFile& file) {
  if (file.stream) return std::fread(buffer, size, count, file.stream.get());
  const std::optional<Packed> p = Usable(layer, file);
  if (!p || file.position < 0 || size == 0 || count == 0) return 0;
  if (file.position >= p->entry->size) return 0;
  // Only whole items that fit before the end of the entry are read.
  const auto left = static_cast<size_t>(p->entry->size - file.position);
  if (count > left / size) count = left / size;
  if (count == 0 || !PlaceStream(*p, file.position)) return 0;
  const size_t got = std::fread(buffer, size, count, p->slot->stream.get());
  file.position += static_cast<int32_t>(size * got);
  return got;
}

size_t ResFileReadXor(ResourceLayer& layer, void* buffer, size_t size, size_t count,
                      ResFile& file) {
  const size_t got = ResFileRead(layer, buffer, size, count, file);
  auto* bytes = static_cast<uint8_t*>(buffer);
  for (size_t i = 0; i < size * got; ++i) bytes[i] ^= kResReadKey;
  return got;
}

int ResFileGetc(ResourceLayer& layer, ResFile& file) {
  if (file.stream) return std::fgetc(file.stream.get());
  const std::optional<Packed> p = Usable(layer, file);
  // Failures read as the end of the file, so a byte loop always stops.
  if (!p || file.position < 0 || file.position >= p->entry->size) return kResEof;
  if (!PlaceStream(*p, file.position)) return kResEof;
  const int c = std::fgetc(p->slot->stream.get());
  if (c == EOF) return kResEof;
  ++file.position;
  return c;
}

namespace {

// The packed-file position a seek lands on, or nothing when it is not allowed.
std::optional<int32_t> SeekTarget(const Packed& p, const ResFile& file, int64_t offset,
                                  int origin) {
  int64_t base = 0;
  if (origin == 1) {
    base = file.position;
  } else if (origin == 2) {
    base = p.entry->size;
  } else if (origin != 0) {
    return std::nullopt;
  }
  // Offsets come from file data; keep the sum from overflowing.
  if (offset > std::numeric_limits<int32_t>::max() ||
      offset < std::numeric_limits<int32_t>::min()) {
    return std::nullopt;
  }
  const int64_t target = base + offset;
  if (target < 0 || target > p.entry->size) return std::nullopt;
  return static_cast<int32_t>(target);
}

int WhenceOf(int origin) {
  return origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : -1;
}

}  // namespace

int ResFileSeek(ResourceLayer& layer, ResFile& file, int64_t offset, int origin) {
  if (file.stream) {
    const int whence = WhenceOf(origin);
    if (whence < 0) return 1;
    return fseeko(file.stream.get(), offset, whence) == 0 ? 0 : 1;
  }
  const std::optional<Packed> p = Usable(layer, file);
  if (!p) return 1;
  const std::optional<int32_t> target = SeekTarget(*p, file, offset, origin);
  if (!target) return 1;
  file.position = *target;
  return 0;
}

std::FILE* ResFileStreamAt(ResourceLayer& layer, ResFile& file, int64_t offset, int origin) {
  if (file.stream) {
    return ResFileSeek(layer, file, offset, origin) == 0 ? file.stream.get() : nullptr;
  }
  const std::optional<Packed> p = Usable(layer, file);
  if (!p) return nullptr;
  const std::optional<int32_t> target = SeekTarget(*p, file, offset, origin);
  if (!target) return nullptr;
  file.position = *target;
  return PlaceStream(*p, file.position) ? p->slot->stream.get() : nullptr;
}

int64_t ResFileSize(const ResourceLayer& layer, ResFile& file) {
  if (file.stream) {
    std::FILE* f = file.stream.get();
    const int64_t at = ftello(f);
    if (at < 0 || fseeko(f, 0, SEEK_END) != 0) return 0;
    const int64_t size = ftello(f);
    fseeko(f, at, SEEK_SET);
    return size < 0 ? 0 : size;
  }
  const std::optional<Packed> p = Usable(layer, file);
  return p ? p->entry->size : 0;
}

int64_t ResFileTell(const ResFile& file) {
  if (file.stream) return ftello(file.stream.get());
  return file.position;
}

std::optional<std::vector<uint8_t>> ResLoadWhole(ResourceLayer& layer, std::string_view name) {
  ResFile file;
  if (!ResFileOpen(layer, name, "rb", file)) return std::nullopt;
  return ResLoadOpen(layer, file);
}

std::optional<std::vector<uint8_t>> ResLoadOpen(ResourceLayer& layer, ResFile& file) {
  const std::optional<Packed> p = Usable(layer, file);
  const int64_t size = ResFileSize(layer, file);
  // An entry that claims more bytes than its pack holds cannot be read whole;
  // refuse it before allocating what the directory claims.
  if ((!file.stream && (!p || p->slot->data_base + p->entry->offset + size > p->slot->file_size)) ||
      ResFileSeek(layer, file, 0, 0) != 0) {
    ResFileClose(file);
    return std::nullopt;
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(size));
  const size_t got = ResFileRead(layer, buffer.data(), 1, buffer.size(), file);
  ResFileClose(file);
  if (got != buffer.size()) return std::nullopt;
  return buffer;
}

}  // namespace res
