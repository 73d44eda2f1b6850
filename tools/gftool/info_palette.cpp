// gftool info for the 768-byte table palette.

#include <ostream>

#include "command.h"
#include "info.h"
#include "render/colour_cube.h"
#include "render/image_files.h"

namespace gftool {
namespace {

// A palette has no tag: exactly 768 bytes that no tagged format claims.
bool IsPalette(std::span<const uint8_t> file) {
  if (file.size() != render::kPaletteFileSize) return false;
  for (const char* tag : {"MFILE", "CDATA", "SPR24", "SPRITE", "IMMASK", "Z-BUFFER", "MAPS"}) {
    if (TagAt(file, 0, tag)) return false;
  }
  return !TagAt(file, 1, "SCREEN");
}

int DescribePalette(std::span<const uint8_t> file, std::ostream& out) {
  render::Palette p{};
  render::ParsePalette(file, p);
  size_t repeats = 0;
  for (int i = render::kFirstTableIndex; i <= render::kLastTableIndex; ++i) {
    for (int j = render::kFirstTableIndex; j < i; ++j) {
      if (p[static_cast<size_t>(i)] == p[static_cast<size_t>(j)]) {
        ++repeats;
        break;
      }
    }
  }
  out << "palette: 256 colours (R, G, B); entries 10-245 reach the display\n";
  out << "repeated colours among 10-245: " << repeats << "\n";
  for (size_t i : {size_t{0}, size_t{10}, size_t{128}, size_t{245}, size_t{255}}) {
    out << "  " << i << ": " << int{p[i].r} << " " << int{p[i].g} << " " << int{p[i].b} << "\n";
  }
  return 0;
}

}  // namespace
GFTOOL_INFO_FORMAT("palette", IsPalette, DescribePalette);
}  // namespace gftool
