// Loading hostile "SPRITE" files in every display format, full size and
// reduced, plain and as the ball's composite set; then reading every frame.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "render/colour_cube.h"
#include "render/image_set.h"

namespace {

render::TableColours& Colours() {
  static std::unique_ptr<render::TableColours> colours = [] {
    auto c = std::make_unique<render::TableColours>();
    for (int i = 0; i < 256; ++i) {
      c->palette[static_cast<size_t>(i)] = render::Rgb{
          static_cast<uint8_t>(i), static_cast<uint8_t>(i * 3), static_cast<uint8_t>(255 - i)};
    }
    c->palette_loaded = true;
    render::BuildTableCube(*c);
    return c;
  }();
  return *colours;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t mode = data[0], flags = data[1];
  static constexpr int32_t kWidths[3] = {1024, 800, 640};
  render::DisplayFormat format;
  format.width = kWidths[(mode >> 3) % 3];
  format.height = format.width * 3 / 4;
  format.format_id = static_cast<render::PixelFormatId>(mode % 5);
  render::SetFormatDefaults(format);

  render::TableColours& colours = Colours();
  render::Palette shadow_palette{};
  render::ImageSetContext ctx{format, colours, (flags & 0x40) ? &shadow_palette : nullptr};
  render::ImageSet set;
  std::span<const uint8_t> rest(data + 2, size - 2);
  bool ok;
  if (flags & 0x80) {
    // Composite: the next two bytes give the length of the picture file.
    const size_t split =
        std::min<size_t>(rest.size(), static_cast<size_t>(rest[0]) << 8 | rest[1 % rest.size()]);
    std::span<const uint8_t> files = rest.subspan(std::min<size_t>(2, rest.size()));
    const size_t cut = std::min(split, files.size());
    ok = render::LoadCompositeSet(set, files.first(cut), files.subspan(cut), ctx);
  } else {
    render::ImageSetOptions options;
    options.reindex = static_cast<render::Reindex>(flags % 3);
    options.nearest = flags & 0x04;
    options.table_resolution = flags & 0x08;
    options.keep_cube = flags & 0x10;
    options.keep_decoded = flags & 0x20;
    options.trim_ball = flags & 0x01;
    ok = render::LoadImageSet(set, rest, ctx, options);
  }
  // Every load, good or bad, leaves the working cube as the table's.
  if (colours.cube.cells != colours.table_cube.cells) std::abort();
  if (!ok) {
    if (!set.frames.empty()) std::abort();
    return 0;
  }
  for (int32_t i = static_cast<int32_t>(set.frames.size()) - 1; i >= 0; --i) {
    auto pixels = render::FramePixels(set, i);
    const render::SpriteFrame& f = set.frames[static_cast<size_t>(i)];
    if (pixels.size() != static_cast<size_t>(f.decoded_size) ||
        static_cast<int64_t>(f.width) * f.height != f.decoded_size) {
      std::abort();
    }
    render::PixelAt(set, i, f.width / 2, f.height / 2);
    render::PixelAt(set, i, f.width, 0);
  }
  render::MeasureBallRadii(set, 63, 63);
  return 0;
}
