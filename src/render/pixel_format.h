#pragma once
// The one description of the screen and how a colour is packed into a screen
// pixel. Everything drawn is converted into this format once, at load time.

#include <array>
#include <cstdint>

namespace render {

struct ColourCube;

// Stored in the settings as the depth code, so the numbers must not change.
enum class PixelFormatId : int32_t { PAL8 = 0, RGB555 = 1, RGB565 = 2, RGB24 = 3, RGB32 = 4 };

inline constexpr int kBaseWidth = 1024;  // positions in the data files are for this width

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};
using Palette = std::array<Rgb, 256>;

struct DisplayFormat {
  int32_t width = 0;        // 640, 800 or 1024
  int32_t height = 0;       // 480, 600 or 768
  int32_t pitch = 0;        // bytes per row of the current draw target
  int32_t frame_bytes = 0;  // height × pitch
  PixelFormatId format_id = PixelFormatId::PAL8;
  int32_t bytes_per_pixel = 1;
  uint32_t red_mask = 0, green_mask = 0, blue_mask = 0;
  int32_t red_shift = 0, green_shift = 0, blue_shift = 0;
  int32_t red_bits = 0, green_bits = 0, blue_bits = 0;
  int32_t red_loss = 0, green_loss = 0, blue_loss = 0;  // 8 − bits
  int32_t scaled = 0;                                   // 1 when width ≠ 1024
  double scale = 1.0;                                   // width / 1024
  double inverse_scale = 1.0;                           // 1 / scale
  uint8_t* draw_target = nullptr;
  uint8_t* read_target = nullptr;
  uint8_t* background = nullptr;
  uint8_t* scene = nullptr;
};

// Bytes per pixel of a format (RGB24 screens hold 3; converted sprite frames hold 4).
int32_t BytesPerPixel(PixelFormatId id);
// The screen value of a transparent pixel in converted true-colour sprites.
uint32_t TransparentKey(PixelFormatId id);

// Fills everything that follows from width, height and format id: scale, bytes per
// pixel, pitch, frame bytes and the default channel layout; clears the four pointers.
void SetFormatDefaults(DisplayFormat& f);

// Takes the channel layout a screen surface reports (bit count and masks): bytes
// per pixel, shifts, bit counts and losses, and the format id (a 2-byte layout
// with a 6-bit channel is RGB565, otherwise RGB555).
void ApplySurfaceFormat(DisplayFormat& f, int32_t bit_count, uint32_t red_mask, uint32_t green_mask,
                        uint32_t blue_mask);

// An 8-bit colour as a screen value. PAL8 needs the working colour cube.
uint32_t PackColour(const DisplayFormat& f, const ColourCube& cube, uint8_t r, uint8_t g,
                    uint8_t b);

}  // namespace render
