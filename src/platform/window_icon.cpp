#include "platform/window_icon.h"

#include <SDL.h>
#include <png.h>

#include <cstring>
#include <vector>

namespace platform {

bool SetWindowIcon(SDL_Window* window, const std::string& path) {
  if (window == nullptr) return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  // An icon is small; anything larger is not ours.
  if (image.width == 0 || image.height == 0 || image.width > 1024 || image.height > 1024) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      pixels.data(), static_cast<int>(image.width), static_cast<int>(image.height), 32,
      static_cast<int>(image.width) * 4, SDL_PIXELFORMAT_RGBA32);
  if (surface == nullptr) return false;
  SDL_SetWindowIcon(window, surface);  // SDL copies the pixels
  SDL_FreeSurface(surface);
  return true;
}

}  // namespace platform
