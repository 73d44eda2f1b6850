#include "render/compositor.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace render {

namespace {

constexpr float kTwoPi = 6.2831855f;

inline bool Valid(int32_t i) { return i >= 0 && static_cast<size_t>(i) < kInstanceCount; }

inline int32_t Scaled(const DisplayFormat& f, int32_t v) {
  return static_cast<int32_t>(static_cast<double>(v) * f.scale);
}

inline bool HasFrames(const SpriteInstance& s) {
  return s.image_set != nullptr && s.image_set->frame_count > 0 && !s.image_set->frames.empty();
}

inline Surface SceneSurface(Compositor& c, const DisplayFormat& f) {
  return {c.scene.data(), f.width * f.bytes_per_pixel};
}

DepthView ViewOf(const DepthMap& m) {
  if (m.width <= 0 || m.height <= 0 ||
      m.data.size() < static_cast<size_t>(m.width) * static_cast<size_t>(m.height)) {
    return {};
  }
  return {m.data.data(), m.width, m.height};
}

// Transparent pixels of converted frames hold the format's key value; in 256
// colours the sprite's own key byte.
uint32_t SpriteKey(const DisplayFormat& f, const TrueColourSprite& s) {
  return f.format_id == PixelFormatId::PAL8 ? (s.key_value & 0xFF) : TransparentKey(f.format_id);
}

void EmptyLists(Compositor& c) {
  for (BufferRectList& l : c.lists) l.count = 0;
}

// Appends a box to the current surface's list; an overflow empties every list
// and repaints the whole picture instead.
void Record(Compositor& c, Display& display, Rect r) {
  BufferRectList& l = c.lists[static_cast<size_t>(c.current_buffer)];
  if (l.rects.size() < static_cast<size_t>(kMaxRectsPerList) + 1) {
    l.rects.resize(static_cast<size_t>(kMaxRectsPerList) + 1);
  }
  l.rects[static_cast<size_t>(l.count)] = r;
  ++l.count;
  if (l.count > kMaxRectsPerList) {
    EmptyLists(c);
    c.scene_stale = true;
    display.full_redraw_count = c.buffer_count;
  }
}

// The reflection map as the disc reads it.
struct MapView {
  const uint8_t* texels;
  int32_t width, height;
  bool pow2;  // both sides powers of two: wrapping is a mask
};

// Texel positions well inside int32 take the short way; anything else (huge
// or not finite) the general one. Both pick the same texel.
constexpr float kNearTexel = 1073741824.0f;  // 2^30

inline bool TexelAt(const MapView& m, float fx, float fy, uint8_t& out) {
  int64_t tx = 0, ty = 0;
  if (fx > -kNearTexel && fx < kNearTexel && fy > -kNearTexel && fy < kNearTexel) {
    tx = static_cast<int32_t>(fx);
    ty = static_cast<int32_t>(fy);
  } else {
    if (!std::isfinite(fx) || !std::isfinite(fy)) return false;
    tx = static_cast<int64_t>(fx);
    ty = static_cast<int64_t>(fy);
  }
  if (tx < 0 || tx >= m.width) {
    tx %= m.width;
    if (tx < 0) tx += m.width;
  }
  if (ty < 0 || ty >= m.height) {
    ty %= m.height;
    if (ty < 0) ty += m.height;
  }
  out = m.texels[static_cast<size_t>(ty) * static_cast<size_t>(m.width) + static_cast<size_t>(tx)];
  return true;
}

// One row of the disc's quadrant: the products for |j| = 0, 1, ...
struct DiscRow {
  const float *jc, *js, *ic, *is;  // (|j| q) cos a, (|j| q) sin a, (|i| q) cos a, (|i| q) sin a
  const uint8_t* inside;           // within the outer radius
};

// The pixels j = step·a, a in [a0, a1], of one row (p and w point at j = 0):
// fx = j q cos a + i q sin a + hx, fy = −j q sin a + i q cos a + hy, with
// si the sign of i. The work copy still equals the pixels, so the mix reads
// the pixel itself. Everything arrives by value: the byte stores cannot make
// the compiler read it again.
void ReflectRun(const uint8_t* __restrict p, uint8_t* __restrict w, const DiscRow r, int32_t a0,
                int32_t a1, int32_t step, float si, float hx, float hy, const MapView map,
                const uint8_t* __restrict mix, uint8_t key) {
  const float sj = static_cast<float>(step);
  int32_t a = a0;
#if defined(__SSE2__)
  if (map.pow2) {
    const __m128 sjv = _mm_set1_ps(sj), njv = _mm_set1_ps(-sj), siv = _mm_set1_ps(si);
    const __m128 hxv = _mm_set1_ps(hx), hyv = _mm_set1_ps(hy);
    const __m128 hi = _mm_set1_ps(kNearTexel), lo = _mm_set1_ps(-kNearTexel);
    const __m128i mx = _mm_set1_epi32(map.width - 1), my = _mm_set1_epi32(map.height - 1);
    const __m128i shift = _mm_cvtsi32_si128(std::countr_zero(static_cast<uint32_t>(map.width)));
    for (; a + 3 <= a1; a += 4) {
      const __m128 fx = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_loadu_ps(r.jc + a), sjv),
                                              _mm_mul_ps(_mm_loadu_ps(r.is + a), siv)),
                                   hxv);
      const __m128 fy = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_loadu_ps(r.js + a), njv),
                                              _mm_mul_ps(_mm_loadu_ps(r.ic + a), siv)),
                                   hyv);
      const __m128 ok = _mm_and_ps(_mm_and_ps(_mm_cmplt_ps(fx, hi), _mm_cmpgt_ps(fx, lo)),
                                   _mm_and_ps(_mm_cmplt_ps(fy, hi), _mm_cmpgt_ps(fy, lo)));
      if (_mm_movemask_ps(ok) == 15) {
        const __m128i tx = _mm_and_si128(_mm_cvttps_epi32(fx), mx);
        const __m128i ty = _mm_and_si128(_mm_cvttps_epi32(fy), my);
        alignas(16) int32_t index[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(index),
                        _mm_add_epi32(_mm_sll_epi32(ty, shift), tx));
        for (int32_t k = 0; k < 4; ++k) {
          const ptrdiff_t j = static_cast<ptrdiff_t>(step) * (a + k);
          const uint8_t v = p[j];
          if (v == key || !r.inside[a + k]) continue;
          w[j] = mix[static_cast<size_t>(v) * 256 + map.texels[index[k]]];
        }
      } else {
        alignas(16) float xs[4], ys[4];
        _mm_store_ps(xs, fx);
        _mm_store_ps(ys, fy);
        for (int32_t k = 0; k < 4; ++k) {
          const ptrdiff_t j = static_cast<ptrdiff_t>(step) * (a + k);
          const uint8_t v = p[j];
          uint8_t texel;
          if (v == key || !r.inside[a + k] || !TexelAt(map, xs[k], ys[k], texel)) continue;
          w[j] = mix[static_cast<size_t>(v) * 256 + texel];
        }
      }
    }
  }
#endif
  for (; a <= a1; ++a) {
    const ptrdiff_t j = static_cast<ptrdiff_t>(step) * a;
    const uint8_t v = p[j];
    uint8_t texel;
    if (v == key || !r.inside[a]) continue;
    if (!TexelAt(map, (sj * r.jc[a] + si * r.is[a]) + hx, (-sj * r.js[a] + si * r.ic[a]) + hy,
                 texel)) {
      continue;
    }
    w[j] = mix[static_cast<size_t>(v) * 256 + texel];
  }
}

// The reflection on a ball frame: W is the work copy, P the unmodified pixels.
void ApplyReflection(Compositor& c, uint8_t* work, const uint8_t* pixels, int32_t fw, int32_t fh,
                     uint8_t key, const physics::ReflectionBlock& b) {
  const ReflectionTables& t = c.reflection;
  if (b.map_index < 0 || b.map_index > 3 || !c.mix_loaded) return;
  const ScreenImage& tex = t.maps[static_cast<size_t>(b.map_index)];
  const int32_t tw = tex.width, th = tex.height;
  if (tw <= 0 || th <= 0 || tex.bytes.size() < static_cast<size_t>(tw) * static_cast<size_t>(th)) {
    return;
  }
  if (t.distance.size() < kReflectionTableSide * kReflectionTableSide ||
      t.spread.size() < kReflectionTableSide * 256) {
    return;
  }
  const int32_t r = std::min(b.radius, 127);
  if (r <= 0) return;
  const int32_t outer = static_cast<int32_t>(static_cast<float>(r) * 0.75f);
  const int32_t l = std::min(static_cast<int32_t>(std::lround(static_cast<float>(r) * 2.0f)), 255);
  const float e = r < 1 ? 1.0f : static_cast<float>(tw) / static_cast<float>(r);
  const float hx = b.roll_x + 0.5f + static_cast<float>(tw / 2);
  const float hy = b.roll_y + 0.5f + static_cast<float>(th / 2);
  const float ca = std::cos(b.angle), sa = std::sin(b.angle);
  // Pixels with |i| or |j| of at least `outer` are never inside the disc.
  const int32_t reach = std::min(r, outer - 1);
  if (reach < 0) return;
  // The products the texel position is made of depend on |i| and |j| only
  // (negating a factor negates a product exactly): one quadrant serves all
  // four. Kept as rows of |i|, one array per product, so that neighbouring
  // pixels are worked out four at a time. |j| q and |i| q do not depend on
  // the angle and are kept from the last disc of the same size.
  ReflectionQuadrant& quad = c.reflection_quadrant;
  const size_t side = static_cast<size_t>(reach) + 1;
  const size_t cells = side * side;
  if (quad.outer != outer || quad.l != l || quad.e != e || quad.side != side ||
      quad.distance != t.distance.data() || quad.spread != t.spread.data()) {
    quad.outer = outer;
    quad.l = l;
    quad.e = e;
    quad.side = side;
    quad.distance = t.distance.data();
    quad.spread = t.spread.data();
    quad.jq.assign(cells, 0.0f);
    quad.iq.assign(cells, 0.0f);
    quad.inside.assign(cells, 0);
    const float outer_f = static_cast<float>(outer);
    for (size_t ai = 0; ai < side; ++ai) {
      for (size_t aj = 0; aj < side; ++aj) {
        const size_t at = ai * side + aj;
        const float dist = t.distance[ai * kReflectionTableSide + aj];
        if (!(dist < outer_f)) continue;
        quad.inside[at] = 1;
        // Rounds as lround does: the distances are square roots of whole
        // numbers, never within a rounding step of a half.
        const float q =
            t.spread[static_cast<size_t>(dist + 0.5f) * 256 + static_cast<size_t>(l)] * e;
        quad.jq[at] = static_cast<float>(aj) * q;
        quad.iq[at] = static_cast<float>(ai) * q;
      }
    }
  }
  quad.jc.resize(cells);
  quad.js.resize(cells);
  quad.ic.resize(cells);
  quad.is.resize(cells);
  for (size_t at = 0; at < cells; ++at) {
    // Outside the disc both factors are 0, and so are the products.
    quad.jc[at] = quad.jq[at] * ca;
    quad.js[at] = quad.jq[at] * sa;
    quad.ic[at] = quad.iq[at] * ca;
    quad.is[at] = quad.iq[at] * sa;
  }
  const MapView map{tex.bytes.data(), tw, th,
                    std::has_single_bit(static_cast<uint32_t>(tw)) &&
                        std::has_single_bit(static_cast<uint32_t>(th))};
  for (int32_t i = -reach; i <= reach; ++i) {
    const int64_t py = int64_t{b.centre_y} + i;
    if (py < 0 || py >= fh) continue;  // reads outside give 0, the key: skipped
    const int32_t j0 = static_cast<int32_t>(std::max<int64_t>(-reach, -int64_t{b.centre_x}));
    const int32_t j1 = static_cast<int32_t>(std::min<int64_t>(reach, int64_t{fw} - 1 - b.centre_x));
    if (j0 > j1) continue;
    const size_t row = static_cast<size_t>(std::abs(i)) * side;
    DiscRow r{quad.jc.data() + row, quad.js.data() + row, quad.ic.data() + row,
              quad.is.data() + row, quad.inside.data() + row};
    // The row's pixels, indexed by j.
    const ptrdiff_t base = static_cast<ptrdiff_t>(py) * fw + b.centre_x;
    const float si = i < 0 ? -1.0f : 1.0f;
    if (j1 >= 0) {
      ReflectRun(pixels + base, work + base, r, std::max(j0, 0), j1, 1, si, hx, hy, map,
                 c.mix.data(), key);
    }
    if (j0 < 0) {
      ReflectRun(pixels + base, work + base, r, std::max(1, -j1), -j0, -1, si, hx, hy, map,
                 c.mix.data(), key);
    }
  }
}

enum class Pass { kShadow, kSprite };

// A measured box still lies within its frame.
bool BoxInside(const SourceBox& b, const SpriteFrame& fr) {
  return b.x >= 0 && b.y >= 0 && b.w >= 0 && b.h >= 0 && int64_t{b.x} + b.w <= fr.width &&
         int64_t{b.y} + b.h <= fr.height;
}

// Measured boxes a composite frame may be drawn through: with key 0, masking
// the shadow by depth only clears bytes, so nothing lands outside them.
bool UsesBoxes(const SpriteInstance& s, const SpriteFrame& fr) {
  return s.shadow && fr.boxes_measured && fr.key == 0 && BoxInside(fr.pixel_box, fr) &&
         BoxInside(fr.shadow_box, fr);
}

// The screen rectangle (x1, y1 exclusive) a frame drawn at (bx, by) can
// change: the whole frame, or for measured frames the part its pixels and
// shadow cover; none when a measured frame is empty.
std::optional<Rect> DrawnRect(const SpriteInstance& s, const SpriteFrame& fr, int32_t bx,
                              int32_t by) {
  if (!UsesBoxes(s, fr)) return Rect{bx, by, bx + fr.width, by + fr.height};
  int32_t x0 = fr.width, y0 = fr.height, x1 = 0, y1 = 0;
  for (const SourceBox& b : {fr.pixel_box, fr.shadow_box}) {
    if (b.w <= 0 || b.h <= 0) continue;
    x0 = std::min(x0, b.x);
    y0 = std::min(y0, b.y);
    x1 = std::max(x1, b.x + b.w);
    y1 = std::max(y1, b.y + b.h);
  }
  if (x1 <= x0 || y1 <= y0) return std::nullopt;
  return Rect{bx + x0, by + y0, bx + x1, by + y1};
}

// Copies one box of a plane (rows `stride` bytes apart) to the same place in another.
void CopyBox(uint8_t* to, const uint8_t* from, int32_t stride, const SourceBox& box) {
  for (int32_t row = box.y; row < box.y + box.h; ++row) {
    const size_t at =
        static_cast<size_t>(row) * static_cast<size_t>(stride) + static_cast<size_t>(box.x);
    std::memcpy(to + at, from + at, static_cast<size_t>(box.w));
  }
}

void DrawInstance(Compositor& c, Display& display, SpriteInstance& s, Pass pass, Surface target) {
  const DisplayFormat& f = display.format;
  if (pass == Pass::kShadow && !s.shadow) return;
  if (!HasFrames(s) || s.frame < 0 || s.frame >= s.image_set->frame_count ||
      static_cast<size_t>(s.frame) >= s.image_set->frames.size()) {
    return;
  }
  ImageSet& set = *s.image_set;
  SpriteFrame& fr = set.frames[static_cast<size_t>(s.frame)];
  const int32_t bx = s.x - fr.hot_x, by = s.y - fr.hot_y;
  if (pass == Pass::kSprite && display.full_redraw_count <= c.buffer_count) {
    if (const std::optional<Rect> r = DrawnRect(s, fr, bx, by)) Record(c, display, *r);
  } else if (pass == Pass::kSprite && s.shadow) {
    c.scene_stale = true;
  }
  const ClipRect clip = s.clip;
  const size_t n = static_cast<size_t>(fr.width) * static_cast<size_t>(std::max(fr.height, 0));
  const DepthView depth = s.depth_test && s.depth_map ? ViewOf(*s.depth_map) : DepthView{};
  const bool tested = depth.values != nullptr;
  const uint8_t key = f.bytes_per_pixel == 1 ? fr.key : 0;

  const uint8_t* pixels = nullptr;
  const SourceBox* used = nullptr;  // where the frame's drawn bytes lie, when measured
  if (s.shadow) {
    if (set.work.size() < n || set.compression != kStoredPlain) return;
    if (pass == Pass::kShadow) {
      if (!s.shadow_on || fr.shadow.size() < n) return;
      // The mask turns bytes into the key: with key 0 the used box stays true.
      if (UsesBoxes(s, fr)) used = &fr.shadow_box;
      if (used != nullptr) {
        if (used->w <= 0) return;
        CopyBox(set.work.data(), fr.shadow.data(), fr.width, *used);
      } else {
        std::memcpy(set.work.data(), fr.shadow.data(), n);
      }
      if (tested) {
        MaskShadowByDepth(set.work.data(), fr.width, fr.height, bx, by, depth,
                          static_cast<int16_t>(s.depth + kShadowDepthBias), fr.key, used);
      }
      BlitShadow(f, target, SceneSurface(c, f), c.shadows, set.work.data(), fr.width, fr.height, bx,
                 by, clip, used);
      return;
    }
    if (fr.pixels.size() < n) return;
    pixels = fr.pixels.data();
    if (UsesBoxes(s, fr)) used = &fr.pixel_box;
    if (used != nullptr && used->w <= 0) return;
    if (s.reflection.radius > 0) {
      // The reflection changes only bytes other than the key, all inside the box.
      if (used != nullptr) {
        CopyBox(set.work.data(), pixels, fr.width, *used);
      } else {
        std::memcpy(set.work.data(), pixels, n);
      }
      ApplyReflection(c, set.work.data(), pixels, fr.width, fr.height, fr.key, s.reflection);
      pixels = set.work.data();
    }
  } else {
    std::span<const uint8_t> px = FramePixels(set, s.frame);
    if (px.size() < n) return;
    pixels = px.data();
  }
  IndexedSource src{
      pixels, fr.width, fr.height, key, set.lookup.empty() ? nullptr : set.lookup.data(), used};
  BlitIndexed(f, target, src, bx, by, clip, tested ? &depth : nullptr,
              static_cast<int16_t>(s.depth));
}

// Steps 3 to 6 of a frame: draw list, scene preparation, shadows, sprites.
void DrawInstances(Compositor& c, Display& display, Surface target) {
  const DisplayFormat& f = display.format;
  int32_t count = 0;
  for (size_t i = 0; i < kInstanceCount; ++i) {
    if (c.instances[i].depth > 0)
      c.draw_list[static_cast<size_t>(count++)] = {static_cast<int32_t>(i), c.instances[i].depth};
  }
  // Farther first; of equal depths the higher number first, so the lower ends on top.
  std::sort(c.draw_list.begin(), c.draw_list.begin() + count, [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second < b.second : a.first > b.first;
  });
  for (int32_t k = 0; k < count; ++k) {
    const SpriteInstance& s =
        c.instances[static_cast<size_t>(c.draw_list[static_cast<size_t>(k)].first)];
    if (!s.shadow || !HasFrames(s) || s.frame < 0 ||
        static_cast<size_t>(s.frame) >= s.image_set->frames.size()) {
      continue;
    }
    const SpriteFrame& fr = s.image_set->frames[static_cast<size_t>(s.frame)];
    const int32_t bx = s.x - fr.hot_x, by = s.y - fr.hot_y;
    if (const std::optional<Rect> r = DrawnRect(s, fr, bx, by)) {
      RestoreRect(f, SceneSurface(c, f), c.background.data(), *r);
    }
  }
  for (int32_t k = 0; k < count; ++k) {
    DrawInstance(c, display,
                 c.instances[static_cast<size_t>(c.draw_list[static_cast<size_t>(k)].first)],
                 Pass::kShadow, target);
  }
  for (int32_t k = 0; k < count; ++k) {
    DrawInstance(c, display,
                 c.instances[static_cast<size_t>(c.draw_list[static_cast<size_t>(k)].first)],
                 Pass::kSprite, target);
  }
}

void RestoreLists(Compositor& c, const DisplayFormat& f, Surface back) {
  const Surface scene = SceneSurface(c, f);
  const int32_t lists = std::clamp(c.buffer_count, 1, static_cast<int32_t>(kMaxRectLists));
  const int32_t current = std::clamp(c.current_buffer, 0, lists - 1);
  for (int32_t k = 0; k < lists; ++k) {
    const BufferRectList& l = c.lists[static_cast<size_t>((current + k) % lists)];
    for (int32_t i = 0; i < l.count; ++i) {
      RestoreRect(f, back, c.background.data(), l.rects[static_cast<size_t>(i)]);
      RestoreRect(f, scene, c.background.data(), l.rects[static_cast<size_t>(i)]);
    }
  }
  c.lists[static_cast<size_t>(current)].count = 0;
}

}  // namespace

void InitCompositor(Compositor& c, Display& display) {
  DisplayFormat& f = display.format;
  const size_t bytes = static_cast<size_t>(std::max(f.width, 0)) *
                       static_cast<size_t>(std::max(f.height, 0)) *
                       static_cast<size_t>(std::max(f.bytes_per_pixel, 0));
  c.background.assign(bytes, 0);
  c.scene.assign(bytes, 0);
  f.background = c.background.data();
  f.scene = c.scene.data();
  ResetInstances(c, f);
  for (BufferRectList& l : c.lists) {
    l.rects.assign(static_cast<size_t>(kMaxRectsPerList) + 1, Rect{});
    l.count = 0;
  }
  c.current_buffer = 0;
  c.buffer_count = kBufferCount;
  c.part_repaint_count.fill(0);
  c.shake_x = c.shake_y = 0;
  c.scene_stale = false;
  display.full_redraw_count = 3;
  FillReflectionTables(c.reflection);
}

void ResetInstances(Compositor& c, const DisplayFormat& f) {
  for (SpriteInstance& s : c.instances) {
    s = SpriteInstance{};
    s.depth = -1;
    s.clip = FullClip(f);
  }
}

void AttachImageSet(Compositor& c, int32_t i, ImageSet* set) {
  if (!Valid(i)) return;
  SpriteInstance& s = c.instances[static_cast<size_t>(i)];
  s.image_set = set;
  s.frame = 0;
  if (set != nullptr) set->cache_index = -1;
}

void SetInstanceFrame(Compositor& c, int32_t i, int32_t frame) {
  if (!Valid(i)) return;
  SpriteInstance& s = c.instances[static_cast<size_t>(i)];
  if (!HasFrames(s)) return;
  if (frame >= 0 && frame < s.image_set->frame_count && frame != s.frame) s.frame = frame;
}

void MoveInstance(Compositor& c, const DisplayFormat& f, int32_t i, int32_t x, int32_t y,
                  int32_t depth) {
  if (!Valid(i)) return;
  SpriteInstance& s = c.instances[static_cast<size_t>(i)];
  if (!HasFrames(s)) return;
  s.x = Scaled(f, x);
  s.y = Scaled(f, y);
  s.depth = depth;
}

void HideInstance(Compositor& c, int32_t i) {
  if (!Valid(i)) return;
  SpriteInstance& s = c.instances[static_cast<size_t>(i)];
  if (!HasFrames(s)) return;
  if (s.depth >= 0) s.depth = -1;
}

void SetInstanceDepth(Compositor& c, int32_t i, int32_t depth) {
  if (!Valid(i)) return;
  SpriteInstance& s = c.instances[static_cast<size_t>(i)];
  if (!HasFrames(s)) return;
  s.depth = depth;
}

void SetDepthMap(Compositor& c, int32_t i, const DepthMap* map) {
  if (!Valid(i)) return;
  SpriteInstance& s = c.instances[static_cast<size_t>(i)];
  s.depth_map = map;
  s.depth_test = map != nullptr ? 1 : 0;
}

void SetShadow(Compositor& c, int32_t i, bool on) {
  if (Valid(i)) c.instances[static_cast<size_t>(i)].shadow = on ? 1 : 0;
}

void SetShadowOn(Compositor& c, int32_t i, bool on) {
  if (Valid(i)) c.instances[static_cast<size_t>(i)].shadow_on = on ? 1 : 0;
}

void SetReflection(Compositor& c, int32_t i, const physics::ReflectionBlock& block) {
  if (Valid(i)) c.instances[static_cast<size_t>(i)].reflection = block;
}

void PrepareBalls(Compositor& c, const DisplayFormat& f, ImageSetTable& sets) {
  for (int32_t k = 0; k < 2; ++k) {
    AttachImageSet(c, k, &sets.sets[kBallSet]);
    SetInstanceFrame(c, k, 0);
    SetShadow(c, k, true);
    SetShadowOn(c, k, true);
    SetDepthMap(c, k, &c.scene_depth);
  }
  ParkBalls(c, f);
}

void ParkBalls(Compositor& c, const DisplayFormat& f) {
  for (int32_t k = 0; k < 2; ++k) MoveInstance(c, f, k, kParkX, kParkY, kParkDepth);
}

void PlaceBalls(Compositor& c, const DisplayFormat& f,
                std::span<const physics::BallRecord, physics::kBallCount> balls,
                ImageSetTable& sets) {
  for (int32_t k = 0; k < 2; ++k) {
    const physics::BallRecord& b = balls[static_cast<size_t>(k)];
    if (!b.in_play) {
      HideInstance(c, k);
      continue;
    }
    const bool lane = b.x >= kLaneX;
    ImageSet* set = &sets.sets[lane ? kLaneBallSet : kBallSet];
    if (c.instances[static_cast<size_t>(k)].image_set != set) {
      // Keep the frame across the change: the frame choice below sets it anyway.
      AttachImageSet(c, k, set);
    }
    SetShadowOn(c, k, !lane);
    const Projected p = Project(c.scene_depth.camera, TableToWorld(b.x, b.y, b.height));
    c.ball_screen[static_cast<size_t>(k)] = p;
    MoveInstance(c, f, k, p.x - kBallCentre, p.y - kBallCentre, p.depth);
    SetInstanceFrame(c, k, BallFrameForY(b.y));
    physics::ReflectionBlock r = b.reflection;
    r.map_index = 0;
    const SpriteInstance& s = c.instances[static_cast<size_t>(k)];
    r.radius = 0;
    if (s.image_set != nullptr && s.frame >= 0 &&
        static_cast<size_t>(s.frame) < s.image_set->radii.size()) {
      r.radius = s.image_set->radii[static_cast<size_t>(s.frame)] + 5;
    }
    r.centre_x = r.centre_y = static_cast<int32_t>(kBallCentre * f.scale) - 1;
    SetReflection(c, k, r);
  }
}

void RollReflection(physics::ReflectionBlock& b, const ReflectionTables& tables, float forward,
                    float sideways, float spin) {
  if (b.map_index < 0 || b.map_index > 3) return;
  const ScreenImage& tex = tables.maps[static_cast<size_t>(b.map_index)];
  if (tex.width <= 0 || tex.height <= 0) return;
  const float tw = static_cast<float>(tex.width), th = static_cast<float>(tex.height);
  const float half_w = static_cast<float>(tex.width / 2),
              half_h = static_cast<float>(tex.height / 2);
  const auto wrap = [&] {
    if (b.angle < 0.0f) b.angle += kTwoPi;
    if (b.angle > kTwoPi) b.angle -= kTwoPi;
    if (b.roll_y < -half_h) b.roll_y += th;
    if (b.roll_y > half_h) b.roll_y -= th;
    if (b.roll_x < -half_w) b.roll_x += tw;
    if (b.roll_x > half_w) b.roll_x -= tw;
  };
  float d = tw * forward / kTwoPi * 1.5f;
  b.roll_x += d * std::sin(b.angle);
  b.roll_y += d * std::cos(b.angle);
  wrap();
  d = tw * sideways / kTwoPi * 1.5f;
  b.roll_x -= d * std::cos(b.angle);
  b.roll_y += d * std::sin(b.angle);
  wrap();
  b.angle += spin * 1.5f;
  wrap();
}

void DrawIntoBackground(Compositor& c, const DisplayFormat& f, const TrueColourSprite& sprite,
                        int32_t slot) {
  if (sprite.current_frame < 0 || sprite.current_frame >= sprite.frame_count ||
      static_cast<size_t>(sprite.current_frame) >= sprite.frames.size()) {
    return;
  }
  const std::vector<uint8_t>& px = sprite.frames[static_cast<size_t>(sprite.current_frame)];
  const size_t need = static_cast<size_t>(std::max(sprite.width, 0)) *
                      static_cast<size_t>(std::max(sprite.height, 0)) *
                      static_cast<size_t>(f.bytes_per_pixel == 3 ? 4 : f.bytes_per_pixel);
  if (px.size() < need || c.background.empty()) return;
  const int32_t pitch = f.width * f.bytes_per_pixel;
  const ClipRect clip = FullClip(f);
  const uint32_t key = SpriteKey(f, sprite);
  BlitTrueColour(f, {c.background.data(), pitch}, px.data(), sprite.width, sprite.height, sprite.x,
                 sprite.y, clip, key);
  BlitTrueColour(f, {c.scene.data(), pitch}, px.data(), sprite.width, sprite.height, sprite.x,
                 sprite.y, clip, key);
  if (slot >= 0 && static_cast<size_t>(slot) < kSpriteSlotCount) {
    c.part_repaint_count[static_cast<size_t>(slot)] = c.buffer_count;
  }
}

void DrawOnScreen(Compositor& c, Display& display, const TrueColourSprite& sprite) {
  const DisplayFormat& f = display.format;
  if (sprite.current_frame < 0 || sprite.current_frame >= sprite.frame_count ||
      static_cast<size_t>(sprite.current_frame) >= sprite.frames.size()) {
    return;
  }
  const SpriteRectangle r = SpriteRect(sprite);
  if (display.full_redraw_count <= c.buffer_count) Record(c, display, {r.x0, r.y0, r.x1, r.y1});
  const std::vector<uint8_t>& px = sprite.frames[static_cast<size_t>(sprite.current_frame)];
  const size_t need = static_cast<size_t>(std::max(sprite.width, 0)) *
                      static_cast<size_t>(std::max(sprite.height, 0)) *
                      static_cast<size_t>(f.bytes_per_pixel == 3 ? 4 : f.bytes_per_pixel);
  if (px.size() < need || f.draw_target == nullptr) return;
  BlitTrueColour(f, {f.draw_target, f.pitch}, px.data(), sprite.width, sprite.height, sprite.x,
                 sprite.y, FullClip(f), SpriteKey(f, sprite));
}

void StampPartDepth(DepthMap& scene, const PartDepth& part, int32_t frame) {
  if (frame < 0 || frame > 63 || frame >= part.frame_count ||
      static_cast<size_t>(frame) >= part.frames.size()) {
    return;
  }
  if (scene.data.empty() || part.width <= 0 || part.height <= 0) return;
  if (part.x < 0 || part.y < 0 || int64_t{part.x} + part.width > scene.width ||
      int64_t{part.y} + part.height > scene.height) {
    return;
  }
  const std::vector<int16_t>& src = part.frames[static_cast<size_t>(frame)];
  if (src.size() < static_cast<size_t>(part.width) * static_cast<size_t>(part.height)) return;
  for (int32_t row = 0; row < part.height; ++row) {
    std::memcpy(scene.data.data() + static_cast<size_t>(part.y + row) * scene.width + part.x,
                src.data() + static_cast<size_t>(row) * part.width,
                static_cast<size_t>(part.width) * sizeof(int16_t));
  }
}

void AddDirtyRect(Compositor& c, Display& display, Rect r) { Record(c, display, r); }

void ComposeFrame(Compositor& c, Display& display, const SpriteSlots& slots) {
  DisplayFormat& f = display.format;
  if (f.draw_target == nullptr || c.background.empty() ||
      c.background.size() != static_cast<size_t>(f.width) * f.height * f.bytes_per_pixel) {
    return;
  }
  const Surface back{f.draw_target, f.pitch};
  if (c.scene_stale) {
    CopyWhole(f, SceneSurface(c, f), c.background.data());
    c.scene_stale = false;
  }
  if (c.shake_x != 0 || c.shake_y != 0) {
    display.full_redraw_count = c.buffer_count;
    RestoreLists(c, f, back);
    DrawInstances(c, display, SceneSurface(c, f));
    ShiftedCopy(f, back, c.scene.data(), c.shake_x, c.shake_y);
    if (!c.menus_off && c.menus != nullptr) c.menus->Draw();
    return;
  }
  if (display.full_redraw_count > 0) {
    CopyWhole(f, back, c.background.data());
    --display.full_redraw_count;
  } else {
    RestoreLists(c, f, back);
    for (size_t slot = 0; slot < kSpriteSlotCount; ++slot) {
      int32_t& n = c.part_repaint_count[slot];
      if (n <= 0) continue;
      --n;
      const TrueColourSprite& s = slots.slots[slot];
      if (s.current_frame < 0 || s.current_frame >= s.frame_count) continue;
      const SpriteRectangle r = SpriteRect(s);
      RestoreRect(f, back, c.background.data(), {r.x0, r.y0, r.x1, r.y1});
    }
  }
  DrawInstances(c, display, back);
  if (!c.menus_off && c.menus != nullptr) c.menus->Draw();
}

}  // namespace render
