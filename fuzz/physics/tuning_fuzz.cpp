// Any bytes as a tuning text: the loader must neither crash nor read past the
// text, and whatever it stores must be a finite number.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "physics/world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  physics::World w;
  physics::LoadTuningText(w.tuning_targets(), std::span<const uint8_t>(data, size));
  for (const physics::TuningEntry& e : physics::ListTuning(w.tuning, w.surfaces, w.balls)) {
    if (!std::isfinite(e.value)) std::abort();
  }
  for (const physics::SurfaceEntry& e : physics::ListChangedSurfaces(w.surfaces)) {
    if (!std::isfinite(e.value) || e.code < 0 || e.code > 255) std::abort();
  }
  return 0;
}
