#pragma once
// Files and folders as the operating system gives them.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace platform::os {

// Writes the bytes to a new temporary file in the folder of `file`, flushes it
// to disk and moves it over `file` so that a crash or power cut at any moment
// leaves either the old contents or the new. False when a step fails; the old
// file is then untouched, the temporary file removed, and `error` (when
// given) says why.
bool ReplaceFileDurably(const std::filesystem::path& file, std::span<const uint8_t> bytes,
                        std::string* error = nullptr);

// The per-user folder the system gives programs for their saved files (on
// Windows the roaming application data, "Kestrune Software\Glimmerfall
// Pinball"); empty where the XDG rules decide instead.
std::filesystem::path UserDataFolder();

// The folder the installer recorded ("Install Path" under the game's
// registry key on Windows); empty when none is recorded.
std::string RecordedInstallFolder();

}  // namespace platform::os
