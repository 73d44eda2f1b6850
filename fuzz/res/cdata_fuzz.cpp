// Decodes arbitrary bytes as a "CDATA" container, directly and through a pack.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "res/cdata.h"
#include "res/pack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> in(data, size);
  res::CDataError error = res::CDataError::kNone;
  std::optional<std::vector<uint8_t>> direct = res::CDataDecode(in, &error);
  if (direct.has_value() != (error == res::CDataError::kNone)) __builtin_trap();

  res::PackItem item{"GFALL.CDC", in};
  std::optional<std::vector<uint8_t>> pack = res::PackBuild(std::span(&item, 1));
  if (!pack) return 0;
  res::FilePtr stream(fmemopen(pack->data(), pack->size(), "rb"));
  if (!stream) return 0;
  res::ResourceLayer layer;
  layer.loose_files = false;
  if (!res::PackOpenStream(layer, std::move(stream), "fuzz")) __builtin_trap();
  std::optional<std::vector<uint8_t>> loaded = res::CDataLoad(layer, "gfall.cdc");
  // The file layer must hand the container over unchanged.
  if (loaded != direct) __builtin_trap();
  if (direct) {
    // And a decoded payload re-encodes to the same container.
    const uint32_t key = static_cast<uint32_t>(data[12]) | (static_cast<uint32_t>(data[13]) << 8) |
                         (static_cast<uint32_t>(data[14]) << 16) |
                         (static_cast<uint32_t>(data[15]) << 24);
    std::vector<uint8_t> again = res::CDataEncode(*direct, key);
    // Bytes 5-7 after the magic's zero are free, so compare from byte 8 on.
    if (!std::equal(again.begin() + 8, again.end(), data + 8)) __builtin_trap();
  }
  return 0;
}
