#pragma once
// Where the table's parts sit, in playfield pixels (x right, y down). The
// rules test the ball against these points and boxes, the physics starts the
// ball at the plunger and fixes the normals beside the gates, and tablegen
// draws the plan, checks a built surface map against them and checks that
// table/table.json puts its parts at the same places. A part moved on the
// table is moved here, and everything that tests it follows.

#include <array>

namespace core::geometry {

struct Point {
  int x, y;
};

// Inclusive pixel box. An empty box has x1 < x0.
struct Box {
  int x0, y0, x1, y1;
  constexpr bool Contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
  constexpr bool Contains(float x, float y) const {
    return x >= static_cast<float>(x0) && x <= static_cast<float>(x1) &&
           y >= static_cast<float>(y0) && y <= static_cast<float>(y1);
  }
  constexpr bool Empty() const { return x1 < x0; }
};

// A strip from x0 to x1 (inclusive) that runs from y0 down to the bottom.
struct Strip {
  int x0, x1, y0;
  constexpr bool Contains(float x, float y) const {
    return x >= static_cast<float>(x0) && x <= static_cast<float>(x1) &&
           y >= static_cast<float>(y0);
  }
};

inline constexpr int kMapWidth = 800;
inline constexpr int kMapHeight = 1514;

// The ball waits for the launch here.
inline constexpr Point kPlunger{761, 1468};
// A waiting ball on open floor counts as launched once it is left of x or above y.
inline constexpr Point kShooterLaneCorner{740, 1350};
// The lane at the top of the shooter lane (one of kLanes), lane floor all along.
inline constexpr Box kShooterLaneExit{750, 1308, 772, 1345};

// The kicker hole: a ball on the hole floor slows down in the approach strip,
// is caught (and held at kHoleHold) in the catch strip, and leaves from
// kHoleRelease.
inline constexpr Strip kHoleApproach{575, 611, 601};
inline constexpr Strip kHoleCatch{611, 622, 780};
inline constexpr Point kHoleHold{617, 787};
inline constexpr Point kHoleRelease{590, 782};

// The two flippers, left first: the pivot and the box their masks cover.
inline constexpr int kFlipperBoxWidth = 174;
inline constexpr int kFlipperBoxHeight = 170;
struct FlipperPlace {
  Point pivot;
  Point box;  // top-left corner of the kFlipperBoxWidth x kFlipperBoxHeight box
};
inline constexpr std::array<FlipperPlace, 2> kFlippers = {{
    {{223, 1377}, {184, 1296}},
    {{497, 1377}, {362, 1296}},
}};

// The point the rules measure a ball's distance from for each part that is
// hit, and the surface code of the part's wall.
struct HitPoint {
  int row;
  Point at;
  int code;
};
inline constexpr std::array<HitPoint, 14> kHitPoints = {{
    {0, {517, 1193}, 22},  // kicker
    {2, {372, 130}, 12},   // bumpers 2..10
    {3, {370, 436}, 12},
    {4, {254, 550}, 12},
    {5, {477, 566}, 12},
    {6, {65, 986}, 12},
    {7, {388, 836}, 12},
    {8, {171, 1202}, 12},
    {9, {478, 1071}, 12},
    {10, {601, 884}, 12},
    {56, {150, 831}, 25},  // drop targets, bottom first
    {57, {160, 780}, 26},
    {58, {170, 737}, 25},
    {59, {179, 689}, 26},
}};

// The hit point of `row`, or {-1, {-1, -1}, -1} for a row that is never hit.
constexpr HitPoint HitPointOf(int row) {
  for (const HitPoint& p : kHitPoints) {
    if (p.row == row) return p;
  }
  return {-1, {-1, -1}, -1};
}

// The drop-target bank's face is cut in bands by y, bottom first: a pixel or
// a hit below `above_y` (y > above_y) belongs to that band's target; the top
// band takes the rest. The face codes alternate so that neighbours differ.
struct DropBand {
  int row;
  int above_y;  // -1: everything above the band below
  int code;
};
inline constexpr std::array<DropBand, 4> kDropBands = {{
    {56, 801, 25},
    {57, 761, 26},
    {58, 714, 25},
    {59, -1, 26},
}};

// The lanes of the lane check, in the order the rules number them (their
// entry counters follow it). `probe`: the ball must see lane floor (code 16)
// under it or two pixels to a side.
struct Lane {
  const char* name;
  Box box;
  bool probe;
};
inline constexpr std::array<Lane, 13> kLanes = {{
    {"upper E2", {677, 764, 692, 858}, false},
    {"TREE T", {25, 1157, 50, 1211}, true},
    {"TREE R", {85, 1157, 104, 1211}, true},
    {"TREE E1", {618, 1157, 638, 1211}, true},
    {"TREE E2", {673, 1157, 698, 1211}, true},
    {"SANTA S", {157, 230, 236, 355}, true},
    {"SANTA A1", {245, 230, 262, 355}, true},
    {"SANTA N", {327, 230, 342, 355}, true},
    {"SANTA T", {405, 230, 423, 355}, true},
    {"SANTA A2", {488, 230, 507, 355}, true},
    {"lane exit", kShooterLaneExit, true},
    {"RLSIDE", {27, 677, 40, 735}, true},
    {"RGIFT", {75, 227, 105, 287}, true},
}};

// The spinner turns when a ball in this box sees its floor code nearby.
inline constexpr Box kSpinnerBox{584, 495, 638, 550};
inline constexpr int kSpinnerCode = 13;

// The one-way gates, by row 11, 12, 13. A ball inside a gate's approach box
// (x0 < x < x1, y0 <= y, and y <= y1 or y < y1) opens the gate for itself.
// Beside the left and right gates' bands a wall pixel inside `spot` takes a
// fixed normal while the gate is closed to the ball (empty for the third).
struct Gate {
  const char* name;
  int x0, x1, y0, y1;
  bool y1_inclusive;
  Box spot;
  constexpr bool InApproach(float x, float y) const {
    return x > static_cast<float>(x0) && x < static_cast<float>(x1) &&
           y >= static_cast<float>(y0) &&
           (y1_inclusive ? y <= static_cast<float>(y1) : y < static_cast<float>(y1));
  }
  // The approach box as inclusive pixel ranges.
  constexpr Box ApproachPixels() const { return {x0 + 1, y0, x1 - 1, y1_inclusive ? y1 : y1 - 1}; }
};
inline constexpr std::array<Gate, 3> kGates = {{
    {"gate 11 (WGATE_L)", 0, 150, 148, 300, true, {135, 96, 145, 108}},
    {"gate 12 (WGATE_R)", 634, 797, 120, 190, false, {625, 70, 645, 85}},
    {"gate 13 (WGATE_S)", 569, 697, 262, 380, false, {1, 1, 0, 0}},
}};

}  // namespace core::geometry
