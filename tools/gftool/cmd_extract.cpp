// gftool extract PACK DIR: writes every entry below DIR, its backslashes
// becoming folders. Names that could escape DIR are refused; a later entry that
// an earlier one shadows (same name but for letter case) is skipped, as the game
// never sees it.

#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "command.h"
#include "res/pack.h"
#include "res/res_file.h"
#include "res_util.h"

namespace gftool {
namespace {

namespace fs = std::filesystem;

// The relative disk path of an entry name, or empty when the name is unsafe.
fs::path SafeRelativePath(std::string_view name) {
  fs::path rel;
  size_t start = 0;
  while (true) {
    const size_t end = name.find('\\', start);
    const std::string_view part =
        name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty() || part == "." || part == ".." || part.find('/') != std::string_view::npos) {
      return {};
    }
    rel /= std::string(part);
    if (end == std::string_view::npos) return rel;
    start = end + 1;
  }
}

int Extract(Args args) {
  if (args.size() != 2) return Usage("extract");
  res::ResourceLayer layer;
  if (!OpenPackOrFail(layer, args[0])) return 1;
  const std::vector<res::PackEntry>& entries = layer.slots[0].entries;

  // Check and read everything before writing anything.
  struct Out {
    fs::path path;
    std::vector<uint8_t> bytes;
  };
  std::vector<Out> outs;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string& name = entries[i].name;
    bool shadowed = false;
    for (size_t j = 0; j < i && !shadowed; ++j)
      shadowed = res::PackNamesEqual(entries[j].name, name);
    if (shadowed) {
      std::cerr << "gftool: skipping entry " << i << " (" << name
                << "): an earlier entry has the same name\n";
      continue;
    }
    fs::path rel = SafeRelativePath(name);
    if (rel.empty()) return Fail("entry " + std::to_string(i) + " has an unsafe name: " + name);
    res::ResFile file;
    file.slot = 0;
    file.entry = static_cast<int32_t>(i);
    std::optional<std::vector<uint8_t>> bytes = res::ResLoadOpen(layer, file);
    if (!bytes) return Fail(name + ": cannot be read whole from " + args[0] + " (pack damaged?)");
    outs.push_back({fs::path(args[1]) / rel, std::move(*bytes)});
  }
  for (const Out& o : outs) {
    std::error_code ec;
    fs::create_directories(o.path.parent_path(), ec);
    if (ec) return Fail(o.path.parent_path().string() + ": " + ec.message());
    if (!WriteFileAtomic(o.path.string(), o.bytes)) return 1;
  }
  return 0;
}

GFTOOL_COMMAND("extract", "extract PACK DIR", Extract);

}  // namespace
}  // namespace gftool
