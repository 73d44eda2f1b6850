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
#include "test_files.h"

namespace restest {

namespace fs = std::filesystem;

inline std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

using TempDir = test_util::TempDir;

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
