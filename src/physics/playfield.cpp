#include "physics/playfield.h"

#include "core/random15.h"
#include "physics/world.h"

namespace physics {

bool LoadPlayfieldPhysics(World& w, core::Random15& random, PlayfieldPhysicsFiles files) {
  PlayfieldReset(w, random);
  if (files.tuning_text) LoadTuningText(w.tuning_targets(), *files.tuning_text);
  if (!SetSurfaceMap(w, std::move(files.surface_map))) return false;
  bool ok = true;
  for (int i = 0; i < kFlipperCount; ++i) {
    Flipper& f = w.flippers[static_cast<size_t>(i)];
    const bool own = static_cast<uint32_t>(f.mask_source) >= static_cast<uint32_t>(kFlipperCount);
    if (!own) continue;
    if (!SetFlipperMasks(f, files.flipper_masks[static_cast<size_t>(i)])) ok = false;
  }
  ShareFlipperMasks(w.flippers);
  return ok;
}

bool SetSurfaceMap(World& w, SurfaceMap map) {
  if (!map.loaded() || map.width <= 0 || map.height <= 0) return false;
  w.map = std::move(map);
  return true;
}

uint64_t WarmUpSurfaceLookups(const World& w, core::Random15& random, int count) {
  uint64_t sum = 0;
  if (w.map.width <= 0 || w.map.height <= 0) return 0;
  for (int i = 0; i < count; ++i) {
    // Two draws per axis reach beyond 32 767 pixels and cover the whole map.
    const int x = static_cast<int>((static_cast<int64_t>(random.Next()) * 32768 + random.Next()) %
                                   w.map.width);
    const int y = static_cast<int>((static_cast<int64_t>(random.Next()) * 32768 + random.Next()) %
                                   w.map.height);
    sum += static_cast<uint64_t>(SurfaceCodeAt(w, x, y));
  }
  return sum;
}

}  // namespace physics
