// gftool's sound commands, run as a program on files written by the test.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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

}  // namespace
}  // namespace sound
