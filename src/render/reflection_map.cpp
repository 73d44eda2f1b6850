#include "render/reflection_map.h"

#include <cmath>
#include <limits>

namespace render {

void FillReflectionTables(ReflectionTables& t) {
  constexpr size_t n = kReflectionTableSide;
  t.distance.assign(n * n, 0.0f);
  t.spread.assign(n * 256, 0.0f);
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j < n; ++j) {
      t.distance[i * n + j] = std::sqrt(static_cast<float>(i * i + j * j));
    }
  }
  for (size_t d = 0; d < n; ++d) {
    for (size_t l = 0; l < n; ++l) {
      const float q = l == 0 ? std::numeric_limits<float>::infinity()
                             : static_cast<float>(d) / static_cast<float>(l);
      t.spread[d * 256 + l] = q * q * 1.0f + 0.25f;
    }
  }
}

bool LoadReflectionMap(ReflectionTables& tables, int32_t index, res::ResourceLayer& layer,
                       std::string_view name) {
  if (index < 0 || index >= kReflectionMapCount) return false;
  ScreenImage& map = tables.maps[static_cast<size_t>(index)];
  if (!LoadScreenImage(layer, name, nullptr, map)) return false;
  FillReflectionTables(tables);
  return true;
}

}  // namespace render
