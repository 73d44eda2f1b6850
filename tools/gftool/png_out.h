#pragma once
// Writing PNG pictures (8-bit RGBA) for the commands that show data as the game sees it.

#include <cstdint>
#include <span>
#include <vector>

namespace gftool {

// Encodes width × height pixels of 4 bytes R, G, B, A into a PNG file.
bool EncodePng(int32_t width, int32_t height, std::span<const uint8_t> rgba,
               std::vector<uint8_t>& out);

}  // namespace gftool
