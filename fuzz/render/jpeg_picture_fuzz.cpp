// Hostile JPEG pictures read through the pack, then converted to the screen.

#include "fuzz_common.h"
#include "render/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const render::DisplayFormat format = fuzzing::FormatFor(data[0]);
  fuzzing::PackedFiles files({{"RES\\TGA\\PF_0002.JPG", std::span(data + 1, size - 1)}});
  if (!files.ok) return 0;
  render::Picture p;
  if (!render::LoadJpegPicture(p, files.layer, "RES\\TGA\\PF_0002.JPG")) {
    if (!p.pixels.empty()) __builtin_trap();
    return 0;
  }
  if (p.pixels.size() != static_cast<size_t>(p.width) * static_cast<size_t>(p.height) * 4) {
    __builtin_trap();
  }
  // Keep the conversions cheap: only small pictures are resampled to the screen.
  if (static_cast<int64_t>(p.width) * p.height <= 256 * 256) {
    render::ConvertPicture(p, format, fuzzing::Colours());
  }
  return 0;
}
