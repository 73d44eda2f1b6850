#include "physics/painted_table.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace physics::painted {

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kLength = 60.0f;
constexpr float kPivotRadius = 28.0f;  // 8 pixels of flipper plus the ball's 20
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

void Disc(SurfaceMap& map, float cx, float cy, float r, uint8_t code) {
  for (int y = static_cast<int>(cy - r) - 1; y <= static_cast<int>(cy + r) + 1; ++y) {
    for (int x = static_cast<int>(cx - r) - 1; x <= static_cast<int>(cx + r) + 1; ++x) {
      const float dx = static_cast<float>(x) + 0.5f - cx, dy = static_cast<float>(y) + 0.5f - cy;
      if (dx * dx + dy * dy <= r * r) map.Set(x, y, code);
    }
  }
}

void Segment(SurfaceMap& map, float x0, float y0, float x1, float y1, float half, uint8_t code) {
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

float FlipperAngle(int flipper, int frame) {
  const float k = static_cast<float>(std::min(frame, 28)) / 28.0f;
  const float up = (-30.0f + 60.0f * k) * kPi / 180.0f;
  return flipper == 0 ? up : kPi - up;
}

void PaintFlipperMasks(World& world) {
  for (int n = 0; n < kFlipperCount; ++n) {
    Flipper& f = world.flippers[static_cast<size_t>(n)];
    const size_t plane = static_cast<size_t>(f.box_w) * static_cast<size_t>(f.box_h);
    std::vector<uint8_t> pixels(plane * kFrames, 0);
    std::vector<FlipperMaskFrame> frames;
    const float px = static_cast<float>(f.pivot_x - f.box_x) + 0.5f;
    const float py = static_cast<float>(f.pivot_y - f.box_y) + 0.5f;
    for (int k = 0; k < kFrames; ++k) {
      const float a = FlipperAngle(n, k);
      const float tx = px + kLength * std::cos(a), ty = py - kLength * std::sin(a);
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
