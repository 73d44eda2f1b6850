#include "plan.h"

#include <algorithm>
#include <cmath>

#include "core/table_geometry.h"

namespace tablegen {

namespace {

namespace geo = core::geometry;

struct Rgb8 {
  uint8_t r, g, b;
};

Rgb8 CodeColour(uint8_t code) {
  switch (code) {
    case 0:
      return {28, 30, 36};
    case 10:
      return {120, 80, 50};
    case 12:
      return {220, 40, 50};
    case 13:
      return {40, 200, 220};
    case 14:
      return {150, 155, 170};
    case 15:
      return {220, 220, 230};
    case 16:
      return {40, 170, 60};
    case 22:
      return {240, 140, 20};
    case 23:
      return {240, 230, 40};
    case 25:
      return {230, 60, 230};
    case 26:
      return {130, 60, 230};
    default:
      return {90, 90, 90};
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
            cv.Put(f.box_x + x, f.box_y + y,
                   frame == 0 ? Rgb8{200, 200, 255} : Rgb8{150, 150, 220});
    }
  }
  const Rgb8 white{255, 255, 255}, cyan{0, 255, 255}, orange{255, 160, 0}, pink{255, 120, 200};
  for (const geo::Lane& l : geo::kLanes) cv.Rect(l.box.x0, l.box.y0, l.box.x1, l.box.y1, white);
  {
    const geo::Box& b = geo::kSpinnerBox;
    cv.Rect(b.x0, b.y0, b.x1, b.y1, white);
  }
  for (const geo::Gate& g : geo::kGates) {
    const geo::Box a = g.ApproachPixels();
    cv.Rect(a.x0, a.y0, a.x1, a.y1, cyan);
    if (!g.spot.Empty()) cv.Rect(g.spot.x0, g.spot.y0, g.spot.x1, g.spot.y1, pink);
  }
  for (const geo::FlipperPlace& f : geo::kFlippers)
    cv.Rect(f.box.x, f.box.y, f.box.x + geo::kFlipperBoxWidth - 1,
            f.box.y + geo::kFlipperBoxHeight - 1, orange);
  // Hole approach and catch (drawn down to the pocket floor), lock box.
  cv.Rect(geo::kHoleApproach.x0, geo::kHoleApproach.y0, geo::kHoleApproach.x1, 791, orange);
  cv.Rect(geo::kHoleCatch.x0, geo::kHoleCatch.y0, geo::kHoleCatch.x1, 791, pink);
  cv.Rect(573, 738, 623, 791, cyan);
  // Plunger lane box and launch box.
  cv.Rect(741, 1401, 794, 1509, orange);
  for (const geo::HitPoint& p : geo::kHitPoints) cv.Cross(p.at.x, p.at.y, white);
  // Where the ball's centre meets each drop target's face.
  const Rgb8 yellow{255, 230, 0};
  for (const DropTarget& t : layout.targets)
    cv.Cross(static_cast<int>(std::lround(t.hit.x)), static_cast<int>(std::lround(t.hit.y)),
             yellow);
  cv.Cross(geo::kPlunger.x, geo::kPlunger.y, orange);
  cv.Cross(geo::kHoleHold.x, geo::kHoleHold.y, orange);
  cv.Cross(geo::kHoleRelease.x, geo::kHoleRelease.y, cyan);
  for (const auto& fl : layout.flippers)
    cv.Cross(static_cast<int>(fl.pivot.x), static_cast<int>(fl.pivot.y), orange);
  // Drop-target y bands.
  for (const geo::DropBand& band : geo::kDropBands)
    if (band.above_y >= 0)
      for (int x = 60; x <= 200; x += 2) cv.Put(x, band.above_y, white);
  return rgb;
}

}  // namespace tablegen
