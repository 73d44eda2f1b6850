// The pack check for the files around the table: scoreboard, fonts, menus,
// loading and title pictures, and the sounds.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "extras.h"
#include "render/colour_cube.h"
#include "render/image_files.h"
#include "render/image_set.h"
#include "render/jpeg_io.h"
#include "render/picture.h"
#include "render/pixel_format.h"
#include "render/render_files.h"
#include "render/spr24_file.h"
#include "render/sprite_file.h"
#include "render/true_colour_sprite.h"
#include "res/res_file.h"
#include "rules/score_display.h"
#include "sound/compressed_sound.h"
#include "sound/pack_sound_file.h"
#include "sound/sound_file.h"
#include "sound/wave_file.h"
#include "soundgen/soundgen.h"

namespace tablegen {

namespace {

struct UiSprite {
  std::string file;
  int frames;
  int dy;  // extra offset the game loads it with (the last player's row for drums)
};

std::vector<UiSprite> UiSprites() {
  std::vector<UiSprite> v;
  for (int p = 0; p < 4; ++p) v.push_back({"RES\\UI\\STAB" + std::to_string(p) + "0.J24", 2, 0});
  v.push_back({"RES\\UI\\BALLNUM.J24", 3, 0});
  v.push_back({"RES\\UI\\TILTSIGN.J24", 1, 0});
  for (int d = 0; d < rules::kScoreDigits; ++d)
    v.push_back({"RES\\UI\\SDIG0" + std::to_string(d) + ".J24", rules::kDrumFrames,
                 3 * rules::kDigitRowStep});
  for (const MenuItemSpec& m : MenuItems()) v.push_back({m.file, 4, 0});
  v.push_back({"RES\\UI\\LOADING.J24", 3, 0});
  return v;
}

struct Rect {
  int x, y, w, h;
  bool Overlaps(const Rect& o) const {
    return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h;
  }
  bool operator==(const Rect&) const = default;
};

std::vector<render::DisplayFormat> Formats() {
  std::vector<render::DisplayFormat> v;
  for (auto [w, h] : {std::pair{1024, 768}, std::pair{800, 600}, std::pair{640, 480}})
    for (auto id :
         {render::PixelFormatId::PAL8, render::PixelFormatId::RGB555, render::PixelFormatId::RGB565,
          render::PixelFormatId::RGB24, render::PixelFormatId::RGB32}) {
      render::DisplayFormat f;
      f.width = w;
      f.height = h;
      f.format_id = id;
      render::SetFormatDefaults(f);
      v.push_back(f);
    }
  return v;
}

std::string ModeName(const render::DisplayFormat& f) {
  return std::to_string(f.width) + "x" + std::to_string(f.height) + " format " +
         std::to_string(static_cast<int>(f.format_id));
}

}  // namespace

int CheckExtras(res::ResourceLayer& layer, const std::vector<std::string>& names) {
  int failures = 0;
  auto Fail = [&failures](const std::string& what) {
    std::printf("FAIL: %s\n", what.c_str());
    ++failures;
  };
  if (names.size() != kMasterTableEntries)
    Fail("the pack holds " + std::to_string(names.size()) + " files, the master table " +
         std::to_string(kMasterTableEntries));
  auto load = [&](const std::string& name) -> std::vector<uint8_t> {
    auto b = res::ResLoadWhole(layer, name);
    if (!b) {
      Fail(name + " is missing from the pack");
      return {};
    }
    return *b;
  };
  // Sprite headers: frame counts and boxes on the 1024 screen.
  std::vector<std::pair<std::string, Rect>> boxes;
  for (const UiSprite& s : UiSprites()) {
    const auto bytes = load(s.file);
    if (bytes.empty()) continue;
    render::Spr24Header hd;
    std::string why;
    if (!render::ParseSpr24Header(bytes, hd, &why)) {
      Fail(s.file + ": " + why);
      continue;
    }
    if (hd.frame_count != s.frames)
      Fail(s.file + " has " + std::to_string(hd.frame_count) + " frames, expected " +
           std::to_string(s.frames));
    if (hd.x < 0 || hd.y < 0 || hd.x + hd.width > 1024 || hd.y + s.dy + hd.height > 768)
      Fail(s.file + " does not fit the screen (with the last player's offset)");
    if (hd.encoding != render::kSpr24Raw || hd.key_colour != 0x00FF00FFu)
      Fail(s.file + " is not raw with the magenta key");
    // The menu items and the loading indicator are rounded panels: the corner
    // of the first frame must be the key, or it shows as a magenta fringe.
    bool rounded = s.file == "RES\\UI\\LOADING.J24";
    for (const MenuItemSpec& m : MenuItems()) rounded = rounded || s.file == m.file;
    if (rounded && hd.mask_mode == render::kSpr24NoMask &&
        (bytes.size() < 315 || bytes[312] != 0xFF || bytes[313] != 0x00 || bytes[314] != 0xFF))
      Fail(s.file + " shows its corners: they are not the key colour");
    boxes.push_back({s.file, {hd.x, hd.y, hd.width, hd.height}});
  }
  auto box_of = [&](const std::string& f) -> const Rect* {
    for (auto& b : boxes)
      if (b.first == f) return &b.second;
    return nullptr;
  };
  // Menu rectangles: the player-count items share one; no two others of a menu overlap.
  for (bool main_menu : {true, false}) {
    std::vector<std::pair<std::string, Rect>> items;
    for (const MenuItemSpec& m : MenuItems()) {
      const Rect* r = box_of(m.file);
      if (m.main_menu != main_menu || !r) continue;
      const std::string f = m.file;
      if (f.find("MMPLA") != std::string::npos && f.find("MMPLA1") == std::string::npos) {
        if (const Rect* first = box_of("RES\\UI\\MMPLA1.J24"); first && !(*first == *r))
          Fail(f + " does not share the rectangle of MMPLA1.J24");
        continue;
      }
      for (const auto& o : items)
        if (o.second.Overlaps(*r)) Fail(f + " overlaps " + o.first);
      items.push_back({f, *r});
    }
  }
  // Scoreboard: the player rows, the ball number and the tilt sign never overlap.
  {
    std::vector<std::pair<std::string, Rect>> placed;
    for (const auto& b : boxes) {
      if (b.first.find("\\UI\\M") != std::string::npos ||
          b.first.find("\\UI\\P") != std::string::npos ||
          b.first.find("LOADING") != std::string::npos)
        continue;
      const bool drum = b.first.find("SDIG") != std::string::npos;
      for (int p = 0; p < (drum ? 4 : 1); ++p) {
        Rect r = b.second;
        r.y += p * rules::kDigitRowStep;
        for (const auto& o : placed)
          if (o.second.Overlaps(r)) Fail(b.first + " overlaps " + o.first);
        placed.push_back({b.first + " row " + std::to_string(p), r});
      }
    }
  }
  // Full-screen pictures.
  for (const char* n : {"RES\\TGA\\FS_0000.JPG", "RES\\TGA\\F_0000.JPG", "RES\\TGA\\F_0001.JPG"}) {
    const auto bytes = load(n);
    int32_t w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!bytes.empty() && (!render::JpegDecodeMemory(bytes, w, h, rgb) || w != 1024 || h != 768))
      Fail(std::string(n) + " is not a 1024x768 colour JPEG");
  }
  // Fonts: one frame, laid out with the built-in widths, on the table palette.
  render::Palette table_palette{};
  {
    const auto pal = load("RES\\TABLES\\P_FIELD.PAL");
    if (!pal.empty() && !render::ParsePalette(pal, table_palette))
      Fail("P_FIELD.PAL does not parse");
  }
  const std::array<const rules::FontSpec*, 4> fonts = {
      &rules::kMessageFont, &rules::kDigitFont1024, &rules::kDigitFont800, &rules::kDigitFont640};
  for (const rules::FontSpec* spec : fonts) {
    const auto bytes = load(spec->file);
    if (bytes.empty()) continue;
    render::ParsedSpriteFile parsed;
    if (!render::ParseSpriteFile(bytes, parsed)) {
      Fail(std::string(spec->file) + " does not parse");
      continue;
    }
    int total = 0;
    for (const auto& e : rules::BuiltInGlyphList(*spec)) total += e.character ? e.width : 0;
    if (parsed.frames.size() != 1 || parsed.frames[0].width < total ||
        parsed.frames[0].height != spec->line_height)
      Fail(std::string(spec->file) + " is not one frame of the glyph widths by the line height");
    if (parsed.palette_count < 1 || parsed.palette != table_palette)
      Fail(std::string(spec->file) + " is not on the table palette");
  }
  // Sounds: every file of the list decodes through the game's decoder within
  // its buffer rule; the flipper hum is a 16-bit PCM wave.
  for (const std::string& name : soundgen::SoundFileNames()) {
    const bool wave = name.size() > 4 && name.substr(name.size() - 4) == ".WAV";
    if (wave) {
      const auto bytes = load(name);
      if (bytes.empty()) continue;
      sound::MemorySoundFile file(bytes);
      sound::WaveSound w;
      if (!sound::ReadWave(file, w) || w.format.format_tag != 1 || w.format.bits != 16 ||
          w.samples.empty())
        Fail(name + " is not a 16-bit PCM wave");
      continue;
    }
    sound::DitherRandom rng;
    sound::DecodedSound d;
    if (!sound::DecodeFile(layer, name, false, rng, d))
      Fail(name + " does not decode within its buffer");
    else if (d.samples.empty() || d.samples.size() * 2 > d.size)
      Fail(name + " decodes to " + std::to_string(d.samples.size()) + " samples, over its buffer");
  }
  // Every mode: the sprites, fonts and pictures through the game's loaders.
  for (const render::DisplayFormat& f : Formats()) {
    render::TableColours colours;
    if (!render::LoadTablePalette(layer, colours)) {
      Fail(ModeName(f) + ": the table palette does not load");
      break;
    }
    render::BuildTableCube(colours);
    render::TrueColourContext tctx{layer, f, colours};
    for (const UiSprite& s : UiSprites()) {
      render::TrueColourSprite spr;
      if (!render::LoadTrueColourSprite(spr, tctx, s.file, "", 0, s.dy))
        Fail(ModeName(f) + ": " + s.file + " does not load");
      else if (spr.frame_count != s.frames)
        Fail(ModeName(f) + ": " + s.file + " has the wrong frame count");
    }
    render::ImageSetContext ctx{f, colours};
    for (const rules::FontSpec* spec : fonts) {
      const auto bytes = res::ResLoadWhole(layer, spec->file);
      render::ImageSet set;
      if (!bytes || !render::LoadImageSet(set, *bytes, ctx) || set.frame_count != 1)
        Fail(ModeName(f) + ": " + spec->file + " does not load");
    }
    for (const char* n :
         {"RES\\TGA\\FS_0000.JPG", "RES\\TGA\\F_0000.JPG", "RES\\TGA\\F_0001.JPG"}) {
      render::Picture pic;
      if (!render::LoadJpegPicture(pic, layer, n) || !render::ConvertPicture(pic, f, colours))
        Fail(ModeName(f) + ": " + n + " does not load and convert");
    }
  }
  return failures;
}

}  // namespace tablegen
