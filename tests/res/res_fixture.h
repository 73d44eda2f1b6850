#pragma once
// Small helpers for the resource tests: a temporary folder that cleans up after
// itself, and packs built in memory from (name, text) pairs.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "res/pack.h"

namespace restest {

namespace fs = std::filesystem;

inline std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "gfall_res_XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const fs::path& path() const { return path_; }

  // Writes `bytes` at the relative path `rel` ('/'-separated), making folders.
  fs::path Write(const std::string& rel, const std::vector<uint8_t>& bytes) const {
    fs::path p = path_ / rel;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return p;
  }

 private:
  fs::path path_;
};

// A pack of (name, contents) pairs, built by the pack writer.
inline std::vector<uint8_t> MakePack(
    const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<std::vector<uint8_t>> data;
  std::vector<res::PackItem> items;
  data.reserve(files.size());
  for (const auto& [name, text] : files) data.push_back(Bytes(text));
  for (size_t i = 0; i < files.size(); ++i) items.push_back({files[i].first, data[i]});
  std::optional<std::vector<uint8_t>> pack = res::PackBuild(items);
  EXPECT_TRUE(pack.has_value());
  return pack.value_or(std::vector<uint8_t>{});
}

}  // namespace restest
