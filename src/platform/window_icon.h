#pragma once
// The window's icon: the game's icon picture, read from the data folder.

#include <string>

struct SDL_Window;

namespace platform {

// Sets the icon of `window` from the RGBA PNG at `path`. False (the window
// keeps the desktop's default icon) when there is no window or the file is
// missing or unreadable; the game runs on either way.
bool SetWindowIcon(SDL_Window* window, const std::string& path);

// The icon's file in a data folder.
inline std::string WindowIconPath(const std::string& data_dir) {
  return data_dir + "/gfall-icon.png";
}

}  // namespace platform
