#pragma once
// The table's plan as read from table/table.json: shapes with their surface
// codes, heights and colours, the parts with their rows and positions. The
// surface map, the flipper masks and the 3-D scene are all built from it.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/table_geometry.h"

namespace tablegen {

struct Vec2 {
  float x = 0.0f;
  float y = 0.0f;
};

struct Colour {
  float r = 0.0f, g = 0.0f, b = 0.0f;  // 0..1
};

enum class ShapeKind { kOuter, kPoly, kLine, kCircle, kRect };

struct Shape {
  ShapeKind kind = ShapeKind::kPoly;
  std::vector<Vec2> points;              // polygon / polyline
  Vec2 c;                                // circle centre
  float r = 0.0f;                        // circle radius, outer corner radius
  float width = 0.0f;                    // polyline width
  float x0 = 0, x1 = 0, y0 = 0, y1 = 0;  // outer interior / rect
};

// Signed distance from (x, y) to the shape's solid (negative inside).
float ShapeDistance(const Shape& s, float x, float y);
// Bounding box of the solid grown by `grow`.
void ShapeBounds(const Shape& s, float grow, float& x0, float& y0, float& x1, float& y1);

struct Material {
  float specular = 0.2f;
  float shine = 10.0f;
};

struct Wall {
  std::string name;
  Shape shape;
  int code = 10;
  float height = 30.0f;
  Colour colour;
  Material material;
};

struct Bumper {
  int row = 0;
  std::string name;
  Vec2 c;
  float r = 0.0f;
  Colour colour;
};

struct Floor {
  std::string name;
  int code = 16;
  float x0, y0, x1, y1;  // inclusive pixel rectangle
};

struct Gate {
  int row = 0;
  std::string name;
  Shape band;  // polygon of code-23 pixels (applied to open floor only)
  Vec2 a, b;   // the wire's ends
  float height = 34.0f;
};

struct Flipper {
  std::string name;
  Vec2 pivot;
  int box_x = 0, box_y = 0;
  float length = 100.0f, r_pivot = 12.0f, r_tip = 6.0f;
  float down_deg = 30.0f, up_deg = -30.0f;
  bool mirror = false;
  Colour colour, rubber;
};

enum class LampShape { kCircle, kTriangle, kArrow };

struct Lamp {
  int row = 0;
  std::string name;
  LampShape shape = LampShape::kCircle;
  Vec2 c;
  float r = 8.0f;
  Colour colour;
  bool rollover = false;
};

struct DropTarget {
  int row = 0;
  std::string name;
  Vec2 hit;     // the hit point (ball centre at the face)
  Vec2 centre;  // middle of the target on the physical face
};

struct Patch {
  Shape shape;
  Colour colour;
};

struct Label {
  std::string text;
  Vec2 c;
  float size = 16.0f;
  Colour colour;
};

struct Artwork;

struct Layout {
  int width = 800, height = 1514;
  float ball_radius = 20.0f;
  Colour floor_colour, border_colour;
  std::vector<Wall> walls;  // in painting order (later ones win)
  // Drop-target bank.
  Vec2 bank_face0, bank_face1;  // physical face, lower end first
  float bank_depth = 25.0f, bank_height = 30.0f;
  Colour bank_colour;
  Material bank_material;
  std::vector<std::array<int, 2>> bank_codes_by_y;  // {y, code}: pixel y > y gets code
  Wall bank_backing;
  std::vector<Bumper> bumpers;
  Bumper kicker;
  int kicker_code = 22;
  Colour kicker_cap;
  std::vector<Floor> floors;
  std::vector<Gate> gates;
  // Spinner.
  int spinner_row = 1;
  Vec2 spinner_c;
  float spinner_half_width = 36, spinner_half_length = 14, spinner_axle = 32;
  Colour spinner_colour;
  Vec2 hole_c;
  float hole_r = 14;
  std::array<Flipper, 2> flippers;
  // Plunger.
  float plunger_x = 761, plunger_tip_y = 1492, plunger_width = 16, plunger_travel = 30;
  Colour plunger_colour;
  std::vector<Lamp> lamps;  // lamps, bonus lamps and rollover lamps
  std::vector<DropTarget> targets;
  float target_half_length = 20, target_thickness = 8, target_height = 40;
  Colour target_colour;
  std::vector<Patch> patches;
  std::vector<Label> labels;
  std::array<Material, 4> materials;  // wood, metal, rubber, plastic
  // The painted artwork (table/art.json), when one was loaded; see art.h.
  std::shared_ptr<const Artwork> art;
};

// Reads the layout; false with a reason in `error`.
bool LoadLayout(const std::string& path, Layout& layout, std::string& error);

// Bank geometry: the solid quadrilateral of the bank body.
Shape BankShape(const Layout& layout);

// The surface map, width × height codes.
std::vector<uint8_t> BuildSurfaceMap(const Layout& layout);

// Flipper geometry: the direction (unit) of the flipper at physics frame k (0..29).
Vec2 FlipperDirection(const Flipper& f, int frame);
// Signed distance to the flipper solid at physics frame k.
float FlipperDistance(const Flipper& f, int frame, float x, float y);
inline constexpr int kFlipperBoxW = core::geometry::kFlipperBoxWidth;
inline constexpr int kFlipperBoxH = core::geometry::kFlipperBoxHeight;
inline constexpr int kFlipperMaskFrames = 30;
inline constexpr uint8_t kFlipperMaskValue = 11;
// One collision mask frame: 174 × 170, 11 on the dilated flipper, 0 elsewhere.
std::vector<uint8_t> FlipperMask(const Flipper& f, int frame, float dilation);
// The physics frame each of the 9 drawn images shows.
inline constexpr std::array<int, 9> kFlipperImageFrames = {0, 5, 10, 15, 20, 24, 27, 28, 28};

}  // namespace tablegen
