// Web addresses and the help on Windows: the shell's handler for the address
// through SDL_OpenURL, or the command in $GFALL_URL_OPENER.
#include <SDL.h>

#include <cstdlib>

#include "platform/open_url.h"
#include "platform/os/process.h"

namespace platform {

std::string UrlOpenerCommand() {
  const char* v = std::getenv("GFALL_URL_OPENER");
  return v ? std::string(v) : std::string();
}

bool OpenUrlWith(const std::string& command, const std::string& url, std::string& error) {
  if (url.empty() || command.empty()) {
    error = "nothing to open";
    return false;
  }
  // The command is a program; the address is its one argument, never pasted
  // into a command line a shell would read.
  return os::StartDetached({command, url}, error) >= 0;
}

bool OpenUrl(const std::string& url, std::string& error) {
  if (url.empty()) {
    error = "nothing to open";
    return false;
  }
  const std::string opener = UrlOpenerCommand();
  if (!opener.empty()) return OpenUrlWith(opener, url, error);
  if (SDL_OpenURL(url.c_str()) != 0) {
    error = SDL_GetError();
    return false;
  }
  return true;
}

}  // namespace platform
