// Decodes arbitrary bytes as a stored compressed sound file, read as the game
// reads it: from a pack, through the file layer's XOR read.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "res/pack.h"
#include "sound/pack_sound_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  res::PackItem item{"RES\\WAVE\\MECH\\COUNTER.WAC", {data, size}};
  std::optional<std::vector<uint8_t>> pack = res::PackBuild(std::span(&item, 1));
  if (!pack) return 0;
  res::FilePtr stream(fmemopen(pack->data(), pack->size(), "rb"));
  if (!stream) return 0;
  res::ResourceLayer layer;
  layer.loose_files = false;
  if (!res::PackOpenStream(layer, std::move(stream), "fuzz")) __builtin_trap();
  sound::DitherRandom rng;
  sound::DecodedSound d;
  const bool halve = size > 0 && (data[size - 1] & 1);
  if (sound::DecodeFile(layer, "RES\\WAVE\\MECH\\COUNTER.WAC", halve, rng, d)) {
    // Whatever decodes stays inside the buffer its header promised.
    if (d.samples.size() >= d.size / 2) __builtin_trap();
    if (d.channels == 2 && d.samples.size() % 2 != 0) __builtin_trap();
  }
  return 0;
}
