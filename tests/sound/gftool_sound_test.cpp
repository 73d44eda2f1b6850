// gftool's sound commands, run as a program on files written by the test.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "res/pack.h"
#include "sound/sound_fixtures.h"
#include "sound/wave_file.h"
#include "test_files.h"

namespace sound {
namespace {

using ToolRun = test_util::CommandRun;

ToolRun Gftool(const std::string& args) { return test_util::RunGftool(args); }

class GftoolSound : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    auto path = (dir / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  test_util::TempDir temp_;
  std::filesystem::path dir = temp_.path();
};

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(GftoolSound, DescribesCompressedAndWaveFiles) {
  auto ten = soundtest::Stored(soundtest::FirstFrames(soundtest::EncodeSine({}), 10));
  ToolRun r = Gftool("sound-info " + Write("TEN.WAC", ten));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "stream rate:   44100 Hz")) << r.out;
  EXPECT_TRUE(Has(r.out, "mode:          3 (single channel)")) << r.out;
  EXPECT_TRUE(Has(r.out, "layer:         3")) << r.out;
  EXPECT_TRUE(Has(r.out, "duration:      261.224 ms")) << r.out;
  EXPECT_TRUE(Has(r.out, "decoded:       11520 samples of 11583")) << r.out;

  std::vector<int16_t> hum(2205, 7);
  r = Gftool("sound-info " + Write("F_BUZZ.WAV", WriteWave(hum, 22050, 1)));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "sample rate:   22050 Hz")) << r.out;
  EXPECT_TRUE(Has(r.out, "duration:      100 ms")) << r.out;
}

TEST_F(GftoolSound, FailsOnWhatIsNotASound) {
  ToolRun r = Gftool("sound-info " + Write("EMPTY.WAC", {}));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out, "no MPEG audio frame header")) << r.out;
  r = Gftool("sound-info " + Write("BAD.WAV", {'R', 'I', 'F', 'F', 0, 0}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Gftool("sound-info").status, 2);
}

std::vector<int16_t> ReadBack(const std::string& path, WaveFormat& format) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  MemorySoundFile f(bytes);
  WaveSound w;
  EXPECT_TRUE(ReadWave(f, w)) << path;
  format = w.format;
  return w.samples;
}

TEST_F(GftoolSound, WritesASlotAsTheGameDecodesIt) {
  auto ten = soundtest::Stored(soundtest::FirstFrames(soundtest::EncodeSine({}), 10));
  std::vector<int16_t> hum(2205, 500);
  auto wav = WriteWave(hum, 22050, 1);
  std::vector<res::PackItem> items = {{"RES\\WAVE\\MECH\\COUNTER.WAC", ten},
                                      {"RES\\WAVE\\MECH\\F_BUZZ.WAV", wav}};
  auto pack = res::PackBuild(items);
  ASSERT_TRUE(pack.has_value());
  const std::string p = Write("GFALL.DAT", *pack);
  const std::string out = (dir / "out.wav").string();

  ToolRun r = Gftool("sound " + p + " 58 " + out);
  ASSERT_EQ(r.status, 0) << r.out;
  WaveFormat f;
  EXPECT_EQ(ReadBack(out, f).size(), 11520u);
  EXPECT_EQ(f.sample_rate, 44100u);
  EXPECT_EQ(f.channels, 1);

  r = Gftool("sound " + p + " 23 " + out);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadBack(out, f), hum);

  // Through the mixer: 44.1 kHz stereo, twice as many sample frames as the 22 050 Hz hum.
  r = Gftool("sound " + p + " 20 " + out + " --mix");
  ASSERT_EQ(r.status, 0) << r.out;
  auto mixed = ReadBack(out, f);
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.sample_rate, 44100u);
  ASSERT_GE(mixed.size(), 2u * 4410);
  EXPECT_EQ(mixed[2000], 500);
  EXPECT_EQ(mixed[2001], 500);

  EXPECT_EQ(Gftool("sound " + p + " 2 " + out).status, 1);   // no sound in the list
  EXPECT_EQ(Gftool("sound " + p + " 41 " + out).status, 1);  // not in the pack
  EXPECT_EQ(Gftool("sound " + p + " 256 " + out).status, 1);
  EXPECT_EQ(Gftool("sound " + p + " 58").status, 2);
}

}  // namespace
}  // namespace sound
