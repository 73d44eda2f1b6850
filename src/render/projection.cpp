#include "render/projection.h"

#include <cmath>

namespace render {

namespace {
constexpr float kX0 = -396.176f;
constexpr float kX1 = 418.825f;
constexpr float kY0 = 930.517f;
constexpr float kY1 = -862.093f;
constexpr float kBallHeight = 22.5f;
}  // namespace

WorldPoint TableToWorld(float x, float y, float height) {
  WorldPoint w;
  w.x = kX0 + (x - 43.0f) * (kX1 - kX0) / (695.0f - 43.0f);
  w.y = kY0 + (y * 1.0f - 33.0f) * (kY1 - kY0) / (1467.0f - 33.0f);
  w.z = height + kBallHeight;
  return w;
}

float WorldXToTable(float wx) { return 43.0f + (wx - kX0) * (695.0f - 43.0f) / (kX1 - kX0); }
float WorldYToTable(float wy) { return 33.0f + (wy - kY0) * (1467.0f - 33.0f) / (kY1 - kY0); }

ViewPoint ToView(const DepthCamera& cam, const WorldPoint& p) {
  ViewPoint v;
  const auto row = [&](int r) {
    return CameraElement(cam, r, 0) * p.x + CameraElement(cam, r, 1) * p.y +
           CameraElement(cam, r, 2) * p.z + CameraElement(cam, r, 3);
  };
  v.x = row(0);
  v.y = row(1);
  v.w = row(2);
  return v;
}

int32_t DepthOfW(const DepthCamera& cam, float w) {
  return static_cast<int32_t>((w - cam.z0) * 16384.0f / (cam.z1 - cam.z0));
}

Projected Project(const DepthCamera& cam, const WorldPoint& p) {
  const ViewPoint v = ToView(cam, p);
  if (v.w >= -0.1f) return {-100, -110, -120};
  Projected r;
  r.x = static_cast<int32_t>(v.x * cam.fx / v.w + cam.cx);
  r.y = static_cast<int32_t>(v.y * cam.fy / v.w + cam.cy);
  r.depth = DepthOfW(cam, v.w);
  return r;
}

bool ProjectContinuous(const DepthCamera& cam, const WorldPoint& p, float& sx, float& sy) {
  const ViewPoint v = ToView(cam, p);
  if (v.w >= -0.1f) return false;
  sx = v.x * cam.fx / v.w + cam.cx;
  sy = v.y * cam.fy / v.w + cam.cy;
  return true;
}

int32_t BallFrameForY(float y) {
  const float h = TableToWorld(0.0f, y + 20.0f, 0.0f).y;
  int32_t frame = static_cast<int32_t>((-816.661f - h) * 39.0f / (-816.661f - 934.036f));
  frame = 39 - frame;
  if (frame < 0) frame = 0;
  if (frame > 39) frame = 39;
  return frame;
}

DepthCamera TableCamera() {
  // Look-at frame: eye above and behind the player's end, looking at a point
  // a little up the table; +Z up.
  const double ex = 50.0, ey = -2150.0, ez = 1650.0;
  const double tx = 50.0, ty = 60.0, tz = 0.0;
  double fwd[3] = {tx - ex, ty - ey, tz - ez};
  double fl = std::sqrt(fwd[0] * fwd[0] + fwd[1] * fwd[1] + fwd[2] * fwd[2]);
  for (double& c : fwd) c /= fl;
  // right = forward × up(0,0,1)
  double right[3] = {fwd[1], -fwd[0], 0.0};
  double rl = std::sqrt(right[0] * right[0] + right[1] * right[1]);
  right[0] /= rl;
  right[1] /= rl;
  // up = right × forward
  double up[3] = {right[1] * fwd[2] - right[2] * fwd[1], right[2] * fwd[0] - right[0] * fwd[2],
                  right[0] * fwd[1] - right[1] * fwd[0]};
  const double eye[3] = {ex, ey, ez};
  DepthCamera cam;
  const double* rows[3] = {right, up, nullptr};
  double back[3] = {-fwd[0], -fwd[1], -fwd[2]};
  rows[2] = back;
  for (int r = 0; r < 3; ++r) {
    double d = 0.0;
    for (int c = 0; c < 3; ++c) {
      cam.matrix[static_cast<size_t>(c * 3 + r)] = static_cast<float>(rows[r][c]);
      d += rows[r][c] * eye[c];
    }
    cam.matrix[static_cast<size_t>(9 + r)] = static_cast<float>(-d);
  }
  cam.fx = -1610.0f;
  cam.fy = 1610.0f;
  cam.cx = 512.0f;
  cam.cy = 270.0f;
  cam.z0 = -4000.0f;
  cam.z1 = -1500.0f;
  return cam;
}

}  // namespace render
