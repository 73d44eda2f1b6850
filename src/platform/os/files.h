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

// Makes the missing folders of `folder` for this user only (mode 0700 on
// POSIX whatever the umask; on Windows they inherit the parent's permissions,
// which in the user's profile are the user's). Folders already there are left
// as they are. False only when `folder` is still missing afterwards.
bool MakeOwnFolders(const std::filesystem::path& folder);

// The per-user folder the system gives programs for their saved files (on
// Windows the roaming application data, "Kestrune Software\Glimmerfall
// Pinball"); empty where the XDG rules decide instead.
std::filesystem::path UserDataFolder();

// The folder the installer recorded ("Install Path" under the game's
// registry key on Windows); empty when none is recorded.
std::string RecordedInstallFolder();

}  // namespace platform::os
