#pragma once
// A small screen with a two-buffer flip chain of its own, a compositor over a
// flat background, and ball-like sets built in memory.

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "render/compositor.h"
#include "render/display.h"
#include "render/image_set.h"

namespace render::testing {

// A grey palette: entry i has all three components i.
inline Palette GreyPalette() {
  Palette p{};
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    p[static_cast<size_t>(i)] = Rgb{v, v, v};
  }
  return p;
}

// A one-frame (or more) set of w × h pixels of `index` with a shadow plane of `shadow`.
inline void MakeSet(ImageSet& set, const DisplayFormat& f, int32_t w, int32_t h, uint8_t index,
                    uint8_t shadow, int32_t frames = 1) {
  set = ImageSet{};
  set.frame_count = frames;
  set.compression = kStoredPlain;
  set.palette = GreyPalette();
  set.lookup = BuildLookupTable(f, set.palette);
  for (int32_t k = 0; k < frames; ++k) {
    SpriteFrame fr;
    fr.width = w;
    fr.height = h;
    fr.decoded_size = fr.stored_size = w * h;
    fr.pixels.assign(static_cast<size_t>(w * h), index);
    fr.shadow.assign(static_cast<size_t>(w * h), shadow);
    fr.coverage.assign(static_cast<size_t>(w * h), 1);
    set.frames.push_back(std::move(fr));
  }
  set.work.assign(static_cast<size_t>(w * h), 0);
  set.loaded = true;
}

struct Rig {
  explicit Rig(PixelFormatId id, int32_t width = 64, int32_t height = 48) {
    DisplayFormat& f = display.format;
    f.width = width;
    f.height = height;
    f.format_id = id;
    SetFormatDefaults(f);
    f.scale = 1.0;  // positions in these tests are screen pixels
    c = std::make_unique<Compositor>();
    InitCompositor(*c, display);
    for (auto& b : buffers) b.assign(static_cast<size_t>(f.pitch) * height, 0xEE);
    c->scene_depth.width = width;
    c->scene_depth.height = height;
    c->scene_depth.data.assign(static_cast<size_t>(width) * height, 0);
  }

  int32_t Bpp() const { return display.format.bytes_per_pixel; }

  // Fills background and scene with one byte value.
  void FillBackground(uint8_t v) {
    std::memset(c->background.data(), v, c->background.size());
    std::memset(c->scene.data(), v, c->scene.size());
  }

  // One present: compose into the current buffer and flip.
  void Present() {
    DisplayFormat& f = display.format;
    f.draw_target = f.read_target = buffers[static_cast<size_t>(c->current_buffer)].data();
    ComposeFrame(*c, display, slots);
    c->current_buffer = (c->current_buffer + 1) % c->buffer_count;
  }
  // The buffer shown last.
  const std::vector<uint8_t>& Shown() const {
    return buffers[static_cast<size_t>((c->current_buffer + c->buffer_count - 1) %
                                       c->buffer_count)];
  }
  // First byte of pixel (x, y) of a buffer.
  uint8_t At(const std::vector<uint8_t>& b, int32_t x, int32_t y, int32_t byte = 0) const {
    return b[static_cast<size_t>(y) * display.format.pitch + static_cast<size_t>(x) * Bpp() +
             static_cast<size_t>(byte)];
  }
  uint32_t Pixel(const std::vector<uint8_t>& b, int32_t x, int32_t y) const {
    uint32_t v = 0;
    std::memcpy(&v,
                &b[static_cast<size_t>(y) * display.format.pitch + static_cast<size_t>(x) * Bpp()],
                static_cast<size_t>(Bpp()));
    return v;
  }

  // Puts instance i with set `set` at screen (x, y) and `depth`.
  void Place(int32_t i, ImageSet& set, int32_t x, int32_t y, int32_t depth) {
    AttachImageSet(*c, i, &set);
    MoveInstance(*c, display.format, i, x, y, depth);
  }

  Display display;
  std::unique_ptr<Compositor> c;
  std::unique_ptr<SpriteSlots> owned_slots = std::make_unique<SpriteSlots>();
  SpriteSlots& slots = *owned_slots;
  std::array<std::vector<uint8_t>, 2> buffers;
};

}  // namespace render::testing
