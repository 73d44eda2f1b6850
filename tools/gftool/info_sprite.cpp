// gftool info for "SPRITE" files: header, palettes, compression and each frame.

#include <ostream>
#include <string>

#include "command.h"
#include "info.h"
#include "render/sprite_file.h"

namespace gftool {
namespace {

bool IsSprite(std::span<const uint8_t> file) { return TagAt(file, 0, render::kImageSetTag); }

int DescribeSprite(std::span<const uint8_t> file, std::ostream& out) {
  render::ParsedSpriteFile s;
  std::string why;
  if (!render::ParseSpriteFile(file, s, &why)) return Fail("bad SPRITE file: " + why);
  static const char* kCompression[] = {"plain", "each frame coded", "coded as differences"};
  out << "SPRITE version " << s.version << ", " << s.frame_count << " frames, " << s.bits_per_pixel
      << " bits per pixel\n";
  out << "palettes: " << s.palette_count << " (" << (s.palette_precision == 0 ? "6-bit" : "8-bit")
      << " components)\n";
  out << "compression: " << s.compression << " (" << kCompression[s.compression] << ")\n";
  out << "colour cube block: " << s.cube_block_size;
  if (s.cube_block_size > 0) out << " bytes coding a 32768-byte cube";
  if (s.cube_block_size < 0)
    out << " (" << -static_cast<int64_t>(s.cube_block_size) << " bytes coding a 65536-byte table)";
  if (s.cube_block_size == 0) out << " (none)";
  out << "\n";
  out << "frame  width height  hot x  hot y  key  stored\n";
  for (size_t i = 0; i < s.frames.size(); ++i) {
    const render::SpriteFrame& f = s.frames[i];
    char line[160];
    std::snprintf(line, sizeof line, "%5zu %6d %6d %6d %6d %4d %7d%s%s\n", i, f.width, f.height,
                  f.hot_x, f.hot_y, f.key, f.stored_size,
                  s.compression != 0 && f.stored_plain ? " plain" : "",
                  f.delta_key != 0 ? " delta" : "");
    out << line;
  }
  return 0;
}

}  // namespace
GFTOOL_INFO_FORMAT("SPRITE", IsSprite, DescribeSprite);
}  // namespace gftool
