#include "physics/surface_map.h"

#include <algorithm>
#include <cmath>

#include "physics/world.h"

namespace physics {

SurfaceMap::SurfaceMap(int32_t w, int32_t h, uint8_t fill)
    : width(std::max(w, 0)),
      height(std::max(h, 0)),
      codes(static_cast<size_t>(width) * static_cast<size_t>(height), fill) {}

void SurfaceMap::Fill(int x0, int y0, int x1, int y1, uint8_t code) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, width);
  y1 = std::min(y1, height);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) codes[static_cast<size_t>(y) * width + x] = code;
  }
}

int PixelOf(float v) {
  constexpr float kFar = 1.0e9f;
  if (!(v > -kFar)) return -1000000000;  // also NaN: off the map's top/left, a wall
  if (v > kFar) return 1000000000;
  return static_cast<int>(v);
}

int SurfaceCodeAt(const World& world, int x, int y) {
  const SurfaceMap& map = world.map;
  if (x < 0 || x >= map.width || y < 0) return kCodeWall;
  if (y >= map.height || !map.loaded()) return kCodeOpenFloor;
  const int byte = map.codes[static_cast<size_t>(y) * map.width + x];
  // Inside a flipper's box its mask for the current frame decides; the map
  // under the box holds only the low six bits.
  const int n = FlipperAt(world, x, y);
  if (n < 0) return byte;
  if (MaskSaysFlipper(world.flippers[static_cast<size_t>(n)], x, y)) return kCodeFlipper;
  return byte & 0x3F;
}

bool IsOpenAt(const World& world, const BallRecord& ball, int x, int y) {
  switch (SurfaceCodeAt(world, x, y)) {
    case 0:
    case 13:
    case 17:
    case 18:
    case 32:
      return true;
    case kCodeHole:
      return world.hole_lock_timer == 0 || !(x > 572 && x < 624 && y > 737 && y <= 791);
    case kCodeGate: {
      int gate = x < 200 ? 0 : (y < 144 ? 1 : 2);
      return ball.gate_pass[gate] != 0;
    }
    default:
      return false;
  }
}

bool TouchesWall(const World& world, const BallRecord& ball, int x, int y) {
  if (!IsOpenAt(world, ball, x, y)) return true;
  for (int i = 0; i < 8; ++i) {
    if (!IsOpenAt(world, ball, x + kNeighbourDx[i], y + kNeighbourDy[i])) return true;
  }
  return false;
}

}  // namespace physics
