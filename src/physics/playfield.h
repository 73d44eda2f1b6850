#pragma once
// The physics side of loading the playfield, over files the loader has read
// and decoded (the resource layer reads them, the image and sprite-set
// readers decode them), and the warm-up pass run after the load.
//
// Load order: reset the surface table, both balls and ball 0 on the plunger;
// read the tuning text; take the surface map; take each flipper's collision
// masks. The pictures, depth maps and ball images load on the drawing side
// between and after these steps.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "physics/flipper.h"
#include "physics/surface_map.h"

namespace core {
struct Random15;
}

namespace physics {

struct World;

struct PlayfieldPhysicsFiles {
  // The tuning text, when a tuning file was found (its absence is no error:
  // every value keeps its default).
  std::optional<std::span<const uint8_t>> tuning_text;
  // "RES\MASK\P_MASK0.LSC": one surface code per playfield pixel.
  SurfaceMap surface_map;
  // "RES\MASK\F_L.IMG" and "RES\MASK\F_R.IMG": one mask frame per flipper
  // frame (30 frames of the flipper's box size in the table's data).
  std::array<std::vector<FlipperMaskFrame>, kFlipperCount> flipper_masks;
};

// Takes the decoded surface map; false (and nothing changes) when it is empty.
bool SetSurfaceMap(World& world, SurfaceMap map);

// Runs the physics side of a playfield load in order over decoded files (the
// game reads them through the file layer: app/playfield_load.h). Returns false when the
// surface map is empty or a flipper with its own masks has none that load;
// the caller then stops the program, as for any playfield file that failed.
bool LoadPlayfieldPhysics(World& world, core::Random15& random, PlayfieldPhysicsFiles files);

// Surface lookups at `count` random pixels of the map (start-up runs this
// twice with 40 000 so the map's pages are in memory before play). Returns a
// sum of the codes read, so the reads are not optimised away.
uint64_t WarmUpSurfaceLookups(const World& world, core::Random15& random, int count = 40000);

}  // namespace physics
