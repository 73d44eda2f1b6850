#pragma once
// The game's one pseudo-random source: a 32-bit linear congruential state
// yielding 15-bit values. Everything random in a game (serve velocity, wall
// deflection, the computer player) draws from it, so one seed replays a game.

#include <cstdint>

namespace core {

struct Random15 {
  uint32_t state = 0;

  void Seed(uint32_t seed) { state = seed; }

  // Advances the state and returns a value in 0..32767.
  int Next() {
    state = state * 134775813u + 1u;
    return static_cast<int>(state % 32768u);
  }

  // A whole number in 0..n-1; 0 when n < 1 (the state does not advance then).
  int Below(int n);
  // An amount in 0..a: next × a / 32767.
  float UpTo(float a);
  // An amount in -a..a: a − next × 2a / 32767.
  float Within(float a);
};

}  // namespace core
