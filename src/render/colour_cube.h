#pragma once
// The table palette and the colour cube: the 8-bit palette index of every
// 15-bit colour, so a colour lookup in 256-colour mode is one table read.

#include <array>
#include <cstdint>
#include <span>

#include "render/pixel_format.h"

namespace render {

// Only these palette entries are ever given to the display; the rest stay the system's.
inline constexpr int kFirstTableIndex = 10;
inline constexpr int kLastTableIndex = 245;
inline constexpr size_t kPaletteFileSize = 768;

struct ColourCube {
  std::array<uint8_t, 32768> cells{};
};

// Cell of an 8-bit colour: (R >> 3) × 1024 + (G >> 3) × 32 + (B >> 3).
inline int CubeIndex(uint8_t r, uint8_t g, uint8_t b) {
  return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
}

// Each cell gets the index 10..245 nearest to it on the 6-bit scale (sum of absolute
// differences; the lowest index wins a tie).
void BuildColourCube(const Palette& palette, ColourCube& cube);

// The index 10..245 of `palette` nearest to an 8-bit colour (sum of absolute
// differences of the 8-bit components; the lowest index wins a tie).
uint8_t NearestTableIndex(const Palette& palette, Rgb colour);

// The table palette, the working cube and the cube built from the table palette.
// Loading a sprite set may replace the working cube for a while; it is restored
// from the saved copy afterwards.
struct TableColours {
  Palette palette{};
  bool palette_loaded = false;
  ColourCube cube;        // working cube
  ColourCube table_cube;  // built from the table palette
  bool cube_built = false;
};

// Reads the 768-byte palette (R, G, B per entry). Fails unless all 768 bytes are
// there; the entries that were there are kept either way.
bool LoadTablePalette(std::span<const uint8_t> bytes, TableColours& colours);
// Builds the working cube from the table palette and keeps a copy of it.
void BuildTableCube(TableColours& colours);
// Puts the table palette's cube back as the working cube.
void RestoreWorkingCube(TableColours& colours);

}  // namespace render
