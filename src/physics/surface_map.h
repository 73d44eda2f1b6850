#pragma once
// The collision map: one surface code per playfield pixel, row-major. Code 0
// is open floor; a few other codes are open too; every other code is a wall.

#include <cstdint>
#include <vector>

namespace physics {

struct BallRecord;
struct World;

// Special surface codes.
inline constexpr int kCodeOpenFloor = 0;
inline constexpr int kCodeWall = 10;  // also every point left of, right of or above the map
inline constexpr int kCodeFlipper = 11;
inline constexpr int kCodeBumper = 12;
inline constexpr int kCodeHole = 16;  // open except in the hole box while a ball is locked
inline constexpr int kCodeKicker = 22;
inline constexpr int kCodeGate = 23;  // one-way gate, open per ball
inline constexpr int kCodeKickerStrong = 99;

struct SurfaceMap {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> codes;  // width × height

  SurfaceMap() = default;
  // A map of the given size, every pixel set to fill.
  SurfaceMap(int32_t w, int32_t h, uint8_t fill = 0);

  bool loaded() const { return !codes.empty(); }
  // Paints the rectangle [x0, x1) × [y0, y1), clipped to the map.
  void Fill(int x0, int y0, int x1, int y1, uint8_t code);
  void Set(int x, int y, uint8_t code) { Fill(x, y, x + 1, y + 1, code); }
};

// The pixel holding a coordinate (truncated toward zero, as the step has always
// done); non-finite and huge values land far off the map.
int PixelOf(float v);

// The surface code at a pixel: 10 left of, right of or above the map; 0 below
// it or when no map is loaded; inside a flipper's box 11 where the flipper's
// mask for its current frame lies, else the map byte's low six bits;
// otherwise the map's byte.
int SurfaceCodeAt(const World& world, int x, int y);

// Whether the ball may occupy the pixel. The one-way gates (code 23) are open
// only to a ball whose pass flag for that gate is set; the hole (code 16) is
// closed inside its box while a ball is locked there.
bool IsOpenAt(const World& world, const BallRecord& ball, int x, int y);

// True when the pixel or one of its eight neighbours is not open.
bool TouchesWall(const World& world, const BallRecord& ball, int x, int y);

// The eight neighbours of a pixel, clockwise on screen from the upper left.
inline constexpr int kNeighbourDx[8] = {-1, 0, 1, 1, 1, 0, -1, -1};
inline constexpr int kNeighbourDy[8] = {-1, -1, -1, 0, 1, 1, 1, 0};

}  // namespace physics
