// gftool info for JPEG pictures.

#include <ostream>
#include <vector>

#include "command.h"
#include "info.h"
#include "render/jpeg_io.h"

namespace gftool {
namespace {

bool IsJpeg(std::span<const uint8_t> file) {
  return file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF;
}

int DescribeJpeg(std::span<const uint8_t> file, std::ostream& out) {
  int32_t w, h;
  std::vector<uint8_t> rgb;
  if (!render::JpegDecodeMemory(file, w, h, rgb)) return Fail("the JPEG picture does not decode");
  out << "JPEG picture " << w << " x " << h
      << (w == 1024 && h == 768 ? " (full screen)" : " (full-screen pictures are 1024 x 768)")
      << "\n";
  return 0;
}

}  // namespace
GFTOOL_INFO_FORMAT("JPEG", IsJpeg, DescribeJpeg);
}  // namespace gftool
