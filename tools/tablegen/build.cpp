#include "build.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "core/table_geometry.h"
#include "extras.h"
#include "palette.h"
#include "render/image_files.h"
#include "render/jpeg_io.h"
#include "render/projection.h"
#include "render/spr24_file.h"
#include "render/sprite_file.h"
#include "res/cdata.h"
#include "scene.h"

namespace tablegen {

namespace {

constexpr int kScreenW = 1024, kScreenH = 768;
constexpr uint32_t kKey = 0x00FF00FF;

// Nearest table index (10..245) of every 6-bit colour; ties to the lowest index.
struct Nearest {
  std::vector<uint8_t> lut;  // 64³
  explicit Nearest(const render::Palette& p) : lut(64 * 64 * 64) {
    for (int r = 0; r < 64; ++r)
      for (int g = 0; g < 64; ++g)
        for (int b = 0; b < 64; ++b) {
          int best = 1 << 30, bi = 10;
          for (int i = 10; i <= 245; ++i) {
            const auto& c = p[static_cast<size_t>(i)];
            const int d =
                std::abs((c.r >> 2) - r) + std::abs((c.g >> 2) - g) + std::abs((c.b >> 2) - b);
            if (d < best) {
              best = d;
              bi = i;
            }
          }
          lut[static_cast<size_t>((r << 12) | (g << 6) | b)] = static_cast<uint8_t>(bi);
        }
  }
  uint8_t operator()(int r, int g, int b) const {
    r = std::clamp(r, 0, 255) >> 2;
    g = std::clamp(g, 0, 255) >> 2;
    b = std::clamp(b, 0, 255) >> 2;
    return lut[static_cast<size_t>((r << 12) | (g << 6) | b)];
  }
};

void Add(BuildResult& out, std::string name, std::vector<uint8_t> bytes) {
  out.files.push_back({std::move(name), std::move(bytes)});
}

// Keeps visible pixels off the key colours of the sprite formats.
void AvoidKey(uint8_t* p) {
  if (p[0] == 255 && p[1] == 0 && (p[2] == 255 || p[2] == 254)) p[1] = 1;
}

struct PartImages {
  int x = 0, y = 0, w = 0, h = 0;
  std::vector<std::vector<uint8_t>> frames;  // raw rgb
  std::vector<uint8_t> union_mask;
  std::vector<std::vector<int16_t>> depth;  // logical frames
};

PartImages RenderPart(Scene& scene, size_t index, const render::DepthCamera& cam, int threads,
                      int depth_frames) {
  const PartDef p = scene.parts[index];
  PartImages img;
  ScreenBox(cam, p.x0, p.y0, p.x1, p.y1, p.top, img.x, img.y, img.w, img.h);
  img.union_mask.assign(static_cast<size_t>(img.w * img.h), 0);
  for (int f = 0; f < p.frames; ++f) {
    const bool dark = p.dark_offset > 0 && f >= p.dark_offset;
    const int logical = dark ? f - p.dark_offset : f;
    SetPartFrame(scene, index, p.kind == PartKind::kBank ? 0 : f);
    RenderOptions opt;
    opt.dark = dark;
    opt.watch_part = static_cast<int16_t>(p.row);
    opt.threads = threads;
    RenderOut r;
    RenderRegion(scene, cam, opt, img.x, img.y, img.w, img.h, r);
    for (size_t k = 0; k < r.mask.size(); ++k) img.union_mask[k] |= r.mask[k];
    img.frames.push_back(std::move(r.rgb));
    if (!dark && logical < depth_frames && static_cast<int>(img.depth.size()) == logical)
      img.depth.push_back(std::move(r.depth));
  }
  SetPartFrame(scene, index, 0);
  for (auto& fr : img.frames)
    for (size_t k = 0; k < img.union_mask.size(); ++k) {
      uint8_t* px = &fr[k * 3];
      if (img.union_mask[k]) {
        AvoidKey(px);
      } else {
        px[0] = 255;
        px[1] = 0;
        px[2] = 255;
      }
    }
  return img;
}

bool WritePartSprite(const PartImages& img, std::vector<uint8_t>& out) {
  render::Spr24Desc d;
  d.header.width = img.w;
  d.header.height = img.h;
  d.header.x = img.x;
  d.header.y = img.y;
  d.header.encoding = render::kSpr24Raw;
  d.header.key_colour = kKey;
  d.header.mask_mode = render::kSpr24NoMask;
  d.frames = img.frames;
  return render::WriteSpr24File(d, out);
}

std::vector<uint8_t> UnionMask255(const PartImages& img) {
  std::vector<uint8_t> m(img.union_mask.size());
  for (size_t k = 0; k < m.size(); ++k) m[k] = img.union_mask[k] ? 255 : 0;
  return m;
}

// --- ball frames ------------------------------------------------------------

struct BallFrames {
  std::vector<render::SpriteFileFrame> ball, shadow;
};

BallFrames RenderBalls(const render::DepthCamera& cam, const Nearest& nearest,
                       const render::Palette& pal, float table_x, bool with_shadow) {
  BallFrames out;
  constexpr float kRadius = 22.5f;
  const auto lights = SceneLights();
  // Camera basis for primary rays.
  double right[3], up[3], back[3], eye[3];
  for (int c = 0; c < 3; ++c) {
    right[c] = render::CameraElement(cam, 0, c);
    up[c] = render::CameraElement(cam, 1, c);
    back[c] = render::CameraElement(cam, 2, c);
  }
  for (int c = 0; c < 3; ++c)
    eye[c] =
        -(right[c] * render::CameraElement(cam, 0, 3) + up[c] * render::CameraElement(cam, 1, 3) +
          back[c] * render::CameraElement(cam, 2, 3));
  // Grey indices for the shadow: core and edge.
  auto grey_index = [&](int v) {
    int best = 1 << 30, bi = kFirstGreyIndex;
    for (int i = kFirstGreyIndex; i <= kLastGreyIndex; ++i) {
      const int d = std::abs(pal[static_cast<size_t>(i)].g - v);
      if (d < best) {
        best = d;
        bi = i;
      }
    }
    return static_cast<uint8_t>(bi);
  };
  const uint8_t core = grey_index(68), edge = grey_index(176);
  for (int f = 0; f < 40; ++f) {
    const float wy = -816.661f + (static_cast<float>(39 - f) + 0.5f) * 44.8897f + 25.0015f;
    const float y = render::WorldYToTable(wy);
    const render::WorldPoint c = render::TableToWorld(table_x, y, 0.0f);
    float pcx = 0, pcy = 0;
    render::ProjectContinuous(cam, c, pcx, pcy);
    render::SpriteFileFrame bf, sf;
    bf.width = sf.width = 128;
    bf.height = sf.height = 128;
    bf.pixels.assign(128 * 128, 0);
    sf.pixels.assign(128 * 128, 0);
    for (int j = 0; j < 128; ++j)
      for (int i = 0; i < 128; ++i) {
        const double u = pcx - 63.5 + i + 0.5, v = pcy - 63.5 + j + 0.5;
        const double xv = -(u - cam.cx) / cam.fx, yv = -(v - cam.cy) / cam.fy;
        double d[3];
        for (int k = 0; k < 3; ++k) d[k] = xv * right[k] + yv * up[k] - back[k];
        const double dl = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (double& e : d) e /= dl;
        const double oc[3] = {eye[0] - c.x, eye[1] - c.y, eye[2] - c.z};
        const double bq = oc[0] * d[0] + oc[1] * d[1] + oc[2] * d[2];
        const double cq = oc[0] * oc[0] + oc[1] * oc[1] + oc[2] * oc[2] - kRadius * kRadius;
        const double disc = bq * bq - cq;
        if (disc >= 0.0) {
          const double t = -bq - std::sqrt(disc);
          double n[3];
          for (int k = 0; k < 3; ++k) n[k] = (oc[k] + t * d[k]) / kRadius;
          // Chrome: the reflected direction picks a sky / table gradient plus highlights.
          const double dn = d[0] * n[0] + d[1] * n[1] + d[2] * n[2];
          double rf[3];
          for (int k = 0; k < 3; ++k) rf[k] = d[k] - 2.0 * dn * n[k];
          double base = rf[2] > 0.0 ? 0.55 + 0.35 * rf[2] : 0.28 + 0.2 * (1.0 + rf[2]);
          double spec = 0.0, diff = 0.0;
          for (const Light& L : lights) {
            const double rl = rf[0] * L.x + rf[1] * L.y + rf[2] * L.z;
            if (rl > 0.0) spec += std::pow(rl, 60.0) * L.intensity * 1.6;
            diff += std::max(0.0, n[0] * L.x + n[1] * L.y + n[2] * L.z) * L.intensity;
          }
          const double v8 = std::clamp((base * 0.75 + diff * 0.25 + spec) * 235.0, 20.0, 255.0);
          const int g = static_cast<int>(v8);
          bf.pixels[static_cast<size_t>(j * 128 + i)] = nearest(g, g, std::min(255, g + 8));
        }
        if (with_shadow) {
          // Shadow on the table plane from the main light.
          if (d[2] < 0.0) {
            const double tp = -eye[2] / d[2];
            const double p[3] = {eye[0] + tp * d[0], eye[1] + tp * d[1], 0.0};
            const Light& L = lights[0];
            // Distance from the ball centre to the ray p + s·L.
            const double w[3] = {c.x - p[0], c.y - p[1], c.z - p[2]};
            const double s = w[0] * L.x + w[1] * L.y + w[2] * L.z;
            const double q[3] = {w[0] - s * L.x, w[1] - s * L.y, w[2] - s * L.z};
            const double dist = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
            if (s > 0.0 && dist <= kRadius * 0.85)
              sf.pixels[static_cast<size_t>(j * 128 + i)] = core;
            else if (s > 0.0 && dist <= kRadius * 1.1)
              sf.pixels[static_cast<size_t>(j * 128 + i)] = edge;
          }
        }
      }
    out.ball.push_back(std::move(bf));
    out.shadow.push_back(std::move(sf));
  }
  return out;
}

bool WriteIndexedSet(std::vector<render::SpriteFileFrame> frames, const render::Palette& pal,
                     std::vector<uint8_t>& out) {
  render::SpriteFileDesc d;
  d.frames = std::move(frames);
  d.palette = pal;
  d.compression = render::kStoredPlain;
  return render::WriteSpriteFile(d, out);
}

}  // namespace

bool BuildTable(const Layout& layout, const std::string& tuning_text, int threads, BuildResult& out,
                std::string& error) {
  const render::DepthCamera cam = render::TableCamera();
  std::vector<uint8_t> bytes;

  // Surface map.
  out.surface_map = BuildSurfaceMap(layout);
  {
    render::Palette key{};
    for (int i = 0; i < 256; ++i)
      key[static_cast<size_t>(i)] = {static_cast<uint8_t>(i * 37), static_cast<uint8_t>(i * 91),
                                     static_cast<uint8_t>(i * 53)};
    if (!render::WriteScreenFile(layout.width, layout.height, out.surface_map, key, bytes))
      return error = "surface map", false;
    Add(out, "RES\\MASK\\P_MASK0.LSC", bytes);
  }
  // The scene: playfield pictures and depth map.
  Scene scene;
  BuildScene(layout, scene);
  RenderOptions opt;
  opt.threads = threads;
  RenderOut normal, dark;
  RenderRegion(scene, cam, opt, 0, 0, kScreenW, kScreenH, normal);
  opt.dark = true;
  RenderRegion(scene, cam, opt, 0, 0, kScreenW, kScreenH, dark);
  out.playfield_rgb = normal.rgb;
  out.dark_rgb = dark.rgb;
  if (!render::JpegEncode(kScreenW, kScreenH, normal.rgb, 92, bytes))
    return error = "PF_0002", false;
  Add(out, "RES\\TGA\\PF_0002.JPG", bytes);
  if (!render::JpegEncode(kScreenW, kScreenH, dark.rgb, 92, bytes)) return error = "PF_0000", false;
  Add(out, "RES\\TGA\\PF_0000.JPG", bytes);
  if (!render::WriteDepthFile(kScreenW, kScreenH, normal.depth, cam, 0, 0, bytes))
    return error = "depth map", false;
  Add(out, "RES\\Z\\P_FIELD.Z16", bytes);

  // Parts. Every lamp and bumper lit, pasted over the table, makes the
  // picture of the lit table for the documentation.
  Shot lit{"playfield-lit.png", kScreenW, kScreenH, normal.rgb};
  for (size_t i = 0; i < scene.parts.size(); ++i) {
    const PartDef p = scene.parts[i];
    int depth_frames = 0;
    std::string depth_name;
    if (p.kind == PartKind::kSpinner) depth_frames = 16, depth_name = "SPINNER";
    if (p.kind == PartKind::kGate) depth_frames = 5, depth_name = p.name;
    if (p.kind == PartKind::kFlipper) depth_frames = 9, depth_name = p.name;
    const bool dt04 = p.name == "DT_04";
    if (dt04) depth_frames = 6, depth_name = "DT_04";
    PartImages img = RenderPart(scene, i, cam, threads, depth_frames);
    const int lit_frame = p.kind == PartKind::kLamp || p.kind == PartKind::kRollover ? 2
                          : p.kind == PartKind::kBumper                              ? 3
                                                                                     : -1;
    if (lit_frame >= 0)
      for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
          const size_t k = static_cast<size_t>(y * img.w + x);
          if (!img.union_mask[k]) continue;
          const size_t o = static_cast<size_t>(((img.y + y) * kScreenW + img.x + x) * 3);
          for (int c = 0; c < 3; ++c)
            lit.rgb[o + static_cast<size_t>(c)] =
                img.frames[static_cast<size_t>(lit_frame)][k * 3 + static_cast<size_t>(c)];
        }
    if (!WritePartSprite(img, bytes)) return error = "sprite " + p.name, false;
    Add(out, "RES\\ANIM\\" + p.name + ".J24", bytes);
    if (p.kind == PartKind::kKicker) {
      if (!render::WriteMaskFile(img.w, img.h, UnionMask255(img), render::kMaskPlain, bytes))
        return error = "kicker mask", false;
      Add(out, "RES\\IMMASK\\REBOUNDR.IMS", bytes);
    }
    if (p.kind == PartKind::kFlipper) {
      if (!render::WriteMaskFile(img.w, img.h, UnionMask255(img), render::kMaskPlain, bytes))
        return error = "flipper image mask", false;
      Add(out, "RES\\IMMASK\\" + p.name + ".IMS", bytes);
    }
    if (!depth_name.empty()) {
      std::vector<std::vector<int16_t>> frames = img.depth;
      if (dt04) frames = {img.depth[0], img.depth[5]};  // up, down
      if (!render::WritePartDepthFile(img.w, img.h, frames, cam, img.x, img.y, bytes))
        return error = "depth " + p.name, false;
      Add(out, "RES\\Z\\" + depth_name + ".ZS2", bytes);
    }
  }
  out.shots.push_back(std::move(lit));
  for (const char* name : {"RES\\IMMASK\\R_MASK_1.IMS", "RES\\IMMASK\\R_MASK_2.IMS"}) {
    const uint8_t one = 255;
    if (!render::WriteMaskFile(1, 1, std::span<const uint8_t>(&one, 1), render::kMaskPlain, bytes))
      return error = name, false;
    Add(out, name, bytes);
  }
  // Tuning.
  {
    const std::vector<uint8_t> text(tuning_text.begin(), tuning_text.end());
    Add(out, "RES\\GFALL.CDA", res::CDataEncode(text, 0x4B47F11Du));
  }
  // Scoreboard, menus, loading and title pictures.
  if (!BuildExtras(out, error)) return false;

  // The palette from the colours of every picture so far, then everything
  // drawn in its indices.
  const render::Palette pal = BuildTablePalette(SampleTablePictures(out));
  const Nearest nearest(pal);

  // Palette and lookup tables.
  if (!render::WritePaletteFile(pal, bytes)) return error = "palette", false;
  Add(out, "RES\\TABLES\\P_FIELD.PAL", bytes);
  {
    std::vector<uint8_t> mas(render::kTableSize), mam(render::kTableSize);
    for (int v = 0; v < 256; ++v)
      for (int s = 0; s < 256; ++s) {
        const auto& c = pal[static_cast<size_t>(v)];
        const int d =
            s == 0 ? 0 : std::max(0, static_cast<int>(0.3 * (254 - pal[static_cast<size_t>(s)].g)));
        mas[static_cast<size_t>(v * 256 + s)] =
            s == 0 ? static_cast<uint8_t>(v) : nearest(c.r - d, c.g - d, c.b - d);
        const auto& t = pal[static_cast<size_t>(s)];
        mam[static_cast<size_t>(v * 256 + s)] =
            nearest(c.r + (t.r - c.r) * 35 / 100, c.g + (t.g - c.g) * 35 / 100,
                    c.b + (t.b - c.b) * 35 / 100);
      }
    if (!render::WriteTableFile(mas, bytes)) return error = "shadow table", false;
    Add(out, "RES\\TABLES\\P_FIELD.MAS", bytes);
    if (!render::WriteTableFile(mam, bytes)) return error = "mix table", false;
    Add(out, "RES\\TABLES\\P_FIELD.MAM", bytes);
  }
  // Reflection texture: a tileable soft sky with a window band.
  {
    constexpr int tw = 256, th = 128;
    std::vector<uint8_t> tex(tw * th);
    for (int j = 0; j < th; ++j)
      for (int i = 0; i < tw; ++i) {
        const double a = 2.0 * M_PI * i / tw, b = 2.0 * M_PI * j / th;
        const double v = 0.55 + 0.25 * std::cos(b) + 0.12 * std::sin(2 * a) * std::cos(b) +
                         0.08 * std::cos(3 * a + b);
        const int g = static_cast<int>(std::clamp(v, 0.0, 1.0) * 255.0);
        tex[static_cast<size_t>(j * tw + i)] = nearest(g - 10, g, g + 20);
      }
    if (!render::WriteScreenFile(tw, th, tex, pal, bytes))
      return error = "reflection texture", false;
    Add(out, "RES\\TGA\\BALLMAP.LSC", bytes);
  }
  // Flipper collision masks.
  for (size_t i = 0; i < 2; ++i) {
    std::vector<render::SpriteFileFrame> frames;
    for (int k = 0; k < kFlipperMaskFrames; ++k) {
      render::SpriteFileFrame fr;
      fr.width = kFlipperBoxW;
      fr.height = kFlipperBoxH;
      fr.pixels = FlipperMask(layout.flippers[i], k, layout.ball_radius);
      frames.push_back(std::move(fr));
    }
    if (!WriteIndexedSet(std::move(frames), pal, bytes)) return error = "flipper mask", false;
    Add(out, i == 0 ? "RES\\MASK\\F_L.IMG" : "RES\\MASK\\F_R.IMG", bytes);
  }
  // Balls.
  {
    BallFrames normal_ball = RenderBalls(cam, nearest, pal, 369.0f, true);
    BallFrames lane_ball =
        RenderBalls(cam, nearest, pal, static_cast<float>(core::geometry::kPlunger.x), false);
    if (!WriteIndexedSet(std::move(normal_ball.ball), pal, bytes)) return error = "ball", false;
    Add(out, "RES\\ANIM\\BALL.IMG", bytes);
    if (!WriteIndexedSet(std::move(normal_ball.shadow), pal, bytes)) return error = "shadow", false;
    Add(out, "RES\\ANIM\\SHAD.IMG", bytes);
    if (!WriteIndexedSet(std::move(lane_ball.ball), pal, bytes)) return error = "lane ball", false;
    Add(out, "RES\\ANIM\\BALL_PL.IMG", bytes);
  }
  if (!BuildFonts(pal, out, error)) return false;
  std::sort(out.files.begin(), out.files.end(),
            [](const PackFile& a, const PackFile& b) { return a.name < b.name; });
  return true;
}

}  // namespace tablegen
