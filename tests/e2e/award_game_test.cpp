// A game on the generated table that earns and collects each award: a player
// who lights every SANTA and TREE lane and every bumper, knocks the bank down
// and rolls through the GIFT lane, once for EXTRA, DOUBLE and SPECIAL. The
// fixture sets the ball down beside each part, moving towards it; from there
// the game's own frames move it (physics, rules, game flow) and the stats the
// program prints count what it collected.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <regex>
#include <string>

#include "app/clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/game_passes.h"
#include "app/headless.h"
#include "core/control_binding.h"
#include "generated_table.h"
#include "physics/world.h"
#include "rules/rules.h"
#include "rules/table_objects.h"

namespace {

// Lanes by the rules' bands: a spot inside the band where the ball is set
// down, and the way it is sent through.
struct LaneShot {
  const char* name;
  int lamp_row;  // the lamp the lane lights
  float x0, x1, y;
  float vx, vy;
};
constexpr LaneShot kSantaLanes[] = {
    {"SANTA S", rules::kRowSantaFirst + 0, 157, 236, 236, 0, 2.5f},
    {"SANTA A1", rules::kRowSantaFirst + 1, 245, 262, 236, 0, 2.5f},
    {"SANTA N", rules::kRowSantaFirst + 2, 327, 342, 236, 0, 2.5f},
    {"SANTA T", rules::kRowSantaFirst + 3, 405, 423, 236, 0, 2.5f},
    {"SANTA A2", rules::kRowSantaFirst + 4, 488, 507, 236, 0, 2.5f},
};
constexpr LaneShot kTreeLanes[] = {
    {"TREE T", rules::kRowTreeFirst + 0, 25, 50, 1162, 0, 2.5f},
    {"TREE R", rules::kRowTreeFirst + 1, 85, 104, 1162, 0, 2.5f},
    {"TREE E1", rules::kRowTreeFirst + 2, 618, 638, 1162, 0, 2.5f},
    {"TREE E2", rules::kRowTreeFirst + 3, 673, 698, 1162, 0, 2.5f},
};
constexpr LaneShot kSideLane = {"side lane", rules::kRowTreeFirst, 27, 40, 682, 0, 2.5f};
constexpr LaneShot kGiftLane = {"GIFT lane", rules::kRowRollGift, 75, 105, 282, 0, -6.0f};

class AwardGame {
 public:
  AwardGame() : g_(MakeClock(), std::make_unique<app::GamePasses>()) {}

  testing::AssertionResult Start() {
    if (auto loaded = e2e::LoadGeneratedTable(g_, layer_); !loaded) return loaded;
    g_.random.Seed(5);
    app::StartGame(g_, false);
    // A real launch first, so the game flow has a ball in play.
    g_.actions[core::kActionStart] = 1;
    Frames(45);
    g_.actions[core::kActionStart] = 0;
    for (int i = 0; i < 600 && (Ball().waiting_at_plunger || !Ball().launched); ++i) Frames(1);
    if (Ball().waiting_at_plunger || !Ball().launched) {
      return testing::AssertionFailure() << "the launch never left the plunger";
    }
    return testing::AssertionSuccess();
  }

  rules::Rules& Rules() { return g_.rules; }
  const rules::TableObject& Object(int row) const { return g_.rules.table.objects[row]; }
  int Drains() const { return g_.flow.state.drains; }

  // Sets ball 0 down at (x, y) moving (vx, vy) and plays frames until done()
  // holds (true), or the ball falls past the flippers' inlanes or 4 s pass.
  bool Shoot(float x, float y, float vx, float vy, const std::function<bool()>& done) {
    physics::World& w = g_.world;
    physics::BallRecord& b = w.balls[0];
    b.x = b.prev_x = x;
    b.y = b.prev_y = y;
    b.vx = vx;
    b.vy = vy;
    b.in_play = 1;
    b.launched = 1;
    b.waiting_at_plunger = 0;
    b.held = 0;
    w.balls[1].in_play = 0;
    for (int frame = 0; frame < 240; ++frame) {
      Frames(1);
      if (done()) return true;
      if (!b.in_play || b.held || b.y > 1230.0f) return false;
    }
    return false;
  }

  // An open spot a ball fits in, nearest to (x, y) along a row of the band.
  bool OpenSpot(float x0, float x1, float y, float& x) const {
    const float mid = (x0 + x1) / 2;
    for (float d = 0; d <= (x1 - x0) / 2; d += 1.0f) {
      for (float cx : {mid - d, mid + d}) {
        if (Fits(cx, y)) {
          x = cx;
          return true;
        }
      }
    }
    return false;
  }

  bool Fits(float x, float y) const {
    const physics::BallRecord& b = g_.world.balls[0];
    const int px = static_cast<int>(x), py = static_cast<int>(y);
    return physics::IsOpenAt(g_.world, b, px, py) && !physics::TouchesWall(g_.world, b, px, py);
  }

  // Rolls through a lane until its lamp is on (the GIFT lane: until done()).
  testing::AssertionResult ThroughLane(const LaneShot& lane, const std::function<bool()>& done) {
    float x = 0;
    if (!OpenSpot(lane.x0, lane.x1, lane.y, x)) {
      return testing::AssertionFailure() << "no open spot in the " << lane.name;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (Shoot(x, lane.y, lane.vx, lane.vy, done)) return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "the ball never lit the " << lane.name;
  }
  testing::AssertionResult LightLane(const LaneShot& lane) {
    return ThroughLane(lane, [&] { return Object(lane.lamp_row).state != 0; });
  }

  // Sends the ball at a part's hit point from the first open spot on a ring
  // around it, until hit() holds.
  testing::AssertionResult HitPart(int row, float radius, const std::function<bool()>& hit) {
    const rules::TableObject& o = Object(row);
    for (int step = 0; step < 16; ++step) {
      const double a = step * std::numbers::pi / 8;
      const float x = static_cast<float>(o.x + radius * std::cos(a));
      const float y = static_cast<float>(o.y - radius * std::sin(a));
      if (!Fits(x, y)) continue;
      for (double speed : {4.0, 7.0}) {
        const float vx = static_cast<float>(-speed * std::cos(a));
        const float vy = static_cast<float>(speed * std::sin(a));
        if (Shoot(x, y, vx, vy, hit)) return testing::AssertionSuccess();
      }
    }
    return testing::AssertionFailure() << "row " << row << " was never hit";
  }
  testing::AssertionResult HitBumper(int row) {
    const int before = Rules().counters.object_hits[row];
    return HitPart(row, 50.0f, [&, before] { return Rules().counters.object_hits[row] > before; });
  }

  // The stats row of the printed state.
  long Stat(const std::string& name) const {
    const app::HeadlessStats none;
    const std::string json = app::StateJson(g_, frames_, &none);
    std::smatch m;
    const std::regex re("\"" + name + "\":(-?[0-9]+)");
    return std::regex_search(json, m, re) ? std::stol(m[1].str()) : -1;
  }

 private:
  std::unique_ptr<app::Clock> MakeClock() {
    auto c = std::make_unique<app::FakeClock>();
    clock_ = c.get();
    return c;
  }
  physics::BallRecord& Ball() { return g_.world.balls[0]; }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) {
      clock_->Set(static_cast<double>(++frames_) * 1000.0 / 60.0);
      app::FrameGate(g_);
    }
  }

  app::FakeClock* clock_ = nullptr;
  app::Game g_;
  res::ResourceLayer layer_;
  int64_t frames_ = 0;
};

TEST(AwardGame, EachAwardIsEarnedAndCollectedThroughTheGiftLane) {
  if (!e2e::GeneratedTableBuilt()) GTEST_SKIP() << "no generated table in " << GFALL_DATA_DIR;
  AwardGame game;
  ASSERT_TRUE(game.Start());
  rules::RuleState& s = game.Rules().state;

  // SPECIAL: every bumper lit (a hit on a lit one puts it out again).
  for (int shot = 0; shot < 60 && !s.special_earned; ++shot) {
    int row = rules::kRowBumperFirst;
    while (row <= rules::kRowBumperLast && game.Object(row).value) ++row;
    ASSERT_LE(row, rules::kRowBumperLast);
    ASSERT_TRUE(game.HitBumper(row));
  }
  ASSERT_EQ(s.special_earned, 1) << "not every bumper could be lit";
  // EXTRA: the five SANTA lanes; DOUBLE: the four TREE lanes.
  for (const LaneShot& lane : kSantaLanes) ASSERT_TRUE(game.LightLane(lane));
  ASSERT_EQ(s.extra_earned, 1);
  for (const LaneShot& lane : kTreeLanes) ASSERT_TRUE(game.LightLane(lane));
  ASSERT_EQ(s.double_earned, 1);

  // Each award in turn: the bank down lights GIFT; bumper hits turn the
  // award rotation to the kind; the GIFT lane collects it.
  const char* stat_rows[3] = {"awards_extra", "awards_double", "awards_special"};
  for (int kind : {1, 0, 2}) {
    SCOPED_TRACE(stat_rows[kind]);
    if (game.Object(rules::kRowDropFirst).value) {
      // The side lane raises a bank that is all down.
      ASSERT_TRUE(
          game.ThroughLane(kSideLane, [&] { return !game.Object(rules::kRowDropFirst).value; }));
    }
    for (int row = rules::kRowDropFirst; row <= rules::kRowDropLast; ++row) {
      if (game.Object(row).value) continue;
      ASSERT_TRUE(game.HitPart(row, 40.0f, [&, row] { return game.Object(row).value != 0; }));
    }
    ASSERT_EQ(game.Object(rules::kRowGift).state, 2) << "GIFT blinks";
    for (int shot = 0; shot < 12 && s.award_rotation != kind; ++shot) {
      ASSERT_TRUE(game.HitBumper(rules::kRowBumperFirst + 4));
    }
    ASSERT_EQ(s.award_rotation, kind);
    const long before = game.Stat(stat_rows[kind]);
    ASSERT_TRUE(game.ThroughLane(kGiftLane, [&] { return game.Stat(stat_rows[kind]) > before; }));
    EXPECT_EQ(game.Object(rules::kRowGift).state, 0) << "GIFT goes out";
  }
  EXPECT_EQ(game.Stat("awards_extra"), 1);
  EXPECT_EQ(game.Stat("awards_double"), 1);
  EXPECT_EQ(game.Stat("awards_special"), 1);
  EXPECT_EQ(game.Stat("awards"), 3);
  EXPECT_EQ(game.Stat("earned_extra"), 1);
  EXPECT_EQ(game.Stat("earned_double"), 1);
  EXPECT_EQ(game.Stat("earned_special"), 1);
  EXPECT_EQ(game.Stat("gift_lit"), 3);
  EXPECT_EQ(game.Object(rules::kRowShootAgain).state, 1) << "EXTRA lit the shoot-again";
  EXPECT_EQ(s.extra_earned + s.double_earned + s.special_earned, 0);
  EXPECT_EQ(game.Drains(), 0) << "the ball was kept in play throughout";
}

}  // namespace
