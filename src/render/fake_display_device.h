#pragma once
// A display device in memory: offers the modes it is given, can refuse chosen
// mode sets, and keeps the back buffer in a plain vector. For tests and for
// running without a screen.

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "render/display.h"

namespace render {

class FakeDisplayDevice : public DisplayDevice {
 public:
  // What the device offers and how it behaves.
  std::vector<DeviceMode> modes;
  std::set<int32_t> refused_bits;  // SetMode fails at these bit depths
  bool fail_create = false;
  bool palette_based = true;
  int32_t extra_pitch = 0;  // padding the locked surface reports per row
  // Masks reported for a 16-bit surface (5-6-5 unless changed).
  uint32_t red16 = 0xF800, green16 = 0x07E0, blue16 = 0x001F;
  bool fifteen_as_565 = false;  // a 15-bit mode set reports a 5-6-5 surface

  // What happened.
  DeviceMode current;  // the mode set last
  std::vector<std::string> traces;
  std::vector<uint8_t> back;
  Palette screen_palette{};
  bool lost = false;
  int flips = 0;
  int restores = 0;
  bool closed = false;

  bool Create() override { return !fail_create; }
  std::vector<DeviceMode> Modes() override { return modes; }
  bool TakeExclusive() override { return true; }
  bool SetMode(int32_t width, int32_t height, int32_t bits) override;
  void ReleaseSurfaces() override { back.clear(); }
  bool CreateSurfaces(int32_t back_buffers, bool display_memory) override;
  DeviceMode SurfaceFormat() override { return current; }
  bool PaletteBased() override { return palette_based; }
  bool CreatePalette(const Palette& entries) override;
  bool SetPaletteEntries(int32_t first, std::span<const Rgb> entries) override;
  bool FrontLost() override { return lost; }
  void RestoreFront() override {
    lost = false;
    ++restores;
  }
  bool Lock(uint8_t*& pixels, int32_t& pitch) override;
  void Unlock() override {}
  void Flip() override { ++flips; }
  void RestoreDesktopMode() override { closed = true; }
  void ReleaseDisplay() override {}
  void Trace(std::string_view message) override { traces.emplace_back(message); }

 private:
  int32_t pitch_ = 0;
};

}  // namespace render
