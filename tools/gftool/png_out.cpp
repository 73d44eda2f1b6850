#include "png_out.h"

#include <png.h>

#include <csetjmp>

namespace gftool {

namespace {

void Append(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

void Flush(png_structp) {}

// libpng reports errors with a jump back here; nothing here needs destroying on the way.
int Write(int32_t width, int32_t height, const uint8_t* rgba, std::vector<uint8_t>* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return 1;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return 1;
  }
  png_set_write_fn(png, out, Append, Flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t y = 0; y < height; ++y) {
    png_write_row(png, rgba + static_cast<size_t>(y) * static_cast<size_t>(width) * 4);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return 0;
}

}  // namespace

bool EncodePng(int32_t width, int32_t height, std::span<const uint8_t> rgba,
               std::vector<uint8_t>& out) {
  out.clear();
  if (width <= 0 || height <= 0 ||
      rgba.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4) {
    return false;
  }
  if (Write(width, height, rgba.data(), &out) != 0) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace gftool
