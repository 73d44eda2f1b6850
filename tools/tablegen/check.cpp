#include "check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/table_geometry.h"
#include "layout.h"
#include "render/colour_cube.h"
#include "render/image_files.h"
#include "render/image_set.h"
#include "render/jpeg_io.h"
#include "render/picture.h"
#include "render/pixel_format.h"
#include "render/projection.h"
#include "render/render_files.h"
#include "render/spr24_file.h"
#include "render/sprite_file.h"
#include "render/true_colour_sprite.h"
#include "res/cdata.h"
#include "res/pack.h"
#include "res/res_file.h"

namespace tablegen {

namespace {

namespace geo = core::geometry;

struct Checker {
  int failures = 0;
  void Fail(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
    va_list ap;
    va_start(ap, fmt);
    std::printf("FAIL: ");
    std::vprintf(fmt, ap);
    std::printf("\n");
    va_end(ap);
    ++failures;
  }
};

struct PartSpec {
  const char* name;
  int frames;
};

// The 65 table parts by row, with the frames the rules use.
std::vector<PartSpec> PartSpecs() {
  std::vector<PartSpec> v = {{"REBOUNDR", 4}, {"SPINNER", 32}};
  static const char* bumpers[] = {"BUMPER1", "BUMPER2", "BUMPER3", "BUMPER4", "BUMPER5",
                                  "BUMPER6", "BUMPER7", "BUMPER8", "BUMPER9"};
  for (const char* b : bumpers) v.push_back({b, 10});
  for (const char* g : {"WGATE_L", "WGATE_R", "WGATE_S"}) v.push_back({g, 10});
  for (const char* l : {"LTREE_T", "LTREE_R", "LTREE_E1", "LTREE_E2", "L_MBALL", "L_GIFT",
                        "L_SAGAIN", "LSAN_S", "LSAN_A1", "LSAN_N", "LSAN_T", "LSAN_A2"})
    v.push_back({l, 3});
  static std::vector<std::string> bonus;
  if (bonus.empty())
    for (int i = 0; i < 20; ++i) {
      char n[16];
      std::snprintf(n, sizeof n, "LBON_%02d", i);
      bonus.push_back(n);
    }
  for (const auto& b : bonus) v.push_back({b.c_str(), 3});
  for (const char* r : {"RTREE_T", "RTREE_R", "RTREE_E1", "RTREE_E2", "RLSIDE", "RGIFT", "RENTRA",
                        "RSAN_S", "RSAN_A1", "RSAN_A2"})
    v.push_back({r, 3});
  for (const char* d : {"DT_01", "DT_02", "DT_03", "DT_04"}) v.push_back({d, 22});
  v.push_back({"DT_DOWN", 2});
  for (const char* l : {"LEXTRA", "LDOUBLE", "LSPECIAL"}) v.push_back({l, 3});
  v.push_back({"PLUNGER", 45});
  return v;
}

struct DepthSpec {
  const char* name;
  int frames;
};
constexpr std::array<DepthSpec, 7> kDepthFiles = {{{"SPINNER", 16},
                                                   {"WGATE_L", 5},
                                                   {"WGATE_R", 5},
                                                   {"WGATE_S", 5},
                                                   {"DT_04", 2},
                                                   {"FL", 9},
                                                   {"FR", 9}}};

struct Mode {
  int w, h;
  render::PixelFormatId id;
};

std::vector<Mode> AllModes() {
  std::vector<Mode> m;
  for (auto [w, h] : {std::pair{1024, 768}, std::pair{800, 600}, std::pair{640, 480}})
    for (auto id :
         {render::PixelFormatId::PAL8, render::PixelFormatId::RGB555, render::PixelFormatId::RGB565,
          render::PixelFormatId::RGB24, render::PixelFormatId::RGB32})
      m.push_back({w, h, id});
  return m;
}

const char* FormatName(render::PixelFormatId id) {
  switch (id) {
    case render::PixelFormatId::PAL8:
      return "PAL8";
    case render::PixelFormatId::RGB555:
      return "RGB555";
    case render::PixelFormatId::RGB565:
      return "RGB565";
    case render::PixelFormatId::RGB24:
      return "RGB24";
    case render::PixelFormatId::RGB32:
      return "RGB32";
  }
  return "?";
}

render::DisplayFormat MakeFormat(const Mode& m) {
  render::DisplayFormat f;
  f.width = m.w;
  f.height = m.h;
  f.format_id = m.id;
  render::SetFormatDefaults(f);
  return f;
}

bool Open(uint8_t code) {
  return code == 0 || code == 13 || code == 16 || code == 17 || code == 18 || code == 32;
}

void CheckSurfaceMap(Checker& c, const render::ScreenImage& map) {
  if (map.width != geo::kMapWidth || map.height != geo::kMapHeight) {
    c.Fail("P_MASK0.LSC is %dx%d, expected %dx%d", map.width, map.height, geo::kMapWidth,
           geo::kMapHeight);
    return;
  }
  const int w = map.width, h = map.height;
  auto at = [&](int x, int y) -> uint8_t {
    if (x < 0 || x >= w || y < 0) return 10;
    if (y >= h) return 0;
    return map.bytes[static_cast<size_t>(y * w + x)];
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (at(x, y) == 11) {
        c.Fail("surface map holds code 11 (flipper) at (%d, %d)", x, y);
        y = h;
        break;
      }
  for (const geo::FlipperPlace& f : geo::kFlippers)
    for (int y = f.box.y; y < f.box.y + geo::kFlipperBoxHeight; ++y)
      for (int x = f.box.x; x < f.box.x + geo::kFlipperBoxWidth; ++x)
        if (at(x, y) >= 64) {
          c.Fail("code %d >= 64 under a flipper box at (%d, %d)", at(x, y), x, y);
          y = f.box.y + geo::kFlipperBoxHeight;
          break;
        }
  for (int x = 0; x < w; ++x)
    if (at(x, 0) != 10) {
      c.Fail("top row is not wall (code 10) at x %d", x);
      break;
    }
  // Drain: the bottom row is open between the flippers.
  bool drain = false;
  for (int x = 300; x <= 420; ++x) drain |= Open(at(x, h - 1));
  if (!drain) c.Fail("no open drain on the bottom row between the flippers");
  // Lanes: code-16 floor in every probed lane box, reachable (open pixels).
  for (const geo::Lane& lane : geo::kLanes) {
    const geo::Box& b = lane.box;
    int open = 0, floor16 = 0;
    for (int y = b.y0; y <= b.y1; ++y)
      for (int x = b.x0; x <= b.x1; ++x) {
        open += Open(at(x, y)) ? 1 : 0;
        floor16 += at(x, y) == 16 ? 1 : 0;
      }
    if (open == 0) c.Fail("lane box %s has no open floor", lane.name);
    if (lane.probe && floor16 == 0) c.Fail("lane box %s has no code-16 floor", lane.name);
    if (lane.probe) {
      // Every open pixel of the lane's rows inside the box must see code 16 at x, x-2 or x+2.
      for (int y = b.y0; y <= b.y1; ++y)
        for (int x = b.x0; x <= b.x1; ++x)
          if (Open(at(x, y)) && at(x, y) != 16 && at(x - 2, y) != 16 && at(x + 2, y) != 16) {
            c.Fail("lane %s: open pixel (%d, %d) sees no code 16", lane.name, x, y);
            y = b.y1 + 1;
            break;
          }
    }
  }
  // Spinner: open floor and code 13 in its box.
  {
    const geo::Box& b = geo::kSpinnerBox;
    int open = 0, n = 0;
    for (int y = b.y0; y <= b.y1; ++y)
      for (int x = b.x0; x <= b.x1; ++x) {
        open += Open(at(x, y)) ? 1 : 0;
        n += at(x, y) == geo::kSpinnerCode ? 1 : 0;
      }
    if (open == 0) c.Fail("lane box spinner has no open floor");
    if (n == 0) c.Fail("no code-%d floor in the spinner box", geo::kSpinnerCode);
  }
  // Bumper rings and the kicker: centred on their hit points, nearest their own.
  {
    std::map<int, std::array<double, 3>> sums;  // row -> (sx, sy, n)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t code = at(x, y);
        if (code != 12 && code != 22) continue;
        int best = -1;
        double bd = 1e18;
        for (const geo::HitPoint& p : geo::kHitPoints) {
          if (p.code != code) continue;
          const double d = std::hypot(x - p.at.x, y - p.at.y);
          if (d < bd) {
            bd = d;
            best = p.row;
          }
        }
        auto& s = sums[best];
        s[0] += x;
        s[1] += y;
        s[2] += 1;
      }
    for (const geo::HitPoint& p : geo::kHitPoints) {
      if (p.code != 12 && p.code != 22) continue;
      auto it = sums.find(p.row);
      if (it == sums.end()) {
        c.Fail("row %d: no code-%d ring around (%d, %d)", p.row, p.code, p.at.x, p.at.y);
        continue;
      }
      const double cx = it->second[0] / it->second[2], cy = it->second[1] / it->second[2];
      if (std::hypot(cx - p.at.x, cy - p.at.y) > 1.5)
        c.Fail("row %d: code-%d ring centred at (%.1f, %.1f), hit point (%d, %d)", p.row, p.code,
               cx, cy, p.at.x, p.at.y);
      if (Open(at(p.at.x, p.at.y)))
        c.Fail("row %d: hit point (%d, %d) is open floor, not inside its ring", p.row, p.at.x,
               p.at.y);
    }
  }
  // Drop targets: a ball moving left at the height of a hit point meets that
  // target's face within kMaxFaceGap pixels, and the floor in front is open.
  constexpr int kMaxFaceGap = 32;
  for (const geo::HitPoint& p : geo::kHitPoints) {
    if (p.code != 25 && p.code != 26) continue;
    int x = p.at.x;
    while (x > p.at.x - kMaxFaceGap && Open(at(x, p.at.y))) --x;
    if (at(x, p.at.y) != p.code)
      c.Fail("drop target row %d: no code-%d face within %d px left of (%d, %d)", p.row, p.code,
             kMaxFaceGap, p.at.x, p.at.y);
    if (!Open(at(p.at.x + 4, p.at.y)))
      c.Fail("drop target row %d: no open floor in front of (%d, %d)", p.row, p.at.x, p.at.y);
  }
  {
    // Every face pixel of the bank carries the code of the target whose band
    // holds its row; the top band must be 26, nearest code-26 row being 59.
    // The rows checked run from y 600 to y 900, which covers the bank.
    int band_bottom = 900;
    for (const geo::DropBand& band : geo::kDropBands) {
      const int band_top = band.above_y >= 0 ? band.above_y + 1 : 600;
      for (int y = band_top; y <= band_bottom; ++y)
        for (int x = 0; x < 300; ++x) {
          const uint8_t code = at(x, y);
          if ((code == 25 || code == 26) && code != band.code) {
            c.Fail("drop-target face code %d at (%d, %d), expected %d", code, x, y, band.code);
            y = band_bottom + 1;
            break;
          }
        }
      band_bottom = band.above_y;
    }
  }
  // Gates: every code-23 pixel belongs to the gate its position selects, and the
  // band touches that gate's approach box.
  {
    std::array<int, 3> count{}, touching{};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (at(x, y) != 23) continue;
        const int g = x < 200 ? 0 : y < 144 ? 1 : 2;
        ++count[static_cast<size_t>(g)];
        const geo::Gate& gate = geo::kGates[static_cast<size_t>(g)];
        const geo::Box b = gate.ApproachPixels();
        if (b.Contains(x, y))
          c.Fail("%s: band pixel (%d, %d) lies inside its approach box", gate.name, x, y);
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (b.Contains(nx, ny) && Open(at(nx, ny))) ++touching[static_cast<size_t>(g)];
          }
      }
    for (size_t g = 0; g < 3; ++g) {
      if (count[g] == 0)
        c.Fail("%s: no code-23 band", geo::kGates[g].name);
      else if (touching[g] == 0)
        c.Fail("%s: band does not touch the open floor of its approach box", geo::kGates[g].name);
    }
    // Fixed-normal spots lie next to the band.
    for (const geo::Gate& gate : geo::kGates) {
      const geo::Box& b = gate.spot;
      if (b.Empty()) continue;
      bool near = false;
      for (int y = b.y0; y <= b.y1; ++y)
        for (int x = b.x0; x <= b.x1; ++x) near |= at(x, y) == 23;
      if (!near) c.Fail("%s: no band pixel inside its fixed-normal spot", gate.name);
    }
  }
  // Shooter lane, from the lane exit (the last lane) down to the plunger.
  const int px = geo::kPlunger.x, py = geo::kPlunger.y;
  const geo::Box& exit = geo::kShooterLaneExit;
  if (!Open(at(px, py))) c.Fail("plunger point (%d, %d) is not open", px, py);
  if (Open(at(px, py + 1))) c.Fail("no lane floor (wall) below the plunger at y %d", py + 1);
  for (int y = exit.y0; y <= exit.y1; ++y)
    if (at(px, y) != 16) {
      c.Fail("lane exit at (%d, %d) is code %d, expected 16", px, y, at(px, y));
      break;
    }
  for (int y = 190; y < exit.y0; ++y)
    if (at(px, y) != 0) {
      c.Fail("shooter lane at (%d, %d) is code %d, expected 0", px, y, at(px, y));
      break;
    }
  for (int y = exit.y1 + 1; y <= py; ++y)
    if (!Open(at(px, y))) {
      c.Fail("shooter lane blocked at (%d, %d)", px, y);
      break;
    }
  // Kicker hole.
  const geo::Point hold = geo::kHoleHold, release = geo::kHoleRelease;
  if (at(hold.x, hold.y) != 16) c.Fail("hole hold point (%d, %d) is not code 16", hold.x, hold.y);
  if (!Open(at(release.x, release.y)))
    c.Fail("hole release point (%d, %d) is not open", release.x, release.y);
  for (int k = 1; k <= 12; ++k)
    if (!Open(at(release.x - 2 * k, release.y - k))) {
      c.Fail("the path up-left from the hole release point is blocked at (%d, %d)",
             release.x - 2 * k, release.y - k);
      break;
    }
  if (Open(at(hold.x, 792)) && Open(at(hold.x, 795))) c.Fail("no pocket floor wall below the hole");
  for (int y = 792; y < h; ++y)
    for (int x = geo::kHoleApproach.x0; x <= geo::kHoleCatch.x1; ++x)
      if (at(x, y) == 16) {
        c.Fail("code 16 at (%d, %d) below the hole pocket traps the hole check", x, y);
        y = h;
        break;
      }
}

bool Contains(const std::vector<std::string>& names, const std::string& n) {
  return std::find(names.begin(), names.end(), n) != names.end();
}

}  // namespace

int CheckLayout(const Layout& l) {
  Checker c;
  auto same = [](Vec2 v, geo::Point p) {
    return v.x == static_cast<float>(p.x) && v.y == static_cast<float>(p.y);
  };
  if (l.width != geo::kMapWidth || l.height != geo::kMapHeight)
    c.Fail("table.json: map is %dx%d, the rules expect %dx%d", l.width, l.height, geo::kMapWidth,
           geo::kMapHeight);
  // Every bumper at its hit point, and every bumper hit point with a bumper.
  int bumper_points = 0;
  for (const geo::HitPoint& p : geo::kHitPoints) bumper_points += p.code == 12 ? 1 : 0;
  if (static_cast<int>(l.bumpers.size()) != bumper_points)
    c.Fail("table.json: %zu bumpers, the rules expect %d", l.bumpers.size(), bumper_points);
  for (const Bumper& b : l.bumpers) {
    const geo::HitPoint p = geo::HitPointOf(b.row);
    if (p.code != 12)
      c.Fail("table.json: bumper %s is on row %d, which has no bumper hit point", b.name.c_str(),
             b.row);
    else if (!same(b.c, p.at))
      c.Fail("table.json: bumper %s at (%g, %g), the rules hit it at (%d, %d)", b.name.c_str(),
             b.c.x, b.c.y, p.at.x, p.at.y);
  }
  {
    const geo::HitPoint p = geo::HitPointOf(l.kicker.row);
    if (p.row < 0 || !same(l.kicker.c, p.at) || l.kicker_code != p.code)
      c.Fail("table.json: kicker on row %d at (%g, %g) code %d does not match the rules' hit point",
             l.kicker.row, l.kicker.c.x, l.kicker.c.y, l.kicker_code);
  }
  // Drop targets: each at its hit point's height, the face cut in the rules' bands.
  for (const DropTarget& t : l.targets) {
    const geo::HitPoint p = geo::HitPointOf(t.row);
    if (p.code != 25 && p.code != 26)
      c.Fail("table.json: drop target %s is on row %d, which has no target hit point",
             t.name.c_str(), t.row);
    else if (t.hit.y != static_cast<float>(p.at.y))
      c.Fail("table.json: drop target %s at y %g, the rules hit it at y %d", t.name.c_str(),
             t.hit.y, p.at.y);
  }
  bool bands_match = l.bank_codes_by_y.size() == geo::kDropBands.size();
  for (size_t i = 0; bands_match && i < geo::kDropBands.size(); ++i)
    bands_match = l.bank_codes_by_y[i][0] == geo::kDropBands[i].above_y &&
                  l.bank_codes_by_y[i][1] == geo::kDropBands[i].code;
  if (!bands_match) c.Fail("table.json: bank codes_by_y differ from the rules' drop-target bands");
  for (size_t i = 0; i < l.flippers.size(); ++i) {
    const Flipper& f = l.flippers[i];
    const geo::FlipperPlace& p = geo::kFlippers[i];
    if (!same(f.pivot, p.pivot))
      c.Fail("table.json: flipper %s pivot (%g, %g), the physics turns it about (%d, %d)",
             f.name.c_str(), f.pivot.x, f.pivot.y, p.pivot.x, p.pivot.y);
    if (f.box_x != p.box.x || f.box_y != p.box.y)
      c.Fail("table.json: flipper %s box at (%d, %d), the physics expects (%d, %d)", f.name.c_str(),
             f.box_x, f.box_y, p.box.x, p.box.y);
  }
  if (l.plunger_x != static_cast<float>(geo::kPlunger.x))
    c.Fail("table.json: plunger at x %g, the ball waits at x %d", l.plunger_x, geo::kPlunger.x);
  if (!same(l.hole_c, geo::kHoleHold))
    c.Fail("table.json: hole at (%g, %g), the rules hold the ball at (%d, %d)", l.hole_c.x,
           l.hole_c.y, geo::kHoleHold.x, geo::kHoleHold.y);
  return c.failures;
}

int CheckSurfaceMapBytes(const std::vector<uint8_t>& map, int width, int height) {
  Checker c;
  render::ScreenImage img;
  img.width = width;
  img.height = height;
  img.bytes = map;
  CheckSurfaceMap(c, img);
  return c.failures;
}

int CheckPack(const std::string& path) {
  Checker c;
  res::ResourceLayer layer;
  layer.loose_files = false;
  std::string why;
  if (!res::PackOpen(layer, path, &why)) {
    c.Fail("cannot open pack %s: %s", path.c_str(), why.c_str());
    return c.failures;
  }
  std::vector<std::string> names;
  for (const auto& e : layer.slots[0].entries) names.push_back(e.name);
  auto load = [&](const std::string& name) -> std::vector<uint8_t> {
    auto b = res::ResLoadWhole(layer, name);
    if (!b) {
      c.Fail("%s is missing from the pack", name.c_str());
      return {};
    }
    return *b;
  };
  // Palette and tables.
  render::Palette pal{};
  if (!render::LoadPalette(layer, "RES\\TABLES\\P_FIELD.PAL", pal))
    c.Fail("P_FIELD.PAL does not load");
  {
    render::LookupTable256 mas{}, mam{};
    if (!render::LoadTable(layer, "RES\\TABLES\\P_FIELD.MAS", mas))
      c.Fail("P_FIELD.MAS does not load");
    if (!render::LoadTable(layer, "RES\\TABLES\\P_FIELD.MAM", mam))
      c.Fail("P_FIELD.MAM does not load");
    for (int v = 10; v <= 245; ++v)
      if (mas[static_cast<size_t>(v * 256)] != v) {
        c.Fail("P_FIELD.MAS[%d][0] is not %d", v, v);
        break;
      }
    for (int b = 10; b <= 245; ++b)
      for (int t = 10; t <= 245; ++t) {
        const uint8_t o = mam[static_cast<size_t>(b * 256 + t)];
        if (o < 10 || o > 245) {
          c.Fail("P_FIELD.MAM[%d][%d] = %d is not a table index", b, t, o);
          b = 246;
          break;
        }
      }
  }
  {
    render::ScreenImage tex;
    if (!render::LoadScreenImage(layer, "RES\\TGA\\BALLMAP.LSC", nullptr, tex))
      c.Fail("BALLMAP.LSC does not load");
    for (uint8_t v : tex.bytes)
      if (v < 10 || v > 245) {
        c.Fail("BALLMAP.LSC holds index %d outside the table palette", v);
        break;
      }
    if (tex.width % 2 || tex.height % 2) c.Fail("BALLMAP.LSC has an odd size");
  }
  // Surface map.
  {
    render::ScreenImage map;
    if (!render::LoadScreenImage(layer, "RES\\MASK\\P_MASK0.LSC", nullptr, map))
      c.Fail("P_MASK0.LSC does not load");
    else
      CheckSurfaceMap(c, map);
  }
  // Flipper masks (read at table resolution, never prepared).
  for (const char* n : {"RES\\MASK\\F_L.IMG", "RES\\MASK\\F_R.IMG"}) {
    const auto bytes = load(n);
    if (bytes.empty()) continue;
    render::ParsedSpriteFile sf;
    if (!render::ParseSpriteFile(bytes, sf, &why)) {
      c.Fail("%s does not parse: %s", n, why.c_str());
      continue;
    }
    if (sf.frame_count != 30) c.Fail("%s has %d frames, expected 30", n, sf.frame_count);
    for (size_t k = 0; k < sf.frames.size(); ++k) {
      const auto& fr = sf.frames[k];
      if (fr.width != 174 || fr.height != 170 || fr.hot_x != 0 || fr.hot_y != 0) {
        c.Fail("%s frame %zu is %dx%d hot (%d, %d), expected 174x170 hot (0, 0)", n, k, fr.width,
               fr.height, fr.hot_x, fr.hot_y);
        break;
      }
      const auto data = sf.frame_data[k];
      int on = 0;
      for (int y = 0; y < 170; ++y)
        for (int x = 0; x < 174; ++x) {
          const uint8_t v = data[static_cast<size_t>(y * 174 + x)];
          on += v != 0;
          if (v != 0 && (x == 0 || y == 0 || x == 173 || y == 169)) {
            c.Fail("%s frame %zu touches the edge of its box at (%d, %d)", n, k, x, y);
            y = 170;
            break;
          }
        }
      if (on == 0) c.Fail("%s frame %zu is empty", n, k);
    }
    if (sf.frames.size() == 30 &&
        !std::equal(sf.frame_data[28].begin(), sf.frame_data[28].end(), sf.frame_data[29].begin()))
      c.Fail("%s frame 29 differs from frame 28", n);
  }
  // Playfield pictures.
  for (const char* n : {"RES\\TGA\\PF_0002.JPG", "RES\\TGA\\PF_0000.JPG"}) {
    const auto bytes = load(n);
    if (bytes.empty()) continue;
    int32_t w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!render::JpegDecodeMemory(bytes, w, h, rgb) || w != 1024 || h != 768)
      c.Fail("%s is not a 1024x768 colour JPEG (%dx%d)", n, w, h);
  }
  // Sprite parts.
  struct Box4 {
    std::string name;
    int x, y, w, h;
  };
  std::map<std::string, render::Spr24Header> headers;
  auto check_j24 = [&](const std::string& name, int frames) {
    const std::string file = "RES\\ANIM\\" + name + ".J24";
    const auto bytes = load(file);
    if (bytes.empty()) return;
    render::Spr24Header hd;
    if (!render::ParseSpr24Header(bytes, hd, &why)) {
      c.Fail("%s: %s", file.c_str(), why.c_str());
      return;
    }
    headers[name] = hd;
    if (hd.frame_count != frames)
      c.Fail("%s has %d frames, expected %d", file.c_str(), hd.frame_count, frames);
    if (hd.x < 0 || hd.y < 0 || hd.x + hd.width > 1024 || hd.y + hd.height > 768)
      c.Fail("%s box (%d, %d, %d, %d) is not inside the screen", file.c_str(), hd.x, hd.y, hd.width,
             hd.height);
    if (hd.encoding == render::kSpr24Raw) {
      const size_t masks =
          static_cast<size_t>(hd.MaskCount()) * static_cast<size_t>(hd.width * hd.height);
      const size_t need =
          render::kSpr24HeaderSize + masks +
          static_cast<size_t>(hd.frame_count) * static_cast<size_t>(hd.width * hd.height) * 3;
      if (bytes.size() < need) {
        c.Fail("%s is short", file.c_str());
        return;
      }
      // Frames opaque over the union of their silhouettes: the keyed pixels agree.
      const uint8_t* px = bytes.data() + render::kSpr24HeaderSize + masks;
      const size_t n = static_cast<size_t>(hd.width * hd.height);
      int visible = 0;
      for (size_t k = 0; k < n; ++k) {
        bool keyed0 = false;
        for (int f = 0; f < hd.frame_count; ++f) {
          const uint8_t* p = px + (static_cast<size_t>(f) * n + k) * 3;
          const uint32_t v = static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
          const bool keyed = v == hd.key_colour;
          if (f == 0)
            keyed0 = keyed;
          else if (keyed != keyed0) {
            c.Fail("%s: pixel %zu is keyed in some frames only", file.c_str(), k);
            return;
          }
          if (!keyed && v == 0xFF00FE)
            c.Fail("%s: a visible pixel packs to the 32-bit key", file.c_str());
        }
        visible += keyed0 ? 0 : 1;
      }
      if (visible == 0) c.Fail("%s has no visible pixel", file.c_str());
    }
  };
  {
    const auto specs = PartSpecs();
    for (size_t row = 0; row < specs.size(); ++row) {
      check_j24(specs[row].name, specs[row].frames);
      if (render::PartName(static_cast<int32_t>(row)) != specs[row].name)
        c.Fail("row %zu is %s here but %s in the game's part table", row, specs[row].name,
               std::string(render::PartName(static_cast<int32_t>(row))).c_str());
    }
  }
  check_j24("FL", 9);
  check_j24("FR", 9);
  if (headers.count("FL") && headers.count("FR")) {
    const auto &a = headers["FL"], &b = headers["FR"];
    if (a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height)
      c.Fail("the flipper sprite boxes overlap");
  }
  // Masks.
  auto check_mask = [&](const std::string& file, int w, int h) {
    render::MaskImage m;
    if (!render::LoadMask(m, layer, file)) {
      c.Fail("%s does not load", file.c_str());
      return;
    }
    if (w > 0 && (m.width != w || m.height != h))
      c.Fail("%s is %dx%d, expected %dx%d", file.c_str(), m.width, m.height, w, h);
  };
  if (headers.count("REBOUNDR"))
    check_mask("RES\\IMMASK\\REBOUNDR.IMS", headers["REBOUNDR"].width, headers["REBOUNDR"].height);
  if (headers.count("REBOUNDR") &&
      (headers["REBOUNDR"].mask_mode == 1 || headers["REBOUNDR"].mask_mode == 2))
    c.Fail("REBOUNDR.J24 carries its own mask, so REBOUNDR.IMS would be ignored");
  if (headers.count("FL"))
    check_mask("RES\\IMMASK\\FL.IMS", headers["FL"].width, headers["FL"].height);
  if (headers.count("FR"))
    check_mask("RES\\IMMASK\\FR.IMS", headers["FR"].width, headers["FR"].height);
  check_mask("RES\\IMMASK\\R_MASK_1.IMS", 1, 1);
  check_mask("RES\\IMMASK\\R_MASK_2.IMS", 1, 1);
  // Tuning file.
  {
    const auto bytes = load("RES\\GFALL.CDA");
    if (!bytes.empty()) {
      auto plain = res::CDataDecode(bytes);
      if (!plain)
        c.Fail("RES\\GFALL.CDA is not a valid CDATA container");
      else {
        std::string text(plain->begin(), plain->end());
        std::istringstream in(text);
        std::string line;
        bool dy = false;
        while (std::getline(in, line)) {
          if (line.size() > 250) c.Fail("GFALL.CDA has a line over 250 characters");
          float v = 0;
          char key[64];
          if (std::sscanf(line.c_str(), "%63s %f", key, &v) == 2 &&
              std::string(key) == "BALLSTARTDY") {
            dy = true;
            if (v > -10.2f)
              c.Fail("BALLSTARTDY %.2f cannot launch the ball to the top of the lane", v);
          }
        }
        if (!dy) c.Fail("GFALL.CDA sets no BALLSTARTDY");
      }
    }
    if (Contains(names, "GFALL.CDC"))
      c.Fail("the pack holds GFALL.CDC, which would shadow a loose override");
  }
  // Every mode: depth files, ball sets, flipper and part loads that depend on the mode.
  const render::DepthCamera cam = render::TableCamera();
  for (const Mode& m : AllModes()) {
    const render::DisplayFormat f = MakeFormat(m);
    char mode[32];
    std::snprintf(mode, sizeof mode, "%dx%d %s", m.w, m.h, FormatName(m.id));
    render::DepthMap z;
    if (!render::LoadDepthMap(layer, "RES\\Z\\P_FIELD.Z16", f, z)) {
      c.Fail("%s: P_FIELD.Z16 does not load", mode);
    } else {
      if (z.width != m.w || z.height != m.h || z.x != 0 || z.y != 0)
        c.Fail("%s: P_FIELD.Z16 is %dx%d at (%d, %d)", mode, z.width, z.height, z.x, z.y);
      if (m.w == 1024) {
        if (z.camera.z1 <= z.camera.z0 || z.camera.z1 >= 0.0f)
          c.Fail("depth limits z0 %.1f z1 %.1f are not far < near < 0", z.camera.z0, z.camera.z1);
        // Every ball position in play gives a positive depth that fits 16 bits.
        for (int y = 0; y <= 1514; y += 8)
          for (int x = 20; x <= 780; x += 20) {
            const render::Projected p = render::Project(
                z.camera, render::TableToWorld(static_cast<float>(x), static_cast<float>(y), 0.0f));
            if (p.depth < 1 || p.depth > 32767) {
              c.Fail("ball at (%d, %d) gets depth %d", x, y, p.depth);
              y = 2000;
              break;
            }
          }
        if (std::memcmp(&z.camera.matrix, &cam.matrix, sizeof cam.matrix) != 0 ||
            z.camera.fx != cam.fx)
          c.Fail("P_FIELD.Z16 camera differs from the game's table camera");
      }
    }
    std::vector<std::array<int, 4>> boxes;
    for (const DepthSpec& d : kDepthFiles) {
      render::PartDepth pd;
      const std::string file = std::string("RES\\Z\\") + d.name + ".ZS2";
      if (!render::LoadPartDepth(layer, file, f, pd)) {
        c.Fail("%s: %s does not load", mode, file.c_str());
        continue;
      }
      if (pd.frame_count != d.frames)
        c.Fail("%s: %s has %d frames, expected %d", mode, file.c_str(), pd.frame_count, d.frames);
      if (pd.x < 0 || pd.y < 0 || pd.x + pd.width > m.w || pd.y + pd.height > m.h)
        c.Fail("%s: %s box does not fit the depth map", mode, file.c_str());
      for (const auto& b : boxes)
        if (pd.x < b[0] + b[2] && b[0] < pd.x + pd.width && pd.y < b[1] + b[3] &&
            b[1] < pd.y + pd.height)
          c.Fail("%s: %s overlaps another part's depth box", mode, file.c_str());
      boxes.push_back({pd.x, pd.y, pd.width, pd.height});
    }
    render::TableColours colours;
    if (!render::LoadTablePalette(layer, colours)) {
      c.Fail("%s: table palette does not load", mode);
      continue;
    }
    render::BuildTableCube(colours);
    render::ImageSetContext ctx{f, colours};
    render::ImageSet ball, lane;
    if (!render::LoadCompositeSet(ball, layer, "RES\\ANIM\\BALL.IMG", "RES\\ANIM\\SHAD.IMG", ctx)) {
      c.Fail("%s: BALL.IMG + SHAD.IMG do not load", mode);
    } else {
      if (ball.frame_count != 40) c.Fail("%s: BALL.IMG has %d frames", mode, ball.frame_count);
      const int32_t centre = static_cast<int32_t>(63 * f.scale) - 1;
      render::MeasureBallRadii(ball, centre, centre);
      for (size_t k = 0; k < ball.radii.size(); ++k)
        if (ball.radii[k] <= 2 || ball.radii[k] + 5 > 63) {
          c.Fail("%s: ball frame %zu radius %d", mode, k, ball.radii[k]);
          break;
        }
      for (size_t k = 0; k < ball.frames.size(); ++k)
        if (ball.frames[k].hot_x != 0 || ball.frames[k].hot_y != 0) {
          c.Fail("%s: ball frame %zu hot spot is not (0, 0)", mode, k);
          break;
        }
    }
    if (!render::LoadCompositeSet(lane, layer, "RES\\ANIM\\BALL_PL.IMG", "", ctx))
      c.Fail("%s: BALL_PL.IMG does not load", mode);
    else if (lane.frame_count != 40)
      c.Fail("%s: BALL_PL.IMG has %d frames", mode, lane.frame_count);
    // Table parts, flippers and the playfield pictures through the game's loaders.
    {
      render::TrueColourContext tctx{layer, f, colours};
      render::PartGraphicsTable parts;
      render::InitPartGraphicsTable(parts);
      render::SpriteSlots slots;
      if (!render::LoadPartGraphics(parts, slots, tctx)) {
        for (int32_t row = 0; row < render::kNamedPartCount; ++row) {
          const auto& rec = parts.records[static_cast<size_t>(row)];
          if (!rec.sprite_file.empty() && rec.sprite_slot < 256 &&
              slots.slots[static_cast<size_t>(rec.sprite_slot)].frame_count == 0)
            c.Fail("%s: table part %s does not load", mode, rec.sprite_file.c_str());
          if (!rec.depth_file.empty() && rec.depth.frame_count == 0)
            c.Fail("%s: part depth %s does not load", mode, rec.depth_file.c_str());
        }
        c.Fail("%s: the table parts do not all load", mode);
      }
      for (const char* name : {"FL", "FR"}) {
        render::TrueColourSprite spr;
        const std::string j24 = std::string("RES\\ANIM\\") + name + ".J24";
        const std::string ims = std::string("RES\\IMMASK\\") + name + ".IMS";
        if (!render::LoadTrueColourSprite(spr, tctx, j24, ims, 0, 0))
          c.Fail("%s: %s does not load", mode, j24.c_str());
        else if (spr.frame_count != 9)
          c.Fail("%s: %s has %d frames", mode, j24.c_str(), spr.frame_count);
      }
      for (const char* name : {"RES\\TGA\\PF_0002.JPG", "RES\\TGA\\PF_0000.JPG"}) {
        render::Picture pic;
        if (!render::LoadJpegPicture(pic, layer, name) || !render::ConvertPicture(pic, f, colours))
          c.Fail("%s: %s does not load and convert", mode, name);
      }
    }
    render::ImageSet fl;
    render::ImageSetOptions table_res;
    table_res.table_resolution = true;
    table_res.reindex = render::Reindex::kNever;
    table_res.keep_cube = true;
    if (!render::LoadImageSet(fl, layer, "RES\\MASK\\F_L.IMG", ctx, table_res))
      c.Fail("%s: F_L.IMG does not load", mode);
    else if (fl.frame_count != 30 || fl.frames[0].width != 174)
      c.Fail("%s: F_L.IMG is not 30 frames of 174x170 after loading", mode);
  }
  c.failures += CheckExtras(layer, names);
  std::printf("%s: %zu files checked\n", path.c_str(), names.size());
  return c.failures;
}

}  // namespace tablegen
