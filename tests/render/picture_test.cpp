// Full-screen pictures: JPEG decoding through the pack, conversion to every
// screen format and size, the background, and the reflection tables.

#include "render/picture.h"

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cmath>
#include <cstdlib>

#include "memory_pack.h"
#include "render/image_files.h"
#include "render/jpeg_io.h"
#include "render/reflection_map.h"
#include "sprite_fixtures.h"

namespace render {
namespace {

using namespace render::testing;

std::vector<uint8_t> Gradient(int32_t w, int32_t h) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w * h * 3));
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = &rgb[static_cast<size_t>((y * w + x) * 3)];
      p[0] = static_cast<uint8_t>(x & 255);
      p[1] = static_cast<uint8_t>(y & 255);
      p[2] = 77;
    }
  }
  return rgb;
}

// A freshly decoded picture with R = column, G = row, B = 77.
Picture Decoded(int32_t w, int32_t h) {
  Picture p;
  p.width = w;
  p.height = h;
  std::vector<uint8_t> rgb = Gradient(w, h);
  p.pixels.resize(static_cast<size_t>(w * h * 4));
  for (size_t i = 0; i < static_cast<size_t>(w * h); ++i) {
    p.pixels[i * 4] = rgb[i * 3 + 2];
    p.pixels[i * 4 + 1] = rgb[i * 3 + 1];
    p.pixels[i * 4 + 2] = rgb[i * 3];
  }
  return p;
}

uint32_t At(const Picture& p, int32_t x, int32_t y) {
  const size_t bpp = static_cast<size_t>(BytesPerPixel(p.format));
  const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(p.width) + x) * bpp;
  uint32_t v = 0;
  for (size_t k = 0; k < bpp; ++k) v |= static_cast<uint32_t>(p.pixels[i + k]) << (8 * k);
  return v;
}

TEST(JpegPicture, LoadsFromInsideThePack) {
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(JpegEncode(64, 48, Gradient(64, 48), 100, jpeg));
  MemoryPack pack;
  pack.Add("RES\\TGA\\PF_0002.JPG", jpeg);
  pack.Add("RES\\TGA\\PF_0003.JPG", std::vector<uint8_t>(3000, 0x55));
  pack.Add("RES\\TGA\\BAD.JPG", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 100));
  res::ResourceLayer& layer = pack.Open();
  Picture p;
  ASSERT_TRUE(LoadJpegPicture(p, layer, "RES\\TGA\\PF_0002.JPG"));
  EXPECT_EQ(p.width, 64);
  EXPECT_EQ(p.height, 48);
  EXPECT_EQ(p.format, PixelFormatId::RGB32);
  const uint32_t v = At(p, 40, 30);
  EXPECT_NEAR(static_cast<int>(v >> 16), 40, 3);
  EXPECT_NEAR(static_cast<int>((v >> 8) & 255), 30, 3);
  EXPECT_NEAR(static_cast<int>(v & 255), 77, 3);
  EXPECT_EQ(v >> 24, 0u);

  EXPECT_FALSE(LoadJpegPicture(p, layer, "RES\\TGA\\PF_0003.JPG")) << "not a JPEG";
  EXPECT_TRUE(p.pixels.empty());
  EXPECT_FALSE(LoadJpegPicture(p, layer, "RES\\TGA\\MISSING.JPG"));
  // A header cut short fails, although in the pack a whole picture follows it:
  // the reader stops at the end of its own file.
  pack.Add("RES\\TGA\\BAD.JPG", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 10));
  res::ResourceLayer& again = pack.Open();
  EXPECT_FALSE(LoadJpegPicture(p, again, "RES\\TGA\\BAD.JPG"));
}

// A one-component JPEG, as a paint program might save a grey picture.
std::vector<uint8_t> GreyJpeg(int32_t w, int32_t h, uint8_t level) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = 1;
  cinfo.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(w), level);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

// Grey pictures come out as three equal channels, never one byte a pixel.
TEST(JpegPicture, GreyPicturesBecomeRgb) {
  MemoryPack pack;
  pack.Add("RES\\TGA\\GREY.JPG", GreyJpeg(32, 16, 150));
  res::ResourceLayer& layer = pack.Open();
  Picture p;
  ASSERT_TRUE(LoadJpegPicture(p, layer, "RES\\TGA\\GREY.JPG"));
  EXPECT_EQ(p.width, 32);
  EXPECT_EQ(At(p, 31, 15), 0x969696u);
}

TEST(ConvertPicture, Rgb565At800IsBilinearAndDithered) {
  Picture p = Decoded(1024, 768);
  const DisplayFormat f = Format(PixelFormatId::RGB565, 800);
  ASSERT_TRUE(ConvertPicture(p, f, SharedColours()));
  EXPECT_EQ(p.width, 800);
  EXPECT_EQ(p.height, 600);
  EXPECT_EQ(p.format, PixelFormatId::RGB565);
  ASSERT_EQ(p.pixels.size(), 800u * 600u * 2u);
  // Pixel (5, 3) samples (6.4, 3.84): R = 6.4 → 6, G = 3.84 → 3, B = 77. The one
  // threshold of this pixel, ((5 ^ 3) × 134775813 + 134775814) mod 2^32, has low
  // bits 100: red 6 > 4 and blue 5 > 4 round up, green 3 > 0 rounds up.
  EXPECT_EQ(At(p, 5, 3), (1u << 11) | (1u << 5) | 10u);
  EXPECT_FALSE(ConvertPicture(p, f, SharedColours())) << "already converted";
}

TEST(ConvertPicture, EveryFormatAtFullSize) {
  const TableColours& colours = SharedColours();
  Picture p = Decoded(1024, 768);
  ASSERT_TRUE(ConvertPicture(p, Format(PixelFormatId::RGB32), colours));
  EXPECT_EQ(At(p, 200, 100), 0xC8644Du) << "RGB32 at full size is already final";

  p = Decoded(1024, 768);
  ASSERT_TRUE(ConvertPicture(p, Format(PixelFormatId::RGB24), colours));
  ASSERT_EQ(p.pixels.size(), 1024u * 768u * 3u);
  EXPECT_EQ(At(p, 200, 100), 0xC8644Du);  // bytes B, G, R

  p = Decoded(1024, 768);
  ASSERT_TRUE(ConvertPicture(p, Format(PixelFormatId::PAL8), colours));
  EXPECT_EQ(At(p, 200, 100), colours.cube.cells[CubeIndex(200, 100, 77)]);
  p = Decoded(1024, 768);
  TableColours none;
  EXPECT_FALSE(ConvertPicture(p, Format(PixelFormatId::PAL8), none)) << "no cube";

  // At 640 wide a plain picture keeps its colour everywhere, last row and column too.
  Picture plain;
  plain.width = 1024;
  plain.height = 768;
  plain.pixels.assign(1024u * 768u * 4u, 0);
  for (size_t i = 0; i < plain.pixels.size(); i += 4) {
    plain.pixels[i] = 30;
    plain.pixels[i + 1] = 60;
    plain.pixels[i + 2] = 90;
  }
  ASSERT_TRUE(ConvertPicture(plain, Format(PixelFormatId::RGB32, 640), colours));
  EXPECT_EQ(At(plain, 639, 479), 0x5A3C1Eu);
  EXPECT_EQ(At(plain, 0, 0), 0x5A3C1Eu);
}

TEST(SetBackground, OnlyAConvertedScreenSizedPicture) {
  Display display;
  display.format = Format(PixelFormatId::RGB555, 640);
  std::vector<uint8_t> background(640u * 480u * 2u, 1), scene(640u * 480u * 2u, 1);
  display.format.background = background.data();
  display.format.scene = scene.data();
  display.full_redraw_count = 0;

  Picture p = Decoded(1024, 768);
  EXPECT_FALSE(SetBackground(p, display)) << "not converted";
  ASSERT_TRUE(ConvertPicture(p, Format(PixelFormatId::RGB555, 800), SharedColours()));
  EXPECT_FALSE(SetBackground(p, display)) << "another size";
  EXPECT_EQ(background[0], 1);
  EXPECT_EQ(display.full_redraw_count, 0);

  p = Decoded(1024, 768);
  ASSERT_TRUE(ConvertPicture(p, display.format, SharedColours()));
  ASSERT_TRUE(SetBackground(p, display));
  EXPECT_EQ(display.full_redraw_count, 3);
  EXPECT_EQ(background, p.pixels);
  EXPECT_EQ(scene, p.pixels);
}

TEST(ReflectionMap, TexturesAndTables) {
  std::vector<uint8_t> lsc;
  ASSERT_TRUE(WriteScreenFile(16, 8, std::vector<uint8_t>(128, 42), TestPalette(), lsc));
  MemoryPack pack;
  pack.Add("RES\\TGA\\BALLMAP.LSC", lsc);
  res::ResourceLayer& layer = pack.Open();
  auto tables = std::make_unique<ReflectionTables>();
  EXPECT_FALSE(LoadReflectionMap(*tables, 4, layer, "RES\\TGA\\BALLMAP.LSC"));
  EXPECT_FALSE(LoadReflectionMap(*tables, 1, layer, "RES\\TGA\\NONE.LSC"));
  ASSERT_TRUE(LoadReflectionMap(*tables, 3, layer, "RES\\TGA\\BALLMAP.LSC"));
  EXPECT_EQ(tables->maps[3].width, 16);
  EXPECT_EQ(tables->maps[3].bytes[5], 42);
  EXPECT_EQ(tables->distance[3 * 128 + 4], 5.0f);
  EXPECT_EQ(tables->distance[0], 0.0f);
  EXPECT_EQ(tables->spread[10 * 256 + 5], 4.25f);
  EXPECT_TRUE(std::isinf(tables->spread[7 * 256]));
  EXPECT_EQ(tables->spread[7 * 256 + 200], 0.0f);
}

}  // namespace
}  // namespace render
