#pragma once
// Reading and writing the files a player may be handed or may find planted:
// recordings, scripts, tuning files, packs, settings. A read takes only a
// regular file (checked on the opened handle, so nothing is swapped in
// between) up to a size stated per kind, and never waits on a pipe. A write
// never goes through a link and leaves a private file: a new temporary in the
// target's folder, flushed, then renamed over the target, so a crash leaves
// the old file or the new one.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace core {

// Size limits per kind of file (bytes).
inline constexpr uint64_t kMaxRecordingBytes = 64ull << 20;
inline constexpr uint64_t kMaxScriptBytes = 4ull << 20;
inline constexpr uint64_t kMaxTuningBytes = 1ull << 20;
inline constexpr uint64_t kMaxSettingsBytes = 1ull << 20;
inline constexpr uint64_t kMaxPackBytes = 512ull << 20;

// Reads a whole regular file of at most max_bytes. False with the reason
// ("is not a regular file", "is larger than 4 MB", "No such file or
// directory") when it is not one, is too large or cannot be read.
bool ReadRegularFile(const std::filesystem::path& path, uint64_t max_bytes,
                     std::vector<uint8_t>& bytes, std::string& error);
// The same for text.
bool ReadRegularTextFile(const std::filesystem::path& path, uint64_t max_bytes, std::string& text,
                         std::string& error);

// Replaces `file` with `bytes`: a temporary created new (never through a link)
// in the same folder with mode 0600, written, flushed to disk, renamed over
// the target (a link at the target's name is replaced, not followed), and the
// folder flushed. The folder must exist. False with the reason when any step
// fails ("Permission denied"); the old file is then untouched and the
// temporary removed.
bool WriteFileSafely(const std::filesystem::path& file, std::span<const uint8_t> bytes,
                     std::string& error);

// WriteFileSafely with the temporary's names to try, in order (tests).
bool WriteFileSafelyVia(const std::filesystem::path& file, std::span<const uint8_t> bytes,
                        std::span<const std::string> temporary_names, std::string& error);

// A file written as it goes (a recording): created or emptied, never through
// a link (a link at its name is refused), only a regular file, mode 0600.
// Null with the reason when it cannot be.
std::FILE* OpenPrivateFileForWriting(const std::filesystem::path& file, std::string& error);

// Creates a folder and any missing parents with mode 0700, whatever the
// process's umask. Existing folders are left as they are. False with the
// reason when one cannot be created or something else is in the way.
bool CreatePrivateFolders(const std::filesystem::path& folder, std::string& error);

// "64 MB", "4 MB", "512 KB"
std::string SizeText(uint64_t bytes);

}  // namespace core
