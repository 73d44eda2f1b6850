#include "platform/open_url.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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
  // Everything the children need is made before fork: after it only
  // async-signal-safe calls are allowed.
  const std::string script = command + " \"$1\"";
  const char* argv[] = {"/bin/sh", "-c", script.c_str(), "gfall-open", url.c_str(), nullptr};
  const pid_t child = fork();
  if (child < 0) {
    error = std::strerror(errno);
    return false;
  }
  if (child == 0) {
    // The first child starts the opener and ends at once, so the opener is
    // nobody's child to wait for.
    if (fork() == 0) {
      setsid();
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        if (null > 2) close(null);
      }
      execv("/bin/sh", const_cast<char* const*>(argv));
      _exit(127);
    }
    _exit(0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return true;
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
