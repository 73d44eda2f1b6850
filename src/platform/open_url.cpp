#include "platform/open_url.h"

#include <SDL.h>

namespace platform {

bool OpenUrl(const std::string& url, std::string& error) {
  if (url.empty()) {
    error = "nothing to open";
    return false;
  }
  if (SDL_OpenURL(url.c_str()) != 0) {
    error = SDL_GetError();
    return false;
  }
  return true;
}

}  // namespace platform
