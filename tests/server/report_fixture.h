#pragma once
// Reports made byte by byte, so a test can break exactly one thing in them.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/crc32.h"
#include "store/score_report.h"

namespace server_test {

using Bytes = std::array<uint8_t, store::kReportSize>;

inline void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// The plain bytes of a sealed report.
inline Bytes Plain(int32_t score, std::string_view player, uint32_t user = 7, uint32_t key = 99,
                   std::string_view owner = "") {
  store::ScoreReport r;
  r.score = score;
  r.player = std::string(player);
  r.owner = std::string(owner);
  r.user = user;
  store::SealReport(r, key);
  return store::ReportBytes(r);
}

// Check values set again after a change; `from` skips the ones before it
// (8: all four, 88: from the owner check on, 92: fold and CRC, 96: CRC only).
inline void Reseal(Bytes& b, size_t from = 8) {
  const std::span<const uint8_t> all(b);
  if (from <= 88) Put32(b, 88, core::Crc32(all.subspan(24, 52)));
  if (from <= 8) {
    std::array<uint8_t, 4> s{};
    const uint32_t v = (b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24) ^
                       store::kReportScoreMask;
    for (int i = 0; i < 4; ++i) s[static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    Put32(b, 8, core::Crc32(s));
  }
  if (from <= 92) Put32(b, 92, store::FoldChecksum(all.first(92)));
  Put32(b, 96, core::Crc32(all.first(96)));
}

// Scrambled with the key at 100-103 and written as the 208 characters.
inline std::string Text(Bytes b) {
  const uint32_t key = b[100] | b[101] << 8 | b[102] << 16 | static_cast<uint32_t>(b[103]) << 24;
  for (size_t p = 0; p < store::kReportScrambled; ++p) b[p] ^= store::KeystreamByte(p, key);
  std::string t;
  for (uint8_t v : b) {
    t += store::kLowNibbleDigits[v & 15];
    t += store::kHighNibbleDigits[v >> 4];
  }
  return t;
}

inline std::string Report(int32_t score, std::string_view player, uint32_t user = 7,
                          uint32_t key = 99, std::string_view owner = "") {
  return Text(Plain(score, player, user, key, owner));
}

}  // namespace server_test
