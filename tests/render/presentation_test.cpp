#include "render/presentation.h"

#include <gtest/gtest.h>

#include <memory>

#include "compositor_fixture.h"
#include "render/fake_display_device.h"

namespace render {
namespace {

struct Screen {
  explicit Screen(PixelFormatId id) {
    dev.modes = {{64, 48, 8, 0, 0, 0}, {64, 48, 32, 0xFF0000, 0xFF00, 0xFF}};
    display.format.width = 64;
    display.format.height = 48;
    display.format.format_id = id;
    SetFormatDefaults(display.format);
    EXPECT_TRUE(OpenDisplay(display, dev));
    c = std::make_unique<Compositor>();
    InitCompositor(*c, display);
    std::memset(c->background.data(), 0x33, c->background.size());
    std::memset(c->scene.data(), 0x33, c->scene.size());
    for (int i = 0; i < 256; ++i)
      palette[static_cast<size_t>(i)] = Rgb{static_cast<uint8_t>(i), 1, 2};
  }
  PresentContext Context() { return {display, dev, *c, *slots, palette}; }

  FakeDisplayDevice dev;
  Display display;
  std::unique_ptr<Compositor> c;
  std::unique_ptr<SpriteSlots> slots = std::make_unique<SpriteSlots>();
  Palette palette{};
  Presentation p;
};

TEST(PresentFrame, FirstEightBitPresentLoadsThePaletteThenComposes) {
  Screen s(PixelFormatId::PAL8);
  PresentContext ctx = s.Context();
  ASSERT_TRUE(PresentFrame(s.p, ctx));
  EXPECT_EQ(s.p.palette_reload_pending, 0);
  EXPECT_EQ(s.dev.screen_palette[100], (Rgb{100, 1, 2}));
  EXPECT_EQ(s.dev.screen_palette[5].g, 0);  // entries below 10 stay the system's
  EXPECT_EQ(s.dev.flips, 2);                // the cleared screen, then the frame
  EXPECT_EQ(s.dev.back[0], 0x33);
  EXPECT_EQ(s.c->current_buffer, 1);
  EXPECT_EQ(s.display.full_redraw_count, 2);

  // A palette change gives the entries again on the next present.
  s.dev.screen_palette[100] = Rgb{};
  s.p.palette_changed = 1;
  ASSERT_TRUE(PresentFrame(s.p, ctx));
  EXPECT_EQ(s.dev.screen_palette[100], (Rgb{100, 1, 2}));
  EXPECT_EQ(s.c->current_buffer, 0);
}

TEST(PresentFrame, AFailedLockDrawsNothingAndKeepsTheBuffer) {
  Screen s(PixelFormatId::RGB32);
  PresentContext ctx = s.Context();
  s.dev.back.clear();  // the surface is gone: Lock fails
  EXPECT_FALSE(PresentFrame(s.p, ctx));
  EXPECT_EQ(s.c->current_buffer, 0);
  EXPECT_EQ(s.dev.flips, 0);
  EXPECT_EQ(s.display.full_redraw_count, 3);
}

TEST(Backdrop, NestedDialogsCaptureOnceAndFreeAfterTheLast) {
  Screen s(PixelFormatId::RGB32);
  PresentContext ctx = s.Context();
  ASSERT_TRUE(PresentFrame(s.p, ctx));
  OpenBackdrop(s.p, ctx);
  ASSERT_EQ(s.p.backdrop.size(), 64u * 48u * 4u);
  EXPECT_EQ(s.p.backdrop[0], 0x33);
  EXPECT_EQ(s.display.full_redraw_count, 3);
  EXPECT_FALSE(s.display.locked);
  // The table changes under the first dialog; a second one keeps the first capture.
  std::memset(s.c->background.data(), 0x44, s.c->background.size());
  OpenBackdrop(s.p, ctx);
  EXPECT_EQ(s.p.backdrop_count, 2);
  EXPECT_EQ(s.p.backdrop[0], 0x33);

  std::vector<uint8_t> window(64 * 48 * 4, 0);
  EXPECT_TRUE(PaintBackdrop(s.p, s.display.format, {window.data(), 64 * 4}, 2, 0));
  EXPECT_EQ(window[0], 0);
  EXPECT_EQ(window[8], 0x33);

  CloseBackdrop(s.p, s.display);
  EXPECT_FALSE(s.p.backdrop.empty());
  CloseBackdrop(s.p, s.display);
  EXPECT_TRUE(s.p.backdrop.empty());
  EXPECT_EQ(s.p.backdrop_count, 0);
  EXPECT_FALSE(PaintBackdrop(s.p, s.display.format, {window.data(), 64 * 4}, 0, 0));
  // The repaints show the new picture.
  ASSERT_TRUE(PresentFrame(s.p, ctx));
  EXPECT_EQ(s.dev.back[0], 0x44);
}

}  // namespace
}  // namespace render
