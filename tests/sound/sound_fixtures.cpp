#include "sound/sound_fixtures.h"

#include <lame/lame.h>

#include <cmath>
#include <numbers>

namespace soundtest {

std::vector<uint8_t> EncodeSine(const SineSpec& spec) {
  lame_global_flags* gf = lame_init();
  lame_set_in_samplerate(gf, spec.rate);
  lame_set_out_samplerate(gf, spec.rate);
  lame_set_num_channels(gf, spec.channels);
  lame_set_mode(gf, spec.channels == 1 ? MONO : JOINT_STEREO);
  lame_set_brate(gf, spec.kbps);
  lame_set_VBR(gf, vbr_off);
  lame_set_bWriteVbrTag(gf, 0);
  lame_set_quality(gf, 5);
  lame_init_params(gf);
  std::vector<short> left(spec.frames), right(spec.frames);
  for (int i = 0; i < spec.frames; ++i) {
    double t = static_cast<double>(i) / spec.rate;
    left[i] = static_cast<short>(
        std::lround(spec.amplitude * 32767 * std::sin(2 * std::numbers::pi * spec.freq_left * t)));
    right[i] = static_cast<short>(
        std::lround(spec.amplitude * 32767 * std::sin(2 * std::numbers::pi * spec.freq_right * t)));
  }
  std::vector<uint8_t> out(spec.frames * 5 / 4 + 7200 + 16384);
  int n = lame_encode_buffer(gf, left.data(), spec.channels == 2 ? right.data() : left.data(),
                             spec.frames, out.data(), static_cast<int>(out.size()));
  int m = lame_encode_flush(gf, out.data() + n, static_cast<int>(out.size()) - n);
  lame_close(gf);
  out.resize(static_cast<size_t>(n + m));
  return out;
}

std::vector<size_t> FrameOffsets(std::span<const uint8_t> s) {
  static constexpr int kL3[2][15] = {
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
  static constexpr int kRates[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};
  std::vector<size_t> offsets;
  size_t p = 0;
  while (p + 4 <= s.size()) {
    if (s[p] != 0xFF || (s[p + 1] & 0xE0) != 0xE0) break;
    int mpeg1 = (s[p + 1] >> 3) & 1;
    int bi = s[p + 2] >> 4, fi = (s[p + 2] >> 2) & 3, pad = (s[p + 2] >> 1) & 1;
    if (bi == 0 || bi == 15 || fi == 3) break;
    size_t size =
        static_cast<size_t>((mpeg1 ? 144000 : 72000) * kL3[mpeg1][bi] / kRates[mpeg1][fi] + pad);
    offsets.push_back(p);
    p += size;
  }
  return offsets;
}

std::vector<uint8_t> FirstFrames(std::span<const uint8_t> stream, size_t n) {
  std::vector<size_t> off = FrameOffsets(stream);
  size_t end = n < off.size() ? off[n] : stream.size();
  return {stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(end)};
}

std::vector<uint8_t> Stored(std::span<const uint8_t> plain) {
  std::vector<uint8_t> out(plain.begin(), plain.end());
  for (uint8_t& b : out) b ^= 0xA6;
  return out;
}

std::vector<double> Channel(std::span<const int16_t> pcm, int channels, int channel) {
  std::vector<double> out;
  for (size_t i = static_cast<size_t>(channel); i < pcm.size(); i += static_cast<size_t>(channels))
    out.push_back(pcm[i]);
  return out;
}

double ToneAmplitude(std::span<const double> x, double rate, double freq) {
  const double w = 2 * std::numbers::pi * freq / rate;
  double re = 0, im = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    re += x[i] * std::cos(w * static_cast<double>(i));
    im -= x[i] * std::sin(w * static_cast<double>(i));
  }
  return 2 * std::hypot(re, im) / static_cast<double>(x.size());
}

double Rms(std::span<const double> x) {
  double sum = 0;
  for (double v : x) sum += v * v;
  return x.empty() ? 0 : std::sqrt(sum / static_cast<double>(x.size()));
}

double ZeroCrossingFrequency(std::span<const double> x, double rate) {
  size_t first = 0, last = 0, count = 0;
  for (size_t i = 1; i < x.size(); ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      if (count == 0) first = i;
      last = i;
      ++count;
    }
  }
  if (count < 2) return 0;
  return static_cast<double>(count - 1) * rate / static_cast<double>(last - first);
}

double Db(double ratio) { return 20 * std::log10(ratio); }

}  // namespace soundtest
