#pragma once
// Files for tests: a fresh temporary folder per test, and gftool of the same
// build tree run on files in it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "run_command.h"

namespace test_util {

// A fresh folder under the test's temporary folder, removed with everything
// in it when the object goes.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::path(testing::TempDir()) / "gfall_XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
    } else {
      ADD_FAILURE() << "mkdtemp failed for " << pattern;
    }
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Writes `bytes` at the relative path `rel` ('/'-separated), making folders.
  std::filesystem::path Write(const std::string& rel, const std::vector<uint8_t>& bytes) const {
    const std::filesystem::path p = path_ / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return p;
  }

 private:
  std::filesystem::path path_;
};

// The gftool of the same build tree: $GFALL_BUILD_DIR when set, else found
// from this program's place (build/tests/NAME/test_NAME).
inline std::string GftoolPath() {
  if (const char* build = std::getenv("GFALL_BUILD_DIR"); build && *build) {
    return std::string(build) + "/tools/gftool/gftool";
  }
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (self.parent_path().parent_path().parent_path() / "tools" / "gftool" / "gftool").string();
}

// Runs gftool with `args` (already quoted for the shell); `out` holds its
// standard output and error.
inline CommandRun RunGftool(const std::string& args) {
  return RunCommand(GftoolPath() + " " + args + " 2>&1");
}

}  // namespace test_util
