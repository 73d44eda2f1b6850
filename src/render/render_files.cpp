#include "render/render_files.h"

#include "res/res_file.h"

namespace render {

bool LoadTablePalette(res::ResourceLayer& layer, TableColours& colours) {
  auto bytes = res::ResLoadWhole(layer, kTablePaletteFile);
  if (!bytes) {
    colours.palette_loaded = false;
    return false;
  }
  return LoadTablePalette(*bytes, colours);
}

bool LoadImageSet(ImageSet& set, res::ResourceLayer& layer, std::string_view name,
                  ImageSetContext& ctx, const ImageSetOptions& options) {
  auto bytes = res::ResLoadWhole(layer, name);
  if (!bytes) {
    FreeImageSet(set);
    return false;
  }
  return LoadImageSet(set, *bytes, ctx, options);
}

bool LoadCompositeSet(ImageSet& set, res::ResourceLayer& layer, std::string_view picture,
                      std::string_view shadow, ImageSetContext& ctx) {
  auto picture_bytes = res::ResLoadWhole(layer, picture);
  std::optional<std::vector<uint8_t>> shadow_bytes;
  if (!shadow.empty()) shadow_bytes = res::ResLoadWhole(layer, shadow);
  if (!picture_bytes || (!shadow.empty() && (!shadow_bytes || shadow_bytes->empty()))) {
    FreeImageSet(set);
    return false;
  }
  static const std::vector<uint8_t> kNone;
  return LoadCompositeSet(set, *picture_bytes, shadow_bytes ? *shadow_bytes : kNone, ctx);
}

}  // namespace render
