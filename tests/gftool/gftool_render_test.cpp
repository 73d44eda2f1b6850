// The gftool commands for the codec and for "SPRITE" files, run as a user would.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "render/block_codec.h"
#include "render/sprite_file.h"

namespace render {
namespace {

namespace fs = std::filesystem;

// A palette with distinct colours and a frame of one index.
Palette TestPalette() {
  Palette p{};
  for (size_t i = 0; i < 256; ++i) {
    p[i] = Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(i * 3), static_cast<uint8_t>(255 - i)};
  }
  return p;
}

SpriteFileFrame Frame(int32_t w, int32_t h, uint8_t fill, int32_t hx = 0, int32_t hy = 0) {
  SpriteFileFrame f;
  f.width = w;
  f.height = h;
  f.hot_x = hx;
  f.hot_y = hy;
  f.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), fill);
  return f;
}

std::vector<uint8_t> Write(const SpriteFileDesc& desc) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(WriteSpriteFile(desc, out));
  return out;
}

class GftoolRender : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("GFALL_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "GFALL_BUILD_DIR is not set";
    tool_ = fs::path(build) / "tools" / "gftool" / "gftool";
    ASSERT_TRUE(fs::exists(tool_)) << tool_;
    dir_ = fs::temp_directory_path() /
           ("gftool_render_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // Runs gftool with the words given; returns the exit code and keeps standard output.
  int Run(const std::string& words) {
    std::string cmd = tool_.string() + " " + words + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    output_.clear();
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) output_.append(buf, n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string PathOf(const char* name) { return (dir_ / name).string(); }
  void Put(const char* name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<uint8_t> Get(const char* name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path tool_, dir_;
  std::string output_;
};

TEST_F(GftoolRender, CodecEncodeAndDecode) {
  std::vector<uint8_t> data(300, 9);
  for (size_t i = 0; i < 100; ++i) data[i] = static_cast<uint8_t>(i);
  Put("in", data);
  ASSERT_EQ(Run("codec-encode " + PathOf("in") + " " + PathOf("coded")), 0);
  std::vector<uint8_t> coded;
  ASSERT_GT(CodecEncode(data, coded), 0);
  EXPECT_EQ(Get("coded"), coded);
  ASSERT_EQ(Run("codec-decode " + PathOf("coded") + " " + PathOf("out") + " --size 300"), 0);
  EXPECT_EQ(Get("out"), data);
  EXPECT_EQ(Run("codec-decode " + PathOf("coded") + " " + PathOf("short") + " --size 299"), 1);
  EXPECT_EQ(Run("codec-decode " + PathOf("coded") + " " + PathOf("long") + " --size 301"), 1);
  EXPECT_FALSE(fs::exists(dir_ / "short"));
  EXPECT_EQ(Run("codec-decode " + PathOf("coded") + " " + PathOf("x")), 2);

  Put("tiny", std::vector<uint8_t>(18, 1));
  EXPECT_EQ(Run("codec-encode " + PathOf("tiny") + " " + PathOf("tiny.cod")), 3);
  EXPECT_FALSE(fs::exists(dir_ / "tiny.cod"));
}

TEST_F(GftoolRender, InfoDescribesSpriteFiles) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.compression = kCodedAlone;
  desc.frames = {Frame(128, 100, 40, 3, 4), Frame(7, 2, 50)};
  desc.frames[1].key = 9;
  Put("ball.img", Write(desc));
  ASSERT_EQ(Run("info " + PathOf("ball.img")), 0);
  EXPECT_NE(output_.find("2 frames"), std::string::npos) << output_;
  EXPECT_NE(output_.find("compression: 1"), std::string::npos) << output_;
  EXPECT_NE(output_.find("palettes: 1"), std::string::npos) << output_;
  EXPECT_NE(output_.find("    0    128    100      3      4    0"), std::string::npos) << output_;
  EXPECT_NE(output_.find("    1      7      2      0      0    9      14 plain"), std::string::npos)
      << output_;

  std::vector<uint8_t> cut = Write(desc);
  cut.resize(200);
  Put("cut.img", cut);
  EXPECT_EQ(Run("info " + PathOf("cut.img")), 1);
  Put("other", std::vector<uint8_t>(300, 'x'));
  EXPECT_EQ(Run("info " + PathOf("other")), 1);
}

}  // namespace
}  // namespace render
