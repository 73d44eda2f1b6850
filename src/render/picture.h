#pragma once
// Full-screen pictures: decoded from JPEG files, brought once to the screen's
// size and pixel format, and shown as the background.

#include <cstdint>
#include <string_view>
#include <vector>

#include "render/colour_cube.h"
#include "render/display.h"
#include "render/pixel_format.h"
#include "res/resource_layer.h"

namespace render {

// format is a PixelFormatId; freshly decoded pictures are RGB32 (4 bytes B, G,
// R, 0 per pixel, i.e. 0x00RRGGBB little-endian). Rows without padding; after
// ConvertPicture pixels hold width × height × (1, 2, 3 or 4) bytes.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  PixelFormatId format = PixelFormatId::RGB32;
  std::vector<uint8_t> pixels;
};

// Pictures are screen-sized; a header asking for more than this is refused
// before anything is allocated for it.
inline constexpr int64_t kMaxPicturePixels = int64_t{2048} * 2048;

// Decodes a JPEG file (read through the file layer, also from inside the pack)
// into a 0x00RRGGBB picture of the file's size. False on a missing file, a
// JPEG error or an impossible size; the picture is then empty.
bool LoadJpegPicture(Picture& picture, res::ResourceLayer& layer, std::string_view name);

// Resamples a freshly decoded picture to the screen's size (bilinear) and packs
// it in the screen format (15/16-bit dithered, PAL8 through the working cube,
// which must exist). Refused for a picture already converted or empty.
bool ConvertPicture(Picture& picture, const DisplayFormat& format, const TableColours& colours);

// Copies a converted picture of exactly the screen's size and format into the
// background and scene buffers and asks for three full repaints. Anything else
// is refused and changes nothing.
bool SetBackground(const Picture& picture, Display& display);

}  // namespace render
