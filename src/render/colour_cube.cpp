#include "render/colour_cube.h"

#include <cstdlib>
#include <limits>

namespace render {

void BuildColourCube(const Palette& palette, ColourCube& cube) {
  constexpr int kCount = kLastTableIndex - kFirstTableIndex + 1;
  // Distances are separable per channel: precompute |P[i].c − 2v| for every 5-bit v.
  static_assert(kCount <= 256);
  std::array<std::array<uint8_t, kCount>, 32> dr{}, dg{}, db{};
  for (int v = 0; v < 32; ++v) {
    for (int i = 0; i < kCount; ++i) {
      const Rgb& p = palette[static_cast<size_t>(kFirstTableIndex + i)];
      dr[v][i] = static_cast<uint8_t>(std::abs((p.r >> 2) - 2 * v));
      dg[v][i] = static_cast<uint8_t>(std::abs((p.g >> 2) - 2 * v));
      db[v][i] = static_cast<uint8_t>(std::abs((p.b >> 2) - 2 * v));
    }
  }
  std::array<uint8_t, kCount> drg{};
  for (int r = 0; r < 32; ++r) {
    for (int g = 0; g < 32; ++g) {
      for (int i = 0; i < kCount; ++i) drg[i] = static_cast<uint8_t>(dr[r][i] + dg[g][i]);
      for (int b = 0; b < 32; ++b) {
        int best = 0;
        int best_d = std::numeric_limits<int>::max();
        const auto& dbb = db[b];
        for (int i = 0; i < kCount; ++i) {
          int d = drg[i] + dbb[i];
          if (d < best_d) {
            best_d = d;
            best = i;
          }
        }
        cube.cells[static_cast<size_t>((r << 10) | (g << 5) | b)] =
            static_cast<uint8_t>(kFirstTableIndex + best);
      }
    }
  }
}

uint8_t NearestTableIndex(const Palette& palette, Rgb c) {
  int best = kFirstTableIndex;
  int best_d = std::numeric_limits<int>::max();
  for (int i = kFirstTableIndex; i <= kLastTableIndex; ++i) {
    const Rgb& p = palette[static_cast<size_t>(i)];
    int d = std::abs(p.r - c.r) + std::abs(p.g - c.g) + std::abs(p.b - c.b);
    if (d < best_d) {
      best_d = d;
      best = i;
    }
  }
  return static_cast<uint8_t>(best);
}

bool LoadTablePalette(std::span<const uint8_t> bytes, TableColours& colours) {
  size_t n = bytes.size() < kPaletteFileSize ? bytes.size() : kPaletteFileSize;
  for (size_t i = 0; i + 3 <= n; i += 3) {
    colours.palette[i / 3] = Rgb{bytes[i], bytes[i + 1], bytes[i + 2]};
  }
  colours.palette_loaded = bytes.size() >= kPaletteFileSize;
  return colours.palette_loaded;
}

void BuildTableCube(TableColours& colours) {
  BuildColourCube(colours.palette, colours.table_cube);
  colours.cube = colours.table_cube;
  colours.cube_built = true;
}

void RestoreWorkingCube(TableColours& colours) { colours.cube = colours.table_cube; }

}  // namespace render
