#pragma once
// The contact side of the ball step: what happens when a ball meets a wall, a
// flipper, a bumper or a kicker. The ball step (ball_step.cpp) calls these at
// fixed points; each works on the step's working copy of the ball record.
//
// Walls are pixels of the collision map that are not open; their normals are
// estimated on the fly by following the wall's outline, so any painted wall
// works without further data.

#include "physics/ball.h"

namespace physics {

struct World;

// What the ball step hands to the contact code.
struct StepContext {
  float f = 1.0f;                          // time factor
  float old_x = 0.0f, old_y = 0.0f;        // position at the start of the step
  float start_vx = 0.0f, start_vy = 0.0f;  // velocity at the start (after the pending change),
                                           // before this step's gravity and friction
  float mu = 0.0f;                         // friction that has slowed the ball this step
  bool touching = false;                   // the new pixel or one of its neighbours is not open
  bool slow_zone = false;                  // a fully raised flipper's slow zone holds the ball
  float normal = 0.0f;  // wall normal in radians, set by WallContact when touching
  bool normal_found = false;
};

// Flipper contact upkeep, at the start of the step (after the move): counts
// the contact steps and ends the contact when the flipper no longer carries
// the ball; may put the ball back onto the flipper.
void FlipperContactUpkeep(World& world, int index, BallRecord& ball, const StepContext& ctx);

// True when a flipper stands fully raised (frame 28) and the point lies
// strictly inside its slow zone.
bool InSlowZone(const World& world, float x, float y);

// Called when the ball touches a wall after its move: sets ctx.normal and
// ctx.normal_found (falling back to the old pixel, then to the wall point of
// a search along the move and the open point before it) and ends rolling
// contact once the ball is slow.
void WallContact(World& world, int index, BallRecord& ball, StepContext& ctx);

// The collision response for a ball that touches a wall and is not rolling:
// contact point, surface delay, bounce or start of rolling, flipper strike,
// bumper and kicker impulses, escape from the wall, resting drift, impact
// sounds. Runs after gravity and friction (ctx.mu holds the friction
// applied). Returns 2 for an ordinary step, 5 for a flipper strike, 6 for a
// bumper or kicker push.
int CollisionResponse(World& world, int index, BallRecord& ball, StepContext& ctx);

// One step of rolling contact along a wall (ball.rolling is set): keeps the
// ball on the wall and turns its velocity along it. Returns false when the
// rolling ends and the ordinary collision response must take over.
bool RollingContactStep(World& world, int index, BallRecord& ball, StepContext& ctx);

// The wall normal at a contact pixel, in radians, from two six-pixel walks
// along the wall's outline, with the code's random deflection; false when a
// walk got stuck (the angle is still written). Records the contact for the
// ball. The ball gives the gate flags and the direction of motion.
bool WallNormal(World& world, int index, const BallRecord& ball, int code, int x, int y,
                float& normal);

// Looks along a ledge for a drop within 16 pixels: -1 to the left, +1 to the
// right, 0 for none. Cached per ball below y = 1120.
int DropSearch(World& world, int index, int x, int y);

// Where a move from (x0, y0) to the ball's position first meets a wall.
struct ContactSearch {
  bool hit = false;  // a wall point was found
  int wall_x = 0, wall_y = 0;
  float x = 0.0f, y = 0.0f;  // the open point before it
};
// Walks the move in n = trunc(2 × length) + 2 parts (one part beyond its end)
// from an open start; does not move the ball.
ContactSearch SearchAlongMove(const World& world, const BallRecord& ball, float x0, float y0,
                              float x1, float y1);

// The contact point search of the collision response: puts the ball on the
// last open point before the wall (from an open start), or walks back
// against the move out of a wall (from a start inside one). Returns the wall
// pixel's code (and the pixel), or -1 when the move met no wall.
int ContactPointSearch(const World& world, BallRecord& ball, const StepContext& ctx, int& wall_x,
                       int& wall_y);

// Moves a ball that lies inside a wall to an open pixel nearby (one pixel
// along its velocity, then up to 200 pixels along the eight neighbour
// directions), never back onto its pixel at the start of the step. Returns
// false when the ball was inside a wall and no place was found.
bool PushOut(const World& world, BallRecord& ball, const StepContext& ctx);

// After a bounce: when the way one velocity step ahead is blocked, moves the
// ball off the wall along the normal (or against it) in 0.1-pixel steps,
// else pushes it out. Returns true when the push-out was used.
bool EscapeAlongNormal(const World& world, BallRecord& ball, const StepContext& ctx, float normal);

// A ball on the flipper surface is moved straight down, then up, in
// half-pixel steps (20 each way) to the first open point. False when none.
bool ClimbFlipperSurface(const World& world, BallRecord& ball, float x, float y);

// What a flipper does to a ball that meets its surface.
struct FlipperStrikeResult {
  bool struck = false;         // the flipper was moving and a strike was computed
  bool stands = false;         // the strike stands (not cancelled)
  bool cancelled = false;      // the ball simply bounces
  bool caught = false;         // a falling ball caught on a lowered flipper
  bool knocked = false;        // a fast ball knocked a raised flipper back
  float vx = 0.0f, vy = 0.0f;  // the flipper velocity, when the strike stands
};

// The flipper strike (flipper moving) or knock-back (flipper still at frame
// 28) for a ball at its contact point; normal is the wall normal there and
// normal_speed the ball's speed into the wall. Keeps the ball's contact
// bookkeeping and the flipper's hold and speed counter.
FlipperStrikeResult FlipperStrike(World& world, BallRecord& ball, int flipper, float normal,
                                  float normal_speed);

// The kick of a bumper (code 12) or rebound kicker (codes 22 and 99) along the
// wall normal, or false when the element does not fire. speed is the ball's
// speed after this step's friction.
bool ElementImpulse(const World& world, const BallRecord& ball, int code, float normal, float speed,
                    float& kick_x, float& kick_y);

}  // namespace physics
