// gftool info for "MAPS" lookup tables.

#include <memory>
#include <ostream>

#include "command.h"
#include "info.h"
#include "render/image_files.h"

namespace gftool {
namespace {

bool IsTable(std::span<const uint8_t> file) { return TagAt(file, 0, render::kTableTag); }

int DescribeTable(std::span<const uint8_t> file, std::ostream& out) {
  auto table = std::make_unique<render::LookupTable256>();
  if (!render::ParseTable(file, *table)) {
    return Fail("bad MAPS file (needs 828 header bytes and 65536 table bytes)");
  }
  size_t identity = 0;
  for (size_t a = 0; a < 256; ++a) identity += (*table)[a * 256] == a;
  out << "MAPS table 256 x 256 ([first x 256 + second])\n";
  out << "rows whose entry [row][0] is the row itself: " << identity << " of 256\n";
  return 0;
}

}  // namespace
GFTOOL_INFO_FORMAT("MAPS", IsTable, DescribeTable);
}  // namespace gftool
