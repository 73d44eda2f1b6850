// One target per image-file reader, chosen at build time by FUZZ_READER:
// 1 IMMASK, 2 SCREEN, 3 Z-BUFFER, 4 Z-BUFFERS, 5 MAPS. The first input byte
// picks the display format and resolution.

#include <memory>

#include "fuzz_common.h"
#include "render/image_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  [[maybe_unused]] const render::DisplayFormat format = fuzzing::FormatFor(data[0]);
  std::span<const uint8_t> file(data + 1, size - 1);
#if FUZZ_READER == 1
  render::MaskImage m;
  if (render::ParseMask(file, m)) {
    if (m.bytes.size() != static_cast<size_t>(m.width) * static_cast<size_t>(m.height)) {
      __builtin_trap();
    }
    if (!render::ScaleMask(m, format)) __builtin_trap();
    if (m.bytes.size() != static_cast<size_t>(m.width) * static_cast<size_t>(m.height)) {
      __builtin_trap();
    }
  } else if (!m.bytes.empty()) {
    __builtin_trap();
  }
#elif FUZZ_READER == 2
  render::ScreenImage img;
  render::Palette palette;
  if (render::ParseScreenImage(file, (data[0] & 0x80) ? &palette : nullptr, img)) {
    if (img.bytes.size() != static_cast<size_t>(img.width) * static_cast<size_t>(img.height)) {
      __builtin_trap();
    }
  }
#elif FUZZ_READER == 3
  render::DepthMap map;
  if (render::ParseDepthMap(file, format, map)) {
    if (map.data.size() != static_cast<size_t>(map.width) * static_cast<size_t>(map.height)) {
      __builtin_trap();
    }
    render::WarmUpDepth(map);
  }
#elif FUZZ_READER == 4
  render::PartDepth part;
  if (render::ParsePartDepth(file, format, part)) {
    if (part.frame_count < 1 || part.frame_count > 64 ||
        part.frames.size() != static_cast<size_t>(part.frame_count)) {
      __builtin_trap();
    }
    for (const auto& f : part.frames) {
      if (f.size() != static_cast<size_t>(part.width) * static_cast<size_t>(part.height)) {
        __builtin_trap();
      }
    }
  }
#elif FUZZ_READER == 5
  // Through the pack, as the game reads it.
  fuzzing::PackedFiles files({{"RES\\TABLES\\P_FIELD.MAS", file}});
  if (!files.ok) return 0;
  auto table = std::make_unique<render::LookupTable256>();
  render::LoadTable(files.layer, "RES\\TABLES\\P_FIELD.MAS", *table);
#else
#error FUZZ_READER must be 1 to 5
#endif
  return 0;
}
