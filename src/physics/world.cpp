#include "physics/world.h"

namespace physics {

void PlayfieldReset(World& w, core::Random15& random) {
  ResetSurfaceTable(w.surfaces);
  BallReset(w.balls);
  PlaceBallAtPlunger(w.balls, 0, w.tuning, random);
}

}  // namespace physics
