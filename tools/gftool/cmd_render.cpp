// gftool render FILE OUT.png: loads a picture, sprite, mask, depth map, table or
// palette through the game's own loader, in the display format and resolution
// asked for, and writes what the game would draw as a PNG. Transparent sprite
// pixels are transparent in the PNG; masks are black (0) and white; depth maps
// are grey levels from far (dark) to near (bright).

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "command.h"
#include "info.h"
#include "png_out.h"
#include "render/colour_cube.h"
#include "render/image_files.h"
#include "render/picture.h"
#include "render/pixel_format.h"
#include "render/spr24_file.h"
#include "render/true_colour_sprite.h"
#include "res/resource_layer.h"

namespace gftool {
namespace {

namespace fs = std::filesystem;
using render::PixelFormatId;

struct Image {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;
  void Resize(int32_t w, int32_t h) {
    width = w;
    height = h;
    rgba.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 255);
  }
  uint8_t* At(size_t i) { return &rgba[i * 4]; }
};

// Without --palette, 256-colour mode uses a plain palette: a 6 × 6 × 6 colour
// cube and a grey ramp in the entries that reach the display.
render::Palette DefaultPalette() {
  render::Palette p{};
  for (int i = 0; i < 216; ++i) {
    p[static_cast<size_t>(10 + i)] =
        render::Rgb{static_cast<uint8_t>(i / 36 * 51), static_cast<uint8_t>(i / 6 % 6 * 51),
                    static_cast<uint8_t>(i % 6 * 51)};
  }
  for (int i = 0; i < 20; ++i) {
    const auto v = static_cast<uint8_t>(i * 255 / 19);
    p[static_cast<size_t>(226 + i)] = render::Rgb{v, v, v};
  }
  return p;
}

// A screen value of the format back to 8-bit R, G, B.
void Unpack(const render::DisplayFormat& f, const render::Palette& palette, uint32_t v,
            uint8_t* out) {
  auto channel = [v](uint32_t mask, int32_t shift, int32_t bits) {
    if (bits <= 0) return uint8_t{0};
    const uint32_t q = (v & mask) >> shift;
    return static_cast<uint8_t>(q * 255 / ((1u << bits) - 1));
  };
  if (f.format_id == PixelFormatId::PAL8) {
    const render::Rgb& c = palette[v & 255];
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    return;
  }
  out[0] = channel(f.red_mask, f.red_shift, f.red_bits);
  out[1] = channel(f.green_mask, f.green_shift, f.green_bits);
  out[2] = channel(f.blue_mask, f.blue_shift, f.blue_bits);
}

uint32_t ValueAt(const uint8_t* p, int32_t bytes) {
  uint32_t v = 0;
  for (int32_t k = 0; k < bytes; ++k) v |= static_cast<uint32_t>(p[k]) << (8 * k);
  return v;
}

struct Job {
  std::string path;
  int32_t frame = 0;
  render::DisplayFormat format;
  std::unique_ptr<render::TableColours> colours;
  res::ResourceLayer layer;
  std::string name;  // the file's name below the layer's loose root
};

int RenderSprite(Job& job, Image& img) {
  render::TrueColourContext ctx{job.layer, job.format, *job.colours};
  render::TrueColourSprite s;
  if (!render::LoadTrueColourSprite(s, ctx, job.name, {}, 0, 0)) {
    return Fail(job.path + ": the game does not load this SPR24 file");
  }
  if (job.frame < 0 || job.frame >= s.frame_count) {
    return Fail("frame " + std::to_string(job.frame) + " does not exist (" +
                std::to_string(s.frame_count) + " frames)");
  }
  img.Resize(s.width, s.height);
  const auto& frame = s.frames[static_cast<size_t>(job.frame)];
  const uint32_t key = render::TransparentKey(job.format.format_id);
  for (size_t i = 0; i < static_cast<size_t>(s.width) * static_cast<size_t>(s.height); ++i) {
    const uint32_t v =
        ValueAt(&frame[i * static_cast<size_t>(s.bytes_per_pixel)], s.bytes_per_pixel);
    const bool bytes4 = s.bytes_per_pixel == 4;
    if ((bytes4 ? (v & 0xFFFFFF) : v) == key) {
      img.At(i)[0] = img.At(i)[1] = img.At(i)[2] = img.At(i)[3] = 0;
    } else {
      Unpack(job.format, job.colours->palette, v, img.At(i));
    }
  }
  return 0;
}

int RenderPicture(Job& job, Image& img) {
  render::Picture p;
  if (!render::LoadJpegPicture(p, job.layer, job.name)) {
    return Fail(job.path + ": the JPEG picture does not decode");
  }
  if (!render::ConvertPicture(p, job.format, *job.colours)) {
    return Fail(job.path + ": the picture cannot be converted");
  }
  img.Resize(p.width, p.height);
  const int32_t bpp = render::BytesPerPixel(p.format);
  for (size_t i = 0; i < static_cast<size_t>(p.width) * static_cast<size_t>(p.height); ++i) {
    Unpack(job.format, job.colours->palette, ValueAt(&p.pixels[i * static_cast<size_t>(bpp)], bpp),
           img.At(i));
  }
  return 0;
}

int RenderMask(Job& job, Image& img) {
  render::MaskImage m;
  if (!render::LoadMask(m, job.layer, job.name) || !render::ScaleMask(m, job.format)) {
    return Fail(job.path + ": the game does not load this IMMASK file");
  }
  img.Resize(m.width, m.height);
  for (size_t i = 0; i < m.bytes.size(); ++i) {
    const uint8_t v = m.bytes[i] ? 255 : 0;
    img.At(i)[0] = img.At(i)[1] = img.At(i)[2] = v;
  }
  return 0;
}

int RenderScreen(Job& job, Image& img) {
  render::ScreenImage s;
  render::Palette own{};
  if (!render::LoadScreenImage(job.layer, job.name, &own, s) &&
      !render::LoadScreenImage(job.layer, job.name, nullptr, s)) {
    return Fail(job.path + ": the game does not load this SCREEN file");
  }
  img.Resize(s.width, s.height);
  for (size_t i = 0; i < s.bytes.size(); ++i) {
    const render::Rgb& c = own[s.bytes[i]];
    img.At(i)[0] = c.r;
    img.At(i)[1] = c.g;
    img.At(i)[2] = c.b;
  }
  return 0;
}

void Grey(std::span<const int16_t> depth, int32_t w, int32_t h, Image& img) {
  img.Resize(w, h);
  if (depth.empty()) return;
  auto [lo, hi] = std::minmax_element(depth.begin(), depth.end());
  const int32_t range = std::max(1, *hi - *lo);
  for (size_t i = 0; i < depth.size(); ++i) {
    const auto v = static_cast<uint8_t>((depth[i] - *lo) * 255 / range);
    img.At(i)[0] = img.At(i)[1] = img.At(i)[2] = v;
  }
}

int RenderDepth(Job& job, Image& img) {
  render::DepthMap map;
  if (!render::LoadDepthMap(job.layer, job.name, job.format, map)) {
    return Fail(job.path + ": the game does not load this Z-BUFFER file");
  }
  if (map.width <= 0 || map.height <= 0) return Fail("the depth map is empty at this resolution");
  Grey(map.data, map.width, map.height, img);
  return 0;
}

int RenderPartDepth(Job& job, Image& img) {
  render::PartDepth part;
  if (!render::LoadPartDepth(job.layer, job.name, job.format, part)) {
    return Fail(job.path + ": the game does not load this Z-BUFFERS file");
  }
  if (job.frame < 0 || job.frame >= part.frame_count) {
    return Fail("frame " + std::to_string(job.frame) + " does not exist (" +
                std::to_string(part.frame_count) + " frames)");
  }
  if (part.width <= 0 || part.height <= 0) return Fail("the frames are empty at this resolution");
  Grey(part.frames[static_cast<size_t>(job.frame)], part.width, part.height, img);
  return 0;
}

int RenderTable(Job& job, Image& img) {
  auto table = std::make_unique<render::LookupTable256>();
  if (!render::LoadTable(job.layer, job.name, *table)) {
    return Fail(job.path + ": the game does not load this MAPS file");
  }
  // Each entry is a palette index: shown in the table palette's colours.
  img.Resize(256, 256);
  for (size_t i = 0; i < table->size(); ++i) {
    const render::Rgb& c = job.colours->palette[(*table)[i]];
    img.At(i)[0] = c.r;
    img.At(i)[1] = c.g;
    img.At(i)[2] = c.b;
  }
  return 0;
}

int RenderPalette(Job& job, Image& img) {
  render::Palette p{};
  if (!render::LoadPalette(job.layer, job.name, p)) return Fail(job.path + ": not 768 bytes");
  img.Resize(256, 256);  // 16 × 16 swatches of 16 pixels
  for (size_t y = 0; y < 256; ++y) {
    for (size_t x = 0; x < 256; ++x) {
      const render::Rgb& c = p[(y / 16) * 16 + x / 16];
      uint8_t* o = img.At(y * 256 + x);
      o[0] = c.r;
      o[1] = c.g;
      o[2] = c.b;
    }
  }
  return 0;
}

int RenderCommand(Args args_in) {
  std::vector<std::string> args(args_in.begin(), args_in.end());
  std::string frame = "0", format = "4", width = "1024", palette;
  TakeOption(args, "--frame", frame);
  TakeOption(args, "--format", format);
  TakeOption(args, "--width", width);
  TakeOption(args, "--palette", palette);
  if (args.size() != 2) return Usage("render");
  Job job;
  job.path = args[0];
  try {
    job.frame = std::stoi(frame);
    const int id = std::stoi(format);
    const int w = std::stoi(width);
    if (id < 0 || id > 4 || (w != 640 && w != 800 && w != 1024)) return Usage("render");
    job.format.width = w;
    job.format.height = w * 3 / 4;
    job.format.format_id = static_cast<PixelFormatId>(id);
  } catch (...) {
    return Usage("render");
  }
  render::SetFormatDefaults(job.format);

  job.colours = std::make_unique<render::TableColours>();
  job.colours->palette = DefaultPalette();
  if (!palette.empty()) {
    std::vector<uint8_t> bytes;
    if (!ReadFile(palette, bytes)) return 1;
    if (!render::ParsePalette(bytes, job.colours->palette))
      return Fail(palette + ": not 768 bytes");
  }
  job.colours->palette_loaded = true;
  render::BuildTableCube(*job.colours);

  std::vector<uint8_t> head;
  if (!ReadFile(job.path, head)) return 1;
  const fs::path p(job.path);
  job.layer.loose_root = p.has_parent_path() ? p.parent_path() : fs::path(".");
  job.name = p.filename().string();

  Image img;
  int rc;
  if (TagAt(head, 0, render::kSpr24Tag)) {
    rc = RenderSprite(job, img);
  } else if (head.size() >= 2 && head[0] == 0xFF && head[1] == 0xD8) {
    rc = RenderPicture(job, img);
  } else if (TagAt(head, 0, render::kMaskTag)) {
    rc = RenderMask(job, img);
  } else if (TagAt(head, 1, render::kScreenTag)) {
    rc = RenderScreen(job, img);
  } else if (TagAt(head, 0, render::kDepthTag)) {
    rc = RenderDepth(job, img);
  } else if (TagAt(head, 0, render::kPartDepthTag)) {
    rc = RenderPartDepth(job, img);
  } else if (TagAt(head, 0, render::kTableTag)) {
    rc = RenderTable(job, img);
  } else if (head.size() == render::kPaletteFileSize) {
    rc = RenderPalette(job, img);
  } else {
    return Fail(job.path +
                ": not a file gftool render knows (SPR24, JPEG, IMMASK, SCREEN, Z-BUFFER, "
                "Z-BUFFERS, MAPS, palette)");
  }
  if (rc != 0) return rc;
  std::vector<uint8_t> png;
  if (!EncodePng(img.width, img.height, img.rgba, png)) return Fail("cannot encode the PNG");
  return WriteFileAtomic(args[1], png) ? 0 : 1;
}

}  // namespace
GFTOOL_COMMAND("render",
               "render FILE OUT.png [--frame N] [--format 0-4] [--width 640|800|1024] "
               "[--palette FILE.PAL]",
               RenderCommand);
}  // namespace gftool
