#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "render/block_codec.h"

namespace render {
namespace {

std::vector<uint8_t> Decode(const std::vector<uint8_t>& coded, size_t capacity, int64_t* result) {
  std::vector<uint8_t> out(capacity);
  *result = CodecDecode(coded, out);
  if (*result >= 0) out.resize(static_cast<size_t>(*result));
  return out;
}

TEST(CodecEncode, DeclinesShortInput) {
  std::vector<uint8_t> in(18, 7), out{1, 2, 3};
  EXPECT_EQ(CodecEncode(in, out), -18);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(CodecEncode({}, out), 0);  // nothing to code is declined as well
}

TEST(CodecEncode, HundredEqualBytesAreOneLongRun) {
  std::vector<uint8_t> in(100, 0xAB), out;
  ASSERT_EQ(CodecEncode(in, out), 5);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x00, 0x80, 0x11, 0x05, 0xAB}));
}

TEST(CodecEncode, RunOfThreeIsAShortRun) {
  std::vector<uint8_t> in{9, 9, 9};
  in.insert(in.end(), 100, 4);
  std::vector<uint8_t> out;
  ASSERT_EQ(CodecEncode(in, out), 7);
  // Flag word 0xC000: two codes. Then c = 0x00, v = 9 and the long run of 4s.
  EXPECT_EQ(out, (std::vector<uint8_t>{0x00, 0xC0, 0x00, 9, 0x11, 0x05, 4}));
}

TEST(CodecEncode, DeclinesWhatDoesNotShrinkEnough) {
  std::mt19937 rng(1);
  std::vector<uint8_t> in(1000), out;
  for (auto& b : in) b = static_cast<uint8_t>(rng());
  EXPECT_EQ(CodecEncode(in, out), -1000);
  EXPECT_TRUE(out.empty());
}

TEST(CodecEncode, RepeatedBlocksBecomeCopies) {
  std::mt19937 rng(2);
  std::vector<uint8_t> block(4098);
  for (auto& b : block) b = static_cast<uint8_t>(rng() % 200 + 10);
  // The block again 4098 bytes later, and part of it once more.
  std::vector<uint8_t> in = block;
  in.insert(in.end(), block.begin(), block.end());
  in.insert(in.end(), block.begin(), block.begin() + 500);
  std::vector<uint8_t> coded;
  int64_t n = CodecEncode(in, coded);
  ASSERT_GT(n, 0);
  // The first block costs its literals and flag words; the repeats almost nothing.
  EXPECT_LT(n, 4098 * 9 / 8 + 400);
  int64_t r = 0;
  EXPECT_EQ(Decode(coded, in.size(), &r), in);
}

TEST(CodecRoundTrip, ManyLengthsAndContents) {
  std::mt19937 rng(12345);
  int coded_count = 0;
  for (int trial = 0; trial < 600; ++trial) {
    size_t len = trial < 200 ? static_cast<size_t>(trial) : rng() % 20000;
    std::vector<uint8_t> in(len);
    int kind = trial % 5;
    for (size_t i = 0; i < len; ++i) {
      switch (kind) {
        case 0:  // noise with a small alphabet
          in[i] = static_cast<uint8_t>(rng() % 4);
          break;
        case 1:  // runs of varying length, up to and past the longest run code
          in[i] = (i == 0 || rng() % 300 != 0) && i > 0 ? in[i - 1] : static_cast<uint8_t>(rng());
          break;
        case 2:  // a repeating pattern with the odd change
          in[i] = static_cast<uint8_t>((i % 37) * 5 + (rng() % 50 == 0 ? 1 : 0));
          break;
        case 3:  // a picture-like gradient
          in[i] = static_cast<uint8_t>((i / 7) % 256);
          break;
        default:  // pure noise
          in[i] = static_cast<uint8_t>(rng());
      }
    }
    std::vector<uint8_t> coded;
    int64_t n = CodecEncode(in, coded);
    if (len <= 18) {
      EXPECT_EQ(n, -static_cast<int64_t>(len));
      continue;
    }
    if (n < 0) {
      EXPECT_EQ(n, -static_cast<int64_t>(len)) << "trial " << trial;
      EXPECT_TRUE(coded.empty());
      continue;
    }
    ++coded_count;
    ASSERT_EQ(static_cast<size_t>(n), coded.size());
    EXPECT_LE(n, static_cast<int64_t>(len)) << "coded output longer than the input";
    int64_t r = 0;
    std::vector<uint8_t> back = Decode(coded, len, &r);
    ASSERT_EQ(r, static_cast<int64_t>(len)) << "trial " << trial << " kind " << kind;
    ASSERT_EQ(back, in) << "trial " << trial << " kind " << kind;
  }
  EXPECT_GT(coded_count, 300);
}

TEST(CodecDecode, OverlappingCopyRepeatsBytesForward) {
  // Literals a b c, then copy 10 bytes from 3 back (k = 10, n = 0, m = 0).
  std::vector<uint8_t> coded{0x00, 0x10, 'a', 'b', 'c', 0xA0, 0x00};
  int64_t r = 0;
  std::vector<uint8_t> out = Decode(coded, 64, &r);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abcabcabcabca");
}

TEST(CodecDecode, ReportsHostileStreams) {
  struct Case {
    const char* what;
    std::vector<uint8_t> stream;
    size_t capacity;
    int64_t expected;
  };
  const Case cases[] = {
      {"lone byte where a flag word belongs", {0x00}, 16, kCodecMalformed},
      {"run code without its value", {0x00, 0x80, 0x00}, 16, kCodecMalformed},
      {"long run without its value", {0x00, 0x80, 0x10, 0x00}, 64, kCodecMalformed},
      {"copy without its second byte", {0x00, 0x40, 'x', 0x30}, 16, kCodecMalformed},
      {"long copy without its length", {0x00, 0x10, 1, 2, 3, 0x20, 0x00}, 64, kCodecMalformed},
      {"copy from before the start", {0x00, 0x40, 'x', 0x30, 0x00}, 16, kCodecMalformed},
      {"run past the end of the output", {0x00, 0x80, 0x0F, 1}, 17, kCodecOverflow},
      {"long run past the end", {0x00, 0x80, 0x1F, 0xFF, 1}, 4113, kCodecOverflow},
      {"literal past the end", {0x00, 0x00, 1, 2, 3}, 2, kCodecOverflow},
      {"copy past the end", {0x00, 0x10, 1, 2, 3, 0x30, 0x00}, 5, kCodecOverflow},
      {"exactly full", {0x00, 0x80, 0x1F, 0xFF, 1}, 4114, 4114},
      {"unused flag bits set at the end", {0xFF, 0xFF}, 8, 0},
      {"empty stream", {}, 0, 0},
  };
  for (const Case& c : cases) {
    int64_t r = 0;
    Decode(c.stream, c.capacity, &r);
    EXPECT_EQ(r, c.expected) << c.what;
  }
}

TEST(CodecDecode, ShortResultIsReported) {
  std::vector<uint8_t> in(100, 3), coded;
  ASSERT_GT(CodecEncode(in, coded), 0);
  std::vector<uint8_t> out(200);
  EXPECT_EQ(CodecDecode(coded, out), 100);  // the caller sees 100, not the 200 it wanted
}

TEST(CodecStoreLiterals, IsAValidStream) {
  std::vector<uint8_t> in(37);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 11);
  auto coded = CodecStoreLiterals(in);
  int64_t r = 0;
  EXPECT_EQ(Decode(coded, in.size(), &r), in);
}

}  // namespace
}  // namespace render
