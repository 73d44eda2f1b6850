#pragma once
// The 3-D table as a height field over the playfield: every cell holds the
// height of the surface above the table plane, its colour, its material and the
// part it belongs to. Walls are the plan's outlines extruded to their heights;
// bumpers, posts, flippers, targets, gates, the spinner and the plunger are
// painted from their geometry in a given state. The renderer traces rays
// through it with the table camera.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "layout.h"
#include "render/image_files.h"

namespace tablegen {

inline constexpr int16_t kNoPart = -1;
inline constexpr int16_t kFlipperPartBase = 100;  // left 100, right 101

struct Cell {
  float h = 0.0f;
  float r = 0, g = 0, b = 0;     // albedo (unless painted)
  float emit = 0.0f;             // self-lit share of the albedo (lamps, bumper caps)
  float gr = 0, gg = 0, gb = 0;  // light a lit insert throws on the art around it
  float ao = 1.0f;               // ambient occlusion by the solids nearby
  uint8_t material = 0;          // index into Layout::materials
  bool painted = false;          // albedo from the artwork at the hit point
  int16_t part = kNoPart;
};

// Kinds of table parts (sprites).
enum class PartKind {
  kKicker,
  kSpinner,
  kBumper,
  kGate,
  kLamp,
  kRollover,
  kTarget,
  kBank,
  kPlunger,
  kFlipper
};

struct PartDef {
  int row = 0;  // 0..64, or 100/101 for the flippers
  std::string name;
  PartKind kind = PartKind::kLamp;
  int frames = 3;                        // frames in the sprite file
  int dark_offset = 0;                   // 0: no dark frames
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // playfield box of every state
  float top = 50.0f;                     // greatest height in any state (wu)
  int index = 0;                         // into the layout's list of that kind
};

// A thin round wire (gate loops and bars), traced exactly rather than through
// the height field. World coordinates.
struct Wire {
  float ax, ay, az, bx, by, bz, r;
  Colour colour;
  int16_t part;
};

struct Scene {
  static constexpr int kOriginX = -48;
  static constexpr int kOriginY = -48;
  int width = 0, height = 0;  // cells
  std::vector<Cell> cells;
  std::vector<Cell> base;  // the scene without any part
  const Layout* layout = nullptr;
  std::vector<PartDef> parts;
  std::vector<int> state;                     // current frame per part (index into parts)
  std::vector<std::vector<Wire>> part_wires;  // per part
  std::vector<Wire> wires;                    // wire guides of the table itself
  bool dark = false;

  Cell& At(int x, int y) {
    return cells[static_cast<size_t>((y - kOriginY) * width + (x - kOriginX))];
  }
  bool Inside(int x, int y) const {
    return x >= kOriginX && y >= kOriginY && x < kOriginX + width && y < kOriginY + height;
  }
};

// Every sprite part of the table, rows 0..64 then the two flippers.
std::vector<PartDef> TableParts(const Layout& layout);

// Builds the scene with every part at frame 0.
void BuildScene(const Layout& layout, Scene& scene);
// Sets part `i` (index into scene.parts) to `frame` and repaints its box.
void SetPartFrame(Scene& scene, size_t i, int frame);

struct RenderOptions {
  bool dark = false;
  int16_t watch_part = kNoPart;  // silhouette of this part goes to `mask`
  int threads = 2;
};

struct RenderOut {
  int x = 0, y = 0, w = 0, h = 0;
  std::vector<uint8_t> rgb;    // w × h × 3
  std::vector<int16_t> depth;  // w × h (pixel-centre rays)
  std::vector<uint8_t> mask;   // w × h: 1 where any sample saw the watched part
};

// Renders the screen rectangle (x, y, w, h) of the 1024 × 768 view.
void RenderRegion(const Scene& scene, const render::DepthCamera& cam, const RenderOptions& opt,
                  int x, int y, int w, int h, RenderOut& out);

// Screen box of a playfield box lifted from the table to `top` (clamped to the screen).
void ScreenBox(const render::DepthCamera& cam, float x0, float y0, float x1, float y1, float top,
               int& sx, int& sy, int& sw, int& sh);

// The scene's lights, shared with the ball renderer.
struct Light {
  float x, y, z;  // unit direction towards the light (world)
  float intensity;
};
std::array<Light, 2> SceneLights();
float AmbientLight(bool dark);

}  // namespace tablegen
