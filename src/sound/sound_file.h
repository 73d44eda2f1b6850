#pragma once
// A sound file opened for sequential reading. The compressed-sound decoder
// and the wave reader read through this, so they can be fed from the
// resource pack in the game and from memory in tests and tools.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "res/res_file.h"

namespace sound {

// Every byte of a compressed sound file is stored combined with this key.
inline constexpr uint8_t kSoundReadKey = res::kResReadKey;

class SoundFile {
 public:
  virtual ~SoundFile() = default;
  // Reads up to n bytes as stored; returns the number read (0 at the end or on error).
  virtual size_t Read(uint8_t* dst, size_t n) = 0;
  // The same, each byte delivered combined with the read key by XOR.
  virtual size_t ReadXor(uint8_t* dst, size_t n) = 0;
  // Moves forward by n bytes; false when that would pass the end of the file.
  virtual bool Skip(uint64_t n) = 0;
  // Size of the whole file in bytes.
  virtual uint64_t Size() = 0;
  // Bytes from the current position to the end.
  virtual uint64_t Remaining() = 0;
};

// Opens a sound file by its pack name ("RES\WAVE\MECH\F_UP.WAC"); null when
// the file cannot be opened.
using SoundFileOpener = std::function<std::unique_ptr<SoundFile>(const std::string& name)>;

// A sound file over bytes in memory (not copied: the bytes must outlive it).
class MemorySoundFile final : public SoundFile {
 public:
  explicit MemorySoundFile(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t Read(uint8_t* dst, size_t n) override;
  size_t ReadXor(uint8_t* dst, size_t n) override;
  bool Skip(uint64_t n) override;
  uint64_t Size() override { return bytes_.size(); }
  uint64_t Remaining() override { return bytes_.size() - pos_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

// Combines every byte with the read key, as a compressed sound file is stored.
void XorWithReadKey(std::span<uint8_t> bytes);

}  // namespace sound
