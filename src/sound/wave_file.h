#pragma once
// Plain RIFF wave files: the reader the sound slots use (PCM only, the chunk
// walk up to "data") and a writer for tools.

#include <cstdint>
#include <span>
#include <vector>

#include "sound/sound_file.h"

namespace sound {

struct WaveFormat {
  uint16_t format_tag = 0;  // 1 for PCM
  uint16_t channels = 0;
  uint32_t sample_rate = 0;
  uint32_t bytes_per_second = 0;
  uint16_t block_align = 0;
  uint16_t bits = 0;
};

// A wave file's sound as 16-bit samples (interleaved for two channels).
struct WaveSound {
  WaveFormat format;        // as the file gives it
  uint32_t data_bytes = 0;  // size of the "data" chunk as stored
  std::vector<int16_t> samples;
};

// Reads a PCM wave file of one or two channels, 8 or 16 bits (8-bit samples
// are widened to 16). False for anything else, for a short file or for sizes
// that do not fit the file.
bool ReadWave(SoundFile& file, WaveSound& out);
// Only the header and format (no samples): for inspection tools.
bool ReadWaveFormat(SoundFile& file, WaveFormat& format, uint32_t& data_bytes);

// A 16-bit PCM wave file of the given samples.
std::vector<uint8_t> WriteWave(std::span<const int16_t> samples, uint32_t sample_rate,
                               int channels);

}  // namespace sound
