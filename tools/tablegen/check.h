#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tablegen {
// Loads the pack through the game's loaders in all fifteen display modes and
// verifies the data contract. Prints each failure; returns the failure count.
int CheckPack(const std::string& path);
// The surface-map part of the check alone (for tests); returns the failure count.
int CheckSurfaceMapBytes(const std::vector<uint8_t>& map, int width, int height);
}
