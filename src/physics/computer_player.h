#pragma once
// The computer player: when a ball lingers over a flipper it presses that
// side's flipper for a while and releases it, with a little randomness in
// every time. Its launches of a waiting ball belong to the game flow.

#include <array>
#include <cstdint>
#include <span>

#include "core/random15.h"
#include "physics/world.h"

namespace physics {

inline constexpr int kComputerSides = 2;  // 0 left, 1 right

// Where a flipper can be reached: its box and the x of its pivot.
struct FlipperReach {
  int32_t box_x = 0, box_y = 0, box_w = 0, box_h = 0;
  int32_t pivot_x = 0;
  int32_t left_side = 1;  // drives the left state machine

  bool Contains(float x, float y) const;
};

struct ComputerSide {
  int32_t active = 0;
  int32_t press_time = 0;    // ms
  int32_t release_time = 0;  // ms
};

struct ComputerPlayerState {
  std::array<ComputerSide, kComputerSides> sides{};
  std::array<int32_t, 2> aim_time{};  // per flipper, ms
};

// A random whole number from 0 to t × AIRANDOMK / 100 − 1 (0 when that bound
// is 0 or less).
int32_t RandomExtra(const Tuning& tuning, core::Random15& random, int32_t t);

// One frame of the computer player: writes both flipper controls (0 left,
// 1 right). Up to two flippers; frame_time in whole ms.
void RunComputerPlayer(ComputerPlayerState& s, const World& w,
                       std::span<const FlipperReach> flippers, int32_t frame_time,
                       core::Random15& random, std::array<int32_t, 2>& controls);

}  // namespace physics
