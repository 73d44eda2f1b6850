#include "render/display.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "render/colour_cube.h"

namespace render {

namespace {

constexpr int32_t kFallbackOrder[kDepthCount] = {0, 2, 1, 4, 3};  // 8, 16, 15, 32, 24 bits

int ResolutionOfWidth(int32_t width) {
  for (int i = 0; i < kResolutionCount; ++i) {
    if (kResolutions[static_cast<size_t>(i)].width == width) return i;
  }
  return -1;
}

int DepthOfMode(const DeviceMode& m) {
  switch (m.bit_count) {
    case 8:
      return 0;
    case 15:
      return 1;
    case 16: {
      int bits =
          std::popcount(m.red_mask) + std::popcount(m.green_mask) + std::popcount(m.blue_mask);
      return bits == 15 ? 1 : 2;
    }
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return -1;
  }
}

bool AnyAt(const ModeTable& modes, int resolution) {
  for (int d = 0; d < kDepthCount; ++d) {
    if (modes.Has(resolution, d)) return true;
  }
  return false;
}

// Sets one mode; 32 and 24 bits stand in for each other.
bool SetOneMode(Display& display, DisplayDevice& device, int32_t bits) {
  const int32_t w = display.format.width, h = display.format.height;
  if (!device.SetMode(w, h, bits)) {
    if (bits == 32) {
      if (!device.SetMode(w, h, 24)) return false;
    } else if (bits == 24) {
      if (!device.SetMode(w, h, 32)) return false;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

bool ModeTable::Any() const {
  for (int r = 0; r < kResolutionCount; ++r) {
    if (AnyAt(*this, r)) return true;
  }
  return false;
}

bool EnumerateModes(Display& display, DisplayDevice& device) {
  display.modes = ModeTable{};
  for (const DeviceMode& m : device.Modes()) {
    int r = ResolutionOfWidth(m.width);
    int d = DepthOfMode(m);
    if (r >= 0 && d >= 0)
      display.modes.available[static_cast<size_t>(r)][static_cast<size_t>(d)] = true;
  }
  return true;
}

bool ChooseMode(const ModeTable& modes, int32_t& resolution, int32_t& depth) {
  resolution = std::clamp(resolution, 0, kResolutionCount - 1);
  depth = std::clamp(depth, 0, kDepthCount - 1);
  if (!modes.Any()) {
    resolution = depth = 0;
    return false;
  }
  if (modes.Has(resolution, depth)) return true;

  bool try_depths = true;
  if (!AnyAt(modes, resolution)) {
    if (resolution == 0) {
      try_depths = false;
    } else {
      --resolution;
    }
  }
  if (try_depths && AnyAt(modes, resolution)) {
    // The closest depth first, without trying the requested one again.
    static constexpr int32_t kPartner[kDepthCount] = {-1, 2, 1, 4, 3};
    int32_t partner = kPartner[depth];
    if (partner >= 0 && modes.Has(resolution, partner)) {
      depth = partner;
      return true;
    }
    for (int32_t d : kFallbackOrder) {
      if (modes.Has(resolution, d)) {
        depth = d;
        return true;
      }
    }
  }
  for (int32_t d : kFallbackOrder) {
    for (int32_t r = 0; r < kResolutionCount; ++r) {
      if (modes.Has(r, d)) {
        resolution = r;
        depth = d;
        return true;
      }
    }
  }
  resolution = depth = 0;
  return false;
}

std::optional<int32_t> DepthForQuality(const ModeTable& modes, int32_t resolution,
                                       int32_t quality) {
  resolution = std::clamp(resolution, 0, kResolutionCount - 1);
  quality = std::clamp(quality, 0, 2);
  if (quality == 0) {
    if (modes.Has(resolution, 0)) return 0;
  } else if (quality == 1) {
    if (modes.Has(resolution, 2)) return 2;
    if (modes.Has(resolution, 1)) return 1;
  } else {
    if (modes.Has(resolution, 4)) return 4;
    if (modes.Has(resolution, 3)) return 3;
  }
  return std::nullopt;
}

bool OpenDisplay(Display& display, DisplayDevice& device) {
  if (!device.Create()) return false;
  display.created = true;
  EnumerateModes(display, device);
  if (!device.TakeExclusive()) return false;

  switch (display.format.format_id) {
    case PixelFormatId::RGB32:
      if (!SetOneMode(display, device, 32)) return device.Trace("DDSetMode Fail 1"), false;
      break;
    case PixelFormatId::RGB24:
      if (!SetOneMode(display, device, 24)) return device.Trace("DDSetMode Fail 2"), false;
      break;
    case PixelFormatId::RGB555:
      if (!SetOneMode(display, device, 15)) {
        device.Trace("DDSetMode 15 bit Fail 3_1/15");
        if (!SetOneMode(display, device, 16)) return device.Trace("DDSetMode Fail 3_1/16"), false;
      }
      break;
    case PixelFormatId::RGB565:
      if (!SetOneMode(display, device, 16)) return device.Trace("DDSetMode Fail 3/16"), false;
      break;
    case PixelFormatId::PAL8:
      if (!SetOneMode(display, device, 8)) return device.Trace("DDSetMode Fail 4"), false;
      break;
  }

  device.ReleaseSurfaces();
  display.surfaces = display.has_palette = false;
  if (!device.CreateSurfaces(kBackBufferCount, true) && !device.CreateSurfaces(1, true) &&
      !device.CreateSurfaces(1, false)) {
    return false;
  }
  display.surfaces = true;

  DisplayFormat& f = display.format;
  if (f.format_id == PixelFormatId::PAL8) {
    ApplySurfaceFormat(f, 8, 0, 0, 0);
    if (device.PaletteBased()) {
      // Red, green and blue ramps until the table palette arrives.
      Palette initial{};
      for (int i = 0; i < 64; ++i) {
        uint8_t v = static_cast<uint8_t>(i * 255 / 63);
        initial[static_cast<size_t>(10 + i)] = Rgb{v, 0, 0};
        initial[static_cast<size_t>(74 + i)] = Rgb{0, v, 0};
        initial[static_cast<size_t>(138 + i)] = Rgb{0, 0, v};
      }
      display.has_palette = device.CreatePalette(initial);
    }
    return true;
  }
  DeviceMode m = device.SurfaceFormat();
  ApplySurfaceFormat(f, m.bit_count, m.red_mask, m.green_mask, m.blue_mask);
  return true;
}

bool LockBackBuffer(Display& display, DisplayDevice& device) {
  if (!display.created || !display.surfaces) return false;
  if (device.FrontLost()) {
    device.RestoreFront();
    display.full_redraw_count = 3;
  }
  uint8_t* pixels = nullptr;
  int32_t pitch = 0;
  if (!device.Lock(pixels, pitch) || pixels == nullptr) return false;
  DisplayFormat& f = display.format;
  f.pitch = std::max(pitch, f.width * f.bytes_per_pixel);
  f.frame_bytes = f.height * f.pitch;
  f.draw_target = f.read_target = pixels;
  display.locked = true;
  return true;
}

void UnlockAndFlip(Display& display, DisplayDevice& device) {
  if (!display.locked) return;
  device.Unlock();
  display.locked = false;
  device.Flip();
}

bool SetScreenPalette(Display& display, DisplayDevice& device, const Palette& table, bool clear) {
  if (!display.has_palette) return false;
  if (clear && LockBackBuffer(display, device)) {
    std::memset(display.format.draw_target, 0, static_cast<size_t>(display.format.frame_bytes));
    UnlockAndFlip(display, device);
  }
  std::span<const Rgb> entries(table.data() + kFirstTableIndex,
                               kLastTableIndex - kFirstTableIndex + 1);
  return device.SetPaletteEntries(kFirstTableIndex, entries);
}

void CloseDisplay(Display& display, DisplayDevice& device) {
  if (display.locked) device.Unlock();
  device.RestoreDesktopMode();
  device.ReleaseSurfaces();
  device.ReleaseDisplay();
  display.created = display.surfaces = display.has_palette = display.locked = false;
}

}  // namespace render
