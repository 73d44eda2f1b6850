#include "render/image_set.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "render/block_codec.h"
#include "render/sprite_file.h"

namespace render {

namespace {

// A hostile file may code many large frames in few bytes; cap what one set may
// unpack to.
constexpr int64_t kMaxSetPixels = int64_t{1} << 26;

bool IsTrueColour(const DisplayFormat& f) { return f.format_id != PixelFormatId::PAL8; }

size_t LargestFrame(const std::vector<SpriteFrame>& frames) {
  size_t n = 0;
  for (const SpriteFrame& f : frames) n = std::max(n, static_cast<size_t>(f.decoded_size));
  return n;
}

// Decodes one coded frame into `out`; true when it gives exactly one frame.
bool DecodeFrame(const SpriteFrame& f, std::span<uint8_t> out) {
  return CodecDecode(f.pixels, out) == f.decoded_size;
}

// Lays a difference frame over the full previous frame.
void Overlay(std::span<uint8_t> full, std::span<const uint8_t> diff, uint8_t delta_key) {
  size_t n = std::min(full.size(), diff.size());
  for (size_t i = 0; i < n; ++i) {
    if (diff[i] != delta_key) full[i] = diff[i];
  }
}

void AllocateBuffers(ImageSet& set) {
  size_t largest = LargestFrame(set.frames);
  set.decode_buffer.clear();
  set.decode_buffer2.clear();
  if (set.compression != kStoredPlain) set.decode_buffer.assign(largest + 1024, 0);
  if (set.compression == kCodedDifferences) set.decode_buffer2.assign(largest + 1024, 0);
  set.work.assign(largest, 0);
  set.cache_index = -1;
}

// Turns every frame of a coded set into plain pixels.
bool DecodeAllFrames(ImageSet& set) {
  size_t size = LargestFrame(set.frames) + 1024;
  std::vector<uint8_t> first(size, 0), second;
  if (set.compression == kCodedDifferences) second.assign(size, 0);
  for (size_t i = 0; i < set.frames.size(); ++i) {
    SpriteFrame& f = set.frames[i];
    const size_t n = static_cast<size_t>(f.decoded_size);
    if (set.compression == kCodedAlone) {
      if (f.stored_plain) continue;
      if (!DecodeFrame(f, first)) return false;
    } else if (f.stored_plain) {
      std::copy(f.pixels.begin(), f.pixels.begin() + static_cast<std::ptrdiff_t>(n), first.begin());
    } else if (i == 0) {
      if (!DecodeFrame(f, first)) return false;
    } else {
      if (!DecodeFrame(f, second)) return false;
      Overlay(std::span(first).first(n), std::span(second).first(n), f.delta_key);
    }
    f.pixels.assign(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(n));
    f.stored_size = f.decoded_size;
    f.stored_plain = 0;
  }
  return true;
}

// Builds the working cube for a set from its colour cube block or its palette.
bool LoadSetCube(const ParsedSpriteFile& file, const Palette& palette, TableColours& colours) {
  if (file.cube_block_size > 0) {
    return CodecDecode(file.cube_block, colours.cube.cells) ==
           static_cast<int64_t>(colours.cube.cells.size());
  }
  if (file.cube_block_size < 0) {
    std::vector<uint8_t> table(65536);
    if (CodecDecode(file.cube_block, table) != 65536) return false;
    for (int r = 0; r < 32; ++r) {
      for (int g = 0; g < 32; ++g) {
        for (int b = 0; b < 32; ++b) {
          colours.cube.cells[static_cast<size_t>(r * 1024 + g * 32 + b)] =
              table[static_cast<size_t>(r * 2048 + g * 64 + b)];
        }
      }
    }
    return true;
  }
  if (colours.cube_built && palette == colours.palette) {
    colours.cube = colours.table_cube;  // same palette, same cube
  } else {
    BuildColourCube(palette, colours.cube);
  }
  return true;
}

uint8_t CubeOf(const ColourCube& cube, const Rgb& c) {
  return cube.cells[static_cast<size_t>(CubeIndex(c.r, c.g, c.b))];
}

// Index 0 becomes the transparent index of every frame.
void MakeKeyZero(std::vector<SpriteFrame>& frames, const Palette& palette, const ColourCube& cube) {
  const uint8_t zero_colour = CubeOf(cube, palette[0]);
  for (SpriteFrame& f : frames) {
    if (f.key == 0) continue;
    for (uint8_t& p : f.pixels) {
      if (p == f.key) {
        p = 0;
      } else if (p == 0) {
        p = zero_colour;
      }
    }
    f.key = 0;
  }
}

// Indices the system keeps for itself (below 10, above 245) move into the table range.
void MoveReservedIndices(std::vector<SpriteFrame>& frames, const Palette& palette,
                         const ColourCube& cube) {
  std::array<uint8_t, 256> map;
  for (int i = 0; i < 256; ++i) {
    bool reserved = i < kFirstTableIndex || i > kLastTableIndex;
    map[static_cast<size_t>(i)] =
        reserved ? CubeOf(cube, palette[static_cast<size_t>(i)]) : static_cast<uint8_t>(i);
  }
  for (SpriteFrame& f : frames) {
    for (uint8_t& p : f.pixels) {
      if (p != f.key) p = map[p];
    }
  }
}

void ReindexToTable(std::vector<SpriteFrame>& frames, const Palette& palette,
                    const Palette& table) {
  std::array<uint8_t, 256> map;
  for (size_t i = 0; i < 256; ++i) map[i] = NearestTableIndex(table, palette[i]);
  for (SpriteFrame& f : frames) {
    for (uint8_t& p : f.pixels) {
      if (p != f.key) p = map[p];
    }
  }
}

// Brings a frame to the display scale. The first and last rows and columns stay
// transparent; a blended pixel next to a transparent one is transparent.
void ResampleFrame(SpriteFrame& f, double scale, bool nearest, const Palette& palette,
                   const ColourCube& cube) {
  const int32_t left = -f.hot_x, top = -f.hot_y;
  const int32_t w0 = f.width, h0 = f.height;
  const int32_t x0 = static_cast<int32_t>(left * scale);
  const int32_t y0 = static_cast<int32_t>(top * scale);
  const int32_t x1 = static_cast<int32_t>((static_cast<double>(left) + w0) * scale);
  const int32_t y1 = static_cast<int32_t>((static_cast<double>(top) + h0) * scale);
  const int32_t nw = x1 - x0 + 1, nh = y1 - y0 + 1;
  std::vector<uint8_t> out(static_cast<size_t>(nw) * static_cast<size_t>(nh), f.key);
  const std::vector<uint8_t>& src = f.pixels;
  auto at = [&](int32_t c, int32_t r) {
    return src[static_cast<size_t>(r) * static_cast<size_t>(w0) + static_cast<size_t>(c)];
  };
  for (int32_t y = y0 + 1; y < y1 - 1; ++y) {
    const double vy = y / scale;
    const int32_t sy = static_cast<int32_t>(vy);
    if (!(top < sy && sy < top + h0 - 1)) continue;
    const double fy = vy - sy;
    const int32_t r = sy - top;
    for (int32_t x = x0 + 1; x < x1 - 1; ++x) {
      const double vx = x / scale;
      const int32_t sx = static_cast<int32_t>(vx);
      if (!(left < sx && sx < left + w0 - 1)) continue;
      const int32_t c = sx - left;
      uint8_t value;
      if (nearest) {
        value = at(c, r);
      } else {
        const uint8_t p[4] = {at(c, r), at(c + 1, r), at(c, r + 1), at(c + 1, r + 1)};
        if (p[0] == f.key || p[1] == f.key || p[2] == f.key || p[3] == f.key) {
          value = f.key;
        } else {
          const double fx = vx - sx;
          const double wgt[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
          double ch[3] = {0, 0, 0};
          for (int i = 0; i < 4; ++i) {
            const Rgb& col = palette[p[i]];
            ch[0] += wgt[i] * col.r;
            ch[1] += wgt[i] * col.g;
            ch[2] += wgt[i] * col.b;
          }
          uint8_t v[3];
          for (int i = 0; i < 3; ++i) {
            v[i] = static_cast<uint8_t>(std::clamp(static_cast<int>(ch[i] + 0.000001), 0, 255));
          }
          value = cube.cells[static_cast<size_t>(CubeIndex(v[0], v[1], v[2]))];
        }
      }
      out[static_cast<size_t>(y - y0) * static_cast<size_t>(nw) + static_cast<size_t>(x - x0)] =
          value;
    }
  }
  f.width = nw;
  f.height = nh;
  f.hot_x = -x0;
  f.hot_y = -y0;
  f.decoded_size = f.stored_size = nw * nh;
  f.pixels = std::move(out);
}

// The ball's radius on its centre row, measured on the full-size frame: the
// distance to the first transparent pixel right of the centre, less 2; none when
// the row has no transparent pixel there or the result is not above 0.
std::optional<int32_t> TrimRadius(const SpriteFrame& f) {
  constexpr int32_t c = kBallCentre;
  if (f.hot_x != 0 || f.hot_y != 0 || f.width <= c || f.height <= c) return std::nullopt;
  const uint8_t* row = f.pixels.data() + static_cast<size_t>(c) * static_cast<size_t>(f.width);
  for (int32_t x = c; x < f.width; ++x) {
    if (row[x] == f.key) {
      int32_t r = x - c - 2;
      if (r > 0) return r;
      return std::nullopt;
    }
  }
  return std::nullopt;
}

// Clears the resampling fringe outside the ball's circle, centred where the
// ball's centre lands at this scale.
void TrimFrame(SpriteFrame& f, int32_t radius, double scale) {
  const double c = kBallCentre * scale;
  const double r = radius * scale;
  for (int32_t j = 0; j < f.height; ++j) {
    for (int32_t k = 0; k < f.width; ++k) {
      double dx = k - c, dy = j - c;
      if (dx * dx + dy * dy > r * r) {
        f.pixels[static_cast<size_t>(j) * static_cast<size_t>(f.width) + static_cast<size_t>(k)] =
            f.key;
      }
    }
  }
}

bool Prepare(ImageSet& set, const ParsedSpriteFile& file, ImageSetContext& ctx,
             const ImageSetOptions& options, bool& cube_changed) {
  const DisplayFormat& fmt = ctx.format;
  TableColours& colours = ctx.colours;

  set.version = file.version;
  set.frame_count = file.frame_count;
  set.bits_per_pixel = file.bits_per_pixel;
  set.palette_precision = file.palette_precision;
  set.palette_count = file.palette_count;
  set.compression = file.compression;
  set.cube_block_size = file.cube_block_size;
  set.frames = file.frames;

  // Palette: the file's, or the table's for a set re-indexed to it.
  set.palette = file.palette;
  if (ctx.shadow_palette) *ctx.shadow_palette = file.palette;
  const bool reindex =
      options.reindex == Reindex::kAlways ||
      (options.reindex == Reindex::kInPal8 && fmt.format_id == PixelFormatId::PAL8);
  if (reindex) set.palette = colours.palette;
  set.lookup = BuildLookupTable(fmt, set.palette);

  // The cube that maps colours to this set's indices.
  if (IsTrueColour(fmt) && !options.keep_cube) {
    cube_changed = true;
    if (!LoadSetCube(file, set.palette, colours)) return false;
  }

  // Frame data.
  int64_t total = 0;
  for (size_t i = 0; i < set.frames.size(); ++i) {
    set.frames[i].pixels.assign(file.frame_data[i].begin(), file.frame_data[i].end());
    total += set.frames[i].decoded_size;
  }
  if (total > kMaxSetPixels) return false;

  if (set.compression != kStoredPlain && !DecodeAllFrames(set)) return false;
  MakeKeyZero(set.frames, set.palette, colours.cube);
  MoveReservedIndices(set.frames, set.palette, colours.cube);
  if (reindex) {
    ReindexToTable(set.frames, set.palette, colours.palette);
    set.palette = colours.palette;
    set.lookup = BuildLookupTable(fmt, set.palette);
  }

  if (fmt.scaled && fmt.scale < 1.0 && !options.table_resolution) {
    std::vector<std::optional<int32_t>> radii(set.frames.size());
    if (options.trim_ball) {
      for (size_t i = 0; i < set.frames.size(); ++i) radii[i] = TrimRadius(set.frames[i]);
    }
    for (size_t i = 0; i < set.frames.size(); ++i) {
      ResampleFrame(set.frames[i], fmt.scale, options.nearest, set.palette, colours.cube);
      if (radii[i]) TrimFrame(set.frames[i], *radii[i], fmt.scale);
    }
  }

  if (set.compression != kStoredPlain) {
    if (options.keep_decoded) {
      set.compression = kStoredPlain;
      for (SpriteFrame& f : set.frames) f.delta_key = 0;
    } else if (!CodeFrames(set.frames, set.compression)) {
      return false;
    }
  }
  AllocateBuffers(set);
  set.loaded = true;
  return true;
}

}  // namespace

std::vector<uint32_t> BuildLookupTable(const DisplayFormat& fmt, const Palette& palette) {
  std::vector<uint32_t> lookup;
  if (fmt.format_id == PixelFormatId::PAL8) return lookup;
  lookup.resize(256);
  const bool two_bytes =
      fmt.format_id == PixelFormatId::RGB555 || fmt.format_id == PixelFormatId::RGB565;
  auto channel = [&](uint8_t v, int32_t loss, int32_t shift, uint32_t mask) -> uint32_t {
    uint32_t q = v;
    if (two_bytes && loss > 0) {
      q = std::min<uint32_t>(q + (1u << (loss - 1)), 255u) >> loss;
    }
    return shift >= 0 && shift < 32 ? ((q << shift) & mask) : 0;
  };
  for (size_t i = 0; i < 256; ++i) {
    const Rgb& c = palette[i];
    lookup[i] = channel(c.r, fmt.red_loss, fmt.red_shift, fmt.red_mask) |
                channel(c.g, fmt.green_loss, fmt.green_shift, fmt.green_mask) |
                channel(c.b, fmt.blue_loss, fmt.blue_shift, fmt.blue_mask);
  }
  return lookup;
}

bool CodeFrames(std::vector<SpriteFrame>& frames, int32_t compression) {
  std::vector<uint8_t> coded;
  if (compression == kCodedAlone) {
    for (SpriteFrame& f : frames) {
      f.delta_key = 0;
      if (CodecEncode(f.pixels, coded) < 0) {
        f.stored_plain = 1;
      } else {
        f.stored_plain = 0;
        f.pixels = coded;
      }
      f.stored_size = static_cast<int32_t>(f.pixels.size());
    }
    return true;
  }
  if (compression != kCodedDifferences || frames.size() < 2) return false;
  for (const SpriteFrame& f : frames) {
    if (f.width != frames[0].width || f.height != frames[0].height) return false;
  }
  std::vector<uint8_t> previous, diff;
  for (size_t i = 0; i < frames.size(); ++i) {
    SpriteFrame& f = frames[i];
    std::vector<uint8_t> plain = f.pixels;
    const std::vector<uint8_t>* to_code = &plain;
    // A real pixel equal to the delta key that differs from the previous frame
    // cannot be told from "unchanged"; such a frame is stored plain.
    bool codable = true;
    if (i > 0) {
      diff.resize(plain.size());
      for (size_t k = 0; k < plain.size(); ++k) {
        if (plain[k] == kDeltaKey && previous[k] != kDeltaKey) codable = false;
        diff[k] = plain[k] == previous[k] ? kDeltaKey : plain[k];
      }
      to_code = &diff;
    }
    if (codable && CodecEncode(*to_code, coded) >= 0) {
      f.pixels = coded;
      f.stored_plain = 0;
      f.delta_key = i > 0 ? kDeltaKey : 0;
    } else {
      f.pixels = plain;
      f.stored_plain = 1;
      f.delta_key = 0;
    }
    f.stored_size = static_cast<int32_t>(f.pixels.size());
    previous = std::move(plain);
  }
  return true;
}

bool LoadImageSet(ImageSet& set, std::span<const uint8_t> file, ImageSetContext& ctx,
                  const ImageSetOptions& options) {
  FreeImageSet(set);
  ParsedSpriteFile parsed;
  if (!ParseSpriteFile(file, parsed)) return false;
  bool cube_changed = false;
  bool ok = Prepare(set, parsed, ctx, options, cube_changed);
  // The working cube is the table's again after every load, failed or not.
  if (cube_changed) RestoreWorkingCube(ctx.colours);
  if (!ok) FreeImageSet(set);
  return ok;
}

void FreeImageSet(ImageSet& set) { set = ImageSet{}; }

uint32_t WarmUpImageSets(const ImageSetTable& table) {
  uint32_t sum = 0;
  for (const ImageSet& set : table.sets) {
    for (const SpriteFrame& f : set.frames) {
      for (const std::vector<uint8_t>* plane : {&f.pixels, &f.shadow, &f.coverage}) {
        for (uint8_t v : *plane) sum += v;
      }
    }
  }
  return sum;
}

std::span<const uint8_t> FramePixels(ImageSet& set, int32_t frame) {
  if (frame < 0 || static_cast<size_t>(frame) >= set.frames.size()) return {};
  SpriteFrame& f = set.frames[static_cast<size_t>(frame)];
  const size_t n = static_cast<size_t>(f.decoded_size);
  if (set.compression == kStoredPlain || f.stored_plain) {
    if (f.pixels.size() < n) return {};
    return std::span<const uint8_t>(f.pixels).first(n);
  }
  if (set.decode_buffer.size() < n) return {};
  if (set.cache_index == frame) return std::span<const uint8_t>(set.decode_buffer).first(n);

  if (set.compression == kCodedAlone) {
    set.cache_index = -1;
    if (!DecodeFrame(f, set.decode_buffer)) return {};
    set.cache_index = frame;
    return std::span<const uint8_t>(set.decode_buffer).first(n);
  }

  int32_t start = (set.cache_index >= 0 && frame >= set.cache_index) ? set.cache_index + 1 : 0;
  set.cache_index = -1;
  for (int32_t i = start; i <= frame; ++i) {
    const SpriteFrame& g = set.frames[static_cast<size_t>(i)];
    const size_t gn = static_cast<size_t>(g.decoded_size);
    if (gn > set.decode_buffer.size() || gn > set.decode_buffer2.size()) return {};
    if (g.stored_plain) {
      if (g.pixels.size() < gn) return {};
      std::copy(g.pixels.begin(), g.pixels.begin() + static_cast<std::ptrdiff_t>(gn),
                set.decode_buffer.begin());
    } else if (i == 0) {
      if (!DecodeFrame(g, set.decode_buffer)) return {};
    } else {
      if (!DecodeFrame(g, set.decode_buffer2)) return {};
      Overlay(std::span(set.decode_buffer).first(gn), std::span(set.decode_buffer2).first(gn),
              g.delta_key);
    }
  }
  set.cache_index = frame;
  return std::span<const uint8_t>(set.decode_buffer).first(n);
}

int32_t PixelAt(ImageSet& set, int32_t frame, int32_t x, int32_t y) {
  if (frame < 0 || static_cast<size_t>(frame) >= set.frames.size()) return -1;
  const SpriteFrame& f = set.frames[static_cast<size_t>(frame)];
  if (x < 0 || y < 0 || x >= f.width || y >= f.height) return -1;
  auto pixels = FramePixels(set, frame);
  if (pixels.empty()) return -1;
  return pixels[static_cast<size_t>(y) * static_cast<size_t>(f.width) + static_cast<size_t>(x)];
}

void MeasureUsedBoxes(ImageSet& set) {
  for (SpriteFrame& f : set.frames) {
    f.boxes_measured = false;
    f.pixel_box = f.shadow_box = SourceBox{};
    if (f.width <= 0 || f.height <= 0 || set.compression != kStoredPlain) continue;
    const size_t n = static_cast<size_t>(f.width) * static_cast<size_t>(f.height);
    if (f.pixels.size() < n || (!f.shadow.empty() && f.shadow.size() < n)) continue;
    FindUsedBox(f.pixels.data(), f.width, f.height, f.key, f.pixel_box);
    if (!f.shadow.empty()) FindUsedBox(f.shadow.data(), f.width, f.height, 0, f.shadow_box);
    f.boxes_measured = true;
  }
}

void MeasureBallRadii(ImageSet& set, int32_t centre_x, int32_t centre_y) {
  set.radii.assign(set.frames.size(), 0);
  if (set.frames.empty()) return;
  const SpriteFrame& first = set.frames[0];
  const int32_t cx = std::clamp(centre_x, 0, std::max(0, first.width - 1));
  const int32_t cy = std::clamp(centre_y, 0, std::max(0, first.height - 1));
  for (size_t i = 0; i < set.frames.size(); ++i) {
    const SpriteFrame& f = set.frames[i];
    if (f.hot_x != 0 || f.hot_y != 0 || cx >= f.width || cy >= f.height) continue;
    auto pixels = FramePixels(set, static_cast<int32_t>(i));
    if (pixels.empty()) continue;
    const uint8_t* row = pixels.data() + static_cast<size_t>(cy) * static_cast<size_t>(f.width);
    int32_t radius = 0;
    for (int32_t x = cx; x < f.width; ++x) {
      if (row[x] == f.key) {
        radius = x - cx + 2;
        break;
      }
    }
    for (int32_t x = cx; x >= 0; --x) {
      if (row[x] == f.key) {
        radius = std::max(radius, cx - x + 2);
        break;
      }
    }
    set.radii[i] = radius;
  }
}

}  // namespace render
