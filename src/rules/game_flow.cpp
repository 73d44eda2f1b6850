#include "rules/game_flow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "core/assert.h"
#include "physics/ball.h"
#include "physics/surface_map.h"
#include "physics/world.h"

namespace rules {

namespace {

bool ValidBall(int b) { return b >= 0 && b < physics::kBallCount; }

void ShowPlungerFrame(Rules& r, int frame, bool force = false) {
  r.table.objects[kRowPlunger].frame = frame;
  DrawObject(r.table, kRowPlunger, force);
}

// Puts a ball on the plunger with the rest of its state cleared.
void PlaceOnPlunger(Rules& r, int b) {
  GFALL_ASSERT(b >= 0 && b < physics::kBallCount,
               "ball record other than 0-1 placed on the plunger");
  GFALL_ASSERT(r.world && r.random, "a ball is served with no world or no random source");
  physics::World& w = *r.world;
  physics::PlaceBallAtPlunger(w.balls, b, w.tuning, *r.random);
  w.balls[b].held = 0;
  r.balls[b].drain_time = 0;
  r.balls[b].last_rollover = -1;
}

void ArmPlunger(GameFlow& f) {
  f.rules.table.flags.plunger_armed = 1;
  f.state.intro_timer = 0;
  f.state.pull_time = 0;
}

void RefreshTabs(GameFlow& f) { UpdateScoreDisplay(f.display, f.rules.players, 0, true); }

float TableBottom(const Rules& r) { return static_cast<float>(r.world->map.height); }

}  // namespace

GameFlow::GameFlow(Rules& r, ScoreDisplay& d, FlowHost& h) : rules(r), display(d), host(h) {
  rules.flow = this;
}

GameFlow::~GameFlow() {
  if (rules.flow == this) rules.flow = nullptr;
}

void GameFlow::HoleReleaseStep() {
  Rules& r = rules;
  if (!r.world) return;
  physics::World& w = *r.world;
  int in_play = 0;
  for (const physics::BallRecord& b : w.balls) in_play += b.in_play ? 1 : 0;
  if (in_play < 2) {
    for (int i = 0; i < physics::kBallCount; ++i) {
      if (w.balls[i].in_play) continue;
      ArmPlunger(*this);
      state.ball_served = 1;
      PlaceOnPlunger(r, i);
      r.balls[i].new_ball = 0;  // the second ball does not spend a lit shoot-again lamp
      PlaySound(r.table, kServeSoundSlot, 800.0f, 0.0f);
      ++state.multiballs;
      break;
    }
    return;
  }
  ReleaseHeldBalls(r);
  w.hole_lock_timer = 0;
  SetLamp(r.table, kRowMultiball, false);
}

void NewGame(GameFlow& f) {
  Rules& r = f.rules;
  if (!r.world || !r.random) return;
  physics::World& w = *r.world;
  FlowState& s = f.state;

  f.host.ResetFlippers();
  StopAllLampShows(r.table);
  StartLampShow(r.table, kShowAttract);
  StopAllLampShows(r.table);

  r.state.bonus_anim_step = -1;
  r.players.saved_bumpers = {};

  r.players.records = {};
  r.players.current = 0;
  s.cycles_left = kCyclesPerGame;

  physics::BallReset(w.balls);
  r.balls = {};
  PlaceOnPlunger(r, 0);
  r.balls[0].new_ball = 1;
  ArmPlunger(f);

  ResetSpinner(r);

  f.host.ShowPlayfield(false);
  DrawDropTargetBank(r.table);
  RedrawAllObjects(r.table);

  r.table.flags.lights_out = 0;
  w.tilted = 0;
  r.state.extra_earned = r.state.double_earned = r.state.special_earned = 0;

  ResetObjects(r.table);
  r.players.records = {};
  r.players.current = 0;

  s.ball_hold_time = kNewGameHoldMs;
  w.hole_lock_timer = 0;

  RefreshTabs(f);
  ShowBallNumber(f.display, s.cycles_left);
  PlaySound(r.table, kServeSoundSlot, 800.0f, 0.0f);
}

void StopGame(GameFlow& f) {
  Rules& r = f.rules;
  if (!r.world || !r.random) return;
  physics::World& w = *r.world;
  for (physics::BallRecord& b : w.balls) {
    b.in_play = 0;
    b.launched = 0;
    b.held = 0;
  }
  PlaceOnPlunger(r, 0);
  f.state.ball_served = 0;
  r.table.flags.plunger_armed = 0;
  // A ball left in the hole would stay locked into the next game.
  w.hole_lock_timer = 0;
  RedrawTable(f);
  SetLamp(r.table, kRowMultiball, false);
  SetLamp(r.table, kRowGift, false);
  StopAllLampShows(r.table);
  StartLampShow(r.table, kShowAttract);
  f.state.game_ended = 1;
}

void ServeBall(GameFlow& f, int b) {
  Rules& r = f.rules;
  if (!ValidBall(b) || !r.world || !r.random) return;
  PlaceOnPlunger(r, b);
  f.state.ball_served = 1;
  r.balls[b].new_ball = 1;
  PlaySound(r.table, kServeSoundSlot, 800.0f, 0.0f);
  ArmPlunger(f);
}

void Launch(GameFlow& f, float strength) {
  Rules& r = f.rules;
  if (!r.world || !r.random) return;
  physics::World& w = *r.world;
  f.state.ball_served = 0;
  RedrawTable(f);
  r.table.flags.plunger_armed = 0;

  float s = std::isnan(strength) ? 0.0f : std::clamp(strength, 0.0f, 1.0f);
  const int slot = s < 0.5f ? core::kSoundLaunchSoft
                            : (s < 0.75f ? core::kSoundLaunchMedium : core::kSoundLaunchHard);
  PlaySound(r.table, slot, 800.0f, 0.0f);
  const float factor = 0.5f * s + 0.5f;

  bool launched = false;
  for (int i = 0; i < physics::kBallCount; ++i) {
    physics::BallRecord& b = w.balls[i];
    const bool qualifies =
        b.in_play && (b.waiting_at_plunger || (b.x > 730.0f && b.y > 1360.0f && b.y < 1510.0f));
    if (!qualifies) continue;
    if (!launched) {
      const float rx = r.random->Within(w.tuning.ball_start_dx_rand);
      b.vx = w.tuning.ball_start_dx + rx;
      const float ry = r.random->Within(w.tuning.ball_start_dy_rand);
      b.vy = (w.tuning.ball_start_dy + ry) * factor;
      b.launched = 1;
      launched = true;
    } else {
      b.in_play = 0;
      b.waiting_at_plunger = 0;
    }
  }
  if (launched) ++f.state.launches;
}

void PlungerUpdate(GameFlow& f) {
  Rules& r = f.rules;
  FlowState& s = f.state;
  if (!r.table.flags.plunger_armed) return;
  const uint32_t ft = r.frame_time > 0 ? static_cast<uint32_t>(r.frame_time) : 0u;
  if (s.intro_timer != kIntroFinished) {
    s.intro_timer += static_cast<int32_t>(ft);
    if (s.intro_timer / kPlungerFrameMs < kIntroFrames) {
      ShowPlungerFrame(r, kIntroFirstFrame + s.intro_timer / kPlungerFrameMs);
    } else {
      s.intro_timer = kIntroFinished;
      s.pull_time = 0;
      ShowPlungerFrame(r, 0);
    }
  } else if (s.start_held) {
    s.pull_time += ft;
    if (s.pull_time / kPlungerFrameMs < static_cast<uint32_t>(kPullFrames)) {
      ShowPlungerFrame(r, static_cast<int>(s.pull_time / kPlungerFrameMs));
    } else {
      Launch(f, 1.0f);
    }
  } else if (s.pull_time == 0) {
    ShowPlungerFrame(r, 0);
  } else {
    Launch(f, static_cast<float>(s.pull_time) / kPullPerStrength);
  }
}

bool BallLifecycleCheck(GameFlow& f, int b) {
  Rules& r = f.rules;
  if (!ValidBall(b) || !r.world) return false;
  physics::World& w = *r.world;
  physics::BallRecord& ball = w.balls[b];
  if (!ball.in_play) return false;
  const physics::BallRecord& other = w.balls[1 - b];
  if (std::fabs(ball.y) <= TableBottom(r)) {
    const bool in_lane = InPlungerLane(ball.x, ball.y);
    if (in_lane && other.in_play && other.waiting_at_plunger) return true;
    if (!f.state.ball_served && !ball.waiting_at_plunger && in_lane) {
      // A weak launch rolled back: arm the plunger again for this ball.
      f.state.ball_served = 1;
      r.table.flags.plunger_armed = 1;
      f.state.intro_timer = kIntroFinished;
      f.state.pull_time = 0;
      PlaceOnPlunger(r, b);
      r.balls[b].new_ball = 0;
      ShowPlungerFrame(r, 0, true);
    }
    r.balls[b].drain_time = 0;
    return false;
  }
  BallRuleState& rs = r.balls[b];
  if (rs.drain_time == 0) {
    rs.drain_side = DrainSide(w, ball.x);
    const BallRuleState& other_rs = r.balls[1 - b];
    if (!(other.in_play && other_rs.drain_time == 0)) CountBonus(r, false);
  }
  if (rs.drain_time < kDrainDelayMs) {
    // At least 1 ms, so that a zero frame time still marks the ball draining.
    rs.drain_time += std::max<int32_t>(r.frame_time, 1);
    return false;
  }
  return true;
}

int DrainSide(const physics::World& w, float x) {
  const float a = static_cast<float>(w.flippers[0].pivot_x);
  const float c = static_cast<float>(w.flippers[1].pivot_x);
  if (x < std::min(a, c)) return 0;
  if (x > std::max(a, c)) return 2;
  return 1;
}

void DrainHandling(GameFlow& f, int b) {
  Rules& r = f.rules;
  if (!ValidBall(b) || !r.world) return;
  physics::World& w = *r.world;
  FlowState& s = f.state;
  ++s.drains;
  const int side = r.balls[b].drain_side;
  ++(side == 0 ? s.drains_left : side == 2 ? s.drains_right : s.drains_centre);
  const int other = 1 - b;
  if (w.balls[other].in_play) {
    w.balls[b].in_play = 0;
    w.balls[b].launched = 0;
    w.balls[b].waiting_at_plunger = 0;
    r.balls[b].drain_time = 0;
    if (b == 0) {
      std::swap(w.balls[0], w.balls[1]);
      std::swap(r.balls[0], r.balls[1]);
      std::swap(w.contact[0], w.contact[1]);
      std::swap(w.drop_cache[0], w.drop_cache[1]);
    }
    if (w.hole_lock_timer != 0) {
      ReleaseHeldBalls(r);
      w.hole_lock_timer = 0;
      SetLamp(r.table, kRowMultiball, false);
    }
    return;
  }

  if (r.state.special_earned) {
    ClearBumperLights(r);
    r.state.special_earned = 0;
  }
  Players& p = r.players;
  const bool computer = r.table.flags.computer_playing != 0;
  if (r.table.objects[kRowShootAgain].state == 0) {
    StopAllLampShows(r.table);
    SaveBumperLights(r, p.current);
    const int previous = p.current;
    p.current += 1;
    if (p.current > p.last_index) {
      p.current = 0;
      RefreshTabs(f);
      s.cycles_left -= 1;
      ShowBallNumber(f.display, s.cycles_left);
      if (s.cycles_left < 0 && !computer) f.host.PostCommand(kCommandHighScore, previous);
    } else {
      RefreshTabs(f);
      if (s.cycles_left < 1 && !computer) f.host.PostCommand(kCommandHighScore, previous);
    }
    RestoreBumperLights(r, p.current);
  }
  if (s.cycles_left < 0) {
    s.game_ended = 1;
    s.ball_served = 0;
    r.main_menu_shown = 1;
    s.cycles_left = 0;
    StopAllLampShows(r.table);
    StartLampShow(r.table, kShowAttract);
    // The drained ball has left the table.
    w.balls[b].in_play = 0;
    w.balls[b].launched = 0;
    r.balls[b].drain_time = 0;
  } else {
    ServeBall(f, b);
  }
  BallStartReset(f);
}

void BallSearchCheck(GameFlow& f, bool flipper_held) {
  Rules& r = f.rules;
  if (!r.world) return;
  physics::World& w = *r.world;
  for (int i = 0; i < physics::kBallCount; ++i) {
    const physics::BallRecord& b = w.balls[i];
    BallRuleState& rs = r.balls[i];
    const bool watched = !f.state.game_ended && f.state.ball_hold_time == 0 && !flipper_held &&
                         b.in_play && b.launched && !b.held && !b.waiting_at_plunger &&
                         !InPlungerLane(b.x, b.y) && std::fabs(b.y) <= TableBottom(r);
    const float dx = b.x - rs.rest_x, dy = b.y - rs.rest_y;
    if (!watched || !(dx * dx + dy * dy <= kRestRadius * kRestRadius)) {
      rs.rest_x = b.x;
      rs.rest_y = b.y;
      rs.rest_ms = 0;
      continue;
    }
    rs.rest_ms += std::max<int32_t>(r.frame_time, 0);
    if (rs.rest_ms >= kBallSearchMs) {
      rs.rest_ms = 0;
      BallSearch(f, i);
    }
  }
}

void BallSearch(GameFlow& f, int ball) {
  Rules& r = f.rules;
  if (!ValidBall(ball) || !r.world || !r.random) return;
  physics::World& w = *r.world;
  ++f.state.ball_searches;
  if (!Tilted(r)) {
    for (int row = kRowBumperFirst; row <= kRowBumperLast; ++row) {
      TableObject& o = r.table.objects[row];
      o.frame = o.value ? 3 : 6;  // the flash of a lit or an unlit bumper
      o.animating = 1;
      o.rising = 1;
      o.step_timer = o.step_period;
      PlaySound(r.table, o.value ? core::kSoundBumperLit : core::kSoundBumperUnlit,
                static_cast<float>(o.x), static_cast<float>(o.y));
    }
    FireKicker(r);
  }
  // Which way is free: the sum of the directions to closed pixels on rings
  // around the ball points into the walls.
  physics::BallRecord& b = w.balls[ball];
  constexpr int kDirections = 16;
  constexpr float kTwoPi = 6.2831853f;
  float sx = 0.0f, sy = 0.0f;
  bool on_element = false;
  for (int radius = 2; radius <= 8; radius += 2) {
    for (int k = 0; k < kDirections; ++k) {
      const float a = kTwoPi * static_cast<float>(k) / kDirections;
      const float cx = std::cos(a), cy = std::sin(a);
      const int px = physics::PixelOf(b.x + cx * static_cast<float>(radius));
      const int py = physics::PixelOf(b.y + cy * static_cast<float>(radius));
      if (physics::IsOpenAt(w, b, px, py)) continue;
      sx += cx;
      sy += cy;
      const int code = physics::SurfaceCodeAt(w, px, py);
      if (code == physics::kCodeBumper || code == physics::kCodeKicker ||
          code == physics::kCodeKickerStrong) {
        on_element = true;
      }
    }
  }
  // With no wall found, up the table.
  float away = sx * sx + sy * sy > 0.01f ? std::atan2(-sy, -sx) : -kTwoPi / 4.0f;
  // Turned 60 to 85 degrees to one side, so that the ball mostly rolls along
  // its wall and off a flat ledge instead of hopping back onto it: a random
  // side at first, then the other side each time, since one side of a ledge
  // may lead back onto it.
  int32_t& side = r.balls[ball].search_turn;
  side = side == 0 ? (r.random->Below(2) ? 1 : -1) : -side;
  away += static_cast<float>(side) * (60.0f + r.random->UpTo(25.0f)) * kTwoPi / 360.0f;
  const float speed = on_element ? kSearchKick : kSearchPush;
  b.vx = speed * std::cos(away);
  b.vy = speed * std::sin(away);
  b.pending_vx = b.pending_vy = 0.0f;
  b.rolling = 0;
  b.hold_counter = 0;
}

void BallStartReset(GameFlow& f) {
  Rules& r = f.rules;
  if (!r.world) return;
  if (r.table.flags.lights_out) {
    r.table.flags.lights_out = 0;
    f.host.ShowPlayfield(false);
    RedrawTable(f);
    DrawDropTargetBank(r.table);
    RefreshTabs(f);
  }
  ShowBallNumber(f.display, f.state.cycles_left);
  r.world->tilted = 0;
  r.table.flags.lights_out = 0;
  f.host.ResetTiltMeter();
  r.state.bonus_anim_step = -1;
  for (int i = 0; i < 4; ++i) SetLamp(r.table, kRowTreeFirst + i, false);
  for (int i = 0; i < 5; ++i) SetLamp(r.table, kRowSantaFirst + i, false);
  if (r.world->tuning.bumpers_on_off == 0) ClearBumperLights(r);
  SetLamp(r.table, kRowMultiball, false);
  SetLamp(r.table, kRowGift, false);
  r.state.extra_earned = 0;
  r.state.double_earned = 0;
  ResetDropTargets(r);
  UpdateAwardLamps(r, false);
  RedrawAllObjects(r.table);
  UpdateBonusLamps(r);
}

void RedrawTable(GameFlow& f) {
  Rules& r = f.rules;
  f.host.ShowPlayfield(r.table.flags.lights_out != 0);
  DrawDropTargetBank(r.table);
  RedrawAllObjects(r.table);
  RefreshTabs(f);
  ShowBallNumber(f.display, f.state.cycles_left);
  f.host.RedrawFlippers();
}

void TiltCleanUp(GameFlow& f) {
  Rules& r = f.rules;
  if (!r.world) return;
  if (r.world->hole_lock_timer != 0) {
    r.world->hole_lock_timer = 0;
    ReleaseHeldBalls(r);
  }
  StopAllLampShows(r.table);
  ClearBumperLights(r);
}

void FlowRulesFrame(GameFlow& f, bool left_held, bool right_held) {
  Rules& r = f.rules;
  FlowState& s = f.state;
  UpdateScoreDisplay(f.display, r.players, r.frame_time, false);
  RulesFrameEarly(r, left_held, right_held);
  PlungerUpdate(f);
  BallSearchCheck(f, left_held || right_held);
  if (s.ball_hold_time == 0) {
    if (!r.main_menu_shown && !s.game_ended && s.ball_served && r.table.flags.computer_playing &&
        r.random) {
      Launch(f, 0.75f + r.random->UpTo(0.25f));
    }
  } else if (s.ball_hold_time > 0) {
    s.ball_hold_time = std::max(0, s.ball_hold_time - r.frame_time);
  }
  RulesFrameLate(r);
}

}  // namespace rules
