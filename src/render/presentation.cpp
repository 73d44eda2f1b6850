#include "render/presentation.h"

#include <algorithm>
#include <cstring>

namespace render {

bool PresentFrame(Presentation& p, PresentContext& ctx) {
  const bool pal8 = ctx.display.format.format_id == PixelFormatId::PAL8;
  if (p.palette_reload_pending) {
    p.palette_reload_pending = 0;
    if (pal8) SetScreenPalette(ctx.display, ctx.device, ctx.table_palette, true);
  }
  if (p.palette_changed) {
    p.palette_changed = 0;
    // Our screen palette is private to the window; giving the entries again is
    // all that realising it amounts to.
    if (pal8) SetScreenPalette(ctx.display, ctx.device, ctx.table_palette, false);
  }
  if (!LockBackBuffer(ctx.display, ctx.device)) return false;
  ComposeFrame(ctx.compositor, ctx.display, ctx.slots);
  UnlockAndFlip(ctx.display, ctx.device);
  Compositor& c = ctx.compositor;
  c.current_buffer = c.current_buffer + 1 >= c.buffer_count ? 0 : c.current_buffer + 1;
  return true;
}

void ReattachScreenPalette(PresentContext& ctx) {
  if (ctx.display.format.format_id == PixelFormatId::PAL8) {
    SetScreenPalette(ctx.display, ctx.device, ctx.table_palette, false);
  }
}

void OpenBackdrop(Presentation& p, PresentContext& ctx) {
  Display& d = ctx.display;
  d.full_redraw_count = 3;
  ++p.backdrop_count;
  if (!p.backdrop.empty()) return;
  // The picture the player sees is what the compositor would draw now: compose
  // it into the back buffer and keep a copy, without flipping (the buffer is
  // composed again, whole, by the repaints that follow).
  if (!LockBackBuffer(d, ctx.device)) return;
  ComposeFrame(ctx.compositor, d, ctx.slots);
  const DisplayFormat& f = d.format;
  const size_t row = static_cast<size_t>(f.width) * static_cast<size_t>(f.bytes_per_pixel);
  p.backdrop.resize(row * static_cast<size_t>(f.height));
  for (int32_t y = 0; y < f.height; ++y) {
    std::memcpy(p.backdrop.data() + row * static_cast<size_t>(y),
                f.draw_target + static_cast<ptrdiff_t>(y) * f.pitch, row);
  }
  ctx.device.Unlock();
  d.locked = false;
  d.full_redraw_count = 3;
}

void CloseBackdrop(Presentation& p, Display& display) {
  display.full_redraw_count = 3;
  --p.backdrop_count;
  if (p.backdrop_count <= 0) {
    p.backdrop.clear();
    p.backdrop.shrink_to_fit();
    p.backdrop_count = 0;
  }
}

bool PaintBackdrop(const Presentation& p, const DisplayFormat& f, Surface dst, int32_t x,
                   int32_t y) {
  if (p.backdrop.empty() || dst.pixels == nullptr) return false;
  const int32_t bpp = f.bytes_per_pixel;
  const size_t row = static_cast<size_t>(f.width) * static_cast<size_t>(bpp);
  if (p.backdrop.size() < row * static_cast<size_t>(f.height)) return false;
  // The surface is screen-sized: only the part that lands on it is copied.
  const int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int32_t x1 = std::min(x + f.width, f.width), y1 = std::min(y + f.height, f.height);
  if (x1 <= x0 || y1 <= y0) return true;
  for (int32_t sy = y0; sy < y1; ++sy) {
    std::memcpy(
        dst.pixels + static_cast<ptrdiff_t>(sy) * dst.pitch + static_cast<ptrdiff_t>(x0) * bpp,
        p.backdrop.data() + row * static_cast<size_t>(sy - y) + static_cast<size_t>(x0 - x) * bpp,
        static_cast<size_t>(x1 - x0) * bpp);
  }
  return true;
}

}  // namespace render
