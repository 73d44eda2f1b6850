// The table in a real window: gfall --window under a virtual X server with
// scripted input; what the window shows must be the composed frame.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/png_file.h"

namespace {

TEST(WindowedTable, TheWindowShowsTheComposedFrame) {
  namespace fs = std::filesystem;
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  if (!fs::exists(fs::path(GFALL_DATA_DIR) / "GFALL.DAT")) GTEST_SKIP() << "no GFALL.DAT";
  const fs::path dir = fs::temp_directory_path() / ("gfall_window_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  {
    // Pull and release the plunger, then work both flippers.
    std::ofstream script(dir / "input.txt");
    script << "50 start down\n600 start up\n900 left down\n1100 left up\n1200 right down\n";
  }
  const std::string cmd = "xvfb-run -a -s '-screen 0 1280x1024x24' " + std::string(GFALL_EXE) +
                          " --window --frames 120 --width 800 --depth 2 --data " +
                          GFALL_DATA_DIR + " --input " + (dir / "input.txt").string() +
                          " --screenshot " + (dir / "composed.png").string() +
                          " --window-screenshot " + (dir / "window.png").string() +
                          " >/dev/null 2>&1";
  const int st = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << cmd;
  platform::RgbFrame composed, window;
  ASSERT_TRUE(platform::ReadPng((dir / "composed.png").string(), composed));
  ASSERT_TRUE(platform::ReadPng((dir / "window.png").string(), window));
  fs::remove_all(dir);

  ASSERT_EQ(composed.width, 800);
  ASSERT_EQ(composed.height, 600);
  ASSERT_GT(window.width, 0);
  // The window keeps the picture's aspect with black borders: map each window
  // pixel of the picture area back to the frame and compare.
  const double scale = std::min(window.width / 800.0, window.height / 600.0);
  const int ox = static_cast<int>((window.width - 800 * scale) / 2);
  const int oy = static_cast<int>((window.height - 600 * scale) / 2);
  double total = 0.0;
  int samples = 0;
  for (int y = 8; y < 592; y += 7) {
    for (int x = 8; x < 792; x += 7) {
      const int wx = ox + static_cast<int>((x + 0.5) * scale);
      const int wy = oy + static_cast<int>((y + 0.5) * scale);
      if (wx < 0 || wy < 0 || wx >= window.width || wy >= window.height) continue;
      for (int k = 0; k < 3; ++k) {
        const int a = composed.pixels[static_cast<size_t>((y * 800 + x) * 3 + k)];
        const int b = window.pixels[static_cast<size_t>((wy * window.width + wx) * 3 + k)];
        total += std::abs(a - b);
      }
      ++samples;
    }
  }
  ASSERT_GT(samples, 5000);
  EXPECT_LT(total / (samples * 3), 6.0);
}

}  // namespace
