#pragma once
// The table pack the build generates beside the tests, for the tests that
// play on it. Where none was built (the sanitizer tree) they skip.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/game.h"
#include "app/headless.h"
#include "res/resource_layer.h"

namespace e2e {

inline bool GeneratedTableBuilt() {
  return std::filesystem::exists(std::filesystem::path(GFALL_DATA_DIR) / "GFALL.DAT");
}

// Loads the generated table into a game, as the program does at start-up.
inline testing::AssertionResult LoadGeneratedTable(app::Game& game, res::ResourceLayer& layer) {
  std::string error;
  if (app::LoadTableFromPack(game, layer, GFALL_DATA_DIR, error))
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << error;
}

}  // namespace e2e
