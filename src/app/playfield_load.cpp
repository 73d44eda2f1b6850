#include "app/playfield_load.h"

#include <vector>

#include "app/game.h"
#include "physics/flipper.h"
#include "physics/playfield.h"
#include "physics/tuning_file.h"
#include "physics/world.h"
#include "render/render_files.h"

namespace app {

bool LoadFlipperMasks(physics::World& world, res::ResourceLayer& layer,
                      render::ImageSetContext& ctx) {
  render::ImageSetOptions options;
  options.reindex = render::Reindex::kNever;
  options.table_resolution = true;
  options.keep_cube = true;
  options.keep_decoded = true;
  bool ok = true;
  for (physics::Flipper& f : world.flippers) {
    if (static_cast<uint32_t>(f.mask_source) < static_cast<uint32_t>(physics::kFlipperCount)) {
      continue;
    }
    render::ImageSet set;
    if (!render::LoadImageSet(set, layer, f.mask_file, ctx, options)) {
      physics::SetFlipperMasks(f, {});
      ok = false;
      continue;
    }
    std::vector<physics::FlipperMaskFrame> frames;
    for (int32_t k = 0; k < set.frame_count; ++k) {
      const render::SpriteFrame& sf = set.frames[static_cast<size_t>(k)];
      frames.push_back({sf.width, sf.height, render::FramePixels(set, k)});
    }
    if (!physics::SetFlipperMasks(f, frames)) ok = false;
    render::FreeImageSet(set);
  }
  physics::ShareFlipperMasks(world.flippers);
  return ok;
}

bool LoadPlayfieldPhysics(Game& g, res::ResourceLayer& layer, render::ImageSetContext& ctx,
                          physics::SurfaceMap surface_map, physics::TuningFileLoad* tuning) {
  physics::World& w = g.world;
  physics::PlayfieldReset(w, g.random);
  physics::TuningFileLoad loaded = physics::LoadTuningFile(layer, w.tuning_targets());
  const bool damaged = loaded.status == physics::TuningFileStatus::kDamaged;
  if (tuning) *tuning = std::move(loaded);
  if (damaged) return false;
  if (!physics::SetSurfaceMap(w, std::move(surface_map))) return false;
  return LoadFlipperMasks(w, layer, ctx);
}

}  // namespace app
