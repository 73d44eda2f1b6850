#include "physics/computer_player.h"

#include <cmath>

namespace physics {

bool FlipperReach::Contains(float x, float y) const {
  if (y < 0.0f) return false;  // above the playfield's top edge
  const int px = PixelOf(x), py = PixelOf(y);
  return px >= box_x && px < box_x + box_w && py >= box_y && py < box_y + box_h;
}

int32_t RandomExtra(const Tuning& tuning, core::Random15& random, int32_t t) {
  const int64_t bound = static_cast<int64_t>(t) * tuning.ai_random_k / 100;
  if (bound <= 0) return 0;
  return random.Below(static_cast<int>(bound > 1 << 30 ? 1 << 30 : bound));
}

void RunComputerPlayer(ComputerPlayerState& s, const World& w,
                       std::span<const FlipperReach> flippers, int32_t frame_time,
                       core::Random15& random, std::array<int32_t, 2>& controls) {
  const Tuning& t = w.tuning;
  controls = {0, 0};
  std::array<bool, kComputerSides> busy{};
  for (int side = 0; side < kComputerSides; ++side) {
    ComputerSide& c = s.sides[side];
    if (!c.active) continue;
    busy[side] = true;
    if (c.press_time < t.ai_press_time) {
      c.press_time += frame_time + RandomExtra(t, random, frame_time);
      controls[side] = 1;
    } else if (c.release_time < t.ai_release_time) {
      c.release_time += frame_time + RandomExtra(t, random, frame_time);
    } else {
      c = ComputerSide{};
    }
  }
  for (const BallRecord& b : w.balls) {
    if (!b.in_play) continue;
    for (size_t f = 0; f < flippers.size() && f < s.aim_time.size(); ++f) {
      const FlipperReach& fl = flippers[f];
      if (!fl.Contains(b.x, b.y)) continue;
      const int side = fl.left_side ? 0 : 1;
      if (busy[side]) continue;
      s.aim_time[f] += frame_time + RandomExtra(t, random, frame_time);
      if (s.aim_time[f] > t.ai_before_shot_time &&
          std::fabs(b.x - static_cast<float>(fl.pivot_x)) >=
              static_cast<float>(t.ai_min_axis_dist)) {
        s.aim_time[f] = 0;
        s.sides[side] = ComputerSide{1, 0, 0};
      }
    }
  }
}

}  // namespace physics
