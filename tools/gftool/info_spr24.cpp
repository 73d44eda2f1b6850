// gftool info for "SPR24" true-colour sprites.

#include <ostream>

#include "command.h"
#include "info.h"
#include "render/jpeg_io.h"
#include "render/spr24_file.h"

namespace gftool {
namespace {

bool IsSpr24(std::span<const uint8_t> file) { return TagAt(file, 0, render::kSpr24Tag); }

int DescribeSpr24(std::span<const uint8_t> file, std::ostream& out) {
  render::Spr24Header h;
  std::string why;
  if (!render::ParseSpr24Header(file, h, &why)) return Fail("bad SPR24 file: " + why);
  static const char* kMaskModes[] = {"none", "one for all frames", "one per frame"};
  out << "SPR24 " << h.frame_count << " frames of " << h.width << " x " << h.height << " at ("
      << h.x << ", " << h.y << "), values A " << h.value_a << " B " << h.value_b << "\n";
  char key[16];
  std::snprintf(key, sizeof key, "0x%06X", h.key_colour);
  out << "key colour " << key << ", masks: " << kMaskModes[h.MaskCount() == 0 ? 0 : h.mask_mode]
      << "\n";
  const size_t masks = static_cast<size_t>(h.MaskCount()) * static_cast<size_t>(h.width) *
                       static_cast<size_t>(h.height);
  const size_t data_at = render::kSpr24HeaderSize + masks;
  if (file.size() < data_at) return Fail("the masks run past the end of the file");
  if (h.encoding == render::kSpr24Raw) {
    const size_t need = static_cast<size_t>(h.frame_count) * static_cast<size_t>(h.width) *
                        static_cast<size_t>(h.height) * 3;
    out << "encoding 0 (raw RGB), " << need << " bytes of frames";
    if (file.size() - data_at < need) {
      out << "\n";
      return Fail("the frames run past the end of the file");
    }
    out << "\n";
    return 0;
  }
  int32_t w, ht;
  std::vector<uint8_t> rgb;
  out << "encoding 1 (JPEG strip), border " << h.border << ": frames " << h.StripFrameWidth()
      << " apart, strip must be " << h.StripFrameWidth() * h.frame_count << " x " << h.StripHeight()
      << "\n";
  if (!render::JpegDecodeMemory(file.subspan(data_at), w, ht, rgb)) {
    return Fail("the JPEG strip does not decode");
  }
  out << "JPEG strip " << w << " x " << ht << ", " << file.size() - data_at << " bytes\n";
  if (w != h.StripFrameWidth() * h.frame_count || ht != h.StripHeight()) {
    return Fail("the JPEG strip has the wrong size");
  }
  return 0;
}

}  // namespace
GFTOOL_INFO_FORMAT("SPR24", IsSpr24, DescribeSpr24);
}  // namespace gftool
