#pragma once
// The player records: up to four players take turns; points reach them only
// through Add score and Count bonus.

#include <array>
#include <cstdint>

#include "rules/table_objects.h"

namespace rules {

inline constexpr int kPlayerCount = 4;
inline constexpr int32_t kMaxBonusLevel = 20;

struct PlayerRecord {
  int32_t score = 0;        // points in this game (six digits are shown)
  int32_t bonus_level = 0;  // 0..20 bonus steps on the current ball
  int32_t last_award = 0;   // points of the latest award after multipliers
};

struct Players {
  std::array<PlayerRecord, kPlayerCount> records{};
  int32_t current = 0;     // 0..3
  int32_t last_index = 0;  // number of players minus one
  // Each player's bumper lights, kept while the others play.
  std::array<std::array<int32_t, kBumperCount>, kPlayerCount> saved_bumpers{};

  // The current player's record (player 0's if current is out of range).
  PlayerRecord& Current() { return records[current >= 0 && current < kPlayerCount ? current : 0]; }
  const PlayerRecord& Current() const {
    return records[current >= 0 && current < kPlayerCount ? current : 0];
  }
};

}  // namespace rules
