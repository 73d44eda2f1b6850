// Reads arbitrary bytes as a RIFF wave file.

#include <cstddef>
#include <cstdint>

#include "sound/wave_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sound::MemorySoundFile file({data, size});
  sound::WaveSound w;
  if (sound::ReadWave(file, w)) {
    if (w.samples.empty() || w.samples.size() * 2 > size) __builtin_trap();
    if (w.format.channels == 2 && w.samples.size() % 2 != 0) __builtin_trap();
  }
  return 0;
}
