#pragma once
// Nudging the table from the left, the right or below: a push for balls
// resting against a wall on the pushed side (stronger near the bottom of the
// table), a short shake of the drawn table, and the tilt meter that held nudge
// controls fill until the table tilts.

#include <array>
#include <cstdint>

#include "physics/world.h"

namespace physics {

enum NudgeControl : int { kNudgeFromLeft = 0, kNudgeFromRight = 1, kNudgeUp = 2 };
inline constexpr int kNudgeControls = 3;

inline constexpr float kShakeJump = 1.0f;
inline constexpr float kShakeSpeed = 0.3f;         // per ms
inline constexpr float kShakeReturnSpeed = 0.15f;  // per ms
inline constexpr float kShakeLimit = 6.45f;
inline constexpr int32_t kShakeMaxShift = 4;  // pixels
inline constexpr float kShakeEnd = 0.001f;
inline constexpr float kTiltGainPerMs = 10.0f;
inline constexpr int kNudgeSoundSlot = core::kSoundNudge;

struct ShakeAxis {
  float offset = 0.0f;  // display units
  float speed = 0.0f;   // per ms
  int32_t outward = 0;
};

struct NudgeState {
  std::array<int32_t, kNudgeControls> pressed{};   // this frame: left, right, up
  std::array<int32_t, kNudgeControls> previous{};  // the previous frame
  ShakeAxis shake_x, shake_y;
  float tilt_meter = 0.0f;
  // Whole pixels the drawing shifts the table by; 0 unless display_nudge.
  std::array<int32_t, 2> shake_offset{};
  int32_t display_nudge = 0;  // the "Display &Nudge" option
  int32_t tilts = 0;          // how often the table tilted (statistics)
};

// What a nudge does to the rules and the display.
class NudgeHooks {
 public:
  virtual ~NudgeHooks() = default;
  virtual bool LightsOut() = 0;
  // Sets or clears lights out; setting it shows the dark table, redraws it
  // with the score display and draws the tilt sign.
  virtual void SetLightsOut(bool on) = 0;
  // Both flippers at frame 0.
  virtual bool FlippersDown() = 0;
  // The rules' nudge reaction: spinner touch, then gate swing with the mask
  // (1 from the left, 2 from the right, 4 from below).
  virtual void NudgeReaction(int mask) = 0;
  // The rules' clean-up at the moment the table tilts.
  virtual void TiltCleanUp() = 0;
};

// NUDGESPEED × (1 − d / MAXNUDGEDISTANCE), d = |playfield height − trunc(y)|;
// 0 beyond that distance or for a ball waiting at the plunger.
float NudgeStrength(const World& w, const BallRecord& b);

// Once per frame before the physics steps; frame_time in ms.
void NudgeAndTiltPass(World& w, NudgeState& n, NudgeHooks& hooks, float frame_time);

}  // namespace physics
