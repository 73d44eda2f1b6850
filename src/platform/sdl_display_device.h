#pragma once
// The screen on SDL. The fifteen modes are resolutions and pixel formats of our
// own buffers: a flip chain of two buffers in memory in the exact pixel format.
// A flip finds what changed since the frame on screen (the new front buffer
// against the previous one, in tiles) and shows only that, in one of two ways:
//  - direct: when the picture fits the window 1:1 or at a whole-number scale,
//    the changed rectangles are converted (8-bit through the screen palette,
//    15/16/24-bit widened) straight into the window's surface and only they
//    are sent to the screen (SDL_UpdateWindowSurfaceRects);
//  - scaled: at any other window size, the changed rectangles are uploaded to
//    a streaming texture that the renderer stretches, smoothly, to the window.
// The picture keeps its aspect with black borders either way; the way follows
// the window's size as it changes. A frame that changed nothing shows nothing.
// Without a window (headless) flips only swap the buffers, and the last frame
// can still be read back as RGB.

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "render/display.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Rect;

namespace platform {

struct DisplayOptions {
  bool headless = false;   // no window at all: nothing is shown
  bool fullscreen = true;  // desktop full screen, else a resizable window
  // Sharp scaling: the picture at the largest whole-number scale that fits,
  // centred, black around it (a window smaller than the picture still
  // shrinks it smoothly). Else smooth: as large as fits, aspect kept.
  bool sharp = false;
  // Frames follow the display's refresh: a flip waits for the next one (the
  // renderer's vsync where it works, else a sleep to the display mode's
  // refresh period, 60 Hz when it gives none). Off for runs on a virtual clock.
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

  // Called before a frame reads its input: waits until the next refresh less
  // the work the last frames took (and a margin), so that the frame reads its
  // input as late as it can and is still shown at that refresh.
  void WaitToStartFrame();
  // Switches between desktop full screen and the window (Alt+Enter, F11).
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
  // The size the window opens at when not full screen, and goes back to from
  // full screen (set before the mode; 0: the mode's size).
  void SetStartWindowSize(int32_t width, int32_t height);
  // Sharp scaling on or off while the window is open; the next present
  // shows the whole window at the new scale.
  void SetSharp(bool sharp);
  bool sharp() const { return options_.sharp; }
  // The window's size out of full screen: its size now, or in full screen the
  // size it goes back to; false when it has none yet (it opened full screen
  // at the mode's size).
  bool WindowedSize(int32_t& width, int32_t& height) const;
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
  // How the last shown frame reached the window (tests and measurements).
  bool last_shown_direct() const { return last_direct_; }
  // A box of the picture in its own pixels, [x0, x1) x [y0, y1).
  struct Box {
    int32_t x0, y0, x1, y1;
  };
  // The boxes of tiles where two frames of a mode differ, rows of tiles merged
  // into runs and runs of equal extent in consecutive rows into one box.
  static void ChangedBoxes(const render::DeviceMode& mode, const uint8_t* now,
                           const uint8_t* before, std::vector<Box>& out);
  // Frames sent to the window so far, and what the last flip changed.
  int64_t shown_count() const { return shown_count_; }
  const std::vector<Box>& changed_boxes() const { return boxes_; }

 private:
  // Where the picture goes in the window: its size and a whole-number scale
  // when one fits it exactly, else 0.
  struct Layout {
    int32_t window_w = 0, window_h = 0;
    int32_t x = 0, y = 0, w = 0, h = 0;  // the picture's box in window pixels
    int32_t scale = 0;
  };
  bool OpenWindow();
  Layout LayoutNow() const;
  void Present();
  bool PresentDirect(const Layout& l);
  void PresentScaled(const Layout& l);
  bool UploadBoxes(const std::vector<Box>& boxes);
  bool Upload();  // the whole front buffer, when the texture lags it
  void Show();
  std::chrono::nanoseconds RefreshPeriod() const;
  void Pace();
  void ConvertRow(const uint8_t* src, int32_t count, uint32_t* dst) const;
  void NoteShown();

  DisplayOptions options_;
  int32_t start_w_ = 0, start_h_ = 0;        // SetStartWindowSize
  int32_t windowed_w_ = 0, windowed_h_ = 0;  // the window's size before full screen
  bool video_ = false;                       // the SDL video subsystem is ours to quit
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  render::DeviceMode mode_;
  int32_t bytes_per_pixel_ = 0;
  std::vector<std::vector<uint8_t>> buffers_;
  size_t back_ = 0;
  size_t front_ = 0;
  bool presented_ = false;
  size_t previous_front_ = 0;  // the buffer on screen before the last flip
  bool whole_ = true;          // the next present shows the whole window
  bool texture_stale_ = true;  // the texture lags the front buffer
  bool overlay_ = false;       // forms draw over the window through the renderer
  bool last_direct_ = false;
  void* last_surface_ = nullptr;
  int32_t last_surface_w_ = 0, last_surface_h_ = 0;
  std::vector<Box> boxes_;       // what changed with the last flip
  std::vector<SDL_Rect> rects_;  // the changed boxes in window pixels
  std::vector<uint32_t> wide_;   // 15 and 16-bit values as 0x00RRGGBB
  std::vector<uint32_t> row_;    // one converted row
  int64_t shown_count_ = 0;
  bool renderer_vsync_ = false;  // the renderer was made to wait for the refresh
  bool present_waited_ = false;  // and the last present did wait
  std::chrono::steady_clock::time_point next_frame_{};
  static constexpr std::chrono::nanoseconds kStartMargin{std::chrono::milliseconds(3)};
  std::chrono::nanoseconds work_{std::chrono::milliseconds(4)};  // a frame's work, estimated
  std::chrono::steady_clock::time_point frame_start_{};
  bool frame_started_ = false;
  std::string count_file_;  // GFALL_FRAME_COUNT_FILE: shown frames for measurements
  uint32_t count_written_ms_ = 0;
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
