#include "app/headless.h"
#include "app/front_end.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

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

// --- Input scripts ---

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

std::vector<std::string_view> Words(std::string_view s) {
  std::vector<std::string_view> w;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '\t') ++j;
    if (j > i) w.push_back(s.substr(i, j - i));
    i = j;
  }
  return w;
}

int ActionOf(std::string_view name) {
  if (name == "left") return core::kActionLeftFlipper;
  if (name == "right") return core::kActionRightFlipper;
  if (name == "nudge-left") return core::kActionNudgeLeft;
  if (name == "nudge-up") return core::kActionNudgeUp;
  if (name == "nudge-right") return core::kActionNudgeRight;
  if (name == "start") return core::kActionStart;
  return -1;
}

bool ParseMs(std::string_view s, double& out) {
  std::string text(s);
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && !text.empty() && std::isfinite(out) && out >= 0.0 &&
         out <= 1e12;
}

}  // namespace

std::optional<std::vector<ScriptEvent>> ParseInputScript(std::string_view text,
                                                         std::string& error) {
  std::vector<ScriptEvent> events;
  int line_no = 0;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    std::string_view line = Trim(text.substr(0, nl));
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    ++line_no;
    if (line.empty() || line.front() == '#') continue;
    const auto w = Words(line);
    auto fail = [&](const char* what) {
      error = "line " + std::to_string(line_no) + ": " + what;
      return std::nullopt;
    };
    if (w.size() >= 2 && w[1] == "answer") {
      if (w.size() < 4) return fail("expected \"MS answer DIALOG RESULT [TEXT]\"");
      ScriptEvent e;
      if (!ParseMs(w[0], e.ms)) return fail("bad time");
      e.kind = ScriptKind::kAnswer;
      e.dialog = std::string(w[2]);
      e.result = std::string(w[3]);
      if (w.size() > 4) {
        const size_t from = static_cast<size_t>(w[4].data() - line.data());
        e.text = std::string(line.substr(from));
      }
      events.push_back(std::move(e));
      continue;
    }
    if (w.size() == 4 && (w[1] == "key" || w[1] == "mouse" || w[1] == "click" ||
                        w[1] == "press" || w[1] == "release")) {
      ScriptEvent e;
      if (!ParseMs(w[0], e.ms)) return fail("bad time");
      auto number = [](std::string_view t, int& out) {
        int base = 10;
        if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
          t.remove_prefix(2);
          base = 16;
        }
        auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), out, base);
        return ec == std::errc() && p == t.data() + t.size() && out >= 0 && out <= 65535;
      };
      if (w[1] == "key") {
        e.kind = ScriptKind::kKey;
        if (!number(w[2], e.code) || e.code > 255) return fail("bad key code");
        if (w[3] == "down") {
          e.down = true;
        } else if (w[3] != "up") {
          return fail("expected down or up");
        }
      } else {
        e.kind = w[1] == "mouse"   ? ScriptKind::kMouse
                 : w[1] == "click" ? ScriptKind::kClick
                 : w[1] == "press" ? ScriptKind::kPress
                                   : ScriptKind::kRelease;
        if (!number(w[2], e.x) || !number(w[3], e.y)) return fail("bad position");
      }
      events.push_back(std::move(e));
      continue;
    }
    if (w.size() != 3) return fail("expected \"MS ACTION down|up\" or \"MS cmd N\"");
    ScriptEvent e;
    if (w[1] == "shot") {
      // A picture of the window at that moment, named by a plain word.
      if (!ParseMs(w[0], e.ms)) return fail("bad time");
      if (w[2].find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_") !=
          std::string_view::npos) {
        return fail("a shot name is lower-case letters, digits, - and _");
      }
      e.kind = ScriptKind::kShot;
      e.text = std::string(w[2]);
      events.push_back(std::move(e));
      continue;
    }
    if (!ParseMs(w[0], e.ms)) return fail("bad time");
    if (w[1] == "cmd") {
      e.kind = ScriptKind::kCommand;
      int n = 0;
      auto [p, ec] = std::from_chars(w[2].data(), w[2].data() + w[2].size(), n);
      if (ec != std::errc() || p != w[2].data() + w[2].size()) return fail("bad command number");
      e.command = n;
    } else {
      e.action = ActionOf(w[1]);
      if (e.action < 0) return fail("unknown action");
      if (w[2] == "down") {
        e.down = true;
      } else if (w[2] != "up") {
        return fail("expected down or up");
      }
    }
    events.push_back(e);
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const ScriptEvent& a, const ScriptEvent& b) { return a.ms < b.ms; });
  return events;
}

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

namespace {

class HeadlessPasses final : public GamePasses {
 public:
  explicit HeadlessPasses(HeadlessStats& stats) : stats_(stats) {}
  void HitPass(Game& g) override {
    GamePasses::HitPass(g);
    for (const physics::BallRecord& b : g.world.balls) {
      if (!b.in_play || !b.launched) continue;
      const float v = std::sqrt(b.vx * b.vx + b.vy * b.vy);
      if (v > stats_.max_speed) stats_.max_speed = v;
    }
  }

 private:
  HeadlessStats& stats_;
};

}  // namespace

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
    physics::PaintDisc(m, static_cast<float>(o.x), static_cast<float>(o.y), 45.0f, physics::kCodeBumper);
  }
  const rules::ObjectTemplate& k = objects[rules::kRowKicker];
  physics::PaintDisc(m, static_cast<float>(k.x), static_cast<float>(k.y), 40.0f, physics::kCodeKicker);
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

std::optional<physics::SurfaceMap> LoadSurfaceMapFromPack(res::ResourceLayer& layer) {
  render::ScreenImage image;
  if (!render::LoadScreenImage(layer, kSurfaceMapFile, nullptr, image)) return std::nullopt;
  if (image.width <= 0 || image.height <= 0 ||
      image.bytes.size() < static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) {
    return std::nullopt;
  }
  physics::SurfaceMap map(image.width, image.height, 0);
  std::copy_n(image.bytes.begin(), map.codes.size(), map.codes.begin());
  return map;
}

bool LoadTableFromPack(Game& g, res::ResourceLayer& layer, const std::string& data_dir,
                       std::string& error) {
  return OpenTablePack(layer, data_dir, error) && LoadTablePhysics(g, layer, data_dir, error);
}

bool LoadRunTable(Game& g, res::ResourceLayer& layer, const HeadlessOptions& o, std::FILE* err) {
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

bool OpenTablePack(res::ResourceLayer& layer, const std::string& data_dir, std::string& error) {
  const std::string path = (std::filesystem::path(data_dir) / "GFALL.DAT").string();
  layer.loose_root = data_dir;
  std::string pack_error;
  if (!res::PackOpen(layer, path, &pack_error)) {
    error = path + ": " + (pack_error.empty() ? "cannot open the file" : pack_error);
    return false;
  }
  return true;
}

bool LoadTablePhysics(Game& g, res::ResourceLayer& layer, const std::string& data_dir,
                      std::string& error) {
  const std::string path = (std::filesystem::path(data_dir) / "GFALL.DAT").string();
  std::optional<physics::SurfaceMap> map = LoadSurfaceMapFromPack(layer);
  if (!map || !map->loaded()) {
    error = std::string("the surface map ") + kSurfaceMapFile + " in " + path + " does not load";
    return false;
  }
  // The flipper masks are read at table resolution without re-indexing, so
  // any display format and palette will do for them.
  render::DisplayFormat format;
  format.width = 1024;
  format.height = 768;
  format.format_id = render::PixelFormatId::RGB32;
  render::SetFormatDefaults(format);
  auto colours = std::make_unique<render::TableColours>();
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    colours->palette[static_cast<size_t>(i)] = {v, v, v};
  }
  colours->palette_loaded = true;
  render::BuildTableCube(*colours);
  render::ImageSetContext ctx{format, *colours, nullptr};
  physics::TuningFileLoad tuning;
  const bool loaded = LoadPlayfieldPhysics(g, layer, ctx, std::move(*map), &tuning);
  // The built-in tuning is for the test table only: a table without its own,
  // or with a damaged one, does not play as it was made.
  if (tuning.status == physics::TuningFileStatus::kDamaged) {
    error = "the tuning file " + tuning.error + " (in " + path + ")";
    return false;
  }
  if (tuning.status == physics::TuningFileStatus::kMissing) {
    error = std::string("the tuning file ") + physics::kTuningTableName + " is missing from " + path;
    return false;
  }
  if (!loaded) {
    error = "the playfield in " + path + " does not load";
    return false;
  }
  // Refused lines do not stop the table; they are named (the caller prints a
  // non-empty error of a successful load as a warning).
  error.clear();
  for (const std::string& line : tuning.refused) {
    error += (error.empty() ? "" : "\ngfall: ") + tuning.file + " " + line + "; the line is refused";
  }
  return true;
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
    for (int row = 0; row < rules::kUsedObjectRows; ++row) st["object_hits"].push_back(c.object_hits[row]);
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

// --- The run ---

int RunHeadless(const HeadlessOptions& o, std::FILE* out, std::FILE* err) {
  std::vector<ScriptEvent> script;
  if (!o.input_file.empty()) {
    std::ifstream in(o.input_file, std::ios::binary);
    if (!in) {
      std::fprintf(err, "gfall: cannot read %s\n", o.input_file.c_str());
      return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string error;
    auto parsed = ParseInputScript(text.str(), error);
    if (!parsed) {
      std::fprintf(err, "gfall: %s: %s\n", o.input_file.c_str(), error.c_str());
      return 1;
    }
    script = std::move(*parsed);
  }

  HeadlessStats stats;
  auto owned_clock = std::make_unique<FakeClock>();
  FakeClock* clock = owned_clock.get();
  Game g(std::move(owned_clock), std::make_unique<HeadlessPasses>(stats));
  g.random.Seed(o.seed);
  res::ResourceLayer layer;
  if (!LoadRunTable(g, layer, o, err)) return 1;
  if (!o.test_table) {
    g.reload_tuning = [&layer](Game& game) {
      physics::LoadTuning(layer, game.world.tuning_targets());
    };
  }
  g.command_handler = [](Game& game, int command, int arg) { RunGameCommand(game, command, arg); };

  if (o.menus) return RunScriptedFrontEnd(g, *clock, o, script, out, err);
  g.rules.players.last_index = std::clamp(o.players, 1, rules::kPlayerCount) - 1;
  StartGame(g, o.demo);

  const int64_t limit = o.frames >= 0 ? o.frames : (o.until_game_over ? -1 : 600);
  size_t next_event = 0;
  int64_t frames = 0;
  while (limit < 0 || frames < limit) {
    const double target = static_cast<double>(frames + 1) * o.frame_ms;
    if (target > kHeadlessGameTimeCapMs) break;
    clock->Set(std::max(clock->Now(), target));
    while (next_event < script.size() && script[next_event].ms <= clock->Now()) {
      const ScriptEvent& e = script[next_event++];
      if (e.action >= 0) {
        g.actions[e.action] = e.down ? 1 : 0;
      } else if (e.kind == ScriptKind::kCommand) {
        g.host.PostCommand(e.command, 0);
      }  // keys, mouse and answers need --menus
    }
    FrameGate(g);
    ++frames;
    TrackStuckBalls(stats, g, clock->Now());
    if (o.until_game_over && g.flow.state.game_ended) break;
  }
  if (o.print_state || o.stats) {
    std::fprintf(out, "%s\n", StateJson(g, frames, o.stats ? &stats : nullptr).c_str());
  }
  return 0;
}

}  // namespace app
