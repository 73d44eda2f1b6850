#include "physics/painted_table.h"

#include <utility>

#include "physics/painting.h"

namespace physics::painted {

void Disc(SurfaceMap& map, float cx, float cy, float r, uint8_t code) {
  PaintDisc(map, cx, cy, r, code);
}

void Segment(SurfaceMap& map, float x0, float y0, float x1, float y1, float half, uint8_t code) {
  PaintSegment(map, x0, y0, x1, y1, half, code);
}

float FlipperAngle(int flipper, int frame) { return PaintedFlipperAngle(flipper == 0, frame); }

void PaintFlipperMasks(World& world) { physics::PaintFlipperMasks(world, 60.0f); }

void ClosedBox(World& world) {
  SurfaceMap map(800, 1514, 0);
  map.Fill(0, 0, 800, 12, kCodeWall);
  map.Fill(0, 0, 12, 1514, kCodeWall);
  map.Fill(740, 0, 800, 1514, kCodeWall);
  map.Fill(0, 1470, 800, 1514, kCodeWall);
  // Guides from the side walls down to just outside the flippers' reach.
  Segment(map, 0, 1180, 150, 1330, 12, 14);
  Segment(map, 740, 1180, 570, 1330, 12, 14);
  // Posts, bumpers and kickers.
  for (auto [x, y] : {std::pair{150.0f, 300.0f},
                      {600.0f, 260.0f},
                      {120.0f, 760.0f},
                      {650.0f, 820.0f},
                      {360.0f, 1000.0f}}) {
    Disc(map, x, y, 28.0f, 30);
  }
  Disc(map, 372, 420, 50, kCodeBumper);
  Disc(map, 250, 620, 50, kCodeBumper);
  Disc(map, 490, 640, 50, kCodeBumper);
  Disc(map, 560, 1130, 40, kCodeKicker);
  Disc(map, 180, 1060, 35, kCodeKickerStrong);
  world.map = std::move(map);
  world.kicker_count = 2;
  world.kicker_centres[0] = {560.0f, 1130.0f};
  world.kicker_centres[1] = {180.0f, 1060.0f};
  PaintFlipperMasks(world);
}

}  // namespace physics::painted
