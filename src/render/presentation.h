#pragma once
// Showing a frame: the palette on the first 8-bit frame and after the system
// touched it, lock, compose, unlock and flip; and the backdrop, a copy of the
// picture kept while dialogs and menus sit over the game.

#include <cstdint>
#include <vector>

#include "render/compositor.h"
#include "render/display.h"

namespace render {

struct Presentation {
  int32_t palette_reload_pending = 1;  // the next 8-bit present loads the table palette
  int32_t palette_changed = 0;         // the system touched the screen palette
  int32_t backdrop_count = 0;          // open dialogs and menus
  // The captured picture: width × height pixels of the screen format, no padding.
  std::vector<uint8_t> backdrop;
};

// What a present needs besides the display: the compositor and its table parts,
// and the table palette for 8-bit screens.
struct PresentContext {
  Display& display;
  DisplayDevice& device;
  Compositor& compositor;
  const SpriteSlots& slots;
  const Palette& table_palette;
};

// True when a frame was shown; false when the back buffer could not be locked
// (nothing drawn, nothing flipped, the current buffer unchanged).
bool PresentFrame(Presentation& p, PresentContext& ctx);

// Gives the table palette to the 8-bit screen again (without clearing).
void ReattachScreenPalette(PresentContext& ctx);

// A dialog or menu is about to show: the first one captures the current
// picture. Every opening and closing asks for three full repaints.
void OpenBackdrop(Presentation& p, PresentContext& ctx);
void CloseBackdrop(Presentation& p, Display& display);

// Copies the captured picture to (x, y) of a surface in the screen format;
// false without one.
bool PaintBackdrop(const Presentation& p, const DisplayFormat& f, Surface dst, int32_t x,
                   int32_t y);

}  // namespace render
