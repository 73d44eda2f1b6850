#include "replay/state_hash.h"

#include <algorithm>
#include <bit>
#include <string>

namespace replay {

namespace {

// Feeds values into a 64-bit FNV-1a hash; floats by their bits, so a
// difference in the last bit shows.
class Hasher {
 public:
  Hasher& operator<<(uint32_t v) {
    for (int i = 0; i < 4; ++i) Byte(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Hasher& operator<<(int32_t v) { return *this << static_cast<uint32_t>(v); }
  Hasher& operator<<(float v) { return *this << std::bit_cast<uint32_t>(v); }
  Hasher& operator<<(double v) {
    const uint64_t u = std::bit_cast<uint64_t>(v);
    return *this << static_cast<uint32_t>(u) << static_cast<uint32_t>(u >> 32);
  }
  template <typename T, size_t N>
  Hasher& operator<<(const std::array<T, N>& a) {
    for (const T& v : a) *this << v;
    return *this;
  }
  uint64_t value() const { return h_; }

 private:
  void Byte(uint8_t b) {
    h_ ^= b;
    h_ *= 0x100000001b3ull;
  }
  uint64_t h_ = 0xcbf29ce484222325ull;
};

uint64_t BallPosition(const physics::BallRecord& b) {
  Hasher h;
  h << b.x << b.y << b.height << b.prev_x << b.prev_y;
  return h.value();
}

uint64_t BallMotion(const physics::BallRecord& b) {
  Hasher h;
  h << b.vx << b.vy << b.pending_vx << b.pending_vy << b.rotation << b.rotation_rate
    << b.speed_limit << b.plane_friction << b.plane_gravity << b.floor_tolerance;
  return h.value();
}

uint64_t BallState(const physics::World& w, const rules::Rules& r, int i) {
  const physics::BallRecord& b = w.balls[i];
  Hasher h;
  h << b.radius << b.reserved_level << b.surface_code << b.last_open_floor_code << b.in_play
    << b.hold_counter << b.flipper_contact << b.flipper_contact_steps << b.flipper_contact_frame
    << b.flipper_contact_x << b.flipper_contact_y << b.rolling << b.contact_normal
    << b.flipper_angle << b.waiting_at_plunger << b.held << b.launched << b.gate_pass;
  h << w.contact[i].x << w.contact[i].y << w.contact[i].normal;
  h << w.drop_cache[i].x << w.drop_cache[i].y << w.drop_cache[i].result;
  const rules::BallRuleState& s = r.balls[i];
  h << s.last_rollover << s.new_ball << s.drain_time << s.lane_line << s.gate_counted
    << s.drain_side << s.rest_x << s.rest_y << s.rest_ms << s.search_turn;
  return h.value();
}

uint64_t Flippers(const physics::World& w) {
  Hasher h;
  for (const physics::Flipper& f : w.flippers) {
    h << f.frame << f.previous_frame << f.hold << f.speed_counter << f.pressed << f.previous_pressed
      << f.image;
  }
  h << w.flipper_control_state;
  return h.value();
}

uint64_t Scores(const rules::Players& p) {
  Hasher h;
  for (const rules::PlayerRecord& rec : p.records)
    h << rec.score << rec.bonus_level << rec.last_award;
  h << p.current << p.last_index;
  for (const auto& saved : p.saved_bumpers) h << saved;
  return h.value();
}

uint64_t Lamps(const rules::Table& t) {
  Hasher h;
  for (int row = 0; row < rules::kUsedObjectRows; ++row) {
    const rules::TableObject& o = t.objects[row];
    h << o.kind << o.state << o.timed << o.timeout << o.animating << o.value << o.blink_timer
      << o.rising << o.frame << o.last_hit_time << o.step_timer << o.show_owned;
  }
  for (const rules::LampShow& s : t.shows) h << s.active << s.position << s.elapsed << s.wait;
  h << t.drop_bank_redraw << t.flags.lights_out << t.flags.plunger_armed
    << t.flags.computer_playing;
  return h.value();
}

uint64_t RuleParts(const physics::World& w, const rules::Rules& r) {
  const rules::RuleState& s = r.state;
  Hasher h;
  h << s.extra_earned << s.double_earned << s.special_earned << s.award_rotation
    << s.skill_shot_armed << s.bonus_anim_step << s.bonus_anim_timer << s.bumper_rotation_count
    << s.last_hole_sound_time << s.spinner.speed << s.spinner.angle << s.spinner.settle
    << s.spinner.settling << s.spinner.frame;
  const rules::RuleCounters& c = r.counters;
  h << c.object_hits << c.lane_entries << c.hole_catches << c.spinner_revolutions << c.skill_shots
    << c.awards << c.awards_by_kind << c.awards_earned << c.gift_lit;
  // Not the rules' copy of the main-menu flag: the program copies its own
  // flag in before every rules call, and sets it between frames too.
  h << r.flippers_held << r.now << r.frame_time << r.frame_time_ms;
  h << w.current_ball << w.mirrored_step << w.hole_lock_timer << w.kicker_count;
  return h.value();
}

uint64_t Flow(const rules::FlowState& f) {
  Hasher h;
  h << f.cycles_left << f.game_ended << f.ball_hold_time << f.ball_served << f.pull_time
    << f.intro_timer << f.start_held << f.launches << f.drains << f.drains_left << f.drains_centre
    << f.drains_right << f.multiballs << f.ball_searches;
  return h.value();
}

uint64_t Nudge(const physics::World& w, const physics::NudgeState* n) {
  Hasher h;
  h << w.tilted;
  if (n) {
    h << n->pressed << n->previous << n->shake_x.offset << n->shake_x.speed << n->shake_x.outward
      << n->shake_y.offset << n->shake_y.speed << n->shake_y.outward << n->tilt_meter << n->tilts;
  }
  return h.value();
}

}  // namespace

static_assert(physics::kBallCount == 2, "the digest names parts for two balls");

StateDigest DigestGameState(const GameStateView& g) {
  StateDigest d{};
  const physics::World& w = g.world;
  for (int i = 0; i < physics::kBallCount; ++i) {
    d[kPartBall0Position + 3 * i] = BallPosition(w.balls[i]);
    d[kPartBall0Motion + 3 * i] = BallMotion(w.balls[i]);
    d[kPartBall0State + 3 * i] = BallState(w, g.rules, i);
  }
  d[kPartFlippers] = Flippers(w);
  d[kPartScores] = Scores(g.rules.players);
  d[kPartLamps] = Lamps(g.rules.table);
  Hasher random;
  random << g.random.state;
  d[kPartRandom] = random.value();
  d[kPartRules] = RuleParts(w, g.rules);
  d[kPartGameFlow] = Flow(g.flow);
  d[kPartNudge] = Nudge(w, g.nudge);
  return d;
}

std::optional<CheckKind> CheckpointWatch::AfterFrame(const GameStateView& g) {
  const int32_t drains = g.flow.drains;
  const int32_t ended = g.flow.game_ended;
  int32_t in_play = 0;
  for (const physics::BallRecord& b : g.world.balls) in_play += b.in_play ? 1 : 0;
  const bool primed = primed_;
  const int32_t drained = drains - drains_;
  const int32_t in_play_before = in_play_;
  const bool ending = ended != 0 && game_ended_ == 0;
  primed_ = true;
  drains_ = drains;
  game_ended_ = ended;
  in_play_ = in_play;
  const uint32_t frame = frames_++;
  if (!primed) return std::nullopt;
  if (ending) return CheckKind::kGameEnd;
  if (ended) return std::nullopt;
  // With two balls on the table the first drain only ends the multiball.
  if (drained > 0 && drained >= in_play_before) return CheckKind::kBallEnd;
  if (frame % kIntervalFrames == kIntervalFrames - 1) return CheckKind::kInterval;
  return std::nullopt;
}

std::vector<int32_t> Scores(const rules::Rules& rules) {
  std::vector<int32_t> out;
  const int last = std::clamp(rules.players.last_index, 0, rules::kPlayerCount - 1);
  for (int i = 0; i <= last; ++i) out.push_back(rules.players.records[i].score);
  return out;
}

uint64_t TuningHash(const physics::World& world) {
  const std::string report = physics::FormatTuningReport(world.tuning, world.surfaces, world.balls);
  return HashBytes(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(report.data()), report.size()));
}

}  // namespace replay
