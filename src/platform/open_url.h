#pragma once
// Opens a web address or a file: URL in the user's browser.

#include <string>

namespace platform {

// The command that opens addresses instead of the desktop's browser, from
// $GFALL_URL_OPENER; empty when unset.
std::string UrlOpenerCommand();

// False (with the reason in `error`) when the desktop could not open it.
// With $GFALL_URL_OPENER set, that command opens it instead (OpenUrlWith).
bool OpenUrl(const std::string& url, std::string& error);

// Runs the shell command `command` with the address as its last argument
// ("$1", never pasted into the command text), detached: it is not waited
// for and leaves no zombie. Its standard input and output are /dev/null.
bool OpenUrlWith(const std::string& command, const std::string& url, std::string& error);

}  // namespace platform
