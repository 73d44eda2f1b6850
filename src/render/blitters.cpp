#include "render/blitters.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "core/assert.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace render {

namespace {

inline uint8_t* Row(Surface s, int32_t y) { return s.pixels + static_cast<ptrdiff_t>(y) * s.pitch; }

inline int32_t ScenePitch(const DisplayFormat& f) { return f.width * f.bytes_per_pixel; }

// A clip rectangle cut to the screen: whatever an instance's clip says, no
// blitter writes outside the screen-sized buffers.
inline ClipRect OnScreen(const ClipRect& c, const DisplayFormat& f) {
  return {std::max(c.x0, 0), std::max(c.y0, 0), std::min(c.x1, f.width - 1),
          std::min(c.y1, f.height - 1)};
}

// The first and last byte of a row of n bytes that differ from `empty`, or
// false when there is none.
inline bool UsedSpan(const uint8_t* row, int32_t n, uint8_t empty, int32_t& first, int32_t& last) {
  first = -1;
  int32_t whole = 0;  // bytes in whole 16-byte chunks
#if defined(__SSE2__)
  // Sixteen bytes at a time; most rows of a ball frame hold nothing, so the
  // whole row is tested first.
  whole = n & ~15;
  const __m128i fill = _mm_set1_epi8(static_cast<char>(empty));
  auto others = [&](int32_t x) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
    return ~static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, fill))) & 0xFFFFu;
  };
  __m128i same = _mm_set1_epi8(-1);
  for (int32_t x = 0; x < whole; x += 16) {
    same = _mm_and_si128(
        same, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), fill));
  }
  if (_mm_movemask_epi8(same) != 0xFFFF) {
    for (int32_t x = 0; x < whole; x += 16) {
      if (const uint32_t o = others(x); o != 0) {
        first = x + std::countr_zero(o);
        break;
      }
    }
    for (int32_t x = whole - 16; x >= 0; x -= 16) {
      if (const uint32_t o = others(x); o != 0) {
        last = x + 31 - std::countl_zero(o);
        break;
      }
    }
  }
#else
  // Eight bytes at a time; the byte at the lowest address is the low byte on
  // little-endian machines.
  whole = n & ~7;
  const uint64_t pattern = 0x0101010101010101ull * empty;
  for (int32_t x = 0; x < whole; x += 8) {
    uint64_t v;
    std::memcpy(&v, row + x, 8);
    v ^= pattern;
    if (v == 0) continue;
    const bool le = std::endian::native == std::endian::little;
    if (first < 0) first = x + (le ? std::countr_zero(v) : std::countl_zero(v)) / 8;
    last = x + 7 - (le ? std::countl_zero(v) : std::countr_zero(v)) / 8;
  }
#endif
  for (int32_t x = whole; x < n; ++x) {
    if (row[x] == empty) continue;
    if (first < 0) first = x;
    last = x;
  }
  return first >= 0;
}

// Shrinks a clipped box of a plane (rows `stride` bytes apart) to the rows and
// columns that hold any byte other than `empty`. The blitters skip those
// bytes, so drawing only the smaller box gives the same picture; a ball frame
// is mostly transparent. False when nothing is left.
bool CropToUsed(const uint8_t* plane, int32_t stride, uint8_t empty, ClippedBox& b) {
  const uint8_t* at = plane + static_cast<size_t>(b.src_y) * stride + b.src_x;
  int32_t top = -1, bottom = -1, left = b.w, right = -1;
  for (int32_t y = 0; y < b.h; ++y) {
    int32_t first = 0, last = 0;
    if (!UsedSpan(at + static_cast<size_t>(y) * stride, b.w, empty, first, last)) continue;
    if (top < 0) top = y;
    bottom = y;
    left = std::min(left, first);
    right = std::max(right, last);
  }
  if (top < 0) return false;
  b.x += left;
  b.src_x += left;
  b.w = right - left + 1;
  b.y += top;
  b.src_y += top;
  b.h = bottom - top + 1;
  return true;
}

// Clips a w × h source plane drawn at (x, y) and narrows the result to the
// bytes other than `empty`: through `used` when the caller knows where they
// lie, by looking otherwise. False when nothing is left to draw.
bool PlaceSource(const uint8_t* plane, int32_t w, int32_t h, uint8_t empty, const SourceBox* used,
                 int32_t x, int32_t y, const ClipRect& clip, int32_t screen_width, ClippedBox& b) {
  if (used == nullptr) {
    return ClipBox(x, y, w, h, clip, screen_width, b) && CropToUsed(plane, w, empty, b);
  }
  const SourceBox u = *used;
  if (u.w <= 0 || u.h <= 0 || u.x < 0 || u.y < 0 || u.x + u.w > w || u.y + u.h > h) return false;
  const int64_t ux = int64_t{x} + u.x, uy = int64_t{y} + u.y;
  if (ux > clip.x1 || uy > clip.y1) return false;
  if (!ClipBox(static_cast<int32_t>(ux), static_cast<int32_t>(uy), u.w, u.h, clip, screen_width,
               b)) {
    return false;
  }
  b.src_x += u.x;
  b.src_y += u.y;
  return true;
}

inline void Put24(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
}

// One loop per bytes per pixel; with kDepth a pixel is written only where the
// sprite depth is at least the scene depth.
template <bool kDepth>
void IndexedLoop(const DisplayFormat& f, Surface dst, const IndexedSource& src, const ClippedBox& b,
                 const DepthView* depth, int16_t d) {
  GFALL_ASSERT(
      b.src_x >= 0 && b.src_y >= 0 && b.src_x + b.w <= src.width && b.src_y + b.h <= src.height,
      "clipped box reads outside the source frame");
  GFALL_ASSERT(b.x >= 0 && b.y >= 0 && b.x + b.w <= f.width && b.y + b.h <= f.height,
               "clipped box writes outside the screen");
  const int32_t bpp = f.bytes_per_pixel;
  for (int32_t row = 0; row < b.h; ++row) {
    const int32_t sy = b.y + row;
    const uint8_t* s = src.pixels + static_cast<size_t>(b.src_y + row) * src.width + b.src_x;
    uint8_t* out = Row(dst, sy) + static_cast<ptrdiff_t>(b.x) * bpp;
    const int16_t* z = nullptr;
    if constexpr (kDepth) z = depth->values + static_cast<size_t>(sy) * depth->width + b.x;
    switch (bpp) {
      case 1: {
        int32_t i = 0;
#if defined(__SSE2__)
        // Sixteen pixels at a time: each byte keeps its value or takes the
        // sprite's, as the loop below decides one by one.
        const __m128i kv = _mm_set1_epi8(static_cast<char>(src.key));
        for (; i + 16 <= b.w; i += 16) {
          const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
          __m128i hide = _mm_cmpeq_epi8(sv, kv);
          if constexpr (kDepth) {
            const __m128i dv = _mm_set1_epi16(d);
            const __m128i z0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(z + i));
            const __m128i z1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(z + i + 8));
            hide = _mm_or_si128(hide,
                                _mm_packs_epi16(_mm_cmpgt_epi16(z0, dv), _mm_cmpgt_epi16(z1, dv)));
          }
          const __m128i ov = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + i));
          _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                           _mm_or_si128(_mm_and_si128(hide, ov), _mm_andnot_si128(hide, sv)));
        }
#endif
        for (; i < b.w; ++i) {
          if (s[i] == src.key) continue;
          if constexpr (kDepth) {
            if (d < z[i]) continue;
          }
          out[i] = s[i];
        }
        break;
      }
      case 2: {
        for (int32_t i = 0; i < b.w; ++i) {
          if (s[i] == 0) continue;
          if constexpr (kDepth) {
            if (d < z[i]) continue;
          }
          const uint16_t v = static_cast<uint16_t>(src.lookup[s[i]]);
          std::memcpy(out + 2 * i, &v, 2);
        }
        break;
      }
      case 3:
        for (int32_t i = 0; i < b.w; ++i) {
          if (s[i] == 0) continue;
          if constexpr (kDepth) {
            if (d < z[i]) continue;
          }
          Put24(out + 3 * i, src.lookup[s[i]]);
        }
        break;
      default:
        for (int32_t i = 0; i < b.w; ++i) {
          if (s[i] == 0) continue;
          if constexpr (kDepth) {
            if (d < z[i]) continue;
          }
          std::memcpy(out + 4 * i, &src.lookup[s[i]], 4);
        }
        break;
    }
  }
}

}  // namespace

bool ClipBox(int32_t x, int32_t y, int32_t w, int32_t h, const ClipRect& clip, int32_t screen_width,
             ClippedBox& out) {
  if (w <= 0 || h <= 0 || x > clip.x1 || y > clip.y1) return false;
  int64_t left = std::max<int64_t>(x, clip.x0);
  int64_t top = std::max<int64_t>(y, clip.y0);
  int64_t right = std::min<int64_t>(int64_t{x} + w - 1, clip.x1);
  int64_t bottom = std::min<int64_t>(int64_t{y} + h - 1, clip.y1);
  if (right < left || bottom < top) return false;
  const int64_t cw = right - left + 1;
  if (cw > screen_width) return false;
  out.x = static_cast<int32_t>(left);
  out.y = static_cast<int32_t>(top);
  out.src_x = static_cast<int32_t>(left - x);
  out.src_y = static_cast<int32_t>(top - y);
  out.w = static_cast<int32_t>(cw);
  out.h = static_cast<int32_t>(bottom - top + 1);
  return true;
}

bool FindUsedBox(const uint8_t* plane, int32_t w, int32_t h, uint8_t empty, SourceBox& out) {
  out = SourceBox{};
  if (plane == nullptr || w <= 0 || h <= 0) return false;
  ClippedBox b{0, 0, 0, 0, w, h};
  if (!CropToUsed(plane, w, empty, b)) return false;
  out = {b.src_x, b.src_y, b.w, b.h};
  return true;
}

void BuildShadowTables(ShadowTables& t, PixelFormatId format, const Palette& shadow_palette,
                       std::span<const uint8_t> pal8_table) {
  t.format = format;
  t.bytes.clear();
  t.words.clear();
  switch (format) {
    case PixelFormatId::PAL8:
      if (pal8_table.size() == 65536) t.bytes.assign(pal8_table.begin(), pal8_table.end());
      break;
    case PixelFormatId::RGB565:
      t.words.resize(65536);
      for (uint32_t c = 0; c < 65536; ++c) {
        const int32_t l = static_cast<int32_t>(c & 7);
        const int32_t r = std::max(0, static_cast<int32_t>(c >> 11) - l);
        const int32_t g = std::max(0, static_cast<int32_t>((c >> 5) & 63) - 2 * l);
        // The low three bits of an index are the level, not blue: darken the
        // blue the index still carries (its top bits) like the other channels.
        const int32_t b = std::max(0, static_cast<int32_t>(c & 24) - l);
        t.words[c] = static_cast<uint16_t>((r << 11) | (g << 5) | b);
      }
      break;
    case PixelFormatId::RGB555:
      t.words.resize(32768);
      for (uint32_t c = 0; c < 32768; ++c) {
        const int32_t l = static_cast<int32_t>(c & 7);
        const int32_t r = std::max(0, static_cast<int32_t>((c >> 10) & 31) - l);
        const int32_t g = std::max(0, static_cast<int32_t>((c >> 5) & 31) - l);
        const int32_t b = std::max(0, static_cast<int32_t>(c & 24) - l);
        t.words[c] = static_cast<uint16_t>((r << 10) | (g << 5) | b);
      }
      break;
    case PixelFormatId::RGB24:
    case PixelFormatId::RGB32: {
      t.bytes.resize(65536);
      std::array<int32_t, 256> dark{};
      for (size_t j = 0; j < 256; ++j) {
        const int32_t d =
            static_cast<int32_t>(0.3f * static_cast<float>(254 - shadow_palette[j].g));
        dark[j] = std::min(std::max(d, 0), 255);
      }
      for (int32_t v = 0; v < 256; ++v) {
        for (size_t j = 0; j < 256; ++j) {
          t.bytes[static_cast<size_t>(v) * 256 + j] =
              static_cast<uint8_t>(std::max(0, v - dark[j]));
        }
      }
      break;
    }
  }
}

void BlitIndexed(const DisplayFormat& f, Surface dst, const IndexedSource& src, int32_t x,
                 int32_t y, const ClipRect& clip, const DepthView* depth, int16_t d) {
  if (src.pixels == nullptr || dst.pixels == nullptr) return;
  if (f.bytes_per_pixel > 1 && src.lookup == nullptr) return;  // no lookup: nothing drawn
  const uint8_t transparent = f.bytes_per_pixel == 1 ? src.key : 0;
  if (depth != nullptr && depth->values != nullptr) {
    // The test reads the map, so only pixels the map covers can be drawn tested.
    const ClipRect screen = OnScreen(clip, f);
    ClipRect inside{screen.x0, screen.y0, std::min(screen.x1, depth->width - 1),
                    std::min(screen.y1, depth->height - 1)};
    ClippedBox b;
    if (!PlaceSource(src.pixels, src.width, src.height, transparent, src.used, x, y, inside,
                     f.width, b)) {
      return;
    }
    IndexedLoop<true>(f, dst, src, b, depth, d);
    return;
  }
  ClippedBox b;
  if (!PlaceSource(src.pixels, src.width, src.height, transparent, src.used, x, y,
                   OnScreen(clip, f), f.width, b)) {
    return;
  }
  IndexedLoop<false>(f, dst, src, b, nullptr, d);
}

void BlitTrueColour(const DisplayFormat& f, Surface dst, const uint8_t* pixels, int32_t w,
                    int32_t h, int32_t x, int32_t y, const ClipRect& clip, uint32_t key) {
  if (pixels == nullptr || dst.pixels == nullptr) return;
  ClippedBox b;
  if (!ClipBox(x, y, w, h, OnScreen(clip, f), f.width, b)) return;
  const int32_t bpp = f.bytes_per_pixel;
  const int32_t src_bpp = bpp == 3 ? 4 : bpp;
  for (int32_t row = 0; row < b.h; ++row) {
    const uint8_t* s = pixels + (static_cast<size_t>(b.src_y + row) * w + b.src_x) * src_bpp;
    uint8_t* out = Row(dst, b.y + row) + static_cast<ptrdiff_t>(b.x) * bpp;
    switch (bpp) {
      case 1: {
        const uint8_t k = static_cast<uint8_t>(key);
        for (int32_t i = 0; i < b.w; ++i) {
          if (s[i] != k) out[i] = s[i];
        }
        break;
      }
      case 2: {
        const uint16_t k = static_cast<uint16_t>(key);
        for (int32_t i = 0; i < b.w; ++i) {
          uint16_t v;
          std::memcpy(&v, s + 2 * i, 2);
          if (v != k) std::memcpy(out + 2 * i, &v, 2);
        }
        break;
      }
      case 3:
        for (int32_t i = 0; i < b.w; ++i) {
          uint32_t v;
          std::memcpy(&v, s + 4 * i, 4);
          if ((v & 0xFFFFFFu) != key) std::memcpy(out + 3 * i, s + 4 * i, 3);
        }
        break;
      default:
        for (int32_t i = 0; i < b.w; ++i) {
          uint32_t v;
          std::memcpy(&v, s + 4 * i, 4);
          if (v != key) std::memcpy(out + 4 * i, &v, 4);
        }
        break;
    }
  }
}

void BlitShadow(const DisplayFormat& f, Surface dst, Surface scene, const ShadowTables& t,
                const uint8_t* shadow, int32_t w, int32_t h, int32_t x, int32_t y,
                const ClipRect& clip, const SourceBox* used) {
  if (shadow == nullptr || dst.pixels == nullptr || scene.pixels == nullptr || !t.Ready()) return;
  const PixelFormatId id = f.format_id;
  const size_t need = id == PixelFormatId::RGB555 ? 32768 : 65536;
  const bool words = id == PixelFormatId::RGB555 || id == PixelFormatId::RGB565;
  if (t.format != id || (words ? t.words.size() : t.bytes.size()) < need) return;
  ClippedBox b;
  if (!PlaceSource(shadow, w, h, 0, used, x, y, OnScreen(clip, f), f.width, b)) return;
  const int32_t bpp = f.bytes_per_pixel;
  const uint16_t mask16 = id == PixelFormatId::RGB565 ? 0xFFF8 : 0x7FF8;
  for (int32_t row = 0; row < b.h; ++row) {
    const uint8_t* s = shadow + static_cast<size_t>(b.src_y + row) * w + b.src_x;
    uint8_t* v = Row(scene, b.y + row) + static_cast<ptrdiff_t>(b.x) * bpp;
    uint8_t* out = Row(dst, b.y + row) + static_cast<ptrdiff_t>(b.x) * bpp;
    switch (bpp) {
      case 1: {
        const uint8_t* const table = t.bytes.data();
        int32_t i = 0;
#if defined(__SSE2__)
        // Sixteen bytes at a time: a run of plain shadow (no 0) is darkened
        // without a test per pixel, a run of 0 is skipped whole.
        const __m128i zero = _mm_setzero_si128();
        for (; i + 16 <= b.w; i += 16) {
          const int holes = _mm_movemask_epi8(
              _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)), zero));
          if (holes == 0xFFFF) continue;
          if (holes == 0) {
            for (int32_t k = i; k < i + 16; ++k) {
              const uint8_t r = table[static_cast<size_t>(v[k]) * 256 + s[k]];
              v[k] = r;
              out[k] = r;
            }
            continue;
          }
          for (int32_t k = i; k < i + 16; ++k) {
            if (s[k] == 0) continue;
            const uint8_t r = table[static_cast<size_t>(v[k]) * 256 + s[k]];
            v[k] = r;
            out[k] = r;
          }
        }
#endif
        for (; i < b.w; ++i) {
          if (s[i] == 0) continue;
          const uint8_t r = table[static_cast<size_t>(v[i]) * 256 + s[i]];
          v[i] = r;
          out[i] = r;
        }
        break;
      }
      case 2:
        for (int32_t i = 0; i < b.w; ++i) {
          if (s[i] == 0) continue;
          uint16_t c;
          std::memcpy(&c, v + 2 * i, 2);
          const uint16_t level = s[i] & 7;
          // The index keeps only the top bits of blue; blue comes from the pixel itself.
          const uint16_t blue = static_cast<uint16_t>((c & 31) > level ? (c & 31) - level : 0);
          const uint16_t r = static_cast<uint16_t>(
              (t.words[static_cast<uint16_t>((c & mask16) | level)] & ~31u) | blue);
          std::memcpy(v + 2 * i, &r, 2);
          std::memcpy(out + 2 * i, &r, 2);
        }
        break;
      default:
        for (int32_t i = 0; i < b.w; ++i) {
          if (s[i] == 0) continue;
          uint8_t* pv = v + static_cast<ptrdiff_t>(i) * bpp;
          uint8_t* po = out + static_cast<ptrdiff_t>(i) * bpp;
          for (int c = 0; c < 3; ++c) {
            const uint8_t r = t.bytes[static_cast<size_t>(pv[c]) * 256 + s[i]];
            pv[c] = r;
            po[c] = r;
          }
        }
        break;
    }
  }
}

void MaskShadowByDepth(uint8_t* plane, int32_t w, int32_t h, int32_t x, int32_t y,
                       const DepthView& depth, int16_t d, uint8_t key, const SourceBox* used) {
  if (plane == nullptr || depth.values == nullptr) return;
  int32_t r0 = std::max(0, -y), r1 = std::min(h, depth.height - y);
  int32_t c0 = std::max(0, -x), c1 = std::min(w, depth.width - x);
  if (r1 <= r0 || c1 <= c0) return;
  if (key == 0) {
    // Bytes that are 0 stay 0 whatever the test says: only the shadow's box matters.
    if (used != nullptr) {
      r0 = std::max(r0, used->y);
      r1 = std::min(r1, used->y + used->h);
      c0 = std::max(c0, used->x);
      c1 = std::min(c1, used->x + used->w);
      if (r1 <= r0 || c1 <= c0) return;
    } else {
      ClippedBox b{0, 0, c0, r0, c1 - c0, r1 - r0};
      if (!CropToUsed(plane, w, 0, b)) return;
      r0 = b.src_y;
      r1 = b.src_y + b.h;
      c0 = b.src_x;
      c1 = b.src_x + b.w;
    }
  }
  for (int32_t r = r0; r < r1; ++r) {
    uint8_t* p = plane + static_cast<size_t>(r) * w;
    const int16_t* z = depth.values + static_cast<size_t>(y + r) * depth.width + x;
    int32_t c = c0;
#if defined(__SSE2__)
    const __m128i dv = _mm_set1_epi16(d), kv = _mm_set1_epi8(static_cast<char>(key));
    for (; c + 16 <= c1; c += 16) {
      const __m128i z0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(z + c));
      const __m128i z1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(z + c + 8));
      const __m128i fail = _mm_packs_epi16(_mm_cmpgt_epi16(z0, dv), _mm_cmpgt_epi16(z1, dv));
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + c));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + c),
                       _mm_or_si128(_mm_andnot_si128(fail, v), _mm_and_si128(fail, kv)));
    }
#endif
    for (; c < c1; ++c) {
      if (d < z[c]) p[c] = key;
    }
  }
}

void RestoreRect(const DisplayFormat& f, Surface dst, const uint8_t* from, Rect r) {
  if (dst.pixels == nullptr || from == nullptr) return;
  r.x0 = std::max(r.x0, 0);
  r.y0 = std::max(r.y0, 0);
  r.x1 = std::min(r.x1, f.width - 1);
  r.y1 = std::min(r.y1, f.height - 1);
  if (r.x1 < r.x0 || r.y1 < r.y0) return;
  const int32_t bpp = f.bytes_per_pixel;
  const int32_t x0 = r.x0 & ~3;
  const int32_t x1 = (r.x1 + 3) & ~3;
  // A run moves whole 32-bit words; an empty run still moves one.
  size_t bytes = static_cast<size_t>(x1 - x0) * static_cast<size_t>(bpp);
  if (bytes == 0) bytes = 4;
  const size_t row_end = static_cast<size_t>(f.width) * static_cast<size_t>(bpp);
  bytes = std::min(bytes, row_end - static_cast<size_t>(x0) * bpp);
  const int32_t scene_pitch = ScenePitch(f);
  for (int32_t y = r.y0; y <= r.y1; ++y) {
    std::memcpy(Row(dst, y) + static_cast<ptrdiff_t>(x0) * bpp,
                from + static_cast<ptrdiff_t>(y) * scene_pitch + static_cast<ptrdiff_t>(x0) * bpp,
                bytes);
  }
}

void CopyWhole(const DisplayFormat& f, Surface dst, const uint8_t* from) {
  if (dst.pixels == nullptr || from == nullptr) return;
  const int32_t row = ScenePitch(f);
  if (dst.pitch == row) {
    std::memcpy(dst.pixels, from, static_cast<size_t>(row) * static_cast<size_t>(f.height));
    return;
  }
  for (int32_t y = 0; y < f.height; ++y) {
    std::memcpy(Row(dst, y), from + static_cast<ptrdiff_t>(y) * row, static_cast<size_t>(row));
  }
}

void ShiftedCopy(const DisplayFormat& f, Surface dst, const uint8_t* scene, int32_t sx,
                 int32_t sy) {
  if (dst.pixels == nullptr || scene == nullptr) return;
  sx = std::clamp(sx, -32, 32);
  sy = std::clamp(sy, -32, 32);
  const int32_t bpp = f.bytes_per_pixel;
  const int32_t row = ScenePitch(f);
  const int32_t shift = std::abs(sx);
  const size_t shown = static_cast<size_t>(f.width - shift) * static_cast<size_t>(bpp);
  const size_t black = static_cast<size_t>(shift) * static_cast<size_t>(bpp);
  for (int32_t y = 0; y < f.height; ++y) {
    uint8_t* out = Row(dst, y);
    const int32_t from_y = y + sy;
    if (from_y < 0 || from_y >= f.height) {
      std::memset(out, 0, static_cast<size_t>(row));
      continue;
    }
    const uint8_t* in = scene + static_cast<ptrdiff_t>(from_y) * row;
    if (sx >= 0) {
      std::memcpy(out, in + black, shown);
      std::memset(out + shown, 0, black);
    } else {
      std::memset(out, 0, black);
      std::memcpy(out + black, in, shown);
    }
  }
}

}  // namespace render
