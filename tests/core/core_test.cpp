#include <gtest/gtest.h>

#include <cmath>
#include <string_view>

#include "core/angle.h"
#include "core/byte_io.h"
#include "core/crc32.h"
#include "core/random15.h"

namespace {

TEST(Random15, FollowsTheLinearCongruence) {
  core::Random15 r;
  r.Seed(1);
  // s = 1 * 134775813 + 1 = 134775814; 134775814 % 32768 = 1030 (134775814 = 4113 * 32768 + 1030).
  EXPECT_EQ(r.Next(), 134775814 % 32768);
  EXPECT_EQ(r.state, 134775814u);
  // The state wraps at 32 bits.
  r.Seed(0xFFFFFFFFu);
  EXPECT_EQ(r.Next(), static_cast<int>((0xFFFFFFFFu * 134775813u + 1u) % 32768u));
}

TEST(Random15, HelpersScaleTheNextValue) {
  core::Random15 a, b;
  a.Seed(42);
  b.Seed(42);
  int v = b.Next();
  EXPECT_EQ(a.Below(7), v % 7);
  v = b.Next();
  EXPECT_FLOAT_EQ(a.UpTo(2.0f), v * 2.0f / 32767.0f);
  v = b.Next();
  EXPECT_FLOAT_EQ(a.Within(0.2f), 0.2f - v * 0.4f / 32767.0f);
  // n < 1 gives 0 and leaves the state alone.
  uint32_t before = a.state;
  EXPECT_EQ(a.Below(0), 0);
  EXPECT_EQ(a.Below(-5), 0);
  EXPECT_EQ(a.state, before);
}

TEST(Random15, WithinCoversBothEnds) {
  core::Random15 r;
  r.Seed(7);
  float lo = 1, hi = -1;
  for (int i = 0; i < 100000; ++i) {
    float x = r.Within(1.0f);
    ASSERT_GE(x, -1.0f);
    ASSERT_LE(x, 1.0f);
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  }
  EXPECT_LT(lo, -0.99f);
  EXPECT_GT(hi, 0.99f);
}

TEST(Crc32, KnownValues) {
  auto bytes = [](std::string_view s) {
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  };
  EXPECT_EQ(core::Crc32(bytes("")), 0u);
  EXPECT_EQ(core::Crc32(bytes("123456789")), 0xCBF43926u);
  EXPECT_EQ(core::Crc32(bytes("The quick brown fox jumps over the lazy dog")), 0x414FA339u);
  // Feeding in pieces gives the same result as one call.
  uint32_t c = core::Crc32Update(0, bytes("12345"));
  EXPECT_EQ(core::Crc32Update(c, bytes("6789")), 0xCBF43926u);
}

TEST(ByteReader, ReadsLittleEndianAndStopsAtTheEnd) {
  const uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0xFE, 0xFF, 0x00, 0x00,
                          0x00, 0x00, 0x80, 0x3F, 'A',  'B',  0,    'C'};
  core::ByteReader r(data);
  EXPECT_EQ(r.U32(), 0x04030201u);
  EXPECT_EQ(r.I16(), -2);
  EXPECT_EQ(r.U16(), 0u);
  EXPECT_EQ(r.F32(), 1.0f);
  EXPECT_TRUE(r.ok());
  std::string s;
  EXPECT_FALSE(r.FixedString(8, s));  // only 4 bytes are left
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.pos(), 12u);  // and does not move
  EXPECT_FALSE(r.Seek(17));
  EXPECT_TRUE(r.Seek(13));
  uint32_t v = 7;
  EXPECT_FALSE(r.U32(v));  // 3 bytes left
  EXPECT_EQ(v, 7u);
  EXPECT_TRUE(r.Seek(12));
  EXPECT_TRUE(r.FixedString(4, s));
  EXPECT_EQ(s, "AB");
}

TEST(ByteWriter, RoundTripsThroughTheReader) {
  core::ByteWriter w;
  w.U8(0xAB);
  w.U16(0xBEEF);
  w.U32(0xDEADBEEF);
  w.I32(-12345);
  w.F32(1.5f);
  w.FixedString("SPRITE", 8);
  w.FixedString("TOO LONG FOR IT", 4);
  size_t at = w.size();
  w.U32(0);
  w.PatchU32(at, 99);
  core::ByteReader r(w.bytes());
  EXPECT_EQ(r.U8(), 0xAB);
  EXPECT_EQ(r.U16(), 0xBEEF);
  EXPECT_EQ(r.U32(), 0xDEADBEEFu);
  EXPECT_EQ(r.I32(), -12345);
  EXPECT_EQ(r.F32(), 1.5f);
  std::string s;
  ASSERT_TRUE(r.FixedString(8, s));
  EXPECT_EQ(s, "SPRITE");
  ASSERT_TRUE(r.FixedString(4, s));
  EXPECT_EQ(s, "TOO ");
  EXPECT_EQ(r.U32(), 99u);
  EXPECT_EQ(r.remaining(), 0u);
  EXPECT_TRUE(r.ok());
}

TEST(Angle, WrapAndDifference) {
  using core::kPi;
  struct Case {
    float in, wrapped;
  } cases[] = {{0, 0}, {-kPi / 2, 1.5f * kPi}, {5 * kPi, kPi}, {-1e-9f, 0}, {2 * kPi, 0}};
  for (auto c : cases) {
    float w = core::WrapAngle(c.in);
    EXPECT_NEAR(w, c.wrapped, 1e-5f) << c.in;
    EXPECT_GE(w, 0.0f);
    EXPECT_LT(w, 2 * kPi);
  }
  EXPECT_NEAR(core::AngleDifference(0.1f, 2 * kPi - 0.1f), -0.2f, 1e-5f);
  EXPECT_NEAR(core::AngleDifference(2 * kPi - 0.1f, 0.1f), 0.2f, 1e-5f);
  EXPECT_NEAR(core::AngleDifference(0, kPi / 2), kPi / 2, 1e-6f);
  // y points down on the playfield: a vector going up is π/2.
  EXPECT_NEAR(core::DirectionOf(0, -1), kPi / 2, 1e-6f);
  EXPECT_NEAR(core::DirectionOf(-1, 0), kPi, 1e-6f);
}

}  // namespace
