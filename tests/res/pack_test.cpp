#include "res/pack.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/byte_io.h"
#include "res_fixture.h"

namespace {

using restest::Bytes;
using restest::MakePack;
using restest::TempDir;

TEST(PackNameHash, IgnoresCaseAndWidensBytesWithTheirSign) {
  EXPECT_EQ(res::PackNameHash(""), 0x71A416C3u);
  EXPECT_EQ(res::PackNameHash("A"), 0xF6BBFCF8u);
  EXPECT_EQ(res::PackNameHash("a"), 0xF6BBFCF8u);
  EXPECT_EQ(res::PackNameHash("RES\\UI\\MMNEW.J24"), 0x24963235u);
  EXPECT_EQ(res::PackNameHash("res\\ui\\mmnew.j24"), 0x24963235u);
  EXPECT_EQ(res::PackNameHash("\xE9"), 0x3D8D2E50u);
  EXPECT_NE(res::PackNameHash("RES/UI/MMNEW.J24"), 0x24963235u);
}

TEST(PackScrambleDirectory, XorsIndexWithTheFourByteKey) {
  std::vector<uint8_t> dir(260, 0);
  res::PackScrambleDirectory(dir);
  EXPECT_EQ(dir[0], 0x5C);
  EXPECT_EQ(dir[1], 0xE0);
  EXPECT_EQ(dir[2], 0x25);
  EXPECT_EQ(dir[3], 0x97);
  EXPECT_EQ(dir[4], 0x58);
  EXPECT_EQ(dir[257], (257 ^ 0xE1) & 0xFF);  // the index counts past 255
  res::PackScrambleDirectory(dir);
  EXPECT_EQ(dir, std::vector<uint8_t>(260, 0));
}

TEST(PackBuild, WritesHeaderScrambledDirectoryAndContiguousData) {
  std::vector<uint8_t> pack = MakePack({{"RES\\A.TXT", "hello"}, {"RES\\B", ""}, {"C", "xyz"}});
  ASSERT_EQ(pack.size(), 280u + 3 * 96 + 8);
  EXPECT_EQ(std::memcmp(pack.data(), "MFILE\0\0\0\0\0\0\0\0\0\0\0", 16), 0);
  EXPECT_EQ(core::LoadU32(&pack[16]), 256u);
  EXPECT_EQ(core::LoadU32(&pack[20]), 3u);
  for (size_t i = 24; i < 280; ++i) ASSERT_EQ(pack[i], 0) << i;

  std::vector<uint8_t> dir(pack.begin() + 280, pack.begin() + 280 + 3 * 96);
  res::PackScrambleDirectory(dir);
  struct Want {
    const char* name;
    uint32_t offset, size;
  };
  const Want want[] = {{"RES\\A.TXT", 0, 5}, {"RES\\B", 5, 0}, {"C", 5, 3}};
  for (int e = 0; e < 3; ++e) {
    const uint8_t* rec = &dir[e * 96];
    EXPECT_STREQ(reinterpret_cast<const char*>(rec), want[e].name);
    EXPECT_EQ(core::LoadU32(rec + 64), res::PackNameHash(want[e].name));
    EXPECT_EQ(core::LoadU32(rec + 68), want[e].offset);
    EXPECT_EQ(core::LoadU32(rec + 72), want[e].size);
    for (int i = 76; i < 96; ++i) EXPECT_EQ(rec[i], 0);
  }
  EXPECT_EQ(std::string(pack.end() - 8, pack.end()), "helloxyz");
}

TEST(PackBuild, RefusesWhatTheFormatCannotHold) {
  std::vector<uint8_t> b = Bytes("x");
  std::string error;
  EXPECT_FALSE(res::PackBuild({}, &error));
  EXPECT_FALSE(error.empty());
  const std::string names[] = {"", std::string(64, 'A'), std::string("A\0B", 3)};
  for (const std::string& n : names) {
    res::PackItem item{n, b};
    EXPECT_FALSE(res::PackBuild(std::span(&item, 1))) << n.size();
  }
  res::PackItem longest{std::string(63, 'A'), b};
  EXPECT_TRUE(res::PackBuild(std::span(&longest, 1)));
}

class PackOpenTest : public ::testing::Test {
 protected:
  bool Open(const std::vector<uint8_t>& bytes) {
    return res::PackOpen(layer_, dir_.Write("P.DAT", bytes).string());
  }
  int OpenSlots() const {
    int n = 0;
    for (const res::PackSlot& s : layer_.slots) n += s.open() ? 1 : 0;
    return n;
  }
  // Rewrites entry `e`'s 32-bit field at `field` in a pack's scrambled directory.
  static void PatchEntry(std::vector<uint8_t>& pack, int count, int e, int field, uint32_t v) {
    std::span<uint8_t> dir(pack.data() + 280, 96 * static_cast<size_t>(count));
    res::PackScrambleDirectory(dir);
    core::StoreU32(&dir[e * 96 + field], v);
    res::PackScrambleDirectory(dir);
  }

  TempDir dir_;
  res::ResourceLayer layer_;
};

TEST_F(PackOpenTest, LoadsTheDirectoryAndRecomputesHashes) {
  std::vector<uint8_t> pack = MakePack({{"RES\\A", "aa"}, {"RES\\B", "bbb"}});
  PatchEntry(pack, 2, 1, 64, 0xDEADBEEF);  // a stored hash is never trusted
  ASSERT_TRUE(Open(pack));
  const res::PackSlot& s = layer_.slots[0];
  ASSERT_EQ(s.entry_count(), 2);
  EXPECT_EQ(s.data_base, 280 + 2 * 96);
  EXPECT_EQ(s.entries[1].name, "RES\\B");
  EXPECT_EQ(s.entries[1].hash, res::PackNameHash("RES\\B"));
  EXPECT_EQ(s.entries[1].offset, 2);
  EXPECT_EQ(s.entries[1].size, 3);
  EXPECT_EQ(s.path, (dir_.path() / "P.DAT").string());
}

TEST_F(PackOpenTest, RefusesBadHeadersAndBadEntriesLeavingNoTrace) {
  const std::vector<uint8_t> good = MakePack({{"A", "1"}, {"B", "22"}, {"C", "333"}});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  auto with = [&](const char* what, auto change) {
    std::vector<uint8_t> b = good;
    change(b);
    cases.push_back({what, std::move(b)});
  };
  with("magic", [](auto& b) { b[0] = 'N'; });
  with("magic without its zero", [](auto& b) { b[5] = 'X'; });
  with("version 255", [](auto& b) { core::StoreU32(&b[16], 255); });
  with("version 257", [](auto& b) { core::StoreU32(&b[16], 257); });
  with("count 0", [](auto& b) { core::StoreU32(&b[20], 0); });
  with("count -1", [](auto& b) { core::StoreU32(&b[20], 0xFFFFFFFFu); });
  with("count beyond the file", [](auto& b) { core::StoreU32(&b[20], 0x7FFFFFFF); });
  with("short header", [](auto& b) { b.resize(279); });
  with("short directory", [](auto& b) { b.resize(280 + 3 * 96 - 1); });
  with("negative offset in the last entry", [](auto& b) { PatchEntry(b, 3, 2, 68, 0xFFFFFFFFu); });
  with("negative size in the first entry", [](auto& b) { PatchEntry(b, 3, 0, 72, 0x80000000u); });
  with("unterminated name", [](auto& b) {
    std::span<uint8_t> dir(b.data() + 280, 3 * 96);
    res::PackScrambleDirectory(dir);
    std::memset(&dir[96], 'N', 64);
    res::PackScrambleDirectory(dir);
  });
  cases.push_back({"empty file", {}});

  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(res::PackOpen(layer_, dir_.Write("P.DAT", c.bytes).string(), &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_EQ(OpenSlots(), 0) << c.what;
  }
  EXPECT_FALSE(res::PackOpen(layer_, (dir_.path() / "MISSING.DAT").string()));
  EXPECT_TRUE(Open(good));  // the table is still whole after all those failures
}

TEST_F(PackOpenTest, SeventeenthPackIsRefused) {
  const std::string path = dir_.Write("P.DAT", MakePack({{"A", "1"}})).string();
  for (int i = 0; i < 16; ++i) ASSERT_TRUE(res::PackOpen(layer_, path)) << i;
  std::string error;
  EXPECT_FALSE(res::PackOpen(layer_, path, &error));
  EXPECT_EQ(error, "all pack slots are in use");
  EXPECT_EQ(OpenSlots(), 16);
}

TEST_F(PackOpenTest, OpensFromAMemoryStream) {
  std::vector<uint8_t> pack = MakePack({{"A", "1"}});
  res::FilePtr f(fmemopen(pack.data(), pack.size(), "rb"));
  ASSERT_TRUE(res::PackOpenStream(layer_, std::move(f), "memory"));
  EXPECT_EQ(layer_.slots[0].path, "memory");
  EXPECT_FALSE(res::PackOpenStream(layer_, nullptr, "none"));
}

}  // namespace
