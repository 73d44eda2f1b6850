#include "render/picture.h"

#include <cstring>

#include "render/dither.h"
#include "render/image_files.h"
#include "render/jpeg_io.h"
#include "res/res_file.h"

namespace render {

bool LoadJpegPicture(Picture& picture, res::ResourceLayer& layer, std::string_view name) {
  picture = Picture{};
  res::ResFile file;
  if (!res::ResFileOpen(layer, name, "rb", file)) return false;
  JpegControl jpeg;
  jpeg.input = res::ResFileStreamAt(layer, file, 0, 0);
  jpeg.input_size = res::ResFileSize(layer, file);
  JpegReadSize(jpeg);
  const int64_t pixels = static_cast<int64_t>(jpeg.width) * jpeg.height;
  if (jpeg.error || pixels <= 0 || pixels > kMaxPicturePixels) {
    res::ResFileClose(file);
    return false;
  }
  std::vector<uint8_t> rgb(static_cast<size_t>(pixels) * 3);
  jpeg.output = rgb;
  jpeg.input = res::ResFileStreamAt(layer, file, 0, 0);
  JpegDecode(jpeg);
  res::ResFileClose(file);
  if (jpeg.error) return false;
  Picture result;
  result.width = jpeg.width;
  result.height = jpeg.height;
  result.format = PixelFormatId::RGB32;
  result.pixels.resize(static_cast<size_t>(pixels) * 4);
  for (size_t i = 0, n = static_cast<size_t>(pixels); i < n; ++i) {
    result.pixels[i * 4] = rgb[i * 3 + 2];
    result.pixels[i * 4 + 1] = rgb[i * 3 + 1];
    result.pixels[i * 4 + 2] = rgb[i * 3];
    result.pixels[i * 4 + 3] = 0;
  }
  picture = std::move(result);
  return true;
}

namespace {

// Writes one pixel of the screen format at `out`.
inline void Pack(const DisplayFormat& f, const ColourCube& cube, uint8_t r, uint8_t g, uint8_t b,
                 uint32_t j, uint32_t i, uint8_t* out) {
  switch (f.format_id) {
    case PixelFormatId::PAL8:
      out[0] = cube.cells[static_cast<size_t>(CubeIndex(r, g, b))];
      return;
    case PixelFormatId::RGB555:
    case PixelFormatId::RGB565: {
      const uint32_t t = DitherThreshold(j, i);
      const uint32_t v = DitherChannel(r, f.red_bits, f.red_shift, f.red_mask, t) |
                         DitherChannel(g, f.green_bits, f.green_shift, f.green_mask, t) |
                         DitherChannel(b, f.blue_bits, f.blue_shift, f.blue_mask, t);
      out[0] = static_cast<uint8_t>(v);
      out[1] = static_cast<uint8_t>(v >> 8);
      return;
    }
    case PixelFormatId::RGB24:
    case PixelFormatId::RGB32: {
      const uint32_t v = (static_cast<uint32_t>(r) << f.red_shift) |
                         (static_cast<uint32_t>(g) << f.green_shift) |
                         (static_cast<uint32_t>(b) << f.blue_shift);
      out[0] = static_cast<uint8_t>(v);
      out[1] = static_cast<uint8_t>(v >> 8);
      out[2] = static_cast<uint8_t>(v >> 16);
      if (f.format_id == PixelFormatId::RGB32) out[3] = static_cast<uint8_t>(v >> 24);
      return;
    }
  }
}

}  // namespace

bool ConvertPicture(Picture& picture, const DisplayFormat& format, const TableColours& colours) {
  if (picture.format != PixelFormatId::RGB32 || picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() !=
          static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 4) {
    return false;
  }
  if (format.format_id == PixelFormatId::PAL8 && !colours.cube_built) return false;
  if (format.width <= 0 || format.height <= 0) return false;
  const bool scaled = format.scaled != 0;
  if (!scaled && format.format_id == PixelFormatId::RGB32) return true;  // already final

  const int32_t bpp = BytesPerPixel(format.format_id);
  const int32_t w = format.width, h = format.height;
  std::vector<uint8_t> out(static_cast<size_t>(w) * static_cast<size_t>(h) *
                           static_cast<size_t>(bpp));
  const uint8_t* src = picture.pixels.data();
  const size_t src_w = static_cast<size_t>(picture.width);
  const int32_t last_c = picture.width - 1, last_r = picture.height - 1;
  for (int32_t i = 0; i < h; ++i) {
    uint8_t* row = out.data() + static_cast<size_t>(i) * static_cast<size_t>(w) * bpp;
    if (!scaled) {
      // One screen pixel per picture pixel; outside the picture stays zero.
      if (i > last_r) continue;
      for (int32_t j = 0; j < w && j <= last_c; ++j) {
        const uint8_t* p = src + (static_cast<size_t>(i) * src_w + static_cast<size_t>(j)) * 4;
        Pack(format, colours.cube, p[2], p[1], p[0], static_cast<uint32_t>(j),
             static_cast<uint32_t>(i), row + static_cast<size_t>(j) * bpp);
      }
      continue;
    }
    const double v = i * format.inverse_scale;
    const int32_t r0 = std::min(static_cast<int32_t>(v), last_r);
    const double fy = v - static_cast<int32_t>(v);
    const int32_t r1 = std::min(r0 + 1, last_r);
    for (int32_t j = 0; j < w; ++j) {
      const double u = j * format.inverse_scale;
      const int32_t c0 = std::min(static_cast<int32_t>(u), last_c);
      const double fx = u - static_cast<int32_t>(u);
      const int32_t c1 = std::min(c0 + 1, last_c);
      const uint8_t* p00 = src + (static_cast<size_t>(r0) * src_w + static_cast<size_t>(c0)) * 4;
      const uint8_t* p10 = src + (static_cast<size_t>(r0) * src_w + static_cast<size_t>(c1)) * 4;
      const uint8_t* p01 = src + (static_cast<size_t>(r1) * src_w + static_cast<size_t>(c0)) * 4;
      const uint8_t* p11 = src + (static_cast<size_t>(r1) * src_w + static_cast<size_t>(c1)) * 4;
      const double w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy,
                   w11 = fx * fy;
      uint8_t ch[3];
      for (int k = 0; k < 3; ++k) {
        ch[k] = static_cast<uint8_t>(p00[k] * w00 + p10[k] * w10 + p01[k] * w01 + p11[k] * w11 +
                                     0.000001);
      }
      Pack(format, colours.cube, ch[2], ch[1], ch[0], static_cast<uint32_t>(j),
           static_cast<uint32_t>(i), row + static_cast<size_t>(j) * bpp);
    }
  }
  picture.width = w;
  picture.height = h;
  picture.format = format.format_id;
  picture.pixels = std::move(out);
  return true;
}

bool SetBackground(const Picture& picture, Display& display) {
  const DisplayFormat& f = display.format;
  const size_t bytes = static_cast<size_t>(f.width) * static_cast<size_t>(f.height) *
                       static_cast<size_t>(BytesPerPixel(f.format_id));
  if (picture.width != f.width || picture.height != f.height || picture.format != f.format_id ||
      picture.pixels.size() != bytes || f.background == nullptr || f.scene == nullptr) {
    return false;
  }
  std::memcpy(f.background, picture.pixels.data(), bytes);
  std::memcpy(f.scene, picture.pixels.data(), bytes);
  display.full_redraw_count = 3;
  return true;
}

}  // namespace render
