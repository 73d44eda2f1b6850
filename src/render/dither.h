#pragma once
// The position-dependent rounding used when 8-bit channels are packed into 15
// or 16-bit pixels: a channel rounds up one step when the low bits it loses
// exceed the low bits of a pseudo-random threshold of the pixel's position.

#include <algorithm>
#include <cstdint>

namespace render {

// The threshold of screen pixel (a, y); a is x, or x + 5 (red) and x + 85
// (green) for sprites. Arithmetic modulo 2^32.
inline uint32_t DitherThreshold(uint32_t a, uint32_t y) {
  return (a ^ y) * 134775813u + 134775814u;
}

// One channel of `bits` bits (1..8) at `shift`, rounded up against `t` and capped.
inline uint32_t DitherChannel(uint8_t v, int32_t bits, int32_t shift, uint32_t mask, uint32_t t) {
  bits = std::clamp(bits, 1, 8);
  const int32_t loss = 8 - bits;
  const uint32_t low = (1u << loss) - 1;
  uint32_t q = static_cast<uint32_t>(v) >> loss;
  if ((t & low) < (v & low)) ++q;
  q = std::min(q, (1u << bits) - 1);
  return shift >= 0 && shift < 32 ? ((q << shift) & mask) : 0;
}

}  // namespace render
