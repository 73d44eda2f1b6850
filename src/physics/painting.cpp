#include "physics/painting.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace physics {
namespace {

constexpr float kPivotRadius = 28.0f;
constexpr float kTipRadius = 24.0f;
constexpr int kFrames = 30;

float SegmentDistance(float px, float py, float x0, float y0, float x1, float y1, float& t) {
  const float dx = x1 - x0, dy = y1 - y0;
  const float l2 = dx * dx + dy * dy;
  t = l2 > 0.0f ? std::clamp(((px - x0) * dx + (py - y0) * dy) / l2, 0.0f, 1.0f) : 0.0f;
  const float qx = x0 + t * dx - px, qy = y0 + t * dy - py;
  return std::sqrt(qx * qx + qy * qy);
}

}  // namespace

void PaintDisc(SurfaceMap& map, float cx, float cy, float r, uint8_t code) {
  for (int y = static_cast<int>(cy - r) - 1; y <= static_cast<int>(cy + r) + 1; ++y) {
    for (int x = static_cast<int>(cx - r) - 1; x <= static_cast<int>(cx + r) + 1; ++x) {
      const float dx = static_cast<float>(x) + 0.5f - cx, dy = static_cast<float>(y) + 0.5f - cy;
      if (dx * dx + dy * dy <= r * r) map.Set(x, y, code);
    }
  }
}

void PaintSegment(SurfaceMap& map, float x0, float y0, float x1, float y1, float half,
                  uint8_t code) {
  const int xa = static_cast<int>(std::min(x0, x1) - half) - 1;
  const int xb = static_cast<int>(std::max(x0, x1) + half) + 1;
  const int ya = static_cast<int>(std::min(y0, y1) - half) - 1;
  const int yb = static_cast<int>(std::max(y0, y1) + half) + 1;
  for (int y = ya; y <= yb; ++y) {
    for (int x = xa; x <= xb; ++x) {
      float t;
      if (SegmentDistance(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, x0, y0, x1,
                          y1, t) <= half) {
        map.Set(x, y, code);
      }
    }
  }
}

float PaintedFlipperAngle(bool left_side, int frame) {
  constexpr float kPi = 3.14159265f;
  const float k = static_cast<float>(std::min(frame, 28)) / 28.0f;
  const float up = (-30.0f + 60.0f * k) * kPi / 180.0f;
  return left_side ? up : kPi - up;
}

void PaintFlipperMasks(World& world, float length) {
  for (int n = 0; n < kFlipperCount; ++n) {
    Flipper& f = world.flippers[static_cast<size_t>(n)];
    if (f.box_w <= 0 || f.box_h <= 0) continue;
    const size_t plane = static_cast<size_t>(f.box_w) * static_cast<size_t>(f.box_h);
    std::vector<uint8_t> pixels(plane * kFrames, 0);
    std::vector<FlipperMaskFrame> frames;
    const float px = static_cast<float>(f.pivot_x - f.box_x) + 0.5f;
    const float py = static_cast<float>(f.pivot_y - f.box_y) + 0.5f;
    for (int k = 0; k < kFrames; ++k) {
      const float a = PaintedFlipperAngle(f.left_side, k);
      const float tx = px + length * std::cos(a), ty = py - length * std::sin(a);
      uint8_t* p = pixels.data() + plane * static_cast<size_t>(k);
      for (int y = 0; y < f.box_h; ++y) {
        for (int x = 0; x < f.box_w; ++x) {
          float t;
          const float d = SegmentDistance(static_cast<float>(x) + 0.5f,
                                          static_cast<float>(y) + 0.5f, px, py, tx, ty, t);
          if (d <= kPivotRadius + (kTipRadius - kPivotRadius) * t) {
            p[static_cast<size_t>(y) * static_cast<size_t>(f.box_w) + static_cast<size_t>(x)] =
                kCodeFlipper;
          }
        }
      }
      frames.push_back({f.box_w, f.box_h, {p, plane}});
    }
    SetFlipperMasks(f, frames);
  }
}

}  // namespace physics
