// Hostile table files for the loaders that read them from the pack: the input
// (after a first byte choosing the display format) is stored under every name
// the chosen loader reads. FUZZ_READER picks the loader:
//   1 palette and colour tables   2 reflection map   3 surface map
//   4 flipper masks               5 score fonts      6 scoreboard pictures
//   7 the sound list

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "../render/fuzz_common.h"
#include "app/game.h"
#include "app/headless.h"
#include "app/playfield_load.h"
#include "app/score_fonts.h"
#include "app/scoreboard.h"
#include "app/table_view.h"
#include "render/reflection_map.h"
#include "render/true_colour_sprite.h"
#include "rules/score_display.h"
#include "sound/pack_sound_file.h"
#include "sound/sound_engine.h"
#include "sound/sound_list.h"

#ifndef FUZZ_READER
#define FUZZ_READER 1
#endif

namespace {

std::vector<std::string> Names() {
  switch (FUZZ_READER) {
    case 1:
      return {"RES\\TABLES\\P_FIELD.PAL", "RES\\TABLES\\P_FIELD.MAS", "RES\\TABLES\\P_FIELD.MAM"};
    case 2:
      return {"RES\\TGA\\BALLMAP.LSC"};
    case 3:
      return {"RES\\MASK\\P_MASK0.LSC"};
    case 4:
      return {"RES\\MASK\\F_L.IMG", "RES\\MASK\\F_R.IMG"};
    case 5:
      return {"RES\\FONT\\MSG_FONT.IMG", "RES\\FONT\\DIG_1024.IMG", "RES\\FONT\\DIG_800.IMG",
              "RES\\FONT\\DIG_640.IMG"};
    case 6: {
      std::vector<std::string> names;
      for (const auto& p : rules::ScoreboardPictures()) {
        std::string n(p.file);
        bool seen = false;
        for (const auto& m : names) seen = seen || m == n;
        if (!seen) names.push_back(n);
      }
      return names;
    }
    default: {
      std::vector<std::string> names;
      for (const auto& row : sound::kSoundList) {
        std::string n(row.file);
        bool seen = false;
        for (const auto& m : names) seen = seen || m == n;
        if (!seen) names.push_back(n);
      }
      return names;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const std::vector<std::string> names = Names();
  const std::span<const uint8_t> file(data + 1, size - 1);
  std::vector<std::pair<std::string, std::span<const uint8_t>>> files;
  for (const auto& n : names) files.emplace_back(n, file);
  fuzzing::PackedFiles pack(files);
  if (!pack.ok) return 0;
  const render::DisplayFormat format = fuzzing::FormatFor(data[0]);
  render::TableColours colours = fuzzing::Colours();
  render::ImageSetContext ctx{format, colours, nullptr};

  switch (FUZZ_READER) {
    case 1: {
      auto view = std::make_unique<app::TableView>();
      view->display.format = format;
      std::string error;
      app::LoadTableColours(*view, pack.layer, error);
      break;
    }
    case 2: {
      render::ReflectionTables tables;
      render::LoadReflectionMap(tables, data[0] & 3, pack.layer, names[0]);
      break;
    }
    case 3: {
      auto map = app::LoadSurfaceMapFromPack(pack.layer);
      if (map && map->loaded() &&
          map->codes.size() != static_cast<size_t>(map->width) * static_cast<size_t>(map->height)) {
        std::abort();
      }
      break;
    }
    case 4: {
      auto world = std::make_unique<physics::World>();
      app::LoadFlipperMasks(*world, pack.layer, ctx);
      break;
    }
    case 5: {
      auto fonts = std::make_unique<rules::ScoreFonts>();
      app::LoadScoreFonts(*fonts, pack.layer, ctx);
      break;
    }
    case 6: {
      auto board = std::make_unique<app::Scoreboard>();
      render::TrueColourContext tc{pack.layer, format, colours};
      app::LoadScoreboard(*board, tc);
      break;
    }
    default: {
      sound::SoundEngine engine;  // no device: the sounds are decoded and kept
      engine.LoadSounds(sound::PackSoundFiles(pack.layer));
      break;
    }
  }
  return 0;
}
