#pragma once
// CRC-32 with the reflected polynomial 0xEDB88320, initial value all ones and a
// final complement (the common "zip" CRC). Serves the resource container and the
// score report.

#include <cstdint>
#include <span>

namespace core {

uint32_t Crc32(std::span<const uint8_t> bytes);

// Continues a running CRC: pass 0 to start, feed the result back for the next piece.
uint32_t Crc32Update(uint32_t crc, std::span<const uint8_t> bytes);

}  // namespace core
