#include "physics/ball.h"

#include "core/random15.h"
#include "physics/tuning.h"

namespace physics {

void BallReset(std::span<BallRecord, kBallCount> balls) {
  for (BallRecord& b : balls) {
    ReflectionBlock keep = b.reflection;
    b = BallRecord{};
    b.reflection = keep;
  }
  balls[1].in_play = 0;
}

bool PlaceBallAtPlunger(std::span<BallRecord, kBallCount> balls, int index, const Tuning& tuning,
                        core::Random15& random) {
  if (index < 0 || index >= kBallCount) return false;
  BallRecord& b = balls[index];
  b.in_play = 1;
  b.waiting_at_plunger = 1;
  b.launched = 0;
  b.rolling = 0;
  b.rotation_rate = {};
  b.hold_counter = 0;
  b.pending_vx = b.pending_vy = 0.0f;
  b.flipper_contact = -1;
  b.flipper_contact_steps = 0;
  b.flipper_contact_frame = 0;
  b.flipper_angle = {kNoFlipperAngle, kNoFlipperAngle};
  b.gate_pass = {};
  b.surface_code = kStartSurfaceCode;
  b.last_open_floor_code = kStartSurfaceCode;
  b.x = kPlungerX;
  b.y = kPlungerY;
  // The ball has not moved yet: its last step starts where it stands.
  b.prev_x = b.x;
  b.prev_y = b.y;
  float r1 = random.Within(tuning.ball_start_dx_rand);
  float r2 = random.Within(tuning.ball_start_dy_rand);
  b.vx = tuning.ball_start_dx + r1;
  b.vy = tuning.ball_start_dy + r2;
  return true;
}

void MirrorBallY(BallRecord& b) {
  b.y = -b.y;
  b.prev_y = -b.prev_y;
  b.vy = -b.vy;
  b.flipper_contact_y = -b.flipper_contact_y;
  if (b.flipper_contact >= 0 && b.flipper_contact <= 5) {
    b.flipper_contact += 6;
  } else if (b.flipper_contact >= 6) {
    b.flipper_contact -= 6;
  }
}

}  // namespace physics
