#include "res/cdata.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/byte_io.h"
#include "core/crc32.h"
#include "res/pack.h"
#include "res_fixture.h"

namespace {

using restest::Bytes;
using restest::TempDir;

TEST(CData, KeyScheduleRunsFourWays) {
  std::vector<uint8_t> p(5, 0);
  res::CDataScramble(p, 0x12345678u);
  EXPECT_EQ(p, (std::vector<uint8_t>{0x78, 0xCE, 0x6E, 0x09, 0x7C}));
  std::vector<uint8_t> q(4, 0);
  res::CDataScramble(q, 0);
  EXPECT_EQ(q, (std::vector<uint8_t>{0, 1, 2, 3}));
}

TEST(CData, EncodeWritesHeaderWithCrcOfStoredBytes) {
  const std::vector<uint8_t> plain = Bytes("GRAVITY 0.25\n");
  const std::vector<uint8_t> file = res::CDataEncode(plain, 0xCAFEF00Du);
  ASSERT_EQ(file.size(), 20 + plain.size());
  EXPECT_EQ(std::memcmp(file.data(), "CDATA\0\0\0", 8), 0);
  EXPECT_EQ(core::LoadU32(&file[8]), 1u);
  EXPECT_EQ(core::LoadU32(&file[12]), 0xCAFEF00Du);
  EXPECT_EQ(core::LoadU32(&file[16]), core::Crc32(std::span<const uint8_t>(file).subspan(20)));
  EXPECT_NE(std::vector<uint8_t>(file.begin() + 20, file.end()), plain);
}

TEST(CData, RoundTripsForManyKeysAndSizes) {
  for (uint32_t key : {0u, 1u, 0x80000000u, 0xFFFFFFFFu, 0x9E3779B9u}) {
    for (size_t n : {1u, 3u, 4u, 5u, 300u}) {
      std::vector<uint8_t> plain(n);
      for (size_t i = 0; i < n; ++i) plain[i] = static_cast<uint8_t>(i * 7 + key);
      std::optional<std::vector<uint8_t>> back = res::CDataDecode(res::CDataEncode(plain, key));
      ASSERT_TRUE(back.has_value()) << key << " " << n;
      EXPECT_EQ(*back, plain) << key << " " << n;
    }
  }
}

TEST(CData, RefusesShortBadOrDamagedContainers) {
  const std::vector<uint8_t> good = res::CDataEncode(Bytes("payload"), 42);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    res::CDataError error;
  };
  std::vector<Case> cases;
  auto with = [&](const char* what, res::CDataError e, auto change) {
    std::vector<uint8_t> b = good;
    change(b);
    cases.push_back({what, std::move(b), e});
  };
  using E = res::CDataError;
  with("header only", E::kTooShort, [](auto& b) { b.resize(20); });
  with("empty", E::kTooShort, [](auto& b) { b.clear(); });
  with("magic", E::kBadMagic, [](auto& b) { b[4] = 'B'; });
  with("magic without its zero", E::kBadMagic, [](auto& b) { b[5] = 'S'; });
  with("version 0", E::kBadVersion, [](auto& b) { core::StoreU32(&b[8], 0); });
  with("version 2", E::kBadVersion, [](auto& b) { core::StoreU32(&b[8], 2); });
  with("one payload byte", E::kBadCrc, [](auto& b) { b[23] ^= 0x10; });
  with("stored crc", E::kBadCrc, [](auto& b) { b[16] ^= 1; });
  with("cut payload", E::kBadCrc, [](auto& b) { b.pop_back(); });
  for (const Case& c : cases) {
    res::CDataError e = E::kNone;
    EXPECT_EQ(res::CDataDecode(c.bytes, &e), std::nullopt) << c.what;
    EXPECT_EQ(e, c.error) << c.what;
  }
  // Bytes after the magic's terminating zero are not part of the comparison.
  std::vector<uint8_t> padded = good;
  padded[6] = 'x';
  EXPECT_TRUE(res::CDataDecode(padded).has_value());
}

TEST(CData, LoadsThroughTheFileLayer) {
  TempDir dir;
  const std::vector<uint8_t> packed = res::CDataEncode(Bytes("from the pack"), 7);
  const std::vector<uint8_t> loose = res::CDataEncode(Bytes("from the disk"), 8);
  std::vector<uint8_t> twenty(packed.begin(), packed.begin() + 20);
  std::vector<res::PackItem> items = {{"GFALL.CDC", packed}, {"SHORT.CDA", twenty}};
  std::optional<std::vector<uint8_t>> pack = res::PackBuild(items);
  ASSERT_TRUE(pack.has_value());
  res::ResourceLayer layer;
  layer.loose_root = dir.path();
  ASSERT_TRUE(res::PackOpen(layer, dir.Write("P.DAT", *pack).string()));
  dir.Write("RES/GFALL.CDA", loose);

  std::optional<std::vector<uint8_t>> a = res::CDataLoad(layer, "gfall.cdc");
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(std::string(a->begin(), a->end()), "from the pack");
  std::optional<std::vector<uint8_t>> b = res::CDataLoad(layer, "RES\\GFALL.CDA");
  ASSERT_TRUE(b.has_value());
  EXPECT_EQ(std::string(b->begin(), b->end()), "from the disk");
  EXPECT_EQ(res::CDataLoad(layer, "SHORT.CDA"), std::nullopt);
  EXPECT_EQ(res::CDataLoad(layer, "MISSING.CDC"), std::nullopt);
}

}  // namespace
