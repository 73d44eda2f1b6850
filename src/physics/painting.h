#pragma once
// Shapes painted straight into a surface map and flipper masks drawn in code:
// the built-in test table (`gfall --test-table`), the tests and the benchmarks
// use them where no generated table is wanted.

#include <cstdint>

#include "physics/world.h"

namespace physics {

// Every pixel whose centre lies within r of (cx, cy) gets `code`.
void PaintDisc(SurfaceMap& map, float cx, float cy, float r, uint8_t code);
// Every pixel whose centre lies within `half` of the segment (x0, y0)-(x1, y1).
void PaintSegment(SurfaceMap& map, float x0, float y0, float x1, float y1, float half,
                  uint8_t code);

// The tip direction of a painted flipper at a frame, radians (y up): from 30
// degrees below the horizontal (frame 0) to 30 above (frames 28 and 29).
float PaintedFlipperAngle(bool left_side, int frame);

// Gives both flippers 30 mask frames of their box size: a bar `length` pixels
// long from the pivot, tapering from 28 to 24 pixels of radius (8 and 4 of
// flipper plus the ball's 20).
void PaintFlipperMasks(World& world, float length);

}  // namespace physics
