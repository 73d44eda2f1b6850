// The table in a real window: gfall --window under a virtual X server with
// scripted input; what the window shows, read back through SDL and captured
// from the X server itself, must be the composed frame.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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
                          " --window --frames 120 --width 800 --depth 2 --data " + GFALL_DATA_DIR +
                          " --input " + (dir / "input.txt").string() + " --screenshot " +
                          (dir / "composed.png").string() + " --window-screenshot " +
                          (dir / "window.png").string() + " >/dev/null 2>&1";
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

// An X window dump ("xwd" file): a header of big-endian 32-bit fields, the
// window name, the colour map (12 bytes per entry), then the pixel rows.
struct XwdHeader {
  enum Field {
    kHeaderSize,
    kVersion,
    kFormat,
    kDepth,
    kWidth,
    kHeight,
    kXOffset,
    kByteOrder,
    kBitmapUnit,
    kBitOrder,
    kBitmapPad,
    kBitsPerPixel,
    kBytesPerLine,
    kVisualClass,
    kRedMask,
    kGreenMask,
    kBlueMask,
    kBitsPerRgb,
    kColourMapEntries,
    kColourCount,
    kFieldCount = 25
  };
};

// Reads a true-colour XWD file as RGB; false with a reason.
bool ReadXwd(const std::string& path, platform::RgbFrame& out, std::string& why) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  auto be32 = [&](size_t at) {
    return static_cast<uint32_t>(file[at]) << 24 | static_cast<uint32_t>(file[at + 1]) << 16 |
           static_cast<uint32_t>(file[at + 2]) << 8 | file[at + 3];
  };
  if (file.size() < XwdHeader::kFieldCount * 4) return why = "short header", false;
  uint32_t h[XwdHeader::kFieldCount];
  for (size_t k = 0; k < XwdHeader::kFieldCount; ++k) h[k] = be32(k * 4);
  if (h[XwdHeader::kVersion] != 7 || h[XwdHeader::kFormat] != 2)
    return why = "not a version 7 ZPixmap dump", false;
  if (h[XwdHeader::kVisualClass] != 4 && h[XwdHeader::kVisualClass] != 5)
    return why = "not true colour", false;
  const uint32_t bpp = h[XwdHeader::kBitsPerPixel];
  if (bpp != 32 && bpp != 24) return why = "bits per pixel " + std::to_string(bpp), false;
  const uint64_t w = h[XwdHeader::kWidth], ht = h[XwdHeader::kHeight],
                 line = h[XwdHeader::kBytesPerLine];
  if (w == 0 || ht == 0 || w > 16384 || ht > 16384 || line < w * (bpp / 8))
    return why = "bad size", false;
  const uint64_t pixels_at =
      uint64_t{h[XwdHeader::kHeaderSize]} + uint64_t{h[XwdHeader::kColourCount]} * 12;
  if (pixels_at + line * ht > file.size()) return why = "short pixel data", false;
  const uint32_t masks[3] = {h[XwdHeader::kRedMask], h[XwdHeader::kGreenMask],
                             h[XwdHeader::kBlueMask]};
  out.width = static_cast<int32_t>(w);
  out.height = static_cast<int32_t>(ht);
  out.pixels.assign(w * ht * 3, 0);
  for (uint64_t y = 0; y < ht; ++y) {
    for (uint64_t x = 0; x < w; ++x) {
      const uint8_t* p = &file[pixels_at + y * line + x * (bpp / 8)];
      uint32_t v = 0;
      for (uint32_t k = 0; k < bpp / 8; ++k) {
        // Byte order 0: least significant byte first.
        const uint32_t shift = h[XwdHeader::kByteOrder] == 0 ? 8 * k : 8 * (bpp / 8 - 1 - k);
        v |= static_cast<uint32_t>(p[k]) << shift;
      }
      for (int c = 0; c < 3; ++c) {
        if (masks[c] == 0) return why = "no colour mask", false;
        const uint32_t low = static_cast<uint32_t>(__builtin_ctz(masks[c]));
        const uint32_t top = masks[c] >> low;  // all ones
        out.pixels[(y * w + x) * 3 + static_cast<size_t>(c)] =
            static_cast<uint8_t>(((v & masks[c]) >> low) * 255 / top);
      }
    }
  }
  return true;
}

// The box of the screen that holds anything but the black root window.
struct Box {
  int x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // inclusive
};
Box LitBox(const platform::RgbFrame& f) {
  Box b{f.width, f.height, -1, -1};
  for (int y = 0; y < f.height; ++y) {
    for (int x = 0; x < f.width; ++x) {
      const uint8_t* p = &f.pixels[static_cast<size_t>(y * f.width + x) * 3];
      if (std::max({p[0], p[1], p[2]}) <= 4) continue;
      b.x0 = std::min(b.x0, x);
      b.y0 = std::min(b.y0, y);
      b.x1 = std::max(b.x1, x);
      b.y1 = std::max(b.y1, y);
    }
  }
  return b;
}

// One window picture as the X server holds it, against the run's screenshot.
struct XServerCase {
  const char* name;
  const char* resize;    // "W H": the window is resized to this before the dump
  int width, height;     // the mode
  int shown_w, shown_h;  // the picture's size on the screen
  double mean_limit;     // mean difference per channel
  int off_limit;         // pixels further off than 4 in some channel
};

void CheckXServerShowsTheScreenshot(const XServerCase& c) {
  namespace fs = std::filesystem;
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  if (std::system("command -v xwd >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xwd";
  if (*c.resize != 0 && std::system("command -v xdotool >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "no xdotool";
  }
  if (!fs::exists(fs::path(GFALL_DATA_DIR) / "GFALL.DAT")) GTEST_SKIP() << "no GFALL.DAT";
  const fs::path dir =
      fs::temp_directory_path() / ("gfall_xwd_" + std::to_string(::getpid()) + "_" + c.name);
  fs::create_directories(dir);
  const std::string composed = (dir / "composed.png").string(), root = (dir / "root.xwd").string();
  {
    // Launch a ball, then flip both flippers; 256 colours through the screen palette.
    std::ofstream script(dir / "input.txt");
    script << "50 start down\n700 start up\n1300 left down\n1500 left up\n1600 right down\n"
              "1800 right up\n";
  }
  {
    // gfall keeps its last frame shown after writing the screenshot; the X
    // server's own picture of the screen is taken meanwhile, and a TERM ends
    // the wait.
    std::ofstream run(dir / "run.sh");
    run << "\"" << GFALL_EXE << "\" --play --window --frames 150 --width " << c.width
        << " --depth 0 --data \"" << GFALL_DATA_DIR << "\" --input \""
        << (dir / "input.txt").string() << "\" --screenshot \"" << composed
        << "\" --linger 60000 &\n"
        << "pid=$!\n"
        << "i=0\n"
        << "while [ ! -s \"" << composed
        << "\" ] && [ $i -lt 1200 ] && kill -0 $pid 2>/dev/null; do\n"
        << "  sleep 0.1; i=$((i+1))\n"
        << "done\n"
        << "sleep 0.5\n";
    if (*c.resize != 0) {
      run << "xdotool search --sync --name Glimmerfall windowmove 0 0 windowsize " << c.resize
          << "\n"
          << "sleep 1\n";
    }
    run << "xwd -root -silent -out \"" << root << "\"\n"
        << "kill -TERM $pid 2>/dev/null\n"
        << "wait $pid\n";
  }
  const std::string cmd = "xvfb-run -a -s '-screen 0 1280x1024x24 -br' sh " +
                          (dir / "run.sh").string() + " >/dev/null 2>&1";
  const int st = std::system(cmd.c_str());
  platform::RgbFrame shot, screen;
  std::string why;
  const bool have_shot = platform::ReadPng(composed, shot);
  const bool have_screen = ReadXwd(root, screen, why);
  fs::remove_all(dir);
  ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << cmd;
  ASSERT_TRUE(have_shot);
  ASSERT_TRUE(have_screen) << why;
  const int w = c.width, h = c.height;
  ASSERT_EQ(shot.width, w);
  ASSERT_EQ(shot.height, h);
  EXPECT_EQ(screen.width, 1280);
  EXPECT_EQ(screen.height, 1024);

  // The window shows the frame somewhere on the black root; every pixel of
  // it must be the screenshot's, so the ball stands where the last frame put it.
  const Box b = LitBox(screen);
  ASSERT_NEAR(b.x1 - b.x0 + 1, c.shown_w, 2);
  ASSERT_NEAR(b.y1 - b.y0 + 1, c.shown_h, 2);
  const double sx = (b.x1 - b.x0 + 1) / static_cast<double>(w);
  const double sy = (b.y1 - b.y0 + 1) / static_cast<double>(h);
  double total = 0.0;
  int64_t off = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int wx = std::min(b.x1, b.x0 + static_cast<int>((x + 0.5) * sx));
      const int wy = std::min(b.y1, b.y0 + static_cast<int>((y + 0.5) * sy));
      int worst = 0;
      for (int k = 0; k < 3; ++k) {
        const int a = shot.pixels[static_cast<size_t>((y * w + x) * 3 + k)];
        const int d = screen.pixels[static_cast<size_t>((wy * screen.width + wx) * 3 + k)];
        total += std::abs(a - d);
        worst = std::max(worst, std::abs(a - d));
      }
      off += worst > 4 ? 1 : 0;
    }
  }
  EXPECT_LT(total / (w * h * 3.0), c.mean_limit);
  EXPECT_LT(off, c.off_limit) << "pixels that differ";
}

// The window at the mode's size and at twice it shows our buffers directly;
// at any other scale the renderer draws it, smoothed, so its pixels may
// differ a little at edges.
TEST(WindowedTable, TheXServerShowsTheScreenshot) {
  CheckXServerShowsTheScreenshot({"window", "", 800, 600, 800, 600, 1.0, 800 * 600 / 1000});
}

TEST(WindowedTable, TheXServerShowsTheScreenshotAtTwiceItsSize) {
  CheckXServerShowsTheScreenshot(
      {"double", "1280 960", 640, 480, 1280, 960, 1.0, 640 * 480 / 1000});
}

TEST(WindowedTable, TheXServerShowsTheScreenshotScaledSmoothly) {
  CheckXServerShowsTheScreenshot({"scaled", "1000 750", 800, 600, 1000, 750, 6.0, 800 * 600 / 5});
}

// A TERM signal during play ends the program at once and cleanly: the game
// data is saved as the menus' Quit saves it and the exit status is 0 (the
// window's close button would open the pause menu instead).
TEST(WindowedTable, TermDuringPlaySavesAndExits) {
  namespace fs = std::filesystem;
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  if (!fs::exists(fs::path(GFALL_DATA_DIR) / "GFALL.DAT")) GTEST_SKIP() << "no GFALL.DAT";
  const fs::path dir = fs::temp_directory_path() / ("gfall_term_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "config");
  {
    // Enter every second: it leaves the title, starts a new game from the
    // main menu, then pulls the plunger (however long the loading takes).
    std::ofstream script(dir / "input.txt");
    for (int ms = 2000; ms < 60000; ms += 1000) {
      script << ms << " key 28 down\n" << ms + 100 << " key 28 up\n";
    }
  }
  {
    std::ofstream run(dir / "run.sh");
    run << "\"" << GFALL_EXE << "\" --window --width 640 --depth 0 --data \"" << GFALL_DATA_DIR
        << "\" --config-dir \"" << (dir / "config").string() << "\" --input \""
        << (dir / "input.txt").string() << "\" --print-state > \"" << (dir / "state.json").string()
        << "\" &\n"
        << "pid=$!\n"
        << "sleep 12\n"
        << "kill -TERM $pid\n"
        << "i=0\n"
        << "while kill -0 $pid 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done\n"
        << "if kill -0 $pid 2>/dev/null; then kill -KILL $pid; exit 99; fi\n"
        << "wait $pid\n";
  }
  const std::string cmd =
      "xvfb-run -a -s '-screen 0 1280x1024x24' sh " + (dir / "run.sh").string() + " 2>/dev/null";
  const int st = std::system(cmd.c_str());
  std::ifstream in(dir / "state.json");
  const std::string state((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const bool saved = fs::exists(dir / "config" / "KEPB_GF.DAT");
  fs::remove_all(dir);
  ASSERT_TRUE(WIFEXITED(st)) << cmd;
  ASSERT_NE(WEXITSTATUS(st), 99) << "gfall still ran a second after the TERM";
  EXPECT_EQ(WEXITSTATUS(st), 0);
  // It was in play, no menu open, and left through the Quit path, which saves.
  EXPECT_NE(state.find("\"main_menu\":0,\"pause_menu\":0"), std::string::npos)
      << state.substr(0, 300);
  EXPECT_NE(state.find("\"quit\":1"), std::string::npos);
  EXPECT_NE(state.find("\"saves\":1"), std::string::npos);
  EXPECT_TRUE(saved) << "no game data file";
}

// The game with its menus opens its window as the settings file kept it, and
// keeps the size at the end; a --window of one run is not kept as the choice.
TEST(WindowedTable, TheWindowOpensAsTheSettingsFileKeptIt) {
  namespace fs = std::filesystem;
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  if (!fs::exists(fs::path(GFALL_DATA_DIR) / "GFALL.DAT")) GTEST_SKIP() << "no GFALL.DAT";
  struct Case {
    const char* name;
    const char* file;  // nullptr: no settings file
    const char* args;
    int width, height;  // the window's size
    const char* kept;   // the file's settings after the run; nullptr: no file
  };
  const Case cases[] = {
      {"no file: full screen", nullptr, "", 1024, 768, nullptr},
      {"a window of its own size", "fullscreen=0\nsize=900x700\nmode=800x600\n", "", 900, 700,
       "fullscreen=0\nsize=900x700\nmode=800x600\n"},  // nothing changed: not written
      {"a size of another mode is not used", "fullscreen=1\nsize=1000x750\nmode=1024x768\n",
       "--window", 800, 600, "fullscreen=1\nscaling=smooth\nsize=800x600\nmode=800x600\n"},
      {"a damaged file is the defaults", "\x01\xff\nsize=abc\nfullscreen=7\n", "", 1024, 768,
       "\x01\xff\nsize=abc\nfullscreen=7\n"},
  };
  const fs::path dir = fs::temp_directory_path() / ("gfall_wset_" + std::to_string(::getpid()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "input.txt") << "";
    if (c.file != nullptr) std::ofstream(dir / "window.ini", std::ios::binary) << c.file;
    const std::string cmd = "SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 1024x768x24' " +
                            std::string(GFALL_EXE) + " " + c.args +
                            " --virtual-clock --frames 5 --width 800 --depth 2 --data " +
                            GFALL_DATA_DIR + " --config-dir " + dir.string() + " --input " +
                            (dir / "input.txt").string() + " --window-screenshot " +
                            (dir / "window.png").string() + " >/dev/null 2>&1";
    const int st = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << cmd;
    platform::RgbFrame window;
    ASSERT_TRUE(platform::ReadPng((dir / "window.png").string(), window));
    EXPECT_EQ(window.width, c.width);
    EXPECT_EQ(window.height, c.height);
    std::ifstream in(dir / "window.ini", std::ios::binary);
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!kept.empty() && kept[0] == '#') kept = kept.substr(kept.find('\n') + 1);  // the comment
    if (c.kept == nullptr) {
      EXPECT_FALSE(fs::exists(dir / "window.ini")) << kept;
    } else {
      EXPECT_EQ(kept, c.kept);
    }
  }
  fs::remove_all(dir);
}

}  // namespace
