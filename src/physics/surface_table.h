#pragma once
// The surface table: one row per surface code of the collision map, saying how
// that kind of wall treats the ball. Row 255 is the default row: a negative
// entry in any other row means "not set" and reads as row 255's value.

#include <array>
#include <cstdint>

namespace physics {

inline constexpr int kSurfaceRows = 256;
inline constexpr int kDefaultSurfaceRow = 255;

struct SurfaceTable {
  std::array<float, kSurfaceRows> wall_rebound{};            // bounce factor
  std::array<float, kSurfaceRows> fast_impact_multiplier{};  // applied at or above the threshold
  std::array<float, kSurfaceRows> fast_impact_threshold{};   // speed, pixels per step
  std::array<float, kSurfaceRows> absolute_rebound{};        // speed lost on a bounce
  std::array<float, kSurfaceRows> wall_friction{};           // speed lost per step while touching
  std::array<float, kSurfaceRows> slope_acceleration{};      // extra gravity, pixels per step²
  std::array<float, kSurfaceRows> max_normal_speed{};        // below this a grazing ball may roll
  std::array<float, kSurfaceRows> max_tangent{};             // radians
  std::array<int32_t, kSurfaceRows> surface_delay{};         // most steps a hit holds the ball
  std::array<int32_t, kSurfaceRows> random_multiplier{};     // scales the random normal deflection

  // The state at program start: every column zero, then reset.
  SurfaceTable();
};

// Done at every playfield load, before the tuning text is read. Rewrites the
// "not set" markers of rows 0..254 and the default row's rebound, absolute
// rebound, friction and normal-speed entries. The fast-impact thresholds, the
// delays, the random multipliers and the default row's other entries keep
// whatever they hold.
void ResetSurfaceTable(SurfaceTable& table);

// Readers with the fall-back: the row's own value when code is 0..255 and the
// value is not negative, else row 255's value.
float WallRebound(const SurfaceTable& t, int code);
float AbsoluteRebound(const SurfaceTable& t, int code);
float WallFriction(const SurfaceTable& t, int code);
float SlopeAcceleration(const SurfaceTable& t, int code);
float MaxNormalSpeed(const SurfaceTable& t, int code);
float MaxTangent(const SurfaceTable& t, int code);
int32_t SurfaceDelay(const SurfaceTable& t, int code);
int32_t RandomMultiplier(const SurfaceTable& t, int code);

// The fast-impact columns are read straight from the row, without fall-back;
// codes outside 0..255 read 0.
float FastImpactMultiplier(const SurfaceTable& t, int code);
float FastImpactThreshold(const SurfaceTable& t, int code);

// Rebound factor of a hard hit at the given speed: the code's wall rebound,
// times its fast-impact multiplier when speed reaches its threshold; for a
// code outside 0..255, the default row's wall rebound.
float FastImpactRebound(const SurfaceTable& t, int code, float speed);

}  // namespace physics
