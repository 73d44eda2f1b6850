#include "app/shot_map.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "physics/ball.h"
#include "physics/flipper.h"
#include "physics/surface_map.h"
#include "physics/world.h"
#include "platform/png_file.h"
#include "rules/rules.h"
#include "rules/table_objects.h"

namespace app {

namespace {

constexpr double kStepMs = 6.6;
constexpr double kLeadMs = 60.0;  // presses tried before the ball reaches the flipper
constexpr double kFeedLimitMs =
    4000.0;                           // a feed that has not reached its flipper by then is skipped
constexpr double kHoldMs = 300.0;     // how long each press holds the flipper up
constexpr double kFollowMs = 5000.0;  // a shot that reaches nothing by then is "none"

struct FeedSpec {
  std::string name;
  int flipper;
  float x, y, vx, vy;
};

// Inlane feeds down each TREE inlane and drops from mid-table onto each
// flipper, each at a few speeds (pixels per step; every speed is above zero
// so that a press between two steps can be played by starting the ball a
// fraction of a step earlier along its path).
std::vector<FeedSpec> Feeds() {
  std::vector<FeedSpec> v;
  for (float speed : {1.5f, 3.0f, 5.0f}) {
    char n[64];
    std::snprintf(n, sizeof n, "inlane %.1f px/step", static_cast<double>(speed));
    v.push_back({n, 0, 96.0f, 1120.0f, 0.0f, speed});
    v.push_back({n, 1, 629.0f, 1120.0f, 0.0f, speed});
  }
  for (float speed : {1.0f, 3.0f, 6.0f}) {
    for (float off : {40.0f, 80.0f}) {
      char n[64];
      std::snprintf(n, sizeof n, "drop %d px from the centre %.1f px/step", static_cast<int>(off),
                    static_cast<double>(speed));
      v.push_back({n, 0, 360.0f - off, 1130.0f, 0.0f, speed});
      v.push_back({n, 1, 360.0f + off, 1130.0f, 0.0f, speed});
    }
  }
  return v;
}

const char* const kLaneNames[rules::kLaneLineCount] = {
    "upper_e2", "tree_t",  "tree_r",   "tree_e1",   "tree_e2", "santa_s", "santa_a1",
    "santa_n",  "santa_t", "santa_a2", "lane_exit", "rlside",  "rgift"};
constexpr int kLaneExitLine = 10;

// The first scoring part whose counter moved since the snapshot, or "".
std::pair<std::string, std::string> PartReached(const Game& g, const rules::RuleCounters& before) {
  const rules::RuleCounters& now = g.rules.counters;
  if (now.hole_catches != before.hole_catches) return {"hole", "hole"};
  for (int i = 0; i < rules::kLaneLineCount; ++i) {
    if (i == kLaneExitLine || now.lane_entries[i] == before.lane_entries[i]) continue;
    return {std::string("lane ") + kLaneNames[i], "lane"};
  }
  const auto& objects = rules::ObjectTemplates();
  for (int row = 0; row < rules::kUsedObjectRows; ++row) {
    if (now.object_hits[row] == before.object_hits[row]) continue;
    const std::string name = objects[static_cast<size_t>(row)].name;
    if (row == rules::kRowKicker) return {"kicker " + name, "kicker"};
    if (row == rules::kRowSpinner) return {"spinner", "spinner"};
    if (row >= rules::kRowBumperFirst && row <= rules::kRowBumperLast)
      return {"bumper " + name, "bumper"};
    if (row >= rules::kRowGateLeft && row <= rules::kRowGateShooter)
      return {"orbit " + name, "orbit"};
    if (row >= rules::kRowDropFirst && row <= rules::kRowDropLast)
      return {"target " + name, "target"};
  }
  return {"", ""};
}

bool InBox(const physics::Flipper& f, float x, float y) {
  return x >= static_cast<float>(f.box_x) && x < static_cast<float>(f.box_x + f.box_w) &&
         y >= static_cast<float>(f.box_y) && y < static_cast<float>(f.box_y + f.box_h);
}

class Player {
 public:
  explicit Player(Game& g) : g_(g) {}

  // Puts the ball at the feed's start, `early_ms` earlier along its path.
  void Start(const FeedSpec& f, double early_ms) {
    physics::World& w = g_.world;
    g_.random.Seed(1);
    physics::PlaceBallAtPlunger(w.balls, 0, w.tuning, g_.random);
    w.balls[1].in_play = 0;
    w.balls[1].launched = 0;
    w.hole_lock_timer = 0;
    w.tilted = 0;
    physics::ResetFlippers(w);
    w.flipper_control_state = {};
    g_.rules.balls = {};
    physics::BallRecord& b = w.balls[0];
    const float back = static_cast<float>(early_ms / kStepMs);
    b.x = b.prev_x = f.x - f.vx * back;
    b.y = b.prev_y = f.y - f.vy * back;
    b.vx = f.vx;
    b.vy = f.vy;
    b.waiting_at_plunger = 0;
    b.launched = 1;
    b.held = 0;
    // A clock well past the last run's, so no hit counts as a repeat.
    now_ms_ += 20000.0;
  }

  void Step(int flipper, bool pressed) {
    physics::World& w = g_.world;
    now_ms_ += kStepMs;
    rules::SetClock(g_.rules, static_cast<uint32_t>(now_ms_), 7, kStepMs);
    physics::UpdateFlipper(w, 0, pressed && flipper == 0, kFlipperHoldFactor);
    physics::UpdateFlipper(w, 1, pressed && flipper == 1, kFlipperHoldFactor);
    physics::StepBall(w, 0);
    rules::HitPass(g_.rules);
  }

  Game& g_;
  double now_ms_ = 0.0;
};

// The presses to try: from a little before the ball first enters the
// flipper's box until it last leaves it, with no press at all. False when
// the ball never gets there.
bool PressRange(Player& p, const FeedSpec& f, double& from_ms, double& to_ms) {
  const physics::Flipper& fl = p.g_.world.flippers[static_cast<size_t>(f.flipper)];
  const physics::BallRecord& b = p.g_.world.balls[0];
  p.Start(f, 0.0);
  int first = -1, last = -1;
  const float bottom = static_cast<float>(p.g_.world.map.height);
  for (int s = 0; s < static_cast<int>(kFeedLimitMs / kStepMs); ++s) {
    p.Step(f.flipper, false);
    if (b.held || b.y >= bottom) break;
    if (InBox(fl, b.x, b.y)) {
      if (first < 0) first = s;
      last = s;
    } else if (first >= 0) {
      break;
    }
  }
  if (first < 0) return false;
  from_ms = std::max(0.0, first * kStepMs - kLeadMs);
  to_ms = (last + 1) * kStepMs;
  return true;
}

Shot PlayShot(Player& p, const FeedSpec& f, double flip_ms) {
  Shot shot;
  shot.flip_ms = flip_ms;
  // The press lands on the step boundary at or after flip_ms; starting the
  // ball that much earlier on its path plays the press at flip_ms itself.
  const int press_step = static_cast<int>(std::ceil(flip_ms / kStepMs - 1e-9));
  p.Start(f, press_step * kStepMs - flip_ms);
  physics::World& w = p.g_.world;
  const physics::Flipper& fl = w.flippers[static_cast<size_t>(f.flipper)];
  const physics::BallRecord& b = w.balls[0];
  const float bottom = static_cast<float>(w.map.height);
  const int hold_steps = static_cast<int>(kHoldMs / kStepMs);
  const int end = press_step + static_cast<int>(kFollowMs / kStepMs);
  bool armed = false;
  rules::RuleCounters before;
  for (int s = 0; s < end; ++s) {
    const bool pressed = s >= press_step && s < press_step + hold_steps;
    p.Step(f.flipper, pressed);
    // The shot starts once the flipper is pressed with the ball on or near it.
    if (!armed && s >= press_step && InBox(fl, b.x, b.y)) {
      armed = true;
      before = p.g_.rules.counters;
    }
    if (armed) shot.path.emplace_back(static_cast<int>(b.x), static_cast<int>(b.y));
    if (!std::isfinite(b.x) || !std::isfinite(b.y)) break;
    if (armed) {
      auto [part, kind] = PartReached(p.g_, before);
      if (!part.empty()) {
        shot.part = part;
        shot.kind = kind;
        return shot;
      }
      if (b.x >= 584.0f && b.x <= 638.0f && b.y >= 495.0f && b.y <= 550.0f) {
        shot.part = shot.kind = "spinner";
        return shot;
      }
    }
    if (b.y >= bottom) {
      shot.part = shot.kind = "drain";
      return shot;
    }
    if (b.held) break;
  }
  shot.part = shot.kind = "none";
  return shot;
}

std::array<uint8_t, 3> KindColour(const std::string& kind, const std::string& part) {
  if (part == "lane rgift") return {255, 215, 0};
  if (part == "lane rlside") return {255, 140, 40};
  if (kind == "lane") return {60, 220, 90};
  if (kind == "target") return {240, 60, 240};
  if (kind == "bumper") return {240, 60, 60};
  if (kind == "kicker") return {255, 170, 120};
  if (kind == "spinner") return {60, 220, 240};
  if (kind == "hole") return {250, 250, 120};
  if (kind == "orbit") return {90, 130, 255};
  if (kind == "drain") return {110, 110, 110};
  return {250, 250, 250};
}

std::array<uint8_t, 3> CodeColour(int code) {
  switch (code) {
    case physics::kCodeOpenFloor:
      return {24, 26, 32};
    case physics::kCodeWall:
      return {70, 50, 34};
    case physics::kCodeBumper:
      return {90, 30, 36};
    case physics::kCodeHole:
      return {28, 64, 40};
    case physics::kCodeKicker:
      return {96, 66, 30};
    case physics::kCodeGate:
      return {84, 78, 30};
    case 13:
      return {26, 70, 84};  // spinner floor
    case 14:
    case 15:
      return {76, 80, 92};  // metal and plastic guides
    case 25:
    case 26:
      return {84, 36, 84};  // drop-target faces
    default:
      return {50, 50, 64};
  }
}

void Json(std::ostringstream& s, const std::string& text) {
  s << '"';
  for (char c : text) {
    if (c == '"' || c == '\\') s << '\\';
    s << c;
  }
  s << '"';
}

}  // namespace

ShotMap BuildShotMap(Game& g) {
  ShotMap map;
  Player p(g);
  for (const FeedSpec& f : Feeds()) {
    ShotFeed feed;
    feed.name = f.name;
    feed.flipper = f.flipper;
    if (!PressRange(p, f, feed.on_from_ms, feed.on_to_ms)) continue;
    for (double t = feed.on_from_ms; t <= feed.on_to_ms + 1e-9; t += kShotFlipStepMs) {
      feed.shots.push_back(PlayShot(p, f, t));
    }
    for (const Shot& s : feed.shots) {
      if (!feed.windows.empty() && feed.windows.back().part == s.part &&
          s.flip_ms - feed.windows.back().to_ms <= kShotFlipStepMs + 1e-9) {
        feed.windows.back().to_ms = s.flip_ms;
      } else {
        feed.windows.push_back({s.part, s.kind, s.flip_ms, s.flip_ms});
      }
    }
    map.feeds.push_back(std::move(feed));
  }
  return map;
}

double WidestWindow(const ShotMap& map, int flipper, const std::string& part) {
  double best = 0.0;
  for (const ShotFeed& f : map.feeds) {
    if (f.flipper != flipper) continue;
    for (const ShotWindow& w : f.windows) {
      if (w.part == part) best = std::max(best, w.width_ms());
    }
  }
  return best;
}

std::vector<uint8_t> DrawShotMap(const Game& g, const ShotMap& map) {
  const physics::SurfaceMap& m = g.world.map;
  std::vector<uint8_t> rgb(static_cast<size_t>(m.width) * static_cast<size_t>(m.height) * 3);
  for (size_t i = 0; i < m.codes.size(); ++i) {
    const auto c = CodeColour(m.codes[i] & 0x3f);
    std::copy(c.begin(), c.end(), rgb.begin() + static_cast<std::ptrdiff_t>(i * 3));
  }
  auto blend = [&](int x, int y, const std::array<uint8_t, 3>& c) {
    if (x < 0 || y < 0 || x >= m.width || y >= m.height) return;
    uint8_t* px =
        &rgb[(static_cast<size_t>(y) * static_cast<size_t>(m.width) + static_cast<size_t>(x)) * 3];
    for (int k = 0; k < 3; ++k)
      px[k] = static_cast<uint8_t>((px[k] + 2 * c[static_cast<size_t>(k)]) / 3);
  };
  // Drains and misses first, so the shots that score are drawn over them.
  for (int pass = 0; pass < 2; ++pass) {
    for (const ShotFeed& f : map.feeds) {
      for (const Shot& s : f.shots) {
        const bool scores = s.kind != "drain" && s.kind != "none";
        if (scores != (pass == 1)) continue;
        const auto c = KindColour(s.kind, s.part);
        for (size_t i = 1; i < s.path.size(); ++i) {
          const auto [x0, y0] = s.path[i - 1];
          const auto [x1, y1] = s.path[i];
          const int n = std::max({std::abs(x1 - x0), std::abs(y1 - y0), 1});
          if (n > 200) continue;  // a jump (a mirrored step or a hole throw)
          for (int k = 0; k < n; ++k) blend(x0 + (x1 - x0) * k / n, y0 + (y1 - y0) * k / n, c);
        }
      }
    }
  }
  return rgb;
}

std::string ShotMapJson(const ShotMap& map) {
  std::ostringstream s;
  s << "{\"flip_step_ms\": " << kShotFlipStepMs << ", \"hold_ms\": " << kHoldMs << ", \"feeds\": [";
  for (size_t i = 0; i < map.feeds.size(); ++i) {
    const ShotFeed& f = map.feeds[i];
    s << (i ? ",\n  " : "\n  ") << "{\"flipper\": ";
    Json(s, f.flipper == 0 ? "left" : "right");
    s << ", \"feed\": ";
    Json(s, f.name);
    s << ", \"presses_from_ms\": " << f.on_from_ms << ", \"presses_to_ms\": " << f.on_to_ms
      << ", \"windows\": [";
    for (size_t k = 0; k < f.windows.size(); ++k) {
      const ShotWindow& w = f.windows[k];
      s << (k ? ", " : "") << "{\"part\": ";
      Json(s, w.part);
      s << ", \"kind\": ";
      Json(s, w.kind);
      s << ", \"from_ms\": " << w.from_ms << ", \"to_ms\": " << w.to_ms
        << ", \"width_ms\": " << w.width_ms() << "}";
    }
    s << "]}";
  }
  s << "\n]}\n";
  return s.str();
}

int RunShotMap(const RunSetup& o, std::FILE* out, std::FILE* err) {
  Game g(std::make_unique<FakeClock>());
  g.random.Seed(o.seed);
  res::ResourceLayer layer;
  if (!LoadRunTable(g, layer, o, err)) return 1;
  const ShotMap map = BuildShotMap(g);
  if (!o.shot_map.empty()) {
    platform::RgbFrame frame;
    frame.width = g.world.map.width;
    frame.height = g.world.map.height;
    frame.pixels = DrawShotMap(g, map);
    if (!platform::WritePng(o.shot_map, frame)) {
      std::fprintf(err, "gfall: cannot write %s\n", o.shot_map.c_str());
      return 1;
    }
  }
  if (!o.shot_map_json.empty()) {
    const std::string tmp = o.shot_map_json + ".tmp";
    {
      std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
      f << ShotMapJson(map);
      if (!f) {
        std::fprintf(err, "gfall: cannot write %s\n", o.shot_map_json.c_str());
        return 1;
      }
    }
    if (std::rename(tmp.c_str(), o.shot_map_json.c_str()) != 0) {
      std::fprintf(err, "gfall: cannot write %s\n", o.shot_map_json.c_str());
      return 1;
    }
  }
  // A summary: the widest window each flipper has for each part it reaches.
  std::vector<std::string> parts;
  size_t shots = 0;
  for (const ShotFeed& f : map.feeds) {
    shots += f.shots.size();
    for (const ShotWindow& w : f.windows) {
      if (std::find(parts.begin(), parts.end(), w.part) == parts.end()) parts.push_back(w.part);
    }
  }
  std::sort(parts.begin(), parts.end());
  std::fprintf(out,
               "shot map: %zu feeds, %zu shots; widest window per part (left, right flipper):\n",
               map.feeds.size(), shots);
  for (const std::string& part : parts) {
    std::fprintf(out, "  %-22s %5.0f ms %5.0f ms\n", part.c_str(), WidestWindow(map, 0, part),
                 WidestWindow(map, 1, part));
  }
  return 0;
}

}  // namespace app
