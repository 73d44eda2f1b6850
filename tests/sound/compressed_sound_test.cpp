#include "sound/compressed_sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "sound/sound_fixtures.h"

namespace sound {
namespace {

using soundtest::SineSpec;

// Reports a smaller file than it holds, so the duration estimate falls short.
class ShortSizedFile final : public SoundFile {
 public:
  ShortSizedFile(std::span<const uint8_t> bytes, uint64_t size) : inner_(bytes), size_(size) {}
  size_t Read(uint8_t* d, size_t n) override { return inner_.Read(d, n); }
  size_t ReadXor(uint8_t* d, size_t n) override { return inner_.ReadXor(d, n); }
  bool Skip(uint64_t n) override { return inner_.Skip(n); }
  uint64_t Size() override { return size_; }
  uint64_t Remaining() override { return inner_.Remaining(); }

 private:
  MemorySoundFile inner_;
  uint64_t size_;
};

bool Decode(std::span<const uint8_t> stored, DecodedSound& out, bool halve = false,
            uint32_t seed = 1) {
  MemorySoundFile file(stored);
  DitherRandom rng{seed};
  return DecodeCompressedSound(file, halve, rng, out);
}

TEST(CompressedSound, DecodesMonoSineAtItsFrequencyAndLevel) {
  SineSpec spec;  // 1 kHz, half of full scale, one second, 44.1 kHz mono, 64 kbit/s
  auto stored = soundtest::Stored(soundtest::EncodeSine(spec));
  DecodedSound d;
  ASSERT_TRUE(Decode(stored, d));
  EXPECT_EQ(d.sample_rate, 44100);
  EXPECT_EQ(d.channels, 1);
  EXPECT_EQ(d.mode, 3);
  EXPECT_EQ(d.layer, 3);
  EXPECT_EQ(d.version, 1);
  EXPECT_EQ(d.bitrate_index, 5);  // 64 kbit/s
  EXPECT_TRUE(d.frame_size == 208 || d.frame_size == 209) << d.frame_size;
  ASSERT_GT(d.samples.size(), 40000u);
  auto x = soundtest::Channel(d.samples, 1, 0);
  std::span<const double> middle(x.data() + 4000, 32000);
  EXPECT_NEAR(soundtest::ZeroCrossingFrequency(middle, 44100), 1000.0, 2.0);
  // A sine of half full scale: amplitude 16384 (−6 dB).
  EXPECT_NEAR(soundtest::Db(soundtest::ToneAmplitude(middle, 44100, 1000) / 32768.0), -6.02, 0.5);
}

TEST(CompressedSound, DecodesStereoChannelsApart) {
  SineSpec spec;
  spec.channels = 2;
  spec.rate = 48000;
  spec.kbps = 128;
  spec.freq_left = 440;
  spec.freq_right = 1500;
  spec.frames = 48000;
  auto stored = soundtest::Stored(soundtest::EncodeSine(spec));
  DecodedSound d;
  ASSERT_TRUE(Decode(stored, d));
  EXPECT_EQ(d.sample_rate, 48000);
  EXPECT_EQ(d.channels, 2);
  EXPECT_LT(d.mode, 3);
  EXPECT_EQ(d.frame_size, 384);
  EXPECT_EQ(d.samples.size() % 2, 0u);
  auto left = soundtest::Channel(d.samples, 2, 0);
  auto right = soundtest::Channel(d.samples, 2, 1);
  std::span<const double> l(left.data() + 4000, 30000), r(right.data() + 4000, 30000);
  EXPECT_NEAR(soundtest::ZeroCrossingFrequency(l, 48000), 440.0, 2.0);
  EXPECT_NEAR(soundtest::ZeroCrossingFrequency(r, 48000), 1500.0, 3.0);
  // Each channel carries its own tone, not the other's.
  EXPECT_GT(soundtest::ToneAmplitude(l, 48000, 440),
            100 * soundtest::ToneAmplitude(l, 48000, 1500));
}

// Ten frames of 44.1 kHz mono: 261.224 ms, a buffer of 11 519 samples plus
// 64 of slack, and the 11 520 decoded samples fit.
TEST(CompressedSound, TenFrameStreamFitsItsBuffer) {
  SineSpec spec;
  auto plain = soundtest::EncodeSine(spec);
  auto ten = soundtest::FirstFrames(plain, 10);
  ASSERT_EQ(soundtest::FrameOffsets(ten).size(), 10u);
  DecodedSound d;
  ASSERT_TRUE(Decode(soundtest::Stored(ten), d));
  ASSERT_EQ(d.frame_size, 208) << "the first frame of this stream is not padded";
  EXPECT_NEAR(d.duration_ms, 261.224, 1e-9);
  EXPECT_EQ(d.size, 11519u * 2 + 128);
  EXPECT_EQ(d.samples.size(), 11520u);

  // Halved: a 22 050 Hz record with half the samples.
  DecodedSound h;
  ASSERT_TRUE(Decode(soundtest::Stored(ten), h, true));
  EXPECT_EQ(h.sample_rate, 22050);
  EXPECT_EQ(h.size, 5759u * 2 + 128);
  EXPECT_EQ(h.samples.size(), 5760u);
}

TEST(CompressedSound, RefusesStreamLongerThanItsEstimate) {
  auto ten = soundtest::Stored(soundtest::FirstFrames(soundtest::EncodeSine({}), 10));
  // Nine frames' worth of bytes: room for 10 367 + 64 samples, the stream gives 11 520.
  ShortSizedFile file(ten, 9 * 208 + 100);
  DitherRandom rng;
  DecodedSound d;
  d.sample_rate = 7;
  EXPECT_FALSE(DecodeCompressedSound(file, false, rng, d));
  EXPECT_EQ(d.sample_rate, 0);
  EXPECT_TRUE(d.samples.empty());
  EXPECT_EQ(d.size, 0u);
}

TEST(CompressedSound, RefusesFileWithoutFrameHeader) {
  // The header search of the decoder is lenient with longer junk; these hold no header at all.
  const std::vector<std::vector<uint8_t>> cases = {
      {}, {0x59, 0x13}, std::vector<uint8_t>(3000, 0xA6)};
  for (const auto& c : cases) {
    DecodedSound d;
    d.channels = 9;
    EXPECT_FALSE(Decode(c, d)) << c.size();
    EXPECT_EQ(d.channels, 0);
  }
}

TEST(CompressedSound, SameSeedSameSamples) {
  auto stored = soundtest::Stored(soundtest::FirstFrames(soundtest::EncodeSine({}), 20));
  DecodedSound a, b, c;
  ASSERT_TRUE(Decode(stored, a, false, 5));
  ASSERT_TRUE(Decode(stored, b, false, 5));
  ASSERT_TRUE(Decode(stored, c, false, 6));
  EXPECT_EQ(a.samples, b.samples);
  EXPECT_NE(a.samples, c.samples);
}

TEST(Dither, SilenceBecomesMinusOneZeroOrOne) {
  std::vector<float> zeros(40000, 0.0f);
  std::vector<int16_t> out(zeros.size());
  DitherRandom rng;
  ASSERT_EQ(ConvertFrame(zeros, 1, false, rng, out.data()), zeros.size());
  std::map<int, int> count;
  for (int16_t v : out) ++count[v];
  ASSERT_EQ(count.size(), 3u);
  // The sum of two uniform values: beyond ±½ an eighth of the time on each side.
  EXPECT_NEAR(count[-1] / 40000.0, 0.125, 0.01);
  EXPECT_NEAR(count[0] / 40000.0, 0.75, 0.01);
  EXPECT_NEAR(count[1] / 40000.0, 0.125, 0.01);
}

TEST(Dither, RoundsAndClamps) {
  DitherRandom rng;
  for (int i = 0; i < 1000; ++i) {
    EXPECT_EQ(DitherToInt16(1e6f, rng), 32767);
    EXPECT_EQ(DitherToInt16(-1e6f, rng), -32768);
    int v = DitherToInt16(100.25f, rng);
    EXPECT_TRUE(v >= 99 && v <= 101) << v;
  }
}

TEST(Halving, SumsPairsAndClips) {
  DitherRandom rng;
  // One channel: pairs of samples become one, summed.
  const std::vector<float> mono = {1.0f, 1.0f, -1.0f, -1.0f, 0.25f, 0.25f, 0.5f, -0.5f};
  std::vector<int16_t> out(mono.size());
  ASSERT_EQ(ConvertFrame(mono, 1, true, rng, out.data()), 4u);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], -32768);
  EXPECT_NEAR(out[2], 16384, 1);
  EXPECT_NEAR(out[3], 0, 1);
  // Two channels: left with left, right with right.
  const std::vector<float> stereo = {0.5f, 0.1f, 0.75f, 0.1f};
  ASSERT_EQ(ConvertFrame(stereo, 2, true, rng, out.data()), 2u);
  EXPECT_EQ(out[0], 32767);
  EXPECT_NEAR(out[1], 6554, 1);
}

TEST(DurationRule, FrameTimesAndBufferBytes) {
  EXPECT_DOUBLE_EQ(MsPerFrame(3, 0), 26.1224);
  EXPECT_DOUBLE_EQ(MsPerFrame(3, 1), 24.0);
  EXPECT_DOUBLE_EQ(MsPerFrame(2, 2), 36.0);
  EXPECT_DOUBLE_EQ(MsPerFrame(1, 0), 8.7075);
  EXPECT_DOUBLE_EQ(MsPerFrame(1, 2), 12.0);
  EXPECT_DOUBLE_EQ(MsPerFrame(4, 0), 0.0);
  EXPECT_EQ(PcmBufferBytes(44100, 261.224, 1), 11519u * 2 + 128);
  EXPECT_EQ(PcmBufferBytes(48000, 240.0, 2), 23040u * 2 + 128);
}

}  // namespace
}  // namespace sound
