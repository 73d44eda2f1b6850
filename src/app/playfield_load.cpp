#include "app/playfield_load.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/game.h"
#include "physics/flipper.h"
#include "physics/playfield.h"
#include "physics/tuning_file.h"
#include "physics/world.h"
#include "render/colour_cube.h"
#include "render/image_files.h"
#include "render/pixel_format.h"
#include "render/render_files.h"
#include "res/pack.h"

namespace app {

namespace {

// One mask set's frames, read from the pack; nothing when it does not load.
std::optional<std::vector<TablePhysicsCache::MaskFrame>> ReadMaskSet(res::ResourceLayer& layer,
                                                                     const std::string& file,
                                                                     render::ImageSetContext& ctx) {
  render::ImageSetOptions options;
  options.reindex = render::Reindex::kNever;
  options.table_resolution = true;
  options.keep_cube = true;
  options.keep_decoded = true;
  render::ImageSet set;
  if (!render::LoadImageSet(set, layer, file, ctx, options)) return std::nullopt;
  std::vector<TablePhysicsCache::MaskFrame> frames;
  for (int32_t k = 0; k < set.frame_count; ++k) {
    const render::SpriteFrame& sf = set.frames[static_cast<size_t>(k)];
    const std::span<const uint8_t> pixels = render::FramePixels(set, k);
    frames.push_back({sf.width, sf.height, {pixels.begin(), pixels.end()}});
  }
  render::FreeImageSet(set);
  return frames;
}

}  // namespace

bool LoadFlipperMasks(physics::World& world, res::ResourceLayer& layer,
                      render::ImageSetContext& ctx, TablePhysicsCache* cache) {
  bool ok = true;
  for (physics::Flipper& f : world.flippers) {
    if (static_cast<uint32_t>(f.mask_source) < static_cast<uint32_t>(physics::kFlipperCount)) {
      continue;
    }
    std::optional<std::vector<TablePhysicsCache::MaskFrame>> read;
    const std::vector<TablePhysicsCache::MaskFrame>* set = nullptr;
    if (cache != nullptr) {
      auto found = cache->masks.find(f.mask_file);
      if (found != cache->masks.end()) set = &found->second;
    }
    if (set == nullptr) {
      read = ReadMaskSet(layer, f.mask_file, ctx);
      if (!read) {
        physics::SetFlipperMasks(f, {});
        ok = false;
        continue;
      }
      set = cache != nullptr ? &cache->masks.emplace(f.mask_file, std::move(*read)).first->second
                             : &*read;
    }
    std::vector<physics::FlipperMaskFrame> frames;
    frames.reserve(set->size());
    for (const TablePhysicsCache::MaskFrame& fr : *set) {
      frames.push_back({fr.width, fr.height, fr.pixels});
    }
    if (!physics::SetFlipperMasks(f, frames)) ok = false;
  }
  physics::ShareFlipperMasks(world.flippers);
  return ok;
}

bool LoadPlayfieldPhysics(Game& g, res::ResourceLayer& layer, render::ImageSetContext& ctx,
                          physics::SurfaceMap surface_map, physics::TuningFileLoad* tuning,
                          TablePhysicsCache* cache) {
  physics::World& w = g.world;
  physics::PlayfieldReset(w, g.random);
  physics::TuningFileLoad loaded = physics::LoadTuningFile(layer, w.tuning_targets());
  const bool damaged = loaded.status == physics::TuningFileStatus::kDamaged;
  if (tuning) *tuning = std::move(loaded);
  if (damaged) return false;
  if (!physics::SetSurfaceMap(w, std::move(surface_map))) return false;
  return LoadFlipperMasks(w, layer, ctx, cache);
}

std::optional<physics::SurfaceMap> LoadSurfaceMapFromPack(res::ResourceLayer& layer) {
  render::ScreenImage image;
  if (!render::LoadScreenImage(layer, kSurfaceMapFile, nullptr, image)) return std::nullopt;
  if (image.width <= 0 || image.height <= 0 ||
      image.bytes.size() < static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) {
    return std::nullopt;
  }
  physics::SurfaceMap map(image.width, image.height, 0);
  std::copy_n(image.bytes.begin(), map.codes.size(), map.codes.begin());
  return map;
}

bool LoadTableFromPack(Game& g, res::ResourceLayer& layer, const std::string& data_dir,
                       std::string& error) {
  return OpenTablePack(layer, data_dir, error) && LoadTablePhysics(g, layer, data_dir, error);
}

bool OpenTablePack(res::ResourceLayer& layer, const std::string& data_dir, std::string& error) {
  const std::string path = (std::filesystem::path(data_dir) / "GFALL.DAT").string();
  layer.loose_root = data_dir;
  std::string pack_error;
  if (!res::PackOpen(layer, path, &pack_error)) {
    error = path + ": " + (pack_error.empty() ? "cannot open the file" : pack_error);
    return false;
  }
  return true;
}

bool LoadTablePhysics(Game& g, res::ResourceLayer& layer, const std::string& data_dir,
                      std::string& error, TablePhysicsCache* cache) {
  const std::string path = (std::filesystem::path(data_dir) / "GFALL.DAT").string();
  std::optional<physics::SurfaceMap> map;
  if (cache != nullptr && cache->surface_map) {
    map = cache->surface_map;  // each game its own copy
  } else {
    map = LoadSurfaceMapFromPack(layer);
    if (cache != nullptr && map && map->loaded()) cache->surface_map = map;
  }
  if (!map || !map->loaded()) {
    error = std::string("the surface map ") + kSurfaceMapFile + " in " + path + " does not load";
    return false;
  }
  // The flipper masks are read at table resolution without re-indexing, so
  // any display format and palette will do for them.
  TablePhysicsCache own;
  TablePhysicsCache& decode = cache != nullptr ? *cache : own;
  if (!decode.colours) {
    decode.format = {};
    decode.format.width = 1024;
    decode.format.height = 768;
    decode.format.format_id = render::PixelFormatId::RGB32;
    render::SetFormatDefaults(decode.format);
    decode.colours = std::make_unique<render::TableColours>();
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      decode.colours->palette[static_cast<size_t>(i)] = {v, v, v};
    }
    decode.colours->palette_loaded = true;
    render::BuildTableCube(*decode.colours);
  }
  render::ImageSetContext ctx{decode.format, *decode.colours, nullptr};
  physics::TuningFileLoad tuning;
  const bool loaded = LoadPlayfieldPhysics(g, layer, ctx, std::move(*map), &tuning, cache);
  // The built-in tuning is for the test table only: a table without its own,
  // or with a damaged one, does not play as it was made.
  if (tuning.status == physics::TuningFileStatus::kDamaged) {
    error = "the tuning file " + tuning.error + " (in " + path + ")";
    return false;
  }
  if (tuning.status == physics::TuningFileStatus::kMissing) {
    error =
        std::string("the tuning file ") + physics::kTuningTableName + " is missing from " + path;
    return false;
  }
  if (!loaded) {
    error = "the playfield in " + path + " does not load";
    return false;
  }
  // Refused lines do not stop the table; they are named (the caller prints a
  // non-empty error of a successful load as a warning).
  error.clear();
  for (const std::string& line : tuning.refused) {
    error +=
        (error.empty() ? "" : "\ngfall: ") + tuning.file + " " + line + "; the line is refused";
  }
  return true;
}

}  // namespace app
