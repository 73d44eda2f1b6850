#include "scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#include "art.h"
#include "render/projection.h"

namespace tablegen {

namespace {

constexpr float kCell = 1.25f;      // world units per playfield pixel (close enough for shading)
constexpr float kTopLimit = 72.0f;  // above every solid of the table

// 5 × 7 capitals for the playfield labels (rows top to bottom, bit 4 = left).
struct Glyph {
  char c;
  std::array<uint8_t, 7> rows;
};
constexpr std::array<Glyph, 16> kGlyphs = {{
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
}};

const Glyph* FindGlyph(char c) {
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return &g;
  return nullptr;
}

Colour Scale(Colour c, float k) { return {c.r * k, c.g * k, c.b * k}; }

void SetColour(Cell& cell, Colour c) {
  cell.r = c.r;
  cell.g = c.g;
  cell.b = c.b;
}

// Raises a cell to a solid of the given height and colour.
void Solid(Cell& cell, float h, Colour c, uint8_t material, int16_t part) {
  if (h >= cell.h) {
    cell.h = h;
    SetColour(cell, c);
    cell.material = material;
    cell.part = part;
    cell.emit = 0.0f;
    cell.painted = false;
    cell.gr = cell.gg = cell.gb = 0.0f;
  }
}

// A floor decal: colour only, where the surface is the floor.
void Decal(Cell& cell, Colour c, float emit, int16_t part) {
  if (cell.h <= 0.5f) {
    SetColour(cell, c);
    cell.emit = emit;
    cell.part = part;
    cell.material = 3;
    cell.painted = false;
  }
}

// Light on the floor art: the insert itself shines through its own plastic,
// the art around it takes a soft halo in the lamp's colour.
void Glow(Cell& cell, float emit, Colour halo, int16_t part) {
  if (cell.h > 0.5f) return;
  cell.emit = emit;
  cell.gr = halo.r;
  cell.gg = halo.g;
  cell.gb = halo.b;
  cell.part = part;
}

// Reach of the halo around an insert of radius r (small inserts sit close together).
float HaloReach(const Lamp& lp) { return std::min(9.0f, lp.r * 0.7f); }

template <typename F>
void ForBox(Scene& s, float x0, float y0, float x1, float y1, F&& f) {
  const int ix0 = std::max(Scene::kOriginX, static_cast<int>(std::floor(x0)));
  const int iy0 = std::max(Scene::kOriginY, static_cast<int>(std::floor(y0)));
  const int ix1 = std::min(Scene::kOriginX + s.width - 1, static_cast<int>(std::ceil(x1)));
  const int iy1 = std::min(Scene::kOriginY + s.height - 1, static_cast<int>(std::ceil(y1)));
  for (int y = iy0; y <= iy1; ++y)
    for (int x = ix0; x <= ix1; ++x)
      f(x, y, s.At(x, y), static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
}

uint8_t MaterialIndex(const Layout& l, const Material& m) {
  for (size_t i = 0; i < l.materials.size(); ++i)
    if (l.materials[i].specular == m.specular && l.materials[i].shine == m.shine)
      return static_cast<uint8_t>(i);
  return 0;
}

bool InsideLamp(const Lamp& lp, float x, float y) {
  const float dx = x - lp.c.x, dy = y - lp.c.y;
  switch (lp.shape) {
    case LampShape::kCircle:
      return dx * dx + dy * dy <= lp.r * lp.r;
    case LampShape::kTriangle: {
      // Pointing up the table.
      if (dy > lp.r * 0.6f || dy < -lp.r) return false;
      const float half = (dy + lp.r) / (1.6f * lp.r) * lp.r;
      return std::fabs(dx) <= half;
    }
    case LampShape::kArrow: {
      if (dy < -lp.r || dy > lp.r) return false;
      if (dy < 0) return std::fabs(dx) <= (dy + lp.r) * 0.8f;
      return std::fabs(dx) <= lp.r * 0.35f;
    }
  }
  return false;
}

// --- part painters --------------------------------------------------------

constexpr std::array<float, 10> kBumperLevels = {0.0f,  0.35f, 0.7f, 1.0f, 1.3f,
                                                 1.15f, 0.8f,  0.6f, 0.4f, 0.2f};

void PaintPart(Scene& s, size_t pi, int frame) {
  const PartDef& p = s.parts[pi];
  const Layout& l = *s.layout;
  const int16_t id = static_cast<int16_t>(p.row);
  const int logical = p.dark_offset > 0 ? frame % p.dark_offset : frame;
  switch (p.kind) {
    case PartKind::kLamp:
    case PartKind::kRollover: {
      const Lamp& lp = l.lamps[static_cast<size_t>(p.index)];
      if (l.art) {
        // Off: the plastic as painted. Half and lit: the bulb shines through it
        // and throws its colour on the art around, fading with distance.
        const float level = logical == 0 ? 0.0f : logical == 1 ? 0.5f : 1.0f;
        const float reach = HaloReach(lp);
        const Colour lin{std::pow(lp.colour.r, 1.6f), std::pow(lp.colour.g, 1.6f),
                         std::pow(lp.colour.b, 1.6f)};
        ForBox(s, p.x0, p.y0, p.x1, p.y1, [&](int, int, Cell& c, float x, float y) {
          const float d = std::hypot(x - lp.c.x, y - lp.c.y);
          if (InsideLamp(lp, x, y)) {
            const float core = 1.0f - 0.35f * std::min(1.0f, d / std::max(1.0f, lp.r));
            Glow(c, level * 2.6f * core, Scale(lin, level * 0.35f * core), id);
          } else if (p.kind == PartKind::kRollover && d <= lp.r + 2.0f) {
            Decal(c, {0.7f, 0.7f, 0.72f}, 0.0f, id);  // the metal ring of the button
          } else if (d <= lp.r + reach) {
            // Outside the insert (triangles and arrows reach less far than the circle).
            float edge = d - lp.r;
            if (lp.shape != LampShape::kCircle) edge = std::max(0.0f, d - lp.r * 0.75f);
            const float k = std::max(0.0f, 1.0f - edge / reach);
            Glow(c, 0.0f, Scale(lin, level * 0.55f * k * k), id);
          }
        });
        break;
      }
      const float level = logical == 0 ? 0.25f : logical == 1 ? 0.8f : 1.5f;
      const Colour base = Scale(lp.colour, 0.5f);
      ForBox(s, p.x0, p.y0, p.x1, p.y1, [&](int, int, Cell& c, float x, float y) {
        if (InsideLamp(lp, x, y)) {
          Decal(c, base, level, id);
        } else if (p.kind == PartKind::kRollover) {
          // A thin metal ring around the rollover insert.
          const float d = std::hypot(x - lp.c.x, y - lp.c.y);
          if (d <= lp.r + 2.0f) Decal(c, {0.7f, 0.7f, 0.72f}, 0.0f, id);
        }
      });
      break;
    }
    case PartKind::kBumper: {
      const Bumper& b = l.bumpers[static_cast<size_t>(p.index)];
      const float level = kBumperLevels[static_cast<size_t>(logical)];
      ForBox(s, p.x0, p.y0, p.x1, p.y1, [&](int, int, Cell& c, float x, float y) {
        const float d = std::hypot(x - b.c.x, y - b.c.y);
        if (d <= b.r - 4.0f) {
          const float dome = 6.0f * (1.0f - (d * d) / ((b.r - 4.0f) * (b.r - 4.0f)));
          Colour cap = Scale(b.colour, 0.8f);
          if (l.art) {
            // A six-armed snowflake printed on the cap.
            const float a = std::atan2(y - b.c.y, x - b.c.x);
            const float sector = static_cast<float>(M_PI) / 3.0f;
            const float off = a - std::round(a / sector) * sector;
            const float arm = d * std::fabs(std::sin(off));
            const float reach = (b.r - 4.0f) * 0.78f;
            const bool twig = std::fabs(d - reach * 0.6f) < 1.4f && std::fabs(off) < 0.45f;
            if ((arm < 1.5f && d < reach) || twig || d < 2.5f) cap = l.art->cap_flake;
          }
          Solid(c, 38.0f + dome, cap, 3, id);
          c.emit = level * 0.45f;
        } else if (d <= b.r) {
          Solid(c, 30.0f, {0.92f, 0.92f, 0.9f}, 3, id);
        } else if (d <= b.r + 3.0f) {
          Solid(c, 12.0f, {0.12f, 0.12f, 0.14f}, 2, id);
        }
      });
      break;
    }
    case PartKind::kKicker: {
      constexpr std::array<float, 4> kGrow = {0.0f, 3.0f, 5.0f, 2.0f};
      constexpr std::array<float, 4> kGlow = {0.0f, 1.0f, 0.6f, 0.3f};
      const Bumper& k = l.kicker;
      const float r = k.r + kGrow[static_cast<size_t>(logical)];
      ForBox(s, p.x0, p.y0, p.x1, p.y1, [&](int, int, Cell& c, float x, float y) {
        const float d = std::hypot(x - k.c.x, y - k.c.y);
        if (d <= 9.0f) {
          Solid(c, 42.0f, l.kicker_cap, 3, id);
          c.emit = kGlow[static_cast<size_t>(logical)];
        } else if (d <= r && d >= r - 5.0f) {
          Solid(c, 24.0f, k.colour, 2, id);
        } else if (d < r - 5.0f) {
          Solid(c, 6.0f, Scale(l.kicker_cap, 0.5f), 3, id);
          c.emit = kGlow[static_cast<size_t>(logical)] * 0.5f;
        }
      });
      break;
    }
    case PartKind::kGate: {
      const Gate& g = l.gates[static_cast<size_t>(p.index)];
      const float swing = static_cast<float>(logical) * 20.0f * static_cast<float>(M_PI) / 180.0f;
      const float len = g.height - 6.0f;  // loop length in wu below the bar
      const float ax = g.b.x - g.a.x, ay = g.b.y - g.a.y;
      const float alen = std::hypot(ax, ay);
      // Posts at both ends (solid), the bar and the hanging loop as wires.
      ForBox(s, p.x0, p.y0, p.x1, p.y1, [&](int, int, Cell& c, float x, float y) {
        const float t = ((x - g.a.x) * ax + (y - g.a.y) * ay) / alen;
        const float u = ((x - g.a.x) * ay - (y - g.a.y) * ax) / alen;
        if ((t < 3.0f || t > alen - 3.0f) && t > -3.0f && t < alen + 3.0f && std::fabs(u) <= 3.0f)
          Solid(c, g.height + 4.0f, {0.3f, 0.3f, 0.35f}, 1, id);
      });
      // Swing towards the far side: up the table, normal (ay, −ax) / alen in playfield px.
      const Vec2 n{ay / alen, -ax / alen};
      const float out_px = len * std::sin(swing) / kCell;
      const float drop = len * std::cos(swing);
      auto world = [&](float x, float y, float z) {
        const render::WorldPoint w = render::TableToWorld(x, y, z - 22.5f);
        return std::array<float, 3>{w.x, w.y, w.z};
      };
      auto wire = [&](std::array<float, 3> a, std::array<float, 3> b, float r) {
        s.part_wires[pi].push_back(
            {a[0], a[1], a[2], b[0], b[1], b[2], r, {0.85f, 0.87f, 0.9f}, id});
      };
      auto& wires = s.part_wires[pi];
      wires.clear();
      const float inset = 8.0f;
      const Vec2 d{ax / alen, ay / alen};
      const Vec2 a0{g.a.x + d.x * 2.0f, g.a.y + d.y * 2.0f},
          b0{g.b.x - d.x * 2.0f, g.b.y - d.y * 2.0f};
      wire(world(a0.x, a0.y, g.height), world(b0.x, b0.y, g.height), 1.8f);
      const Vec2 l0{g.a.x + d.x * inset, g.a.y + d.y * inset},
          r0{g.b.x - d.x * inset, g.b.y - d.y * inset};
      const Vec2 l1{l0.x + n.x * out_px, l0.y + n.y * out_px},
          r1{r0.x + n.x * out_px, r0.y + n.y * out_px};
      const float zb = g.height - drop;
      wire(world(l0.x, l0.y, g.height), world(l1.x, l1.y, zb), 1.4f);
      wire(world(r0.x, r0.y, g.height), world(r1.x, r1.y, zb), 1.4f);
      wire(world(l1.x, l1.y, zb), world(r1.x, r1.y, zb), 1.4f);
      break;
    }
    case PartKind::kSpinner: {
      // Frame 0 hangs straight down; each frame turns the plate 22.5° about its axle.
      const float a =
          (static_cast<float>(logical) * 22.5f + 90.0f) * static_cast<float>(M_PI) / 180.0f;
      const float cs = std::cos(a), sn = std::sin(a);
      const float half = l.spinner_half_length;
      const Vec2 c0 = l.spinner_c;
      ForBox(s, p.x0, p.y0, p.x1, p.y1, [&](int, int, Cell& c, float x, float y) {
        const float dx = std::fabs(x - c0.x), dy = std::fabs(y - c0.y);
        if (dx > l.spinner_half_width && dx <= l.spinner_half_width + 4.0f && dy <= 3.0f)
          Solid(c, l.spinner_axle + 6.0f, {0.35f, 0.35f, 0.4f}, 1, id);  // brackets
      });
      auto& wires = s.part_wires[pi];
      wires.clear();
      // The plate as a row of touching rods along its width.
      constexpr int kRods = 9;
      for (int k = 0; k < kRods; ++k) {
        const float sp = -half + 2.0f * half * static_cast<float>(k) / (kRods - 1);
        const float y = c0.y + sp * cs;
        const float z = l.spinner_axle + sp * sn * kCell;
        const render::WorldPoint wa =
            render::TableToWorld(c0.x - l.spinner_half_width, y, z - 22.5f);
        const render::WorldPoint wb =
            render::TableToWorld(c0.x + l.spinner_half_width, y, z - 22.5f);
        const Colour col = k == kRods / 2 ? Colour{0.5f, 0.5f, 0.55f} : l.spinner_colour;
        wires.push_back({wa.x, wa.y, wa.z, wb.x, wb.y, wb.z, 2.4f, col, id});
      }
      break;
    }
    case PartKind::kTarget: {
      const DropTarget& t = l.targets[static_cast<size_t>(p.index)];
      const float fx = l.bank_face1.x - l.bank_face0.x, fy = l.bank_face1.y - l.bank_face0.y;
      const float fl = std::hypot(fx, fy);
      const Vec2 along{fx / fl, fy / fl}, n{-fy / fl, fx / fl};
      float up = 1.0f;
      if (logical >= 1 && logical <= 5) up = 1.0f - static_cast<float>(logical) / 5.0f;
      if (logical >= 6) up = static_cast<float>(logical - 5) / 6.0f;
      const float hh = 4.0f + (l.target_height - 4.0f) * up;
      ForBox(s, p.x0, p.y0, p.x1, p.y1, [&](int, int, Cell& c, float x, float y) {
        const float a = (x - t.centre.x) * along.x + (y - t.centre.y) * along.y;
        const float b = (x - t.centre.x) * n.x + (y - t.centre.y) * n.y;
        if (std::fabs(a) <= l.target_half_length && b >= -l.target_thickness && b <= 0.0f)
          Solid(c, hh, l.art && std::fabs(a) < 3.5f ? l.art->ribbon : l.target_colour, 3, id);
      });
      break;
    }
    case PartKind::kBank:
      break;  // the bank body is part of the static scene
    case PartKind::kPlunger: {
      float pull = 0.0f;
      if (frame <= 31)
        pull = l.plunger_travel * static_cast<float>(frame) / 31.0f;
      else
        pull = l.plunger_travel * (1.0f - static_cast<float>(frame - 32) / 12.0f);
      const float tip = l.plunger_tip_y + pull;
      const float hw = l.plunger_width * 0.5f;
      ForBox(s, p.x0, p.y0, p.x1, p.y1, [&](int, int, Cell& c, float x, float y) {
        const float dx = std::fabs(x - l.plunger_x);
        if (y >= tip && y <= tip + 8.0f && dx <= hw) {
          Solid(c, 26.0f, {0.15f, 0.15f, 0.15f}, 2, id);  // rubber tip
        } else if (y > tip + 8.0f && dx <= hw * 0.45f) {
          Solid(c, 24.0f, l.plunger_colour, 1, id);  // rod
        }
      });
      break;
    }
    case PartKind::kFlipper: {
      const Flipper& f = l.flippers[static_cast<size_t>(p.index)];
      const int phys = kFlipperImageFrames[static_cast<size_t>(frame)];
      ForBox(s, p.x0, p.y0, p.x1, p.y1, [&](int, int, Cell& c, float x, float y) {
        const float d = FlipperDistance(f, phys, x, y);
        if (d <= -3.0f) {
          Solid(c, 26.0f, f.colour, 3, static_cast<int16_t>(p.row));
        } else if (d <= 0.0f) {
          Colour rubber = f.rubber;
          if (l.art && l.art->candy_rubbers) {
            // Candy-cane rubber: white bands across the red, along the flipper.
            const Vec2 dir = FlipperDirection(f, phys);
            const float t = (x - f.pivot.x) * dir.x + (y - f.pivot.y) * dir.y;
            const float n = (x - f.pivot.x) * dir.y - (y - f.pivot.y) * dir.x;
            if (std::fmod(t + n * 0.6f + 1000.0f, 14.0f) < 6.0f) rubber = {0.95f, 0.95f, 0.95f};
          }
          Solid(c, 24.0f, rubber, 2, static_cast<int16_t>(p.row));
        }
        if (std::hypot(x - f.pivot.x, y - f.pivot.y) <= 4.0f)
          Solid(c, 28.0f, {0.6f, 0.6f, 0.65f}, 1, static_cast<int16_t>(p.row));
      });
      break;
    }
  }
}

void RepaintBox(Scene& s, float x0, float y0, float x1, float y1) {
  ForBox(s, x0, y0, x1, y1, [&](int x, int y, Cell& c, float, float) {
    c = s.base[static_cast<size_t>((y - Scene::kOriginY) * s.width + (x - Scene::kOriginX))];
  });
  for (size_t i = 0; i < s.parts.size(); ++i) {
    const PartDef& p = s.parts[i];
    if (p.x1 < x0 || p.x0 > x1 || p.y1 < y0 || p.y0 > y1) continue;
    PaintPart(s, i, s.state[i]);
  }
}

}  // namespace

std::vector<PartDef> TableParts(const Layout& l) {
  std::vector<PartDef> parts;
  auto add = [&](PartDef p) { parts.push_back(std::move(p)); };
  {
    PartDef p{0, l.kicker.name, PartKind::kKicker, 4, 0};
    const float r = l.kicker.r + 8.0f;
    p.x0 = l.kicker.c.x - r;
    p.x1 = l.kicker.c.x + r;
    p.y0 = l.kicker.c.y - r;
    p.y1 = l.kicker.c.y + r;
    p.top = 44.0f;
    add(p);
  }
  {
    PartDef p{l.spinner_row, "SPINNER", PartKind::kSpinner, 32, 16};
    p.x0 = l.spinner_c.x - l.spinner_half_width - 5;
    p.x1 = l.spinner_c.x + l.spinner_half_width + 5;
    p.y0 = l.spinner_c.y - l.spinner_half_length - 2;
    p.y1 = l.spinner_c.y + l.spinner_half_length + 2;
    p.top = l.spinner_axle + l.spinner_half_length * kCell + 6.0f;
    add(p);
  }
  for (size_t i = 0; i < l.bumpers.size(); ++i) {
    const Bumper& b = l.bumpers[i];
    PartDef p{b.row, b.name, PartKind::kBumper, 10, 0};
    const float r = b.r + 4.0f;
    p.x0 = b.c.x - r;
    p.x1 = b.c.x + r;
    p.y0 = b.c.y - r;
    p.y1 = b.c.y + r;
    p.top = 46.0f;
    p.index = static_cast<int>(i);
    add(p);
  }
  for (size_t i = 0; i < l.gates.size(); ++i) {
    const Gate& g = l.gates[i];
    PartDef p{g.row, g.name, PartKind::kGate, 10, 5};
    p.x0 = std::min(g.a.x, g.b.x) - 4;
    p.x1 = std::max(g.a.x, g.b.x) + 4;
    p.y0 = std::min(g.a.y, g.b.y) - g.height / kCell - 2;
    p.y1 = std::max(g.a.y, g.b.y) + 4;
    p.top = g.height + 5.0f;
    p.index = static_cast<int>(i);
    add(p);
  }
  for (size_t i = 0; i < l.lamps.size(); ++i) {
    const Lamp& lp = l.lamps[i];
    PartDef p{lp.row, lp.name, lp.rollover ? PartKind::kRollover : PartKind::kLamp, 3, 0};
    const float r = lp.r + (l.art ? HaloReach(lp) + 1.0f : 3.0f);
    p.x0 = lp.c.x - r;
    p.x1 = lp.c.x + r;
    p.y0 = lp.c.y - r;
    p.y1 = lp.c.y + r;
    p.top = 1.0f;
    p.index = static_cast<int>(i);
    add(p);
  }
  for (size_t i = 0; i < l.targets.size(); ++i) {
    const DropTarget& t = l.targets[i];
    PartDef p{t.row, t.name, PartKind::kTarget, 22, 11};
    const float r = l.target_half_length + l.target_thickness + 2.0f;
    p.x0 = t.centre.x - r;
    p.x1 = t.centre.x + r;
    p.y0 = t.centre.y - r;
    p.y1 = t.centre.y + r;
    p.top = l.target_height + 1.0f;
    p.index = static_cast<int>(i);
    add(p);
  }
  {
    PartDef p{60, "DT_DOWN", PartKind::kBank, 2, 1};
    const Shape bank = BankShape(l);
    ShapeBounds(bank, 2.0f, p.x0, p.y0, p.x1, p.y1);
    p.top = l.bank_height + 1.0f;
    add(p);
  }
  {
    PartDef p{64, "PLUNGER", PartKind::kPlunger, 45, 0};
    p.x0 = l.plunger_x - l.plunger_width;
    p.x1 = l.plunger_x + l.plunger_width;
    p.y0 = l.plunger_tip_y - 2;
    p.y1 = static_cast<float>(l.height) + 40.0f;
    p.top = 28.0f;
    add(p);
  }
  for (size_t i = 0; i < 2; ++i) {
    const Flipper& f = l.flippers[i];
    PartDef p{kFlipperPartBase + static_cast<int>(i), f.name, PartKind::kFlipper, 9, 0};
    const float reach = f.length + f.r_tip + 2.0f;
    p.x0 = f.pivot.x - (f.mirror ? reach : f.r_pivot + 2.0f);
    p.x1 = f.pivot.x + (f.mirror ? f.r_pivot + 2.0f : reach);
    p.y0 = f.pivot.y - reach * 0.55f;
    p.y1 = f.pivot.y + reach * 0.55f;
    p.top = 29.0f;
    p.index = static_cast<int>(i);
    add(p);
  }
  std::sort(parts.begin(), parts.end(),
            [](const PartDef& a, const PartDef& b) { return a.row < b.row; });
  return parts;
}

void BuildScene(const Layout& l, Scene& s) {
  s.layout = &l;
  s.width = l.width - 2 * Scene::kOriginX;
  s.height = l.height - 2 * Scene::kOriginY;
  s.cells.assign(static_cast<size_t>(s.width * s.height), Cell{});
  ForBox(
      s, Scene::kOriginX, Scene::kOriginY, static_cast<float>(l.width + 47),
      static_cast<float>(l.height + 47), [&](int x, int y, Cell& c, float fx, float fy) {
        if (l.art && y >= l.height && y < l.height + 18 && x >= -14 && x < l.width + 14) {
          // The lockdown bar across the foot of the table.
          const float k =
              0.9f + 0.1f * std::cos((fy - static_cast<float>(l.height) - 9.0f) * 0.17f);
          Solid(c, 30.0f + 4.0f * k, {0.72f * k, 0.74f * k, 0.78f * k}, 1, kNoPart);
        } else if (l.art && (x < 0 || x >= l.width) && (x >= -14 && x < l.width + 14) && y >= 0) {
          // Metal side rails along the cabinet's inner edge.
          const float u = x < 0 ? fx + 14.0f : fx - static_cast<float>(l.width);
          const float k = 0.75f + 0.25f * std::sin(u / 14.0f * static_cast<float>(M_PI));
          Solid(c, 70.0f + 3.0f * k, {0.7f * k, 0.72f * k, 0.76f * k}, 1, kNoPart);
        } else if (x < 0 || x >= l.width || y < 0) {
          Solid(c, 70.0f, l.border_colour, 0, kNoPart);
          c.painted = l.art != nullptr;
        } else if (y >= l.height) {
          Solid(c, 30.0f, l.border_colour, 0, kNoPart);
          c.painted = l.art != nullptr;
        } else if (l.art) {
          c.painted = true;
          c.material = 0;
        } else {
          // A faint diagonal weave so the floor does not look flat-shaded.
          const float k =
              0.94f + 0.06f * std::sin((fx + fy) * 0.05f) * std::sin((fx - fy) * 0.031f);
          SetColour(c, Scale(l.floor_colour, k));
          c.material = 0;
        }
      });
  if (!l.art)
    for (const Patch& p : l.patches) {
      float x0, y0, x1, y1;
      ShapeBounds(p.shape, 1.0f, x0, y0, x1, y1);
      ForBox(s, x0, y0, x1, y1, [&](int, int, Cell& c, float x, float y) {
        if (ShapeDistance(p.shape, x, y) <= 0.0f) SetColour(c, p.colour);
      });
    }
  if (!l.art)
    for (const Label& lb : l.labels) {
      const float cell = lb.size / 7.0f;
      const float total = static_cast<float>(lb.text.size()) * 6.0f * cell - cell;
      const float left = lb.c.x - total * 0.5f, top = lb.c.y - lb.size * 0.5f;
      ForBox(s, left, top, left + total, top + lb.size, [&](int, int, Cell& c, float x, float y) {
        const int col = static_cast<int>((x - left) / cell);
        const int row = static_cast<int>((y - top) / cell);
        if (row < 0 || row >= 7 || col < 0) return;
        const size_t ch = static_cast<size_t>(col / 6);
        const int gx = col % 6;
        if (ch >= lb.text.size() || gx >= 5) return;
        const Glyph* g = FindGlyph(lb.text[ch]);
        if (g && (g->rows[static_cast<size_t>(row)] >> (4 - gx) & 1)) SetColour(c, lb.colour);
      });
    }
  // Shooter lane floor and the kicker hole.
  ForBox(s, 731, 0, static_cast<float>(l.width - 1), static_cast<float>(l.height - 1),
         [&](int, int, Cell& c, float, float) {
           SetColour(c, Scale(l.border_colour, 1.6f));
           c.painted = false;
         });
  ForBox(s, l.hole_c.x - l.hole_r - 3, l.hole_c.y - l.hole_r - 3, l.hole_c.x + l.hole_r + 3,
         l.hole_c.y + l.hole_r + 3, [&](int, int, Cell& c, float x, float y) {
           const float d = std::hypot(x - l.hole_c.x, y - l.hole_c.y);
           if (d <= l.hole_r)
             SetColour(c, {0.02f, 0.02f, 0.03f}), c.painted = false;
           else if (d <= l.hole_r + 3)
             SetColour(c, {0.7f, 0.7f, 0.72f}), c.painted = false;
         });
  // Walls, the bank and its backing.
  auto paint_wall = [&](const Wall& w, int16_t part) {
    float x0, y0, x1, y1;
    ShapeBounds(w.shape, 1.0f, x0, y0, x1, y1);
    x0 = std::max(x0, -48.0f);
    y0 = std::max(y0, -48.0f);
    x1 = std::min(x1, static_cast<float>(l.width + 47));
    y1 = std::min(y1, static_cast<float>(l.height + 47));
    const uint8_t m = MaterialIndex(l, w.material);
    const bool candy = l.art && std::find(l.art->candy_walls.begin(), l.art->candy_walls.end(),
                                          w.name) != l.art->candy_walls.end();
    const bool wood = l.art && m == 0;
    ForBox(s, x0, y0, x1, y1, [&](int, int, Cell& c, float x, float y) {
      const float d = ShapeDistance(w.shape, x, y);
      if (d <= 0.0f) {
        // Rounded top edge on thin guides and rails.
        const float bevel = std::min(1.0f, -d / 3.0f + 0.4f);
        Colour col = w.colour;
        if (candy && std::fmod(x + y + 4000.0f, 16.0f) < 7.0f) col = l.art->stripe;
        if (wood) {
          // Grain: bands that wander along the board.
          const float g = std::sin(x * 0.21f + 3.0f * std::sin(y * 0.021f) +
                                   std::sin(x * 0.047f + y * 0.013f) * 2.0f);
          col = Scale(col, 0.86f + 0.14f * g);
        }
        // Beyond the playfield the cabinet keeps its painted side art.
        const bool side = c.painted && (x < 0.0f || y < 0.0f || x >= static_cast<float>(l.width));
        Solid(c, w.height * (0.85f + 0.15f * bevel), col, m, part);
        if (side) c.painted = true;
      }
    });
  };
  // Thin metal guides are bent wire: two chrome rails on posts, traced as
  // wires rather than as a one-pixel wall in the height field.
  s.wires.clear();
  auto wire_guide = [&](const Wall& w) {
    return l.art && w.shape.kind == ShapeKind::kLine && w.shape.width < 3.0f &&
           w.material.specular >= 0.5f;
  };
  for (const Wall& w : l.walls) {
    if (!wire_guide(w)) {
      paint_wall(w, kNoPart);
      continue;
    }
    const auto& pts = w.shape.points;
    for (size_t k = 0; k + 1 < pts.size(); ++k)
      for (float z : {w.height * 0.45f, w.height * 0.9f}) {
        const render::WorldPoint a = render::TableToWorld(pts[k].x, pts[k].y, z - 22.5f);
        const render::WorldPoint b = render::TableToWorld(pts[k + 1].x, pts[k + 1].y, z - 22.5f);
        s.wires.push_back({a.x, a.y, a.z, b.x, b.y, b.z, 1.7f, {0.86f, 0.88f, 0.92f}, kNoPart});
      }
    // Posts at the ends and bends, and short uprights along the way.
    std::vector<Vec2> posts(pts.begin(), pts.end());
    for (size_t k = 0; k + 1 < pts.size(); ++k) {
      const float len = std::hypot(pts[k + 1].x - pts[k].x, pts[k + 1].y - pts[k].y);
      const int n = static_cast<int>(len / 45.0f);
      for (int i = 1; i < n; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(n);
        posts.push_back(
            {pts[k].x + (pts[k + 1].x - pts[k].x) * t, pts[k].y + (pts[k + 1].y - pts[k].y) * t});
      }
    }
    for (const Vec2& e : posts)
      ForBox(s, e.x - 3, e.y - 3, e.x + 3, e.y + 3, [&](int, int, Cell& c, float x, float y) {
        if (std::hypot(x - e.x, y - e.y) <= 2.0f)
          Solid(c, w.height, {0.75f, 0.77f, 0.8f}, 1, kNoPart);
      });
  }
  if (l.art) {
    // A plastic post with a black rubber ring at each end of the guides.
    for (const Wall& w : l.walls) {
      if (w.shape.kind != ShapeKind::kLine || w.shape.width < 4.0f || w.shape.points.size() < 2)
        continue;
      for (const Vec2& e : {w.shape.points.front(), w.shape.points.back()}) {
        if (e.x <= 0.0f || e.y <= 0.0f || e.x >= static_cast<float>(l.width) ||
            e.y >= static_cast<float>(l.height))
          continue;
        ForBox(s, e.x - 7, e.y - 7, e.x + 7, e.y + 7, [&](int, int, Cell& c, float x, float y) {
          const float d = std::hypot(x - e.x, y - e.y);
          if (d <= 3.5f) {
            const float dome = 2.0f * (1.0f - d / 3.5f);
            Solid(c, w.height + 8.0f + dome, {0.95f, 0.82f, 0.3f}, 3, kNoPart);
          } else if (d <= 5.5f) {
            Solid(c,
                  w.height * 0.55f + 2.0f * std::sin((d - 3.5f) / 2.0f * static_cast<float>(M_PI)),
                  {0.08f, 0.08f, 0.09f}, 2, kNoPart);
          }
        });
      }
    }
  }
  paint_wall(l.bank_backing, kNoPart);
  Wall bank;
  bank.shape = BankShape(l);
  bank.height = l.bank_height;
  bank.colour = l.bank_colour;
  bank.material = l.bank_material;
  paint_wall(bank, 60);
  s.base = s.cells;
  s.parts = TableParts(l);
  s.state.assign(s.parts.size(), 0);
  s.part_wires.assign(s.parts.size(), {});
  for (size_t i = 0; i < s.parts.size(); ++i) PaintPart(s, i, 0);
  if (l.art) {
    // Ambient occlusion from the walls and the bumpers (the parts that never
    // move), kept in the base so every part's frames share it.
    std::vector<float> h(s.cells.size());
    for (size_t i = 0; i < h.size(); ++i) {
      const int16_t part = s.cells[i].part;
      h[i] = part >= 2 && part <= 10 ? s.cells[i].h : s.base[i].h;
    }
    constexpr std::array<float, 4> kDist = {3.0f, 7.0f, 13.0f, 22.0f};
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x) {
        const size_t i = static_cast<size_t>(y * s.width + x);
        float occ = 0.0f;
        for (int k = 0; k < 8; ++k) {
          const float a = static_cast<float>(k) * static_cast<float>(M_PI) / 4.0f;
          float worst = 0.0f;
          for (float d : kDist) {
            const int qx =
                std::clamp(x + static_cast<int>(std::lround(std::cos(a) * d)), 0, s.width - 1);
            const int qy =
                std::clamp(y + static_cast<int>(std::lround(std::sin(a) * d)), 0, s.height - 1);
            const float rise = h[static_cast<size_t>(qy * s.width + qx)] - h[i];
            if (rise > 0.0f) worst = std::max(worst, rise / std::hypot(rise, d * kCell));
          }
          occ += worst;
        }
        const float ao = 1.0f - 0.6f * occ / 8.0f;
        s.cells[i].ao = ao;
        s.base[i].ao = ao;
      }
  }
}

void SetPartFrame(Scene& s, size_t i, int frame) {
  s.state[i] = frame;
  const PartDef& p = s.parts[i];
  RepaintBox(s, p.x0 - 1, p.y0 - 1, p.x1 + 1, p.y1 + 1);
}

std::array<Light, 2> SceneLights() {
  auto norm = [](float x, float y, float z, float k) {
    const float l = std::sqrt(x * x + y * y + z * z);
    return Light{x / l, y / l, z / l, k};
  };
  return {norm(-0.35f, -0.55f, 1.0f, 0.62f), norm(0.55f, -0.25f, 1.0f, 0.35f)};
}

float AmbientLight(bool dark) { return dark ? 0.07f : 0.32f; }

namespace {

struct Ray {
  double ox, oy, oz, dx, dy, dz;
};

struct CamBasis {
  double eye[3];
  double right[3], up[3], back[3];
  double fx, fy, cx, cy;
};

CamBasis Basis(const render::DepthCamera& cam) {
  CamBasis b{};
  for (int c = 0; c < 3; ++c) {
    b.right[c] = render::CameraElement(cam, 0, c);
    b.up[c] = render::CameraElement(cam, 1, c);
    b.back[c] = render::CameraElement(cam, 2, c);
  }
  for (int c = 0; c < 3; ++c)
    b.eye[c] = -(b.right[c] * render::CameraElement(cam, 0, 3) +
                 b.up[c] * render::CameraElement(cam, 1, 3) +
                 b.back[c] * render::CameraElement(cam, 2, 3));
  b.fx = cam.fx;
  b.fy = cam.fy;
  b.cx = cam.cx;
  b.cy = cam.cy;
  return b;
}

// W = −t along this ray, so the depth of a hit is DepthOfW(−t).
Ray RayThrough(const CamBasis& b, double u, double v) {
  const double xv = -(u - b.cx) / b.fx;  // view x at W = −1
  const double yv = -(v - b.cy) / b.fy;
  Ray r;
  r.ox = b.eye[0];
  r.oy = b.eye[1];
  r.oz = b.eye[2];
  r.dx = xv * b.right[0] + yv * b.up[0] - b.back[0];
  r.dy = xv * b.right[1] + yv * b.up[1] - b.back[1];
  r.dz = xv * b.right[2] + yv * b.up[2] - b.back[2];
  return r;
}

// Ray (unit direction) against a capsule; distance or a negative value.
double CapsuleHit(const double ro[3], const double rd[3], const Wire& w) {
  const double pa[3] = {w.ax, w.ay, w.az}, pb[3] = {w.bx, w.by, w.bz};
  double ba[3], oa[3];
  for (int k = 0; k < 3; ++k) {
    ba[k] = pb[k] - pa[k];
    oa[k] = ro[k] - pa[k];
  }
  auto dot = [](const double* a, const double* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  };
  const double baba = dot(ba, ba), bard = dot(ba, rd), baoa = dot(ba, oa), rdoa = dot(rd, oa),
               oaoa = dot(oa, oa);
  const double r = w.r;
  const double a = baba - bard * bard;
  double b = baba * rdoa - baoa * bard;
  double c = baba * oaoa - baoa * baoa - r * r * baba;
  double h = b * b - a * c;
  if (h < 0.0 || a <= 1e-12) return -1.0;
  const double t = (-b - std::sqrt(h)) / a;
  const double y = baoa + t * bard;
  if (y > 0.0 && y < baba) return t;
  double oc[3];
  for (int k = 0; k < 3; ++k) oc[k] = y <= 0.0 ? oa[k] : ro[k] - pb[k];
  b = dot(rd, oc);
  c = dot(oc, oc) - r * r;
  h = b * b - c;
  if (h > 0.0) return -b - std::sqrt(h);
  return -1.0;
}

struct Tracer {
  const Scene& s;
  std::vector<Wire> wires;
  // World X/Y to playfield x/y: x = ax + X·kx, y = ay + Y·ky.
  double kx, ax, ky, ay;

  explicit Tracer(const Scene& sc) : s(sc) {
    wires = sc.wires;
    for (const auto& pw : sc.part_wires) wires.insert(wires.end(), pw.begin(), pw.end());
    const render::WorldPoint p0 = render::TableToWorld(0, 0, 0),
                             p1 = render::TableToWorld(100, 100, 0);
    kx = 100.0 / (p1.x - p0.x);
    ax = -p0.x * kx;
    ky = 100.0 / (p1.y - p0.y);
    ay = -p0.y * ky;
  }

  const Cell* CellAt(double px, double py) const {
    const int x = static_cast<int>(std::floor(px)) - Scene::kOriginX;
    const int y = static_cast<int>(std::floor(py)) - Scene::kOriginY;
    if (x < 0 || y < 0 || x >= s.width || y >= s.height) return nullptr;
    return &s.cells[static_cast<size_t>(y * s.width + x)];
  }
  float H(int x, int y) const {
    x = std::clamp(x - Scene::kOriginX, 0, s.width - 1);
    y = std::clamp(y - Scene::kOriginY, 0, s.height - 1);
    return s.cells[static_cast<size_t>(y * s.width + x)].h;
  }

  // March the ray through the height field; t of the hit, or a negative value.
  double March(const Ray& r, double t_max_hint = 1e30) const {
    if (r.dz >= 0.0) return -1.0;
    double t0 = (kTopLimit - r.oz) / r.dz;
    const double t1 = std::min((0.0 - r.oz) / r.dz, t_max_hint);
    if (t0 < 0.0) t0 = 0.0;
    const double horiz = std::sqrt(r.dx * r.dx * kx * kx + r.dy * r.dy * ky * ky);  // px per t
    const double dt = 0.7 / std::max(horiz, 1e-9);
    double prev = t0;
    for (double t = t0;; t += dt) {
      const bool last = t >= t1;
      if (last) t = t1;
      const double px = ax + (r.ox + t * r.dx) * kx, py = ay + (r.oy + t * r.dy) * ky;
      const double z = r.oz + t * r.dz;
      const Cell* c = CellAt(px, py);
      if (!c) {
        if (last) return -1.0;
      } else if (z <= c->h + 1e-4) {
        double lo = prev, hi = t;
        for (int k = 0; k < 6; ++k) {
          const double m = 0.5 * (lo + hi);
          const Cell* cm = CellAt(ax + (r.ox + m * r.dx) * kx, ay + (r.oy + m * r.dy) * ky);
          if (cm && r.oz + m * r.dz <= cm->h)
            hi = m;
          else
            lo = m;
        }
        return hi;
      }
      if (last) return -1.0;
      prev = t;
    }
  }

  // Nearest wire along the ray (t in the ray's own parameter), or −1.
  double WireHit(const Ray& r, const Wire** hit) const {
    const double len = std::sqrt(r.dx * r.dx + r.dy * r.dy + r.dz * r.dz);
    const double ro[3] = {r.ox, r.oy, r.oz}, rd[3] = {r.dx / len, r.dy / len, r.dz / len};
    double best = -1.0;
    for (const Wire& w : wires) {
      const double t = CapsuleHit(ro, rd, w);
      if (t > 0.0 && (best < 0.0 || t < best)) {
        best = t;
        if (hit) *hit = &w;
      }
    }
    return best < 0.0 ? -1.0 : best / len;
  }

  // Height field or wire, whichever is nearer.
  double Trace(const Ray& r, const Wire** wire) const {
    const double th = March(r);
    const double tw = wires.empty() ? -1.0 : WireHit(r, wire);
    if (tw > 0.0 && (th < 0.0 || tw < th)) return tw;
    if (wire) *wire = nullptr;
    return th;
  }

  bool Shadowed(double X, double Y, double Z, const Light& L) const {
    if (!wires.empty()) {
      const Ray sr{X, Y, Z, L.x, L.y, L.z};
      if (WireHit(sr, nullptr) > 0.5) return true;
    }
    // Start a little along the light so the surface does not shadow itself.
    const double step = 0.9 / std::max(std::sqrt(L.x * L.x * kx * kx + L.y * L.y * ky * ky), 1e-9);
    for (double t = 2.0;; t += step) {
      const double z = Z + t * L.z;
      if (z > kTopLimit) return false;
      const Cell* c = CellAt(ax + (X + t * L.x) * kx, ay + (Y + t * L.y) * ky);
      if (!c) return false;
      if (z < c->h - 0.05) return true;
    }
  }

  struct Sample {
    float r, g, b;
    int16_t part;
    bool hit;
  };

  Sample ShadeWire(const Ray& r, double t, const Wire& w, bool dark) const {
    const double p[3] = {r.ox + t * r.dx, r.oy + t * r.dy, r.oz + t * r.dz};
    const double ba[3] = {w.bx - w.ax, w.by - w.ay, w.bz - w.az};
    const double bb = ba[0] * ba[0] + ba[1] * ba[1] + ba[2] * ba[2];
    double k = ((p[0] - w.ax) * ba[0] + (p[1] - w.ay) * ba[1] + (p[2] - w.az) * ba[2]) / bb;
    k = std::clamp(k, 0.0, 1.0);
    double n[3] = {p[0] - (w.ax + k * ba[0]), p[1] - (w.ay + k * ba[1]), p[2] - (w.az + k * ba[2])};
    const double nl = std::max(1e-9, std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]));
    for (double& e : n) e /= nl;
    const double rl = std::sqrt(r.dx * r.dx + r.dy * r.dy + r.dz * r.dz);
    const double v[3] = {-r.dx / rl, -r.dy / rl, -r.dz / rl};
    const float lk = dark ? 0.16f : 1.0f;
    double diff = AmbientLight(dark), spec = 0.0;
    for (const Light& L : SceneLights()) {
      const double nd = n[0] * L.x + n[1] * L.y + n[2] * L.z;
      if (nd <= 0.0) continue;
      diff += nd * L.intensity * lk;
      double hx = L.x + v[0], hy = L.y + v[1], hz = L.z + v[2];
      const double hl = std::sqrt(hx * hx + hy * hy + hz * hz);
      const double nh = std::max(0.0, (n[0] * hx + n[1] * hy + n[2] * hz) / hl);
      spec += 0.9 * std::pow(nh, 40.0) * L.intensity * lk;
    }
    return {static_cast<float>(w.colour.r * diff + spec),
            static_cast<float>(w.colour.g * diff + spec),
            static_cast<float>(w.colour.b * diff + spec), w.part, true};
  }

  // The artwork's albedo at playfield (px, py), bilinear between pixel centres.
  void Albedo(double px, double py, float out[3]) const {
    const Artwork& a = *s.layout->art;
    const double fx = std::clamp(px - 0.5 - a.ox, 0.0, a.w - 1.001),
                 fy = std::clamp(py - 0.5 - a.oy, 0.0, a.h - 1.001);
    const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
    const float tx = static_cast<float>(fx - x0), ty = static_cast<float>(fy - y0);
    const float* p00 = &a.rgb[static_cast<size_t>((y0 * a.w + x0) * 3)];
    const float* p10 = p00 + 3;
    const float* p01 = p00 + a.w * 3;
    const float* p11 = p01 + 3;
    for (int k = 0; k < 3; ++k)
      out[k] =
          (p00[k] * (1 - tx) + p10[k] * tx) * (1 - ty) + (p01[k] * (1 - tx) + p11[k] * tx) * ty;
  }

  // Sub-sample k of a pixel sees the lights from slightly different points of
  // their area, so the four samples together give shadows a soft edge.
  static Light Jitter(const Light& L, int k) {
    constexpr float kSpread = 0.07f;
    const float jx = (k & 1) ? kSpread : -kSpread, jy = (k & 2) ? kSpread : -kSpread;
    const float x = L.x + jx, y = L.y + jy, z = L.z;
    const float n = std::sqrt(x * x + y * y + z * z);
    return {x / n, y / n, z / n, L.intensity};
  }

  Sample Shade(const Ray& r, bool dark, int sample = 0) const {
    const Wire* wire = nullptr;
    const double t = Trace(r, &wire);
    if (t < 0.0) {
      return {0.03f, 0.03f, 0.06f, kNoPart, false};
    }
    if (wire) return ShadeWire(r, t, *wire, dark);
    const double X = r.ox + t * r.dx, Y = r.oy + t * r.dy, Z = r.oz + t * r.dz;
    const double px = ax + X * kx, py = ay + Y * ky;
    const int ix = static_cast<int>(std::floor(px)), iy = static_cast<int>(std::floor(py));
    const Cell& c = *CellAt(px, py);
    // Normal from the height field (y runs down the table, world Y up it).
    const double gx = (H(ix + 1, iy) - H(ix - 1, iy)) / (2.0 * kCell);
    const double gy = (H(ix, iy - 1) - H(ix, iy + 1)) / (2.0 * kCell);
    double nx = -gx, ny = -gy, nz = 1.0;
    const double nl = std::sqrt(nx * nx + ny * ny + nz * nz);
    nx /= nl;
    ny /= nl;
    nz /= nl;
    const double rl = std::sqrt(r.dx * r.dx + r.dy * r.dy + r.dz * r.dz);
    const double vx = -r.dx / rl, vy = -r.dy / rl, vz = -r.dz / rl;
    const Material& m = s.layout->materials[c.material];
    const float amb = AmbientLight(dark) * c.ao;
    const float lk = dark ? 0.16f : 1.0f;
    double diff = amb, spec = 0.0;
    for (const Light& L0 : SceneLights()) {
      const Light L = s.layout->art ? Jitter(L0, sample) : L0;
      const double nd = nx * L.x + ny * L.y + nz * L.z;
      if (nd <= 0.0) continue;
      if (Shadowed(X + nx * 0.8, Y + ny * 0.8, Z + nz * 0.8, L)) continue;
      diff += nd * L.intensity * lk;
      double hx = L.x + vx, hy = L.y + vy, hz = L.z + vz;
      const double hl = std::sqrt(hx * hx + hy * hy + hz * hz);
      const double nh = std::max(0.0, (nx * hx + ny * hy + nz * hz) / hl);
      spec += m.specular * std::pow(nh, m.shine) * L.intensity * lk;
    }
    const float emit = dark ? 0.0f : c.emit;
    if (c.material == 1 && !c.painted && s.layout->art) {
      // Chrome: the table's surroundings mirrored in the metal, a dark room
      // below the horizon and the light of the cabinet above it.
      const double dn = -(vx * nx + vy * ny + vz * nz);
      const double rz = -vz - 2.0 * dn * nz, ry = -vy - 2.0 * dn * ny;
      const double env = std::clamp(0.25 + 0.6 * rz + 0.25 * std::sin(ry * 9.0), 0.08, 1.0);
      const double light = (diff * 0.45 + env * 0.9) * (dark ? 0.25 : 1.0);
      return {static_cast<float>(c.r * light + spec), static_cast<float>(c.g * light + spec),
              static_cast<float>(c.b * light + spec), c.part, true};
    }
    if (c.painted && s.layout->art) {
      float a[3];
      Albedo(px, py, a);
      const double light = diff + emit;
      Sample out;
      out.r = static_cast<float>(a[0] * light + spec + (dark ? 0.0f : c.gr));
      out.g = static_cast<float>(a[1] * light + spec + (dark ? 0.0f : c.gg));
      out.b = static_cast<float>(a[2] * light + spec + (dark ? 0.0f : c.gb));
      out.part = c.part;
      out.hit = true;
      return out;
    }
    const float albedo_scale = dark && c.emit == 0.0f ? 1.0f : 1.0f;
    Sample out;
    out.r = static_cast<float>(c.r * albedo_scale * (diff + emit * 1.4) + spec + emit * 0.25);
    out.g = static_cast<float>(c.g * albedo_scale * (diff + emit * 1.4) + spec + emit * 0.25);
    out.b = static_cast<float>(c.b * albedo_scale * (diff + emit * 1.4) + spec + emit * 0.25);
    out.part = c.part;
    out.hit = true;
    return out;
  }
};

uint8_t ToByte(float v) {
  v = std::clamp(v, 0.0f, 1.0f);
  // A gentle gamma so the dark floor keeps some detail.
  return static_cast<uint8_t>(std::lround(std::pow(v, 1.0f / 1.6f) * 255.0f));
}

}  // namespace

void RenderRegion(const Scene& scene, const render::DepthCamera& cam, const RenderOptions& opt,
                  int x, int y, int w, int h, RenderOut& out) {
  out.x = x;
  out.y = y;
  out.w = w;
  out.h = h;
  out.rgb.assign(static_cast<size_t>(w * h * 3), 0);
  out.depth.assign(static_cast<size_t>(w * h), 0);
  out.mask.assign(static_cast<size_t>(w * h), 0);
  const CamBasis basis = Basis(cam);
  const Tracer tracer(scene);
  auto rows = [&](int first, int step) {
    for (int j = first; j < h; j += step) {
      for (int i = 0; i < w; ++i) {
        const double u = x + i, v = y + j;
        float r = 0, g = 0, b = 0;
        bool watched = false;
        for (int sy = 0; sy < 2; ++sy)
          for (int sx = 0; sx < 2; ++sx) {
            const auto smp = tracer.Shade(
                RayThrough(basis, u + 0.25 + 0.5 * sx, v + 0.25 + 0.5 * sy), opt.dark, sy * 2 + sx);
            r += smp.r;
            g += smp.g;
            b += smp.b;
            if (smp.hit && opt.watch_part != kNoPart && smp.part == opt.watch_part) watched = true;
          }
        const size_t k = static_cast<size_t>(j * w + i);
        out.rgb[k * 3 + 0] = ToByte(r * 0.25f);
        out.rgb[k * 3 + 1] = ToByte(g * 0.25f);
        out.rgb[k * 3 + 2] = ToByte(b * 0.25f);
        const Ray centre = RayThrough(basis, u + 0.5, v + 0.5);
        const Wire* wire = nullptr;
        const double t = tracer.Trace(centre, &wire);
        if (t < 0.0) {
          out.depth[k] = -32768;
        } else {
          const int32_t d = render::DepthOfW(cam, static_cast<float>(-t));
          out.depth[k] = static_cast<int16_t>(std::clamp(d, -32768, 32767));
          if (wire && wire->part == opt.watch_part) watched = true;
          if (opt.watch_part != kNoPart && !wire) {
            const Cell* c = tracer.CellAt(tracer.ax + (centre.ox + t * centre.dx) * tracer.kx,
                                          tracer.ay + (centre.oy + t * centre.dy) * tracer.ky);
            if (c && c->part == opt.watch_part) watched = true;
          }
        }
        out.mask[k] = watched ? 1 : 0;
      }
    }
  };
  const int n = std::max(1, std::min(opt.threads, h));
  std::vector<std::thread> pool;
  for (int t = 1; t < n; ++t) pool.emplace_back(rows, t, n);
  rows(0, n);
  for (auto& th : pool) th.join();
}

void ScreenBox(const render::DepthCamera& cam, float x0, float y0, float x1, float y1, float top,
               int& sx, int& sy, int& sw, int& sh) {
  float mnx = 1e9f, mny = 1e9f, mxx = -1e9f, mxy = -1e9f;
  for (float x : {x0, x1})
    for (float y : {y0, y1})
      for (float z : {0.0f, top}) {
        const render::WorldPoint p = render::TableToWorld(x, y, z - 22.5f);
        float u, v;
        if (!render::ProjectContinuous(cam, p, u, v)) continue;
        mnx = std::min(mnx, u);
        mny = std::min(mny, v);
        mxx = std::max(mxx, u);
        mxy = std::max(mxy, v);
      }
  const int ix0 = std::max(0, static_cast<int>(std::floor(mnx)) - 2);
  const int iy0 = std::max(0, static_cast<int>(std::floor(mny)) - 2);
  const int ix1 = std::min(1023, static_cast<int>(std::ceil(mxx)) + 2);
  const int iy1 = std::min(767, static_cast<int>(std::ceil(mxy)) + 2);
  sx = ix0;
  sy = iy0;
  sw = std::max(1, ix1 - ix0 + 1);
  sh = std::max(1, iy1 - iy0 + 1);
}

}  // namespace tablegen
