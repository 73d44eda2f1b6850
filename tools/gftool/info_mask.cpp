// gftool info for "IMMASK" files: size, coding and how much of the mask keeps pixels.

#include <ostream>

#include "command.h"
#include "core/byte_io.h"
#include "info.h"
#include "render/image_files.h"

namespace gftool {
namespace {

bool IsMask(std::span<const uint8_t> file) { return TagAt(file, 0, render::kMaskTag); }

int DescribeMask(std::span<const uint8_t> file, std::ostream& out) {
  render::MaskImage m;
  if (!render::ParseMask(file, m)) return Fail("bad IMMASK file (version, size, coding or data)");
  const int32_t coding = static_cast<int32_t>(core::LoadU32(file.data() + 24));
  const uint32_t stored = core::LoadU32(file.data() + 20);
  size_t kept = 0;
  for (uint8_t b : m.bytes) kept += b != 0;
  out << "IMMASK " << m.width << " x " << m.height << ", "
      << (coding == render::kMaskCoded ? "coded" : "plain") << ", " << stored << " bytes stored\n";
  out << "kept pixels: " << kept << " of " << m.bytes.size() << "\n";
  return 0;
}

}  // namespace
GFTOOL_INFO_FORMAT("IMMASK", IsMask, DescribeMask);
}  // namespace gftool
