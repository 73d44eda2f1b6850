#pragma once
// Small sets and display formats built in code for the render tests.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/byte_io.h"
#include "render/colour_cube.h"
#include "render/image_set.h"
#include "render/pixel_format.h"
#include "render/sprite_file.h"

namespace render::testing {

// A table palette with distinct colours in 10..245.
inline Palette TestPalette() {
  Palette p{};
  for (int i = 0; i < 256; ++i) {
    p[static_cast<size_t>(i)] = Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>((i * 3) & 255),
                                    static_cast<uint8_t>(255 - i)};
  }
  return p;
}

inline DisplayFormat Format(PixelFormatId id, int32_t width = 1024) {
  DisplayFormat f;
  f.width = width;
  f.height = width * 3 / 4;
  f.format_id = id;
  SetFormatDefaults(f);
  return f;
}

// Table colours with the test palette and its cube; built once, copied per test.
inline const TableColours& SharedColours() {
  static const std::unique_ptr<TableColours> colours = [] {
    auto c = std::make_unique<TableColours>();
    c->palette = TestPalette();
    c->palette_loaded = true;
    BuildTableCube(*c);
    return c;
  }();
  return *colours;
}

inline std::unique_ptr<TableColours> FreshColours() {
  return std::make_unique<TableColours>(SharedColours());
}

inline SpriteFileFrame Frame(int32_t w, int32_t h, uint8_t fill, int32_t hx = 0, int32_t hy = 0) {
  SpriteFileFrame f;
  f.width = w;
  f.height = h;
  f.hot_x = hx;
  f.hot_y = hy;
  f.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), fill);
  return f;
}

inline uint8_t& At(SpriteFileFrame& f, int32_t x, int32_t y) {
  return f.pixels[static_cast<size_t>(y) * static_cast<size_t>(f.width) + static_cast<size_t>(x)];
}

// A 128×128 ball frame: a disc of `radius` around (63, 63) in `colour`, key 0 elsewhere.
inline SpriteFileFrame BallFrame(int32_t radius, uint8_t colour) {
  SpriteFileFrame f = Frame(128, 128, 0);
  for (int32_t y = 0; y < 128; ++y) {
    for (int32_t x = 0; x < 128; ++x) {
      if ((x - 63) * (x - 63) + (y - 63) * (y - 63) <= radius * radius) At(f, x, y) = colour;
    }
  }
  return f;
}

inline std::vector<uint8_t> Write(const SpriteFileDesc& desc) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(WriteSpriteFile(desc, out));
  return out;
}

inline void PatchI32(std::vector<uint8_t>& file, size_t at, int32_t v) {
  core::StoreU32(file.data() + at, static_cast<uint32_t>(v));
}

}  // namespace render::testing
