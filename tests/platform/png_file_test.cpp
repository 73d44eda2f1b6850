#include "platform/png_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace platform {
namespace {

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string("gfall_") + std::to_string(::getpid()) + "_" + name))
      .string();
}

TEST(PngFile, RoundTrip) {
  RgbFrame f;
  f.width = 7;
  f.height = 3;
  for (int i = 0; i < 7 * 3 * 3; ++i) f.pixels.push_back(static_cast<uint8_t>(i * 11));
  const std::string path = TempPath("round.png");
  ASSERT_TRUE(WritePng(path, f));
  RgbFrame back;
  ASSERT_TRUE(ReadPng(path, back));
  EXPECT_EQ(back.width, 7);
  EXPECT_EQ(back.height, 3);
  EXPECT_EQ(back.pixels, f.pixels);
  std::filesystem::remove(path);
}

TEST(PngFile, RefusesBadInput) {
  RgbFrame f;
  f.width = 4;
  f.height = 4;
  f.pixels.resize(10);  // too short for the size it claims
  EXPECT_FALSE(WritePng(TempPath("short.png"), f));
  EXPECT_FALSE(WritePng(TempPath("empty.png"), RgbFrame{}));
  f.pixels.resize(48);
  EXPECT_FALSE(WritePng("/nonexistent-dir/x.png", f));

  RgbFrame back;
  EXPECT_FALSE(ReadPng(TempPath("missing.png"), back));
  const std::string junk = TempPath("junk.png");
  std::ofstream(junk) << "not a picture at all";
  EXPECT_FALSE(ReadPng(junk, back));
  EXPECT_TRUE(back.pixels.empty());
  std::filesystem::remove(junk);
}

}  // namespace
}  // namespace platform
