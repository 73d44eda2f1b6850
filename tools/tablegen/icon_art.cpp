#include "icon_art.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace tablegen {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr char kSerifBold[] = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";

void Rgba(cairo_t* cr, unsigned hex, double a = 1.0) {
  cairo_set_source_rgba(cr, ((hex >> 16) & 255) / 255.0, ((hex >> 8) & 255) / 255.0,
                        (hex & 255) / 255.0, a);
}
void Stop(cairo_pattern_t* p, double at, unsigned hex, double a = 1.0) {
  cairo_pattern_add_color_stop_rgba(p, at, ((hex >> 16) & 255) / 255.0, ((hex >> 8) & 255) / 255.0,
                                    (hex & 255) / 255.0, a);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

// A four-pointed twinkle, as on the title's sky.
void Twinkle(cairo_t* cr, double x, double y, double r) {
  const double k = r * 0.12;
  cairo_move_to(cr, x, y - r);
  cairo_curve_to(cr, x + k, y - k, x + k, y - k, x + r, y);
  cairo_curve_to(cr, x + k, y + k, x + k, y + k, x, y + r);
  cairo_curve_to(cr, x - k, y + k, x - k, y + k, x - r, y);
  cairo_curve_to(cr, x - k, y - k, x - k, y - k, x, y - r);
  cairo_fill(cr);
}

void Glow(cairo_t* cr, double x, double y, double r, unsigned hex, double a) {
  cairo_pattern_t* p = cairo_pattern_create_radial(x, y, 0, x, y, r);
  Stop(p, 0, hex, a);
  Stop(p, 1, hex, 0);
  cairo_set_source(cr, p);
  cairo_arc(cr, x, y, r, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// Everything in a 512-unit square; the caller scales.
void Draw(cairo_t* cr, cairo_font_face_t* serif, int size) {
  const bool detail = size >= 32;
  const bool fine = size >= 64;
  // The sky in its frame.
  const double inset = size <= 24 ? 8 : 16, radius = 92;
  RoundedRect(cr, inset, inset, 512 - 2 * inset, 512 - 2 * inset, radius);
  cairo_pattern_t* sky = cairo_pattern_create_linear(0, inset, 0, 512 - inset);
  Stop(sky, 0, 0x0a1440);
  Stop(sky, 1, 0x2a4a9a);
  cairo_set_source(cr, sky);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(sky);
  cairo_save(cr);
  cairo_clip(cr);
  if (detail) {
    Glow(cr, 390, 130, 110, 0xfff6d8, 0.35);
    Rgba(cr, 0xfff6d8, 0.95);
    cairo_arc(cr, 390, 130, 44, 0, 2 * kPi);
    cairo_fill(cr);
    Rgba(cr, 0xffffff);
    Twinkle(cr, 110, 110, 26);
    if (fine) {
      Twinkle(cr, 250, 70, 14);
      Twinkle(cr, 150, 230, 10);
      Twinkle(cr, 455, 250, 12);
    }
  }
  // Snow on the hills.
  cairo_move_to(cr, 0, 400);
  cairo_curve_to(cr, 150, 350, 330, 440, 512, 370);
  cairo_line_to(cr, 512, 512);
  cairo_line_to(cr, 0, 512);
  cairo_close_path(cr);
  cairo_pattern_t* snow = cairo_pattern_create_linear(0, 360, 0, 512);
  Stop(snow, 0, 0xffffff);
  Stop(snow, 1, 0xc8d6f0);
  cairo_set_source(cr, snow);
  cairo_pattern_destroy(snow);  // the context holds its own reference
  cairo_fill(cr);
  cairo_restore(cr);
  // The frame: gold, as around the title picture.
  RoundedRect(cr, inset, inset, 512 - 2 * inset, 512 - 2 * inset, radius);
  cairo_set_line_width(cr, size <= 24 ? 22 : 12);
  Rgba(cr, 0xf0c860);
  cairo_stroke(cr);

  // The logo's letter: gold with a dark red edge.
  cairo_set_font_face(cr, serif);
  cairo_set_font_size(cr, 390);
  cairo_text_extents_t e;
  cairo_text_extents(cr, "G", &e);
  const double gx = 236 - (e.x_bearing + e.width / 2), gy = 262 - (e.y_bearing + e.height / 2);
  cairo_move_to(cr, gx, gy);
  cairo_text_path(cr, "G");
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_width(cr, size <= 24 ? 44 : 30);
  Rgba(cr, 0x5a0a10);
  cairo_stroke_preserve(cr);
  cairo_pattern_t* gold =
      cairo_pattern_create_linear(0, gy + e.y_bearing, 0, gy + e.y_bearing + e.height);
  Stop(gold, 0, 0xfff2b0);
  Stop(gold, 0.55, 0xf0c040);
  Stop(gold, 1, 0xc07a10);
  cairo_set_source(cr, gold);
  cairo_fill(cr);
  cairo_pattern_destroy(gold);

  // The ball, chrome, resting on the snow at the letter's foot.
  const double bx = 372, by = 388, br = size <= 24 ? 74 : 62;
  if (detail) {
    Rgba(cr, 0x0a1440, 0.35);
    cairo_save(cr);
    cairo_translate(cr, bx + 10, by + br * 0.9);
    cairo_scale(cr, 1, 0.3);
    cairo_arc(cr, 0, 0, br, 0, 2 * kPi);
    cairo_restore(cr);
    cairo_fill(cr);
  }
  cairo_pattern_t* ball =
      cairo_pattern_create_radial(bx - br * 0.35, by - br * 0.4, br * 0.05, bx, by, br);
  Stop(ball, 0, 0xffffff);
  Stop(ball, 0.35, 0xd9dee8);
  Stop(ball, 0.8, 0x7b808c);
  Stop(ball, 1, 0x4a4f5a);
  cairo_set_source(cr, ball);
  cairo_pattern_destroy(ball);  // the context holds its own reference
  cairo_arc(cr, bx, by, br, 0, 2 * kPi);
  cairo_fill(cr);
}

}  // namespace

bool WriteIcon(int size, const std::string& path, std::string& error) {
  if (size < 8 || size > 1024) {
    error = "icon size " + std::to_string(size) + " is outside 8..1024";
    return false;
  }
  // FreeType stays open for the process: Cairo may keep the face in its
  // caches past this call, and frees it through the user data below.
  static FT_Library lib = nullptr;
  if (!lib && FT_Init_FreeType(&lib) != 0) {
    lib = nullptr;
    error = "cannot start FreeType";
    return false;
  }
  FT_Face face = nullptr;
  if (FT_New_Face(lib, kSerifBold, 0, &face) != 0) {
    error = std::string("cannot open the font ") + kSerifBold;
    return false;
  }
  cairo_font_face_t* serif = cairo_ft_font_face_create_for_ft_face(face, 0);
  static const cairo_user_data_key_t key{};
  if (cairo_font_face_set_user_data(serif, &key, face, [](void* f) {
        FT_Done_Face(static_cast<FT_Face>(f));
      }) != CAIRO_STATUS_SUCCESS) {
    cairo_font_face_destroy(serif);
    FT_Done_Face(face);
    error = "cannot use the font";
    return false;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, size / 512.0, size / 512.0);
  Draw(cr, serif, size);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  const cairo_status_t st = cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  cairo_font_face_destroy(serif);
  if (st != CAIRO_STATUS_SUCCESS) {
    error = "cannot write " + path + ": " + cairo_status_to_string(st);
    return false;
  }
  return true;
}

bool WriteIconFile(const std::string& path, std::string& error) {
  // Each size drawn on its own (as the PNG icons are), kept as PNG inside the
  // .ico, which Windows reads from Vista on.
  const int sizes[] = {16, 24, 32, 48, 64, 128, 256};
  std::vector<std::vector<uint8_t>> pictures;
  for (int size : sizes) {
    const std::string part = path + "." + std::to_string(size) + ".png";
    if (!WriteIcon(size, part, error)) return false;
    std::ifstream in(part, std::ios::binary);
    pictures.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    in.close();
    std::remove(part.c_str());
    if (pictures.back().empty()) {
      error = "cannot read back " + part;
      return false;
    }
  }
  std::vector<uint8_t> ico;
  auto u16 = [&](uint32_t v) {
    ico.push_back(static_cast<uint8_t>(v));
    ico.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  u16(0);  // reserved
  u16(1);  // an icon
  u16(static_cast<uint32_t>(pictures.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(pictures.size());
  for (size_t i = 0; i < pictures.size(); ++i) {
    ico.push_back(static_cast<uint8_t>(sizes[i] == 256 ? 0 : sizes[i]));  // 0 stands for 256
    ico.push_back(static_cast<uint8_t>(sizes[i] == 256 ? 0 : sizes[i]));
    ico.push_back(0);  // not a palette picture
    ico.push_back(0);
    u16(1);   // colour planes
    u16(32);  // bits per pixel
    u32(static_cast<uint32_t>(pictures[i].size()));
    u32(offset);
    offset += static_cast<uint32_t>(pictures[i].size());
  }
  for (const auto& p : pictures) ico.insert(ico.end(), p.begin(), p.end());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(ico.data()), static_cast<std::streamsize>(ico.size()));
  out.close();
  if (!out) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace tablegen
