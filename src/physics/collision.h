#pragma once
// The contact side of the ball step: what happens when a ball meets a wall, a
// flipper, a bumper or a kicker. The ball step (ball_step.cpp) calls these at
// fixed points; each works on the step's working copy of the ball record.
//
// The bodies in collision.cpp are deliberately plain: straight reflection off
// a wall normal estimated from the open pixels around the ball, no flippers,
// no bumper or kicker impulses, no rolling contact. The full wall model
// (outline-walk normals, contact point search, push-out, rolling contact,
// surface delay, fast-impact rebound, impact sounds), the flipper contact and
// strike, and the bumper and kicker kicks replace them here without changing
// the ball step.

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
// the ball; may put the ball back onto the flipper. Without flippers every
// contact ends.
void FlipperContactUpkeep(World& world, int index, BallRecord& ball, const StepContext& ctx);

// True when a flipper stands fully raised (frame 28) and the point lies
// strictly inside its slow zone. Without flippers: false.
bool InSlowZone(const World& world, float x, float y);

// Called when the ball touches a wall after its move: sets ctx.normal and
// ctx.normal_found (with the fall-backs to the old pixel) and ends rolling
// contact once the ball is slow or has left the wall.
void WallContact(World& world, int index, BallRecord& ball, StepContext& ctx);

// The collision response for a ball that touches a wall and is not rolling:
// contact point, bounce or start of rolling, flipper strike, bumper and kicker
// impulses, escape from the wall, impact sounds. Runs after gravity and
// friction (ctx.mu holds the friction applied). Returns 2 for an ordinary
// step, 5 for a flipper strike, 6 for a bumper or kicker push.
int CollisionResponse(World& world, int index, BallRecord& ball, StepContext& ctx);

// One step of rolling contact along a wall (ball.rolling is set): keeps the
// ball on the wall and turns its velocity along it. Returns false when the
// rolling ends and the ordinary collision response must take over.
bool RollingContactStep(World& world, int index, BallRecord& ball, StepContext& ctx);

// The wall normal at a contact pixel, in radians; false when it could not be
// found (the angle is still written). Records the contact for the ball.
bool WallNormal(World& world, int index, int code, int x, int y, float& normal);

// Looks along a ledge for a drop within 16 pixels: -1 to the left, +1 to the
// right, 0 for none. Cached per ball below y = 1120.
int DropSearch(World& world, int index, int x, int y);

}  // namespace physics
