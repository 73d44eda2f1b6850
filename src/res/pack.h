#pragma once
// The resource pack ("MFILE"): a 280-byte header, a scrambled directory of
// 96-byte records, then the files' bytes. Reading (PackOpen) and writing
// (PackBuild) live together so the format has one home.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "res/resource_layer.h"

namespace res {

// The lookup hash of a pack name; letter case does not change it.
uint32_t PackNameHash(std::string_view name);

// True when two names are equal without regard to ASCII letter case, as lookups
// compare them (a backslash and a slash stay different characters).
bool PackNamesEqual(std::string_view a, std::string_view b);

// Scrambles or unscrambles (the same operation) a directory, byte 0 being the
// directory's first byte.
void PackScrambleDirectory(std::span<uint8_t> directory);

// Opens the pack file at `path` in the first free slot and loads its directory.
// False when all 16 slots are taken, the file cannot be opened, or the header or
// any directory entry is bad; the table is then unchanged. `error`, when given,
// receives a one-line reason.
bool PackOpen(ResourceLayer& layer, const std::string& path, std::string* error = nullptr);

// As PackOpen over an already open, seekable binary stream (taken over in all
// cases; closed on failure). `path` is only recorded. Serves in-memory packs.
bool PackOpenStream(ResourceLayer& layer, FilePtr stream, const std::string& path,
                    std::string* error = nullptr);

// One file to pack: its stored name and its bytes.
struct PackItem {
  std::string name;
  std::span<const uint8_t> bytes;
};

// Builds a whole pack: header, scrambled directory with hashes, then the bytes of
// every item in the given order with no gaps. Fails (empty result, reason in
// `error`) for no items, an empty name, a name over 63 characters or holding a
// zero byte, more than 65536 items, or more data than 32-bit offsets can address.
std::optional<std::vector<uint8_t>> PackBuild(std::span<const PackItem> items,
                                              std::string* error = nullptr);

}  // namespace res
