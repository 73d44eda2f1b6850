#include "layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

namespace tablegen {

namespace {

using nlohmann::json;

float SegmentDistance(Vec2 p, Vec2 a, Vec2 b) {
  const float dx = b.x - a.x, dy = b.y - a.y;
  const float len2 = dx * dx + dy * dy;
  float t = len2 > 0.0f ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0f;
  t = std::clamp(t, 0.0f, 1.0f);
  const float ex = p.x - (a.x + t * dx), ey = p.y - (a.y + t * dy);
  return std::sqrt(ex * ex + ey * ey);
}

bool InsidePolygon(const std::vector<Vec2>& pts, Vec2 p) {
  bool in = false;
  for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
    const Vec2 a = pts[i], b = pts[j];
    if ((a.y > p.y) != (b.y > p.y)) {
      const float x = (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x;
      if (p.x < x) in = !in;
    }
  }
  return in;
}

Colour ParseColour(const json& j) {
  Colour c;
  const std::string s = j.get<std::string>();
  unsigned v = 0;
  if (s.size() == 7 && s[0] == '#') std::sscanf(s.c_str() + 1, "%x", &v);
  c.r = static_cast<float>((v >> 16) & 255) / 255.0f;
  c.g = static_cast<float>((v >> 8) & 255) / 255.0f;
  c.b = static_cast<float>(v & 255) / 255.0f;
  return c;
}

Vec2 P(const json& j) { return {j.at(0).get<float>(), j.at(1).get<float>()}; }

std::vector<Vec2> Points(const json& j) {
  std::vector<Vec2> v;
  for (const auto& p : j) v.push_back(P(p));
  return v;
}

Shape ParseShape(const json& j) {
  Shape s;
  const std::string type = j.value("type", j.value("shape", std::string("poly")));
  if (type == "outer") {
    s.kind = ShapeKind::kOuter;
    s.x0 = j.at("x0");
    s.x1 = j.at("x1");
    s.y0 = j.at("y0");
    s.r = j.at("radius");
  } else if (type == "line") {
    s.kind = ShapeKind::kLine;
    s.points = Points(j.at("points"));
    s.width = j.at("width");
  } else if (type == "circle") {
    s.kind = ShapeKind::kCircle;
    s.c = P(j.at("c"));
    s.r = j.at("r");
  } else if (type == "rect") {
    s.kind = ShapeKind::kRect;
    const auto& r = j.at("rect");
    s.x0 = r.at(0);
    s.y0 = r.at(1);
    s.x1 = r.at(2);
    s.y1 = r.at(3);
  } else {
    s.kind = ShapeKind::kPoly;
    s.points = Points(j.at("points"));
  }
  return s;
}

Material MaterialOf(const Layout& l, const std::string& name) {
  if (name == "metal") return l.materials[1];
  if (name == "rubber") return l.materials[2];
  if (name == "plastic") return l.materials[3];
  return l.materials[0];
}

Wall ParseWall(const Layout& l, const json& j) {
  Wall w;
  w.name = j.value("name", std::string());
  w.shape = ParseShape(j);
  w.code = j.value("code", 10);
  w.height = j.value("height", 30.0f);
  w.colour = ParseColour(j.at("colour"));
  w.material = MaterialOf(l, j.value("material", std::string("wood")));
  return w;
}

}  // namespace

float ShapeDistance(const Shape& s, float x, float y) {
  const Vec2 p{x, y};
  switch (s.kind) {
    case ShapeKind::kOuter: {
      // Solid = everything outside a rectangle open at the bottom, top corners rounded.
      const float cx = (s.x0 + s.x1) * 0.5f, hw = (s.x1 - s.x0) * 0.5f;
      const float qx = std::fabs(x - cx) - (hw - s.r);
      const float qy = (s.y0 + s.r) - y;
      const float mx = std::max(qx, 0.0f), my = std::max(qy, 0.0f);
      const float inside = std::sqrt(mx * mx + my * my) + std::min(std::max(qx, qy), 0.0f) - s.r;
      return -inside;
    }
    case ShapeKind::kCircle:
      return std::sqrt((x - s.c.x) * (x - s.c.x) + (y - s.c.y) * (y - s.c.y)) - s.r;
    case ShapeKind::kLine: {
      float d = 1e9f;
      for (size_t i = 0; i + 1 < s.points.size(); ++i)
        d = std::min(d, SegmentDistance(p, s.points[i], s.points[i + 1]));
      return d - s.width * 0.5f;
    }
    case ShapeKind::kRect: {
      const float dx = std::max({s.x0 - x, x - s.x1, 0.0f});
      const float dy = std::max({s.y0 - y, y - s.y1, 0.0f});
      if (dx == 0.0f && dy == 0.0f) return -std::min({x - s.x0, s.x1 - x, y - s.y0, s.y1 - y});
      return std::sqrt(dx * dx + dy * dy);
    }
    case ShapeKind::kPoly: {
      float d = 1e9f;
      for (size_t i = 0, j = s.points.size() - 1; i < s.points.size(); j = i++)
        d = std::min(d, SegmentDistance(p, s.points[j], s.points[i]));
      return InsidePolygon(s.points, p) ? -d : d;
    }
  }
  return 1e9f;
}

void ShapeBounds(const Shape& s, float grow, float& x0, float& y0, float& x1, float& y1) {
  switch (s.kind) {
    case ShapeKind::kOuter:
      x0 = -1e6f;
      y0 = -1e6f;
      x1 = 1e6f;
      y1 = 1e6f;
      return;
    case ShapeKind::kCircle:
      x0 = s.c.x - s.r - grow;
      x1 = s.c.x + s.r + grow;
      y0 = s.c.y - s.r - grow;
      y1 = s.c.y + s.r + grow;
      return;
    case ShapeKind::kRect:
      x0 = s.x0 - grow;
      x1 = s.x1 + grow;
      y0 = s.y0 - grow;
      y1 = s.y1 + grow;
      return;
    default: {
      x0 = y0 = 1e9f;
      x1 = y1 = -1e9f;
      for (const Vec2& p : s.points) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
      }
      const float g = grow + (s.kind == ShapeKind::kLine ? s.width * 0.5f : 0.0f);
      x0 -= g;
      y0 -= g;
      x1 += g;
      y1 += g;
    }
  }
}

bool LoadLayout(const std::string& path, Layout& l, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  try {
    const json j = json::parse(in);
    l.width = j.at("map").at("width");
    l.height = j.at("map").at("height");
    l.ball_radius = j.at("map").at("ball_radius");
    l.floor_colour = ParseColour(j.at("floor").at("colour"));
    l.border_colour = ParseColour(j.at("floor").at("border_colour"));
    const char* mats[4] = {"wood", "metal", "rubber", "plastic"};
    for (int i = 0; i < 4; ++i) {
      const auto& m = j.at("materials").at(mats[i]);
      l.materials[static_cast<size_t>(i)] = {m.at("specular").get<float>(),
                                             m.at("shine").get<float>()};
    }
    for (const auto& w : j.at("walls")) l.walls.push_back(ParseWall(l, w));
    const auto& bank = j.at("bank");
    l.bank_face0 = P(bank.at("face").at(0));
    l.bank_face1 = P(bank.at("face").at(1));
    l.bank_depth = bank.at("depth");
    l.bank_height = bank.at("height");
    l.bank_colour = ParseColour(bank.at("colour"));
    l.bank_material = MaterialOf(l, bank.value("material", std::string("plastic")));
    for (const auto& c : bank.at("codes_by_y")) l.bank_codes_by_y.push_back({c.at(0), c.at(1)});
    json backing = bank.at("backing");
    backing["type"] = "poly";
    l.bank_backing = ParseWall(l, backing);
    for (const auto& b : j.at("bumpers")) {
      Bumper u;
      u.row = b.at("row");
      u.name = b.at("name");
      u.c = P(b.at("c"));
      u.r = b.at("r");
      u.colour = ParseColour(b.at("colour"));
      l.bumpers.push_back(u);
    }
    const auto& k = j.at("kicker");
    l.kicker.row = k.at("row");
    l.kicker.name = k.at("name");
    l.kicker.c = P(k.at("c"));
    l.kicker.r = k.at("r");
    l.kicker.colour = ParseColour(k.at("colour"));
    l.kicker_code = k.at("code");
    l.kicker_cap = ParseColour(k.at("cap_colour"));
    for (const auto& f : j.at("floors")) {
      Floor fl;
      fl.name = f.at("name");
      fl.code = f.at("code");
      const auto& r = f.at("rect");
      fl.x0 = r.at(0);
      fl.y0 = r.at(1);
      fl.x1 = r.at(2);
      fl.y1 = r.at(3);
      l.floors.push_back(fl);
    }
    for (const auto& g : j.at("gates")) {
      Gate gt;
      gt.row = g.at("row");
      gt.name = g.at("name");
      gt.band.kind = ShapeKind::kPoly;
      gt.band.points = Points(g.at("band"));
      gt.a = P(g.at("wire").at(0));
      gt.b = P(g.at("wire").at(1));
      gt.height = g.at("height");
      l.gates.push_back(gt);
    }
    const auto& sp = j.at("spinner");
    l.spinner_row = sp.at("row");
    l.spinner_c = P(sp.at("c"));
    l.spinner_half_width = sp.at("half_width");
    l.spinner_half_length = sp.at("half_length");
    l.spinner_axle = sp.at("axle");
    l.spinner_colour = ParseColour(sp.at("colour"));
    l.hole_c = P(j.at("hole").at("c"));
    l.hole_r = j.at("hole").at("r");
    for (size_t i = 0; i < 2; ++i) {
      const auto& f = j.at("flippers").at(i);
      Flipper& fl = l.flippers[i];
      fl.name = f.at("name");
      fl.pivot = P(f.at("pivot"));
      fl.box_x = f.at("box").at(0);
      fl.box_y = f.at("box").at(1);
      fl.length = f.at("length");
      fl.r_pivot = f.at("r_pivot");
      fl.r_tip = f.at("r_tip");
      fl.down_deg = f.at("down_deg");
      fl.up_deg = f.at("up_deg");
      fl.mirror = f.at("mirror");
      fl.colour = ParseColour(f.at("colour"));
      fl.rubber = ParseColour(f.at("rubber"));
    }
    const auto& pl = j.at("plunger");
    l.plunger_x = pl.at("x");
    l.plunger_tip_y = pl.at("tip_y");
    l.plunger_width = pl.at("width");
    l.plunger_travel = pl.at("travel");
    l.plunger_colour = ParseColour(pl.at("colour"));
    for (const auto& m : j.at("lamps")) {
      Lamp lp;
      lp.row = m.at("row");
      lp.name = m.at("name");
      const std::string shape = m.at("shape");
      lp.shape = shape == "triangle" ? LampShape::kTriangle
                 : shape == "arrow"  ? LampShape::kArrow
                                     : LampShape::kCircle;
      lp.c = P(m.at("c"));
      lp.r = m.at("r");
      lp.colour = ParseColour(m.at("colour"));
      l.lamps.push_back(lp);
    }
    const auto& bl = j.at("bonus_lamps");
    const int first = bl.at("first_row"), count = bl.at("count");
    const Vec2 bc = P(bl.at("centre"));
    const float br = bl.at("radius");
    for (int i = 0; i < count; ++i) {
      Lamp lp;
      lp.row = first + i;
      char name[16];
      std::snprintf(name, sizeof name, "LBON_%02d", i);
      lp.name = name;
      // Clockwise from the bottom-left, so the bonus climbs round the ring.
      const float a = static_cast<float>(2.0 * M_PI * (0.625 + static_cast<double>(i) / count));
      lp.c = {bc.x + br * std::cos(a), bc.y - br * std::sin(a)};
      lp.r = bl.at("lamp_r");
      lp.colour = ParseColour(bl.at("colour"));
      l.lamps.push_back(lp);
    }
    const auto& rs = j.at("rollover_style");
    for (const auto& r : j.at("rollovers")) {
      Lamp lp;
      lp.row = r.at("row");
      lp.name = r.at("name");
      lp.c = P(r.at("c"));
      lp.r = rs.at("r");
      lp.colour = ParseColour(rs.at("colour"));
      lp.rollover = true;
      l.lamps.push_back(lp);
    }
    const auto& ds = j.at("drop_target_style");
    l.target_half_length = ds.at("half_length");
    l.target_thickness = ds.at("thickness");
    l.target_height = ds.at("height");
    l.target_colour = ParseColour(ds.at("colour"));
    const float fdx = l.bank_face1.x - l.bank_face0.x, fdy = l.bank_face1.y - l.bank_face0.y;
    const float flen = std::sqrt(fdx * fdx + fdy * fdy);
    const Vec2 normal{-fdy / flen, fdx / flen};
    for (const auto& t : j.at("drop_targets")) {
      DropTarget d;
      d.row = t.at("row");
      d.name = t.at("name");
      d.hit = P(t.at("c"));
      d.centre = {d.hit.x - normal.x * l.ball_radius, d.hit.y - normal.y * l.ball_radius};
      l.targets.push_back(d);
    }
    for (const auto& p : j.at("artwork").at("patches")) {
      Patch pt;
      pt.shape = ParseShape(p);
      pt.colour = ParseColour(p.at("colour"));
      l.patches.push_back(pt);
    }
    for (const auto& t : j.at("artwork").at("labels")) {
      Label lb;
      lb.text = t.at("text");
      lb.c = P(t.at("c"));
      lb.size = t.at("size");
      lb.colour = ParseColour(t.at("colour"));
      l.labels.push_back(lb);
    }
  } catch (const std::exception& e) {
    error = path + ": " + e.what();
    return false;
  }
  return true;
}

Shape BankShape(const Layout& l) {
  const float fdx = l.bank_face1.x - l.bank_face0.x, fdy = l.bank_face1.y - l.bank_face0.y;
  const float flen = std::sqrt(fdx * fdx + fdy * fdy);
  const Vec2 n{-fdy / flen, fdx / flen};  // towards the playfield
  Shape s;
  s.kind = ShapeKind::kPoly;
  s.points = {l.bank_face0,
              l.bank_face1,
              {l.bank_face1.x - n.x * l.bank_depth, l.bank_face1.y - n.y * l.bank_depth},
              {l.bank_face0.x - n.x * l.bank_depth, l.bank_face0.y - n.y * l.bank_depth}};
  return s;
}

namespace {

void PaintWall(std::vector<uint8_t>& map, int w, int h, const Shape& s, float dilation, int code,
               const std::vector<std::array<int, 2>>* codes_by_y = nullptr) {
  float bx0, by0, bx1, by1;
  ShapeBounds(s, dilation + 1.0f, bx0, by0, bx1, by1);
  const int x0 = std::max(0, static_cast<int>(std::floor(bx0)));
  const int y0 = std::max(0, static_cast<int>(std::floor(by0)));
  const int x1 = std::min(w - 1, static_cast<int>(std::ceil(bx1)));
  const int y1 = std::min(h - 1, static_cast<int>(std::ceil(by1)));
  for (int y = y0; y <= y1; ++y) {
    int c = code;
    if (codes_by_y) {
      for (const auto& [limit, cc] : *codes_by_y) {
        if (y > limit) {
          c = cc;
          break;
        }
      }
    }
    for (int x = x0; x <= x1; ++x) {
      if (ShapeDistance(s, static_cast<float>(x), static_cast<float>(y)) <= dilation)
        map[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>(c);
    }
  }
}

}  // namespace

std::vector<uint8_t> BuildSurfaceMap(const Layout& l) {
  const int w = l.width, h = l.height;
  std::vector<uint8_t> map(static_cast<size_t>(w * h), 0);
  const float d = l.ball_radius;
  for (const Wall& wall : l.walls) PaintWall(map, w, h, wall.shape, d, wall.code);
  PaintWall(map, w, h, BankShape(l), d, 25, &l.bank_codes_by_y);
  PaintWall(map, w, h, l.bank_backing.shape, d, l.bank_backing.code);
  for (const Bumper& b : l.bumpers) {
    Shape s;
    s.kind = ShapeKind::kCircle;
    s.c = b.c;
    s.r = b.r;
    PaintWall(map, w, h, s, d, 12);
  }
  {
    Shape s;
    s.kind = ShapeKind::kCircle;
    s.c = l.kicker.c;
    s.r = l.kicker.r;
    PaintWall(map, w, h, s, d, l.kicker_code);
  }
  // Floors and gate bands go on open floor only.
  for (const Floor& f : l.floors) {
    for (int y = static_cast<int>(f.y0); y <= static_cast<int>(f.y1); ++y)
      for (int x = static_cast<int>(f.x0); x <= static_cast<int>(f.x1); ++x) {
        if (x < 0 || y < 0 || x >= w || y >= h) continue;
        uint8_t& c = map[static_cast<size_t>(y * w + x)];
        if (c == 0) c = static_cast<uint8_t>(f.code);
      }
  }
  for (const Gate& g : l.gates) {
    float bx0, by0, bx1, by1;
    ShapeBounds(g.band, 1.0f, bx0, by0, bx1, by1);
    for (int y = std::max(0, static_cast<int>(by0)); y <= std::min(h - 1, static_cast<int>(by1));
         ++y)
      for (int x = std::max(0, static_cast<int>(bx0)); x <= std::min(w - 1, static_cast<int>(bx1));
           ++x) {
        uint8_t& c = map[static_cast<size_t>(y * w + x)];
        if (c == 0 && ShapeDistance(g.band, static_cast<float>(x), static_cast<float>(y)) <= 0.0f)
          c = 23;
      }
  }
  return map;
}

Vec2 FlipperDirection(const Flipper& f, int frame) {
  const int k = std::min(frame, 28);
  const double deg = f.down_deg + (f.up_deg - f.down_deg) * k / 28.0;
  const double a = deg * M_PI / 180.0;
  Vec2 d{static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a))};
  if (f.mirror) d.x = -d.x;
  return d;
}

float FlipperDistance(const Flipper& f, int frame, float x, float y) {
  const Vec2 d = FlipperDirection(f, frame);
  const float px = x - f.pivot.x, py = y - f.pivot.y;
  // Tapered capsule: along the axis the radius shrinks from pivot to tip.
  float t = (px * d.x + py * d.y) / f.length;
  t = std::clamp(t, 0.0f, 1.0f);
  const float ex = px - d.x * f.length * t, ey = py - d.y * f.length * t;
  const float r = f.r_pivot + (f.r_tip - f.r_pivot) * t;
  return std::sqrt(ex * ex + ey * ey) - r;
}

std::vector<uint8_t> FlipperMask(const Flipper& f, int frame, float dilation) {
  std::vector<uint8_t> m(static_cast<size_t>(kFlipperBoxW * kFlipperBoxH), 0);
  for (int y = 0; y < kFlipperBoxH; ++y)
    for (int x = 0; x < kFlipperBoxW; ++x) {
      const float px = static_cast<float>(f.box_x + x), py = static_cast<float>(f.box_y + y);
      if (FlipperDistance(f, frame, px, py) <= dilation)
        m[static_cast<size_t>(y * kFlipperBoxW + x)] = kFlipperMaskValue;
    }
  return m;
}

}  // namespace tablegen
