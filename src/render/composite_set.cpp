// The ball's composite set: a picture set and an optional shadow set of the same
// frame count joined into one plain set, each frame carrying a shadow plane and
// a coverage map.

#include <algorithm>

#include "render/image_set.h"

namespace render {

namespace {

// Copies a frame's pixels into a plane at (dx, dy); marks non-zero pixels as covered.
void Place(const SpriteFrame& src, std::vector<uint8_t>& plane, std::vector<uint8_t>& coverage,
           int64_t plane_width, int64_t dx, int64_t dy) {
  for (int64_t y = 0; y < src.height; ++y) {
    for (int64_t x = 0; x < src.width; ++x) {
      uint8_t v = src.pixels[static_cast<size_t>(y * src.width + x)];
      size_t at = static_cast<size_t>((y + dy) * plane_width + x + dx);
      plane[at] = v;
      if (v != 0) coverage[at] = 1;
    }
  }
}

}  // namespace

bool LoadCompositeSet(ImageSet& set, std::span<const uint8_t> picture_file,
                      std::span<const uint8_t> shadow_file, ImageSetContext& ctx) {
  FreeImageSet(set);
  const bool has_shadow = !shadow_file.empty();

  // The ball is re-indexed to the table palette in every mode and kept plain.
  ImageSet picture;
  ImageSetOptions picture_options;
  picture_options.reindex = Reindex::kAlways;
  picture_options.keep_decoded = true;
  picture_options.trim_ball = true;
  ImageSetContext picture_ctx{ctx.format, ctx.colours, nullptr};
  if (!LoadImageSet(picture, picture_file, picture_ctx, picture_options)) return false;
  if (picture.frame_count > kMaxCompositeFrames) return false;

  ImageSet shadow;
  if (has_shadow) {
    ImageSetOptions shadow_options;
    shadow_options.nearest = true;
    shadow_options.keep_decoded = true;
    if (!LoadImageSet(shadow, shadow_file, ctx, shadow_options)) return false;
    if (shadow.frame_count != picture.frame_count) return false;
  }

  std::vector<SpriteFrame> frames(picture.frames.size());
  int64_t total = 0;  // hostile hot spots could ask for huge planes
  for (size_t i = 0; i < frames.size(); ++i) {
    const SpriteFrame& p = picture.frames[i];
    const SpriteFrame* s = has_shadow ? &shadow.frames[i] : nullptr;
    SpriteFrame& out = frames[i];
    int64_t hx = p.hot_x, hy = p.hot_y;
    int64_t right = int64_t{p.hot_x} + p.width, bottom = int64_t{p.hot_y} + p.height;
    if (s) {
      hx = std::min<int64_t>(hx, s->hot_x);
      hy = std::min<int64_t>(hy, s->hot_y);
      right = std::max<int64_t>(right, int64_t{s->hot_x} + s->width);
      bottom = std::max<int64_t>(bottom, int64_t{s->hot_y} + s->height);
    }
    const int64_t w = right - hx, h = bottom - hy;
    total += w * h;
    if (w * h > int64_t{1} << 24 || total > int64_t{1} << 26) return false;
    out.width = static_cast<int32_t>(w);
    out.height = static_cast<int32_t>(h);
    out.hot_x = static_cast<int32_t>(hx);
    out.hot_y = static_cast<int32_t>(hy);
    out.decoded_size = out.stored_size = static_cast<int32_t>(w * h);
    out.key = p.key;
    out.pixels.assign(static_cast<size_t>(w * h), p.key);
    out.coverage.assign(static_cast<size_t>(w * h), 0);
    Place(p, out.pixels, out.coverage, w, p.hot_x - hx, p.hot_y - hy);
    if (s) {
      out.shadow.assign(static_cast<size_t>(w * h), p.key);
      Place(*s, out.shadow, out.coverage, w, s->hot_x - hx, s->hot_y - hy);
    }
  }

  // 15- and 16-bit shadows darken by levels 1..7, from the green of the shadow's palette.
  const PixelFormatId id = ctx.format.format_id;
  if (has_shadow && (id == PixelFormatId::RGB555 || id == PixelFormatId::RGB565)) {
    std::array<uint8_t, 256> level{};
    for (size_t v = 1; v < 256; ++v) {
      level[v] = static_cast<uint8_t>(std::clamp((255 - shadow.palette[v].g) >> 4, 1, 7));
    }
    for (SpriteFrame& f : frames) {
      for (uint8_t& v : f.shadow) v = level[v];
    }
  }

  set.version = picture.version;
  set.frame_count = picture.frame_count;
  set.bits_per_pixel = picture.bits_per_pixel;
  set.palette_precision = picture.palette_precision;
  set.palette_count = picture.palette_count;
  set.compression = kStoredPlain;
  set.cube_block_size = picture.cube_block_size;
  set.palette = picture.palette;
  set.lookup = std::move(picture.lookup);
  set.frames = std::move(frames);
  size_t largest = 0;
  for (const SpriteFrame& f : set.frames) largest = std::max(largest, f.pixels.size());
  set.work.assign(largest, 0);
  set.cache_index = -1;
  MeasureUsedBoxes(set);
  set.loaded = true;
  return true;
}

}  // namespace render
