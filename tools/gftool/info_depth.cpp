// gftool info for "Z-BUFFER" and "Z-BUFFERS" files: size, position, camera and
// the range of depth values.

#include <algorithm>
#include <ostream>

#include "command.h"
#include "info.h"
#include "render/image_files.h"

namespace gftool {
namespace {

void Camera(const render::DepthCamera& c, std::ostream& out) {
  out << "camera: fx " << c.fx << " fy " << c.fy << " cx " << c.cx << " cy " << c.cy << "\n";
  out << "matrix rows:";
  for (int row = 0; row < 3; ++row) {
    out << (row ? " |" : "");
    for (int col = 0; col < 4; ++col) out << " " << c.matrix[static_cast<size_t>(col * 3 + row)];
  }
  out << "\nz1 (near) " << c.z1 << ", z0 (far) " << c.z0 << ", value E " << c.value_e << "\n";
}

void Range(std::span<const int16_t> v, std::ostream& out) {
  if (v.empty()) return;
  auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  out << "depth " << *lo << " (far) to " << *hi << " (near)\n";
}

bool IsDepth(std::span<const uint8_t> file) { return TagAt(file, 0, render::kDepthTag); }
bool IsPartDepth(std::span<const uint8_t> file) { return TagAt(file, 0, render::kPartDepthTag); }

render::DisplayFormat FullSize() {
  render::DisplayFormat f;
  f.width = 1024;
  f.height = 768;
  render::SetFormatDefaults(f);
  return f;
}

int DescribeDepth(std::span<const uint8_t> file, std::ostream& out) {
  render::DepthMap map;
  if (!render::ParseDepthMap(file, FullSize(), map)) return Fail("bad Z-BUFFER file");
  out << "Z-BUFFER " << map.width << " x " << map.height << " at (" << map.x << ", " << map.y
      << ")\n";
  Camera(map.camera, out);
  Range(map.data, out);
  return 0;
}

int DescribePartDepth(std::span<const uint8_t> file, std::ostream& out) {
  render::PartDepth part;
  if (!render::ParsePartDepth(file, FullSize(), part)) return Fail("bad Z-BUFFERS file");
  out << "Z-BUFFERS " << part.frame_count << " frames of " << part.width << " x " << part.height
      << " at (" << part.x << ", " << part.y << ")\n";
  Camera(part.camera, out);
  for (size_t k = 0; k < part.frames.size(); ++k) {
    out << "frame " << k << ": ";
    Range(part.frames[k], out);
  }
  return 0;
}

}  // namespace
GFTOOL_INFO_FORMAT("Z-BUFFER", IsDepth, DescribeDepth);
GFTOOL_INFO_FORMAT("Z-BUFFERS", IsPartDepth, DescribePartDepth);
}  // namespace gftool
