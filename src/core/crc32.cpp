#include "core/crc32.h"

#include <array>

namespace core {
namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
    table[i] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

uint32_t Crc32Update(uint32_t crc, std::span<const uint8_t> bytes) {
  uint32_t c = ~crc;
  for (uint8_t b : bytes) c = kTable[(c ^ b) & 0xFFu] ^ (c >> 8);
  return ~c;
}

uint32_t Crc32(std::span<const uint8_t> bytes) { return Crc32Update(0, bytes); }

}  // namespace core
