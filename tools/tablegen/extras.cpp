#include "extras.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "front_art.h"
#include "render/jpeg_io.h"
#include "render/spr24_file.h"
#include "render/sprite_file.h"
#include "rules/score_display.h"

namespace tablegen {

namespace {

constexpr int kScreenW = 1024, kScreenH = 768;
constexpr uint32_t kKey = 0x00FF00FF;

struct Colour {
  int r, g, b;
};

// An RGB picture to draw into.
struct Canvas {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  Canvas(int width, int height, Colour fill)
      : w(width), h(height), rgb(static_cast<size_t>(width * height) * 3) {
    for (size_t k = 0; k < rgb.size(); k += 3) {
      rgb[k] = static_cast<uint8_t>(fill.r);
      rgb[k + 1] = static_cast<uint8_t>(fill.g);
      rgb[k + 2] = static_cast<uint8_t>(fill.b);
    }
  }
  // Mixes a colour into a pixel with coverage a (0..255).
  void Blend(int x, int y, Colour c, int a) {
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0) return;
    a = std::min(a, 255);
    uint8_t* p = &rgb[static_cast<size_t>(y * w + x) * 3];
    p[0] = static_cast<uint8_t>((p[0] * (255 - a) + c.r * a + 127) / 255);
    p[1] = static_cast<uint8_t>((p[1] * (255 - a) + c.g * a + 127) / 255);
    p[2] = static_cast<uint8_t>((p[2] * (255 - a) + c.b * a + 127) / 255);
  }
  void Fill(int x0, int y0, int ww, int hh, Colour c) {
    for (int y = y0; y < y0 + hh; ++y)
      for (int x = x0; x < x0 + ww; ++x) Blend(x, y, c, 255);
  }
  // Rounded rectangle with a border; corner radius r.
  void Panel(int x0, int y0, int ww, int hh, int r, int border, Colour fill, Colour edge) {
    for (int y = 0; y < hh; ++y)
      for (int x = 0; x < ww; ++x) {
        const double dx = std::max({0.0, r - (x + 0.5), (x + 0.5) - (ww - r)});
        const double dy = std::max({0.0, r - (y + 0.5), (y + 0.5) - (hh - r)});
        const double d = r - std::sqrt(dx * dx + dy * dy);  // distance inside the edge
        if (d < 0.0) continue;
        // Slight vertical gradient gives the panel some body.
        const double shade = 1.08 - 0.22 * y / std::max(1, hh - 1);
        const Colour f{static_cast<int>(std::min(255.0, fill.r * shade)),
                       static_cast<int>(std::min(255.0, fill.g * shade)),
                       static_cast<int>(std::min(255.0, fill.b * shade))};
        const bool on_edge =
            d < border || x < border || y < border || x >= ww - border || y >= hh - border;
        Blend(x0 + x, y0 + y, on_edge ? edge : f, 255);
      }
  }
  // Darkens by a factor (0..1).
  void Darken(double k) {
    for (uint8_t& v : rgb) v = static_cast<uint8_t>(v * k);
  }
};

// FreeType face over the font Debian ships.
class Typeface {
 public:
  bool Open(const char* path) {
    if (FT_Init_FreeType(&lib_) != 0) return false;
    return FT_New_Face(lib_, path, 0, &face_) == 0;
  }
  ~Typeface() {
    if (face_) FT_Done_Face(face_);
    if (lib_) FT_Done_FreeType(lib_);
  }
  int Width(const std::string& text, int px) {
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(px));
    int w = 0;
    for (unsigned char ch : text) {
      if (FT_Load_Char(face_, ch, FT_LOAD_DEFAULT) != 0) continue;
      w += static_cast<int>(face_->glyph->advance.x >> 6);
    }
    return w;
  }
  // Height of the capitals above the baseline.
  int CapHeight(int px) {
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(px));
    if (FT_Load_Char(face_, 'H', FT_LOAD_RENDER) != 0) return px;
    return face_->glyph->bitmap_top;
  }
  // Draws text with its left end at x and its baseline at y.
  void Draw(Canvas& c, const std::string& text, int px, int x, int y, Colour colour) {
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(px));
    for (unsigned char ch : text) {
      if (FT_Load_Char(face_, ch, FT_LOAD_RENDER) != 0) continue;
      const FT_GlyphSlot g = face_->glyph;
      for (unsigned j = 0; j < g->bitmap.rows; ++j)
        for (unsigned i = 0; i < g->bitmap.width; ++i)
          c.Blend(x + g->bitmap_left + static_cast<int>(i), y - g->bitmap_top + static_cast<int>(j),
                  colour, g->bitmap.buffer[j * static_cast<unsigned>(g->bitmap.pitch) + i]);
      x += static_cast<int>(g->advance.x >> 6);
    }
  }
  // Centred in the box (x0, y0, w, h), capitals vertically centred.
  void DrawCentred(Canvas& c, const std::string& text, int px, int x0, int y0, int w, int h,
                   Colour colour, int shadow = 0) {
    const int tw = Width(text, px), cap = CapHeight(px);
    const int x = x0 + (w - tw) / 2, y = y0 + (h + cap) / 2;
    if (shadow > 0) Draw(c, text, px, x + shadow, y + shadow, {0, 0, 0});
    Draw(c, text, px, x, y, colour);
  }
  // Coverage of one character rendered at px, centred in a cell of w × h with
  // its baseline at `baseline`.
  std::vector<uint8_t> Cell(unsigned char ch, int px, int w, int h, int baseline) {
    std::vector<uint8_t> cov(static_cast<size_t>(w * h), 0);
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(px));
    if (FT_Load_Char(face_, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) return cov;
    const FT_GlyphSlot g = face_->glyph;
    const int gx = (w - static_cast<int>(g->bitmap.width)) / 2;
    for (unsigned j = 0; j < g->bitmap.rows; ++j)
      for (unsigned i = 0; i < g->bitmap.width; ++i) {
        const int x = gx + static_cast<int>(i), y = baseline - g->bitmap_top + static_cast<int>(j);
        if (x < 0 || y < 0 || x >= w || y >= h) continue;
        cov[static_cast<size_t>(y * w + x)] =
            g->bitmap.buffer[j * static_cast<unsigned>(g->bitmap.pitch) + i];
      }
    return cov;
  }

 private:
  FT_Library lib_ = nullptr;
  FT_Face face_ = nullptr;
};

// Crops a box out of a picture.
std::vector<uint8_t> Crop(const std::vector<uint8_t>& rgb, int pw, int x0, int y0, int w, int h) {
  std::vector<uint8_t> out(static_cast<size_t>(w * h) * 3);
  for (int y = 0; y < h; ++y)
    std::copy_n(&rgb[static_cast<size_t>((y0 + y) * pw + x0) * 3], static_cast<size_t>(w) * 3,
                &out[static_cast<size_t>(y * w) * 3]);
  return out;
}

// Keeps visible pixels off the key colours of the sprite formats.
void AvoidKeys(std::vector<uint8_t>& rgb) {
  for (size_t k = 0; k + 2 < rgb.size(); k += 3)
    if (rgb[k] == 255 && rgb[k + 1] == 0 && (rgb[k + 2] == 255 || rgb[k + 2] == 254))
      rgb[k + 1] = 1;
}

// `keyed`: the frames already hold the key where they are transparent (and
// their visible pixels were kept off it before that).
bool WriteSprite(int x, int y, int w, int h, std::vector<std::vector<uint8_t>> frames,
                 std::vector<uint8_t>& out, bool keyed = false) {
  render::Spr24Desc d;
  d.header.width = w;
  d.header.height = h;
  d.header.x = x;
  d.header.y = y;
  d.header.encoding = render::kSpr24Raw;
  d.header.key_colour = kKey;
  d.header.mask_mode = render::kSpr24NoMask;
  if (!keyed)
    for (auto& f : frames) AvoidKeys(f);
  d.frames = std::move(frames);
  return render::WriteSpr24File(d, out);
}

// Pastes a frame into a picture (key colour stays transparent).
void Paste(std::vector<uint8_t>& rgb, int pw, int x0, int y0, int w, int h,
           const std::vector<uint8_t>& frame) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* s = &frame[static_cast<size_t>(y * w + x) * 3];
      if (s[0] == 255 && s[1] == 0 && s[2] == 255) continue;
      std::copy_n(s, 3, &rgb[static_cast<size_t>((y0 + y) * pw + x0 + x) * 3]);
    }
}

// --- scoreboard -------------------------------------------------------------------

struct Sprite {
  int x, y, w, h;
  std::vector<std::vector<uint8_t>> frames;
};

Sprite ScoreTab(Typeface& tf, const std::vector<uint8_t>& playfield, int player) {
  Sprite s{kTabX, kTabY, kTabW, kTabH, {}};
  const std::string text = "PLAYER " + std::to_string(player + 1);
  for (int look = 0; look < 2; ++look) {
    Canvas c(kTabW, kTabH, {0, 0, 0});
    c.rgb = Crop(playfield, kScreenW, kTabX, kTabY + rules::kDigitRowStep * player, kTabW, kTabH);
    if (look == 0) {
      c.Panel(0, 0, kTabW, kTabH, 6, 1, {22, 62, 38}, {96, 140, 104});
      tf.DrawCentred(c, text, 14, 0, 0, kTabW, kTabH, {178, 204, 182});
    } else {
      c.Panel(0, 0, kTabW, kTabH, 6, 2, {196, 36, 46}, {240, 200, 96});
      tf.DrawCentred(c, text, 14, 0, 0, kTabW, kTabH, {255, 255, 240}, 1);
    }
    s.frames.push_back(std::move(c.rgb));
  }
  // Drawn once per player at the header position: the tab of player p lives in
  // its own file at its own row.
  s.y = kTabY + rules::kDigitRowStep * player;
  return s;
}

// One drum: numerals 0-9 on a turning cylinder; frame 3n shows n, 3n+1 and
// 3n+2 are a third and two thirds of the way to n + 1.
Sprite DigitDrum(Typeface& tf, int digit) {
  const int x = kDrumX + (rules::kScoreDigits - 1 - digit) * kDrumStep;
  Sprite s{x, kDrumY, kDrumW, kDrumH, {}};
  for (int f = 0; f < rules::kDrumFrames; ++f) {
    Canvas c(kDrumW, kDrumH, {0, 0, 0});
    // Drum face: light in the middle, darker towards the top and bottom edges.
    for (int y = 0; y < kDrumH; ++y) {
      const double t = (y + 0.5) / kDrumH * 2.0 - 1.0;
      const double k = std::sqrt(std::max(0.0, 1.0 - t * t * 0.85));
      const Colour face{static_cast<int>(232 * k), static_cast<int>(226 * k),
                        static_cast<int>(205 * k)};
      for (int xx = 0; xx < kDrumW; ++xx) c.Blend(xx, y, face, 255);
    }
    const int n = f / 3, step = f % 3;
    for (int m = n; m <= n + 1; ++m) {
      // Numeral m sits (m - f / 3) drum heights below the window centre.
      const int offset = ((m - n) * 3 - step) * kDrumH / 3;
      Canvas g(kDrumW, kDrumH, {0, 0, 0});
      tf.DrawCentred(g, std::to_string(m % 10), 24, 0, 0, kDrumW, kDrumH, {255, 255, 255});
      for (int y = 0; y < kDrumH; ++y) {
        const int ty = y + offset;
        if (ty < 0 || ty >= kDrumH) continue;
        // Numerals near the edges are turned away: fade them.
        const double tt = std::abs((ty + 0.5) / kDrumH * 2.0 - 1.0);
        for (int xx = 0; xx < kDrumW; ++xx) {
          const int a = g.rgb[static_cast<size_t>(y * kDrumW + xx) * 3];
          c.Blend(xx, ty, {25, 22, 30}, static_cast<int>(a * std::max(0.25, 1.0 - 0.6 * tt * tt)));
        }
      }
    }
    // Window frame.
    for (int xx = 0; xx < kDrumW; ++xx) {
      c.Blend(xx, 0, {30, 30, 40}, 255);
      c.Blend(xx, kDrumH - 1, {30, 30, 40}, 255);
    }
    for (int y = 0; y < kDrumH; ++y) {
      c.Blend(0, y, {30, 30, 40}, 255);
      c.Blend(kDrumW - 1, y, {30, 30, 40}, 255);
    }
    s.frames.push_back(std::move(c.rgb));
  }
  return s;
}

Sprite BallNumber(Typeface& tf) {
  Sprite s{kBallNumX, kBallNumY, kBallNumW, kBallNumH, {}};
  for (int b = 0; b < 3; ++b) {
    Canvas c(kBallNumW, kBallNumH, {0, 0, 0});
    c.Panel(0, 0, kBallNumW, kBallNumH, 8, 2, {24, 96, 52}, {240, 200, 96});
    tf.DrawCentred(c, "BALL " + std::to_string(b + 1), 22, 0, 0, kBallNumW, kBallNumH,
                   {255, 240, 170}, 1);
    s.frames.push_back(std::move(c.rgb));
  }
  return s;
}

Sprite TiltSign(Typeface& tf) {
  Sprite s{kTiltX, kTiltY, kTiltW, kTiltH, {}};
  Canvas c(kTiltW, kTiltH, {0, 0, 0});
  c.Panel(0, 0, kTiltW, kTiltH, 8, 3, {150, 20, 20}, {255, 120, 90});
  tf.DrawCentred(c, "TILT", 32, 0, 0, kTiltW, kTiltH, {255, 250, 220}, 2);
  s.frames.push_back(std::move(c.rgb));
  return s;
}

// The shapes are panels with rounded corners: key the corners (same in every
// frame) by comparing with the plain background each frame was drawn over.
void KeyOutside(Sprite& s, const std::vector<uint8_t>& shape_mask) {
  for (auto& f : s.frames) {
    AvoidKeys(f);  // a visible pixel that happens to be magenta stays visible
    for (size_t k = 0; k < shape_mask.size(); ++k)
      if (!shape_mask[k]) {
        f[k * 3] = 255;
        f[k * 3 + 1] = 0;
        f[k * 3 + 2] = 255;
      }
  }
}

// --- fonts ---------------------------------------------------------------------

// Grey ramp of the table palette (brightest last) for glyph coverage.
std::vector<uint8_t> GreyRamp(const render::Palette& pal) {
  std::vector<std::pair<int, uint8_t>> greys;
  for (int i = 10; i <= 245; ++i) {
    const auto& c = pal[static_cast<size_t>(i)];
    if (c.r == c.g && c.g == c.b && c.g >= 60) greys.push_back({c.g, static_cast<uint8_t>(i)});
  }
  std::sort(greys.begin(), greys.end());
  std::vector<uint8_t> out;
  for (auto& g : greys) out.push_back(g.second);
  return out;
}

bool BuildFont(Typeface& tf, const rules::FontSpec& spec, const render::Palette& pal,
               std::vector<uint8_t>& out) {
  const std::vector<rules::GlyphListEntry> list = rules::BuiltInGlyphList(spec);
  int total = 0;
  for (const auto& e : list) {
    if (e.character == 0) break;
    total += e.width;
  }
  const int h = spec.line_height;
  const int px = std::max(6, h * 4 / 5);
  const int baseline = std::min(h - 1, h * 4 / 5 + (h >= 20 ? -1 : 0));
  const std::vector<uint8_t> ramp = GreyRamp(pal);
  if (ramp.empty() || total <= 0) return false;
  render::SpriteFileFrame frame;
  frame.width = total;
  frame.height = h;
  frame.pixels.assign(static_cast<size_t>(total * h), 0);
  int x = 0;
  for (const auto& e : list) {
    if (e.character == 0) break;
    const auto cov = tf.Cell(e.character, px, e.width, h, baseline);
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < e.width; ++i) {
        const int a = cov[static_cast<size_t>(j * e.width + i)];
        if (a < 48) continue;
        const size_t r = static_cast<size_t>(a) * (ramp.size() - 1) / 255;
        frame.pixels[static_cast<size_t>(j * total + x + i)] = ramp[r];
      }
    x += e.width;
  }
  render::SpriteFileDesc d;
  d.frames.push_back(std::move(frame));
  d.palette = pal;
  d.compression = render::kStoredPlain;
  return render::WriteSpriteFile(d, out);
}

// --- menus ---------------------------------------------------------------------

constexpr int kItemW = 300, kItemH = 46, kItemX = (kScreenW - kItemW) / 2;

// Frames drawn over `under` (the crop of the picture the sprite is shown on):
// keyed wherever no frame draws anything, so every frame keys the same pixels.
Sprite KeyedSprite(int x, int y, int w, int h, std::vector<ArtFrame> art) {
  Sprite s{x, y, w, h, {}};
  std::vector<uint8_t> shape(static_cast<size_t>(w * h), 0);
  for (const ArtFrame& f : art)
    for (size_t k = 0; k < shape.size() && k < f.coverage.size(); ++k)
      shape[k] = shape[k] || f.coverage[k] != 0;
  for (ArtFrame& f : art) s.frames.push_back(std::move(f.rgb));
  KeyOutside(s, shape);
  return s;
}

Sprite MenuItem(const MenuItemSpec& m, bool title, const std::vector<uint8_t>& table) {
  const std::vector<uint8_t> under = Crop(table, kScreenW, m.x, m.y, m.w, m.h);
  std::vector<ArtFrame> art;
  for (ItemLook look :
       {ItemLook::kNormal, ItemLook::kHover, ItemLook::kPressed, ItemLook::kSelected})
    art.push_back(DrawMenuItem(m.text, m.w, m.h, look, title, under));
  return KeyedSprite(m.x, m.y, m.w, m.h, std::move(art));
}

// --- full-screen pictures ------------------------------------------------------

// The loading indicator: 0 finished, 1 and 2 alternate while loading.
constexpr int kLoadX = 60, kLoadY = 694, kLoadW = 240, kLoadH = 44;

// Drawn over the loading picture.
Sprite LoadingIndicator(const std::vector<uint8_t>& picture) {
  const std::vector<uint8_t> under = Crop(picture, kScreenW, kLoadX, kLoadY, kLoadW, kLoadH);
  std::vector<ArtFrame> art;
  for (int f = 0; f < 3; ++f) art.push_back(DrawLoadingIndicator(f, kLoadW, kLoadH, under));
  return KeyedSprite(kLoadX, kLoadY, kLoadW, kLoadH, std::move(art));
}

void AddFile(BuildResult& out, std::string name, std::vector<uint8_t> bytes) {
  out.files.push_back({std::move(name), std::move(bytes)});
}

}  // namespace

const std::vector<MenuItemSpec>& MenuItems() {
  static const std::vector<MenuItemSpec> items = [] {
    std::vector<MenuItemSpec> v;
    const int y0 = 226, step = 56;
    v.push_back({"RES\\UI\\MMNEW.J24", "New Game", kItemX, y0, kItemW, kItemH, true});
    v.push_back({"RES\\UI\\MMPLA1.J24", "1 Player", kItemX, y0 + step, kItemW, kItemH, true});
    v.push_back({"RES\\UI\\MMPLA2.J24", "2 Players", kItemX, y0 + step, kItemW, kItemH, true});
    v.push_back({"RES\\UI\\MMPLA3.J24", "3 Players", kItemX, y0 + step, kItemW, kItemH, true});
    v.push_back({"RES\\UI\\MMPLA4.J24", "4 Players", kItemX, y0 + step, kItemW, kItemH, true});
    v.push_back({"RES\\UI\\MMOPT.J24", "Options", kItemX, y0 + 2 * step, kItemW, kItemH, true});
    v.push_back({"RES\\UI\\MMHSC.J24", "High Scores", kItemX, y0 + 3 * step, kItemW, kItemH, true});
    v.push_back({"RES\\UI\\MMHELP.J24", "Help", kItemX, y0 + 4 * step, kItemW, kItemH, true});
    v.push_back({"RES\\UI\\MMABOUT.J24", "About", kItemX, y0 + 5 * step, kItemW, kItemH, true});
    v.push_back({"RES\\UI\\MMQUIT.J24", "Quit", kItemX, y0 + 6 * step, kItemW, kItemH, true});
    const int p0 = 250;
    v.push_back({"RES\\UI\\PMTITLE.J24", "Game Paused", kItemX - 40, p0, kItemW + 80, 64, false});
    v.push_back(
        {"RES\\UI\\PMRETURN.J24", "Return to Game", kItemX, p0 + 84, kItemW, kItemH, false});
    v.push_back({"RES\\UI\\PMOPT.J24", "Options", kItemX, p0 + 84 + step, kItemW, kItemH, false});
    v.push_back({"RES\\UI\\PMQUITM.J24", "Quit to Main Menu", kItemX, p0 + 84 + 2 * step, kItemW,
                 kItemH, false});
    v.push_back({"RES\\UI\\PMQUITW.J24", "Quit to Desktop", kItemX, p0 + 84 + 3 * step, kItemW,
                 kItemH, false});
    return v;
  }();
  return items;
}

bool BuildFonts(const render::Palette& palette, BuildResult& out, std::string& error) {
  Typeface tf;
  if (!tf.Open(kTextFontPath)) return error = std::string("the text font ") + kTextFontPath, false;
  std::vector<uint8_t> bytes;
  for (const rules::FontSpec* spec : {&rules::kMessageFont, &rules::kDigitFont1024,
                                      &rules::kDigitFont800, &rules::kDigitFont640}) {
    if (!BuildFont(tf, *spec, palette, bytes)) return error = spec->file, false;
    AddFile(out, spec->file, bytes);
  }
  return true;
}

bool BuildExtras(BuildResult& out, std::string& error) {
  Typeface tf;
  if (!tf.Open(kTextFontPath)) return error = std::string("the text font ") + kTextFontPath, false;
  const std::vector<uint8_t>& table = out.playfield_rgb;
  if (table.size() != static_cast<size_t>(kScreenW * kScreenH) * 3)
    return error = "the playfield picture", false;
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> board = table;  // the scoreboard close-up

  auto add_sprite = [&](const std::string& name, const Sprite& s, int show_frame, int show_dy) {
    if (!WriteSprite(s.x, s.y, s.w, s.h, s.frames, bytes)) return false;
    AddFile(out, name, bytes);
    if (show_frame >= 0)
      Paste(board, kScreenW, s.x, s.y + show_dy, s.w, s.h,
            s.frames[static_cast<size_t>(show_frame)]);
    return true;
  };
  // Scoreboard: player 2 is up in the close-up, scores 1 250, 48 790, 3 400, 0.
  const std::array<int, 4> scores = {1250, 48790, 3400, 0};
  for (int p = 0; p < rules::kPlayerCount; ++p) {
    const Sprite tab = ScoreTab(tf, table, p);
    if (!add_sprite("RES\\UI\\STAB" + std::to_string(p) + "0.J24", tab, p == 1 ? 1 : 0, 0))
      return error = "score tab", false;
  }
  {
    const Sprite b = BallNumber(tf);
    if (!add_sprite("RES\\UI\\BALLNUM.J24", b, 1, 0)) return error = "ball number", false;
    const Sprite t = TiltSign(tf);
    if (!add_sprite("RES\\UI\\TILTSIGN.J24", t, 0, 0)) return error = "tilt sign", false;
  }
  for (int d = 0; d < rules::kScoreDigits; ++d) {
    const Sprite drum = DigitDrum(tf, d);
    if (!add_sprite("RES\\UI\\SDIG0" + std::to_string(d) + ".J24", drum, -1, 0))
      return error = "digit drum", false;
    int div = 1;
    for (int k = 0; k < d; ++k) div *= 10;
    for (int p = 0; p < rules::kPlayerCount; ++p) {
      // Player 1's units drum is caught mid-turn.
      int frame = (scores[static_cast<size_t>(p)] / div % 10) * 3;
      if (p == 0 && d == 1) frame += 1;
      Paste(board, kScreenW, drum.x, drum.y + rules::kDigitRowStep * p, drum.w, drum.h,
            drum.frames[static_cast<size_t>(frame)]);
    }
  }
  // Menus.
  Canvas menu_shot(kScreenW, kScreenH, {0, 0, 0});
  menu_shot.rgb = table;
  for (const MenuItemSpec& m : MenuItems()) {
    const bool title = std::string(m.file) == "RES\\UI\\PMTITLE.J24";
    const Sprite s = MenuItem(m, title, table);
    if (s.frames.size() != 4 || s.frames[0].empty() ||
        !WriteSprite(s.x, s.y, s.w, s.h, s.frames, bytes, true))
      return error = m.file, false;
    AddFile(out, m.file, bytes);
    const std::string f = m.file;
    if (m.main_menu &&
        (f.find("MMPLA") == std::string::npos || f.find("MMPLA2") != std::string::npos)) {
      const int look = f.find("MMOPT") != std::string::npos    ? 1
                       : f.find("MMPLA2") != std::string::npos ? 3
                                                               : 0;
      Paste(menu_shot.rgb, kScreenW, s.x, s.y, s.w, s.h, s.frames[static_cast<size_t>(look)]);
    }
  }
  // The illustrated full-screen pictures, and the loading indicator drawn
  // over the loading picture.
  const std::vector<uint8_t> title = DrawWinterScene(SceneText::kTitle);
  const std::vector<uint8_t> plain = DrawWinterScene(SceneText::kPlain);
  std::vector<uint8_t> fs = plain;
  const size_t screen_bytes = static_cast<size_t>(kScreenW * kScreenH) * 3;
  if (title.size() != screen_bytes || fs.size() != screen_bytes || plain.size() != screen_bytes)
    return error = "the title pictures (Cairo or the fonts failed)", false;
  const Sprite loading = LoadingIndicator(fs);
  if (loading.frames.size() != 3 || loading.frames[0].empty() ||
      !WriteSprite(loading.x, loading.y, loading.w, loading.h, loading.frames, bytes, true))
    return error = "loading", false;
  AddFile(out, "RES\\UI\\LOADING.J24", bytes);
  if (!render::JpegEncode(kScreenW, kScreenH, fs, 90, bytes)) return error = "FS_0000", false;
  AddFile(out, "RES\\TGA\\FS_0000.JPG", bytes);
  Paste(fs, kScreenW, loading.x, loading.y, loading.w, loading.h, loading.frames[1]);
  if (!render::JpegEncode(kScreenW, kScreenH, title, 90, bytes)) return error = "F_0000", false;
  AddFile(out, "RES\\TGA\\F_0000.JPG", bytes);
  // The menu background the game never loads: the picture without words.
  if (!render::JpegEncode(kScreenW, kScreenH, plain, 90, bytes)) return error = "F_0001", false;
  AddFile(out, "RES\\TGA\\F_0001.JPG", bytes);

  out.shots.push_back({"title.png", kScreenW, kScreenH, title});
  out.shots.push_back({"loading.png", kScreenW, kScreenH, fs});
  out.shots.push_back({"main-menu.png", kScreenW, kScreenH, menu_shot.rgb});
  // Close-up at twice the size: the players' rows (left) and the ball number
  // and tilt sign (right).
  {
    constexpr int cw = 256, ch = 300;
    std::vector<uint8_t> close(static_cast<size_t>(cw * 4 * ch * 2) * 3);
    for (int y = 0; y < ch * 2; ++y)
      for (int x = 0; x < cw * 4; ++x) {
        const int sx = x < cw * 2 ? x / 2 : kScreenW - cw + (x - cw * 2) / 2;
        std::copy_n(&board[static_cast<size_t>((y / 2) * kScreenW + sx) * 3], 3,
                    &close[static_cast<size_t>(y * cw * 4 + x) * 3]);
      }
    out.shots.push_back({"scoreboard.png", cw * 4, ch * 2, std::move(close)});
  }
  return true;
}

}  // namespace tablegen
