#pragma once
// The boxes, bands and points the game's rules test on the playfield. The
// plan picture draws them and the pack check verifies the surface map under them.

#include <array>
#include <cstdint>

namespace tablegen {

struct Box {
  const char* name;
  int x0, y0, x1, y1;  // inclusive pixel ranges
  bool probe;          // lane floor (code 16) expected at the ball
};

// Lanes of the lane check, the spinner, hole and shooter-lane boxes.
inline constexpr std::array<Box, 14> kLaneBoxes = {{
    {"upper E2", 677, 764, 692, 858, false},
    {"TREE T", 25, 1157, 50, 1211, true},
    {"TREE R", 85, 1157, 104, 1211, true},
    {"TREE E1", 618, 1157, 638, 1211, true},
    {"TREE E2", 673, 1157, 698, 1211, true},
    {"SANTA S", 157, 230, 236, 355, true},
    {"SANTA A1", 245, 230, 262, 355, true},
    {"SANTA N", 327, 230, 342, 355, true},
    {"SANTA T", 405, 230, 423, 355, true},
    {"SANTA A2", 488, 230, 507, 355, true},
    {"lane exit", 750, 1308, 772, 1345, true},
    {"RLSIDE", 27, 677, 40, 735, true},
    {"RGIFT", 75, 227, 105, 287, true},
    {"spinner", 584, 495, 638, 550, false},
}};

struct GateBox {
  const char* name;
  int x0, y0, x1, y1;  // inclusive
  int spot_x0, spot_y0, spot_x1, spot_y1;  // fixed-normal spot (x1 < x0: none)
};
// Approach boxes as inclusive ranges: 0<x<150 → 1..149, 148≤y≤300, etc.
inline constexpr std::array<GateBox, 3> kGateBoxes = {{
    {"gate 11 (WGATE_L)", 1, 148, 149, 300, 135, 96, 145, 108},
    {"gate 12 (WGATE_R)", 635, 120, 796, 189, 625, 70, 645, 85},
    {"gate 13 (WGATE_S)", 570, 262, 696, 379, 1, 1, 0, 0},
}};

struct HitPoint {
  int row;
  int x, y;
  int code;
};
inline constexpr std::array<HitPoint, 14> kHitPoints = {{
    {0, 517, 1193, 22},
    {2, 372, 130, 12},
    {3, 370, 436, 12},
    {4, 254, 550, 12},
    {5, 477, 566, 12},
    {6, 65, 986, 12},
    {7, 388, 836, 12},
    {8, 171, 1202, 12},
    {9, 478, 1071, 12},
    {10, 601, 884, 12},
    {56, 150, 831, 25},
    {57, 160, 780, 26},
    {58, 170, 737, 25},
    {59, 179, 689, 26},
}};

inline constexpr int kMapWidth = 800;
inline constexpr int kMapHeight = 1514;
inline constexpr int kPlungerX = 761, kPlungerY = 1468;
inline constexpr int kHoldX = 617, kHoldY = 787, kReleaseX = 590, kReleaseY = 782;
// Flipper boxes: x, y, w, h.
inline constexpr std::array<std::array<int, 4>, 2> kFlipperBoxes = {{{184, 1296, 174, 170},
                                                                     {362, 1296, 174, 170}}};

}  // namespace tablegen
