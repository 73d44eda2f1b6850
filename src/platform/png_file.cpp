#include "platform/png_file.h"

#include <png.h>

#include <cstring>

namespace platform {

bool WritePng(const std::string& path, const RgbFrame& frame) {
  if (frame.width <= 0 || frame.height <= 0 ||
      frame.pixels.size() !=
          static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 3) {
    return false;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(frame.width);
  image.height = static_cast<png_uint_32>(frame.height);
  image.format = PNG_FORMAT_RGB;
  const int ok = png_image_write_to_file(&image, path.c_str(), 0, frame.pixels.data(),
                                         frame.width * 3, nullptr);
  png_image_free(&image);
  return ok != 0;
}

bool ReadPng(const std::string& path, RgbFrame& frame) {
  frame = RgbFrame{};
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  // Refuse absurd sizes before allocating (a damaged or hostile header).
  if (image.width == 0 || image.height == 0 || image.width > 16384 || image.height > 16384) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  frame.width = static_cast<int32_t>(image.width);
  frame.height = static_cast<int32_t>(image.height);
  frame.pixels = std::move(pixels);
  return true;
}

}  // namespace platform
