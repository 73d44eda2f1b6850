#include "render/spr24_file.h"

#include <algorithm>
#include <cstring>

#include "core/byte_io.h"
#include "render/jpeg_io.h"

namespace render {

namespace {

bool Fail(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

int32_t RoundUp8(int32_t v) { return (v + 7) & ~7; }

}  // namespace

int32_t Spr24Header::MaskCount() const {
  return mask_mode == kSpr24OneMask ? 1 : mask_mode == kSpr24MaskPerFrame ? frame_count : 0;
}
int32_t Spr24Header::StripFrameWidth() const { return RoundUp8(width + 2 * border); }
int32_t Spr24Header::StripHeight() const { return RoundUp8(height + 2 * border); }

bool ParseSpr24Header(std::span<const uint8_t> file, Spr24Header& h, std::string* why) {
  h = Spr24Header{};
  if (file.size() < kSpr24HeaderSize) return Fail(why, "shorter than the 312-byte header");
  core::ByteReader r(file);
  std::string tag;
  r.FixedString(8, tag);
  h.version = r.I32();
  h.bits_per_pixel = r.I32();
  h.value_a = r.I32();
  h.value_b = r.I32();
  h.width = r.I32();
  h.height = r.I32();
  h.x = r.I32();
  h.y = r.I32();
  h.frame_count = r.I32();
  h.encoding = r.I32();
  h.key_colour = r.U32();
  h.border = r.I32();
  h.mask_mode = r.I32();
  if (tag != kSpr24Tag) return Fail(why, "tag is not SPR24");
  if (h.version != 1) return Fail(why, "version is not 1");
  if (h.bits_per_pixel != 24) return Fail(why, "bits per pixel is not 24");
  if (h.value_a <= 0 || h.value_b <= 0) return Fail(why, "value A or B is not positive");
  if (h.width <= 0 || h.height <= 0) return Fail(why, "frame size is not positive");
  if (h.frame_count < 1 || h.frame_count > kMaxSpr24Frames)
    return Fail(why, "frame count not 1-256");
  if (h.encoding != kSpr24Raw && h.encoding != kSpr24JpegStrip)
    return Fail(why, "unknown encoding");
  if (h.border < 0 || h.border > kMaxSpr24Border) return Fail(why, "border not 0-16");
  // Bounded before any product is formed, so none of them can overflow.
  if (h.width > 65500 || h.height > 65500 ||
      static_cast<int64_t>(h.width) * h.height * h.frame_count > kMaxSpr24Pixels) {
    return Fail(why, "frames too large");
  }
  if (h.encoding == kSpr24JpegStrip &&
      static_cast<int64_t>(h.StripFrameWidth()) * h.frame_count > 65500) {
    return Fail(why, "JPEG strip wider than a JPEG can be");
  }
  return true;
}

bool WriteSpr24File(const Spr24Desc& desc, std::vector<uint8_t>& out) {
  out.clear();
  Spr24Header h = desc.header;
  h.frame_count = static_cast<int32_t>(desc.frames.size());
  const size_t frame_pixels = static_cast<size_t>(h.width > 0 ? h.width : 0) *
                              static_cast<size_t>(h.height > 0 ? h.height : 0);
  for (const auto& f : desc.frames) {
    if (f.size() != frame_pixels * 3) return false;
  }
  if (static_cast<int32_t>(desc.masks.size()) != h.MaskCount()) return false;
  for (const auto& m : desc.masks) {
    if (m.size() != frame_pixels) return false;
  }

  core::ByteWriter w;
  w.FixedString(kSpr24Tag, 8);
  w.I32(h.version);
  w.I32(h.bits_per_pixel);
  w.I32(h.value_a);
  w.I32(h.value_b);
  w.I32(h.width);
  w.I32(h.height);
  w.I32(h.x);
  w.I32(h.y);
  w.I32(h.frame_count);
  w.I32(h.encoding);
  w.U32(h.key_colour);
  w.I32(h.border);
  w.I32(h.mask_mode);
  w.FixedString("", kSpr24HeaderSize - 60);
  Spr24Header check;
  if (!ParseSpr24Header(w.bytes(), check)) return false;

  for (const auto& m : desc.masks) w.Bytes(m);
  if (h.encoding == kSpr24Raw) {
    for (const auto& f : desc.frames) w.Bytes(f);
  } else {
    const int32_t s = h.StripFrameWidth(), t = h.StripHeight(), n = h.frame_count;
    const size_t strip_width = static_cast<size_t>(s) * static_cast<size_t>(n);
    std::vector<uint8_t> strip(strip_width * static_cast<size_t>(t) * 3);
    for (int32_t k = 0; k < n; ++k) {
      const auto& f = desc.frames[static_cast<size_t>(k)];
      for (int32_t sr = 0; sr < t; ++sr) {
        const int32_t r = std::clamp(sr - h.border, 0, h.height - 1);
        for (int32_t sc = 0; sc < s; ++sc) {
          const int32_t c = std::clamp(sc - h.border, 0, h.width - 1);
          const size_t dst =
              (static_cast<size_t>(sr) * strip_width +
               static_cast<size_t>(k) * static_cast<size_t>(s) + static_cast<size_t>(sc)) *
              3;
          std::memcpy(
              &strip[dst],
              &f[(static_cast<size_t>(r) * static_cast<size_t>(h.width) + static_cast<size_t>(c)) *
                 3],
              3);
        }
      }
    }
    std::vector<uint8_t> jpeg;
    if (!JpegEncode(static_cast<int32_t>(strip_width), t, strip, desc.jpeg_quality, jpeg)) {
      return false;
    }
    w.Bytes(jpeg);
  }
  out = w.Release();
  return true;
}

}  // namespace render
