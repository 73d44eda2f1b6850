#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace res {
struct ResourceLayer;
}

namespace tablegen {
struct Layout;
// Every file of the master table: the pack holds exactly this many.
inline constexpr size_t kMasterTableEntries = 158;
// The check of the scoreboard, fonts, menus, loading and title pictures and
// sounds in a pack already open in `layer`; returns the failure count.
int CheckExtras(res::ResourceLayer& layer, const std::vector<std::string>& names);
// Loads the pack through the game's loaders in all fifteen display modes and
// verifies the data contract. Prints each failure; returns the failure count.
int CheckPack(const std::string& path);
// Verifies that the layout read from table.json puts the parts the rules and
// the physics test (core/table_geometry.h) at the same places: the map size,
// bumper and kicker centres, drop-target heights and face bands, flipper
// pivots and boxes, the plunger and the hole. Prints each failure; returns
// the failure count.
int CheckLayout(const Layout& layout);
// The surface-map part of the check alone (for tests); returns the failure count.
int CheckSurfaceMapBytes(const std::vector<uint8_t>& map, int width, int height);
}  // namespace tablegen
