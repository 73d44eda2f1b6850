#pragma once
// The trap sweep: balls launched at every pull strength and dropped on a grid
// over every open part of the playfield, each followed with no flips. A ball
// that comes to rest anywhere but the plunger lane or the kicker hole is a
// trap: in play it would never drain.

#include <string>
#include <vector>

namespace app {
struct Game;
}

namespace tablegen {

struct SweepOptions {
  int pull_step_percent = 1;  // launches at 0 %, this step, ..., 100 % of a full pull
  int launch_seeds = 4;       // launches per pull strength, each with its own random spread
  int grid = 4;               // pixels between dropped balls, both ways
  double follow_ms = 60000;   // game time each ball is followed for
  double rest_ms = 2000;      // a ball slower than rest_speed this long is at rest
  float rest_speed = 0.05f;   // pixels per step
};

// A place where balls came to rest, with how many did and where the first came from.
struct SweepTrap {
  int x = 0, y = 0;  // where the first of them rests, playfield pixels
  int balls = 0;
  std::string first_origin;  // "launch 55 % seed 2" or "drop (x, y)"
};

struct SweepReport {
  int launches = 0, drops = 0;
  int drained = 0;                  // left through the bottom edge
  int in_lane = 0;                  // at rest in the plunger lane (the next pull launches them)
  int in_hole = 0;                  // caught by the kicker hole (the rules throw them out)
  int still_moving = 0;             // neither drained nor at rest when the time ran out
  int bad_state = 0;                // a ball inside a wall or with a position that is not a number
  int trapped = 0;                  // balls at rest elsewhere
  std::vector<SweepTrap> traps;     // their resting places, near ones merged
  std::vector<std::string> bad;     // the first few bad states
  std::vector<std::string> moving;  // where the first few still-moving balls were at the end
};

// The plunger lane and the kicker hole's pocket, where a resting ball is expected.
bool SweepRestAllowed(float x, float y);

// Sweeps a game whose table physics are loaded (no game running). The ball
// records, gates and the hole lock are reset before every ball.
SweepReport TrapSweep(app::Game& game, const SweepOptions& options);

// Loads the pack at `pack_path` the way the game does, sweeps it and prints
// every trap and a summary. Returns the number of trapped or bad balls, or
// -1 when the pack does not load.
int CheckTraps(const std::string& pack_path, const SweepOptions& options);

}  // namespace tablegen
