// Hostile "SPR24" files (raw and JPEG strip) with an optional external mask,
// read through the pack and converted in every format at every resolution.

#include <algorithm>

#include "fuzz_common.h"
#include "render/true_colour_sprite.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const render::DisplayFormat format = fuzzing::FormatFor(data[0]);
  // Byte 1 > 0: the next byte-1 bytes are an external mask file.
  const size_t mask_size = std::min<size_t>(data[1], size - 2);
  std::span<const uint8_t> mask(data + 2, mask_size);
  std::span<const uint8_t> sprite(data + 2 + mask_size, size - 2 - mask_size);
  fuzzing::PackedFiles files({{"RES\\ANIM\\T.J24", sprite}, {"RES\\IMMASK\\T.IMS", mask}});
  if (!files.ok) return 0;
  render::TrueColourContext ctx{files.layer, format, fuzzing::Colours()};
  render::TrueColourSprite s;
  const bool ok = render::LoadTrueColourSprite(
      s, ctx, "RES\\ANIM\\T.J24", mask_size ? "RES\\IMMASK\\T.IMS" : "", data[1] & 7, -3);
  if (!ok) {
    if (!s.frames.empty() || s.frame_count != 0) __builtin_trap();
    return 0;
  }
  const size_t frame_bytes = static_cast<size_t>(s.width) * static_cast<size_t>(s.height) *
                             static_cast<size_t>(s.bytes_per_pixel);
  if (s.width < 1 || s.height < 1 || s.frames.size() != static_cast<size_t>(s.frame_count)) {
    __builtin_trap();
  }
  for (const auto& f : s.frames) {
    if (f.size() != frame_bytes) __builtin_trap();
  }
  render::PrevFrame(s);
  render::NextFrame(s);
  return 0;
}
