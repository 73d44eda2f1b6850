#pragma once
// Replacing a file so that a crash or power cut at any moment leaves either the
// old contents or the new, never a mixture or a truncated file.

#include <cstdint>
#include <filesystem>
#include <span>

namespace store {

// Writes the bytes to a new temporary file in the same folder, flushes it to
// disk, renames it over `file` and flushes the folder. The folder must exist.
// False when any step before the rename fails; the old file is then untouched
// and the temporary file removed.
bool WriteFileDurably(const std::filesystem::path& file, std::span<const uint8_t> bytes);

}  // namespace store
