#pragma once
// The blitter family: one tight loop per pixel format for keyed true-colour
// sprites, indexed sprites (plain and depth-tested), shadows, the shadow depth
// mask, rectangle restores from the background and the shifted copy of a shake.
// Every blitter clips its box against an inclusive clip rectangle first.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "render/pixel_format.h"

namespace render {

// Inclusive clip rectangle in screen pixels.
struct ClipRect {
  int32_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
};
inline ClipRect FullClip(const DisplayFormat& f) { return {0, 0, f.width - 1, f.height - 1}; }

// A rectangle as recorded: x1, y1 exclusive.
struct Rect {
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// Something drawn into: pixels in the screen format, row length in bytes.
struct Surface {
  uint8_t* pixels = nullptr;
  int32_t pitch = 0;
};

// A box (x, y, w, h) after clipping: where it lands and which source pixel comes first.
struct ClippedBox {
  int32_t x = 0, y = 0;          // first screen pixel drawn
  int32_t src_x = 0, src_y = 0;  // first source pixel drawn
  int32_t w = 0, h = 0;          // size of the visible part
};
// False when nothing is visible, or when the visible width exceeds `screen_width`.
bool ClipBox(int32_t x, int32_t y, int32_t w, int32_t h, const ClipRect& clip, int32_t screen_width,
             ClippedBox& out);

// The part of a source plane that holds anything to draw, in source pixels.
// A blitter given one draws only inside it and does not look for it itself.
struct SourceBox {
  int32_t x = 0, y = 0, w = 0, h = 0;
};
// The box of the bytes of a w × h plane other than `empty`; false when every
// byte is `empty`.
bool FindUsedBox(const uint8_t* plane, int32_t w, int32_t h, uint8_t empty, SourceBox& out);

// The darkening tables of the current format, built at start-up (PAL8: loaded).
struct ShadowTables {
  PixelFormatId format = PixelFormatId::PAL8;
  std::vector<uint8_t> bytes;  // PAL8: [v × 256 + s]; RGB24/32: [c × 256 + s]
  // RGB565: 65 536 entries; RGB555: 32 768. Index = colour with its low three
  // bits replaced by the level 1..7; every channel drops by the level (green
  // of 565 by twice it). The index has lost blue's low bits, so the blitter
  // takes blue from the pixel itself.
  std::vector<uint16_t> words;
  bool Ready() const { return !bytes.empty() || !words.empty(); }
};
// 15/16-bit tables from the format alone; 24/32-bit from the green of the
// shadow palette. PAL8 takes the loaded shadow table (65 536 bytes; anything
// else leaves the tables empty, so shadows draw nothing).
void BuildShadowTables(ShadowTables& tables, PixelFormatId format, const Palette& shadow_palette,
                       std::span<const uint8_t> pal8_table = {});

// Where an indexed sprite frame of w × h bytes lands.
struct IndexedSource {
  const uint8_t* pixels = nullptr;
  int32_t width = 0, height = 0;
  uint8_t key = 0;                   // transparent byte in PAL8; index 0 in the other formats
  const uint32_t* lookup = nullptr;  // 256 screen values (not PAL8)
  const SourceBox* used = nullptr;   // where the non-transparent bytes lie, when known
};

// The scene depth map the depth test reads (screen-sized, larger = nearer).
struct DepthView {
  const int16_t* values = nullptr;
  int32_t width = 0, height = 0;
};

// Indexed sprite; with a depth view only pixels where depth ≥ scene depth are
// written (ties draw the sprite).
void BlitIndexed(const DisplayFormat& f, Surface dst, const IndexedSource& src, int32_t x,
                 int32_t y, const ClipRect& clip, const DepthView* depth, int16_t d);

// A true-colour sprite frame (bytes_per_pixel 1, 2 or 4; RGB24 frames hold 4
// bytes per pixel and write the low 3) written unless it equals `key`.
void BlitTrueColour(const DisplayFormat& f, Surface dst, const uint8_t* pixels, int32_t w,
                    int32_t h, int32_t x, int32_t y, const ClipRect& clip, uint32_t key);

// Darkens by an 8-bit shadow plane: reads the scene, writes scene and target.
// `used`, when given, holds every non-zero byte of the plane.
void BlitShadow(const DisplayFormat& f, Surface dst, Surface scene, const ShadowTables& tables,
                const uint8_t* shadow, int32_t w, int32_t h, int32_t x, int32_t y,
                const ClipRect& clip, const SourceBox* used = nullptr);

// Turns every shadow value into `key` where depth + 30 (as given in `d`) is
// below the scene depth; the plane is w × h at screen position (x, y). With
// key 0 and `used` given, only that box of the plane is looked at.
void MaskShadowByDepth(uint8_t* plane, int32_t w, int32_t h, int32_t x, int32_t y,
                       const DepthView& depth, int16_t d, uint8_t key,
                       const SourceBox* used = nullptr);

// Copies a recorded rectangle from `from` (width × bytes per pixel per row) into
// `dst` over 4-pixel aligned spans.
void RestoreRect(const DisplayFormat& f, Surface dst, const uint8_t* from, Rect r);

// Copies the whole background into the target.
void CopyWhole(const DisplayFormat& f, Surface dst, const uint8_t* from);

// Each target pixel (X, Y) takes scene pixel (X + sx, Y + sy), shifts limited
// to −32…32; pixels whose source lies outside the screen become 0.
void ShiftedCopy(const DisplayFormat& f, Surface dst, const uint8_t* scene, int32_t sx, int32_t sy);

}  // namespace render
