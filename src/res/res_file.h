#pragma once
// The file layer: every data file of the game is opened by name here. A name is
// looked up in the open packs first (case-insensitive; '\' and '/' are different
// characters), and when no pack holds it, opened as a loose file on disk.
//
// Loose files: the name's backslashes become '/' and the path is taken below
// ResourceLayer::loose_root (the current directory when empty). The exact path
// is tried first; when it does not exist, each path component is matched
// without regard to ASCII letter case by listing its folder (the first match in
// byte order wins when several differ only in case). Only regular files open.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "res/resource_layer.h"

namespace res {

// A handle on a file read through the layer. A packed file is named by slot and
// entry and owns nothing; a loose file owns its stream.
struct ResFile {
  FilePtr stream;        // loose file, or null
  int32_t slot = -1;     // pack slot, or -1
  int32_t entry = -1;    // entry within that pack, or -1
  int32_t position = 0;  // byte offset within a packed file
};

inline constexpr int kResEof = EOF;
inline constexpr uint8_t kResReadKey = 0xA6;

// Opens `name` (pack first, then disk with `mode`, normally "rb"). An empty name
// fails without touching the disk.
bool ResFileOpen(const ResourceLayer& layer, std::string_view name, const char* mode,
                 ResFile& file);
// Releases a loose file's stream; leaves any handle unusable (slot, entry, position -1).
void ResFileClose(ResFile& file);

// Reads up to `count` whole items of `size` bytes; returns the items read. A
// trailing partial item at the end of a packed file is never read.
size_t ResFileRead(ResourceLayer& layer, void* buffer, size_t size, size_t count, ResFile& file);
// As ResFileRead, every byte delivered XOR kResReadKey.
size_t ResFileReadXor(ResourceLayer& layer, void* buffer, size_t size, size_t count, ResFile& file);
// The next byte (0-255), or kResEof at the end or on any failure.
int ResFileGetc(ResourceLayer& layer, ResFile& file);
// origin 0 start, 1 current, 2 end. 0 on success; non-zero (position kept) when the
// target is negative or beyond the end of a packed file, or the handle is unusable.
int ResFileSeek(ResourceLayer& layer, ResFile& file, int64_t offset, int origin);

// Positions the handle as ResFileSeek does and returns a stdio stream placed at
// that same byte, or null on failure. The stream belongs to the layer (packed
// file) or to the handle (loose file): never close it. For a packed file it is
// the pack's shared stream, so its bytes run on past the end of the entry into
// whatever follows: the reader must know where its data ends (a JPEG stops at
// its end marker) and must finish before any other handle on that pack is used.
// libjpeg takes it as is: jpeg_stdio_src(&cinfo, ResFileStreamAt(layer, f, 0, 0)).
std::FILE* ResFileStreamAt(ResourceLayer& layer, ResFile& file, int64_t offset, int origin);

// Size in bytes; 0 for an unusable handle.
int64_t ResFileSize(const ResourceLayer& layer, ResFile& file);
// Current position (loose: the stream's; packed: the handle's).
int64_t ResFileTell(const ResFile& file);

// The whole file, or nothing when it cannot be opened or read in full. A file of
// size 0 gives an empty buffer.
std::optional<std::vector<uint8_t>> ResLoadWhole(ResourceLayer& layer, std::string_view name);
// As ResLoadWhole on a handle already open (e.g. one naming a pack entry by its
// index), from its first byte; always closes the handle.
std::optional<std::vector<uint8_t>> ResLoadOpen(ResourceLayer& layer, ResFile& file);

}  // namespace res
