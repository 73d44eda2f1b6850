// gftool info for "SCREEN" files: size, offsets and the indices used.

#include <ostream>

#include "command.h"
#include "core/byte_io.h"
#include "info.h"
#include "render/image_files.h"

namespace gftool {
namespace {

bool IsScreen(std::span<const uint8_t> file) { return TagAt(file, 1, render::kScreenTag); }

int DescribeScreen(std::span<const uint8_t> file, std::ostream& out) {
  render::ScreenImage img;
  render::Palette palette{};
  const bool has_palette = render::ParseScreenImage(file, &palette, img);
  if (!has_palette && !render::ParseScreenImage(file, nullptr, img)) {
    return Fail("bad SCREEN file (data size is not width x height, or data past the end)");
  }
  int lowest = 255, highest = 0;
  for (uint8_t b : img.bytes) {
    lowest = b < lowest ? b : lowest;
    highest = b > highest ? b : highest;
  }
  out << "SCREEN " << img.width << " x " << img.height << ", " << img.byte_count << " bytes\n";
  out << "palette at " << core::LoadU32(file.data() + 20)
      << (has_palette ? "" : " (past the end of the file)") << ", pixels at "
      << core::LoadU32(file.data() + 28) << "\n";
  out << "indices " << lowest << " to " << highest << "\n";
  return 0;
}

}  // namespace
GFTOOL_INFO_FORMAT("SCREEN", IsScreen, DescribeScreen);
}  // namespace gftool
