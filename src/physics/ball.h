#pragma once
// The two ball records. A ball is a point moving over the playfield in
// playfield pixels (x right, y down); velocities are pixels per step of 6.6 ms.

#include <array>
#include <cstdint>
#include <span>

#include "core/table_geometry.h"

namespace core {
struct Random15;
}

namespace physics {

struct Tuning;

inline constexpr int kBallCount = 2;
// Where a new ball waits for the launch.
inline constexpr float kPlungerX = static_cast<float>(core::geometry::kPlunger.x);
inline constexpr float kPlungerY = static_cast<float>(core::geometry::kPlunger.y);
// A flipper angle of -4π marks "no flipper contact".
inline constexpr float kNoFlipperAngle = -12.566371f;
// Surface code a ball reports before it has touched anything (the gate code).
inline constexpr int32_t kStartSurfaceCode = 23;

// Rolling-ball texture state, advanced after every step by the renderer's
// RollReflection and read when the ball is drawn.
struct ReflectionBlock {
  int32_t map_index = 0;  // which reflection texture, 0..3
  int32_t radius = 0;     // pixels; 0 = no reflection
  int32_t centre_x = 0;   // pixel of the ball frame
  int32_t centre_y = 0;
  float roll_x = 0.0f;  // texture offset
  float roll_y = 0.0f;
  float angle = 0.0f;  // radians
};

struct BallRecord {
  float x = 0.0f, y = 0.0f;              // position, pixels
  float height = 0.0f;                   // always 0 on this table; passed to table sounds
  float prev_x = -1.0f, prev_y = -1.0f;  // position at the start of the last step
  float vx = 0.0f, vy = 0.0f;            // velocity, pixels per step
  float reserved0 = 0.0f;
  float speed_limit = 20.0f;                   // BALLMAXSPEED
  int32_t radius = 20;                         // two balls touch closer than twice this
  float plane_friction = 0.006f;               // PLANEMU, speed lost per step
  float plane_gravity = 0.03f;                 // PLANEG, pixels per step²
  float pending_vx = 0.0f, pending_vy = 0.0f;  // left by the ball–ball pass for the next step
  float floor_tolerance = 0.17453292f;  // radians; a wall this close to flat carries the ball
  int32_t reserved_level = 0;
  int32_t surface_code = kStartSurfaceCode;          // surface at the ball after the last step
  int32_t last_open_floor_code = kStartSurfaceCode;  // last code seen that was open floor
  int32_t in_play = 1;                               // on the table and stepped
  int32_t hold_counter = 0;                          // steps to wait before moving again
  int32_t flipper_contact = -1;  // flipper the ball rests on or was struck by, or -1
  int32_t flipper_contact_steps = 0;
  int32_t flipper_contact_frame = 0;  // flipper frame when the contact began
  float flipper_contact_x = 0.0f, flipper_contact_y = 0.0f;
  int32_t rolling = 0;                   // rolling along a wall
  float contact_normal = 0.0f;           // radians, normal of the wall rolled along
  std::array<float, 3> rotation{};       // accumulated rolling angles, radians
  std::array<float, 3> rotation_rate{};  // per step: forward roll, sideways roll, spin
  std::array<float, 2> flipper_angle{kNoFlipperAngle, kNoFlipperAngle};
  int32_t waiting_at_plunger = 0;
  int32_t held = 0;                    // locked in place by the rules: not stepped, no ball–ball
  int32_t launched = 0;                // the frame loop steps only launched balls
  std::array<int32_t, 3> gate_pass{};  // while set, that one-way gate is open to this ball
  ReflectionBlock reflection;
};

// Writes the reset values into both records (the reflection blocks are the
// renderer's and are kept) and takes ball 1 out of play. Runs at every
// playfield load and game start, before the tuning text is read.
void BallReset(std::span<BallRecord, kBallCount> balls);

// Puts ball 0 or 1 on the plunger with the start velocity and its random
// spread; it does not move until launched. Returns false (and does nothing)
// for other ball numbers. The tuning fields of the record are kept.
bool PlaceBallAtPlunger(std::span<BallRecord, kBallCount> balls, int index, const Tuning& tuning,
                        core::Random15& random);

// Reflects a record through y = 0 for a step above the playfield's top edge:
// negates y, previous y, vy and the flipper-contact point's y, and moves a
// flipper-contact index out of the range of real flippers (0..5 <-> 6..11;
// -1 is kept). Applying it twice restores the record exactly.
void MirrorBallY(BallRecord& ball);

}  // namespace physics
