#pragma once
// Compressed sound files (".WAC"): an MPEG audio elementary stream (layer III
// as the table uses it), every byte combined with the read key. Each file is
// decoded once, whole, into 16-bit PCM with a triangular dither.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "sound/sound_file.h"

namespace sound {

// The dither's random source: a 15-bit linear congruential generator, seeded
// explicitly so a decode is reproducible.
struct DitherRandom {
  uint32_t state = 1;
  // A value in 0..32767.
  int Next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFFu);
  }
};

// What the first frame header of a stream says, and the duration estimate.
struct StreamInfo {
  int32_t sample_rate = 0;    // samples per second per channel
  int32_t channels = 0;       // 1 for single channel, else 2
  int32_t mode = 0;           // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
  int32_t layer = 0;          // 1, 2 or 3
  int32_t version = 0;        // the header's ID bit: 1 for MPEG-1, 0 for the lower rates
  int32_t bitrate_index = 0;  // 0..14
  int32_t frame_size = 0;     // bytes of the first frame, header included
  double duration_ms = 0;     // (file bytes / frame size) whole frames × ms per frame
};

// A decoded sound. `size` is the PCM buffer the duration rule allows
// (estimate plus 64 samples of slack), in bytes; `samples` holds what was
// actually decoded (interleaved left, right for two channels).
struct DecodedSound {
  int32_t sample_rate = 0;  // halved when halving
  int32_t channels = 0;
  int32_t mode = 0;
  int32_t layer = 0;
  int32_t version = 0;
  int32_t bitrate_index = 0;
  int32_t frame_size = 0;
  double duration_ms = 0;
  uint32_t size = 0;
  std::vector<int16_t> samples;
};

// Milliseconds per frame for a layer (1..3) and sampling-frequency index (0..2); 0 otherwise.
double MsPerFrame(int layer, int frequency_index);
// Bytes of the PCM buffer for a stream: trunc(rate × ms × channels / 1000) × 2 + 128.
uint64_t PcmBufferBytes(int32_t sample_rate, double duration_ms, int32_t channels);

// One scaled value to 16 bits: adds a triangular dither of one step, rounds
// to the nearest (halves up) and clamps.
int16_t DitherToInt16(float x, DitherRandom& rng);
// Scales one decoded frame of floats in −1..1 to 16 bits, halving the rate
// when asked (pairs of sample frames summed). Returns the number of values
// written to out, which must hold in.size() values.
size_t ConvertFrame(std::span<const float> in, int channels, bool halve, DitherRandom& rng,
                    int16_t* out);

// An open compressed stream fed from a sound file through its XOR read.
class CompressedStream {
 public:
  CompressedStream();
  ~CompressedStream();
  CompressedStream(const CompressedStream&) = delete;
  CompressedStream& operator=(const CompressedStream&) = delete;

  // Finds the first frame header; false when there is none.
  bool Open(SoundFile& file);
  const StreamInfo& info() const { return info_; }
  // Decodes the next frame; returns its interleaved floats, empty at the end
  // of the stream (or at the first frame that gives no samples).
  std::span<const float> DecodeFrame();
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  StreamInfo info_;
};

// Decodes a whole compressed file. False (and `out` zeroed) when no frame
// header is found, when the buffer cannot be had, or when the stream decodes
// to more samples than the duration rule allows.
bool DecodeCompressedSound(SoundFile& file, bool halve, DitherRandom& rng, DecodedSound& out);

// Reads only the stream information of a compressed file.
bool ReadStreamInfo(SoundFile& file, StreamInfo& out);

}  // namespace sound
