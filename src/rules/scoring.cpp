#include <algorithm>
#include <climits>

#include "rules/rules.h"

namespace rules {

namespace {

// Scores stop at the largest 32-bit value instead of wrapping negative.
int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool BonusLampFree(const Rules& r, int i) {
  return !r.table.objects[kRowBonusFirst + i].show_owned;
}

void SetBonusLamps(Rules& r, int lit_below, bool skip_owned) {
  for (int i = 0; i < kBonusLamps; ++i) {
    if (skip_owned && !BonusLampFree(r, i)) continue;
    SetLamp(r.table, kRowBonusFirst + i, i < lit_below);
  }
}

bool AllStatesOn(const Rules& r, int first, int count) {
  for (int i = 0; i < count; ++i) {
    if (r.table.objects[first + i].state == 0) return false;
  }
  return true;
}

void AwardFanfare(Rules& r, int kind) {
  ++r.counters.awards;
  ++r.counters.awards_by_kind[static_cast<size_t>(kind)];
  if (Tilted(r)) return;
  PlaySound(r.table, core::kSoundAward, 400.0f, 0.0f);
  PlaySound(r.table, core::kSoundPrize, 400.0f, 800.0f);
  StartLampShow(r.table, kShowAward);
}

}  // namespace

void Rules::Bind(physics::World& w) {
  world = &w;
  random = w.random;
  table.sound = w.sound;
}

void SetClock(Rules& r, uint32_t now, int32_t frame_time, double frame_time_ms) {
  r.now = now;
  r.frame_time = frame_time;
  r.frame_time_ms = frame_time_ms;
  if (r.world) r.table.sound = r.world->sound;
}

bool Tilted(const Rules& r) { return r.world && r.world->tilted != 0; }

bool Multiball(const Rules& r) {
  if (!r.world) return false;
  int free_balls = 0;
  for (const physics::BallRecord& b : r.world->balls) {
    if (b.in_play && !b.held) ++free_balls;
  }
  return free_balls > 1;
}

void AddScore(Rules& r, int32_t points, int32_t bonus_steps) {
  if (Tilted(r)) points = bonus_steps = 0;
  int64_t p = points;
  PlayerRecord& player = r.players.Current();
  if (Multiball(r)) p *= 2;
  if (player.bonus_level == kMaxBonusLevel) p *= 2;
  player.score = Saturate(player.score + p);
  player.bonus_level = std::clamp(player.bonus_level + bonus_steps, 0, kMaxBonusLevel);
  if (bonus_steps > 0) r.state.bonus_anim_step = 0;
  player.last_award = Saturate(p);
  UpdateBonusLamps(r);
}

void CountBonus(Rules& r, bool doubled) {
  PlayerRecord& player = r.players.Current();
  if (!Tilted(r)) {
    const int64_t v = (player.bonus_level == kMaxBonusLevel ? 40 : player.bonus_level) * 1000LL;
    int64_t add = doubled ? 2 * v : v;
    if (Multiball(r)) add *= 2;
    player.score = Saturate(player.score + add);
  }
  player.bonus_level = 0;
  UpdateBonusLamps(r);
}

void UpdateBonusLamps(Rules& r) {
  if (r.main_menu_shown) {
    SetBonusLamps(r, 0, false);
    return;
  }
  TableObject& first_bumper = r.table.objects[kRowBumperFirst];
  if (r.state.skill_shot_armed || r.table.flags.plunger_armed) {
    first_bumper.frame = (r.now / 150) % 2 ? 3 : 0;
    DrawObject(r.table, kRowBumperFirst, false);
  }
  const int32_t level = r.players.Current().bonus_level;
  RuleState& s = r.state;
  if (level >= kMaxBonusLevel) {
    const bool on = (r.now / 100) % 3 != 0;
    SetBonusLamps(r, on ? kBonusLamps : 0, true);
    return;
  }
  if (s.bonus_anim_step < 1) {
    SetBonusLamps(r, level, true);
    if (s.bonus_anim_step == -1) return;
  }
  s.bonus_anim_timer += r.frame_time;
  if (s.bonus_anim_timer > 100) {
    s.bonus_anim_timer = 0;
    ++s.bonus_anim_step;
  }
  if (s.bonus_anim_step == 0) return;
  if (s.bonus_anim_step > level) {
    if (s.bonus_anim_step > 2 * level) {
      s.bonus_anim_step = -1;
    } else if (s.bonus_anim_step % 5 <= 1) {
      SetBonusLamps(r, 0, true);
    } else {
      SetBonusLamps(r, level, true);
    }
  } else {
    SetBonusLamps(r, s.bonus_anim_step, true);
  }
}

void UpdateAwardLamps(Rules& r, bool advance) {
  RuleState& s = r.state;
  if (advance) s.award_rotation = (s.award_rotation + 1) % 3;
  const int32_t earned[3] = {s.extra_earned, s.double_earned, s.special_earned};
  for (int i = 0; i < 3; ++i) {
    SetLamp(r.table, kRowExtra + i, i == s.award_rotation && earned[i] != 0);
  }
}

void CheckSanta(Rules& r) {
  if (AllStatesOn(r, kRowSantaFirst, 5) && !r.state.extra_earned) {
    r.state.extra_earned = 1;
    ++r.counters.awards_earned[0];
  }
  UpdateAwardLamps(r, false);
}

void CheckTree(Rules& r) {
  if (AllStatesOn(r, kRowTreeFirst, 4) && !r.state.double_earned) {
    r.state.double_earned = 1;
    ++r.counters.awards_earned[1];
  }
  UpdateAwardLamps(r, false);
}

void CheckBumpers(Rules& r) {
  bool all = true;
  for (int row = kRowBumperFirst; row <= kRowBumperLast; ++row) {
    if (!r.table.objects[row].value) all = false;
  }
  if (all && !r.state.special_earned) {
    r.state.special_earned = 1;
    ++r.counters.awards_earned[2];
  }
  UpdateAwardLamps(r, false);
}

void CollectAward(Rules& r) {
  RuleState& s = r.state;
  switch (s.award_rotation) {
    case 0:
      if (!s.extra_earned) return;
      SetLamp(r.table, kRowGift, false);
      SetLamp(r.table, kRowShootAgain, true);
      s.extra_earned = 0;
      UpdateAwardLamps(r, false);
      AwardFanfare(r, 0);
      for (int i = 0; i < 5; ++i) SetLamp(r.table, kRowSantaFirst + i, false);
      return;
    case 1:
      if (!s.double_earned) return;
      SetLamp(r.table, kRowGift, false);
      s.double_earned = 0;
      for (int i = 0; i < 4; ++i) SetLamp(r.table, kRowTreeFirst + i, false);
      CountBonus(r, true);
      UpdateAwardLamps(r, false);
      AwardFanfare(r, 1);
      return;
    case 2:
      if (!s.special_earned) return;
      SetLamp(r.table, kRowGift, false);
      ClearBumperLights(r);
      s.special_earned = 0;
      if (r.world && r.world->tuning.bumpers_on_off == 0) {
        AddScore(r, 50000, 0);
      } else {
        AddScore(r, r.players.Current().score, 0);
      }
      ClearSkillShot(r);
      UpdateAwardLamps(r, false);
      AwardFanfare(r, 2);
      return;
    default:
      return;
  }
}

void ClearSkillShot(Rules& r) {
  if (!r.state.skill_shot_armed) return;
  r.state.skill_shot_armed = 0;
  TableObject& b = r.table.objects[kRowBumperFirst];
  b.frame = b.value ? 3 : 0;
  DrawObject(r.table, kRowBumperFirst, false);
}

void ClearBumperLights(Rules& r) {
  for (int row = kRowBumperFirst; row <= kRowBumperLast; ++row) {
    TableObject& b = r.table.objects[row];
    b.frame = 0;
    b.value = 0;
    b.animating = 0;
    DrawObject(r.table, row, false);
  }
}

void SaveBumperLights(Rules& r, int player) {
  if (player < 0 || player >= kPlayerCount) return;
  for (int i = 0; i < kBumperCount; ++i) {
    r.players.saved_bumpers[player][i] = r.table.objects[kRowBumperFirst + i].value;
  }
}

void RestoreBumperLights(Rules& r, int player) {
  if (player < 0 || player >= kPlayerCount) return;
  for (int i = 0; i < kBumperCount; ++i) {
    TableObject& b = r.table.objects[kRowBumperFirst + i];
    b.value = r.players.saved_bumpers[player][i] ? 1 : 0;
    b.frame = b.value ? 3 : 0;
    b.animating = 0;
    DrawObject(r.table, kRowBumperFirst + i, false);
  }
}

namespace {

// Each lamp of a group takes the state (blinking counts as on) of the lamp
// `shift` places further on.
void ShiftGroup(Rules& r, int first, int count, int shift) {
  std::array<bool, 5> old{};
  for (int i = 0; i < count; ++i) old[i] = r.table.objects[first + i].state != 0;
  for (int i = 0; i < count; ++i) SetLamp(r.table, first + i, old[(i + shift + count) % count]);
}

}  // namespace

void ShiftLampsByFlippers(Rules& r, bool left_held, bool right_held) {
  const bool left_new = left_held && !r.flippers_held[0];
  const bool right_new = right_held && !r.flippers_held[1];
  r.flippers_held = {left_held ? 1 : 0, right_held ? 1 : 0};
  if (left_new == right_new || !r.world) return;
  const int shift = left_new ? 1 : -1;
  if (r.world->tuning.santa_lamp_shifted) ShiftGroup(r, kRowSantaFirst, 5, shift);
  if (r.world->tuning.tree_lamp_shifted) ShiftGroup(r, kRowTreeFirst, 4, shift);
}

void RulesFrameEarly(Rules& r, bool left_held, bool right_held) {
  UpdateBonusLamps(r);
  StepLampShows(r.table, r.frame_time);
  MoveSpinner(r);
  ShiftLampsByFlippers(r, left_held, right_held);
}

void RulesFrameLate(Rules& r) { UpdateObjectTimers(r.table, r.frame_time); }

}  // namespace rules
