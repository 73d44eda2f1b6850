#include "render/block_codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace render {

namespace {

constexpr int kMaxRun = 4114;
constexpr int kMaxShortRun = 18;
constexpr int kMaxMatch = 271;
constexpr int kMaxShortMatch = 15;
constexpr int kMaxDistance = 4098;
constexpr int kMinLength = 3;

// Output of the encoder: items are added to the current group, which gets its
// flag word reserved in front of it when its first item arrives.
class GroupWriter {
 public:
  GroupWriter(std::vector<uint8_t>& out, int64_t limit) : out_(out), limit_(limit) {}

  // False when a new group would start beyond the limit.
  bool BeginItem(bool is_code) {
    if (count_ == 16 || !started_) {
      if (started_) Flush();
      if (static_cast<int64_t>(out_.size()) + 2 > limit_) return false;
      flag_pos_ = out_.size();
      out_.push_back(0);
      out_.push_back(0);
      flags_ = 0;
      count_ = 0;
      started_ = true;
    }
    flags_ = static_cast<uint16_t>((flags_ << 1) | (is_code ? 1 : 0));
    ++count_;
    return true;
  }
  void Byte(uint8_t v) { out_.push_back(v); }

  void Finish() {
    if (started_) Flush();
  }

 private:
  void Flush() {
    uint16_t f = static_cast<uint16_t>(flags_ << (16 - count_));
    out_[flag_pos_] = static_cast<uint8_t>(f);
    out_[flag_pos_ + 1] = static_cast<uint8_t>(f >> 8);
  }

  std::vector<uint8_t>& out_;
  int64_t limit_;
  size_t flag_pos_ = 0;
  uint16_t flags_ = 0;
  int count_ = 0;
  bool started_ = false;
};

}  // namespace

int64_t CodecEncode(std::span<const uint8_t> in, std::vector<uint8_t>& out) {
  out.clear();
  const int64_t len = static_cast<int64_t>(in.size());
  if (len <= kMaxShortRun || len > std::numeric_limits<int32_t>::max()) return -len;

  out.reserve(in.size());
  GroupWriter w(out, len - 48);
  std::array<int32_t, 4096> hash;
  hash.fill(-1);

  const uint8_t* d = in.data();
  int64_t p = 0;
  while (p < len) {
    const uint8_t b = d[p];

    int64_t run = 1;
    const int64_t run_end = std::min<int64_t>(len, p + kMaxRun);
    while (p + run < run_end && d[p + run] == b) ++run;
    if (run >= kMinLength) {
      if (!w.BeginItem(true)) {
        out.clear();
        return -len;
      }
      if (run <= kMaxShortRun) {
        w.Byte(static_cast<uint8_t>(run - 3));
      } else {
        int64_t x = run - 19;
        w.Byte(static_cast<uint8_t>(0x10 | (x & 15)));
        w.Byte(static_cast<uint8_t>(x >> 4));
      }
      w.Byte(b);
      p += run;
      continue;
    }

    if (p + 2 < len) {
      const int h = ((((b << 8) & 0xFFF) | d[p + 1]) ^ ((b >> 4) | (d[p + 2] << 4))) & 0xFFF;
      const int64_t cand = hash[static_cast<size_t>(h)];
      hash[static_cast<size_t>(h)] = static_cast<int32_t>(p);
      if (cand >= 0 && p - cand <= kMaxDistance) {
        const int64_t dist = p - cand;
        // Never past the end of the input, and never past p itself.
        const int64_t max_len = std::min<int64_t>({kMaxMatch, len - p, dist});
        int64_t m = 0;
        while (m < max_len && d[cand + m] == d[p + m]) ++m;
        if (m >= kMinLength) {
          if (!w.BeginItem(true)) {
            out.clear();
            return -len;
          }
          const int64_t x = dist - 3;
          if (m <= kMaxShortMatch) {
            w.Byte(static_cast<uint8_t>((m << 4) | (x & 15)));
            w.Byte(static_cast<uint8_t>(x >> 4));
          } else {
            w.Byte(static_cast<uint8_t>(0x20 | (x & 15)));
            w.Byte(static_cast<uint8_t>(x >> 4));
            w.Byte(static_cast<uint8_t>(m - 16));
          }
          p += m;
          continue;
        }
      }
    }

    if (!w.BeginItem(false)) {
      out.clear();
      return -len;
    }
    w.Byte(b);
    ++p;
  }
  w.Finish();
  return static_cast<int64_t>(out.size());
}

int64_t CodecDecode(std::span<const uint8_t> in, std::span<uint8_t> out) {
  const uint8_t* s = in.data();
  const uint8_t* const s_end = s + in.size();
  uint8_t* const o_begin = out.data();
  uint8_t* o = o_begin;
  uint8_t* const o_end = o_begin + out.size();

  while (s < s_end) {
    if (s_end - s < 2) return kCodecMalformed;
    uint32_t flags = static_cast<uint32_t>(s[0]) | (static_cast<uint32_t>(s[1]) << 8);
    s += 2;
    for (int item = 0; item < 16 && s < s_end; ++item, flags <<= 1) {
      if ((flags & 0x8000u) == 0) {
        if (o == o_end) return kCodecOverflow;
        *o++ = *s++;
        continue;
      }
      const uint8_t c = *s++;
      const int n = c & 15;
      const int k = c >> 4;
      if (k == 0) {
        if (s == s_end) return kCodecMalformed;
        const size_t count = static_cast<size_t>(n + 3);
        if (static_cast<size_t>(o_end - o) < count) return kCodecOverflow;
        std::memset(o, *s++, count);
        o += count;
        continue;
      }
      if (s == s_end) return kCodecMalformed;
      const int m = *s++;
      if (k == 1) {
        if (s == s_end) return kCodecMalformed;
        const size_t count = static_cast<size_t>(n + 16 * m + 19);
        if (static_cast<size_t>(o_end - o) < count) return kCodecOverflow;
        std::memset(o, *s++, count);
        o += count;
        continue;
      }
      size_t count = static_cast<size_t>(k);
      if (k == 2) {
        if (s == s_end) return kCodecMalformed;
        count = static_cast<size_t>(*s++) + 16;
      }
      const size_t dist = static_cast<size_t>(n + 16 * m + 3);
      if (static_cast<size_t>(o - o_begin) < dist) return kCodecMalformed;
      if (static_cast<size_t>(o_end - o) < count) return kCodecOverflow;
      const uint8_t* from = o - dist;
      if (dist >= count) {
        std::memcpy(o, from, count);
        o += count;
      } else {
        for (size_t i = 0; i < count; ++i) *o++ = *from++;
      }
    }
  }
  return o - o_begin;
}

std::vector<uint8_t> CodecStoreLiterals(std::span<const uint8_t> in) {
  std::vector<uint8_t> out;
  out.reserve(in.size() + (in.size() + 15) / 16 * 2);
  for (size_t i = 0; i < in.size(); i += 16) {
    out.push_back(0);
    out.push_back(0);
    size_t n = std::min<size_t>(16, in.size() - i);
    out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(i),
               in.begin() + static_cast<std::ptrdiff_t>(i + n));
  }
  return out;
}

}  // namespace render
