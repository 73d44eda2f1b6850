#pragma once
// Angles are radians in [0, 2π), counter-clockwise from +x with y pointing up,
// so a direction θ is the velocity (speed·cos θ, −speed·sin θ) in playfield pixels.

#include <cmath>
#include <numbers>

namespace core {

inline constexpr float kPi = std::numbers::pi_v<float>;
inline constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

inline float DegreesToRadians(float degrees) { return degrees * kPi / 180.0f; }
inline float RadiansToDegrees(float radians) { return radians * 180.0f / kPi; }

// Wraps any finite angle into [0, 2π).
inline float WrapAngle(float a) {
  a = std::fmod(a, kTwoPi);
  if (a < 0.0f) a += kTwoPi;
  if (a >= kTwoPi) a = 0.0f;  // -tiny + 2π may round up to 2π
  return a;
}

// The signed shortest turn from a to b, in (-π, π].
inline float AngleDifference(float a, float b) {
  float d = WrapAngle(b - a);
  return d > kPi ? d - kTwoPi : d;
}

// Direction of a playfield vector (dx, dy) with y down, as an angle in [0, 2π).
inline float DirectionOf(float dx, float dy) { return WrapAngle(std::atan2(-dy, dx)); }

}  // namespace core
