#pragma once
// The fixed calibration between playfield pixels and the world space of the
// pre-rendered table, and the projection through the scene depth map's camera.
// The table builder renders with these functions and the compositor places the
// balls with them, so pictures, depth maps and balls agree.

#include <array>
#include <cstdint>

#include "render/image_files.h"

namespace render {

struct WorldPoint {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// The camera is the one stored with every depth file (render/image_files.h):
// matrix element (row r, column c) is matrix[c × 3 + r].
inline float CameraElement(const DepthCamera& cam, int row, int col) {
  return cam.matrix[static_cast<size_t>(col * 3 + row)];
}

struct Projected {
  int32_t x = 0;
  int32_t y = 0;
  int32_t depth = 0;
};

// Playfield pixel (x, y) and height above the table to world space.
WorldPoint TableToWorld(float x, float y, float height);
// World X / Y back to playfield x / y (inverse of the mapping, for tools).
float WorldXToTable(float wx);
float WorldYToTable(float wy);

// View-space values of a world point.
struct ViewPoint {
  float x = 0.0f;
  float y = 0.0f;
  float w = 0.0f;
};
ViewPoint ToView(const DepthCamera& cam, const WorldPoint& p);

// Projects a world point: screen pixel and depth (larger = nearer). A point
// with W ≥ −0.1 is behind the camera and gives (−100, −110, −120).
Projected Project(const DepthCamera& cam, const WorldPoint& p);

// Continuous screen position (no truncation) of a world point in front of the
// camera; false when it is behind.
bool ProjectContinuous(const DepthCamera& cam, const WorldPoint& p, float& sx, float& sy);

// Depth value of a view-space W.
int32_t DepthOfW(const DepthCamera& cam, float w);

// Frame 0..39 of the ball picture for a ball centred at playfield y: the
// world Y one ball radius nearer the player picks the band.
int32_t BallFrameForY(float y);

// The camera of the table: looking down the table from above the player's
// end, for a 1024 × 768 screen.
DepthCamera TableCamera();

}  // namespace render
