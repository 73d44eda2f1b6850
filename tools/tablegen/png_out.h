#pragma once
// Writing RGB pictures as PNG (plan and screenshots).
#include <cstdint>
#include <span>
#include <string>

namespace tablegen {
bool WritePng(const std::string& path, int width, int height, std::span<const uint8_t> rgb);
}
