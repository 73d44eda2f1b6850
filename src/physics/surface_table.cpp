#include "physics/surface_table.h"

namespace physics {

namespace {

bool InTable(int code) { return code >= 0 && code < kSurfaceRows; }

template <typename T>
T WithFallback(const std::array<T, kSurfaceRows>& column, int code) {
  if (InTable(code) && column[code] >= 0) return column[code];
  return column[kDefaultSurfaceRow];
}

}  // namespace

SurfaceTable::SurfaceTable() { ResetSurfaceTable(*this); }

void ResetSurfaceTable(SurfaceTable& t) {
  for (int i = 0; i < kDefaultSurfaceRow; ++i) {
    t.wall_rebound[i] = -0.1f;
    t.fast_impact_multiplier[i] = 1.0f;
    t.absolute_rebound[i] = -0.1f;
    t.wall_friction[i] = -0.1f;
    t.slope_acceleration[i] = 0.0f;
    t.max_normal_speed[i] = -0.1f;
    t.max_tangent[i] = -0.1f;
  }
  t.wall_rebound[kDefaultSurfaceRow] = 0.6f;
  t.absolute_rebound[kDefaultSurfaceRow] = 0.0f;
  t.wall_friction[kDefaultSurfaceRow] = 0.001f;
  t.max_normal_speed[kDefaultSurfaceRow] = 0.2f;
}

float WallRebound(const SurfaceTable& t, int code) { return WithFallback(t.wall_rebound, code); }
float AbsoluteRebound(const SurfaceTable& t, int code) {
  return WithFallback(t.absolute_rebound, code);
}
float WallFriction(const SurfaceTable& t, int code) { return WithFallback(t.wall_friction, code); }
float SlopeAcceleration(const SurfaceTable& t, int code) {
  return WithFallback(t.slope_acceleration, code);
}
float MaxNormalSpeed(const SurfaceTable& t, int code) {
  return WithFallback(t.max_normal_speed, code);
}
float MaxTangent(const SurfaceTable& t, int code) { return WithFallback(t.max_tangent, code); }
int32_t SurfaceDelay(const SurfaceTable& t, int code) {
  return WithFallback(t.surface_delay, code);
}
int32_t RandomMultiplier(const SurfaceTable& t, int code) {
  return WithFallback(t.random_multiplier, code);
}

float FastImpactMultiplier(const SurfaceTable& t, int code) {
  return InTable(code) ? t.fast_impact_multiplier[code] : 0.0f;
}
float FastImpactThreshold(const SurfaceTable& t, int code) {
  return InTable(code) ? t.fast_impact_threshold[code] : 0.0f;
}

float FastImpactRebound(const SurfaceTable& t, int code, float speed) {
  if (!InTable(code)) return t.wall_rebound[kDefaultSurfaceRow];
  float factor = WallRebound(t, code);
  if (speed >= t.fast_impact_threshold[code]) factor *= t.fast_impact_multiplier[code];
  return factor;
}

}  // namespace physics
