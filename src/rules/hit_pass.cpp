#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <numbers>

#include "core/assert.h"
#include "core/table_geometry.h"
#include "rules/rules.h"

namespace rules {

namespace {

namespace geo = core::geometry;

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

int CodeAt(const Rules& r, int x, int y) { return physics::SurfaceCodeAt(*r.world, x, y); }

// Surface code `code` at (x, y) or at the four diagonal neighbours d away.
bool ProbeDiagonal(const Rules& r, float fx, float fy, int d, int code) {
  const int x = physics::PixelOf(fx), y = physics::PixelOf(fy);
  return CodeAt(r, x, y) == code || CodeAt(r, x - d, y - d) == code ||
         CodeAt(r, x + d, y + d) == code || CodeAt(r, x - d, y + d) == code ||
         CodeAt(r, x + d, y - d) == code;
}

// Lane floor (code 16) under the ball or two pixels to either side.
bool ProbeLane(const Rules& r, const physics::BallRecord& b) {
  const int x = physics::PixelOf(b.x), y = physics::PixelOf(b.y);
  return CodeAt(r, x, y) == physics::kCodeHole || CodeAt(r, x - 2, y) == physics::kCodeHole ||
         CodeAt(r, x + 2, y) == physics::kCodeHole;
}

bool IsKind(const Rules& r, int row, int kind) {
  return row >= 0 && row < kObjectRows && r.table.objects[row].kind == kind;
}

bool IsDropRow(int row) { return row >= kRowDropFirst && row <= kRowDropLast; }

void GateCheck(Rules& r, int ball) {
  GFALL_ASSERT(ball >= 0 && ball < physics::kBallCount,
               "gate check on a ball record other than 0-1");
  physics::BallRecord& b = r.world->balls[ball];
  std::array<int32_t, 3>& counted = r.balls[ball].gate_counted;
  for (int g = 0; g < 3; ++g) {
    if (geo::kGates[static_cast<size_t>(g)].InApproach(b.x, b.y)) {
      b.gate_pass[g] = 1;
      counted[g] = 0;
    } else if (b.gate_pass[g]) {
      if (ProbeDiagonal(r, b.x, b.y, 1, physics::kCodeGate)) {
        // The first step on the gate counts the passage for that gate's row.
        if (!counted[g]) {
          counted[g] = 1;
          ++r.counters.object_hits[kRowGateLeft + g];
        }
        GatePassage(r, kRowGateLeft + g);
      } else {
        b.gate_pass[g] = 0;
        counted[g] = 0;
      }
    }
  }
}

void SpinnerCheck(Rules& r, const physics::BallRecord& b) {
  if (geo::kSpinnerBox.Contains(b.x, b.y) && ProbeDiagonal(r, b.x, b.y, 2, geo::kSpinnerCode)) {
    r.state.spinner.speed = b.vy * -3.0f;
    r.state.spinner.settling = 0;
  }
}

void HoleCheck(Rules& r, physics::BallRecord& b) {
  if (r.world->hole_lock_timer != 0) return;
  const bool on_hole_floor =
      CodeAt(r, physics::PixelOf(b.x), physics::PixelOf(b.y)) == physics::kCodeHole;
  if (!on_hole_floor) return;
  if (geo::kHoleApproach.Contains(b.x, b.y)) {
    if (r.now - r.state.last_hole_sound_time > 500) {
      r.state.last_hole_sound_time = r.now;
      if (r.table.sound) {
        const float speed = (std::fabs(b.vx) + std::fabs(b.vy)) * 5.0f - b.speed_limit;
        r.table.sound->PlayTableSoundWithSpeed(core::kSoundBallWall, 600.0f, 0.0f, speed, true,
                                               false);
      }
    }
    if (std::fabs(b.vx) >= 8.0f || std::fabs(b.vy) >= 8.0f) {
      b.vx *= 0.8f;
      b.vy *= 0.8f;
    } else if (b.vx < 0.8f) {
      b.vx += 0.01f;
    }
  }
  if (geo::kHoleCatch.Contains(b.x, b.y) && std::fabs(b.vx) < 8.0f && std::fabs(b.vy) < 8.0f) {
    r.world->hole_lock_timer = 1;
    ++r.counters.hole_catches;
    b.held = 1;
    SetLampBlinking(r.table, kRowMultiball);
    b.x = static_cast<float>(geo::kHoleHold.x);
    b.y = static_cast<float>(geo::kHoleHold.y);
    b.vx = b.vy = 0.0f;
    b.rotation = {};
    PlaySound(r.table, core::kSoundHoleCatch, 600.0f, 0.0f);
  }
}

// Lights a rollover's flash. Returns true when the ball entered a new
// rollover (which scores, or arms the skill shot for the lane entry).
bool FlashRollover(Rules& r, BallRuleState& ball, int row) {
  TableObject& o = r.table.objects[row];
  if (!o.animating) {
    o.animating = 1;
    o.rising = 1;
    o.frame = 0;
  } else if (!o.rising) {
    o.frame = 2;
  }
  if (ball.last_rollover == row) return false;
  ball.last_rollover = row;
  if (row == kRowRollEntry) {
    r.state.skill_shot_armed = 1;
  } else {
    AddScore(r, 100, 0);
    ClearSkillShot(r);
  }
  return true;
}

// The TREE or SANTA lamp sound: lower when the lamp was unlit.
void LampSound(Rules& r, int lamp_row, int slot_unlit) {
  if (Tilted(r)) return;
  const int slot = r.table.objects[lamp_row].state != 0 ? slot_unlit + 1 : slot_unlit;
  PlaySound(r.table, slot, 400.0f, 0.0f);
}

enum class Lane {
  kUpperE2,
  kTree,        // arg: 0..3
  kSantaFlash,  // arg: 0, 1 or 4 (S, A1, A2)
  kSantaPlain,  // arg: 2 or 3 (N, T: no rollover picture)
  kLaneExit,
  kSide,
  kGift,
};

// What each lane of geo::kLanes does, in the same order. The first lane
// whose box holds the ball wins.
struct LaneRule {
  Lane lane;
  int arg;
};
constexpr LaneRule kLaneRules[] = {
    {Lane::kUpperE2, 0},    {Lane::kTree, 0},       {Lane::kTree, 1},       {Lane::kTree, 2},
    {Lane::kTree, 3},       {Lane::kSantaFlash, 0}, {Lane::kSantaFlash, 1}, {Lane::kSantaPlain, 2},
    {Lane::kSantaPlain, 3}, {Lane::kSantaFlash, 4}, {Lane::kLaneExit, 0},   {Lane::kSide, 0},
    {Lane::kGift, 0},
};
static_assert(std::size(kLaneRules) == geo::kLanes.size());
static_assert(std::size(kLaneRules) == kLaneLineCount);

constexpr int kSantaRollovers[5] = {kRowRollSantaS, kRowRollSantaA1, -1, -1, kRowRollSantaA2};
// Codes the ball's last rollover takes in lanes without a rollover picture.
constexpr int kUpperE2Code = 502;
constexpr int kSantaPlainCode[5] = {-1, -1, 500, 501, -1};

}  // namespace

void HitPass(Rules& r) {
  if (!r.world) return;
  physics::World& w = *r.world;
  if (w.hole_lock_timer != 0 && w.hole_lock_timer != -1) {
    w.hole_lock_timer += r.frame_time;
    if (w.hole_lock_timer > kHoleHoldMs) {
      w.hole_lock_timer = -1;
      if (r.flow) r.flow->HoleReleaseStep();
    }
  }
  for (int i = 0; i < physics::kBallCount; ++i) {
    physics::BallRecord& b = w.balls[i];
    if (!b.in_play) continue;
    GateCheck(r, i);
    SpinnerCheck(r, b);
    HoleCheck(r, b);
    LaneCheck(r, i);
    w.current_ball = i;
    if (b.waiting_at_plunger && b.surface_code == 0 &&
        (b.x < static_cast<float>(geo::kShooterLaneCorner.x) ||
         b.y < static_cast<float>(geo::kShooterLaneCorner.y))) {
      b.waiting_at_plunger = 0;
    }
    int nearest = -1;
    int64_t best = 10000000;
    for (int row = 0; row < kObjectRows && r.table.objects[row].kind != kKindNone; ++row) {
      const TableObject& o = r.table.objects[row];
      if (o.surface_code != b.surface_code) continue;
      const double dx = static_cast<double>(b.x) - o.x, dy = static_cast<double>(b.y) - o.y;
      const int64_t d = static_cast<int64_t>(std::sqrt(dx * dx + dy * dy));
      if (d < best) {
        best = d;
        nearest = row;
      }
    }
    if (nearest < 0) continue;
    TableObject& o = r.table.objects[nearest];
    if (r.now - o.last_hit_time <= 100) continue;
    o.last_hit_time = r.now;
    // Gates are counted by their passages (GateCheck): their rows share one
    // surface code and no hit point, so the nearest one says nothing.
    if (nearest < kUsedObjectRows && o.kind != kKindGate) ++r.counters.object_hits[nearest];
    switch (o.kind) {
      case kKindKicker:
        KickerHit(r);
        break;
      case kKindBumper:
        BumperHit(r, nearest);
        break;
      case kKindDropTarget:
        DropTargetHit(r, b.x, b.y, nearest, i);
        break;
      default:
        break;
    }
  }
}

void KickerHit(Rules& r) {
  if (Tilted(r)) return;
  ClearSkillShot(r);
  AddScore(r, 10, 0);
  FireKicker(r);
}

void FireKicker(Rules& r) {
  TableObject& k = r.table.objects[kRowKicker];
  k.animating = 1;
  k.rising = 1;
  k.frame = 0;
  k.step_timer = k.step_period;
  PlaySound(r.table, core::kSoundKicker, static_cast<float>(k.x), static_cast<float>(k.y));
}

void BumperHit(Rules& r, int row) {
  if (!IsKind(r, row, kKindBumper) || Tilted(r)) return;
  TableObject& o = r.table.objects[row];
  const int slot = row == kRowBumperFirst
                       ? core::kSoundFirstBumper
                       : (o.value ? core::kSoundBumperLit : core::kSoundBumperUnlit);
  PlaySound(r.table, slot, static_cast<float>(o.x), static_cast<float>(o.y));
  if (r.world->tuning.bumpers_on_off == 0) {
    if (!o.value) {
      o.frame = 0;
    } else {
      o.frame = 3;
      AddScore(r, 0, 1);
    }
    o.value = 1;
  } else {
    if (!r.state.special_earned) {
      o.value = !o.value;
    } else {
      AddScore(r, 0, 1);
    }
    if (row == kRowBumperFirst && r.state.skill_shot_armed) {
      ++r.counters.skill_shots;
      AddScore(r, 5000, 0);
      AddScore(r, 0, 5);
      PlaySound(r.table, core::kSoundPrize, 400.0f, 800.0f);
      StartLampShow(r.table, kShowSkillShot);
    }
    ClearSkillShot(r);
    if (!o.value) {
      o.frame = 6;
      AddScore(r, 0, 1);
    } else {
      o.frame = 0;
    }
  }
  CheckBumpers(r);
  UpdateAwardLamps(r, true);
  o.animating = 1;
  o.rising = 1;
  AddScore(r, row == kRowBumperFirst ? 1000 : 100, 0);
}

void DropTargetHit(Rules& r, float x, float y, int row, int ball) {
  if (!IsDropRow(row) || ball < 0 || ball >= physics::kBallCount) return;
  const physics::BallRecord& b = r.world->balls[ball];
  if (row == kRowDropLast && b.vy > 0.0f && b.vx > 0.0f && std::fabs(b.vx) < std::fabs(b.vy)) {
    return;
  }
  (void)x;
  auto off = [&](int target) { return r.table.objects[target].value ? 20.0f : 0.0f; };
  auto below = [&](size_t band) { return y > static_cast<float>(geo::kDropBands[band].above_y); };
  if (below(0)) {
    if (y < 825.0f + off(56)) DropTarget(r, 57, false);
    DropTarget(r, 56, true);
  } else if (below(1)) {
    if (y < 775.0f + off(57)) DropTarget(r, 58, false);
    if (y > 785.0f + off(57)) DropTarget(r, 56, false);
    DropTarget(r, 57, true);
  } else if (below(2)) {
    if (y < 735.0f + off(58)) DropTarget(r, 59, false);
    if (y > 745.0f + off(58)) DropTarget(r, 57, false);
    DropTarget(r, 58, true);
  } else {
    if (y > 700.0f + off(59)) DropTarget(r, 58, false);
    DropTarget(r, 59, true);
  }
  DropTarget(r, row, false);
}

bool AllDropTargetsDown(const Rules& r) {
  for (int row = kRowDropFirst; row <= kRowDropLast; ++row) {
    if (!r.table.objects[row].value) return false;
  }
  return true;
}

void DropTarget(Rules& r, int row, bool direct) {
  if (!IsDropRow(row)) return;
  TableObject& o = r.table.objects[row];
  if (o.value) return;
  ClearSkillShot(r);
  PlaySound(r.table, core::kSoundDropTarget, static_cast<float>(o.x), static_cast<float>(o.y));
  UpdateAwardLamps(r, true);
  o.value = 1;
  o.animating = 1;
  o.rising = 1;
  o.step_timer =
      direct || !r.random ? o.step_period : o.step_period + r.random->Below(3 * o.step_period);
  if (Tilted(r)) return;
  if (AllDropTargetsDown(r)) {
    SetLampBlinking(r.table, kRowGift);
    ++r.counters.gift_lit;
  }
  AddScore(r, 500, 1);
}

void ResetDropTargets(Rules& r) {
  for (int row = kRowDropFirst; row <= kRowDropLast; ++row) {
    TableObject& o = r.table.objects[row];
    if (!o.value) continue;
    o.value = 0;
    o.animating = 1;
    o.rising = 0;
    o.step_timer = r.random ? r.random->Below(2 * o.step_period) : 0;
  }
  const TableObject& first = r.table.objects[kRowDropFirst];
  PlaySound(r.table, core::kSoundDropTarget, static_cast<float>(first.x),
            static_cast<float>(first.y));
}

void GatePassage(Rules& r, int row) {
  if (!IsKind(r, row, kKindGate)) return;
  TableObject& o = r.table.objects[row];
  if (!o.animating) {
    PlaySound(r.table, core::kSoundMetal, 400.0f, 0.0f);
    o.animating = 1;
    o.rising = 1;
    o.frame = 0;
  } else if (!o.rising) {
    o.frame = 4;
  }
}

void GateSwing(Rules& r, int mask) {
  for (int g = 0; g < 3; ++g) {
    if (!(mask & (1 << g))) continue;
    TableObject& o = r.table.objects[kRowGateLeft + g];
    if (o.animating) continue;
    o.animating = 1;
    o.rising = 0;
    o.frame = 1;
    o.step_timer = o.step_period;
    DrawObject(r.table, kRowGateLeft + g, false);
  }
}

void SpinnerTouch(Rules& r) {
  SpinnerState& s = r.state.spinner;
  if (std::fabs(s.speed) < 0.001f && !s.settling) {
    s.settling = 1;
    s.settle = 9.01f;
  }
}

void ResetSpinner(Rules& r) { r.state.spinner = SpinnerState{}; }

namespace {

constexpr int kWobble[13] = {0, 1, 2, 2, 1, 0, 15, 14, 14, 15, 0, 1, 0};

void SpinnerRevolution(Rules& r) {
  ++r.counters.spinner_revolutions;
  AddScore(r, 10, 0);
  ClearSkillShot(r);
  if (!Tilted(r)) {
    PlaySound(r.table, r.state.bumper_rotation_count % 2 ? core::kSoundClickOdd : core::kSoundClick,
              520.0f, 0.0f);
    ++r.state.bumper_rotation_count;
  }
  if (r.world->tuning.need_rotate_bumpers && !r.table.flags.lights_out) {
    auto& objs = r.table.objects;
    const int32_t last = objs[kRowBumperLast].value;
    for (int row = kRowBumperLast; row > kRowBumperFirst; --row)
      objs[row].value = objs[row - 1].value;
    objs[kRowBumperFirst].value = last;
    for (int row = kRowBumperFirst; row <= kRowBumperLast; ++row) {
      objs[row].frame = objs[row].value ? 3 : 0;
      DrawObject(r.table, row, false);
    }
  }
}

float WrapAngle(float a) {
  a = std::fmod(a, kTwoPi);
  return a < 0.0f ? a + kTwoPi : a;
}

}  // namespace

void MoveSpinner(Rules& r) {
  if (!r.world) return;
  SpinnerState& s = r.state.spinner;
  const float t = static_cast<float>(r.frame_time_ms * 0.001);
  const float d = t * 4.0f;
  if (s.speed > 5.0f) {
    if (s.speed > d) s.speed -= d;
    s.angle += s.speed * t;
    if (s.angle > kTwoPi) SpinnerRevolution(r);
    s.angle = WrapAngle(s.angle);
  } else if (s.speed < -5.0f) {
    if (s.speed < -d) s.speed += d;
    s.angle += s.speed * t;
    if (s.angle < 0.0f) SpinnerRevolution(r);
    s.angle = WrapAngle(s.angle);
  } else if (std::fabs(s.speed) > 0.001f) {
    s.angle += s.speed * t;
    if (s.angle < 0.0f || s.angle > kTwoPi) {
      SpinnerRevolution(r);
      s.angle = 0.0f;
      s.speed = 0.0f;
      s.settle = 0.0f;
      s.settling = 1;
    }
  } else if (s.settling) {
    s.settle += t * 20.0f;
    // The wobble runs through its table and ends; a settle time outside it
    // (a frame time the clock cannot give) ends it as well.
    GFALL_ASSERT(s.settle >= 0.0f, "the spinner settles forward in time");
    if (!(s.settle >= 0.0f && s.settle < 12.0f)) {
      s.settling = 0;
      s.angle = 0.0f;
      s.speed = 0.0f;
    } else {
      const int k = static_cast<int>(std::floor(s.settle)) + 1;
      s.frame = kWobble[std::clamp(k, 0, 12)];
    }
  }
  if (!std::isfinite(s.angle) || !std::isfinite(s.speed)) {
    GFALL_ASSERT(false, "the spinner's angle and speed stay finite");
    s.angle = 0.0f;
    s.speed = 0.0f;
  }
  if (!s.settling) {
    const float f = s.angle * 16.0f / kTwoPi;
    s.frame = f < 1.0f ? 0 : (f >= 15.0f ? 15 : static_cast<int>(f));
  }
  r.table.objects[kRowSpinner].frame = s.frame;
  DrawObject(r.table, kRowSpinner, false);
}

void HoleRelease(Rules& r, int ball) {
  if (!r.world || ball < 0 || ball >= physics::kBallCount) return;
  physics::BallRecord& b = r.world->balls[ball];
  b.held = 0;
  b.x = static_cast<float>(geo::kHoleRelease.x);
  b.y = static_cast<float>(geo::kHoleRelease.y);
  b.vx = -4.0f;
  b.vy = -2.0f;
  PlaySound(r.table, core::kSoundHoleThrow, 600.0f, 0.0f);
}

void ReleaseHeldBalls(Rules& r) {
  if (!r.world) return;
  for (int i = 0; i < physics::kBallCount; ++i) {
    if (r.world->balls[i].in_play && r.world->balls[i].held) HoleRelease(r, i);
  }
}

void LaneCheck(Rules& r, int ball_index) {
  if (!r.world || ball_index < 0 || ball_index >= physics::kBallCount) return;
  physics::BallRecord& b = r.world->balls[ball_index];
  BallRuleState& ball = r.balls[ball_index];
  int line_index = -1;
  for (size_t i = 0; i < geo::kLanes.size(); ++i) {
    if (geo::kLanes[i].box.Contains(b.x, b.y)) {
      line_index = static_cast<int>(i);
      break;
    }
  }
  if (line_index < 0) {
    ball.last_rollover = -1;
    ball.lane_line = -1;
    return;
  }
  const LaneRule* line = &kLaneRules[line_index];
  if (geo::kLanes[static_cast<size_t>(line_index)].probe && !ProbeLane(r, b)) return;
  if (ball.lane_line != line_index) {
    ball.lane_line = line_index;
    ++r.counters.lane_entries[static_cast<size_t>(line_index)];
  }
  switch (line->lane) {
    case Lane::kUpperE2:
      SetLamp(r.table, kRowTreeFirst + 3, true);
      CheckTree(r);
      if (ball.last_rollover != kUpperE2Code) {
        ball.last_rollover = kUpperE2Code;
        if (!Tilted(r)) PlaySound(r.table, core::kSoundTreeLaneLit, 400.0f, 0.0f);
        AddScore(r, 500, 0);
        ClearSkillShot(r);
      }
      if (r.world->hole_lock_timer != 0) {
        r.world->hole_lock_timer = 0;
        SetLamp(r.table, kRowMultiball, false);
        ReleaseHeldBalls(r);
      }
      break;
    case Lane::kTree: {
      const int lamp = kRowTreeFirst + line->arg;
      FlashRollover(r, ball, kRowRollTreeFirst + line->arg);
      LampSound(r, lamp, core::kSoundTreeLaneUnlit);
      SetLamp(r.table, lamp, true);
      CheckTree(r);
      break;
    }
    case Lane::kSantaFlash:
    case Lane::kSantaPlain: {
      const int lamp = kRowSantaFirst + line->arg;
      if (line->lane == Lane::kSantaFlash) {
        FlashRollover(r, ball, kSantaRollovers[line->arg]);
      } else if (ball.last_rollover != kSantaPlainCode[line->arg]) {
        ball.last_rollover = kSantaPlainCode[line->arg];
        AddScore(r, 100, 0);
        ClearSkillShot(r);
      }
      LampSound(r, lamp, core::kSoundSantaLaneUnlit);
      SetLamp(r.table, lamp, true);
      CheckSanta(r);
      break;
    }
    case Lane::kLaneExit:
      r.state.skill_shot_armed = 1;
      if (ball.new_ball) {
        ball.new_ball = 0;
        SetLamp(r.table, kRowShootAgain, false);
      }
      break;
    case Lane::kSide:
      FlashRollover(r, ball, kRowRollSide);
      LampSound(r, kRowTreeFirst, core::kSoundTreeLaneUnlit);
      SetLamp(r.table, kRowTreeFirst, true);
      CheckTree(r);
      if (AllDropTargetsDown(r)) ResetDropTargets(r);
      break;
    case Lane::kGift:
      if (FlashRollover(r, ball, kRowRollGift) && r.table.objects[kRowGift].state == 2) {
        CollectAward(r);
      }
      break;
  }
}

}  // namespace rules
