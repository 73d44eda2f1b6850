#pragma once
// The display: which of the fifteen modes exist, choosing one from the
// settings, and opening, locking, flipping and closing the screen through a
// small device interface (SDL in the game, a fake in tests).

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "render/pixel_format.h"

namespace render {

inline constexpr int kResolutionCount = 3;  // 640×480, 800×600, 1024×768
inline constexpr int kDepthCount = 5;       // 8, 15, 16, 24, 32 bits = PixelFormatId
inline constexpr int32_t kBackBufferCount = 1;
inline constexpr int32_t kBufferCount = kBackBufferCount + 1;  // surfaces in the flip chain

struct Resolution {
  int32_t width, height;
};
inline constexpr std::array<Resolution, kResolutionCount> kResolutions = {
    {{640, 480}, {800, 600}, {1024, 768}}};
inline constexpr std::array<int32_t, kDepthCount> kDepthBits = {8, 15, 16, 24, 32};

struct ModeTable {
  std::array<std::array<bool, kDepthCount>, kResolutionCount> available{};
  bool Has(int resolution, int depth) const {
    return resolution >= 0 && resolution < kResolutionCount && depth >= 0 && depth < kDepthCount &&
           available[static_cast<size_t>(resolution)][static_cast<size_t>(depth)];
  }
  bool Any() const;
};

// A mode (or the front surface's format once a mode is set) as the device reports it.
struct DeviceMode {
  int32_t width = 0, height = 0, bit_count = 0;
  uint32_t red_mask = 0, green_mask = 0, blue_mask = 0;
};

// The services the game needs from the screen.
class DisplayDevice {
 public:
  virtual ~DisplayDevice() = default;
  virtual bool Create() = 0;  // the display object on the default device
  virtual std::vector<DeviceMode> Modes() = 0;
  virtual bool TakeExclusive() = 0;  // full screen for the game window
  virtual bool SetMode(int32_t width, int32_t height, int32_t bits) = 0;
  virtual void ReleaseSurfaces() = 0;  // back surface, front surface, palette
  // A flip chain with `back_buffers` back buffers, in display memory when asked.
  virtual bool CreateSurfaces(int32_t back_buffers, bool display_memory) = 0;
  virtual DeviceMode SurfaceFormat() = 0;
  virtual bool PaletteBased() = 0;
  // Creates the 8-bit screen palette from 256 entries and attaches it.
  virtual bool CreatePalette(const Palette& entries) = 0;
  virtual bool SetPaletteEntries(int32_t first, std::span<const Rgb> entries) = 0;
  virtual bool FrontLost() = 0;
  virtual void RestoreFront() = 0;
  // Locks the back surface: its memory and row length in bytes.
  virtual bool Lock(uint8_t*& pixels, int32_t& pitch) = 0;
  virtual void Unlock() = 0;
  virtual void Flip() = 0;
  virtual void RestoreDesktopMode() = 0;
  virtual void ReleaseDisplay() = 0;
  // Diagnostic trace: shows nothing to the player.
  virtual void Trace(std::string_view message) = 0;
};

struct Display {
  DisplayFormat format;
  ModeTable modes;
  int32_t full_redraw_count = 3;  // presents that repaint the whole back buffer
  bool created = false;           // display object exists
  bool surfaces = false;          // front and back surfaces exist
  bool has_palette = false;       // an 8-bit screen palette is attached
  bool locked = false;
};

// Clears the table and marks every mode the device reports in the three
// resolutions; a 16-bit mode with 15 mask bits in all counts as 15-bit.
bool EnumerateModes(Display& display, DisplayDevice& device);
// Turns the settings' resolution index and depth id into an available pair.
// Returns false (0, 0) when no mode is available at all.
bool ChooseMode(const ModeTable& modes, int32_t& resolution, int32_t& depth);
// Class 0 = 256 colours, 1 = high colour, 2 = true colour.
std::optional<int32_t> DepthForQuality(const ModeTable& modes, int32_t resolution, int32_t quality);

// Opens the display in the mode of display.format (width, height, format id set).
bool OpenDisplay(Display& display, DisplayDevice& device);
bool LockBackBuffer(Display& display, DisplayDevice& device);
void UnlockAndFlip(Display& display, DisplayDevice& device);
// 8-bit only: gives table palette entries 10..245 to the screen; with `clear`
// the back buffer is zeroed and flipped first. False without a screen palette.
bool SetScreenPalette(Display& display, DisplayDevice& device, const Palette& table, bool clear);
void CloseDisplay(Display& display, DisplayDevice& device);

}  // namespace render
