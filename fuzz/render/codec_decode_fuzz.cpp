// Decoding hostile streams never touches memory outside its buffers, and what
// it reports agrees with a decode into a larger buffer.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/block_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the output size, so short and overlong results both occur.
  const size_t capacity = (static_cast<size_t>(data[0]) << 8 | data[1]) % 20000;
  std::span<const uint8_t> stream(data + 2, size - 2);
  std::vector<uint8_t> out(capacity);
  const int64_t n = render::CodecDecode(stream, out);
  std::vector<uint8_t> big(capacity + 70000);
  const int64_t m = render::CodecDecode(stream, big);
  if (n >= 0) {
    if (n != m || std::memcmp(out.data(), big.data(), static_cast<size_t>(n)) != 0) std::abort();
  } else if (n == render::kCodecOverflow) {
    if (m >= 0 && static_cast<size_t>(m) <= capacity) std::abort();
  } else if (m != render::kCodecMalformed) {
    // Malformed in the small buffer is malformed in the large one too.
    std::abort();
  }
  // Whatever decoded must survive a round trip through the encoder.
  if (n > 0) {
    std::vector<uint8_t> coded, back(static_cast<size_t>(n));
    std::span<const uint8_t> plain(out.data(), static_cast<size_t>(n));
    if (render::CodecEncode(plain, coded) >= 0) {
      if (render::CodecDecode(coded, back) != n ||
          back != std::vector<uint8_t>(plain.begin(), plain.end())) {
        std::abort();
      }
    }
  }
  return 0;
}
