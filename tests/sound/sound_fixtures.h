#pragma once
// Small sounds made in code: MPEG layer III streams encoded with LAME, and
// measuring helpers for decoded or mixed PCM.

#include <cstdint>
#include <span>
#include <vector>

namespace soundtest {

struct SineSpec {
  int rate = 44100;
  int channels = 1;
  double freq_left = 1000;   // Hz
  double freq_right = 1000;  // Hz (second channel)
  double amplitude = 0.5;    // of full scale
  int frames = 44100;        // sample frames to encode
  int kbps = 64;
};

// Plain (not XOR-ed) constant-bitrate stream, without an info frame.
std::vector<uint8_t> EncodeSine(const SineSpec& spec);
// Start offsets of the frames of a plain MPEG audio stream.
std::vector<size_t> FrameOffsets(std::span<const uint8_t> stream);
// The first n frames of a stream.
std::vector<uint8_t> FirstFrames(std::span<const uint8_t> stream, size_t n);
// Every byte combined with the read key, as stored.
std::vector<uint8_t> Stored(std::span<const uint8_t> plain);

// Samples of one channel out of interleaved PCM.
std::vector<double> Channel(std::span<const int16_t> pcm, int channels, int channel);
// Amplitude of the component at freq (Goertzel), in sample units.
double ToneAmplitude(std::span<const double> x, double rate, double freq);
double Rms(std::span<const double> x);
// Frequency from rising zero crossings.
double ZeroCrossingFrequency(std::span<const double> x, double rate);
double Db(double ratio);

}  // namespace soundtest
