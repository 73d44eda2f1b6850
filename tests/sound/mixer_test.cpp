#include "sound/mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "sound/sound_fixtures.h"

namespace sound {
namespace {

std::vector<int16_t> Sine(int rate, double freq, double amplitude, int frames, int channels = 1) {
  std::vector<int16_t> s;
  for (int i = 0; i < frames; ++i) {
    double v = amplitude * std::sin(2 * std::numbers::pi * freq * i / rate);
    for (int c = 0; c < channels; ++c) s.push_back(static_cast<int16_t>(std::lround(v)));
  }
  return s;
}

std::vector<int16_t> Render(Mixer& m, int frames) {
  std::vector<int16_t> out(2 * static_cast<size_t>(frames));
  m.Render(out.data(), frames);
  return out;
}

double LevelDb(const std::vector<int16_t>& mix, int channel, double freq, double reference) {
  auto x = soundtest::Channel(mix, 2, channel);
  return soundtest::Db(soundtest::ToneAmplitude(x, 44100, freq) / reference);
}

// Two slots at once: each channel's level of each tone follows its slot's
// volume and pan in hundredths of a decibel.
TEST(Mixer, TwoSlotsAtKnownPanAndVolume) {
  Mixer m(44100);
  auto a = Sine(44100, 1000, 10000, 44100);
  auto b = Sine(22050, 700, 10000, 22050);  // its own rate, resampled
  m.SetBuffer(3, a, 44100, false);
  m.SetBuffer(41, b, 22050, false);
  m.SetPanVolume(3, -1000, -600);  // right 10 dB under left; both 6 dB down
  m.SetPanVolume(41, 2000, 0);     // left 20 dB down
  m.Play(3, true);
  m.Play(41, true);
  auto mix = Render(m, 44100);
  EXPECT_NEAR(LevelDb(mix, 0, 1000, 10000), -6.0, 0.1);
  EXPECT_NEAR(LevelDb(mix, 1, 1000, 10000), -16.0, 0.1);
  EXPECT_NEAR(LevelDb(mix, 0, 700, 10000), -20.0, 0.1);
  EXPECT_NEAR(LevelDb(mix, 1, 700, 10000), 0.0, 0.1);
  // The resampled slot keeps its pitch.
  auto right = soundtest::Channel(mix, 2, 1);
  EXPECT_GT(soundtest::ToneAmplitude(right, 44100, 700),
            50 * soundtest::ToneAmplitude(right, 44100, 350));
}

TEST(Mixer, VolumeExtremes) {
  EXPECT_FLOAT_EQ(GainOfLevel(0), 1.0f);
  EXPECT_FLOAT_EQ(GainOfLevel(-10000), 0.0f);
  EXPECT_NEAR(GainOfLevel(-600), 0.501187f, 1e-5f);
  Mixer m(44100);
  std::vector<int16_t> dc(100, 20000);
  m.SetBuffer(0, dc, 44100, false);
  m.SetPanVolume(0, 0, -10000);
  m.Play(0, false);
  for (int16_t v : Render(m, 50)) EXPECT_EQ(v, 0);
}

TEST(Mixer, SumsWithClipping) {
  Mixer m(44100);
  std::vector<int16_t> hi(100, 30000), lo(100, -30000);
  m.SetBuffer(1, hi, 44100, false);
  m.SetBuffer(2, hi, 44100, false);
  m.Play(1, false);
  m.Play(2, false);
  auto mix = Render(m, 10);
  for (int16_t v : mix) EXPECT_EQ(v, 32767);
  m.SetBuffer(1, lo, 44100, false);
  m.SetBuffer(2, lo, 44100, false);
  m.Play(1, false);
  m.Play(2, false);
  for (int16_t v : Render(m, 10)) EXPECT_EQ(v, -32768);
}

TEST(Mixer, StereoBufferKeepsChannels) {
  Mixer m(44100);
  std::vector<int16_t> s = {1000, -2000, 1000, -2000, 1000, -2000};
  m.SetBuffer(7, s, 44100, true);
  m.Play(7, false);
  auto mix = Render(m, 3);
  EXPECT_EQ(mix, (std::vector<int16_t>{1000, -2000, 1000, -2000, 1000, -2000}));
}

TEST(Mixer, OneShotEndsAndRewindsLoopGoesOn) {
  Mixer m(44100);
  std::vector<int16_t> s(1000, 100);
  m.SetBuffer(5, s, 44100, false);
  m.SetBuffer(6, s, 44100, false);
  m.Play(5, false);
  m.Play(6, true);
  auto mix = Render(m, 1500);
  EXPECT_FALSE(m.IsPlaying(5));
  EXPECT_EQ(m.State(5).position, 0u);
  EXPECT_TRUE(m.IsPlaying(6));
  EXPECT_EQ(m.State(6).position, 500u);
  // Before 1000 frames both play; after, only the loop.
  EXPECT_EQ(mix[2 * 999], 200);
  EXPECT_EQ(mix[2 * 1200], 100);
  m.Stop(6, true);
  EXPECT_FALSE(m.IsPlaying(6));
  EXPECT_EQ(m.State(6).position, 0u);
}

TEST(Mixer, IgnoresSlotsOutOfRangeAndEmptyBuffers) {
  Mixer m;
  std::vector<int16_t> s(10, 1);
  m.SetBuffer(-1, s, 44100, false);
  m.SetBuffer(256, s, 44100, false);
  m.Play(256, false);
  m.Play(9, false);  // no buffer
  EXPECT_FALSE(m.IsPlaying(256));
  EXPECT_FALSE(m.IsPlaying(9));
  EXPECT_EQ(m.PlayingCount(), 0);
}

}  // namespace
}  // namespace sound
