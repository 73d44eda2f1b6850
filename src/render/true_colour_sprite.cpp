#include "render/true_colour_sprite.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "render/dither.h"
#include "render/jpeg_io.h"
#include "render/spr24_file.h"
#include "res/res_file.h"

namespace render {

namespace {

// A position or size on screen: v × scale + 0.5, truncated toward zero, kept in range.
int32_t ScaledRound(int64_t v, double scale) {
  const double d = static_cast<double>(v) * scale + 0.5;
  return static_cast<int32_t>(std::clamp(d, -2147483648.0, 2147483647.0));
}

bool ReadExact(res::ResourceLayer& layer, res::ResFile& file, uint8_t* out, size_t n) {
  return n == 0 || res::ResFileRead(layer, out, 1, n, file) == n;
}

struct FrameMask {
  const uint8_t* bytes = nullptr;
  int32_t width = 0, height = 0;
};

// The sprite's geometry on screen, for resampling and dithering.
struct Placement {
  int64_t X, Y;           // screen position without the caller's offset
  int32_t width, height;  // screen frame size
};

// Resamples a W × H RGB frame at header position (x0, y0) into width × height,
// following the screen pixel grid; the outer rows and columns stay keyed.
void Resample(const uint8_t* src, const Spr24Header& h, const Placement& p, double inv,
              const FrameMask& mask, const uint8_t key[3], std::vector<uint8_t>& dst) {
  dst.resize(static_cast<size_t>(p.width) * static_cast<size_t>(p.height) * 3);
  for (size_t i = 0; i < dst.size(); i += 3) std::memcpy(&dst[i], key, 3);
  const int64_t x0 = h.x, y0 = h.y;
  const size_t sw = static_cast<size_t>(h.width);
  for (int64_t i = p.Y + 1; i < p.Y + p.height - 1; ++i) {
    const double v = static_cast<double>(i) * inv;
    // floor, not truncation: left of or above the screen the fraction must stay in [0, 1).
    const int64_t r = static_cast<int64_t>(std::floor(v));
    if (!(y0 < r && r < y0 + h.height - 1)) continue;
    const double fy = v - static_cast<double>(r);
    const int64_t rl = r - y0;
    for (int64_t j = p.X + 1; j < p.X + p.width - 1; ++j) {
      const double u = static_cast<double>(j) * inv;
      const int64_t c = static_cast<int64_t>(std::floor(u));
      if (!(x0 < c && c < x0 + h.width - 1)) continue;
      const double fx = u - static_cast<double>(c);
      const int64_t cl = c - x0;
      uint8_t* out = &dst[(static_cast<size_t>(i - p.Y) * static_cast<size_t>(p.width) +
                           static_cast<size_t>(j - p.X)) *
                          3];
      if (mask.bytes) {
        const int64_t mc = std::clamp<int64_t>(cl, 0, mask.width - 1);
        const int64_t mr = std::clamp<int64_t>(rl, 0, mask.height - 1);
        if (mask.bytes[static_cast<size_t>(mr) * static_cast<size_t>(mask.width) +
                       static_cast<size_t>(mc)] == 0) {
          std::memcpy(out, key, 3);
          continue;
        }
      }
      const uint8_t* p00 = src + (static_cast<size_t>(rl) * sw + static_cast<size_t>(cl)) * 3;
      const uint8_t* p10 = p00 + 3;
      const uint8_t* p01 = p00 + sw * 3;
      const uint8_t* p11 = p01 + 3;
      double w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy, w11 = fx * fy;
      // Transparent samples carry the key colour, not a colour of the picture:
      // blending them in would fringe every edge with it. Only the picture's own
      // samples are blended; where the four are all transparent, so is the pixel.
      const auto keyed = [&](const uint8_t* q) {
        return q[0] == key[0] && q[1] == key[1] && q[2] == key[2];
      };
      const bool k00 = keyed(p00), k10 = keyed(p10), k01 = keyed(p01), k11 = keyed(p11);
      if (k00 || k10 || k01 || k11) {
        if (k00) w00 = 0;
        if (k10) w10 = 0;
        if (k01) w01 = 0;
        if (k11) w11 = 0;
        const double sum = w00 + w10 + w01 + w11;
        if (sum <= 0.0) {
          std::memcpy(out, key, 3);
          continue;
        }
        w00 /= sum;
        w10 /= sum;
        w01 /= sum;
        w11 /= sum;
      }
      for (int k = 0; k < 3; ++k) {
        out[k] = static_cast<uint8_t>(
            std::min(255.0, p00[k] * w00 + p10[k] * w10 + p01[k] * w01 + p11[k] * w11 + 0.000001));
      }
    }
  }
}

// Every pixel whose mask byte is 0 becomes the key colour (full size only).
void ApplyMask(std::vector<uint8_t>& rgb, int32_t w, int32_t h, const FrameMask& mask,
               const uint8_t key[3]) {
  for (int32_t r = 0; r < h; ++r) {
    const size_t mr = static_cast<size_t>(std::min(r, mask.height - 1));
    for (int32_t c = 0; c < w; ++c) {
      const size_t mc = static_cast<size_t>(std::min(c, mask.width - 1));
      if (mask.bytes[mr * static_cast<size_t>(mask.width) + mc] == 0) {
        std::memcpy(
            &rgb[(static_cast<size_t>(r) * static_cast<size_t>(w) + static_cast<size_t>(c)) * 3],
            key, 3);
      }
    }
  }
}

// Converts width × height RGB pixels to the screen format.
void Convert(const std::vector<uint8_t>& rgb, const Placement& p, const DisplayFormat& f,
             const ColourCube& cube, const uint8_t key[3], std::vector<uint8_t>& out) {
  const size_t n = static_cast<size_t>(p.width) * static_cast<size_t>(p.height);
  const PixelFormatId id = f.format_id;
  const size_t bpp = id == PixelFormatId::PAL8                                      ? 1
                     : (id == PixelFormatId::RGB555 || id == PixelFormatId::RGB565) ? 2
                                                                                    : 4;
  out.assign(n * bpp, 0);
  const uint32_t key_value = TransparentKey(id);
  for (int32_t row = 0; row < p.height; ++row) {
    const uint32_t sy = static_cast<uint32_t>(p.Y + row);
    for (int32_t col = 0; col < p.width; ++col) {
      const size_t i =
          static_cast<size_t>(row) * static_cast<size_t>(p.width) + static_cast<size_t>(col);
      const uint8_t* c = &rgb[i * 3];
      const bool transparent = c[0] == key[0] && c[1] == key[1] && c[2] == key[2];
      uint8_t* o = &out[i * bpp];
      switch (id) {
        case PixelFormatId::PAL8:
          o[0] = transparent ? 0 : cube.cells[static_cast<size_t>(CubeIndex(c[0], c[1], c[2]))];
          break;
        case PixelFormatId::RGB555:
        case PixelFormatId::RGB565: {
          uint32_t v = key_value;
          if (!transparent) {
            const uint32_t sx = static_cast<uint32_t>(p.X + col);
            v = DitherChannel(c[0], f.red_bits, f.red_shift, f.red_mask,
                              DitherThreshold(sx + 5, sy)) |
                DitherChannel(c[1], f.green_bits, f.green_shift, f.green_mask,
                              DitherThreshold(sx + 85, sy)) |
                DitherChannel(c[2], f.blue_bits, f.blue_shift, f.blue_mask,
                              DitherThreshold(sx, sy));
            // A visible pixel must never read as the key.
            if (v == key_value) v = key_value + 1;
          }
          o[0] = static_cast<uint8_t>(v);
          o[1] = static_cast<uint8_t>(v >> 8);
          break;
        }
        case PixelFormatId::RGB24:
        case PixelFormatId::RGB32: {
          // A visible pixel that packs to the key stays the key: it is drawn transparent.
          const uint32_t v = transparent ? key_value
                                         : (static_cast<uint32_t>(c[0]) << f.red_shift) |
                                               (static_cast<uint32_t>(c[1]) << f.green_shift) |
                                               (static_cast<uint32_t>(c[2]) << f.blue_shift);
          for (int k = 0; k < 4; ++k) o[k] = static_cast<uint8_t>(v >> (8 * k));
          break;
        }
      }
    }
  }
}

// Pixels that differ from frame 0 by 1..6 in summed |ΔR| + |ΔG| + |ΔB| take frame
// 0's colour, so near-equal colours do not land on different palette entries.
void Steady(std::vector<uint8_t>& frame, const std::vector<uint8_t>& first) {
  for (size_t i = 0; i + 2 < frame.size(); i += 3) {
    const int d = std::abs(frame[i] - first[i]) + std::abs(frame[i + 1] - first[i + 1]) +
                  std::abs(frame[i + 2] - first[i + 2]);
    if (d >= 1 && d <= 6) std::memcpy(&frame[i], &first[i], 3);
  }
}

int ColourDistance(const uint8_t* a, const uint8_t* b) {
  return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

// A moving part (a flipper) stands in the background picture in its frame 0,
// with a soft edge and a shadow that reach a little beyond the mask its frames
// share. So that no outline of it stays when another frame is drawn, every
// other frame also paints the transparent pixels within `rim` of its mask
// where the part has moved away: each takes the colour of the nearest masked
// pixel when that pixel differs from frame 0 and shows the floor (the colour
// most frames have there). Pixels beside the part in its new place stay
// transparent; frame 0 gets the background's own pixels there (CoverRestRim).
void FillRestRim(std::vector<std::vector<uint8_t>>& frames, int32_t w, int32_t h,
                 const uint8_t key[3], int32_t rim) {
  constexpr int kSame = 24;  // summed |ΔR| + |ΔG| + |ΔB| of one colour
  const size_t n = frames.size();
  if (n < 2 || w <= 0 || h <= 0) return;
  const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
  const auto keyed = [&](size_t k, size_t i) {
    const uint8_t* c = &frames[k][i * 3];
    return c[0] == key[0] && c[1] == key[1] && c[2] == key[2];
  };
  std::vector<uint8_t> inside(count, 1);
  for (size_t i = 0; i < count; ++i) {
    for (size_t k = 0; k < n && inside[i]; ++k) inside[i] = keyed(k, i) ? 0 : 1;
  }
  // Per frame: the masked pixels the part has left, which show the floor (the
  // colour most frames have there) and differ from frame 0.
  std::vector<uint8_t> vacated(count);
  for (size_t k = 1; k < n; ++k) {
    std::vector<uint8_t>& f = frames[k];
    for (size_t i = 0; i < count; ++i) {
      vacated[i] = 0;
      if (!inside[i] || ColourDistance(&f[i * 3], &frames[0][i * 3]) <= kSame) continue;
      size_t agree = 0;
      for (size_t j = 0; j < n; ++j) agree += ColourDistance(&f[i * 3], &frames[j][i * 3]) <= kSame;
      vacated[i] = 2 * agree > n ? 1 : 0;
    }
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        const size_t q = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
        if (inside[q] || !keyed(k, q)) continue;
        int best = rim * rim * 2 + 1;
        size_t nearest = count;
        for (int32_t yy = std::max(0, y - rim); yy <= std::min(h - 1, y + rim); ++yy) {
          for (int32_t xx = std::max(0, x - rim); xx <= std::min(w - 1, x + rim); ++xx) {
            const size_t p =
                static_cast<size_t>(yy) * static_cast<size_t>(w) + static_cast<size_t>(xx);
            const int d = (xx - x) * (xx - x) + (yy - y) * (yy - y);
            if (inside[p] && d < best) {
              best = d;
              nearest = p;
            }
          }
        }
        if (nearest < count && best <= rim * rim && vacated[nearest]) {
          std::memcpy(&f[q * 3], &f[nearest * 3], 3);
        }
      }
    }
  }
}

bool LoadInto(TrueColourSprite& s, TrueColourContext& ctx, std::string_view name,
              std::string_view mask_name, int32_t dx, int32_t dy, int32_t rest_rim) {
  const DisplayFormat& f = ctx.format;
  MaskImage external;
  if (!mask_name.empty() && !LoadMask(external, ctx.layer, mask_name)) return false;
  if (f.format_id == PixelFormatId::PAL8 && !ctx.colours.cube_built) return false;

  res::ResFile file;
  if (!res::ResFileOpen(ctx.layer, name, "rb", file)) return false;
  struct Closer {
    res::ResFile& f;
    ~Closer() { res::ResFileClose(f); }
  } closer{file};

  std::vector<uint8_t> header(kSpr24HeaderSize);
  Spr24Header h;
  if (!ReadExact(ctx.layer, file, header.data(), header.size()) || !ParseSpr24Header(header, h)) {
    return false;
  }
  const int64_t file_size = res::ResFileSize(ctx.layer, file);
  const size_t frame_pixels = static_cast<size_t>(h.width) * static_cast<size_t>(h.height);
  const size_t mask_count = static_cast<size_t>(h.MaskCount());
  // Sizes are checked against the file before anything is allocated for them.
  int64_t needed = static_cast<int64_t>(kSpr24HeaderSize + mask_count * frame_pixels);
  if (h.encoding == kSpr24Raw) {
    needed += static_cast<int64_t>(frame_pixels * 3 * static_cast<size_t>(h.frame_count));
  }
  if (needed > file_size) return false;

  std::vector<uint8_t> masks(mask_count * frame_pixels);
  if (!ReadExact(ctx.layer, file, masks.data(), masks.size())) return false;

  const bool scaled = f.scaled != 0;
  const double scale = f.scale;
  Placement p;
  if (scaled) {
    p.width = std::max(1, ScaledRound(h.width, scale));
    p.height = std::max(1, ScaledRound(h.height, scale));
    p.X = ScaledRound(h.x, scale);
    p.Y = ScaledRound(h.y, scale);
  } else {
    p.width = h.width;
    p.height = h.height;
    p.X = h.x;
    p.Y = h.y;
  }

  std::vector<uint8_t> strip;
  const int32_t S = h.StripFrameWidth(), T = h.StripHeight();
  if (h.encoding == kSpr24JpegStrip) {
    const int64_t at = res::ResFileTell(file);
    JpegControl jpeg;
    jpeg.input = res::ResFileStreamAt(ctx.layer, file, at, 0);
    jpeg.input_size = file_size - at;
    JpegReadSize(jpeg);
    if (jpeg.error || jpeg.width != S * h.frame_count || jpeg.height != T) return false;
    strip.resize(static_cast<size_t>(jpeg.width) * static_cast<size_t>(jpeg.height) * 3);
    jpeg.output = strip;
    jpeg.input = res::ResFileStreamAt(ctx.layer, file, at, 0);
    JpegDecode(jpeg);
    if (jpeg.error) return false;
  }

  const uint8_t key[3] = {static_cast<uint8_t>(h.key_colour >> 16),
                          static_cast<uint8_t>(h.key_colour >> 8),
                          static_cast<uint8_t>(h.key_colour)};
  FrameMask shared;
  if (h.mask_mode == kSpr24OneMask) {
    shared = {masks.data(), h.width, h.height};
  } else if (!external.bytes.empty()) {
    shared = {external.bytes.data(), external.width, external.height};
  }

  TrueColourSprite out;
  out.frames.resize(static_cast<size_t>(h.frame_count));
  std::vector<uint8_t> raw(frame_pixels * 3), first, work;
  std::vector<std::vector<uint8_t>> screen_rgb;
  const size_t strip_row = static_cast<size_t>(S) * static_cast<size_t>(h.frame_count) * 3;
  for (int32_t k = 0; k < h.frame_count; ++k) {
    if (h.encoding == kSpr24Raw) {
      if (!ReadExact(ctx.layer, file, raw.data(), raw.size())) return false;
    } else {
      for (int32_t r = 0; r < h.height; ++r) {
        const size_t from =
            static_cast<size_t>(r + h.border) * strip_row +
            (static_cast<size_t>(h.border) + static_cast<size_t>(S) * static_cast<size_t>(k)) * 3;
        std::memcpy(&raw[static_cast<size_t>(r) * static_cast<size_t>(h.width) * 3], &strip[from],
                    static_cast<size_t>(h.width) * 3);
      }
    }
    if (f.format_id == PixelFormatId::PAL8) {
      if (k == 0) {
        first = raw;
      } else {
        Steady(raw, first);
      }
    }
    FrameMask mask = shared;
    if (h.mask_mode == kSpr24MaskPerFrame) {
      mask = {masks.data() + static_cast<size_t>(k) * frame_pixels, h.width, h.height};
    }
    const std::vector<uint8_t>* pixels = &raw;
    if (scaled) {
      Resample(raw.data(), h, p, f.inverse_scale, mask, key, work);
      pixels = &work;
    } else if (mask.bytes) {
      ApplyMask(raw, h.width, h.height, mask, key);
    }
    if (rest_rim > 0) {
      screen_rgb.push_back(*pixels);  // converted once every frame is known
    } else {
      Convert(*pixels, p, f, ctx.colours.cube, key, out.frames[static_cast<size_t>(k)]);
    }
  }
  if (rest_rim > 0) {
    FillRestRim(screen_rgb, p.width, p.height, key, rest_rim);
    for (size_t k = 0; k < screen_rgb.size(); ++k) {
      Convert(screen_rgb[k], p, f, ctx.colours.cube, key, out.frames[k]);
    }
  }

  out.value_a = h.value_a;
  out.value_b = h.value_b;
  out.width = p.width;
  out.height = p.height;
  out.frame_count = h.frame_count;
  out.encoding = h.encoding;
  switch (f.format_id) {
    case PixelFormatId::PAL8:
    case PixelFormatId::RGB555:
    case PixelFormatId::RGB565:
      out.key_value = TransparentKey(f.format_id);
      break;
    default:
      out.key_value = h.key_colour;
  }
  out.bytes_per_pixel =
      f.format_id == PixelFormatId::PAL8                                               ? 1
      : (f.format_id == PixelFormatId::RGB555 || f.format_id == PixelFormatId::RGB565) ? 2
                                                                                       : 4;
  out.current_frame = 0;
  const int64_t sx = static_cast<int64_t>(h.x) + dx, sy = static_cast<int64_t>(h.y) + dy;
  out.x = scaled ? ScaledRound(sx, scale)
                 : static_cast<int32_t>(std::clamp<int64_t>(sx, INT32_MIN, INT32_MAX));
  out.y = scaled ? ScaledRound(sy, scale)
                 : static_cast<int32_t>(std::clamp<int64_t>(sy, INT32_MIN, INT32_MAX));
  s = std::move(out);
  return true;
}

}  // namespace

void CoverRestRim(TrueColourSprite& s, const Picture& background) {
  if (s.frame_count < 2 || s.frames.size() < static_cast<size_t>(s.frame_count)) return;
  const size_t sb = static_cast<size_t>(s.bytes_per_pixel);
  const size_t count =
      static_cast<size_t>(std::max(s.width, 0)) * static_cast<size_t>(std::max(s.height, 0));
  if (background.width <= 0 || background.height <= 0) return;
  const size_t pixels =
      static_cast<size_t>(background.width) * static_cast<size_t>(background.height);
  const size_t pb = background.pixels.size() / pixels;
  if (pb == 0 || pb > sb) return;
  for (const std::vector<uint8_t>& f : s.frames) {
    if (f.size() < count * sb) return;
  }
  const uint32_t key = TransparentKey(background.format);
  const auto value = [sb](const std::vector<uint8_t>& f, size_t i) {
    uint32_t v = 0;
    for (size_t b = 0; b < sb; ++b) v |= static_cast<uint32_t>(f[i * sb + b]) << (8 * b);
    return v;
  };
  std::vector<uint8_t>& rest = s.frames[0];
  for (int32_t y = 0; y < s.height; ++y) {
    const int64_t by = int64_t{s.y} + y;
    if (by < 0 || by >= background.height) continue;
    for (int32_t x = 0; x < s.width; ++x) {
      const int64_t bx = int64_t{s.x} + x;
      if (bx < 0 || bx >= background.width) continue;
      const size_t i =
          static_cast<size_t>(y) * static_cast<size_t>(s.width) + static_cast<size_t>(x);
      if (value(rest, i) != key) continue;
      bool painted = false;
      for (size_t k = 1; k < static_cast<size_t>(s.frame_count) && !painted; ++k) {
        painted = value(s.frames[k], i) != key;
      }
      if (!painted) continue;
      const size_t from = (static_cast<size_t>(by) * static_cast<size_t>(background.width) +
                           static_cast<size_t>(bx)) *
                          pb;
      for (size_t b = 0; b < sb; ++b) rest[i * sb + b] = b < pb ? background.pixels[from + b] : 0;
    }
  }
}

bool LoadTrueColourSprite(TrueColourSprite& sprite, TrueColourContext& ctx, std::string_view name,
                          std::string_view mask_name, int32_t dx, int32_t dy, int32_t rest_rim) {
  sprite = TrueColourSprite{};
  if (LoadInto(sprite, ctx, name, mask_name, dx, dy, rest_rim)) return true;
  sprite = TrueColourSprite{};
  return false;
}

void FreeTrueColourSprite(TrueColourSprite& sprite) { sprite = TrueColourSprite{}; }

void NextFrame(TrueColourSprite& s) {
  s.current_frame = s.current_frame + 1 >= s.frame_count ? 0 : s.current_frame + 1;
}

void PrevFrame(TrueColourSprite& s) {
  --s.current_frame;
  if (s.current_frame < 0) s.current_frame = s.frame_count > 0 ? s.frame_count - 1 : 0;
}

void SetFrame(TrueColourSprite& s, int32_t index) {
  if (index >= 0 && index < s.frame_count) s.current_frame = index;
}

SpriteRectangle SpriteRect(const TrueColourSprite& s) {
  return {s.x, s.y, s.x + s.width, s.y + s.height};
}

uint32_t WarmUpSprites(const SpriteSlots& slots) {
  uint32_t sum = 0;
  for (const TrueColourSprite& s : slots.slots) {
    const size_t bpp = static_cast<size_t>(s.bytes_per_pixel);
    for (const auto& frame : s.frames) {
      for (int32_t r = 0; r < s.height; r += 10) {
        for (int32_t c = 0; c < s.width; c += 10) {
          const size_t at =
              (static_cast<size_t>(c) + static_cast<size_t>(r) * static_cast<size_t>(s.width)) *
              bpp;
          if (at < frame.size()) sum += frame[at];
        }
      }
    }
  }
  return sum;
}

// --- table parts ---

namespace {

struct NamedPart {
  const char* name;
  bool mask;
  bool depth;
};

constexpr NamedPart kNamedParts[kNamedPartCount] = {
    {"REBOUNDR", true, false},  {"SPINNER", false, true},   {"BUMPER1", false, false},
    {"BUMPER2", false, false},  {"BUMPER3", false, false},  {"BUMPER4", false, false},
    {"BUMPER5", false, false},  {"BUMPER6", false, false},  {"BUMPER7", false, false},
    {"BUMPER8", false, false},  {"BUMPER9", false, false},  {"WGATE_L", false, true},
    {"WGATE_R", false, true},   {"WGATE_S", false, true},   {"LTREE_T", false, false},
    {"LTREE_R", false, false},  {"LTREE_E1", false, false}, {"LTREE_E2", false, false},
    {"L_MBALL", false, false},  {"L_GIFT", false, false},   {"L_SAGAIN", false, false},
    {"LSAN_S", false, false},   {"LSAN_A1", false, false},  {"LSAN_N", false, false},
    {"LSAN_T", false, false},   {"LSAN_A2", false, false},  {"LBON_00", false, false},
    {"LBON_01", false, false},  {"LBON_02", false, false},  {"LBON_03", false, false},
    {"LBON_04", false, false},  {"LBON_05", false, false},  {"LBON_06", false, false},
    {"LBON_07", false, false},  {"LBON_08", false, false},  {"LBON_09", false, false},
    {"LBON_10", false, false},  {"LBON_11", false, false},  {"LBON_12", false, false},
    {"LBON_13", false, false},  {"LBON_14", false, false},  {"LBON_15", false, false},
    {"LBON_16", false, false},  {"LBON_17", false, false},  {"LBON_18", false, false},
    {"LBON_19", false, false},  {"RTREE_T", false, false},  {"RTREE_R", false, false},
    {"RTREE_E1", false, false}, {"RTREE_E2", false, false}, {"RLSIDE", false, false},
    {"RGIFT", false, false},    {"RENTRA", false, false},   {"RSAN_S", false, false},
    {"RSAN_A1", false, false},  {"RSAN_A2", false, false},  {"DT_01", false, false},
    {"DT_02", false, false},    {"DT_03", false, false},    {"DT_04", false, true},
    {"DT_DOWN", false, false},  {"LEXTRA", false, false},   {"LDOUBLE", false, false},
    {"LSPECIAL", false, false}, {"PLUNGER", false, false},
};

}  // namespace

std::string_view PartName(int32_t row) {
  return row >= 0 && row < kNamedPartCount ? kNamedParts[row].name : std::string_view{};
}

void InitPartGraphicsTable(PartGraphicsTable& table) {
  for (PartGraphics& r : table.records) r = PartGraphics{};
  for (int32_t i = 0; i < kNamedPartCount; ++i) {
    const NamedPart& p = kNamedParts[i];
    PartGraphics& r = table.records[static_cast<size_t>(i)];
    r.sprite_file = std::string("RES\\ANIM\\") + p.name + ".J24";
    r.sprite_slot = kFirstPartSlot + i;
    if (p.mask) r.mask_file = std::string("RES\\IMMASK\\") + p.name + ".IMS";
    if (p.depth) r.depth_file = std::string("RES\\Z\\") + p.name + ".ZS2";
  }
}

bool LoadPartGraphics(PartGraphicsTable& table, SpriteSlots& slots, TrueColourContext& ctx) {
  bool all = true;
  for (PartGraphics& r : table.records) {
    if (!r.sprite_file.empty() && r.sprite_slot >= 0 &&
        r.sprite_slot < static_cast<int32_t>(kSpriteSlotCount)) {
      TrueColourSprite& s = slots.slots[static_cast<size_t>(r.sprite_slot)];
      FreeTrueColourSprite(s);
      if (!LoadTrueColourSprite(s, ctx, r.sprite_file, r.mask_file, 0, 0)) all = false;
    }
    if (!r.depth_file.empty() && !LoadPartDepth(ctx.layer, r.depth_file, ctx.format, r.depth)) {
      all = false;
    }
  }
  return all;
}

}  // namespace render
