#pragma once
// The "SPR24" true-colour sprite file (.J24): a 312-byte header, optional
// 8-bit masks, then the frames as raw RGB or as one JPEG strip holding all
// frames side by side, each inside a border. Reading the header and writing
// whole files live here; LoadTrueColourSprite (true_colour_sprite.h) reads the
// rest through the file layer.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace render {

inline constexpr char kSpr24Tag[] = "SPR24";
inline constexpr size_t kSpr24HeaderSize = 312;
inline constexpr int32_t kMaxSpr24Frames = 256;
inline constexpr int32_t kMaxSpr24Border = 16;
// Frames of all sizes together may not hold more pixels than this (a hostile
// header cannot make the loader allocate more).
inline constexpr int64_t kMaxSpr24Pixels = int64_t{1} << 24;

enum : int32_t { kSpr24Raw = 0, kSpr24JpegStrip = 1 };
enum : int32_t { kSpr24NoMask = 0, kSpr24OneMask = 1, kSpr24MaskPerFrame = 2 };

struct Spr24Header {
  int32_t version = 1;
  int32_t bits_per_pixel = 24;
  int32_t value_a = 1;  // carried along, not used for drawing
  int32_t value_b = 1;
  int32_t width = 0;  // W, table pixels (1024-wide screen)
  int32_t height = 0;
  int32_t x = 0;  // top-left on the 1024-wide screen
  int32_t y = 0;
  int32_t frame_count = 0;
  int32_t encoding = kSpr24Raw;
  uint32_t key_colour = 0;  // 0x00RRGGBB: pixels of exactly this colour are transparent
  int32_t border = 0;       // around every frame in the JPEG strip
  int32_t mask_mode = kSpr24NoMask;

  // Masks stored after the header: 1 (mode 1), N (mode 2) or 0.
  int32_t MaskCount() const;
  // S and T of the strip: W (H) + 2 × border rounded up to a multiple of 8.
  int32_t StripFrameWidth() const;
  int32_t StripHeight() const;
};

// Reads and checks the 312-byte header. False (reason in `why`) when the tag,
// version, bit count, values A and B, sizes, frame count, encoding or border is
// out of bounds.
bool ParseSpr24Header(std::span<const uint8_t> file, Spr24Header& header,
                      std::string* why = nullptr);

// Everything a table builder says about a sprite file.
struct Spr24Desc {
  Spr24Header header;                        // frame_count is taken from frames.size()
  std::vector<std::vector<uint8_t>> frames;  // N frames of W × H × 3 bytes R, G, B
  // mask_mode 1: one mask; mode 2: N masks; each W × H bytes, 0 = transparent.
  std::vector<std::vector<uint8_t>> masks;
  int jpeg_quality = 90;  // encoding 1 only
};

// Writes a whole file: raw frames (encoding 0) or one JPEG strip of S × N by T
// pixels (encoding 1), whose border and padding repeat each frame's edge pixels
// so that no other colour bleeds into a frame through JPEG's blocks. False on
// inconsistent input (frame or mask sizes, a header the reader would refuse).
bool WriteSpr24File(const Spr24Desc& desc, std::vector<uint8_t>& out);

}  // namespace render
