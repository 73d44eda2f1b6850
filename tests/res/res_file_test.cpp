#include "res/res_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/byte_io.h"
#include "res/pack.h"
#include "res_fixture.h"

namespace {

using restest::Bytes;
using restest::MakePack;
using restest::TempDir;

// A layer with one pack open and loose files looked for in the same temporary folder.
class ResFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    layer_.loose_root = dir_.path();
    OpenPack(MakePack({{"RES\\UI\\MMNEW.J24", "packed"},
                       {"TEN", "0123456789"},
                       {"THREE", "abc"},
                       {"EMPTY", ""},
                       {"TEN", "shadowed by the first TEN"}}));
  }
  void OpenPack(const std::vector<uint8_t>& bytes) {
    static int n = 0;
    const std::string path = dir_.Write("PACK" + std::to_string(n++) + ".DAT", bytes).string();
    ASSERT_TRUE(res::PackOpen(layer_, path));
  }
  std::string ReadAll(res::ResFile& f) {
    std::string s;
    for (int c; (c = res::ResFileGetc(layer_, f)) != res::kResEof;)
      s.push_back(static_cast<char>(c));
    return s;
  }
  std::string Load(std::string_view name) {
    std::optional<std::vector<uint8_t>> b = res::ResLoadWhole(layer_, name);
    return b ? std::string(b->begin(), b->end()) : "<none>";
  }

  TempDir dir_;
  res::ResourceLayer layer_;
};

TEST_F(ResFileTest, LooksUpWithoutCaseButSlashesDiffer) {
  dir_.Write("RES/UI/MMNEW.J24", Bytes("on disk"));
  res::ResFile f;
  ASSERT_TRUE(res::ResFileOpen(layer_, "res\\ui\\mmnew.j24", "rb", f));
  EXPECT_EQ(f.slot, 0);
  EXPECT_EQ(f.entry, 0);
  EXPECT_EQ(f.stream, nullptr);
  EXPECT_EQ(ReadAll(f), "packed");
  // Forward slashes do not match the packed name and fall through to the disk.
  EXPECT_EQ(Load("RES/UI/MMNEW.J24"), "on disk");
  // The pack shadows a loose file of the same path.
  EXPECT_EQ(Load("RES\\UI\\MMNEW.J24"), "packed");
  EXPECT_EQ(Load("RES\\UI\\NOPE.J24"), "<none>");
}

TEST_F(ResFileTest, FirstMatchWinsAcrossEntriesAndSlots) {
  OpenPack(MakePack({{"THREE", "later slot"}, {"ONLY2", "second pack"}}));
  EXPECT_EQ(Load("TEN"), "0123456789");
  EXPECT_EQ(Load("three"), "abc");
  EXPECT_EQ(Load("ONLY2"), "second pack");
  res::ResFile f;
  ASSERT_TRUE(res::ResFileOpen(layer_, "ONLY2", "rb", f));
  EXPECT_EQ(f.slot, 1);
}

TEST_F(ResFileTest, EmptyNameFailsWithoutTouchingTheDisk) {
  res::ResFile f;
  f.position = 77;
  // With a root, "" would name the root folder itself.
  EXPECT_FALSE(res::ResFileOpen(layer_, "", "rb", f));
  EXPECT_EQ(f.position, 77);  // left exactly as it was
  EXPECT_EQ(res::ResLoadWhole(layer_, ""), std::nullopt);
}

TEST_F(ResFileTest, ShortItemReadsKeepWholeItemsOnly) {
  res::ResFile f;
  ASSERT_TRUE(res::ResFileOpen(layer_, "TEN", "rb", f));
  ASSERT_EQ(res::ResFileSeek(layer_, f, 4, 0), 0);
  char buf[12] = {};
  EXPECT_EQ(res::ResFileRead(layer_, buf, 4, 3, f), 1u);
  EXPECT_EQ(std::string(buf, 4), "4567");
  EXPECT_EQ(res::ResFileTell(f), 8);
  EXPECT_EQ(res::ResFileRead(layer_, buf, 4, 1, f), 0u);
  EXPECT_EQ(res::ResFileTell(f), 8);
  EXPECT_EQ(res::ResFileRead(layer_, buf, 1, 100, f), 2u);
  EXPECT_EQ(res::ResFileTell(f), 10);
  EXPECT_EQ(res::ResFileRead(layer_, buf, 1, 1, f), 0u);
  // Item sizes that would overflow a product, and zero-size items, read nothing.
  ASSERT_EQ(res::ResFileSeek(layer_, f, 0, 0), 0);
  EXPECT_EQ(res::ResFileRead(layer_, buf, 0, 5, f), 0u);
  EXPECT_EQ(res::ResFileRead(layer_, buf, SIZE_MAX / 2, 4, f), 0u);
  EXPECT_EQ(res::ResFileTell(f), 0);
}

TEST_F(ResFileTest, HandlesOnOnePackReadInTurn) {
  res::ResFile a, b;
  ASSERT_TRUE(res::ResFileOpen(layer_, "TEN", "rb", a));
  ASSERT_TRUE(res::ResFileOpen(layer_, "THREE", "rb", b));
  std::string s;
  for (int i = 0; i < 3; ++i) {
    s.push_back(static_cast<char>(res::ResFileGetc(layer_, a)));
    s.push_back(static_cast<char>(res::ResFileGetc(layer_, b)));
  }
  EXPECT_EQ(s, "0a1b2c");
  EXPECT_EQ(res::ResFileGetc(layer_, b), res::kResEof);
  EXPECT_EQ(res::ResFileGetc(layer_, a), '3');
}

TEST_F(ResFileTest, SeeksWithinTheEntryAndToItsEnd) {
  res::ResFile f;
  ASSERT_TRUE(res::ResFileOpen(layer_, "TEN", "rb", f));
  struct Case {
    int64_t start, offset;
    int origin;
    bool ok;
    int64_t after;
  };
  const Case cases[] = {
      {3, 10, 0, true, 10},        {3, 11, 0, false, 3},        {3, -1, 0, false, 3},
      {3, 2, 1, true, 5},          {3, -3, 1, true, 0},         {3, -4, 1, false, 3},
      {3, 8, 1, false, 3},         {3, 0, 2, true, 10},         {3, -10, 2, true, 0},
      {3, 1, 2, false, 3},         {3, 0, 3, false, 3},         {3, -1, -1, false, 3},
      {3, INT64_MAX, 1, false, 3}, {3, INT64_MIN, 2, false, 3},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(res::ResFileSeek(layer_, f, c.start, 0), 0);
    EXPECT_EQ(res::ResFileSeek(layer_, f, c.offset, c.origin) == 0, c.ok)
        << c.offset << " from " << c.origin;
    EXPECT_EQ(res::ResFileTell(f), c.after) << c.offset << " from " << c.origin;
  }
  ASSERT_EQ(res::ResFileSeek(layer_, f, 0, 2), 0);
  EXPECT_EQ(res::ResFileGetc(layer_, f), res::kResEof);
}

TEST_F(ResFileTest, GetcReturnsEveryByteThenEndOfFile) {
  res::ResFile f;
  ASSERT_TRUE(res::ResFileOpen(layer_, "THREE", "rb", f));
  EXPECT_EQ(res::ResFileGetc(layer_, f), 'a');
  EXPECT_EQ(res::ResFileGetc(layer_, f), 'b');
  EXPECT_EQ(res::ResFileGetc(layer_, f), 'c');
  EXPECT_EQ(res::ResFileGetc(layer_, f), res::kResEof);
  EXPECT_EQ(res::ResFileGetc(layer_, f), res::kResEof);
  EXPECT_EQ(res::ResFileTell(f), 3);
}

TEST_F(ResFileTest, EmptyEntryLoadsAsAnEmptyBuffer) {
  std::optional<std::vector<uint8_t>> b = res::ResLoadWhole(layer_, "EMPTY");
  ASSERT_TRUE(b.has_value());
  EXPECT_TRUE(b->empty());
  res::ResFile f;
  ASSERT_TRUE(res::ResFileOpen(layer_, "EMPTY", "rb", f));
  EXPECT_EQ(res::ResFileSize(layer_, f), 0);
  EXPECT_EQ(res::ResFileGetc(layer_, f), res::kResEof);
  EXPECT_EQ(res::ResFileSeek(layer_, f, 0, 2), 0);
}

TEST_F(ResFileTest, ClosedHandleIsUnusable) {
  res::ResFile f;
  ASSERT_TRUE(res::ResFileOpen(layer_, "TEN", "rb", f));
  res::ResFileClose(f);
  EXPECT_EQ(f.slot, -1);
  EXPECT_EQ(f.entry, -1);
  EXPECT_EQ(f.position, -1);
  char buf[4];
  EXPECT_EQ(res::ResFileRead(layer_, buf, 1, 4, f), 0u);
  // A failed byte read reads as the end of the file, so a byte loop stops.
  EXPECT_EQ(res::ResFileGetc(layer_, f), res::kResEof);
  EXPECT_NE(res::ResFileSeek(layer_, f, 0, 0), 0);
  EXPECT_EQ(res::ResFileSize(layer_, f), 0);
  EXPECT_EQ(res::ResFileStreamAt(layer_, f, 0, 0), nullptr);
  // Handles naming a slot that is free, or entries out of range, are unusable too.
  res::ResFile g;
  g.slot = 5;
  g.entry = 0;
  EXPECT_EQ(res::ResFileSize(layer_, g), 0);
  g.slot = 0;
  g.entry = 5;
  EXPECT_EQ(res::ResFileSize(layer_, g), 0);
}

TEST_F(ResFileTest, ReadXorUnscramblesEveryByteDelivered) {
  std::string text = "sound";
  std::string stored = text;
  for (char& c : stored) c = static_cast<char>(c ^ 0xA6);
  OpenPack(MakePack({{"X.WAC", stored + "!"}}));
  res::ResFile f;
  ASSERT_TRUE(res::ResFileOpen(layer_, "X.WAC", "rb", f));
  char buf[8] = {};
  EXPECT_EQ(res::ResFileReadXor(layer_, buf, 5, 1, f), 1u);
  EXPECT_EQ(std::string(buf, 5), text);
  EXPECT_EQ(res::ResFileReadXor(layer_, buf, 2, 1, f), 0u);  // partial item: nothing delivered
}

TEST_F(ResFileTest, StreamAtPlacesTheStreamOnTheSameByte) {
  res::ResFile f;
  ASSERT_TRUE(res::ResFileOpen(layer_, "TEN", "rb", f));
  std::FILE* s = res::ResFileStreamAt(layer_, f, -4, 2);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(res::ResFileTell(f), 6);
  char buf[4];
  ASSERT_EQ(std::fread(buf, 1, 4, s), 4u);
  EXPECT_EQ(std::string(buf, 4), "6789");
  EXPECT_EQ(res::ResFileStreamAt(layer_, f, 11, 0), nullptr);
  EXPECT_EQ(res::ResFileTell(f), 6);

  dir_.Write("LOOSE.BIN", Bytes("abcdef"));
  res::ResFile g;
  ASSERT_TRUE(res::ResFileOpen(layer_, "LOOSE.BIN", "rb", g));
  s = res::ResFileStreamAt(layer_, g, 2, 0);
  ASSERT_EQ(s, g.stream.get());
  EXPECT_EQ(std::fgetc(s), 'c');
}

TEST_F(ResFileTest, LooseFilesReadLikePackedOnes) {
  dir_.Write("Res/Ui/MixedCase.j24", Bytes("0123456789"));
  res::ResFile f;
  ASSERT_TRUE(res::ResFileOpen(layer_, "RES\\UI\\MIXEDCASE.J24", "rb", f));
  ASSERT_NE(f.stream, nullptr);
  EXPECT_EQ(res::ResFileSize(layer_, f), 10);
  ASSERT_EQ(res::ResFileSeek(layer_, f, 4, 0), 0);
  char buf[12];
  EXPECT_EQ(res::ResFileRead(layer_, buf, 4, 3, f), 1u);
  EXPECT_EQ(res::ResFileTell(f), 10);  // a plain stream consumes the partial item
  EXPECT_EQ(res::ResFileSize(layer_, f), 10);
  EXPECT_EQ(res::ResFileTell(f), 10);  // taking the size keeps the position
  EXPECT_EQ(res::ResFileGetc(layer_, f), res::kResEof);
  res::ResFileClose(f);
  EXPECT_EQ(f.stream, nullptr);
}

TEST_F(ResFileTest, LooseLookupOpensOnlyRegularFiles) {
  dir_.Write("RES/SUB/FILE", Bytes("x"));
  res::ResFile f;
  EXPECT_FALSE(res::ResFileOpen(layer_, "RES\\SUB", "rb", f));
  EXPECT_FALSE(res::ResFileOpen(layer_, "res\\sub", "rb", f));
  EXPECT_TRUE(res::ResFileOpen(layer_, "res\\sub\\file", "rb", f));
  layer_.loose_files = false;
  EXPECT_FALSE(res::ResFileOpen(layer_, "RES\\SUB\\FILE", "rb", f));
}

TEST_F(ResFileTest, NameWithAZeroByteNeverOpensAShorterPath) {
  dir_.Write("LOOSE.BIN", Bytes("x"));
  res::ResFile f;
  EXPECT_TRUE(res::ResFileOpen(layer_, "LOOSE.BIN", "rb", f));
  EXPECT_FALSE(res::ResFileOpen(layer_, std::string_view("LOOSE.BIN\0.J24", 14), "rb", f));
}

TEST_F(ResFileTest, EntriesBeyondWhatHandlesAddressAreNotFound) {
  // A hand-made pack of 65537 entries: the last cannot be named by a handle.
  constexpr int kCount = 65537;
  std::vector<uint8_t> pack(280 + 96 * static_cast<size_t>(kCount), 0);
  std::memcpy(pack.data(), "MFILE", 5);
  core::StoreU32(&pack[16], 256);
  core::StoreU32(&pack[20], kCount);
  std::span<uint8_t> dir(pack.data() + 280, 96 * static_cast<size_t>(kCount));
  std::memcpy(&dir[0], "FIRST", 5);
  std::memcpy(&dir[96 * (kCount - 1)], "LAST", 4);
  res::PackScrambleDirectory(dir);
  OpenPack(pack);
  layer_.loose_files = false;
  res::ResFile f;
  EXPECT_TRUE(res::ResFileOpen(layer_, "FIRST", "rb", f));
  EXPECT_FALSE(res::ResFileOpen(layer_, "LAST", "rb", f));
}

TEST_F(ResFileTest, EntryBeyondThePackEndIsNotLoaded) {
  std::vector<uint8_t> pack = MakePack({{"BIG", "12345"}});
  std::span<uint8_t> dir(pack.data() + 280, 96);
  res::PackScrambleDirectory(dir);
  core::StoreU32(&dir[72], 0x7FFFFFF0);  // claims almost 2 GiB
  res::PackScrambleDirectory(dir);
  OpenPack(pack);
  EXPECT_EQ(res::ResLoadWhole(layer_, "BIG"), std::nullopt);
  res::ResFile f;
  ASSERT_TRUE(res::ResFileOpen(layer_, "BIG", "rb", f));
  char buf[16];
  EXPECT_EQ(res::ResFileRead(layer_, buf, 1, sizeof buf, f), 5u);  // what the file really holds
}

}  // namespace
