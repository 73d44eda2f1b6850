#pragma once
// The ball's reflection: up to four 8-bit textures and the two tables the
// per-pixel lookup uses (distance from the ball's centre and the spread that
// bends the texture towards the rim).

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "render/image_files.h"
#include "res/resource_layer.h"

namespace render {

inline constexpr int32_t kReflectionMapCount = 4;
inline constexpr size_t kReflectionTableSide = 128;

struct ReflectionTables {
  std::array<ScreenImage, kReflectionMapCount> maps;
  // D[i][j] = sqrt(i² + j²) at [i × 128 + j].
  std::vector<float> distance;
  // F[d][l] = (d / l)² + 0.25 at [d × 256 + l] for d, l < 128 (l = 0 gives an
  // infinite value); columns 128..255 are 0.
  std::vector<float> spread;
};

void FillReflectionTables(ReflectionTables& tables);

// Loads texture `index` (0..3) from a "SCREEN" file and fills both tables.
// False for another index or a file that does not load (the texture is then empty).
bool LoadReflectionMap(ReflectionTables& tables, int32_t index, res::ResourceLayer& layer,
                       std::string_view name);

}  // namespace render
