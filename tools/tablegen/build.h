#pragma once
// Building every file of the table from the layout and packing them.
#include <cstdint>
#include <string>
#include <vector>

#include "layout.h"

namespace tablegen {

struct PackFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

// A picture for docs/screenshots.
struct Shot {
  std::string name;  // file name without folder
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

struct BuildResult {
  std::vector<PackFile> files;
  std::vector<Shot> shots;             // title, loading, scoreboard
  std::vector<uint8_t> playfield_rgb;  // 1024 × 768 × 3, normal
  std::vector<uint8_t> dark_rgb;       // dark
  std::vector<uint8_t> surface_map;
};

// Builds every file from the layout and the tuning text. False with a reason.
bool BuildTable(const Layout& layout, const std::string& tuning_text, int threads, BuildResult& out,
                std::string& error);

}  // namespace tablegen
