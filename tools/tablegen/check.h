#pragma once
#include <string>

namespace tablegen {
// Loads the pack through the game's loaders in all fifteen display modes and
// verifies the data contract. Prints each failure; returns the failure count.
int CheckPack(const std::string& path);
}
