// Files a stranger may hand the game or plant beside it: only regular files
// are read, up to their size limit, and a pipe never blocks; writes go
// through a new private temporary and never through a link, whatever the
// umask; folders are made private.

#include "core/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace core {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "gfall-fileio-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path); }
  fs::path path;
};

// Sets the umask for a scope.
struct Umask {
  explicit Umask(mode_t m) : old(::umask(m)) {}
  ~Umask() { ::umask(old); }
  mode_t old;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void Put(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
mode_t ModeOf(const fs::path& p) {
  struct stat st {};
  ::lstat(p.c_str(), &st);
  return st.st_mode & 07777;
}
std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(ReadRegularFile, OnlyRegularFilesWithinTheirLimitAreRead) {
  TempDir dir;
  Put(dir.path / "small", "twelve bytes");
  ASSERT_EQ(::mkfifo((dir.path / "fifo").c_str(), 0600), 0);
  fs::create_directory(dir.path / "folder");
  // Sparse: the size is there without the disk space.
  {
    std::ofstream(dir.path / "sparse").close();
    fs::resize_file(dir.path / "sparse", (64ull << 20) + 1);
  }
  struct Case {
    fs::path path;
    uint64_t limit;
    const char* error;  // empty: read
  };
  const Case cases[] = {
      {dir.path / "small", 12, ""},
      {dir.path / "small", 11, "is larger than 11 bytes"},
      {dir.path / "fifo", 1024, "is not a regular file"},
      {dir.path / "folder", 1024, "is a folder, not a file"},
      {"/dev/zero", 1024, "is not a regular file"},
      {dir.path / "sparse", kMaxRecordingBytes, "is larger than 64 MB"},
      {dir.path / "missing", 1024, "No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.string());
    std::vector<uint8_t> bytes;
    std::string error;
    const bool ok = ReadRegularFile(c.path, c.limit, bytes, error);
    EXPECT_EQ(ok, c.error[0] == '\0');
    if (ok) {
      EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "twelve bytes");
    } else {
      EXPECT_EQ(error, c.error);
      EXPECT_TRUE(bytes.empty());
    }
  }
}

TEST(WriteFileSafely, ALinkAtTheTargetIsReplacedNotWrittenThrough) {
  Umask open_umask(0);
  TempDir dir;
  Put(dir.path / "victim", "precious");
  fs::create_symlink(dir.path / "victim", dir.path / "demo.ini");
  std::string error;
  ASSERT_TRUE(WriteFileSafely(dir.path / "demo.ini", Bytes("kept=1\n"), error)) << error;
  EXPECT_EQ(Slurp(dir.path / "victim"), "precious");
  EXPECT_FALSE(fs::is_symlink(dir.path / "demo.ini"));
  EXPECT_EQ(Slurp(dir.path / "demo.ini"), "kept=1\n");
  EXPECT_EQ(ModeOf(dir.path / "demo.ini"), 0600u);
  // Nothing but the two files is left.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
}

TEST(WriteFileSafely, ALinkPlantedAtTheTemporarysNameIsPassedOver) {
  TempDir dir;
  Put(dir.path / "victim", "precious");
  fs::create_symlink(dir.path / "victim", dir.path / "data.tmp1");
  const std::vector<std::string> names = {"data.tmp1", "data.tmp2"};
  std::string error;
  ASSERT_TRUE(WriteFileSafelyVia(dir.path / "data", Bytes("new"), names, error)) << error;
  EXPECT_EQ(Slurp(dir.path / "victim"), "precious");
  EXPECT_TRUE(fs::is_symlink(dir.path / "data.tmp1"));
  EXPECT_EQ(Slurp(dir.path / "data"), "new");
  EXPECT_FALSE(fs::exists(dir.path / "data.tmp2"));

  // Every name taken: refused, the old file untouched. A dangling link is
  // not created through either.
  Put(dir.path / "data", "old");
  fs::create_symlink(dir.path / "nowhere", dir.path / "data.tmp2");
  EXPECT_FALSE(WriteFileSafelyVia(dir.path / "data", Bytes("new"), names, error));
  EXPECT_EQ(error, "File exists");
  EXPECT_EQ(Slurp(dir.path / "data"), "old");
  EXPECT_EQ(Slurp(dir.path / "victim"), "precious");
  EXPECT_FALSE(fs::exists(dir.path / "nowhere"));
}

TEST(OpenPrivateFileForWriting, NeverThroughALinkNorIntoAPipe) {
  Umask open_umask(0);
  TempDir dir;
  Put(dir.path / "victim", "precious");
  fs::create_symlink(dir.path / "victim", dir.path / "link.gfrec");
  ASSERT_EQ(::mkfifo((dir.path / "fifo.gfrec").c_str(), 0600), 0);
  std::string error;
  EXPECT_EQ(OpenPrivateFileForWriting(dir.path / "link.gfrec", error), nullptr);
  EXPECT_EQ(error, "is a link");
  EXPECT_EQ(Slurp(dir.path / "victim"), "precious");
  EXPECT_EQ(OpenPrivateFileForWriting(dir.path / "fifo.gfrec", error), nullptr);
  // An old file of the game's is emptied and made private.
  Put(dir.path / "old.gfrec", "old contents");
  fs::permissions(dir.path / "old.gfrec", fs::perms::all);
  for (const char* name : {"new.gfrec", "old.gfrec"}) {
    std::FILE* f = OpenPrivateFileForWriting(dir.path / name, error);
    ASSERT_NE(f, nullptr) << error;
    std::fputs("rec", f);
    std::fclose(f);
    EXPECT_EQ(Slurp(dir.path / name), "rec");
    EXPECT_EQ(ModeOf(dir.path / name), 0600u);
  }
}

TEST(CreatePrivateFolders, NewFoldersAre0700WhateverTheUmask) {
  Umask open_umask(0);
  TempDir dir;
  fs::create_directory(dir.path / "shared");
  fs::permissions(dir.path / "shared", fs::perms::all);
  std::string error;
  ASSERT_TRUE(CreatePrivateFolders(dir.path / "shared" / "gfall" / "replays", error)) << error;
  EXPECT_EQ(ModeOf(dir.path / "shared" / "gfall"), 0700u);
  EXPECT_EQ(ModeOf(dir.path / "shared" / "gfall" / "replays"), 0700u);
  // A folder that was there is left as it was.
  EXPECT_EQ(ModeOf(dir.path / "shared"), 0777u);
  // A file in the way is said.
  Put(dir.path / "file", "");
  EXPECT_FALSE(CreatePrivateFolders(dir.path / "file" / "sub", error));
  EXPECT_NE(error.find("file"), std::string::npos) << error;
}

}  // namespace
}  // namespace core
