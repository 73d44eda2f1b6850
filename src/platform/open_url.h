#pragma once
// Opens a web address or a file: URL in the user's browser.

#include <string>

namespace platform {

// False (with the reason in `error`) when the desktop could not open it.
bool OpenUrl(const std::string& url, std::string& error);

}  // namespace platform
