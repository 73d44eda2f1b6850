#pragma once
// The screen on SDL. The fifteen modes are resolutions and pixel formats of our
// own buffers: a flip chain of two buffers in memory in the exact pixel format.
// A flip uploads the new front buffer to a streaming texture (8-bit frames go
// through the screen palette to true colour) and shows it scaled to the window,
// aspect kept, with black borders. Without a window (headless) flips only swap
// the buffers, and the last frame can still be read back as RGB.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "render/display.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace platform {

struct DisplayOptions {
  bool headless = false;   // no window at all: nothing is shown
  bool fullscreen = true;  // desktop full screen, else a resizable window
  bool vsync = true;
  std::string title = "Kestrune Pinball: Glimmerfall";
};

// An RGB picture: 3 bytes per pixel (red first), rows without padding.
struct RgbFrame {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;
};

class SdlDisplayDevice final : public render::DisplayDevice {
 public:
  explicit SdlDisplayDevice(DisplayOptions options = {});
  ~SdlDisplayDevice() override;
  SdlDisplayDevice(const SdlDisplayDevice&) = delete;
  SdlDisplayDevice& operator=(const SdlDisplayDevice&) = delete;

  bool Create() override;
  std::vector<render::DeviceMode> Modes() override;
  bool TakeExclusive() override { return true; }
  bool SetMode(int32_t width, int32_t height, int32_t bits) override;
  void ReleaseSurfaces() override;
  bool CreateSurfaces(int32_t back_buffers, bool display_memory) override;
  render::DeviceMode SurfaceFormat() override { return mode_; }
  bool PaletteBased() override { return mode_.bit_count == 8; }
  bool CreatePalette(const render::Palette& entries) override;
  bool SetPaletteEntries(int32_t first, std::span<const render::Rgb> entries) override;
  bool FrontLost() override { return false; }
  void RestoreFront() override {}
  bool Lock(uint8_t*& pixels, int32_t& pitch) override;
  void Unlock() override {}
  void Flip() override;
  void RestoreDesktopMode() override;
  void ReleaseDisplay() override;
  void Trace(std::string_view message) override;

  // Switches between desktop full screen and the window (Alt+Enter).
  bool ToggleFullscreen();
  bool fullscreen() const { return options_.fullscreen; }
  // Shows the front buffer again (after the window was exposed or resized).
  void Redraw();
  // The last presented frame in true colour, at the mode's size.
  RgbFrame LastFrameRgb() const;
  // What the renderer drew into the window, at the window's size (tests).
  RgbFrame ReadWindowRgb();
  // Resizes the window (tests and start-up; the user resizes it by hand).
  void SetWindowSize(int32_t width, int32_t height);
  uint32_t window_id() const;
  SDL_Window* sdl_window() const { return window_; }
  SDL_Renderer* sdl_renderer() const { return renderer_; }
  // Forms drawn over the game work in window pixels: Begin drops the picture's
  // logical size, End puts it back. DrawBackdrop paints the last frame, aspect
  // kept, into the window without showing it.
  void Minimise();
  // The mouse pointer over the window: hidden in play, shown over menus and forms.
  void ShowPointer(bool shown);
  // Restores a minimised window and brings it to the front.
  void Raise();
  void BeginOverlay();
  void EndOverlay();
  void DrawBackdrop();
  // What has been drawn into the window since the last show, at the window's size.
  RgbFrame ReadOverlayRgb();
  bool has_window() const { return window_ != nullptr; }
  const std::vector<std::string>& traces() const { return traces_; }

 private:
  bool OpenWindow();
  bool Upload();
  void Show();

  DisplayOptions options_;
  bool video_ = false;  // the SDL video subsystem is ours to quit
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  render::DeviceMode mode_;
  int32_t bytes_per_pixel_ = 0;
  std::vector<std::vector<uint8_t>> buffers_;
  size_t back_ = 0;
  size_t front_ = 0;
  bool presented_ = false;
  render::Palette palette_{};
  std::array<uint32_t, 256> palette_xrgb_{};  // the palette as 0x00RRGGBB
  std::vector<std::string> traces_;
};

// Writes the pictures a run asks for at its end (empty paths are skipped): the
// last composed frame and what the window showed. False with the first path
// that could not be written in `failed`.
bool WriteExitPictures(SdlDisplayDevice& device, const std::string& composed,
                       const std::string& window, std::string& failed);

// Converts one frame of a pixel format to RGB (8-bit frames through a palette;
// 15 and 16-bit channels widened by repeating their top bits).
void FrameToRgb(const render::DeviceMode& mode, const uint8_t* pixels, int32_t pitch,
                const render::Palette& palette, RgbFrame& out);

}  // namespace platform
