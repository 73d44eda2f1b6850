// Decodes arbitrary bytes as a stored compressed sound file (read through the
// XOR read, so the fuzzer's bytes are the file as stored).

#include <cstddef>
#include <cstdint>

#include "sound/compressed_sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sound::MemorySoundFile file({data, size});
  sound::DitherRandom rng;
  sound::DecodedSound d;
  bool halve = size > 0 && (data[size - 1] & 1);
  if (sound::DecodeCompressedSound(file, halve, rng, d)) {
    // Whatever decodes fits the buffer its header promised.
    if (d.samples.size() >= d.size / 2 + 1) __builtin_trap();
    if (d.channels == 2 && d.samples.size() % 2 != 0) __builtin_trap();
  }
  return 0;
}
