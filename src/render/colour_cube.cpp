#include "render/colour_cube.h"

#include <cstdlib>
#include <limits>

namespace render {

namespace {

// A candidate: distance first, then the lower palette index wins.
struct Best {
  int d;
  int i;
  bool operator<(const Best& o) const { return d != o.d ? d < o.d : i < o.i; }
};

}  // namespace

void BuildColourCube(const Palette& palette, ColourCube& cube) {
  constexpr int kCount = kLastTableIndex - kFirstTableIndex + 1;
  constexpr int kInf = std::numeric_limits<int>::max() / 2;
  std::array<int, kCount> pr{}, pg{}, pb{};
  for (int i = 0; i < kCount; ++i) {
    const Rgb& p = palette[static_cast<size_t>(kFirstTableIndex + i)];
    pr[i] = p.r >> 2;
    pg[i] = p.g >> 2;
    pb[i] = p.b >> 2;
  }
  // For one (r, g) the distance to entry i along blue is drg[i] + |pb[i] − v|: a
  // one-dimensional distance transform over the 64 blue values, done with a
  // forward and a backward pass instead of trying every entry for every cell.
  std::array<Best, 64> local, fwd, bwd;
  for (int r = 0; r < 32; ++r) {
    for (int g = 0; g < 32; ++g) {
      local.fill(Best{kInf, 0});
      for (int i = 0; i < kCount; ++i) {
        Best c{std::abs(pr[i] - 2 * r) + std::abs(pg[i] - 2 * g), i};
        if (c < local[static_cast<size_t>(pb[i])]) local[static_cast<size_t>(pb[i])] = c;
      }
      fwd[0] = local[0];
      for (size_t v = 1; v < 64; ++v) {
        Best moved{fwd[v - 1].d + 1, fwd[v - 1].i};
        fwd[v] = moved < local[v] ? moved : local[v];
      }
      bwd[63] = local[63];
      for (size_t v = 63; v-- > 0;) {
        Best moved{bwd[v + 1].d + 1, bwd[v + 1].i};
        bwd[v] = moved < local[v] ? moved : local[v];
      }
      for (int b = 0; b < 32; ++b) {
        const size_t v = static_cast<size_t>(2 * b);
        const Best& best = bwd[v] < fwd[v] ? bwd[v] : fwd[v];
        cube.cells[static_cast<size_t>((r << 10) | (g << 5) | b)] =
            static_cast<uint8_t>(kFirstTableIndex + best.i);
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
