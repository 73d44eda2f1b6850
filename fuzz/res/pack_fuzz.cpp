// Opens arbitrary bytes as a pack and reads every entry every way the game does.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "res/pack.h"
#include "res/res_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  res::FilePtr stream(fmemopen(bytes.data(), bytes.size(), "rb"));
  if (!stream) return 0;
  res::ResourceLayer layer;
  layer.loose_files = false;
  if (!res::PackOpenStream(layer, std::move(stream), "fuzz")) return 0;

  const res::PackSlot& slot = layer.slots[0];
  const size_t count = slot.entries.size();
  for (size_t i = 0; i < count && i < 4096; ++i) {
    const std::string name = slot.entries[i].name;
    // By name, as the game looks files up.
    if (!name.empty()) (void)res::ResLoadWhole(layer, name);
    // By index, through every read operation.
    res::ResFile f;
    f.slot = 0;
    f.entry = static_cast<int32_t>(i);
    (void)res::ResLoadOpen(layer, f);
    f.slot = 0;
    f.entry = static_cast<int32_t>(i);
    f.position = 0;
    uint8_t buf[64];
    const int64_t entry_size = res::ResFileSize(layer, f);
    (void)res::ResFileRead(layer, buf, 3, 7, f);
    (void)res::ResFileReadXor(layer, buf, 1, sizeof buf, f);
    (void)res::ResFileSeek(layer, f, -5, 2);
    for (int k = 0; k < 8; ++k) (void)res::ResFileGetc(layer, f);
    (void)res::ResFileSeek(layer, f, entry_size / 2, 0);
    if (std::FILE* s = res::ResFileStreamAt(layer, f, 1, 1)) (void)std::fgetc(s);
    (void)res::ResFileTell(f);
    res::ResFileClose(f);
  }
  return 0;
}
