#include "art.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

namespace tablegen {

namespace {

using json = nlohmann::json;

constexpr double kPi = 3.14159265358979323846;
constexpr int kMargin = 48;  // the scene grid starts at playfield (−48, −48)

struct Rgba {
  double r = 0, g = 0, b = 0, a = 1;
};

Rgba ParseRgba(const json& j) {
  const std::string s = j.get<std::string>();
  if (s.size() != 7 && s.size() != 9) throw std::runtime_error("bad colour " + s);
  if (s[0] != '#') throw std::runtime_error("bad colour " + s);
  auto hex = [&](size_t i) { return std::stoi(s.substr(i, 2), nullptr, 16) / 255.0; };
  Rgba c{hex(1), hex(3), hex(5), s.size() == 9 ? hex(7) : 1.0};
  return c;
}

Rgba ColourOr(const json& j, const char* key, Rgba fallback) {
  return j.contains(key) ? ParseRgba(j.at(key)) : fallback;
}

double Num(const json& j, const char* key, double fallback) {
  return j.contains(key) ? j.at(key).get<double>() : fallback;
}

// A small deterministic generator for scattered stars and flakes.
struct Lcg {
  uint32_t s;
  explicit Lcg(uint32_t seed) : s(seed * 2654435761u + 12345u) {}
  double Next() {
    s = s * 1664525u + 1013904223u;
    return static_cast<double>(s >> 8) / static_cast<double>(1u << 24);
  }
  double Range(double a, double b) { return a + (b - a) * Next(); }
};

// Font faces stay open for the life of the program (Cairo may keep them cached).
cairo_font_face_t* FontFace(const std::string& path) {
  static FT_Library lib = nullptr;
  static std::map<std::string, cairo_font_face_t*> faces;
  if (auto it = faces.find(path); it != faces.end()) return it->second;
  if (!lib && FT_Init_FreeType(&lib) != 0) throw std::runtime_error("FreeType does not start");
  FT_Face face = nullptr;
  if (FT_New_Face(lib, path.c_str(), 0, &face) != 0)
    throw std::runtime_error("cannot open font " + path);
  cairo_font_face_t* cf = cairo_ft_font_face_create_for_ft_face(face, 0);
  faces[path] = cf;
  return cf;
}

struct Painter {
  cairo_t* cr;
  const Layout& l;
  std::map<std::string, std::string> fonts;
  double tall = 1.0;

  void Set(const Rgba& c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

  // Where an item sits: a point, or the name of a part of the table.
  Vec2 Anchor(const json& item) const {
    Vec2 p;
    if (item.contains("at")) {
      const json& at = item.at("at");
      if (at.is_array()) {
        p = {at.at(0).get<float>(), at.at(1).get<float>()};
      } else {
        p = Named(at.get<std::string>());
      }
    }
    if (item.contains("offset")) {
      p.x += item.at("offset").at(0).get<float>();
      p.y += item.at("offset").at(1).get<float>();
    }
    return p;
  }

  Vec2 Named(const std::string& name) const {
    for (const Lamp& lp : l.lamps)
      if (lp.name == name) return lp.c;
    for (const Bumper& b : l.bumpers)
      if (b.name == name) return b.c;
    for (const Flipper& f : l.flippers)
      if (f.name == name) return f.pivot;
    for (const DropTarget& t : l.targets)
      if (t.name == name) return t.centre;
    if (name == "kicker") return l.kicker.c;
    if (name == "hole") return l.hole_c;
    if (name == "spinner") return l.spinner_c;
    if (name == "bank")
      return {(l.bank_face0.x + l.bank_face1.x) * 0.5f, (l.bank_face0.y + l.bank_face1.y) * 0.5f};
    if (name == "bonus") return BonusCentre();
    for (const Wall& w : l.walls) {
      if (w.name != name) continue;
      if (w.shape.points.empty()) return w.shape.c;
      Vec2 c;
      for (const Vec2& q : w.shape.points) c = {c.x + q.x, c.y + q.y};
      const float n = static_cast<float>(w.shape.points.size());
      return {c.x / n, c.y / n};
    }
    throw std::runtime_error("no part named " + name + " to place art by");
  }

  std::vector<const Lamp*> BonusLamps() const {
    std::vector<const Lamp*> out;
    for (const Lamp& lp : l.lamps)
      if (lp.name.rfind("LBON_", 0) == 0) out.push_back(&lp);
    return out;
  }
  Vec2 BonusCentre() const {
    const auto lamps = BonusLamps();
    if (lamps.empty()) throw std::runtime_error("no bonus lamps");
    Vec2 c;
    for (const Lamp* lp : lamps) c = {c.x + lp->c.x, c.y + lp->c.y};
    return {c.x / static_cast<float>(lamps.size()), c.y / static_cast<float>(lamps.size())};
  }

  void Font(const json& item, double size) {
    const std::string which = item.contains("font") ? item.at("font").get<std::string>() : "bold";
    auto it = fonts.find(which);
    if (it == fonts.end()) throw std::runtime_error("no font " + which);
    cairo_set_font_face(cr, FontFace(it->second));
    cairo_set_font_size(cr, size);
  }

  // Centred lines of text with an optional outline.
  void Text(const json& item) {
    const Vec2 at = Anchor(item);
    const double size = Num(item, "size", 16);
    Font(item, size);
    const std::string text = item.at("text");
    std::vector<std::string> lines;
    std::stringstream ss(text);
    for (std::string line; std::getline(ss, line, '\n');) lines.push_back(line);
    const double gap = size * Num(item, "line", 1.0);
    cairo_save(cr);
    cairo_translate(cr, at.x, at.y);
    cairo_rotate(cr, Num(item, "angle", 0) * kPi / 180.0);
    // Text is drawn taller than wide by default: the camera looks at the table
    // at a slant, which shortens everything along the table.
    const double sx = Num(item, "stretch", 1.0), sy = Num(item, "tall", tall);
    cairo_scale(cr, sx, sy);
    const double top = -gap * (static_cast<double>(lines.size()) - 1.0) * 0.5;
    cairo_new_path(cr);
    for (size_t i = 0; i < lines.size(); ++i) {
      cairo_text_extents_t e;
      cairo_text_extents(cr, lines[i].c_str(), &e);
      cairo_move_to(cr, -e.x_advance * 0.5, top + gap * static_cast<double>(i) + size * 0.36);
      cairo_text_path(cr, lines[i].c_str());
    }
    if (item.contains("outline")) {
      Set(ParseRgba(item.at("outline")));
      cairo_set_line_width(cr, Num(item, "outline_width", size * 0.16) / std::sqrt(sx * sy));
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      cairo_stroke_preserve(cr);
    }
    if (item.contains("gradient")) {
      const Rgba a = ParseRgba(item.at("gradient").at(0)), b = ParseRgba(item.at("gradient").at(1));
      cairo_pattern_t* g = cairo_pattern_create_linear(
          0, top - size * 0.5, 0, top + gap * (lines.size() - 1.0) + size * 0.4);
      cairo_pattern_add_color_stop_rgba(g, 0, a.r, a.g, a.b, a.a);
      cairo_pattern_add_color_stop_rgba(g, 1, b.r, b.g, b.b, b.a);
      cairo_set_source(cr, g);
      cairo_fill(cr);
      cairo_pattern_destroy(g);
    } else {
      Set(ColourOr(item, "colour", {1, 1, 1, 1}));
      cairo_fill(cr);
    }
    cairo_restore(cr);
  }

  void Star(double x, double y, double r_out, double r_in, int points, double turn) {
    cairo_new_path(cr);
    for (int k = 0; k < points * 2; ++k) {
      const double a = turn + kPi * k / points - kPi / 2;
      const double r = k % 2 ? r_in : r_out;
      if (k == 0)
        cairo_move_to(cr, x + r * std::cos(a), y + r * std::sin(a));
      else
        cairo_line_to(cr, x + r * std::cos(a), y + r * std::sin(a));
    }
    cairo_close_path(cr);
  }

  // Six-armed flake with side branches.
  void Flake(double x, double y, double r, const Rgba& c, double width) {
    Set(c);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int k = 0; k < 6; ++k) {
      const double a = kPi / 3 * k;
      const double cx = std::cos(a), sy = std::sin(a);
      cairo_move_to(cr, x, y);
      cairo_line_to(cr, x + r * cx, y + r * sy);
      for (double t : {0.5, 0.75}) {
        const double bx = x + r * t * cx, by = y + r * t * sy;
        const double bl = r * 0.28;
        for (double s : {-1.0, 1.0}) {
          const double ba = a + s * kPi / 4;
          cairo_move_to(cr, bx, by);
          cairo_line_to(cr, bx + bl * std::cos(ba), by + bl * std::sin(ba));
        }
      }
    }
    cairo_stroke(cr);
  }

  void Sky(const json& j) {
    const Rgba top = ParseRgba(j.at("top")), mid = ParseRgba(j.at("middle")),
               bottom = ParseRgba(j.at("bottom"));
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, l.height);
    cairo_pattern_add_color_stop_rgb(g, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(g, Num(j, "middle_at", 0.5), mid.r, mid.g, mid.b);
    cairo_pattern_add_color_stop_rgb(g, 1, bottom.r, bottom.g, bottom.b);
    cairo_set_source(cr, g);
    cairo_rectangle(cr, 0, 0, l.width, l.height);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
  }

  void Stars(const json& j) {
    Lcg rnd(j.at("seed").get<uint32_t>());
    const int n = j.at("count");
    const double y0 = Num(j, "y0", 0), y1 = Num(j, "y1", l.height);
    const Rgba c = ParseRgba(j.at("colour"));
    for (int i = 0; i < n; ++i) {
      const double x = rnd.Range(8, l.width - 8), y = rnd.Range(y0, y1);
      const double s = rnd.Range(0.6, 1.0);
      // Fainter towards the bottom of the star field.
      const double fade = 1.0 - 0.6 * (y - y0) / std::max(1.0, y1 - y0);
      Set({c.r, c.g, c.b, c.a * fade * s});
      if (rnd.Next() < 0.18) {
        Star(x, y, 5.5 * s, 1.6 * s, 4, 0);
        cairo_fill(cr);
      } else {
        cairo_arc(cr, x, y, 1.3 * s + 0.4, 0, 2 * kPi);
        cairo_fill(cr);
      }
    }
  }

  void Snowflakes(const json& j) {
    Lcg rnd(j.at("seed").get<uint32_t>());
    const int n = j.at("count");
    const double y0 = Num(j, "y0", 0), y1 = Num(j, "y1", l.height);
    const double s0 = j.at("size").at(0), s1 = j.at("size").at(1);
    const Rgba c = ParseRgba(j.at("colour"));
    for (int i = 0; i < n; ++i) {
      const double x = rnd.Range(10, l.width - 10), y = rnd.Range(y0, y1), r = rnd.Range(s0, s1);
      Flake(x, y, r, c, std::max(1.0, r * 0.14));
    }
  }

  // A smooth closed outline through the points (Catmull-Rom as Béziers).
  void Smooth(const json& pts) {
    std::vector<Vec2> p;
    for (const auto& q : pts) p.push_back({q.at(0).get<float>(), q.at(1).get<float>()});
    const size_t n = p.size();
    cairo_new_path(cr);
    cairo_move_to(cr, p[0].x, p[0].y);
    for (size_t i = 0; i < n; ++i) {
      const Vec2 p0 = p[(i + n - 1) % n], p1 = p[i], p2 = p[(i + 1) % n], p3 = p[(i + 2) % n];
      cairo_curve_to(cr, p1.x + (p2.x - p0.x) / 6.0, p1.y + (p2.y - p0.y) / 6.0,
                     p2.x - (p3.x - p1.x) / 6.0, p2.y - (p3.y - p1.y) / 6.0, p2.x, p2.y);
    }
    cairo_close_path(cr);
  }

  void Drift(const json& j) {
    Smooth(j.at("points"));
    const Rgba a = ParseRgba(j.at("colour")), b = ParseRgba(j.at("shade"));
    double x0, y0, x1, y1;
    cairo_path_extents(cr, &x0, &y0, &x1, &y1);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgba(g, 0, a.r, a.g, a.b, a.a);
    cairo_pattern_add_color_stop_rgba(g, 1, b.r, b.g, b.b, b.a);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    Set(ColourOr(j, "edge", {1, 1, 1, 0.7}));
    cairo_set_line_width(cr, 2.0);
    cairo_stroke(cr);
  }

  void Panel(const json& j) {
    const Vec2 c = Anchor(j);
    const double w = j.at("w"), h = j.at("h"), r = Num(j, "radius", 8);
    const double x = c.x - w / 2, y = c.y - h / 2;
    cairo_new_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
    Set(ParseRgba(j.at("colour")));
    cairo_fill_preserve(cr);
    if (j.contains("edge")) {
      Set(ParseRgba(j.at("edge")));
      cairo_set_line_width(cr, Num(j, "edge_width", 3));
      cairo_stroke(cr);
    }
    cairo_new_path(cr);
  }

  void Disc(const json& j) {
    const Vec2 c = Anchor(j);
    const double r = j.at("r");
    const Rgba a = ParseRgba(j.at("colour"));
    const Rgba b = ColourOr(j, "rim", a);
    cairo_pattern_t* g = cairo_pattern_create_radial(c.x, c.y, 0, c.x, c.y, r);
    cairo_pattern_add_color_stop_rgba(g, 0, a.r, a.g, a.b, a.a);
    cairo_pattern_add_color_stop_rgba(g, 1, b.r, b.g, b.b, b.a);
    cairo_set_source(cr, g);
    cairo_arc(cr, c.x, c.y, r, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
  }

  void StarItem(const json& j) {
    const Vec2 c = Anchor(j);
    const double r = j.at("r");
    Star(c.x, c.y, r, r * Num(j, "inner", 0.45), static_cast<int>(Num(j, "points", 5)),
         Num(j, "turn", 0) * kPi / 180);
    Set(ParseRgba(j.at("colour")));
    cairo_fill_preserve(cr);
    Set(ColourOr(j, "edge", {0.5, 0.3, 0.0, 1}));
    cairo_set_line_width(cr, std::max(1.0, r * 0.08));
    cairo_stroke(cr);
  }

  void FlakeItem(const json& j) {
    const Vec2 c = Anchor(j);
    const double r = j.at("r");
    Flake(c.x, c.y, r, ParseRgba(j.at("colour")), Num(j, "width", std::max(1.5, r * 0.12)));
  }

  // A fir in tiers from its base centre up to its star.
  void Tree(const json& j) {
    const Vec2 base = Anchor(j);
    const double w = j.at("width"), h = j.at("height");
    const int tiers = static_cast<int>(Num(j, "tiers", 4));
    const Rgba green = ParseRgba(j.at("colour")), dark = ParseRgba(j.at("dark"));
    const Rgba trunk = ColourOr(j, "trunk", {0.35, 0.2, 0.1, 1});
    const double trunk_h = h * 0.1;
    Set(trunk);
    cairo_rectangle(cr, base.x - w * 0.07, base.y - trunk_h, w * 0.14, trunk_h);
    cairo_fill(cr);
    const double body = h - trunk_h;
    for (int t = 0; t < tiers; ++t) {
      // Lower tiers are wider; each overlaps the one above.
      const double k0 = static_cast<double>(t) / tiers, k1 = static_cast<double>(t + 1) / tiers;
      const double yb = base.y - trunk_h - body * k0 * 0.85;
      const double yt = base.y - trunk_h - body * std::min(1.0, k1 * 0.85 + 0.25);
      const double half = w * 0.5 * (1.0 - k0 * 0.72);
      cairo_new_path(cr);
      cairo_move_to(cr, base.x, yt);
      cairo_curve_to(cr, base.x + half * 0.4, yt + (yb - yt) * 0.5, base.x + half * 0.8, yb - 4,
                     base.x + half, yb);
      // A scalloped lower edge.
      const int bumps = 3 + (tiers - t);
      for (int b = 0; b < bumps; ++b) {
        const double xa = base.x + half - 2 * half * b / bumps,
                     xb = base.x + half - 2 * half * (b + 1) / bumps;
        cairo_curve_to(cr, xa - 2, yb + 6, xb + 2, yb + 6, xb, yb);
      }
      cairo_curve_to(cr, base.x - half * 0.8, yb - 4, base.x - half * 0.4, yt + (yb - yt) * 0.5,
                     base.x, yt);
      cairo_close_path(cr);
      cairo_pattern_t* g = cairo_pattern_create_linear(base.x - half, 0, base.x + half, 0);
      cairo_pattern_add_color_stop_rgb(g, 0, dark.r, dark.g, dark.b);
      cairo_pattern_add_color_stop_rgb(g, 0.45, green.r, green.g, green.b);
      cairo_pattern_add_color_stop_rgb(g, 1, dark.r, dark.g, dark.b);
      cairo_set_source(cr, g);
      cairo_fill_preserve(cr);
      cairo_pattern_destroy(g);
      Set({dark.r * 0.6, dark.g * 0.6, dark.b * 0.6, 1});
      cairo_set_line_width(cr, 1.5);
      cairo_stroke(cr);
      // Snow along the tier's edge.
      Set({0.92, 0.95, 1.0, 0.9});
      cairo_set_line_width(cr, 2.5);
      cairo_move_to(cr, base.x - half * 0.85, yb - 1);
      cairo_curve_to(cr, base.x - half * 0.3, yb + 3, base.x + half * 0.3, yb + 3,
                     base.x + half * 0.85, yb - 1);
      cairo_stroke(cr);
    }
    // Garland: gold swags across the tiers.
    if (j.contains("garland")) {
      Set(ParseRgba(j.at("garland")));
      cairo_set_line_width(cr, 2.2);
      for (int t = 0; t < tiers; ++t) {
        const double k = (t + 0.55) / tiers;
        const double y = base.y - trunk_h - body * k * 0.85;
        const double half = w * 0.5 * (1.0 - k * 0.75) * 0.8;
        cairo_move_to(cr, base.x - half, y - 6);
        cairo_curve_to(cr, base.x - half * 0.3, y + 6, base.x + half * 0.3, y + 2, base.x + half,
                       y - 10);
        cairo_stroke(cr);
      }
    }
    // Baubles scattered inside the outline.
    if (j.contains("baubles")) {
      const json& bj = j.at("baubles");
      Lcg rnd(bj.at("seed").get<uint32_t>());
      const int n = bj.at("count");
      std::vector<Rgba> cols;
      for (const auto& c : bj.at("colours")) cols.push_back(ParseRgba(c));
      for (int i = 0; i < n; ++i) {
        const double k = rnd.Range(0.05, 0.85);
        const double half = w * 0.5 * (1.0 - k * 0.8) * 0.75;
        const double x = base.x + rnd.Range(-half, half), y = base.y - trunk_h - body * k;
        const double r = Num(bj, "r", 4);
        const Rgba c = cols[static_cast<size_t>(i) % cols.size()];
        cairo_pattern_t* g =
            cairo_pattern_create_radial(x - r * 0.35, y - r * 0.35, r * 0.1, x, y, r);
        cairo_pattern_add_color_stop_rgb(g, 0, std::min(1.0, c.r + 0.5), std::min(1.0, c.g + 0.5),
                                         std::min(1.0, c.b + 0.5));
        cairo_pattern_add_color_stop_rgb(g, 1, c.r * 0.7, c.g * 0.7, c.b * 0.7);
        cairo_set_source(cr, g);
        cairo_arc(cr, x, y, r, 0, 2 * kPi);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
      }
    }
    const double star_r = Num(j, "star", w * 0.13);
    Star(base.x, base.y - h - star_r * 0.2, star_r, star_r * 0.45, 5, 0);
    Set({1.0, 0.85, 0.25, 1});
    cairo_fill_preserve(cr);
    Set({0.6, 0.4, 0.05, 1});
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
  }

  // A wrapped present with ribbon and bow.
  void Gift(const json& j) {
    const Vec2 c = Anchor(j);
    const double w = j.at("w"), h = j.at("h");
    const Rgba box = ParseRgba(j.at("colour")), rib = ParseRgba(j.at("ribbon"));
    cairo_save(cr);
    cairo_translate(cr, c.x, c.y);
    cairo_rotate(cr, Num(j, "angle", 0) * kPi / 180);
    cairo_pattern_t* g = cairo_pattern_create_linear(-w / 2, -h / 2, w / 2, h / 2);
    cairo_pattern_add_color_stop_rgb(g, 0, std::min(1.0, box.r * 1.25), std::min(1.0, box.g * 1.25),
                                     std::min(1.0, box.b * 1.25));
    cairo_pattern_add_color_stop_rgb(g, 1, box.r * 0.7, box.g * 0.7, box.b * 0.7);
    cairo_set_source(cr, g);
    cairo_rectangle(cr, -w / 2, -h / 2, w, h);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    Set({box.r * 0.4, box.g * 0.4, box.b * 0.4, 1});
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    // Pattern of dots on the paper.
    Set({1, 1, 1, 0.35});
    for (double yy = -h / 2 + 5; yy < h / 2; yy += 9)
      for (double xx = -w / 2 + 5 + (static_cast<int>(yy) % 2) * 4; xx < w / 2; xx += 9) {
        cairo_arc(cr, xx, yy, 1.4, 0, 2 * kPi);
        cairo_fill(cr);
      }
    const double rw = std::max(3.0, w * 0.16);
    Set(rib);
    cairo_rectangle(cr, -rw / 2, -h / 2, rw, h);
    cairo_rectangle(cr, -w / 2, -rw / 2, w, rw);
    cairo_fill(cr);
    // Bow: two loops and a knot.
    const double bl = std::min(w, h) * 0.3;
    for (double s : {-1.0, 1.0}) {
      cairo_new_path(cr);
      cairo_move_to(cr, 0, 0);
      cairo_curve_to(cr, s * bl * 1.3, -bl * 1.1, s * bl * 1.5, bl * 0.5, 0, 0);
      cairo_close_path(cr);
      Set(rib);
      cairo_fill_preserve(cr);
      Set({rib.r * 0.55, rib.g * 0.55, rib.b * 0.55, 1});
      cairo_set_line_width(cr, 1.0);
      cairo_stroke(cr);
    }
    Set({rib.r * 0.8, rib.g * 0.8, rib.b * 0.8, 1});
    cairo_arc(cr, 0, 0, rw * 0.55, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_restore(cr);
  }

  void Sleigh(const json& j) {
    const Vec2 c = Anchor(j);
    const double s = Num(j, "scale", 1);
    const Rgba body = ParseRgba(j.at("colour")), trim = ParseRgba(j.at("trim"));
    cairo_save(cr);
    cairo_translate(cr, c.x, c.y);
    cairo_scale(cr, s * (j.value("mirror", false) ? -1 : 1), s);
    // Runners.
    Set(trim);
    cairo_set_line_width(cr, 3);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, -34, 20);
    cairo_line_to(cr, 30, 20);
    cairo_curve_to(cr, 44, 20, 46, 8, 38, 6);
    cairo_stroke(cr);
    for (double x : {-24.0, 18.0}) {
      cairo_move_to(cr, x, 20);
      cairo_line_to(cr, x, 12);
      cairo_stroke(cr);
    }
    // Body with a curled back.
    cairo_new_path(cr);
    cairo_move_to(cr, -36, -22);
    cairo_curve_to(cr, -46, -20, -44, 8, -30, 12);
    cairo_line_to(cr, 22, 12);
    cairo_curve_to(cr, 34, 12, 36, -2, 30, -6);
    cairo_line_to(cr, -16, -6);
    cairo_curve_to(cr, -22, -6, -22, -18, -28, -22);
    cairo_close_path(cr);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, -22, 0, 12);
    cairo_pattern_add_color_stop_rgb(g, 0, std::min(1.0, body.r * 1.3), body.g * 1.2, body.b * 1.2);
    cairo_pattern_add_color_stop_rgb(g, 1, body.r * 0.6, body.g * 0.6, body.b * 0.6);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    Set(trim);
    cairo_set_line_width(cr, 2.2);
    cairo_stroke(cr);
    // A sack of presents and the driver's red coat and hat.
    Set({0.55, 0.38, 0.2, 1});
    cairo_arc(cr, -24, -16, 11, 0, 2 * kPi);
    cairo_fill(cr);
    Set({0.85, 0.1, 0.12, 1});
    cairo_arc(cr, 0, -14, 9, 0, 2 * kPi);
    cairo_fill(cr);
    Set({0.98, 0.85, 0.72, 1});
    cairo_arc(cr, 2, -27, 5.5, 0, 2 * kPi);
    cairo_fill(cr);
    Set({0.97, 0.97, 1.0, 1});
    cairo_arc(cr, 3, -23, 4.5, 0, kPi);  // beard
    cairo_fill(cr);
    Set({0.85, 0.1, 0.12, 1});
    cairo_move_to(cr, -4, -31);
    cairo_line_to(cr, 8, -31);
    cairo_line_to(cr, -8, -41);
    cairo_close_path(cr);
    cairo_fill(cr);
    Set({1, 1, 1, 1});
    cairo_arc(cr, -8, -41, 2.2, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_restore(cr);
  }

  void Reindeer(const json& j) {
    const Vec2 c = Anchor(j);
    const double s = Num(j, "scale", 1);
    const int n = static_cast<int>(Num(j, "count", 1));
    const double step = Num(j, "spacing", 50);
    const Rgba fur = ParseRgba(j.at("colour"));
    const double dir = j.value("mirror", false) ? -1 : 1;
    for (int i = 0; i < n; ++i) {
      cairo_save(cr);
      cairo_translate(cr, c.x + dir * step * i, c.y - (i % 2) * 4);
      cairo_scale(cr, s * dir, s);
      // Body, legs in a leap, neck, head, antlers.
      Set(fur);
      cairo_save(cr);
      cairo_scale(cr, 1.0, 0.55);
      cairo_arc(cr, 0, 0, 16, 0, 2 * kPi);
      cairo_restore(cr);
      cairo_fill(cr);
      cairo_set_line_width(cr, 3.2);
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      cairo_move_to(cr, 10, 4);
      cairo_line_to(cr, 20, 14);
      cairo_move_to(cr, 6, 5);
      cairo_line_to(cr, 13, 16);
      cairo_move_to(cr, -10, 4);
      cairo_line_to(cr, -22, 10);
      cairo_move_to(cr, -6, 5);
      cairo_line_to(cr, -17, 14);
      cairo_stroke(cr);
      cairo_set_line_width(cr, 6);
      cairo_move_to(cr, 12, -3);
      cairo_line_to(cr, 19, -15);
      cairo_stroke(cr);
      cairo_save(cr);
      cairo_translate(cr, 23, -17);
      cairo_scale(cr, 1.0, 0.65);
      cairo_arc(cr, 0, 0, 7, 0, 2 * kPi);
      cairo_restore(cr);
      cairo_fill(cr);
      Set({0.45, 0.3, 0.15, 1});
      cairo_set_line_width(cr, 1.8);
      cairo_move_to(cr, 19, -20);
      cairo_line_to(cr, 15, -32);
      cairo_line_to(cr, 10, -36);
      cairo_move_to(cr, 16, -29);
      cairo_line_to(cr, 21, -35);
      cairo_move_to(cr, 22, -21);
      cairo_line_to(cr, 23, -33);
      cairo_stroke(cr);
      Set(i == 0 && j.value("red_nose", true) ? Rgba{1.0, 0.1, 0.1, 1} : Rgba{0.15, 0.1, 0.08, 1});
      cairo_arc(cr, 30, -17, i == 0 ? 2.8 : 1.8, 0, 2 * kPi);
      cairo_fill(cr);
      // Harness in gold.
      Set({0.95, 0.8, 0.3, 1});
      cairo_set_line_width(cr, 1.6);
      cairo_move_to(cr, -10, -6);
      cairo_line_to(cr, 10, -6);
      cairo_stroke(cr);
      cairo_restore(cr);
    }
    // The reins back to the sleigh.
    if (j.contains("reins_to")) {
      const Vec2 to = Named(j.at("reins_to").get<std::string>());
      Vec2 end = to;
      if (j.contains("reins_offset")) {
        end.x += j.at("reins_offset").at(0).get<float>();
        end.y += j.at("reins_offset").at(1).get<float>();
      }
      Set({0.95, 0.8, 0.3, 1});
      cairo_set_line_width(cr, 1.5);
      cairo_move_to(cr, c.x + dir * step * (n - 1) - dir * 10 * s, c.y - 3 * s);
      cairo_line_to(cr, end.x, end.y);
      cairo_stroke(cr);
    }
  }

  void CandyCane(const json& j) {
    const Vec2 c = Anchor(j);
    const double h = j.at("height"), w = Num(j, "width", 7);
    cairo_save(cr);
    cairo_translate(cr, c.x, c.y);
    cairo_rotate(cr, Num(j, "angle", 0) * kPi / 180);
    const double hook = h * 0.18;
    cairo_new_path(cr);
    cairo_move_to(cr, 0, h / 2);
    cairo_line_to(cr, 0, -h / 2 + hook);
    cairo_arc(cr, hook, -h / 2 + hook, hook, kPi, 2 * kPi);
    cairo_line_to(cr, 2 * hook, -h / 2 + hook * 1.6);
    cairo_set_line_width(cr, w);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    Set({0.97, 0.97, 0.97, 1});
    cairo_stroke_preserve(cr);
    // Red stripes: the stroke clipped to diagonal bands.
    cairo_save(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_new_path(cr);
    for (double y = -h; y < h; y += w * 1.6) {
      cairo_move_to(cr, -h, y);
      cairo_line_to(cr, h, y - h * 0.5);
      cairo_line_to(cr, h, y - h * 0.5 + w * 0.7);
      cairo_line_to(cr, -h, y + w * 0.7);
      cairo_close_path(cr);
    }
    cairo_clip(cr);
    cairo_new_path(cr);
    cairo_move_to(cr, 0, h / 2);
    cairo_line_to(cr, 0, -h / 2 + hook);
    cairo_arc(cr, hook, -h / 2 + hook, hook, kPi, 2 * kPi);
    cairo_line_to(cr, 2 * hook, -h / 2 + hook * 1.6);
    Set({0.85, 0.05, 0.1, 1});
    cairo_stroke(cr);
    cairo_restore(cr);
    cairo_new_path(cr);
    cairo_restore(cr);
  }

  // Holly leaves and berries around the bonus lamps, and the value of each lamp.
  void Wreath(const json& j) {
    const Vec2 c = BonusCentre();
    const auto lamps = BonusLamps();
    double r = 0;
    for (const Lamp* lp : lamps) r += std::hypot(lp->c.x - c.x, lp->c.y - c.y);
    r /= static_cast<double>(lamps.size());
    const double band = Num(j, "band", 16);
    const Rgba green = ParseRgba(j.at("colour")), dark = ParseRgba(j.at("dark"));
    Set(dark);
    cairo_set_line_width(cr, band * 2);
    cairo_arc(cr, c.x, c.y, r, 0, 2 * kPi);
    cairo_stroke(cr);
    // Needles.
    Lcg rnd(j.value("seed", 3u));
    Set(green);
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 520; ++i) {
      const double a = rnd.Range(0, 2 * kPi), rr = r + rnd.Range(-band, band);
      const double x = c.x + rr * std::cos(a), y = c.y + rr * std::sin(a);
      const double d = rnd.Range(0, 2 * kPi), len = rnd.Range(3, 6);
      cairo_move_to(cr, x, y);
      cairo_line_to(cr, x + len * std::cos(d), y + len * std::sin(d));
    }
    cairo_stroke(cr);
    // The light wire through the lamps.
    Set({0.15, 0.12, 0.05, 1});
    cairo_set_line_width(cr, 1.2);
    cairo_arc(cr, c.x, c.y, r, 0, 2 * kPi);
    cairo_stroke(cr);
    // Values outside the ring.
    if (j.contains("values")) {
      const json& v = j.at("values");
      const double size = Num(j, "value_size", 13), out = Num(j, "value_radius", r + band + 10);
      json t = {{"size", size}, {"font", j.value("font", std::string("condensed"))}};
      if (j.contains("value_colour")) t["colour"] = j.at("value_colour");
      if (j.contains("value_outline")) t["outline"] = j.at("value_outline");
      for (size_t i = 0; i < lamps.size() && i < v.size(); ++i) {
        const double a = std::atan2(lamps[i]->c.y - c.y, lamps[i]->c.x - c.x);
        t["text"] = v.at(i);
        t["at"] = {c.x + out * std::cos(a), c.y + out * std::sin(a)};
        Text(t);
      }
    }
  }

  // The insert under every lamp in its colour, with its letter or word.
  void Inserts(const json& j) {
    for (const Lamp& lp : l.lamps) {
      const json* spec = j.contains(lp.name) ? &j.at(lp.name) : nullptr;
      const Rgba col{lp.colour.r, lp.colour.g, lp.colour.b, 1};
      const double dim = lp.rollover ? 0.75 : 0.45;
      cairo_new_path(cr);
      const double r = lp.r;
      switch (lp.shape) {
        case LampShape::kCircle:
          cairo_arc(cr, lp.c.x, lp.c.y, r, 0, 2 * kPi);
          break;
        case LampShape::kTriangle:
          cairo_move_to(cr, lp.c.x, lp.c.y - r);
          cairo_line_to(cr, lp.c.x + r, lp.c.y + r * 0.6);
          cairo_line_to(cr, lp.c.x - r, lp.c.y + r * 0.6);
          cairo_close_path(cr);
          break;
        case LampShape::kArrow:
          cairo_move_to(cr, lp.c.x, lp.c.y - r);
          cairo_line_to(cr, lp.c.x + r * 0.8, lp.c.y);
          cairo_line_to(cr, lp.c.x + r * 0.35, lp.c.y);
          cairo_line_to(cr, lp.c.x + r * 0.35, lp.c.y + r);
          cairo_line_to(cr, lp.c.x - r * 0.35, lp.c.y + r);
          cairo_line_to(cr, lp.c.x - r * 0.35, lp.c.y);
          cairo_line_to(cr, lp.c.x - r * 0.8, lp.c.y);
          cairo_close_path(cr);
          break;
      }
      // Plastic: brighter in the middle, as a lens over the bulb.
      double x0, y0, x1, y1;
      cairo_path_extents(cr, &x0, &y0, &x1, &y1);
      const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
      cairo_pattern_t* g =
          cairo_pattern_create_radial(cx, cy, 0, cx, cy, std::max(x1 - x0, y1 - y0) * 0.6);
      cairo_pattern_add_color_stop_rgb(g, 0, std::min(1.0, col.r * dim * 1.35),
                                       std::min(1.0, col.g * dim * 1.35),
                                       std::min(1.0, col.b * dim * 1.35));
      cairo_pattern_add_color_stop_rgb(g, 1, col.r * dim * 0.7, col.g * dim * 0.7,
                                       col.b * dim * 0.7);
      cairo_set_source(cr, g);
      cairo_fill_preserve(cr);
      cairo_pattern_destroy(g);
      Set({0.05, 0.05, 0.08, 0.85});
      cairo_set_line_width(cr, 1.6);
      cairo_stroke(cr);
      if (spec && spec->contains("text")) {
        json t = *spec;
        if (!t.contains("at")) t["at"] = {lp.c.x, lp.c.y};
        if (!t.contains("size")) t["size"] = r * 1.3;
        if (!t.contains("colour")) t["colour"] = "#ffffff";
        if (!t.contains("outline")) t["outline"] = "#101018";
        Text(t);
      }
    }
  }

  // Wood with grain over the cabinet, and a row of flakes and holly on its top.
  void Cabinet(const json& j) {
    const Rgba wood = ParseRgba(j.at("wood")), grain = ParseRgba(j.at("grain"));
    Set(wood);
    cairo_rectangle(cr, -kMargin, -kMargin, l.width + 2 * kMargin, l.height + 2 * kMargin);
    cairo_fill(cr);
    Lcg rnd(j.value("seed", 9u));
    cairo_set_line_width(cr, 1.2);
    // Grain runs along each side rail (down the table) and across the head.
    for (int i = 0; i < 240; ++i) {
      const double x = rnd.Range(-kMargin, l.width + kMargin);
      const double wob = rnd.Range(2, 6), ph = rnd.Range(0, 6.28), k = rnd.Range(0.004, 0.012);
      Set({grain.r, grain.g, grain.b, rnd.Range(0.25, 0.7)});
      cairo_move_to(cr, x, -kMargin);
      for (double y = -kMargin; y <= l.height + kMargin; y += 16)
        cairo_line_to(cr, x + wob * std::sin(y * k + ph), y);
      cairo_stroke(cr);
    }
    for (int i = 0; i < 60; ++i) {
      const double y = rnd.Range(-kMargin, 40);
      const double ph = rnd.Range(0, 6.28);
      Set({grain.r, grain.g, grain.b, rnd.Range(0.25, 0.6)});
      cairo_move_to(cr, -kMargin, y);
      for (double x = -kMargin; x <= l.width + kMargin; x += 16)
        cairo_line_to(cr, x, y + 3 * std::sin(x * 0.01 + ph));
      cairo_stroke(cr);
    }
    // Side art: snowflakes and holly sprigs on both side rails.
    if (j.contains("side_art")) {
      const json& s = j.at("side_art");
      const Rgba flake = ParseRgba(s.at("flake")), leaf = ParseRgba(s.at("leaf")),
                 berry = ParseRgba(s.at("berry"));
      const double step = Num(s, "step", 90);
      for (double xs : {-28.0, static_cast<double>(l.width) + 28.0}) {
        int k = 0;
        for (double y = 60; y < l.height; y += step, ++k) {
          if (k % 2 == 0) {
            Flake(xs, y, 11, flake, 2.2);
          } else {
            for (double s2 : {-1.0, 1.0}) {
              cairo_save(cr);
              cairo_translate(cr, xs + s2 * 6, y);
              cairo_rotate(cr, s2 * 0.6);
              cairo_scale(cr, 1.0, 0.45);
              cairo_arc(cr, 0, 0, 10, 0, 2 * kPi);
              cairo_restore(cr);
              Set(leaf);
              cairo_fill(cr);
            }
            Set(berry);
            for (double bx : {-2.5, 2.5, 0.0}) {
              cairo_arc(cr, xs + bx, y + (bx == 0.0 ? -3 : 1), 3, 0, 2 * kPi);
              cairo_fill(cr);
            }
          }
        }
      }
    }
  }
};

}  // namespace

bool LoadArtwork(const std::string& path, Layout& layout, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  auto art = std::make_shared<Artwork>();
  art->ox = -kMargin;
  art->oy = -kMargin;
  art->w = layout.width + 2 * kMargin;
  art->h = layout.height + 2 * kMargin;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, art->w, art->h);
  cairo_t* cr = cairo_create(surface);
  bool ok = true;
  try {
    const json j = json::parse(in);
    cairo_font_options_t* fo = cairo_font_options_create();
    cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, fo);
    cairo_font_options_destroy(fo);
    cairo_translate(cr, kMargin, kMargin);
    Painter p{cr, layout, {}};
    p.tall = j.value("text_tall", 1.0);
    for (auto it = j.at("fonts").begin(); it != j.at("fonts").end(); ++it)
      p.fonts[it.key()] = it.value();
    if (j.contains("cabinet")) p.Cabinet(j.at("cabinet"));
    p.Sky(j.at("sky"));
    if (j.contains("stars")) p.Stars(j.at("stars"));
    for (const auto& d : j.value("drifts", json::array())) p.Drift(d);
    if (j.contains("snowflakes")) p.Snowflakes(j.at("snowflakes"));
    for (const auto& item : j.at("items")) {
      const std::string kind = item.at("kind");
      if (kind == "text")
        p.Text(item);
      else if (kind == "panel")
        p.Panel(item);
      else if (kind == "disc")
        p.Disc(item);
      else if (kind == "star")
        p.StarItem(item);
      else if (kind == "flake")
        p.FlakeItem(item);
      else if (kind == "tree")
        p.Tree(item);
      else if (kind == "gift")
        p.Gift(item);
      else if (kind == "sleigh")
        p.Sleigh(item);
      else if (kind == "reindeer")
        p.Reindeer(item);
      else if (kind == "candy_cane")
        p.CandyCane(item);
      else if (kind == "wreath")
        p.Wreath(item);
      else if (kind == "inserts")
        p.Inserts(item.at("lamps"));
      else
        throw std::runtime_error("unknown art item " + kind);
    }
    if (j.contains("candy")) {
      const json& c = j.at("candy");
      for (const auto& w : c.value("walls", json::array())) art->candy_walls.push_back(w);
      art->candy_rubbers = c.value("rubbers", false);
      const Rgba s = ColourOr(c, "colour", {0.8, 0.05, 0.08, 1});
      art->stripe = {static_cast<float>(std::pow(s.r, 1.6)), static_cast<float>(std::pow(s.g, 1.6)),
                     static_cast<float>(std::pow(s.b, 1.6))};
    }
    if (j.contains("ribbon")) {
      const Rgba s = ParseRgba(j.at("ribbon"));
      art->ribbon = {static_cast<float>(std::pow(s.r, 1.6)), static_cast<float>(std::pow(s.g, 1.6)),
                     static_cast<float>(std::pow(s.b, 1.6))};
    }
  } catch (const std::exception& e) {
    error = path + ": " + e.what();
    ok = false;
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  if (ok) {
    // Colours as drawn are display values; the renderer's output curve is 1/1.6.
    std::array<float, 256> lin{};
    for (int i = 0; i < 256; ++i)
      lin[static_cast<size_t>(i)] = static_cast<float>(std::pow(i / 255.0, 1.6));
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    art->rgb.resize(static_cast<size_t>(art->w * art->h * 3));
    for (int y = 0; y < art->h; ++y)
      for (int x = 0; x < art->w; ++x) {
        uint32_t px;
        std::memcpy(&px, data + y * stride + x * 4, 4);
        float* o = &art->rgb[static_cast<size_t>((y * art->w + x) * 3)];
        o[0] = lin[(px >> 16) & 0xFF];
        o[1] = lin[(px >> 8) & 0xFF];
        o[2] = lin[px & 0xFF];
      }
    layout.art = art;
  }
  cairo_surface_destroy(surface);
  return ok;
}

}  // namespace tablegen
