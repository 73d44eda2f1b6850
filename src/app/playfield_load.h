#pragma once
// The physics side of loading the playfield, read through the file layer:
// reset, the tuning file, the surface map and both flippers' collision masks.
// The drawing side (playfield maps and depth, flipper pictures and depth, ball
// sets) loads between and after these steps and does not touch the physics.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "physics/surface_map.h"
#include "physics/tuning_file.h"
#include "render/image_set.h"
#include "res/resource_layer.h"

namespace physics {
struct World;
}

namespace app {

struct Game;

// What the table's physics read from the pack that is the same for every game:
// the decoded surface map and each flipper mask set's frames. A batch of games
// fills it with its first game and gives every later game its own copies, so
// each game starts from the state a single run starts from.
struct TablePhysicsCache {
  struct MaskFrame {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
  };
  std::optional<physics::SurfaceMap> surface_map;
  std::map<std::string, std::vector<MaskFrame>> masks;  // by mask set name
  // The context the masks are decoded in, built on the first mask set read.
  std::unique_ptr<render::TableColours> colours;
  render::DisplayFormat format;
};

// Reads each flipper's collision masks ("SPRITE" sets named by the flipper
// record, read at table resolution: no resampling, no re-indexing, cube
// untouched) and hands their frames to the flipper. A flipper that shares the
// other's masks reads none. False when a set is missing or does not load.
// With a cache, a set read once is not read again.
bool LoadFlipperMasks(physics::World& world, res::ResourceLayer& layer,
                      render::ImageSetContext& ctx, TablePhysicsCache* cache = nullptr);

// In order: the surface table and both balls reset with ball 0 on the
// plunger; the tuning file; the surface map; the flippers' masks. The surface
// map comes decoded from "RES\MASK\P_MASK0.LSC" by the caller. False when the
// map is empty, a mask set failed or the tuning file is damaged: the program
// cannot run without them. `tuning` (when given) gets what the tuning load found.
bool LoadPlayfieldPhysics(Game& game, res::ResourceLayer& layer, render::ImageSetContext& ctx,
                          physics::SurfaceMap surface_map,
                          physics::TuningFileLoad* tuning = nullptr,
                          TablePhysicsCache* cache = nullptr);

inline constexpr const char* kSurfaceMapFile = "RES\\MASK\\P_MASK0.LSC";

// The surface map (a "SCREEN" picture, one surface code per playfield pixel)
// read through the file layer; nothing when it is missing or does not load.
std::optional<physics::SurfaceMap> LoadSurfaceMapFromPack(res::ResourceLayer& layer);

// Opens "GFALL.DAT" in the data folder and loads the playfield physics: the
// tuning file, the surface map and the flipper masks. False with a message
// when the pack or its playfield cannot be used.
bool LoadTableFromPack(Game& g, res::ResourceLayer& layer, const std::string& data_dir,
                       std::string& error);
// Its two steps: opening the pack, and loading the playfield physics from it.
bool OpenTablePack(res::ResourceLayer& layer, const std::string& data_dir, std::string& error);
// With a cache (a batch of games on one open pack), the surface map and the
// flipper masks are decoded once and copied into each game; the tuning file is
// read for each game as before.
bool LoadTablePhysics(Game& g, res::ResourceLayer& layer, const std::string& data_dir,
                      std::string& error, TablePhysicsCache* cache = nullptr);

}  // namespace app
