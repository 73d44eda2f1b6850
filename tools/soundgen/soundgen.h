#pragma once
// Builds every sound file of the table from its recipe: synthesis, encoding
// and a check of each file through the game's own loaders.
//
// For the table builder:
//   std::string error;
//   std::vector<soundgen::SoundFileOut> files =
//       soundgen::BuildTableSounds(source_dir / "sounds", &error);
//   if (files.empty()) { report error; }
//   for (auto& f : files) items.push_back({f.name, f.bytes});  // res::PackItem
// `bytes` are exactly as stored in the pack (compressed files already XOR-ed).

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "soundgen/recipe.h"
#include "soundgen/synth.h"

namespace soundgen {

// One file of the pack: its name there and its bytes as stored.
struct SoundFileOut {
  std::string name;
  std::vector<uint8_t> bytes;
};

// A built sound with what went into it, for tools and tests.
struct BuiltSound {
  SoundFileOut file;
  bool compressed = true;
  bool loop = false;
  Pcm source;                    // as rendered
  std::vector<int16_t> decoded;  // as the game will play it (interleaved)
  int rate = 0;
  int channels = 1;
  double seconds() const {
    return rate > 0 && channels > 0 ? static_cast<double>(decoded.size()) / channels / rate : 0;
  }
};

// The distinct files of the game's sound list, in list order (30 names).
std::vector<std::string> SoundFileNames();

// Renders, encodes and verifies every recipe, on every core. The book must hold exactly one
// recipe for each file of the sound list, no more. False with a reason (the
// file and what failed) otherwise, or when any file fails its check.
bool BuildSounds(const RecipeBook& book, std::vector<BuiltSound>& out, std::string* error);

// Renders, encodes and verifies the one recipe for `name` (a file of the
// sound list) out of the book.
bool BuildSound(const RecipeBook& book, const std::string& name, BuiltSound& out,
                std::string* error);

// Reads the recipes (a JSON file or a folder of them) and builds every file:
// the files in sound-list order, or an empty list with the reason in `error`.
std::vector<SoundFileOut> BuildTableSounds(const std::filesystem::path& recipes,
                                           std::string* error);

}  // namespace soundgen
