#pragma once
// What headless play needs besides the driver: the built-in test table, the
// statistics of a run and the final state printed as JSON.

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/game.h"
#include "app/input_script.h"
#include "app/playfield_load.h"
#include "app/run_setup.h"
#include "physics/surface_map.h"
#include "res/resource_layer.h"

namespace app {

// Upper bound of one headless run, whatever the options: four hours of game time.
inline constexpr double kHeadlessGameTimeCapMs = 4.0 * 3600.0 * 1000.0;

// Statistics of a run (--stats).
struct HeadlessStats {
  float max_speed = 0.0f;  // pixels per step
  int32_t stuck_balls = 0;
  // Per ball: where it was when it last moved more than 5 pixels, and when.
  std::array<float, 2> anchor_x{}, anchor_y{};
  std::array<double, 2> anchor_ms{};
  std::array<bool, 2> anchored{};
};

inline constexpr float kStuckRadius = 5.0f;
inline constexpr double kStuckMs = 30000.0;

// After each frame: notes a ball in play (not held, not waiting at the plunger)
// that stayed within 5 pixels for 30 s of game time; one event per 30 s.
void TrackStuckBalls(HeadlessStats& s, const Game& g, double now_ms);

// The built-in test table: walls, a plunger lane with the lane exit, a
// funnel towards the drain and two flipper places (800 × 1514, the table's
// size).
physics::SurfaceMap PaintedTestTableMap();
// Gives a game the test table: its map, the flipper places of the computer
// player and launch values suited to it.
void UseTestTable(Game& g);

// The table of a headless run: the test table (`--test-table`) or the pack's,
// whose tuning warnings go to err. False, said on err, when the pack cannot
// be used.
bool LoadRunTable(Game& g, res::ResourceLayer& layer, const RunSetup& o, std::FILE* err);
// The state object printed by --print-state (with "stats" when asked).
std::string StateJson(const Game& g, int64_t frames, const HeadlessStats* stats);

}  // namespace app
