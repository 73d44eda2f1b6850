#pragma once
// The byte-level pieces of the recording format shared by the writer and the
// reader: variable-length integers, strings and the clock-reading code.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace replay::codec {

// Record tags.
inline constexpr uint8_t kTagFrame = 'F';
inline constexpr uint8_t kTagCheckpoint = 'C';
inline constexpr uint8_t kTagEnd = 'E';

// Largest header, string and count a reader accepts.
inline constexpr uint64_t kMaxHeaderBytes = 64 * 1024;
inline constexpr uint64_t kMaxString = 4096;
inline constexpr uint64_t kMaxSettings = 64;
inline constexpr uint64_t kMaxPlayers = 4;

inline uint64_t ZigZag(int64_t v) {
  return (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63);
}
inline int64_t UnZigZag(uint64_t v) {
  return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1);
}

inline void PutVarint(std::vector<uint8_t>& out, uint64_t v) {
  while (v >= 0x80) {
    out.push_back(static_cast<uint8_t>(v | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<uint8_t>(v));
}
inline void PutSigned(std::vector<uint8_t>& out, int64_t v) { PutVarint(out, ZigZag(v)); }
inline void PutFixed(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutString(std::vector<uint8_t>& out, const std::string& s) {
  PutVarint(out, s.size());
  out.insert(out.end(), s.begin(), s.end());
}

// Reads from a span; any read past its end or a malformed value sets failed
// and returns 0 / empty, so a parser checks once at the end of a record.
class Cursor {
 public:
  explicit Cursor(std::span<const uint8_t> data) : data_(data) {}
  size_t pos() const { return pos_; }
  size_t remaining() const { return data_.size() - pos_; }
  bool failed() const { return failed_; }
  bool at_end() const { return pos_ >= data_.size(); }
  // Set when a read failed for want of bytes (the data may have been cut).
  bool ran_out() const { return ran_out_; }
  void Fail() { failed_ = true; }
  void RanOut() { failed_ = ran_out_ = true; }

  uint8_t Byte() {
    if (failed_) return 0;
    if (pos_ >= data_.size()) return RanOut(), 0;
    return data_[pos_++];
  }
  uint64_t Varint() {
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      const uint8_t b = Byte();
      if (failed_) return 0;
      // The tenth byte may carry only the top bit.
      if (shift == 63 && b > 1) return Fail(), 0;
      v |= static_cast<uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    return Fail(), 0;
  }
  int64_t Signed() { return UnZigZag(Varint()); }
  // A varint that must fit an int32.
  int32_t Int32() {
    const int64_t v = Signed();
    if (v < INT32_MIN || v > INT32_MAX) return Fail(), 0;
    return static_cast<int32_t>(v);
  }
  uint64_t Fixed(int bytes) {
    if (failed_) return 0;
    if (remaining() < static_cast<size_t>(bytes)) return RanOut(), 0;
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(data_[pos_ + i]) << (8 * i);
    pos_ += bytes;
    return v;
  }
  std::string String() {
    const uint64_t n = Varint();
    if (failed_ || n > kMaxString) return Fail(), std::string();
    if (n > remaining()) return RanOut(), std::string();
    std::string s(reinterpret_cast<const char*>(data_.data() + pos_), n);
    pos_ += n;
    return s;
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool failed_ = false;
  bool ran_out_ = false;
};

inline uint64_t DoubleBits(double d) {
  uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}
inline double BitsDouble(uint64_t u) {
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

// Clock readings are coded against the reading before them, exactly (bit for
// bit), in one of three forms chosen by the low two bits of a varint:
//   0  the same step as the reading before (prev + step == reading): a
//      virtual clock advancing by a fixed frame time costs one byte;
//   1  a whole number of nanoseconds (reading == ns / 1e6, what the steady
//      clock yields), sent as the zig-zag difference from the previous
//      reading's nanoseconds in the upper bits;
//   2  the raw 64-bit value follows (anything else).
struct ClockCode {
  double prev = 0.0;
  double step = 0.0;
  int64_t prev_ns = 0;  // valid when prev came from nanoseconds (or is 0)

  static std::optional<int64_t> Nanoseconds(double ms) {
    if (!std::isfinite(ms) || std::fabs(ms) > 9.0e12) return std::nullopt;
    const int64_t ns = std::llround(ms * 1e6);
    if (DoubleBits(static_cast<double>(ns) / 1e6) != DoubleBits(ms)) return std::nullopt;
    return ns;
  }

  void Advance(double reading) {
    step = reading - prev;
    prev = reading;
    prev_ns = Nanoseconds(reading).value_or(0);
  }

  void Put(std::vector<uint8_t>& out, double reading) {
    if (DoubleBits(prev + step) == DoubleBits(reading)) {
      out.push_back(0);
      prev = reading;
      prev_ns = Nanoseconds(reading).value_or(0);
      return;
    }
    const std::optional<int64_t> ns = Nanoseconds(reading);
    // The difference wraps as the reader's sum does; it must fit 62 bits.
    const uint64_t zz = ns ? ZigZag(static_cast<int64_t>(static_cast<uint64_t>(*ns) -
                                                         static_cast<uint64_t>(prev_ns)))
                           : 0;
    if (ns && zz < (uint64_t{1} << 62)) {
      PutVarint(out, (zz << 2) | 1);
    } else {
      out.push_back(2);
      PutFixed(out, DoubleBits(reading), 8);
    }
    Advance(reading);
  }

  double Get(Cursor& in) {
    const uint64_t v = in.Varint();
    if (in.failed()) return 0.0;
    double reading = 0.0;
    switch (v & 3) {
      case 0:
        if (v != 0) return in.Fail(), 0.0;
        reading = prev + step;
        prev = reading;
        prev_ns = Nanoseconds(reading).value_or(0);
        return reading;
      case 1: {
        const int64_t ns = static_cast<int64_t>(static_cast<uint64_t>(prev_ns) +
                                                static_cast<uint64_t>(UnZigZag(v >> 2)));
        reading = static_cast<double>(ns) / 1e6;
        break;
      }
      case 2:
        if (v != 2) return in.Fail(), 0.0;
        reading = BitsDouble(in.Fixed(8));
        break;
      default:
        return in.Fail(), 0.0;
    }
    if (in.failed()) return 0.0;
    Advance(reading);
    return reading;
  }
};

}  // namespace replay::codec
