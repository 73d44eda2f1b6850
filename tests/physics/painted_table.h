#pragma once
// Collision maps and flipper masks painted in code, for the collision,
// flipper and soak tests and the benchmarks.

#include <cstdint>

#include "physics/world.h"

namespace physics::painted {

// A disc of the given code.
void Disc(SurfaceMap& map, float cx, float cy, float r, uint8_t code);
// A thick straight wall from (x0, y0) to (x1, y1), half as thick as `half`.
void Segment(SurfaceMap& map, float x0, float y0, float x1, float y1, float half, uint8_t code);

// Gives both built-in flippers 30 mask frames of their box size: a tapered
// bar from the pivot, 60 pixels long, dilated by the ball radius, turning
// from 30 degrees below the horizontal (frame 0) to 30 above (frame 28).
void PaintFlipperMasks(World& world);

// The tip direction of a flipper at a frame, radians (y up).
float FlipperAngle(int flipper, int frame);

// A closed box the size of the table with round posts, three bumpers, a
// rebound kicker (code 22, with its centre set) and a scoreless one (99),
// slanted guides down to both flippers, a closed floor, and the flipper
// masks painted.
void ClosedBox(World& world);

}  // namespace physics::painted
