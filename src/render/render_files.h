#pragma once
// Loading the render data that is named by file: through the file layer (pack
// first, then loose files), into the byte-level loaders.

#include <string_view>

#include "render/colour_cube.h"
#include "render/image_set.h"
#include "res/resource_layer.h"

namespace render {

inline constexpr std::string_view kTablePaletteFile = "RES\\TABLES\\P_FIELD.PAL";
inline constexpr std::string_view kBallPictureFile = "RES\\ANIM\\BALL.IMG";
inline constexpr std::string_view kBallShadowFile = "RES\\ANIM\\SHAD.IMG";
inline constexpr std::string_view kLaneBallFile = "RES\\ANIM\\BALL_PL.IMG";

// Reads the table palette. False when the file is missing or shorter than 768
// bytes; the entries that were there are kept.
bool LoadTablePalette(res::ResourceLayer& layer, TableColours& colours);

// LoadImageSet on a named "SPRITE" file.
bool LoadImageSet(ImageSet& set, res::ResourceLayer& layer, std::string_view name,
                  ImageSetContext& ctx, const ImageSetOptions& options = {});

// LoadCompositeSet on named files; an empty shadow name means no shadow. A
// shadow that is named but cannot be read fails the load.
bool LoadCompositeSet(ImageSet& set, res::ResourceLayer& layer, std::string_view picture,
                      std::string_view shadow, ImageSetContext& ctx);

}  // namespace render
