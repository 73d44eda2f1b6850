#pragma once
// Describes a sound file: a compressed ".WAC" stream (rate, mode, layer,
// duration, and whether it decodes within its buffer) or a ".WAV" file.

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>

namespace gftool {

// Prints the description of a sound file's bytes to out; 0 when the file is
// a sound file the game can play, 1 otherwise (with a message on standard error).
int SoundInfo(const std::string& name, std::span<const uint8_t> bytes, std::ostream& out);

}  // namespace gftool
