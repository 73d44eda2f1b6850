#include "render/fake_display_device.h"

namespace render {

bool FakeDisplayDevice::SetMode(int32_t width, int32_t height, int32_t bits) {
  if (refused_bits.count(bits)) return false;
  current = DeviceMode{width, height, bits, 0, 0, 0};
  if (bits == 15 && !fifteen_as_565) {
    current.bit_count = 16;
    current.red_mask = 0x7C00;
    current.green_mask = 0x03E0;
    current.blue_mask = 0x001F;
  } else if (bits == 15 || bits == 16) {
    current.bit_count = 16;
    current.red_mask = red16;
    current.green_mask = green16;
    current.blue_mask = blue16;
  } else if (bits >= 24) {
    current.red_mask = 0xFF0000;
    current.green_mask = 0x00FF00;
    current.blue_mask = 0x0000FF;
  }
  return true;
}

bool FakeDisplayDevice::CreateSurfaces(int32_t, bool) {
  int32_t bytes = current.bit_count <= 8    ? 1
                  : current.bit_count <= 16 ? 2
                  : current.bit_count <= 24 ? 3
                                            : 4;
  pitch_ = current.width * bytes + extra_pitch;
  back.assign(static_cast<size_t>(pitch_) * static_cast<size_t>(current.height), 0xAB);
  return true;
}

bool FakeDisplayDevice::CreatePalette(const Palette& entries) {
  screen_palette = entries;
  return true;
}

bool FakeDisplayDevice::SetPaletteEntries(int32_t first, std::span<const Rgb> entries) {
  if (first < 0 || static_cast<size_t>(first) + entries.size() > screen_palette.size()) {
    return false;
  }
  std::copy(entries.begin(), entries.end(), screen_palette.begin() + first);
  return true;
}

bool FakeDisplayDevice::Lock(uint8_t*& pixels, int32_t& pitch) {
  if (back.empty()) return false;
  pixels = back.data();
  pitch = pitch_;
  return true;
}

}  // namespace render
