#include "platform/window_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "test_files.h"

namespace platform {
namespace {

TEST(WindowSettings, FileFollowsConfigDirThenXdgThenHome) {
  EXPECT_EQ(WindowSettingsPathFrom("/t/cfg", "/x", "/h"), "/t/cfg/window.ini");
  EXPECT_EQ(WindowSettingsPathFrom("", "/x", "/h"), "/x/gfall/window.ini");
  EXPECT_EQ(WindowSettingsPathFrom("", "relative", "/h"), "/h/.config/gfall/window.ini");
  EXPECT_EQ(WindowSettingsPathFrom("", nullptr, "/h"), "/h/.config/gfall/window.ini");
  EXPECT_EQ(WindowSettingsPathFrom("", nullptr, nullptr), "");
}

TEST(WindowSettings, ReadsWhatItWroteAndDefaultsForWhatDoesNotRead) {
  const WindowSettings defaults;
  WindowSettings sized;
  sized.fullscreen = false;
  sized.width = 1280;
  sized.height = 960;
  sized.mode_width = 800;
  sized.mode_height = 600;
  WindowSettings windowed;
  windowed.fullscreen = false;
  WindowSettings sharp;
  sharp.sharp = true;
  struct Case {
    const char* text;
    WindowSettings want;
  };
  const Case cases[] = {
      {"", defaults},
      {"fullscreen=0\nsize=1280x960\nmode=800x600\n", sized},
      {"# comment\r\n fullscreen = 0 \r\nsize=1280x960\r\nmode=800x600", sized},
      {"fullscreen=0\n", windowed},
      {"fullscreen=yes\n", defaults},
      {"fullscreen=2\n", defaults},
      {"fullscreen=0\nsize=1280x960\n", windowed},  // no mode: the size is dropped
      {"fullscreen=0\nsize=0x960\nmode=800x600\n", windowed},
      {"fullscreen=0\nsize=1280x99999999999\nmode=800x600\n", windowed},
      {"fullscreen=0\nsize=-5x960\nmode=800x600\n", windowed},
      {"fullscreen=0\nsize=1280x960junk\nmode=800x600\n", windowed},
      {"\x01\xff garbage without equals\n=\nfullscreen\n", defaults},
      {"colour=blue\nfullscreen=0\n", windowed},  // a key of a later version is skipped
      {"scaling=sharp\n", sharp},
      {"scaling=smooth\n", defaults},
      {"scaling=blurry\n", defaults},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseWindowSettings(c.text), c.want);
  }
  for (const WindowSettings& s : {defaults, sized, windowed, sharp}) {
    EXPECT_EQ(ParseWindowSettings(FormatWindowSettings(s)), s);
  }
}

TEST(WindowSettings, FileRoundTripMissingAndDamaged) {
  const test_util::TempDir dir;
  const std::filesystem::path file = dir.path() / "deeper" / "gfall" / "window.ini";
  EXPECT_EQ(ReadWindowSettings(file), WindowSettings{}) << "a missing file is the defaults";
  WindowSettings s;
  s.fullscreen = false;
  s.width = 1500;
  s.height = 1100;
  s.mode_width = 1024;
  s.mode_height = 768;
  std::string error;
  ASSERT_TRUE(WriteWindowSettings(file, s, &error)) << error;  // makes the folders
  EXPECT_EQ(ReadWindowSettings(file), s);
  s.fullscreen = true;
  ASSERT_TRUE(WriteWindowSettings(file, s, &error)) << error;
  EXPECT_EQ(ReadWindowSettings(file), s) << "replaced whole";

  std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(100000, 'x');
  EXPECT_EQ(ReadWindowSettings(file), WindowSettings{}) << "a file too large is not ours";
  std::filesystem::remove(file);
  std::filesystem::create_directory(file);  // unreadable as a file
  EXPECT_EQ(ReadWindowSettings(file), WindowSettings{});
  EXPECT_FALSE(WriteWindowSettings(file, s, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(WriteWindowSettings("", s, &error));
}

}  // namespace
}  // namespace platform
