#pragma once
// The block codec: LZ77 back-references and byte runs, in groups of up to 16
// items behind a 16-bit flag word (most significant bit first: 0 literal,
// 1 code). Masks and sprite sets are stored with it.
//
// A code starts with byte c, n = c & 15, k = c >> 4:
//   k = 0   c v     n + 3 copies of v                       (3..18)
//   k = 1   c m v   n + 16m + 19 copies of v                (19..4114)
//   k = 2   c m L   copy L + 16 bytes from n + 16m + 3 back  (16..271 from 3..4098)
//   k ≥ 3   c m     copy k bytes from n + 16m + 3 back
// Copies run forward byte by byte, so they may overlap what they write.

#include <cstdint>
#include <span>
#include <vector>

namespace render {

inline constexpr int64_t kCodecOverflow = -1;   // the stream decodes to more than fits
inline constexpr int64_t kCodecMalformed = -2;  // truncated code or reference before the start

// Codes `in` into `out` (resized to the result). Returns the coded length, or
// −in.size() when coding is not worth it (18 bytes or less, or the output would
// not end well short of the input); `out` is then empty and the caller stores
// the data plain. Inputs above 2^31 − 1 bytes are always declined.
int64_t CodecEncode(std::span<const uint8_t> in, std::vector<uint8_t>& out);

// Decodes `in` into `out`. Returns the decoded length (which may be shorter than
// out), kCodecOverflow when the stream would write past out, or kCodecMalformed.
// Never reads or writes outside the two spans, whatever the input.
int64_t CodecDecode(std::span<const uint8_t> in, std::span<uint8_t> out);

// A valid stream of literals only: for data that must be a codec block even when
// the encoder declines it.
std::vector<uint8_t> CodecStoreLiterals(std::span<const uint8_t> in);

}  // namespace render
