#pragma once
// Shared by the image-file fuzz targets: the display format chosen by the
// input's first byte (all five formats at 1024, 800 and 640 wide), table
// colours with a cube, and a pack in memory holding the rest of the input.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "render/colour_cube.h"
#include "render/pixel_format.h"
#include "res/pack.h"
#include "res/resource_layer.h"

namespace fuzzing {

inline render::DisplayFormat FormatFor(uint8_t selector) {
  static constexpr int32_t kWidths[3] = {1024, 800, 640};
  render::DisplayFormat f;
  f.width = kWidths[(selector >> 3) % 3];
  f.height = f.width * 3 / 4;
  f.format_id = static_cast<render::PixelFormatId>(selector % 5);
  render::SetFormatDefaults(f);
  return f;
}

inline const render::TableColours& Colours() {
  static std::unique_ptr<render::TableColours> colours = [] {
    auto c = std::make_unique<render::TableColours>();
    for (int i = 0; i < 256; ++i) {
      c->palette[static_cast<size_t>(i)] = render::Rgb{
          static_cast<uint8_t>(i), static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i)};
    }
    c->palette_loaded = true;
    render::BuildTableCube(*c);
    return c;
  }();
  return *colours;
}

// A layer whose one pack holds `files` (name, bytes) followed by a filler entry,
// so that a reader running past its file's end would find more bytes.
class PackedFiles {
 public:
  explicit PackedFiles(const std::vector<std::pair<std::string, std::span<const uint8_t>>>& files) {
    static const std::vector<uint8_t> kFiller(4096, 0xFF);
    std::vector<res::PackItem> items;
    for (const auto& [name, bytes] : files) items.push_back({name, bytes});
    items.push_back({"RES\\ZZZ\\FILLER", kFiller});
    auto pack = res::PackBuild(items);
    if (!pack) return;
    pack_ = std::move(*pack);
    layer.loose_files = false;
    res::FilePtr f(fmemopen(pack_.data(), pack_.size(), "rb"));
    ok = res::PackOpenStream(layer, std::move(f), "fuzz");
  }
  ~PackedFiles() { layer = res::ResourceLayer{}; }  // close the stream before the buffer goes

  bool ok = false;
  res::ResourceLayer layer;

 private:
  std::vector<uint8_t> pack_;
};

}  // namespace fuzzing
