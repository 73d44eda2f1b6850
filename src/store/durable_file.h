#pragma once
// Replacing a file so that a crash or power cut at any moment leaves either the
// old contents or the new, never a mixture or a truncated file.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace store {

// Writes the bytes to a new private temporary file in the same folder (never
// through a link), flushes it to disk, renames it over `file` and flushes the
// folder (core::WriteFileSafely). The folder must exist.
// False when any step before the rename fails; the old file is then untouched
// and the temporary file removed, and `error` (when given) says why.
bool WriteFileDurably(const std::filesystem::path& file, std::span<const uint8_t> bytes,
                      std::string* error = nullptr);

}  // namespace store
