#include "front_art.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>

namespace tablegen {

namespace {

constexpr int kW = 1024, kH = 768;
constexpr double kPi = 3.14159265358979323846;

constexpr char kSansBold[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr char kSerifBold[] = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";

// --- fonts ---------------------------------------------------------------------

// Cairo font faces over the two fonts Debian ships, opened once and kept for
// the life of the program.
struct Fonts {
  cairo_font_face_t* sans = nullptr;
  cairo_font_face_t* serif = nullptr;
  bool ok() const { return sans && serif; }
};

cairo_font_face_t* OpenFace(FT_Library lib, const char* path) {
  FT_Face face = nullptr;
  if (FT_New_Face(lib, path, 0, &face) != 0) return nullptr;
  cairo_font_face_t* cf = cairo_ft_font_face_create_for_ft_face(face, 0);
  static const cairo_user_data_key_t key{};
  if (cairo_font_face_set_user_data(cf, &key, face, [](void* f) {
        FT_Done_Face(static_cast<FT_Face>(f));
      }) != CAIRO_STATUS_SUCCESS) {
    cairo_font_face_destroy(cf);
    FT_Done_Face(face);
    return nullptr;
  }
  return cf;
}

const Fonts& GetFonts() {
  static Fonts fonts;
  static std::once_flag once;
  std::call_once(once, [] {
    static FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) return;
    fonts.sans = OpenFace(lib, kSansBold);
    fonts.serif = OpenFace(lib, kSerifBold);
  });
  return fonts;
}

// Unhinted outlines and grey anti-aliasing: the same shapes on every machine.
void UseFont(cairo_t* cr, cairo_font_face_t* face, double size) {
  cairo_set_font_face(cr, face);
  cairo_set_font_size(cr, size);
  cairo_font_options_t* o = cairo_font_options_create();
  cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
  cairo_set_font_options(cr, o);
  cairo_font_options_destroy(o);
}

double TextWidth(cairo_t* cr, const std::string& s) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, s.c_str(), &e);
  return e.x_advance;
}

// --- small helpers -------------------------------------------------------------

struct Rgb {
  double r, g, b;
};
constexpr Rgb Hex(uint32_t v) {
  return {((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0};
}
void Set(cairo_t* cr, Rgb c, double a = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }
void Stop(cairo_pattern_t* p, double at, Rgb c, double a = 1.0) {
  cairo_pattern_add_color_stop_rgba(p, at, c.r, c.g, c.b, a);
}

// A small deterministic generator for stars and snowflakes.
class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed) {}
  double Next() {
    s_ = s_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(s_ >> 11) / 9007199254740992.0;
  }
  double In(double a, double b) { return a + (b - a) * Next(); }

 private:
  uint64_t s_;
};

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

// A soft round glow.
void Glow(cairo_t* cr, double x, double y, double r, Rgb c, double a) {
  cairo_pattern_t* p = cairo_pattern_create_radial(x, y, 0, x, y, r);
  Stop(p, 0, c, a);
  Stop(p, 0.35, c, a * 0.45);
  Stop(p, 1, c, 0);
  cairo_set_source(cr, p);
  cairo_arc(cr, x, y, r, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// A four-pointed twinkle.
void Twinkle(cairo_t* cr, double x, double y, double r, Rgb c, double a) {
  Glow(cr, x, y, r * 0.9, c, a * 0.5);
  Set(cr, c, a);
  cairo_move_to(cr, x, y - r);
  cairo_curve_to(cr, x + r * 0.08, y - r * 0.08, x + r * 0.08, y - r * 0.08, x + r, y);
  cairo_curve_to(cr, x + r * 0.08, y + r * 0.08, x + r * 0.08, y + r * 0.08, x, y + r);
  cairo_curve_to(cr, x - r * 0.08, y + r * 0.08, x - r * 0.08, y + r * 0.08, x - r, y);
  cairo_curve_to(cr, x - r * 0.08, y - r * 0.08, x - r * 0.08, y - r * 0.08, x, y - r);
  cairo_fill(cr);
}

// A five-pointed star.
void StarPath(cairo_t* cr, double x, double y, double r, double inner, double turn = 0) {
  for (int k = 0; k < 10; ++k) {
    const double a = -kPi / 2 + turn + k * kPi / 5;
    const double rr = k % 2 ? r * inner : r;
    if (k == 0)
      cairo_move_to(cr, x + rr * std::cos(a), y + rr * std::sin(a));
    else
      cairo_line_to(cr, x + rr * std::cos(a), y + rr * std::sin(a));
  }
  cairo_close_path(cr);
}

// A six-armed snow crystal.
void Crystal(cairo_t* cr, double x, double y, double r, double turn, double a) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, turn);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, std::max(0.8, r * 0.12));
  cairo_set_source_rgba(cr, 1, 1, 1, a);
  for (int k = 0; k < 6; ++k) {
    cairo_save(cr);
    cairo_rotate(cr, k * kPi / 3);
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, 0, -r);
    for (double t : {0.45, 0.7}) {
      cairo_move_to(cr, 0, -r * t);
      cairo_line_to(cr, -r * 0.25, -r * (t + 0.2));
      cairo_move_to(cr, 0, -r * t);
      cairo_line_to(cr, r * 0.25, -r * (t + 0.2));
    }
    cairo_stroke(cr);
    cairo_restore(cr);
  }
  cairo_restore(cr);
}

// A sprig of holly: three leaves and berries around (x, y), scaled by s.
void Leaf(cairo_t* cr, double len, double wid) {
  // Spiky leaf along +x from the origin.
  cairo_move_to(cr, 0, 0);
  const int spikes = 4;
  for (int k = 1; k <= spikes; ++k) {
    const double x0 = len * (k - 0.5) / spikes, x1 = len * k / spikes;
    const double w = wid * std::sin(kPi * (k - 0.5) / spikes);
    cairo_curve_to(cr, x0 - len * 0.08, -w * 0.55, x0, -w * 0.9, x1, -w * (k == spikes ? 0 : 1.05));
  }
  for (int k = spikes; k >= 1; --k) {
    const double x0 = len * (k - 0.5) / spikes, x1 = len * (k - 1) / spikes;
    const double w = wid * std::sin(kPi * (k - 0.5) / spikes);
    cairo_curve_to(cr, x0 + len * 0.08, w * 0.9, x0, w * 0.55, x1, k == 1 ? 0 : w * 1.05);
  }
  cairo_close_path(cr);
}

void Holly(cairo_t* cr, double x, double y, double s, double turn) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, turn);
  cairo_scale(cr, s, s);
  const Rgb dark = Hex(0x0d4a24), light = Hex(0x2f9a4a);
  for (double a : {-2.5, -0.55, 1.2}) {
    cairo_save(cr);
    cairo_rotate(cr, a);
    Leaf(cr, 46, 15);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, -15, 0, 15);
    Stop(p, 0, light);
    Stop(p, 1, dark);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    Set(cr, Hex(0x082c14));
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    // The vein.
    Set(cr, Hex(0x8fd18a), 0.7);
    cairo_set_line_width(cr, 1.3);
    cairo_move_to(cr, 3, 0);
    cairo_line_to(cr, 40, 0);
    cairo_stroke(cr);
    cairo_restore(cr);
  }
  for (auto [bx, by] : std::array<std::pair<double, double>, 3>{{{-4, -5}, {6, -2}, {0, 6}}}) {
    cairo_pattern_t* p = cairo_pattern_create_radial(bx - 2, by - 2, 0.5, bx, by, 7);
    Stop(p, 0, Hex(0xffb0a0));
    Stop(p, 0.35, Hex(0xe0202a));
    Stop(p, 1, Hex(0x7a0610));
    cairo_set_source(cr, p);
    cairo_arc(cr, bx, by, 7, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  }
  cairo_restore(cr);
}

// --- the table, drawn in perspective ---------------------------------------------

struct V3 {
  double x, y, z;
};
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Cross(V3 a, V3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
V3 Unit(V3 a) {
  const double l = std::sqrt(Dot(a, a));
  return {a.x / l, a.y / l, a.z / l};
}

// A pinhole camera in table units (centimetres): x across the table, y from the
// front to the back, z up from the snow.
struct Camera {
  V3 eye, fwd, right, up;
  double focal, cx, cy;
  Camera(V3 e, V3 target, double f, double cx_, double cy_) : eye(e), focal(f), cx(cx_), cy(cy_) {
    fwd = Unit(target - e);
    right = Unit(Cross(fwd, {0, 0, 1}));
    up = Cross(right, fwd);
  }
  std::pair<double, double> operator()(V3 p) const {
    const V3 d = p - eye;
    const double depth = Dot(d, fwd);
    return {cx + focal * Dot(d, right) / depth, cy - focal * Dot(d, up) / depth};
  }
};

void Poly(cairo_t* cr, const Camera& cam, std::initializer_list<V3> pts) {
  bool first = true;
  for (const V3& p : pts) {
    const auto [x, y] = cam(p);
    if (first)
      cairo_move_to(cr, x, y);
    else
      cairo_line_to(cr, x, y);
    first = false;
  }
  cairo_close_path(cr);
}

// The table's shape.
// The snow is deep: the legs stand kSnowZ into it.
constexpr double kSnowZ = 16;
constexpr double kHalfW = 33, kLen = 112, kFrontTop = 88, kBackTop = 98, kBodyDepth = 32;
double TopZ(double y) { return kFrontTop + (kBackTop - kFrontTop) * y / kLen; }
// The playfield surface, recessed under the rails.
constexpr double kPfHalfW = 28.5, kPfFront = 4, kPfBack = 106;
double PfZ(double y) { return TopZ(y) - 4.0; }
V3 Pf(double u, double v) { return {u, v, PfZ(v)}; }

// A circle lying on the playfield, as a path.
void PfCircle(cairo_t* cr, const Camera& cam, double u, double v, double r, double lift = 0) {
  for (int k = 0; k <= 40; ++k) {
    const double a = 2 * kPi * k / 40;
    V3 p = Pf(u + r * std::cos(a), v + r * std::sin(a));
    p.z += lift;
    const auto [x, y] = cam(p);
    if (k == 0)
      cairo_move_to(cr, x, y);
    else
      cairo_line_to(cr, x, y);
  }
  cairo_close_path(cr);
}

void FillLinear(cairo_t* cr, double x0, double y0, double x1, double y1,
                std::initializer_list<std::pair<double, Rgb>> stops, bool preserve = false) {
  cairo_pattern_t* p = cairo_pattern_create_linear(x0, y0, x1, y1);
  for (const auto& [at, c] : stops) Stop(p, at, c);
  cairo_set_source(cr, p);
  if (preserve)
    cairo_fill_preserve(cr);
  else
    cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// A bumper: skirt, body and a cap in the theme.
void Bumper(cairo_t* cr, const Camera& cam, double u, double v, Rgb cap) {
  const double r = 5.4, h = 5.5;
  // Shadow and lit ring on the playfield.
  PfCircle(cr, cam, u + 0.8, v - 0.6, r + 1.2);
  Set(cr, {0, 0, 0.05}, 0.35);
  cairo_fill(cr);
  // Body: the outline of the bottom and top circles joined.
  const auto [bx, by] = cam({u, v, PfZ(v)});
  const auto [tx, ty] = cam({u, v, PfZ(v) + h});
  const auto [ex, ey] = cam({u + r, v, PfZ(v)});
  const double rx = ex - bx;
  (void)ey;
  const double ry = rx * 0.42;
  cairo_save(cr);
  cairo_move_to(cr, bx - rx, by);
  cairo_line_to(cr, tx - rx, ty);
  cairo_line_to(cr, tx + rx, ty);
  cairo_line_to(cr, bx + rx, by);
  cairo_save(cr);
  cairo_translate(cr, bx, by);
  cairo_scale(cr, rx, ry);
  cairo_arc(cr, 0, 0, 1, 0, kPi);
  cairo_restore(cr);
  cairo_close_path(cr);
  FillLinear(cr, bx - rx, 0, bx + rx, 0,
             {{0, Hex(0x8a8f9a)}, {0.35, Hex(0xf4f6fa)}, {0.7, Hex(0xc9ced8)}, {1, Hex(0x6d7280)}});
  // Candy-cane stripes on the body.
  cairo_set_line_width(cr, rx * 0.16);
  Set(cr, Hex(0xd42030), 0.9);
  for (int k = -3; k <= 3; ++k) {
    const double x = bx + k * rx * 0.3;
    cairo_move_to(cr, x - rx * 0.12, ty + 2);
    cairo_line_to(cr, x + rx * 0.12, by + ry * 0.8);
  }
  cairo_stroke(cr);
  cairo_restore(cr);
  // Cap.
  cairo_save(cr);
  cairo_translate(cr, tx, ty);
  cairo_scale(cr, rx * 1.08, ry * 1.08);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr);
  cairo_pattern_t* p =
      cairo_pattern_create_radial(tx - rx * 0.3, ty - ry * 0.4, 1, tx, ty, rx * 1.1);
  Stop(p, 0,
       {std::min(1.0, cap.r + 0.45), std::min(1.0, cap.g + 0.45), std::min(1.0, cap.b + 0.45)});
  Stop(p, 0.5, cap);
  Stop(p, 1, {cap.r * 0.55, cap.g * 0.55, cap.b * 0.55});
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  // A little white star on the cap.
  Set(cr, Hex(0xfff6d8), 0.95);
  cairo_save(cr);
  cairo_translate(cr, tx, ty);
  cairo_scale(cr, 1, ry / rx);
  StarPath(cr, 0, 0, rx * 0.5, 0.45);
  cairo_restore(cr);
  cairo_fill(cr);
}

// A flipper lying on the playfield from its pivot towards the tip.
void Flipper(cairo_t* cr, const Camera& cam, double u, double v, double angle) {
  const double len = 10.5, r0 = 1.7, r1 = 0.9, lift = 1.0;
  auto at = [&](double along, double side) {
    const double ca = std::cos(angle), sa = std::sin(angle);
    return V3{u + along * ca - side * sa, v + along * sa + side * ca, PfZ(v) + lift};
  };
  // Outline: round at both ends.
  cairo_new_path(cr);
  for (int k = 0; k <= 16; ++k) {
    const double a = kPi / 2 + kPi * k / 16;
    const auto [x, y] = cam(at(r0 * std::cos(a), r0 * std::sin(a)));
    if (k == 0)
      cairo_move_to(cr, x, y);
    else
      cairo_line_to(cr, x, y);
  }
  for (int k = 0; k <= 16; ++k) {
    const double a = -kPi / 2 + kPi * k / 16;
    const auto [x, y] = cam(at(len + r1 * std::cos(a), r1 * std::sin(a)));
    cairo_line_to(cr, x, y);
  }
  cairo_close_path(cr);
  Set(cr, Hex(0xfbfbfb));
  cairo_fill_preserve(cr);
  Set(cr, Hex(0xc81c2a));
  cairo_set_line_width(cr, 2.2);
  cairo_stroke(cr);
}

// Warm lamp on the playfield: an insert with a glow.
void Lamp(cairo_t* cr, const Camera& cam, double u, double v, double r, Rgb c, bool lit) {
  PfCircle(cr, cam, u, v, r);
  Set(cr, lit ? Rgb{std::min(1.0, c.r + 0.3), std::min(1.0, c.g + 0.3), std::min(1.0, c.b + 0.3)}
              : Rgb{c.r * 0.45, c.g * 0.45, c.b * 0.45});
  cairo_fill(cr);
  if (lit) {
    const auto [x, y] = cam(Pf(u, v));
    const auto [x1, y1] = cam(Pf(u + r, v));
    (void)y1;
    Glow(cr, x, y, (x1 - x) * 3.2, c, 0.55);
  }
}

void DrawTable(cairo_t* cr, const Camera& cam) {
  const double bottom = kFrontTop - kBodyDepth;
  // Soft warm light from the playfield on the snow, and the table's shadow.
  {
    const auto [gx, gy] = cam({0, kLen * 0.45, kSnowZ});
    cairo_save(cr);
    cairo_translate(cr, gx, gy);
    cairo_scale(cr, 1.0, 0.28);
    Glow(cr, 0, 0, 430, Hex(0xffc873), 0.35);
    cairo_restore(cr);
    const auto [sx, sy] = cam({0, kLen * 0.5, kSnowZ});
    const auto [ex, ey] = cam({kHalfW + 8, kLen * 0.5, kSnowZ});
    (void)ey;
    cairo_save(cr);
    cairo_translate(cr, sx, sy);
    cairo_scale(cr, 1.0, 0.45);
    Glow(cr, 0, 0, (ex - sx) * 1.6, Hex(0x3a4c80), 0.45);
    cairo_restore(cr);
  }
  // Legs: chrome, the back ones first.
  auto leg = [&](double x, double y) {
    const auto [x0, y0] = cam({x, y, bottom + 2});
    const auto [x1, y1] = cam({x, y, kSnowZ});
    const auto [xw, yw] = cam({x + 4.5, y, kSnowZ});
    (void)yw;
    const double w = std::max(4.0, xw - x1);
    cairo_move_to(cr, x0 - w * 0.5, y0);
    cairo_line_to(cr, x0 + w * 0.5, y0);
    cairo_line_to(cr, x1 + w * 0.4, y1);
    cairo_line_to(cr, x1 - w * 0.4, y1);
    cairo_close_path(cr);
    FillLinear(cr, x1 - w * 0.5, 0, x1 + w * 0.5, 0,
               {{0, Hex(0x5a6070)}, {0.4, Hex(0xf2f4f8)}, {1, Hex(0x757b88)}});
    // Snow heaped round the foot.
    cairo_save(cr);
    cairo_translate(cr, x1, y1);
    cairo_scale(cr, w * 2.6, w * 0.9);
    cairo_arc(cr, 0, 0, 1, kPi, 2 * kPi);
    cairo_restore(cr);
    cairo_close_path(cr);
    Set(cr, Hex(0xf4f8ff));
    cairo_fill(cr);
  };
  leg(kHalfW - 4, kLen - 6);
  leg(-kHalfW + 4, kLen - 6);

  // The backbox: sides, top, and the lit backglass facing the player.
  const double by0 = kLen - 8, by1 = kLen + 2, bz0 = TopZ(by0) - 2, bz1 = bz0 + 62;
  Poly(cr, cam,
       {{-kHalfW, by0, bz0}, {-kHalfW, by1, bz0}, {-kHalfW, by1, bz1}, {-kHalfW, by0, bz1}});
  Set(cr, Hex(0x6e0e18));
  cairo_fill(cr);
  Poly(cr, cam, {{-kHalfW, by0, bz1}, {kHalfW, by0, bz1}, {kHalfW, by1, bz1}, {-kHalfW, by1, bz1}});
  Set(cr, Hex(0x8a1420));
  cairo_fill(cr);
  {
    Poly(cr, cam,
         {{-kHalfW, by0, bz0}, {kHalfW, by0, bz0}, {kHalfW, by0, bz1}, {-kHalfW, by0, bz1}});
    const auto [fx0, fy0] = cam({-kHalfW, by0, bz1});
    const auto [fx1, fy1] = cam({kHalfW, by0, bz0});
    FillLinear(cr, fx0, fy0, fx0, fy1, {{0, Hex(0xa81c28)}, {1, Hex(0x7a1019)}});
    // The backglass inside a gold frame, drawn in its own flat coordinates
    // (the face is nearly square to the camera).
    const auto [gx0, gy0] = cam({-kHalfW + 3, by0 - 0.1, bz1 - 3});
    const auto [gx1, gy1] = cam({kHalfW - 3, by0 - 0.1, bz1 - 3});
    const auto [gx2, gy2] = cam({-kHalfW + 3, by0 - 0.1, bz0 + 5});
    cairo_save(cr);
    cairo_matrix_t m;
    cairo_matrix_init(&m, (gx1 - gx0) / 500.0, (gy1 - gy0) / 500.0, (gx2 - gx0) / 300.0,
                      (gy2 - gy0) / 300.0, gx0, gy0);
    cairo_transform(cr, &m);
    RoundedRect(cr, 0, 0, 500, 300, 14);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, 300);
    Stop(p, 0, Hex(0x0a1440));
    Stop(p, 1, Hex(0x2a4a9a));
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    Set(cr, Hex(0xf0c860));
    cairo_set_line_width(cr, 8);
    cairo_stroke(cr);
    // Stars, a snowy hill, a tree and the name.
    Rng rng(77);
    for (int k = 0; k < 40; ++k) {
      Set(cr, Hex(0xffffff), rng.In(0.4, 1));
      cairo_arc(cr, rng.In(15, 485), rng.In(12, 200), rng.In(1.2, 2.8), 0, 2 * kPi);
      cairo_fill(cr);
    }
    cairo_move_to(cr, 4, 230);
    cairo_curve_to(cr, 120, 190, 260, 250, 496, 205);
    cairo_line_to(cr, 496, 296);
    cairo_line_to(cr, 4, 296);
    cairo_close_path(cr);
    Set(cr, Hex(0xe8f0ff));
    cairo_fill(cr);
    for (int k = 0; k < 3; ++k) {
      const double tx = 70 + k * 180 + (k == 1 ? 20 : 0), ty = k == 1 ? 230 : 215;
      for (int t = 0; t < 3; ++t) {
        const double w = 34 - t * 8, top = ty - 40 - t * 22;
        cairo_move_to(cr, tx, top);
        cairo_line_to(cr, tx + w, top + 42);
        cairo_line_to(cr, tx - w, top + 42);
        cairo_close_path(cr);
      }
      Set(cr, Hex(0x16603a));
      cairo_fill(cr);
    }
    const Fonts& f = GetFonts();
    UseFont(cr, f.serif, 62);
    const double w = TextWidth(cr, "GLIMMERFALL");
    cairo_move_to(cr, 250 - w / 2, 122);
    cairo_text_path(cr, "GLIMMERFALL");
    Set(cr, Hex(0x5a0a10));
    cairo_set_line_width(cr, 8);
    cairo_stroke_preserve(cr);
    cairo_pattern_t* gold = cairo_pattern_create_linear(0, 70, 0, 135);
    Stop(gold, 0, Hex(0xfff2b0));
    Stop(gold, 0.55, Hex(0xf0c040));
    Stop(gold, 1, Hex(0xc07a10));
    cairo_set_source(cr, gold);
    cairo_fill(cr);
    cairo_pattern_destroy(gold);
    // The glass sheen.
    cairo_move_to(cr, 40, 0);
    cairo_line_to(cr, 130, 0);
    cairo_line_to(cr, 40, 300);
    cairo_line_to(cr, -50, 300);
    cairo_close_path(cr);
    Set(cr, Hex(0xffffff), 0.08);
    cairo_fill(cr);
    cairo_restore(cr);
    (void)fx1;
  }
  // Snow heaped on the backbox.
  {
    cairo_new_path(cr);
    const int n = 24;
    for (int k = 0; k <= n; ++k) {
      const double x = -kHalfW - 1 + (2 * kHalfW + 2) * k / n;
      const double bump = 2.2 + 1.4 * std::sin(k * 1.7) + 0.8 * std::sin(k * 0.6);
      const auto [sx, sy] = cam({x, by0 + 1, bz1 + bump});
      if (k == 0)
        cairo_move_to(cr, sx, sy);
      else
        cairo_line_to(cr, sx, sy);
    }
    for (int k = n; k >= 0; --k) {
      const double x = -kHalfW - 1 + (2 * kHalfW + 2) * k / n;
      const double drip = (k % 5 == 2) ? 5.0 : (k % 3 == 0 ? 2.5 : 1.2);
      const auto [sx, sy] = cam({x, by0 - 0.3, bz1 - drip});
      cairo_line_to(cr, sx, sy);
    }
    cairo_close_path(cr);
    const auto [ax, ay] = cam({0, by0, bz1 + 4});
    const auto [bx2, by2] = cam({0, by0, bz1 - 4});
    FillLinear(cr, ax, ay, bx2, by2, {{0, Hex(0xffffff)}, {1, Hex(0xc8d6f0)}});
  }

  // The cabinet's left side, painted red with a gold trim and snowflakes.
  Poly(cr, cam,
       {{-kHalfW, 0, bottom},
        {-kHalfW, kLen, TopZ(kLen) - kBodyDepth},
        {-kHalfW, kLen, TopZ(kLen)},
        {-kHalfW, 0, kFrontTop}});
  {
    const auto [sx0, sy0] = cam({-kHalfW, 0, kFrontTop});
    const auto [sx1, sy1] = cam({-kHalfW, kLen, bottom});
    FillLinear(cr, sx0, sy0, sx1, sy1, {{0, Hex(0xb01c28)}, {1, Hex(0x6a0c14)}});
    for (int k = 0; k < 7; ++k) {
      const double y = 8 + k * 15, z = bottom + kBodyDepth * 0.5 + (k % 2 ? 3 : -3) + y * 0.09;
      const auto [cx, cy] = cam({-kHalfW, y, z});
      const auto [ex, ey] = cam({-kHalfW, y + 4, z});
      (void)ey;
      Crystal(cr, cx, cy, std::max(3.0, std::abs(ex - cx) * 1.1), k * 0.4, 0.85);
    }
    // Gold trim along the top edge.
    const auto [tx0, ty0] = cam({-kHalfW, 0, kFrontTop - 1.2});
    const auto [tx1, ty1] = cam({-kHalfW, kLen, TopZ(kLen) - 1.2});
    cairo_move_to(cr, tx0, ty0);
    cairo_line_to(cr, tx1, ty1);
    Set(cr, Hex(0xf0c860));
    cairo_set_line_width(cr, 2.5);
    cairo_stroke(cr);
  }
  // Side rails (chrome) and the wooden top rim.
  Poly(cr, cam,
       {{-kHalfW, 0, kFrontTop},
        {-kPfHalfW, kPfFront, kFrontTop},
        {-kPfHalfW, kPfBack, TopZ(kPfBack)},
        {-kHalfW, kLen - 8, TopZ(kLen - 8)}});
  {
    const auto [ax, ay] = cam({-kHalfW, 50, TopZ(50)});
    const auto [bx2, by2] = cam({-kPfHalfW, 50, TopZ(50)});
    FillLinear(cr, ax, ay, bx2, by2,
               {{0, Hex(0x7b808c)}, {0.5, Hex(0xf6f8fc)}, {1, Hex(0x9aa0ac)}});
  }
  Poly(cr, cam,
       {{kHalfW, 0, kFrontTop},
        {kPfHalfW, kPfFront, kFrontTop},
        {kPfHalfW, kPfBack, TopZ(kPfBack)},
        {kHalfW, kLen - 8, TopZ(kLen - 8)}});
  {
    const auto [ax, ay] = cam({kPfHalfW, 50, TopZ(50)});
    const auto [bx2, by2] = cam({kHalfW, 50, TopZ(50)});
    FillLinear(cr, ax, ay, bx2, by2,
               {{0, Hex(0x9aa0ac)}, {0.5, Hex(0xf6f8fc)}, {1, Hex(0x7b808c)}});
  }

  // The playfield: deep blue night with the art of the table.
  Poly(cr, cam,
       {Pf(-kPfHalfW, kPfFront), Pf(kPfHalfW, kPfFront), Pf(kPfHalfW, kPfBack),
        Pf(-kPfHalfW, kPfBack)});
  {
    const auto [ax, ay] = cam(Pf(0, kPfBack));
    const auto [bx2, by2] = cam(Pf(0, kPfFront));
    FillLinear(cr, ax, ay, bx2, by2,
               {{0, Hex(0x0c1a4a)}, {0.6, Hex(0x1c3a86)}, {1, Hex(0x2a52a8)}});
  }
  // Snow drifts painted along the bottom of the playfield.
  cairo_new_path(cr);
  for (int k = 0; k <= 30; ++k) {
    const double u = -kPfHalfW + 2 * kPfHalfW * k / 30.0;
    const double v = kPfFront + 9 + 3.5 * std::sin(k * 0.7) + 2 * std::cos(k * 1.9);
    const auto [x, y] = cam(Pf(u, v));
    if (k == 0)
      cairo_move_to(cr, x, y);
    else
      cairo_line_to(cr, x, y);
  }
  {
    const auto [x0, y0] = cam(Pf(kPfHalfW, kPfFront));
    const auto [x1, y1] = cam(Pf(-kPfHalfW, kPfFront));
    cairo_line_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
  }
  cairo_close_path(cr);
  Set(cr, Hex(0xdfe9fb));
  cairo_fill(cr);
  // Painted stars on the upper playfield.
  {
    Rng rng(5);
    for (int k = 0; k < 26; ++k) {
      const auto [x, y] = cam(Pf(rng.In(-22, 22), rng.In(66, 104)));
      Set(cr, Hex(0xfff8e0), rng.In(0.5, 1));
      cairo_arc(cr, x, y, rng.In(0.6, 1.4), 0, 2 * kPi);
      cairo_fill(cr);
    }
  }
  // The tree in the middle of a ring of twenty fairy lights.
  {
    const double tu = 0, tv = 48;
    for (int t = 0; t < 3; ++t) {
      const double w = 11 - t * 2.8, base = tv - 8 + t * 7.5, top = base + 12;
      Poly(cr, cam, {Pf(tu - w, base), Pf(tu + w, base), Pf(tu, top)});
      Set(cr, t % 2 ? Hex(0x1f8a4a) : Hex(0x16703a));
      cairo_fill(cr);
    }
    Poly(cr, cam, {Pf(-1.2, tv - 10), Pf(1.2, tv - 10), Pf(1.2, tv - 7), Pf(-1.2, tv - 7)});
    Set(cr, Hex(0x6a3a18));
    cairo_fill(cr);
    const std::array<Rgb, 4> baubles = {Hex(0xff3040), Hex(0xffd040), Hex(0x40b0ff), Hex(0xff70d0)};
    Rng rng(9);
    for (int k = 0; k < 10; ++k) {
      const double v = tv - 7 + rng.In(0, 20);
      const double half = 11 - (v - (tv - 8)) * 0.45;
      const double u = rng.In(-0.8, 0.8) * std::max(0.5, half);
      const auto [x, y] = cam(Pf(u, v));
      Glow(cr, x, y, 6, baubles[static_cast<size_t>(k % 4)], 0.6);
      Set(cr, baubles[static_cast<size_t>(k % 4)]);
      cairo_arc(cr, x, y, 1.8, 0, 2 * kPi);
      cairo_fill(cr);
    }
    const auto [sx, sy] = cam(Pf(tu, tv + 16));
    Glow(cr, sx, sy, 22, Hex(0xffe070), 0.8);
    StarPath(cr, sx, sy, 7, 0.45);
    Set(cr, Hex(0xffe680));
    cairo_fill(cr);
    for (int k = 0; k < 20; ++k) {
      const double a = 2 * kPi * k / 20;
      const std::array<Rgb, 4> c = {Hex(0xff4050), Hex(0xffd050), Hex(0x50e070), Hex(0x60b0ff)};
      Lamp(cr, cam, tu + 18 * std::cos(a), tv + 4 + 18 * std::sin(a), 1.1,
           c[static_cast<size_t>(k % 4)], k % 3 != 1);
    }
  }
  // SANTA lanes at the top.
  for (int k = 0; k < 6; ++k) {
    const double u = -17.5 + k * 7;
    Poly(cr, cam, {Pf(u - 0.35, 92), Pf(u + 0.35, 92), Pf(u + 0.35, 101), Pf(u - 0.35, 101)});
    Set(cr, Hex(0xd8dde8));
    cairo_fill(cr);
    if (k < 5) Lamp(cr, cam, u + 3.5, 96, 1.3, Hex(0xffc040), k != 2);
  }
  // Bumpers.
  Bumper(cr, cam, -11, 76, Hex(0xd42030));
  Bumper(cr, cam, 11, 76, Hex(0x1a9a48));
  Bumper(cr, cam, 0, 86, Hex(0xd42030));
  // Award arrows above the flippers.
  {
    const std::array<Rgb, 3> c = {Hex(0x50c0ff), Hex(0xffb040), Hex(0xff60c0)};
    for (int k = 0; k < 3; ++k) {
      const double u = -6 + k * 6;
      Poly(cr, cam, {Pf(u - 2, 27), Pf(u + 2, 27), Pf(u, 31)});
      Set(cr, c[static_cast<size_t>(k)]);
      cairo_fill(cr);
      const auto [x, y] = cam(Pf(u, 28.5));
      Glow(cr, x, y, 16, c[static_cast<size_t>(k)], 0.45);
    }
  }
  // Slingshots and guides.
  for (int side : {-1, 1}) {
    Poly(cr, cam, {Pf(side * 17, 30), Pf(side * 17, 20), Pf(side * 11, 16)});
    Set(cr, Hex(0xf4f4f4));
    cairo_fill_preserve(cr);
    Set(cr, Hex(0xc81c2a));
    cairo_set_line_width(cr, 1.6);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 2.0);
    Set(cr, Hex(0xe6eaf2));
    const auto [x0, y0] = cam(Pf(side * 21, 34));
    const auto [x1, y1] = cam(Pf(side * 21, 20));
    const auto [x2, y2] = cam(Pf(side * 10.5, 14));
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_line_to(cr, x2, y2);
    cairo_stroke(cr);
  }
  Flipper(cr, cam, -9.5, 14, -0.42);
  Flipper(cr, cam, 9.5, 14, kPi + 0.42);
  // A ball on its way.
  {
    const auto [x, y] = cam({5, 38, PfZ(38) + 1.3});
    cairo_pattern_t* p = cairo_pattern_create_radial(x - 2, y - 2, 0.5, x, y, 6);
    Stop(p, 0, Hex(0xffffff));
    Stop(p, 0.5, Hex(0xb8c0cc));
    Stop(p, 1, Hex(0x4a5060));
    cairo_set_source(cr, p);
    cairo_arc(cr, x, y, 5.5, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  }
  // The glass: a sheen across the playfield.
  {
    Poly(cr, cam,
         {Pf(-kPfHalfW, 60), Pf(-kPfHalfW + 8, 60), Pf(kPfHalfW, 98), Pf(kPfHalfW - 8, 98)});
    Set(cr, Hex(0xffffff), 0.07);
    cairo_fill(cr);
  }

  // The front: panel, coin door, lockdown bar; snow on the rim.
  Poly(
      cr, cam,
      {{-kHalfW, 0, bottom}, {kHalfW, 0, bottom}, {kHalfW, 0, kFrontTop}, {-kHalfW, 0, kFrontTop}});
  {
    const auto [ax, ay] = cam({0, 0, kFrontTop});
    const auto [bx2, by2] = cam({0, 0, bottom});
    FillLinear(cr, ax, ay, bx2, by2, {{0, Hex(0xc42432)}, {1, Hex(0x80101c)}});
    Poly(cr, cam,
         {{-9, -0.1, bottom + 3},
          {9, -0.1, bottom + 3},
          {9, -0.1, kFrontTop - 4},
          {-9, -0.1, kFrontTop - 4}});
    Set(cr, Hex(0x2a2e38));
    cairo_fill_preserve(cr);
    Set(cr, Hex(0xf0c860));
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    for (int k = 0; k < 2; ++k) {
      const auto [cx, cy] = cam({-4.0 + k * 8, -0.2, kFrontTop - 9});
      Glow(cr, cx, cy, 12, Hex(0xff4030), 0.8);
      Set(cr, Hex(0xffd0a0));
      cairo_rectangle(cr, cx - 1.5, cy - 4, 3, 8);
      cairo_fill(cr);
    }
  }
  Poly(cr, cam,
       {{-kHalfW, -1.5, kFrontTop + 0.5},
        {kHalfW, -1.5, kFrontTop + 0.5},
        {kHalfW, 4, kFrontTop + 1.5},
        {-kHalfW, 4, kFrontTop + 1.5}});
  {
    const auto [ax, ay] = cam({0, -1.5, kFrontTop + 0.5});
    const auto [bx2, by2] = cam({0, 4, kFrontTop + 1.5});
    FillLinear(cr, ax, ay, bx2, by2,
               {{0, Hex(0x8c929e)}, {0.5, Hex(0xffffff)}, {1, Hex(0xa8aebb)}});
  }
  leg(-kHalfW + 3, 4);
  leg(kHalfW - 3, 4);
}

// --- the scene -------------------------------------------------------------------

void DrawSky(cairo_t* cr) {
  cairo_rectangle(cr, 0, 0, kW, kH);
  FillLinear(cr, 0, 0, 0, 560, {{0, Hex(0x050922)}, {0.55, Hex(0x12205a)}, {1, Hex(0x34508e)}});
  // Moon with its halo.
  Glow(cr, 872, 330, 150, Hex(0xbcd0ff), 0.28);
  cairo_arc(cr, 872, 330, 36, 0, 2 * kPi);
  {
    cairo_pattern_t* p = cairo_pattern_create_radial(861, 319, 4, 872, 330, 36);
    Stop(p, 0, Hex(0xfffff4));
    Stop(p, 1, Hex(0xe6dcb4));
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  }
  for (auto [x, y, r] : std::array<std::array<double, 3>, 4>{
           {{860, 318, 6}, {885, 340, 4.5}, {880, 313, 3.6}, {862, 344, 3.2}}}) {
    Set(cr, Hex(0xcfc49c), 0.55);
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
    cairo_fill(cr);
  }
  Rng rng(2026);
  for (int k = 0; k < 260; ++k) {
    const double x = rng.In(0, kW), y = rng.In(0, 520) * rng.In(0.55, 1.0);
    const double r = rng.In(0.5, 1.6), a = rng.In(0.35, 1.0);
    if (std::hypot(x - 872, y - 330) < 64) continue;
    Set(cr, Hex(0xfdf8e8), a * (1.0 - y / 700.0));
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
    cairo_fill(cr);
  }
  for (int k = 0; k < 14; ++k) {
    const double x = rng.In(30, kW - 30), y = rng.In(20, 380);
    if (std::hypot(x - 872, y - 330) < 84) continue;
    Twinkle(cr, x, y, rng.In(6, 13), Hex(0xfff6d0), rng.In(0.7, 1.0));
  }
}

// A pine tree of three snowy tiers, standing at (x, y), h high.
void Pine(cairo_t* cr, double x, double y, double h, Rgb body) {
  Set(cr, Hex(0x2a1a10));
  cairo_rectangle(cr, x - h * 0.04, y - h * 0.12, h * 0.08, h * 0.14);
  cairo_fill(cr);
  for (int t = 0; t < 3; ++t) {
    const double base = y - h * 0.1 - t * h * 0.26, top = base - h * 0.42,
                 w = h * (0.34 - t * 0.08);
    cairo_move_to(cr, x, top);
    cairo_curve_to(cr, x + w * 0.3, top + h * 0.2, x + w * 0.7, base - h * 0.05, x + w, base);
    cairo_curve_to(cr, x + w * 0.4, base - h * 0.04, x - w * 0.4, base - h * 0.04, x - w, base);
    cairo_curve_to(cr, x - w * 0.7, base - h * 0.05, x - w * 0.3, top + h * 0.2, x, top);
    Set(cr, body);
    cairo_fill(cr);
    // Snow resting on the tier.
    cairo_move_to(cr, x - w * 0.95, base - h * 0.01);
    cairo_curve_to(cr, x - w * 0.4, base - h * 0.09, x + w * 0.4, base - h * 0.09, x + w * 0.95,
                   base - h * 0.01);
    cairo_curve_to(cr, x + w * 0.4, base - h * 0.05, x - w * 0.4, base - h * 0.05, x - w * 0.95,
                   base - h * 0.01);
    Set(cr, Hex(0xeef4ff), 0.95);
    cairo_fill(cr);
    cairo_move_to(cr, x, top);
    cairo_curve_to(cr, x + w * 0.15, top + h * 0.06, x + w * 0.2, top + h * 0.1, x + w * 0.28,
                   top + h * 0.12);
    cairo_curve_to(cr, x + w * 0.1, top + h * 0.1, x - w * 0.1, top + h * 0.1, x - w * 0.28,
                   top + h * 0.12);
    cairo_curve_to(cr, x - w * 0.2, top + h * 0.1, x - w * 0.15, top + h * 0.06, x, top);
    cairo_fill(cr);
  }
}

// A cottage with lit windows and a snowy roof.
void Cottage(cairo_t* cr, double x, double y, double s) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, s, s);
  Set(cr, Hex(0x3a2030));
  cairo_rectangle(cr, 30, -78, 12, 30);
  cairo_fill(cr);
  Set(cr, Hex(0x4a2a3a));
  cairo_rectangle(cr, -40, -50, 80, 50);
  cairo_fill(cr);
  for (int k = 0; k < 2; ++k) {
    Glow(cr, -18 + k * 36, -28, 26, Hex(0xffb040), 0.55);
    Set(cr, Hex(0xffd070));
    cairo_rectangle(cr, -26 + k * 36, -36, 16, 16);
    cairo_fill(cr);
    Set(cr, Hex(0x4a2a3a));
    cairo_rectangle(cr, -18.8 + k * 36, -36, 1.6, 16);
    cairo_rectangle(cr, -26 + k * 36, -28.8, 16, 1.6);
    cairo_fill(cr);
  }
  cairo_move_to(cr, -52, -46);
  cairo_line_to(cr, 0, -88);
  cairo_line_to(cr, 52, -46);
  cairo_curve_to(cr, 30, -40, -30, -40, -52, -46);
  Set(cr, Hex(0xf4f8ff));
  cairo_fill(cr);
  // Smoke from the chimney.
  cairo_set_line_width(cr, 5);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, 36, -82);
  cairo_curve_to(cr, 26, -100, 50, -110, 38, -130);
  Set(cr, Hex(0xc8d4ee), 0.35);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void DrawLand(cairo_t* cr) {
  // Far hills.
  cairo_move_to(cr, 0, 470);
  cairo_curve_to(cr, 140, 420, 260, 455, 380, 470);
  cairo_curve_to(cr, 520, 488, 660, 430, 800, 445);
  cairo_curve_to(cr, 900, 455, 980, 470, kW, 462);
  cairo_line_to(cr, kW, kH);
  cairo_line_to(cr, 0, kH);
  cairo_close_path(cr);
  FillLinear(cr, 0, 420, 0, 560, {{0, Hex(0x9fb4e0)}, {1, Hex(0x6c84bd)}});
  Rng rng(31);
  for (int k = 0; k < 26; ++k) {
    const double x = k < 13 ? rng.In(0, 330) : rng.In(700, kW);
    Pine(cr, x, 478 + rng.In(-6, 18), rng.In(40, 70), Hex(0x123a4a));
  }
  Cottage(cr, 140, 500, 0.85);
  // Nearer snowfield.
  cairo_move_to(cr, 0, 540);
  cairo_curve_to(cr, 180, 505, 330, 545, 512, 532);
  cairo_curve_to(cr, 700, 518, 850, 548, kW, 520);
  cairo_line_to(cr, kW, kH);
  cairo_line_to(cr, 0, kH);
  cairo_close_path(cr);
  FillLinear(cr, 0, 510, 0, kH, {{0, Hex(0xc8d6f2)}, {0.4, Hex(0xe6eefc)}, {1, Hex(0xfafcff)}});
  for (int k = 0; k < 8; ++k) {
    const double x = k < 4 ? rng.In(10, 250) : rng.In(790, 1010);
    Pine(cr, x, 560 + rng.In(0, 40), rng.In(90, 140), Hex(0x0f3040));
  }
  // Drifts: soft blue shadows under gentle curves.
  for (int k = 0; k < 3; ++k) {
    const double y = 610 + k * 52;
    cairo_move_to(cr, 0, y + 30);
    cairo_curve_to(cr, 200 + k * 40, y - 14, 420 - k * 30, y + 36, 640, y + 10);
    cairo_curve_to(cr, 800, y - 8, 920, y + 26, kW, y + 4);
    cairo_line_to(cr, kW, y + 20);
    cairo_curve_to(cr, 900, y + 40, 760, y + 14, 640, y + 26);
    cairo_curve_to(cr, 420, y + 50, 200, y + 6, 0, y + 44);
    cairo_close_path(cr);
    Set(cr, Hex(0x8ea4d4), 0.10);
    cairo_fill(cr);
  }
}

// The GLIMMERFALL logo: gold letters on an arch with a dark outline, snow on
// their tops, and KESTRUNE PINBALL on a red ribbon beneath.
void DrawLogo(cairo_t* cr, double cx, double base_y) {
  const Fonts& f = GetFonts();
  const std::string name = "GLIMMERFALL";
  UseFont(cr, f.serif, 96);
  // Letters along a shallow arch: each one placed and turned on its own.
  double total = 0;
  std::vector<double> adv;
  for (char ch : name) {
    adv.push_back(TextWidth(cr, std::string(1, ch)) + 2);
    total += adv.back();
  }
  const double radius = 2600;
  cairo_new_path(cr);
  double along = -total / 2;
  for (size_t i = 0; i < name.size(); ++i) {
    const double mid = along + adv[i] / 2;
    const double a = mid / radius;
    const double x = cx + radius * std::sin(a), y = base_y + radius * (1 - std::cos(a));
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, a);
    cairo_move_to(cr, -adv[i] / 2 + 1, 0);
    cairo_text_path(cr, std::string(1, name[i]).c_str());
    cairo_restore(cr);
    along += adv[i];
  }
  cairo_path_t* letters = cairo_copy_path(cr);
  // Shadow, then a wide dark outline, a thin gold edge and the gold fill.
  cairo_save(cr);
  cairo_translate(cr, 4, 6);
  cairo_new_path(cr);
  cairo_append_path(cr, letters);
  Set(cr, Hex(0x000010), 0.45);
  cairo_set_line_width(cr, 14);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke_preserve(cr);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_new_path(cr);
  cairo_append_path(cr, letters);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  Set(cr, Hex(0x5c0810));
  cairo_set_line_width(cr, 14);
  cairo_stroke_preserve(cr);
  Set(cr, Hex(0xffe9a0));
  cairo_set_line_width(cr, 4);
  cairo_stroke_preserve(cr);
  {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, base_y - 72, 0, base_y + 20);
    Stop(p, 0, Hex(0xfff8d0));
    Stop(p, 0.45, Hex(0xf6c944));
    Stop(p, 0.7, Hex(0xdc9418));
    Stop(p, 1, Hex(0xa85a08));
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  }
  // Snow on the letters: the letters less themselves moved down, i.e. their
  // upper edges, in soft white.
  cairo_push_group(cr);
  cairo_new_path(cr);
  cairo_append_path(cr, letters);
  Set(cr, Hex(0xffffff));
  cairo_set_line_width(cr, 5);
  cairo_stroke_preserve(cr);
  cairo_fill(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_DEST_OUT);
  cairo_save(cr);
  cairo_translate(cr, 0, 9);
  cairo_new_path(cr);
  cairo_append_path(cr, letters);
  cairo_set_source_rgba(cr, 0, 0, 0, 1);
  cairo_set_line_width(cr, 9);
  cairo_stroke_preserve(cr);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_pop_group_to_source(cr);
  cairo_paint(cr);
  cairo_new_path(cr);
  cairo_path_destroy(letters);
  // Glints.
  Twinkle(cr, cx - total / 2 + 22, base_y - 64, 16, Hex(0xffffff), 1.0);
  Twinkle(cr, cx + total / 2 - 30, base_y - 58, 12, Hex(0xffffff), 0.95);
  Twinkle(cr, cx + 40, base_y - 80, 9, Hex(0xfff2c0), 0.9);

  // The ribbon with the maker's name.
  UseFont(cr, f.sans, 24);
  const std::string maker = "KESTRUNE  PINBALL";
  const double tw = TextWidth(cr, maker) + 60, ry = base_y + 34, rh = 38;
  auto tail = [&](double dir) {
    const double x0 = cx + dir * (tw / 2 - 10);
    cairo_move_to(cr, x0, ry + 8);
    cairo_line_to(cr, x0 + dir * 56, ry + 8);
    cairo_line_to(cr, x0 + dir * 40, ry + 8 + rh / 2);
    cairo_line_to(cr, x0 + dir * 56, ry + 8 + rh);
    cairo_line_to(cr, x0, ry + 8 + rh);
    cairo_close_path(cr);
    Set(cr, Hex(0x7a0c16));
    cairo_fill(cr);
  };
  tail(-1);
  tail(1);
  cairo_move_to(cr, cx - tw / 2, ry);
  cairo_curve_to(cr, cx - tw / 4, ry - 6, cx + tw / 4, ry - 6, cx + tw / 2, ry);
  cairo_line_to(cr, cx + tw / 2, ry + rh);
  cairo_curve_to(cr, cx + tw / 4, ry + rh - 6, cx - tw / 4, ry + rh - 6, cx - tw / 2, ry + rh);
  cairo_close_path(cr);
  FillLinear(cr, 0, ry, 0, ry + rh, {{0, Hex(0xe0303c)}, {1, Hex(0xa0121e)}}, true);
  Set(cr, Hex(0xf0c860));
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  cairo_move_to(cr, cx - TextWidth(cr, maker) / 2, ry + rh / 2 + 6);
  cairo_text_path(cr, maker.c_str());
  Set(cr, Hex(0x4a0008), 0.8);
  cairo_set_line_width(cr, 3);
  cairo_stroke_preserve(cr);
  Set(cr, Hex(0xfff4d8));
  cairo_fill(cr);
  Holly(cr, cx - tw / 2 - 4, ry + rh / 2, 0.55, 0.3);
  Holly(cr, cx + tw / 2 + 4, ry + rh / 2, 0.55, kPi - 0.3);
}

void DrawSnowfall(cairo_t* cr, uint64_t seed) {
  Rng rng(seed);
  for (int k = 0; k < 340; ++k) {
    const double x = rng.In(0, kW), y = rng.In(0, kH), r = rng.In(0.7, 2.6);
    Set(cr, Hex(0xffffff), rng.In(0.45, 0.95));
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
    cairo_fill(cr);
  }
  for (int k = 0; k < 16; ++k) {
    const double x = rng.In(20, kW - 20), y = rng.In(20, kH - 20);
    Crystal(cr, x, y, rng.In(5, 11), rng.In(0, kPi), rng.In(0.55, 0.85));
  }
}

// A card's border: a gold double rule with holly at two corners.
void DrawBorder(cairo_t* cr) {
  Set(cr, Hex(0xf0c860), 0.9);
  cairo_set_line_width(cr, 3);
  RoundedRect(cr, 12, 12, kW - 24, kH - 24, 18);
  cairo_stroke(cr);
  cairo_set_line_width(cr, 1.2);
  RoundedRect(cr, 19, 19, kW - 38, kH - 38, 13);
  cairo_stroke(cr);
  Holly(cr, 44, 44, 1.0, 0.75);
  Holly(cr, kW - 44, kH - 44, 1.0, 0.75 + kPi);
}

std::vector<uint8_t> ToRgb(cairo_surface_t* s, int w, int h) {
  cairo_surface_flush(s);
  const unsigned char* d = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  std::vector<uint8_t> rgb(static_cast<size_t>(w * h) * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t px;
      std::copy_n(d + y * stride + x * 4, 4, reinterpret_cast<unsigned char*>(&px));
      uint8_t* o = &rgb[static_cast<size_t>(y * w + x) * 3];
      o[0] = static_cast<uint8_t>(px >> 16);
      o[1] = static_cast<uint8_t>(px >> 8);
      o[2] = static_cast<uint8_t>(px);
    }
  return rgb;
}

// An ARGB surface over a copy of `under`, so that edges blend into it.
cairo_surface_t* SurfaceOver(const std::vector<uint8_t>& under, int w, int h) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  cairo_surface_flush(s);
  unsigned char* d = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &under[static_cast<size_t>(y * w + x) * 3];
      const uint32_t px = 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
      std::copy_n(reinterpret_cast<const unsigned char*>(&px), 4, d + y * stride + x * 4);
    }
  cairo_surface_mark_dirty(s);
  return s;
}

// Coverage of what a drawing function puts down, measured on its own.
template <typename Draw>
std::vector<uint8_t> Coverage(int w, int h, Draw draw) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  cairo_t* cr = cairo_create(s);
  draw(cr);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  const unsigned char* d = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  std::vector<uint8_t> cov(static_cast<size_t>(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) cov[static_cast<size_t>(y * w + x)] = d[y * stride + x];
  cairo_surface_destroy(s);
  return cov;
}

template <typename Draw>
ArtFrame DrawFrame(int w, int h, const std::vector<uint8_t>& under, Draw draw) {
  ArtFrame f;
  if (under.size() != static_cast<size_t>(w * h) * 3 || !GetFonts().ok()) return f;
  cairo_surface_t* s = SurfaceOver(under, w, h);
  cairo_t* cr = cairo_create(s);
  draw(cr);
  cairo_destroy(cr);
  f.rgb = ToRgb(s, w, h);
  cairo_surface_destroy(s);
  f.coverage = Coverage(w, h, draw);
  return f;
}

// Snow lying along the top edge of a panel from x0 to x1 at y, with a few
// drips down its face.
void SnowCap(cairo_t* cr, double x0, double x1, double y, double depth, uint64_t seed) {
  Rng rng(seed);
  cairo_new_path(cr);
  cairo_move_to(cr, x0 + 2, y + 1);
  const int n = static_cast<int>((x1 - x0) / 14);
  for (int k = 0; k <= n; ++k) {
    const double x = x0 + (x1 - x0) * k / n;
    cairo_line_to(cr, x, y - rng.In(1.0, 3.2));
  }
  cairo_line_to(cr, x1 - 2, y + 1);
  for (int k = n; k >= 0; --k) {
    const double x = x0 + (x1 - x0) * k / n;
    const double d = (k % 4 == 1) ? depth * rng.In(1.4, 2.0) : depth * rng.In(0.5, 0.9);
    cairo_line_to(cr, x, y + d);
  }
  cairo_close_path(cr);
  FillLinear(cr, 0, y - 3, 0, y + depth * 2, {{0, Hex(0xffffff)}, {1, Hex(0xd0def6)}});
}

struct ItemColours {
  Rgb top, bottom, edge, text;
};

ItemColours ColoursOf(ItemLook look) {
  switch (look) {
    case ItemLook::kHover:
      return {Hex(0xe8404a), Hex(0xa8141f), Hex(0xffe680), Hex(0xfff2c0)};
    case ItemLook::kPressed:
      return {Hex(0x7a0c16), Hex(0x9e1a24), Hex(0xf0c860), Hex(0xf6dca0)};
    case ItemLook::kSelected:
      return {Hex(0x2a9a52), Hex(0x0f5a2a), Hex(0xffe680), Hex(0xffffff)};
    case ItemLook::kNormal:
    default:
      return {Hex(0xc42a34), Hex(0x84101a), Hex(0xd8b050), Hex(0xfff4e0)};
  }
}

}  // namespace

std::vector<uint8_t> DrawWinterScene(SceneText text) {
  if (!GetFonts().ok()) return {};
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kW, kH);
  cairo_t* cr = cairo_create(s);
  DrawSky(cr);
  DrawLand(cr);
  const Camera cam({-70, -250, 300}, {0, 50, 60}, 1000, 505, 548);
  // The lit table throws a warm halo into the night.
  {
    const auto [hx, hy] = cam({0, kLen - 8, TopZ(kLen) + 20});
    Glow(cr, hx, hy, 260, Hex(0xffd890), 0.22);
  }
  DrawTable(cr, cam);
  DrawSnowfall(cr, 11);
  DrawLogo(cr, kW / 2.0, 150);
  DrawBorder(cr);
  if (text == SceneText::kTitle) {
    const Fonts& f = GetFonts();
    UseFont(cr, f.sans, 28);
    const std::string prompt = "Press any key";
    const double w = TextWidth(cr, prompt);
    cairo_move_to(cr, (kW - w) / 2, 738);
    cairo_text_path(cr, prompt.c_str());
    Set(cr, Hex(0xffffff));
    cairo_set_line_width(cr, 6);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
    Set(cr, Hex(0xa8141f));
    cairo_fill(cr);
  }
  cairo_destroy(cr);
  std::vector<uint8_t> rgb = ToRgb(s, kW, kH);
  cairo_surface_destroy(s);
  return rgb;
}

ArtFrame DrawMenuItem(const std::string& text, int w, int h, ItemLook look, bool title,
                      const std::vector<uint8_t>& under) {
  const Fonts& fonts = GetFonts();
  return DrawFrame(w, h, under, [&](cairo_t* cr) {
    // The panel sits 3 px inside its box so a glow has room around it.
    const double m = 3, r = title ? 16 : 12, px = m, py = m + 2, pw = w - 2 * m, ph = h - 2 * m - 2;
    if (title) {
      // A green ribbon with gold edges and holly at both ends.
      RoundedRect(cr, px, py, pw, ph, r);
      FillLinear(cr, 0, py, 0, py + ph, {{0, Hex(0x2a8a4a)}, {1, Hex(0x0c4a22)}}, true);
      Set(cr, Hex(0xf0c860));
      cairo_set_line_width(cr, 3);
      cairo_stroke(cr);
      RoundedRect(cr, px + 5, py + 5, pw - 10, ph - 10, r - 4);
      Set(cr, Hex(0xf0c860), 0.6);
      cairo_set_line_width(cr, 1);
      cairo_stroke(cr);
      SnowCap(cr, px + 6, px + pw - 6, py + 1, 4, 3);
      UseFont(cr, fonts.serif, 30);
      const double tw = TextWidth(cr, text);
      cairo_move_to(cr, (w - tw) / 2, py + ph / 2 + 11);
      cairo_text_path(cr, text.c_str());
      Set(cr, Hex(0x062a12));
      cairo_set_line_width(cr, 5);
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      cairo_stroke_preserve(cr);
      FillLinear(cr, 0, py + 12, 0, py + ph - 10, {{0, Hex(0xfff4c0)}, {1, Hex(0xf0b030)}});
      Holly(cr, px + 22, py + ph / 2 + 4, 0.42, 0.2);
      Holly(cr, px + pw - 22, py + ph / 2 + 4, 0.42, kPi - 0.2);
      return;
    }
    const ItemColours c = ColoursOf(look);
    if (look == ItemLook::kHover || look == ItemLook::kSelected) {
      // A warm glow around the panel.
      for (int k = 3; k >= 1; --k) {
        RoundedRect(cr, px - k, py - k, pw + 2 * k, ph + 2 * k, r + k);
        Set(cr, Hex(0xffd060), 0.22);
        cairo_fill(cr);
      }
    }
    RoundedRect(cr, px, py, pw, ph, r);
    FillLinear(cr, 0, py, 0, py + ph, {{0, c.top}, {1, c.bottom}}, true);
    Set(cr, c.edge);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    if (look == ItemLook::kPressed) {
      // Pressed in: a shadow along the inner top edge.
      RoundedRect(cr, px + 2, py + 2, pw - 4, 8, 6);
      Set(cr, Hex(0x000000), 0.25);
      cairo_fill(cr);
    } else {
      // A sheen on the upper half.
      RoundedRect(cr, px + 4, py + 3, pw - 8, ph * 0.42, r - 4);
      Set(cr, Hex(0xffffff), 0.12);
      cairo_fill(cr);
    }
    SnowCap(cr, px + 8, px + pw - 8, py + 1, 3.5, static_cast<uint64_t>(text.size()) * 7 + 1);
    // Ribbon stripe and bow on the left, star on the right when selected.
    Holly(cr, px + 20, py + ph / 2 + 3, 0.34, 0.35);
    if (look == ItemLook::kSelected) {
      StarPath(cr, px + pw - 22, py + ph / 2 + 1, 9, 0.45);
      Set(cr, Hex(0xffe680));
      cairo_fill(cr);
    }
    const double shift = look == ItemLook::kPressed ? 1 : 0;
    // Long words shrink to stay clear of the holly and the star.
    double size = 21;
    UseFont(cr, fonts.sans, size);
    while (size > 14 && TextWidth(cr, text) > w - 84) UseFont(cr, fonts.sans, size -= 0.5);
    const double tw = TextWidth(cr, text);
    cairo_move_to(cr, (w - tw) / 2 + shift, py + ph / 2 + size * 0.37 + shift);
    cairo_text_path(cr, text.c_str());
    Set(cr, Hex(0x3a0008), 0.85);
    cairo_set_line_width(cr, 3.5);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
    Set(cr, c.text);
    cairo_fill(cr);
  });
}

ArtFrame DrawLoadingIndicator(int frame, int w, int h, const std::vector<uint8_t>& under) {
  const Fonts& fonts = GetFonts();
  return DrawFrame(w, h, under, [&](cairo_t* cr) {
    const double m = 2, r = 12;
    RoundedRect(cr, m, m + 2, w - 2 * m, h - 2 * m - 2, r);
    const bool done = frame == 0;
    FillLinear(
        cr, 0, m, 0, h - m,
        {{0, done ? Hex(0x2a9a52) : Hex(0xc42a34)}, {1, done ? Hex(0x0f5a2a) : Hex(0x84101a)}},
        true);
    Set(cr, Hex(0xf0c860));
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    SnowCap(cr, m + 8, w - m - 8, m + 3, 3.5, 17);
    UseFont(cr, fonts.sans, 21);
    const std::string text = done ? "Ready" : "Loading";
    const double tw = TextWidth(cr, text);
    cairo_move_to(cr, (w - tw) / 2 - (done ? 0 : 22), h / 2.0 + 9);
    cairo_text_path(cr, text.c_str());
    Set(cr, Hex(0x3a0008), 0.85);
    cairo_set_line_width(cr, 3.5);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
    Set(cr, Hex(0xfff4e0));
    cairo_fill(cr);
    if (done) {
      Holly(cr, 24, h / 2.0 + 3, 0.34, 0.35);
      Holly(cr, w - 24, h / 2.0 + 3, 0.34, kPi - 0.35);
      return;
    }
    // Three fairy lights on a wire that blink in turn.
    const double x0 = w - 72, y0 = h / 2.0 + 2;
    Set(cr, Hex(0x1a1a10));
    cairo_set_line_width(cr, 1.4);
    cairo_move_to(cr, x0 - 8, y0 - 8);
    cairo_curve_to(cr, x0 + 10, y0 + 2, x0 + 40, y0 + 2, x0 + 60, y0 - 8);
    cairo_stroke(cr);
    const std::array<Rgb, 3> bulb = {Hex(0xffd040), Hex(0x50e070), Hex(0x60b0ff)};
    for (int k = 0; k < 3; ++k) {
      const bool lit = (k % 2 == 0) == (frame == 1);
      const double bx = x0 + 4 + k * 22, by = y0 + 4;
      if (lit) Glow(cr, bx, by, 15, bulb[static_cast<size_t>(k)], 0.8);
      cairo_save(cr);
      cairo_translate(cr, bx, by);
      cairo_scale(cr, 4.2, 6);
      cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
      cairo_restore(cr);
      const Rgb c = bulb[static_cast<size_t>(k)];
      Set(cr, lit ? c : Rgb{c.r * 0.35, c.g * 0.35, c.b * 0.35});
      cairo_fill(cr);
      Set(cr, Hex(0x404040));
      cairo_rectangle(cr, bx - 2, by - 9, 4, 4);
      cairo_fill(cr);
    }
  });
}

}  // namespace tablegen
