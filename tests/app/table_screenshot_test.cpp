// The composed table as `gfall --screenshot` writes it, from the generated pack.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/png_file.h"

namespace {

int RunGfallWith(const std::string& args) {
  const std::string cmd = std::string(GFALL_EXE) + " " + args + " >/dev/null 2>&1";
  const int st = std::system(cmd.c_str());
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

class TableScreenshot : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(std::filesystem::path(GFALL_PACK_DIR) / "GFALL.DAT")) {
      GTEST_SKIP() << "no GFALL.DAT in " << GFALL_PACK_DIR;
    }
    dir_ = std::filesystem::temp_directory_path() / ("gfall_shot_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  bool Shot(const std::string& name, const std::string& args, platform::RgbFrame& out) {
    const std::string path = (dir_ / name).string();
    if (RunGfallWith("--screenshot " + path + " --data " + GFALL_PACK_DIR + " " + args) != 0)
      return false;
    return platform::ReadPng(path, out);
  }
  std::filesystem::path dir_;
};

TEST_F(TableScreenshot, EveryResolutionAndDepthShowsTheTableWithoutKeyColour) {
  struct Mode {
    int width, depth;
  };
  for (const Mode m : {Mode{1024, 4}, Mode{1024, 3}, Mode{800, 2}, Mode{800, 1}, Mode{640, 0}}) {
    SCOPED_TRACE(std::to_string(m.width) + " " + std::to_string(m.depth));
    platform::RgbFrame f;
    ASSERT_TRUE(Shot(
        "t.png",
        "--frames 300 --width " + std::to_string(m.width) + " --depth " + std::to_string(m.depth),
        f));
    EXPECT_EQ(f.width, m.width);
    EXPECT_EQ(f.height, m.width * 3 / 4);
    int magenta = 0, blue_floor = 0;
    for (size_t i = 0; i + 2 < f.pixels.size(); i += 3) {
      const int r = f.pixels[i], g = f.pixels[i + 1], b = f.pixels[i + 2];
      if (r > 200 && g < 60 && b > 200) ++magenta;  // the transparent key leaking through
      if (b > r + 40 && b > g) ++blue_floor;        // the table's playfield
    }
    EXPECT_LT(magenta, 20);
    EXPECT_GT(blue_floor, static_cast<int>(f.pixels.size() / 3 / 5));
  }
}

TEST_F(TableScreenshot, TheSameRunGivesTheSamePictureAndTheBallMoves) {
  platform::RgbFrame a, b, c;
  ASSERT_TRUE(Shot("a.png", "--frames 300 --seed 3", a));
  ASSERT_TRUE(Shot("b.png", "--frames 300 --seed 3", b));
  ASSERT_TRUE(Shot("c.png", "--frames 310 --seed 3", c));
  EXPECT_EQ(a.pixels, b.pixels);
  // Ten frames later only the ball's surroundings changed: a small part of the picture.
  size_t changed = 0;
  for (size_t i = 0; i < a.pixels.size(); i += 3) {
    if (a.pixels[i] != c.pixels[i] || a.pixels[i + 1] != c.pixels[i + 1] ||
        a.pixels[i + 2] != c.pixels[i + 2]) {
      ++changed;
    }
  }
  EXPECT_GT(changed, 50u);
  EXPECT_LT(changed, a.pixels.size() / 3 / 20);
}

TEST_F(TableScreenshot, The256ColourPictureKeepsTheTablesColours) {
  // The same moment of the same game in 256 colours and in true colour.
  platform::RgbFrame pal8, rgb;
  ASSERT_TRUE(Shot("p.png", "--frames 300 --seed 5 --width 640 --depth 0", pal8));
  ASSERT_TRUE(Shot("t.png", "--frames 300 --seed 5 --width 640 --depth 4", rgb));
  ASSERT_EQ(pal8.pixels.size(), rgb.pixels.size());
  std::vector<int> worst;  // per pixel, the largest channel difference
  double total = 0.0;
  for (size_t i = 0; i + 2 < rgb.pixels.size(); i += 3) {
    int w = 0;
    for (size_t k = 0; k < 3; ++k) {
      const int d = std::abs(pal8.pixels[i + k] - rgb.pixels[i + k]);
      total += d;
      w = std::max(w, d);
    }
    worst.push_back(w);
  }
  std::sort(worst.begin(), worst.end());
  const size_t n = worst.size();
  EXPECT_LT(total / static_cast<double>(rgb.pixels.size()), 5.0);
  EXPECT_LE(worst[n * 95 / 100], 14);
  // Hardly a pixel changes hue or brightness visibly.
  EXPECT_LT(
      static_cast<size_t>(std::count_if(worst.begin(), worst.end(), [](int w) { return w > 24; })),
      n / 100);
}

TEST(TableRunCli, RefusesBadModes) {
  EXPECT_EQ(RunGfallWith("--screenshot /dev/null --width 700"), 1);
  EXPECT_EQ(RunGfallWith("--screenshot /dev/null --depth 5"), 1);
  EXPECT_EQ(RunGfallWith("--screenshot /dev/null --data /nonexistent-folder"), 1);
}

}  // namespace
