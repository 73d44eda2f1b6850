#include "app/headless.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/frame_loop.h"
#include "app/game_passes.h"
#include "app/playfield_load.h"
#include "physics/ball.h"
#include "physics/flipper.h"
#include "physics/painting.h"
#include "physics/tuning_file.h"
#include "render/colour_cube.h"
#include "render/image_files.h"
#include "render/pixel_format.h"
#include "res/pack.h"
#include "res/res_file.h"

namespace app {

// --- Statistics ---

void TrackStuckBalls(HeadlessStats& s, const Game& g, double now_ms) {
  for (int i = 0; i < physics::kBallCount; ++i) {
    const physics::BallRecord& b = g.world.balls[i];
    if (!b.in_play || b.held || b.waiting_at_plunger || g.flow.state.game_ended) {
      s.anchored[i] = false;
      continue;
    }
    const float dx = b.x - s.anchor_x[i], dy = b.y - s.anchor_y[i];
    if (!s.anchored[i] || !(dx * dx + dy * dy <= kStuckRadius * kStuckRadius)) {
      s.anchored[i] = true;
      s.anchor_x[i] = b.x;
      s.anchor_y[i] = b.y;
      s.anchor_ms[i] = now_ms;
    } else if (now_ms - s.anchor_ms[i] >= kStuckMs) {
      ++s.stuck_balls;
      s.anchor_ms[i] = now_ms;
    }
  }
}

// --- Tables ---

namespace {

constexpr float kFlipperLength = 100.0f;

}  // namespace

physics::SurfaceMap PaintedTestTableMap() {
  constexpr int kW = 800, kH = 1514;
  physics::SurfaceMap m(kW, kH, physics::kCodeOpenFloor);
  const uint8_t wall = physics::kCodeWall;
  m.Fill(0, 0, 30, kH, wall);        // left wall
  m.Fill(790, 0, kW, kH, wall);      // right wall
  m.Fill(0, 0, kW, 30, wall);        // top wall
  m.Fill(735, 330, 745, kH, wall);   // plunger lane wall
  m.Fill(745, 1492, 790, kH, wall);  // the plunger's tip: the lane's floor
  // Lane floor under the lane-exit line, where the lane check sees the ball.
  m.Fill(745, 1300, 790, 1350, physics::kCodeHole);
  // Top right corner: a slope that turns a launched ball to the left.
  for (int y = 30; y < 200; ++y) m.Fill(790 - (200 - y), y, 790, y + 1, wall);
  // Top left corner, rounded off by a slope.
  for (int y = 30; y < 130; ++y) m.Fill(30, y, 30 + (130 - y), y + 1, wall);
  // Guides from the side walls down to the flipper pivots; below the
  // flippers the ball falls out of the table.
  // The guides end on top of the pivots, so a ball rolls on to the flipper.
  for (int y = 1150; y < kH; ++y) {
    const int d = std::min(y, 1349) - 1150;
    m.Fill(30, y, 30 + d * (224 - 30) / 199, y + 1, wall);
    m.Fill(735 - d * (735 - 496) / 199, y, 735, y + 1, wall);
  }
  // Bumpers and the rebound kicker where the table's rules expect them.
  const auto& objects = rules::ObjectTemplates();
  for (int row = rules::kRowBumperFirst; row <= rules::kRowBumperLast; ++row) {
    const rules::ObjectTemplate& o = objects[static_cast<size_t>(row)];
    if (o.y > 1150 || o.x < 120) continue;  // no pockets against the walls or guides
    physics::PaintDisc(m, static_cast<float>(o.x), static_cast<float>(o.y), 45.0f,
                       physics::kCodeBumper);
  }
  const rules::ObjectTemplate& k = objects[rules::kRowKicker];
  physics::PaintDisc(m, static_cast<float>(k.x), static_cast<float>(k.y), 40.0f,
                     physics::kCodeKicker);
  return m;
}

void UseTestTable(Game& g) {
  g.world.map = PaintedTestTableMap();
  physics::PaintFlipperMasks(g.world, kFlipperLength);
  // The launch of this table: a full pull reaches the top.
  g.world.tuning.ball_start_dx = -0.5f;
  g.world.tuning.ball_start_dy = -12.0f;
  g.world.tuning.ball_start_dx_rand = 0.2f;
  g.world.tuning.ball_start_dy_rand = 0.2f;
}

bool LoadRunTable(Game& g, res::ResourceLayer& layer, const RunSetup& o, std::FILE* err) {
  if (o.test_table) {
    physics::PlayfieldReset(g.world, g.random);
    UseTestTable(g);
    return true;
  }
  std::string error;
  const bool ok = LoadTableFromPack(g, layer, o.data_dir, error);
  if (!error.empty()) std::fprintf(err, "gfall: %s\n", error.c_str());
  return ok;
}

// --- State ---

namespace {

// A float with four decimals, as the printed state has always shown them;
// null when it is not finite.
nlohmann::ordered_json Float(float v) {
  if (!std::isfinite(v)) return nullptr;
  return std::round(static_cast<double>(v) * 1e4) / 1e4;
}

constexpr const char* kLaneNames[rules::kLaneLineCount] = {
    "upper_e2", "tree_t",  "tree_r",   "tree_e1",   "tree_e2", "santa_s", "santa_a1",
    "santa_n",  "santa_t", "santa_a2", "lane_exit", "rlside",  "rgift"};

}  // namespace

std::string StateJson(const Game& g, int64_t frames, const HeadlessStats* stats) {
  using Json = nlohmann::ordered_json;
  const rules::FlowState& f = g.flow.state;
  const rules::Players& p = g.rules.players;
  Json j;
  j["frames"] = frames;
  j["game_ms"] = static_cast<int64_t>(std::llround(g.frame.now));
  j["game_ended"] = f.game_ended != 0;
  j["current_player"] = p.current;
  j["cycles_left"] = f.cycles_left;
  j["tilted"] = g.world.tilted != 0;
  Json& players = j["players"] = Json::array();
  const int last = std::clamp(p.last_index, 0, rules::kPlayerCount - 1);
  for (int i = 0; i <= last; ++i) {
    players.push_back({{"score", p.records[i].score}, {"bonus_level", p.records[i].bonus_level}});
  }
  Json& balls = j["balls"] = Json::array();
  for (int i = 0; i < physics::kBallCount; ++i) {
    const physics::BallRecord& b = g.world.balls[i];
    balls.push_back({{"in_play", b.in_play != 0},
                     {"held", b.held != 0},
                     {"x", Float(b.x)},
                     {"y", Float(b.y)},
                     {"vx", Float(b.vx)},
                     {"vy", Float(b.vy)}});
  }
  Json& objects = j["objects"] = Json::array();
  for (int row = 0; row < rules::kUsedObjectRows; ++row) {
    const rules::TableObject& o = g.rules.table.objects[row];
    objects.push_back({{"row", row},
                       {"kind", o.kind},
                       {"state", o.state},
                       {"value", o.value},
                       {"frame", o.frame}});
  }
  if (stats) {
    const rules::RuleCounters& c = g.rules.counters;
    Json st;
    st["object_hits"] = Json::array();
    for (int row = 0; row < rules::kUsedObjectRows; ++row)
      st["object_hits"].push_back(c.object_hits[row]);
    Json& lanes = st["lanes"] = Json::object();
    for (int i = 0; i < rules::kLaneLineCount; ++i) lanes[kLaneNames[i]] = c.lane_entries[i];
    st["launches"] = f.launches;
    st["drains"] = f.drains;
    st["multiballs"] = f.multiballs;
    st["ball_searches"] = f.ball_searches;
    st["hole_catches"] = c.hole_catches;
    st["spinner_revolutions"] = c.spinner_revolutions;
    st["skill_shots"] = c.skill_shots;
    st["awards"] = c.awards;
    st["awards_extra"] = c.awards_by_kind[0];
    st["awards_double"] = c.awards_by_kind[1];
    st["awards_special"] = c.awards_by_kind[2];
    st["earned_extra"] = c.awards_earned[0];
    st["earned_double"] = c.awards_earned[1];
    st["earned_special"] = c.awards_earned[2];
    st["gift_lit"] = c.gift_lit;
    st["drains_left"] = f.drains_left;
    st["drains_centre"] = f.drains_centre;
    st["drains_right"] = f.drains_right;
    st["tilts"] = g.nudge.tilts;
    st["max_speed"] = Float(stats->max_speed);
    st["stuck_balls"] = stats->stuck_balls;
    j["stats"] = std::move(st);
  }
  return j.dump();
}

}  // namespace app
