#pragma once
// Little-endian reading and writing of file data. The reader never reads past
// its span: a read that does not fit fails, leaves the position unchanged and
// marks the reader as failed, so a parser can read a whole header and check
// ok() once.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace core {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  size_t size() const { return data_.size(); }
  size_t remaining() const { return data_.size() - pos_; }

  // Moves to an absolute position; fails (and keeps the position) past the end.
  bool Seek(size_t pos);
  bool Skip(size_t n);

  // Each returns false on a short read; the output is then zero / unchanged.
  bool U8(uint8_t& v);
  bool U16(uint16_t& v);
  bool U32(uint32_t& v);
  bool I16(int16_t& v);
  bool I32(int32_t& v);
  bool F32(float& v);
  bool Bytes(std::span<uint8_t> out);
  // A view of the next n bytes, advancing past them; empty on a short read.
  std::span<const uint8_t> Take(size_t n);
  // A fixed-size, zero-padded text field of n bytes (the text ends at the first zero).
  bool FixedString(size_t n, std::string& out);

  // Convenience forms returning the value (0 on a short read; check ok()).
  uint8_t U8() {
    uint8_t v = 0;
    U8(v);
    return v;
  }
  uint16_t U16() {
    uint16_t v = 0;
    U16(v);
    return v;
  }
  uint32_t U32() {
    uint32_t v = 0;
    U32(v);
    return v;
  }
  int16_t I16() {
    int16_t v = 0;
    I16(v);
    return v;
  }
  int32_t I32() {
    int32_t v = 0;
    I32(v);
    return v;
  }
  float F32() {
    float v = 0;
    F32(v);
    return v;
  }

 private:
  bool Need(size_t n);

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool ok_ = true;
};

class ByteWriter {
 public:
  ByteWriter() = default;

  const std::vector<uint8_t>& bytes() const { return out_; }
  std::vector<uint8_t> Release() { return std::move(out_); }
  size_t size() const { return out_.size(); }

  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v);
  void U32(uint32_t v);
  void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void F32(float v);
  void Bytes(std::span<const uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
  // Writes text into a field of n bytes, zero-padded and cut to fit.
  void FixedString(std::string_view s, size_t n);
  // Overwrites a 32-bit value written earlier (sizes and offsets known later).
  void PatchU32(size_t at, uint32_t v);

 private:
  std::vector<uint8_t> out_;
};

// Plain helpers for code that works on raw buffers it has already bounds-checked.
inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace core
