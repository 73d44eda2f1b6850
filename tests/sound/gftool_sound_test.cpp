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

namespace sound {
namespace {

std::string GftoolPath() {
  if (const char* build = std::getenv("GFALL_BUILD_DIR"); build && *build) {
    return std::string(build) + "/tools/gftool/gftool";
  }
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (self.parent_path().parent_path().parent_path() / "tools" / "gftool" / "gftool").string();
}

struct ToolRun {
  int status = -1;
  std::string output;
};

ToolRun Gftool(const std::string& args) {
  ToolRun r;
  FILE* p = popen((GftoolPath() + " " + args + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

class GftoolSound : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("gfall_sound_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    auto path = (dir / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::filesystem::path dir;
};

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(GftoolSound, DescribesCompressedAndWaveFiles) {
  auto ten = soundtest::Stored(soundtest::FirstFrames(soundtest::EncodeSine({}), 10));
  ToolRun r = Gftool("sound-info " + Write("TEN.WAC", ten));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(Has(r.output, "stream rate:   44100 Hz")) << r.output;
  EXPECT_TRUE(Has(r.output, "mode:          3 (single channel)")) << r.output;
  EXPECT_TRUE(Has(r.output, "layer:         3")) << r.output;
  EXPECT_TRUE(Has(r.output, "duration:      261.224 ms")) << r.output;
  EXPECT_TRUE(Has(r.output, "decoded:       11520 samples of 11583")) << r.output;

  std::vector<int16_t> hum(2205, 7);
  r = Gftool("sound-info " + Write("F_BUZZ.WAV", WriteWave(hum, 22050, 1)));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(Has(r.output, "sample rate:   22050 Hz")) << r.output;
  EXPECT_TRUE(Has(r.output, "duration:      100 ms")) << r.output;
}

TEST_F(GftoolSound, FailsOnWhatIsNotASound) {
  ToolRun r = Gftool("sound-info " + Write("EMPTY.WAC", {}));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.output, "no MPEG audio frame header")) << r.output;
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
  ASSERT_EQ(r.status, 0) << r.output;
  WaveFormat f;
  EXPECT_EQ(ReadBack(out, f).size(), 11520u);
  EXPECT_EQ(f.sample_rate, 44100u);
  EXPECT_EQ(f.channels, 1);

  r = Gftool("sound " + p + " 23 " + out);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(ReadBack(out, f), hum);

  // Through the mixer: 44.1 kHz stereo, twice as many sample frames as the 22 050 Hz hum.
  r = Gftool("sound " + p + " 20 " + out + " --mix");
  ASSERT_EQ(r.status, 0) << r.output;
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
