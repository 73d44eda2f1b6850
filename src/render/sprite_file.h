#pragma once
// The "SPRITE" file format: reading its structure (no preparation for the
// display) and writing it. LoadImageSet and the tools share the reader; the
// table builder writes every set through WriteSpriteFile.
//
// Layout: 104-byte header, n × 68-byte frame entries, palette count × 768-byte
// palettes, the colour cube block (c > 0: c coded bytes of a 32 768-byte cube;
// c < 0: −c coded bytes of a 65 536-byte table; 0: none), then each frame's data.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "render/image_set.h"

namespace render {

// Limits that keep a hostile file from asking for absurd amounts of memory.
inline constexpr int32_t kMaxFrameSide = 8192;
inline constexpr int64_t kMaxFramePixels = int64_t{1} << 22;
inline constexpr int32_t kMaxHotSpot = 1 << 16;

struct ParsedSpriteFile {
  int32_t version = 0;
  int32_t frame_count = 0;
  int16_t bits_per_pixel = 0;
  int16_t palette_precision = 0;
  int32_t palette_count = 0;
  int32_t compression = 0;
  int32_t cube_block_size = 0;
  Palette palette{};  // the last palette, 6-bit components already multiplied by 4
  std::span<const uint8_t> cube_block;
  std::vector<SpriteFrame> frames;  // memory fields cleared, pixels empty
  std::vector<std::span<const uint8_t>> frame_data;
};

// Checks and splits a file. False (with a reason when `why` is given) when the
// tag, version, bits, sizes or any part does not fit the file.
bool ParseSpriteFile(std::span<const uint8_t> file, ParsedSpriteFile& out,
                     std::string* why = nullptr);

struct SpriteFileFrame {
  int32_t width = 0;
  int32_t height = 0;
  int32_t hot_x = 0;
  int32_t hot_y = 0;
  uint8_t key = 0;
  std::vector<uint8_t> pixels;  // width × height indices
};

struct SpriteFileDesc {
  std::vector<SpriteFileFrame> frames;
  Palette palette{};
  bool six_bit_palette = false;  // store components >> 2 with precision 0
  int32_t compression = kStoredPlain;
  // Empty: no colour cube block. 32 768 bytes: a cube. 65 536 bytes: a table T
  // read as cube[r × 1024 + g × 32 + b] = T[r × 2048 + g × 64 + b].
  std::vector<uint8_t> cube;
};

// Writes a complete file. Fails on inconsistent frames (pixel count ≠ width ×
// height), a cube of another size, or compression 2 without two frames of one size.
bool WriteSpriteFile(const SpriteFileDesc& desc, std::vector<uint8_t>& out);

}  // namespace render
