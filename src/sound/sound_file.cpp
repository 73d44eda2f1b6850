#include "sound/sound_file.h"

#include <algorithm>
#include <cstring>

namespace sound {

size_t MemorySoundFile::Read(uint8_t* dst, size_t n) {
  size_t k = std::min(n, bytes_.size() - pos_);
  if (k > 0) std::memcpy(dst, bytes_.data() + pos_, k);
  pos_ += k;
  return k;
}

size_t MemorySoundFile::ReadXor(uint8_t* dst, size_t n) {
  size_t k = Read(dst, n);
  XorWithReadKey({dst, k});
  return k;
}

bool MemorySoundFile::Skip(uint64_t n) {
  if (n > bytes_.size() - pos_) return false;
  pos_ += static_cast<size_t>(n);
  return true;
}

void XorWithReadKey(std::span<uint8_t> bytes) {
  for (uint8_t& b : bytes) b ^= kSoundReadKey;
}

}  // namespace sound
