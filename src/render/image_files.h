#pragma once
// The 8-bit and 16-bit data files besides the sprites: masks ("IMMASK"),
// 8-bit pictures ("SCREEN"), the playfield depth map ("Z-BUFFER"), the depth
// frames of moving parts ("Z-BUFFERS"), the 64 KB lookup tables ("MAPS") and
// the table palette. Each format is read and written here, so the table
// builder and the game share one definition.
//
// Readers come in two forms: Parse* on the bytes of a whole file, and Load* on
// a name read through the file layer (pack first, then loose files). Every
// reader treats sizes as hostile; on failure the record is left empty.
//
// Writers take plain in-memory images and fill `out` with the complete file;
// they return false (and leave `out` empty) when the input is inconsistent.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "render/pixel_format.h"
#include "res/resource_layer.h"

namespace render {

inline constexpr char kMaskTag[] = "IMMASK";
inline constexpr char kScreenTag[] = "SCREEN";
inline constexpr char kDepthTag[] = "Z-BUFFER";
inline constexpr char kPartDepthTag[] = "Z-BUFFERS";
inline constexpr char kTableTag[] = "MAPS";
inline constexpr size_t kMaskHeaderSize = 44;
inline constexpr size_t kScreenHeaderSize = 68;
inline constexpr size_t kDepthHeaderSize = 108;
inline constexpr size_t kPartDepthHeaderSize = 128;
inline constexpr size_t kTableHeaderSize = 828;
inline constexpr size_t kTableSize = 65536;
inline constexpr int32_t kMaxPartDepthFrames = 64;
// No image of the game comes near this; a hostile header cannot ask for more.
inline constexpr int64_t kMaxImagePixels = int64_t{1} << 24;

enum : int32_t { kMaskPlain = 0, kMaskCoded = 1 };

// An 8-bit mask: 0 = transparent, anything else = keep.
struct MaskImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bytes;  // width × height
};

// An 8-bit picture of palette indices.
struct ScreenImage {
  int32_t width = 0;
  int32_t height = 0;
  int32_t byte_count = 0;
  std::vector<uint8_t> bytes;  // width × height, rows top to bottom
};

// The camera stored with every depth file: screen x = X·fx/W + cx, y = Y·fy/W + cy,
// depth = (W − z0) × 16384 / (z1 − z0) (larger is nearer).
struct DepthCamera {
  float fx = 0, fy = 0, cx = 0, cy = 0;
  // 3 × 4, column by column: elements 0, 3, 6, 9 are the x row, 1, 4, 7, 10 the y
  // row, 2, 5, 8, 11 the w row.
  std::array<float, 12> matrix{};
  uint32_t value_e = 0;  // carried, not used
  float z1 = 0, z0 = 0;
};

// The playfield depth map at the current resolution.
struct DepthMap {
  std::vector<int16_t> data;  // width × height, rows top to bottom
  int32_t byte_count = 0;     // width × height × 2
  int32_t width = 0, height = 0;
  DepthCamera camera;
  int32_t x = 0, y = 0;  // screen position of the top-left pixel
};

// The depth frames of a moving part; width and height describe one frame.
struct PartDepth {
  int32_t width = 0, height = 0;
  DepthCamera camera;
  int32_t x = 0, y = 0;  // where the frames go in the playfield depth map
  int32_t frame_count = 0;
  std::vector<std::vector<int16_t>> frames;  // frame_count × (width × height)
};

using LookupTable256 = std::array<uint8_t, kTableSize>;  // [first × 256 + second]

// --- masks ("IMMASK", .IMS) ---

bool ParseMask(std::span<const uint8_t> file, MaskImage& mask);
bool LoadMask(MaskImage& mask, res::ResourceLayer& layer, std::string_view name);
// Nearest-sample resampling to the display scale; nothing to do (true) at scale 1.
bool ScaleMask(MaskImage& mask, const DisplayFormat& format);
// coding kMaskPlain stores the bytes; kMaskCoded one codec block (literals when
// the coder declines the data). bytes.size() must be width × height.
bool WriteMaskFile(int32_t width, int32_t height, std::span<const uint8_t> bytes, int32_t coding,
                   std::vector<uint8_t>& out);

// --- 8-bit pictures ("SCREEN", .LSC) ---

// With `palette` the 768-byte palette the header points to is read too.
bool ParseScreenImage(std::span<const uint8_t> file, Palette* palette, ScreenImage& image);
bool LoadScreenImage(res::ResourceLayer& layer, std::string_view name, Palette* palette,
                     ScreenImage& image);
// Palette at offset 68, pixels at 836. Width and height 1..65535.
bool WriteScreenFile(int32_t width, int32_t height, std::span<const uint8_t> pixels,
                     const Palette& palette, std::vector<uint8_t>& out);

// --- depth maps ("Z-BUFFER", .Z16, and "Z-BUFFERS", .ZS2) ---

// Reads the file and brings it to the display scale (smallest of each 2 × 2
// source block, so thin near objects never grow).
bool ParseDepthMap(std::span<const uint8_t> file, const DisplayFormat& format, DepthMap& map);
bool LoadDepthMap(res::ResourceLayer& layer, std::string_view name, const DisplayFormat& format,
                  DepthMap& map);
bool ParsePartDepth(std::span<const uint8_t> file, const DisplayFormat& format, PartDepth& part);
bool LoadPartDepth(res::ResourceLayer& layer, std::string_view name, const DisplayFormat& format,
                   PartDepth& part);
// depth.size() must be width × height.
bool WriteDepthFile(int32_t width, int32_t height, std::span<const int16_t> depth,
                    const DepthCamera& camera, int32_t x, int32_t y, std::vector<uint8_t>& out);
// 1 to 64 frames of width × height each.
bool WritePartDepthFile(int32_t width, int32_t height, std::span<const std::vector<int16_t>> frames,
                        const DepthCamera& camera, int32_t x, int32_t y, std::vector<uint8_t>& out);

// Min-resampling of one depth box at (x, y) of width × height to `scale` (< 1).
// Returns the new box; `out` receives new width × new height values.
struct DepthBox {
  int32_t x, y, width, height;
};
DepthBox ResampleDepth(std::span<const int16_t> source, DepthBox box, double scale,
                       std::vector<int16_t>& out);

// Reads every value so the memory is paged in; returns a sum so the reads stay.
uint32_t WarmUpDepth(const DepthMap& map);
uint32_t WarmUpPartDepth(const PartDepth& part);

// --- lookup tables ("MAPS", .MAS/.MAM) and the palette ---

bool ParseTable(std::span<const uint8_t> file, LookupTable256& table);
bool LoadTable(res::ResourceLayer& layer, std::string_view name, LookupTable256& table);
bool WriteTableFile(std::span<const uint8_t> table, std::vector<uint8_t>& out);

// 768 bytes, R, G, B per entry. Fails unless all 768 are there (the entries
// that were there are kept).
bool ParsePalette(std::span<const uint8_t> file, Palette& palette);
bool LoadPalette(res::ResourceLayer& layer, std::string_view name, Palette& palette);
bool WritePaletteFile(const Palette& palette, std::vector<uint8_t>& out);

}  // namespace render
