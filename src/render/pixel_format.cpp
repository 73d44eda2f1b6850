#include "render/pixel_format.h"

#include <bit>

#include "render/colour_cube.h"

namespace render {

namespace {

struct Layout {
  uint32_t masks[3];
};

constexpr Layout kDefaultLayouts[5] = {
    {{0, 0, 0}},
    {{0x7C00, 0x03E0, 0x001F}},
    {{0xF800, 0x07E0, 0x001F}},
    {{0xFF0000, 0x00FF00, 0x0000FF}},
    {{0xFF0000, 0x00FF00, 0x0000FF}},
};

int FormatIndex(PixelFormatId id) {
  int i = static_cast<int>(id);
  return (i >= 0 && i <= 4) ? i : 0;
}

void SetMasks(DisplayFormat& f, uint32_t r, uint32_t g, uint32_t b) {
  f.red_mask = r;
  f.green_mask = g;
  f.blue_mask = b;
  auto shift = [](uint32_t m) { return m ? std::countr_zero(m) : 0; };
  auto bits = [](uint32_t m) { return std::popcount(m); };
  f.red_shift = shift(r);
  f.green_shift = shift(g);
  f.blue_shift = shift(b);
  f.red_bits = bits(r);
  f.green_bits = bits(g);
  f.blue_bits = bits(b);
  if (r == 0 && g == 0 && b == 0) {
    f.red_loss = f.green_loss = f.blue_loss = 0;
  } else {
    f.red_loss = 8 - f.red_bits;
    f.green_loss = 8 - f.green_bits;
    f.blue_loss = 8 - f.blue_bits;
  }
}

// Drops the low bits of an 8-bit channel and moves it into its field.
uint32_t PackChannel(uint8_t v, int32_t loss, int32_t shift, uint32_t mask) {
  uint32_t q = loss >= 0 ? (static_cast<uint32_t>(v) >> loss) : (static_cast<uint32_t>(v) << -loss);
  return shift >= 0 && shift < 32 ? ((q << shift) & mask) : 0;
}

}  // namespace

int32_t BytesPerPixel(PixelFormatId id) {
  static constexpr int32_t kBytes[5] = {1, 2, 2, 3, 4};
  return kBytes[FormatIndex(id)];
}

uint32_t TransparentKey(PixelFormatId id) {
  static constexpr uint32_t kKeys[5] = {0, 0x7C1E, 0xF81E, 0xFF00FE, 0xFF00FE};
  return kKeys[FormatIndex(id)];
}

void SetFormatDefaults(DisplayFormat& f) {
  f.scale = static_cast<double>(f.width) / kBaseWidth;
  f.inverse_scale = f.scale != 0.0 ? 1.0 / f.scale : 1.0;
  f.scaled = f.width != kBaseWidth ? 1 : 0;
  f.format_id = static_cast<PixelFormatId>(FormatIndex(f.format_id));
  f.bytes_per_pixel = BytesPerPixel(f.format_id);
  f.pitch = f.width * f.bytes_per_pixel;
  f.frame_bytes = f.height * f.pitch;
  const Layout& l = kDefaultLayouts[FormatIndex(f.format_id)];
  SetMasks(f, l.masks[0], l.masks[1], l.masks[2]);
  f.draw_target = f.read_target = f.background = f.scene = nullptr;
}

void ApplySurfaceFormat(DisplayFormat& f, int32_t bit_count, uint32_t red_mask, uint32_t green_mask,
                        uint32_t blue_mask) {
  if (bit_count <= 8) {
    f.format_id = PixelFormatId::PAL8;
    f.bytes_per_pixel = 1;
    SetMasks(f, 0, 0, 0);
  } else {
    f.bytes_per_pixel = bit_count <= 16 ? 2 : bit_count <= 24 ? 3 : 4;
    SetMasks(f, red_mask, green_mask, blue_mask);
    if (f.bytes_per_pixel == 4) {
      f.format_id = PixelFormatId::RGB32;
    } else if (f.bytes_per_pixel == 3) {
      f.format_id = PixelFormatId::RGB24;
    } else {
      bool six = f.red_bits == 6 || f.green_bits == 6 || f.blue_bits == 6;
      f.format_id = six ? PixelFormatId::RGB565 : PixelFormatId::RGB555;
    }
  }
  f.pitch = f.width * f.bytes_per_pixel;
  f.frame_bytes = f.height * f.pitch;
}

uint32_t PackColour(const DisplayFormat& f, const ColourCube& cube, uint8_t r, uint8_t g,
                    uint8_t b) {
  switch (f.format_id) {
    case PixelFormatId::PAL8:
      return cube.cells[CubeIndex(r, g, b)];
    case PixelFormatId::RGB555:
    case PixelFormatId::RGB565:
      return PackChannel(r, f.red_loss, f.red_shift, f.red_mask) |
             PackChannel(g, f.green_loss, f.green_shift, f.green_mask) |
             PackChannel(b, f.blue_loss, f.blue_shift, f.blue_mask);
    case PixelFormatId::RGB24:
    case PixelFormatId::RGB32:
      return (static_cast<uint32_t>(r) << f.red_shift) |
             (static_cast<uint32_t>(g) << f.green_shift) |
             (static_cast<uint32_t>(b) << f.blue_shift);
  }
  return 0;
}

}  // namespace render
