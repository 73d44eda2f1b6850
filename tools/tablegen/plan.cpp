#include "plan.h"

#include <algorithm>
#include <cmath>

#include "geometry.h"

namespace tablegen {

namespace {

struct Rgb8 {
  uint8_t r, g, b;
};

Rgb8 CodeColour(uint8_t code) {
  switch (code) {
    case 0: return {28, 30, 36};
    case 10: return {120, 80, 50};
    case 12: return {220, 40, 50};
    case 13: return {40, 200, 220};
    case 14: return {150, 155, 170};
    case 15: return {220, 220, 230};
    case 16: return {40, 170, 60};
    case 22: return {240, 140, 20};
    case 23: return {240, 230, 40};
    case 25: return {230, 60, 230};
    case 26: return {130, 60, 230};
    default: return {90, 90, 90};
  }
}

struct Canvas {
  int w, h;
  std::vector<uint8_t>& rgb;
  void Put(int x, int y, Rgb8 c) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    uint8_t* p = &rgb[static_cast<size_t>((y * w + x) * 3)];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  }
  void Rect(int x0, int y0, int x1, int y1, Rgb8 c) {
    for (int x = x0; x <= x1; ++x) {
      Put(x, y0, c);
      Put(x, y1, c);
    }
    for (int y = y0; y <= y1; ++y) {
      Put(x0, y, c);
      Put(x1, y, c);
    }
  }
  void Cross(int x, int y, Rgb8 c) {
    for (int d = -5; d <= 5; ++d) {
      Put(x + d, y, c);
      Put(x, y + d, c);
    }
  }
};

}  // namespace

std::vector<uint8_t> DrawPlan(const Layout& layout, const std::vector<uint8_t>& map) {
  const int w = layout.width, h = layout.height;
  std::vector<uint8_t> rgb(static_cast<size_t>(w * h * 3));
  Canvas cv{w, h, rgb};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) cv.Put(x, y, CodeColour(map[static_cast<size_t>(y * w + x)]));
  // Flipper swept areas: the masks of the down and up frames, lightly tinted.
  for (const Flipper& f : layout.flippers) {
    for (int frame : {0, 28}) {
      const auto m = FlipperMask(f, frame, layout.ball_radius);
      for (int y = 0; y < kFlipperBoxH; ++y)
        for (int x = 0; x < kFlipperBoxW; ++x)
          if (m[static_cast<size_t>(y * kFlipperBoxW + x)] != 0)
            cv.Put(f.box_x + x, f.box_y + y, frame == 0 ? Rgb8{200, 200, 255} : Rgb8{150, 150, 220});
    }
  }
  const Rgb8 white{255, 255, 255}, cyan{0, 255, 255}, orange{255, 160, 0}, pink{255, 120, 200};
  for (const Box& b : kLaneBoxes) cv.Rect(b.x0, b.y0, b.x1, b.y1, white);
  for (const GateBox& g : kGateBoxes) {
    cv.Rect(g.x0, g.y0, g.x1, g.y1, cyan);
    if (g.spot_x1 >= g.spot_x0) cv.Rect(g.spot_x0, g.spot_y0, g.spot_x1, g.spot_y1, pink);
  }
  for (const auto& fb : kFlipperBoxes) cv.Rect(fb[0], fb[1], fb[0] + fb[2] - 1, fb[1] + fb[3] - 1, orange);
  // Hole approach and catch (drawn down to the pocket floor), lock box.
  cv.Rect(575, 601, 611, 791, orange);
  cv.Rect(611, 780, 622, 791, pink);
  cv.Rect(573, 738, 623, 791, cyan);
  // Plunger lane box and launch box.
  cv.Rect(741, 1401, 794, 1509, orange);
  for (const HitPoint& p : kHitPoints) cv.Cross(p.x, p.y, white);
  // Where the ball's centre meets each drop target's face.
  const Rgb8 yellow{255, 230, 0};
  for (const DropTarget& t : layout.targets)
    cv.Cross(static_cast<int>(std::lround(t.hit.x)), static_cast<int>(std::lround(t.hit.y)), yellow);
  cv.Cross(kPlungerX, kPlungerY, orange);
  cv.Cross(kHoldX, kHoldY, orange);
  cv.Cross(kReleaseX, kReleaseY, cyan);
  for (const auto& fl : layout.flippers)
    cv.Cross(static_cast<int>(fl.pivot.x), static_cast<int>(fl.pivot.y), orange);
  // Drop-target y bands.
  for (int yb : {801, 761, 714})
    for (int x = 60; x <= 200; x += 2) cv.Put(x, yb, white);
  return rgb;
}

}  // namespace tablegen
