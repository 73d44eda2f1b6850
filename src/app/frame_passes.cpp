#include "app/frame_passes.h"

#include "app/game.h"
#include "physics/flipper.h"

namespace app {

void FramePasses::UpdateFlipper(Game& g, int control, bool pressed, int hold_factor) {
  physics::UpdateFlipper(g.world, control, pressed, hold_factor);
}

void FramePasses::FlipperSounds(Game& g) { physics::FlipperSounds(g.world); }

void FramePasses::RefreshFlipperImages(Game& g) { physics::RefreshFlipperImages(g.world, false); }

}  // namespace app
