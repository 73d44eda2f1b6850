#include "platform/sdl_display_device.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "render/display.h"

namespace platform {
namespace {

using render::PixelFormatId;

// SDL's "dummy" video driver draws into memory: no X server needed.
class SdlDisplay : public ::testing::Test {
 protected:
  void SetUp() override { setenv("SDL_VIDEODRIVER", "dummy", 1); }
};

render::Palette TestPalette() {
  render::Palette p{};
  for (int i = 0; i < 256; ++i) {
    p[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                 static_cast<uint8_t>(i * 7)};
  }
  return p;
}

// Writes a pattern into a locked buffer and returns the colours it should show.
RgbFrame DrawPattern(const render::DisplayFormat& f, const render::Palette& palette) {
  RgbFrame want;
  want.width = f.width;
  want.height = f.height;
  want.pixels.resize(static_cast<size_t>(f.width * f.height) * 3);
  for (int32_t y = 0; y < f.height; ++y) {
    uint8_t* row = f.draw_target + static_cast<ptrdiff_t>(y) * f.pitch;
    for (int32_t x = 0; x < f.width; ++x) {
      uint8_t* w = &want.pixels[static_cast<size_t>(y * f.width + x) * 3];
      const uint32_t v = static_cast<uint32_t>(x * 37 + y * 101);
      switch (f.format_id) {
        case PixelFormatId::PAL8: {
          const uint8_t i = static_cast<uint8_t>(10 + v % 236);
          row[x] = i;
          w[0] = palette[i].r, w[1] = palette[i].g, w[2] = palette[i].b;
          break;
        }
        case PixelFormatId::RGB555:
        case PixelFormatId::RGB565: {
          const bool six = f.format_id == PixelFormatId::RGB565;
          const uint32_t r = v & 31, g = (v >> 3) & (six ? 63 : 31), b = (v >> 5) & 31;
          const uint16_t px =
              static_cast<uint16_t>(six ? (r << 11 | g << 5 | b) : (r << 10 | g << 5 | b));
          std::memcpy(row + x * 2, &px, 2);
          w[0] = static_cast<uint8_t>(r << 3 | r >> 2);
          w[1] =
              six ? static_cast<uint8_t>(g << 2 | g >> 4) : static_cast<uint8_t>(g << 3 | g >> 2);
          w[2] = static_cast<uint8_t>(b << 3 | b >> 2);
          break;
        }
        case PixelFormatId::RGB24:
        case PixelFormatId::RGB32: {
          const uint8_t r = static_cast<uint8_t>(v), g = static_cast<uint8_t>(v >> 4),
                        b = static_cast<uint8_t>(x ^ y);
          const uint32_t px = static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | b;
          std::memcpy(row + x * f.bytes_per_pixel, &px, static_cast<size_t>(f.bytes_per_pixel));
          w[0] = r, w[1] = g, w[2] = b;
          break;
        }
      }
    }
  }
  return want;
}

// Channels further apart than `tolerance`.
int Mismatches(const RgbFrame& a, const RgbFrame& b, int tolerance = 0) {
  if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return -1;
  int bad = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    if (std::abs(a.pixels[i] - b.pixels[i]) > tolerance && bad++ < 5) {
      ADD_FAILURE() << "at " << i << ": " << int(a.pixels[i]) << " vs " << int(b.pixels[i]);
    }
  }
  return bad;
}

bool Open(render::Display& display, SdlDisplayDevice& device, int resolution, PixelFormatId id) {
  display.format.width = render::kResolutions[static_cast<size_t>(resolution)].width;
  display.format.height = render::kResolutions[static_cast<size_t>(resolution)].height;
  display.format.format_id = id;
  render::SetFormatDefaults(display.format);
  return render::OpenDisplay(display, device);
}

TEST_F(SdlDisplay, OffersTheFifteenModes) {
  SdlDisplayDevice device({.headless = true});
  render::Display display;
  ASSERT_TRUE(Open(display, device, 0, PixelFormatId::PAL8));
  for (int r = 0; r < render::kResolutionCount; ++r) {
    for (int d = 0; d < render::kDepthCount; ++d) EXPECT_TRUE(display.modes.Has(r, d)) << r << d;
  }
  EXPECT_FALSE(device.SetMode(1280, 1024, 32));
  EXPECT_FALSE(device.SetMode(640, 480, 12));
}

TEST_F(SdlDisplay, PresentsEachFormatInTheWindow) {
  const render::Palette palette = TestPalette();
  for (int id = 0; id < 5; ++id) {
    SCOPED_TRACE(id);
    SdlDisplayDevice device({.fullscreen = false});
    render::Display display;
    ASSERT_TRUE(Open(display, device, 0, static_cast<PixelFormatId>(id)));
    ASSERT_TRUE(device.has_window());
    EXPECT_EQ(static_cast<int>(display.format.format_id), id);
    EXPECT_EQ(display.format.bytes_per_pixel, render::BytesPerPixel(display.format.format_id));
    if (id == 0) {
      ASSERT_TRUE(render::SetScreenPalette(display, device, palette, true));
    }

    ASSERT_TRUE(render::LockBackBuffer(display, device));
    EXPECT_EQ(display.format.pitch, 640 * display.format.bytes_per_pixel);
    RgbFrame want = DrawPattern(display.format, palette);
    if (id == 0) {
      // Only entries 10-245 reach the screen; the pattern uses nothing else.
      for (size_t i = 0; i < want.pixels.size(); i += 3) ASSERT_NE(want.pixels[i], 0);
    }
    render::UnlockAndFlip(display, device);

    EXPECT_EQ(Mismatches(device.LastFrameRgb(), want), 0);
    RgbFrame shown = device.ReadWindowRgb();
    ASSERT_EQ(shown.width, 640);
    // SDL widens 5 and 6-bit channels by scaling, we by repeating the top bits: both
    // within one step of 255. A wrong texture format is far off.
    const int tolerance = (id == 1 || id == 2) ? 1 : 0;
    EXPECT_EQ(Mismatches(shown, want, tolerance), 0) << "the texture format does not match";
    render::CloseDisplay(display, device);
  }
}

TEST_F(SdlDisplay, PaletteChangeShowsWithoutANewFrame) {
  SdlDisplayDevice device({.fullscreen = false});
  render::Display display;
  ASSERT_TRUE(Open(display, device, 0, PixelFormatId::PAL8));
  render::Palette p{};
  p[100] = {10, 20, 30};
  ASSERT_TRUE(render::SetScreenPalette(display, device, p, true));
  ASSERT_TRUE(render::LockBackBuffer(display, device));
  std::memset(display.format.draw_target, 100, static_cast<size_t>(display.format.frame_bytes));
  render::UnlockAndFlip(display, device);
  EXPECT_EQ(device.ReadWindowRgb().pixels[0], 10);
  p[100] = {200, 0, 0};
  ASSERT_TRUE(render::SetScreenPalette(display, device, p, false));
  RgbFrame shown = device.ReadWindowRgb();
  EXPECT_EQ(shown.pixels[0], 200);
  EXPECT_EQ(device.LastFrameRgb().pixels[0], 200);
}

TEST_F(SdlDisplay, WiderWindowGetsBlackBordersAndKeepsTheShape) {
  SdlDisplayDevice device({.fullscreen = false});
  render::Display display;
  ASSERT_TRUE(Open(display, device, 0, PixelFormatId::RGB32));
  ASSERT_TRUE(render::LockBackBuffer(display, device));
  auto* px = reinterpret_cast<uint32_t*>(display.format.draw_target);
  std::fill(px, px + 640 * 480, 0xFFFFFFu);
  render::UnlockAndFlip(display, device);
  device.SetWindowSize(1280, 480);
  RgbFrame shown = device.ReadWindowRgb();
  ASSERT_EQ(shown.width, 1280);
  ASSERT_EQ(shown.height, 480);
  auto at = [&](int x, int y) { return shown.pixels[static_cast<size_t>(y * 1280 + x) * 3]; };
  for (int y : {0, 240, 479}) {
    EXPECT_EQ(at(0, y), 0);
    EXPECT_EQ(at(318, y), 0);
    EXPECT_EQ(at(322, y), 255);
    EXPECT_EQ(at(640, y), 255);
    EXPECT_EQ(at(957, y), 255);
    EXPECT_EQ(at(962, y), 0);
    EXPECT_EQ(at(1279, y), 0);
  }
}

TEST_F(SdlDisplay, FlipChainAlternatesTwoBuffersThatKeepTheirContent) {
  SdlDisplayDevice device({.headless = true});
  render::Display display;
  ASSERT_TRUE(Open(display, device, 1, PixelFormatId::RGB565));
  EXPECT_FALSE(device.has_window());
  uint8_t* seen[3];
  for (int frame = 0; frame < 3; ++frame) {
    ASSERT_TRUE(render::LockBackBuffer(display, device));
    seen[frame] = display.format.draw_target;
    if (frame < 2) display.format.draw_target[0] = static_cast<uint8_t>(0x40 + frame);
    render::UnlockAndFlip(display, device);
  }
  EXPECT_NE(seen[0], seen[1]);
  EXPECT_EQ(seen[0], seen[2]);
  EXPECT_EQ(seen[2][0], 0x40) << "a buffer keeps what was drawn into it two frames ago";
  RgbFrame last = device.LastFrameRgb();
  EXPECT_EQ(last.width, 800);
  // The third frame showed the first frame's buffer again: 0x0040, green 2 of 63.
  EXPECT_EQ(last.pixels[1], 2 << 2);
  EXPECT_EQ(last.pixels[2], 0);
}

TEST_F(SdlDisplay, FullscreenToggle) {
  SdlDisplayDevice device({.fullscreen = false});
  render::Display display;
  ASSERT_TRUE(Open(display, device, 2, PixelFormatId::RGB24));
  EXPECT_FALSE(device.fullscreen());
  EXPECT_FALSE(SDL_IsScreenSaverEnabled()) << "an open window keeps the screen saver away";
  EXPECT_TRUE(device.ToggleFullscreen());
  EXPECT_TRUE(device.fullscreen());
  EXPECT_TRUE(device.ToggleFullscreen());
  EXPECT_FALSE(device.fullscreen());
  SdlDisplayDevice headless({.headless = true});
  EXPECT_FALSE(headless.ToggleFullscreen());
}

// The window opens at the size kept for it, and full screen remembers the
// size to go back to.
TEST_F(SdlDisplay, StartSizeAndTheSizeOutOfFullScreen) {
  int32_t w = 0, h = 0;
  {
    SdlDisplayDevice device({.fullscreen = false});
    device.SetStartWindowSize(900, 700);
    render::Display display;
    ASSERT_TRUE(Open(display, device, 1, PixelFormatId::RGB24));
    ASSERT_TRUE(device.WindowedSize(w, h));
    EXPECT_EQ(w * 1000 + h, 900700);
    device.SetWindowSize(1000, 760);  // as the user drags it
    ASSERT_TRUE(device.ToggleFullscreen());
    ASSERT_TRUE(device.WindowedSize(w, h));
    EXPECT_EQ(w * 1000 + h, 1000760) << "full screen keeps the window's size";
    render::CloseDisplay(display, device);
  }
  {
    SdlDisplayDevice device({.fullscreen = true});
    render::Display display;
    ASSERT_TRUE(Open(display, device, 1, PixelFormatId::RGB24));
    EXPECT_FALSE(device.WindowedSize(w, h)) << "opened full screen: no window size of its own";
    render::CloseDisplay(display, device);
  }
}

// The window's picture at a size: each picture pixel's centre, mapped into the
// window, compared with the frame (0 = all equal).
int WindowDiffers(const RgbFrame& shown, const RgbFrame& frame, int tolerance) {
  const double scale = std::min(static_cast<double>(shown.width) / frame.width,
                                static_cast<double>(shown.height) / frame.height);
  const int ox = static_cast<int>((shown.width - frame.width * scale) / 2);
  const int oy = static_cast<int>((shown.height - frame.height * scale) / 2);
  int bad = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const int wx = ox + static_cast<int>((x + 0.5) * scale);
      const int wy = oy + static_cast<int>((y + 0.5) * scale);
      for (int k = 0; k < 3; ++k) {
        const int a = frame.pixels[static_cast<size_t>((y * frame.width + x) * 3 + k)];
        const int b = shown.pixels[static_cast<size_t>((wy * shown.width + wx) * 3 + k)];
        if (std::abs(a - b) > tolerance) ++bad;
      }
    }
  }
  return bad;
}

// Both ways of showing a frame, direct (1:1 and twice the size) and scaled by
// the renderer, show the composed pixels, in every format.
TEST_F(SdlDisplay, DirectAndScaledWaysShowTheSamePixels) {
  const render::Palette palette = TestPalette();
  struct Size {
    int w, h;
    bool direct;
  };
  const Size sizes[] = {{640, 480, true}, {1280, 960, true}, {1400, 960, true}, {1000, 700, false}};
  for (int id = 0; id < 5; ++id) {
    SdlDisplayDevice device({.fullscreen = false});
    render::Display display;
    ASSERT_TRUE(Open(display, device, 0, static_cast<PixelFormatId>(id)));
    if (id == 0) {
      ASSERT_TRUE(render::SetScreenPalette(display, device, palette, true));
    }
    ASSERT_TRUE(render::LockBackBuffer(display, device));
    const RgbFrame want = DrawPattern(display.format, palette);
    render::UnlockAndFlip(display, device);
    for (const Size& s : sizes) {
      SCOPED_TRACE(std::to_string(id) + " at " + std::to_string(s.w) + "x" + std::to_string(s.h));
      device.SetWindowSize(s.w, s.h);
      const RgbFrame shown = device.ReadWindowRgb();
      ASSERT_EQ(shown.width, s.w);
      ASSERT_EQ(shown.height, s.h);
      EXPECT_EQ(device.last_shown_direct(), s.direct);
      // 5 and 6-bit channels: SDL's texture widens them by scaling, within one step.
      const int tolerance = s.direct ? 0 : (id == 1 || id == 2) ? 1 : 0;
      if (s.direct || s.w % 640 == 0) {
        EXPECT_EQ(WindowDiffers(shown, want, tolerance), 0);
      } else {
        // Smooth scaling blends neighbours; the pattern changes little between them
        // in most places.
        EXPECT_LT(WindowDiffers(shown, want, 40), 640 * 480 * 3 / 5);
      }
    }
    render::CloseDisplay(display, device);
  }
}

// Sharp scaling: the largest whole-number scale that fits, centred, black
// around it, each picture pixel a k × k block of its own colour.
TEST_F(SdlDisplay, SharpScalingUsesWholeNumberScalesOnly) {
  const render::Palette palette = TestPalette();
  struct Size {
    int w, h, k;
  };
  const Size sizes[] = {{1000, 700, 1}, {1400, 1000, 2}, {1300, 1500, 2}, {1920, 1080, 2}};
  for (int id : {0, 4}) {
    // Chosen at the start, or switched on with the window open (the Options form).
    SdlDisplayDevice device({.fullscreen = false, .sharp = id == 0});
    render::Display display;
    ASSERT_TRUE(Open(display, device, 0, static_cast<PixelFormatId>(id)));
    if (id != 0) device.SetSharp(true);
    if (id == 0) {
      ASSERT_TRUE(render::SetScreenPalette(display, device, palette, true));
    }
    ASSERT_TRUE(render::LockBackBuffer(display, device));
    const RgbFrame want = DrawPattern(display.format, palette);
    render::UnlockAndFlip(display, device);
    for (const Size& s : sizes) {
      SCOPED_TRACE(std::to_string(id) + " at " + std::to_string(s.w) + "x" + std::to_string(s.h));
      device.SetWindowSize(s.w, s.h);
      const RgbFrame shown = device.ReadWindowRgb();
      ASSERT_EQ(shown.width, s.w);
      ASSERT_EQ(shown.height, s.h);
      const int ox = (s.w - 640 * s.k) / 2, oy = (s.h - 480 * s.k) / 2;
      int bad = 0;
      for (int y = 0; y < 480 * s.k; ++y) {
        for (int x = 0; x < 640 * s.k; ++x) {
          const size_t from = static_cast<size_t>((y / s.k) * 640 + x / s.k) * 3;
          const size_t to = static_cast<size_t>((oy + y) * s.w + ox + x) * 3;
          for (size_t c = 0; c < 3; ++c) bad += want.pixels[from + c] != shown.pixels[to + c];
        }
      }
      EXPECT_EQ(bad, 0);
      for (const auto& [x, y] : {std::pair{0, 0}, std::pair{s.w - 1, s.h - 1},
                                 std::pair{ox - 1, s.h / 2}, std::pair{s.w / 2, oy - 1}}) {
        if (x < 0 || y < 0 || (x >= ox && y >= oy)) continue;  // no border on that side
        const size_t at = static_cast<size_t>(y * s.w + x) * 3;
        EXPECT_EQ(shown.pixels[at] + shown.pixels[at + 1] + shown.pixels[at + 2], 0)
            << "border at " << x << "," << y;
      }
    }
    render::CloseDisplay(display, device);
  }
}

// Frame after frame only the changed tiles are shown, yet the window always
// holds the whole last frame; a frame that changed nothing is not shown.
TEST_F(SdlDisplay, ShowsOnlyWhatChangedAndNothingForAnEqualFrame) {
  for (int id : {0, 2, 3, 4}) {
    SCOPED_TRACE(id);
    SdlDisplayDevice device({.fullscreen = false});
    render::Display display;
    ASSERT_TRUE(Open(display, device, 0, static_cast<PixelFormatId>(id)));
    const render::Palette palette = TestPalette();
    if (id == 0) {
      ASSERT_TRUE(render::SetScreenPalette(display, device, palette, true));
    }
    std::vector<uint8_t> picture;
    uint32_t seed = 7;
    for (int frame = 0; frame < 12; ++frame) {
      ASSERT_TRUE(render::LockBackBuffer(display, device));
      const render::DisplayFormat& f = display.format;
      if (frame == 0) {
        DrawPattern(f, palette);
        picture.assign(f.draw_target, f.draw_target + f.frame_bytes);
      } else if (frame % 4 != 3) {
        // A few small spots move about; every fourth frame repeats the last.
        for (int spot = 0; spot < 3; ++spot) {
          seed = seed * 1103515245u + 12345u;
          const int x = static_cast<int>(seed >> 8) % 620, y = static_cast<int>(seed >> 20) % 460;
          for (int dy = 0; dy < 20; ++dy) {
            std::memset(&picture[static_cast<size_t>((y + dy) * f.pitch + x * f.bytes_per_pixel)],
                        0x5A + frame, static_cast<size_t>(20 * f.bytes_per_pixel));
          }
        }
      }
      std::memcpy(f.draw_target, picture.data(), picture.size());
      const int64_t shown_before = device.shown_count();
      render::UnlockAndFlip(display, device);
      if (frame == 0) continue;
      if (frame % 4 == 3) {
        EXPECT_EQ(device.shown_count(), shown_before) << "an unchanged frame was shown";
        continue;
      }
      EXPECT_EQ(device.shown_count(), shown_before + 1);
      int64_t area = 0;
      for (const auto& b : device.changed_boxes()) area += (b.x1 - b.x0) * (b.y1 - b.y0);
      EXPECT_GT(area, 0);
      EXPECT_LE(area, 640 * 480 / 4) << "three small spots changed, not the frame";
      const RgbFrame shown = device.ReadWindowRgb();
      ASSERT_TRUE(device.last_shown_direct());
      ASSERT_EQ(Mismatches(shown, device.LastFrameRgb()), 0) << "frame " << frame;
    }
    render::CloseDisplay(display, device);
  }
}

// A flip waits for the display's next refresh (60 Hz on the dummy display),
// whether the frame changed or not, so a loop at rest does not spin.
TEST_F(SdlDisplay, FlipsFollowTheRefreshEvenWhenNothingChanged) {
  SdlDisplayDevice device({.fullscreen = false});
  render::Display display;
  ASSERT_TRUE(Open(display, device, 0, PixelFormatId::RGB32));
  render::UnlockAndFlip(display, device);
  const auto start = std::chrono::steady_clock::now();
  for (int frame = 0; frame < 12; ++frame) {
    ASSERT_TRUE(render::LockBackBuffer(display, device));
    display.format.draw_target[0] = static_cast<uint8_t>(frame / 2);
    render::UnlockAndFlip(display, device);
  }
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(11 * 1000 / 60)) << "flips ran ahead of the display";
}

TEST(ChangedBoxes, CoverEveryChangeAndMergeRowsOfTiles) {
  const render::DeviceMode mode{640, 480, 16, 0xF800, 0x07E0, 0x001F};
  std::vector<uint8_t> a(640 * 480 * 2, 0), b = a;
  std::vector<SdlDisplayDevice::Box> boxes;
  SdlDisplayDevice::ChangedBoxes(mode, a.data(), b.data(), boxes);
  EXPECT_TRUE(boxes.empty());
  // One pixel at the last column and row; a block of 100 x 40 across tiles.
  b[(479 * 640 + 639) * 2] = 1;
  for (int y = 100; y < 140; ++y) {
    for (int x = 70; x < 170; ++x) b[static_cast<size_t>((y * 640 + x) * 2 + 1)] = 9;
  }
  SdlDisplayDevice::ChangedBoxes(mode, b.data(), a.data(), boxes);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].x0, 64);
  EXPECT_EQ(boxes[0].x1, 192);
  EXPECT_EQ(boxes[0].y0, 96);
  EXPECT_EQ(boxes[0].y1, 144) << "three bands of tiles make one box";
  EXPECT_EQ(boxes[1].x0, 576);
  EXPECT_EQ(boxes[1].x1, 640);
  EXPECT_EQ(boxes[1].y0, 464);
  EXPECT_EQ(boxes[1].y1, 480);
}

}  // namespace
}  // namespace platform
