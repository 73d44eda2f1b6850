#include "render/sprite_file.h"

#include <cstring>

#include "core/byte_io.h"
#include "render/block_codec.h"

namespace render {

namespace {

bool Reject(std::string* why, const char* reason) {
  if (why) *why = reason;
  return false;
}

}  // namespace

bool ParseSpriteFile(std::span<const uint8_t> file, ParsedSpriteFile& out, std::string* why) {
  out = ParsedSpriteFile{};
  if (file.size() <= kImageSetHeaderSize) return Reject(why, "shorter than the header");
  core::ByteReader r(file);
  std::string tag;
  r.FixedString(8, tag);
  if (tag != kImageSetTag) return Reject(why, "not a SPRITE file");
  out.version = r.I32();
  out.frame_count = r.I32();
  out.bits_per_pixel = r.I16();
  out.palette_precision = r.I16();
  out.palette_count = r.I32();
  out.compression = r.I32();
  r.Seek(48);
  out.cube_block_size = r.I32();
  r.Seek(kImageSetHeaderSize);
  if (!r.ok()) return Reject(why, "short header");
  if (out.version != 1) return Reject(why, "version is not 1");
  if (out.bits_per_pixel != 8) return Reject(why, "bits per pixel is not 8");
  if (out.compression < kStoredPlain || out.compression > kCodedDifferences) {
    return Reject(why, "unknown compression");
  }
  if (out.frame_count < 0 ||
      static_cast<uint64_t>(out.frame_count) * kSpriteFrameEntrySize > r.remaining()) {
    return Reject(why, "frame table does not fit the file");
  }

  out.frames.resize(static_cast<size_t>(out.frame_count));
  for (SpriteFrame& f : out.frames) {
    size_t start = r.pos();
    f.width = r.I32();
    f.height = r.I32();
    f.hot_x = r.I32();
    f.hot_y = r.I32();
    f.decoded_size = r.I32();
    f.stored_size = r.I32();
    r.Seek(start + 48);
    f.key = r.U8();
    f.delta_key = r.U8();
    f.stored_plain = r.U8() != 0 ? 1 : 0;
    r.Seek(start + kSpriteFrameEntrySize);
    if (f.width < 0 || f.height < 0 || f.width > kMaxFrameSide || f.height > kMaxFrameSide ||
        static_cast<int64_t>(f.width) * f.height > kMaxFramePixels ||
        f.decoded_size != f.width * f.height) {
      return Reject(why, "bad frame size");
    }
    if (f.hot_x < -kMaxHotSpot || f.hot_x > kMaxHotSpot || f.hot_y < -kMaxHotSpot ||
        f.hot_y > kMaxHotSpot) {
      return Reject(why, "hot spot out of range");
    }
    if (f.stored_size < 0) return Reject(why, "bad stored size");
    // Plain data is used as pixels directly, so it must be exactly one frame.
    bool plain = out.compression == kStoredPlain || f.stored_plain;
    if (plain && f.stored_size != f.decoded_size) return Reject(why, "bad plain frame size");
  }

  if (out.palette_count < 0 ||
      static_cast<uint64_t>(out.palette_count) * kPaletteFileSize > r.remaining()) {
    return Reject(why, "palettes do not fit the file");
  }
  for (int32_t i = 0; i < out.palette_count; ++i) {
    auto bytes = r.Take(kPaletteFileSize);
    if (i + 1 < out.palette_count) continue;  // the last one is used
    for (size_t e = 0; e < 256; ++e) {
      uint8_t c[3] = {bytes[e * 3], bytes[e * 3 + 1], bytes[e * 3 + 2]};
      if (out.palette_precision == 0) {
        for (uint8_t& v : c) v = static_cast<uint8_t>(v >= 64 ? 255 : v * 4);
      }
      out.palette[e] = Rgb{c[0], c[1], c[2]};
    }
  }

  int64_t c = out.cube_block_size;
  if (c != 0) {
    uint64_t n = static_cast<uint64_t>(c < 0 ? -c : c);
    if (n > r.remaining()) return Reject(why, "colour cube block does not fit the file");
    out.cube_block = r.Take(static_cast<size_t>(n));
  }

  out.frame_data.reserve(out.frames.size());
  for (const SpriteFrame& f : out.frames) {
    if (static_cast<uint64_t>(f.stored_size) > r.remaining()) {
      return Reject(why, "frame data does not fit the file");
    }
    out.frame_data.push_back(r.Take(static_cast<size_t>(f.stored_size)));
  }
  return true;
}

bool WriteSpriteFile(const SpriteFileDesc& desc, std::vector<uint8_t>& out) {
  out.clear();
  if (!desc.cube.empty() && desc.cube.size() != 32768 && desc.cube.size() != 65536) return false;
  std::vector<SpriteFrame> frames(desc.frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    const SpriteFileFrame& s = desc.frames[i];
    if (s.width < 0 || s.height < 0 ||
        static_cast<int64_t>(s.width) * s.height != static_cast<int64_t>(s.pixels.size()) ||
        s.pixels.size() > static_cast<size_t>(kMaxFramePixels)) {
      return false;
    }
    SpriteFrame& f = frames[i];
    f.width = s.width;
    f.height = s.height;
    f.hot_x = s.hot_x;
    f.hot_y = s.hot_y;
    f.key = s.key;
    f.decoded_size = static_cast<int32_t>(s.pixels.size());
    f.stored_size = f.decoded_size;
    f.pixels = s.pixels;
  }
  if (desc.compression != kStoredPlain && !CodeFrames(frames, desc.compression)) return false;

  std::vector<uint8_t> cube_block;
  int32_t c = 0;
  if (!desc.cube.empty()) {
    if (CodecEncode(desc.cube, cube_block) < 0) cube_block = CodecStoreLiterals(desc.cube);
    c = static_cast<int32_t>(cube_block.size());
    if (desc.cube.size() == 65536) c = -c;
  }

  core::ByteWriter w;
  w.FixedString(kImageSetTag, 8);
  w.I32(1);
  w.I32(static_cast<int32_t>(frames.size()));
  w.I16(8);
  w.I16(desc.six_bit_palette ? 0 : 1);
  w.I32(1);  // one palette
  w.I32(desc.compression);
  w.I32(-1);  // decode cache index, as held in memory
  for (int i = 0; i < 4; ++i) w.I32(0);
  w.I32(c);
  while (w.size() < kImageSetHeaderSize) w.U8(0);

  for (const SpriteFrame& f : frames) {
    size_t start = w.size();
    w.I32(f.width);
    w.I32(f.height);
    w.I32(f.hot_x);
    w.I32(f.hot_y);
    w.I32(f.decoded_size);
    w.I32(f.stored_size);
    while (w.size() < start + 48) w.U8(0);
    w.U8(f.key);
    w.U8(f.delta_key);
    w.U8(f.stored_plain);
    while (w.size() < start + kSpriteFrameEntrySize) w.U8(0);
  }
  for (const Rgb& e : desc.palette) {
    if (desc.six_bit_palette) {
      w.U8(e.r >> 2);
      w.U8(e.g >> 2);
      w.U8(e.b >> 2);
    } else {
      w.U8(e.r);
      w.U8(e.g);
      w.U8(e.b);
    }
  }
  w.Bytes(cube_block);
  for (const SpriteFrame& f : frames) w.Bytes(f.pixels);
  out = w.Release();
  return true;
}

}  // namespace render
