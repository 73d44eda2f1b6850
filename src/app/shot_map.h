#pragma once
// The shot map: what a player can hit from each flipper. Balls are fed down
// each inlane and dropped onto each flipper from mid-table at a few speeds;
// for each feed the flipper is pressed at every 2 ms through the time the
// ball is on or near it, and each shot is followed (no more flips) to the
// first scoring part it reaches. Consecutive press times that reach the same
// part make one window: how long a player has to make that shot.

#include <cstdio>
#include <string>
#include <vector>

#include "app/headless.h"

namespace app {

struct Game;

inline constexpr double kShotFlipStepMs = 2.0;

struct Shot {
  double flip_ms = 0.0;  // when the flipper was pressed, from the feed's start
  std::string part;      // e.g. "lane rgift", "bumper BUMPER3", "drain", "none"
  std::string kind;      // lane, target, bumper, kicker, spinner, hole, orbit, drain, none
  std::vector<std::pair<int, int>> path;  // ball centre from the press to the part, pixels
};

// Consecutive presses of one feed that reach the same part.
struct ShotWindow {
  std::string part, kind;
  double from_ms = 0.0, to_ms = 0.0;  // first and last press time
  double width_ms() const { return to_ms - from_ms + kShotFlipStepMs; }
};

struct ShotFeed {
  std::string name;                     // "inlane 2 px/step", "drop x 290 4 px/step"
  int flipper = 0;                      // 0 left, 1 right
  double on_from_ms = 0, on_to_ms = 0;  // the presses tried
  std::vector<Shot> shots;
  std::vector<ShotWindow> windows;
};

struct ShotMap {
  std::vector<ShotFeed> feeds;
};

// Plays every feed on a game whose table physics are loaded (no game running).
ShotMap BuildShotMap(Game& game);
// The widest window each flipper has for `part` (0 when it has none), ms.
double WidestWindow(const ShotMap& map, int flipper, const std::string& part);
// The surface map in muted false colour with every shot's path over it,
// coloured by the kind of part it reaches. RGB, width × height of the map.
std::vector<uint8_t> DrawShotMap(const Game& game, const ShotMap& map);
std::string ShotMapJson(const ShotMap& map);

// gfall --headless --shot-map OUT.png / --shot-map-json OUT.json.
int RunShotMap(const RunSetup& o, std::FILE* out, std::FILE* err);

}  // namespace app
