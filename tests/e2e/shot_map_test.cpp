// The shot map on the generated table: every feed reaches its flipper, the
// windows of a feed tile its presses, shots score, and gfall writes the
// picture and the JSON.

#include "app/shot_map.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/clock.h"
#include "app/game.h"
#include "generated_table.h"
#include "platform/png_file.h"

namespace {

class ShotMapTable : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!e2e::GeneratedTableBuilt()) return;
    game_ = std::make_unique<app::Game>(std::make_unique<app::FakeClock>());
    layer_ = std::make_unique<res::ResourceLayer>();
    ASSERT_TRUE(e2e::LoadGeneratedTable(*game_, *layer_));
    map_ = std::make_unique<app::ShotMap>(app::BuildShotMap(*game_));
  }
  static void TearDownTestSuite() {
    map_.reset();
    game_.reset();
    layer_.reset();
  }
  void SetUp() override {
    if (!e2e::GeneratedTableBuilt()) GTEST_SKIP() << "no generated table in " << GFALL_DATA_DIR;
  }
  static inline std::unique_ptr<app::Game> game_;
  static inline std::unique_ptr<res::ResourceLayer> layer_;
  static inline std::unique_ptr<app::ShotMap> map_;
};

TEST_F(ShotMapTable, EveryFeedReachesItsFlipperAndItsWindowsTileThePresses) {
  int feeds[2] = {0, 0};
  for (const app::ShotFeed& f : map_->feeds) {
    ASSERT_TRUE(f.flipper == 0 || f.flipper == 1);
    ++feeds[f.flipper];
    ASSERT_FALSE(f.shots.empty()) << f.name;
    EXPECT_LT(f.on_from_ms, f.on_to_ms) << f.name;
    EXPECT_EQ(f.shots.size(),
              static_cast<size_t>((f.on_to_ms - f.on_from_ms) / app::kShotFlipStepMs + 1e-6) + 1)
        << f.name;
    double covered = 0;
    for (size_t k = 0; k < f.windows.size(); ++k) {
      covered += f.windows[k].width_ms();
      if (k > 0) {
        EXPECT_NE(f.windows[k].part, f.windows[k - 1].part) << f.name;
      }
    }
    EXPECT_DOUBLE_EQ(covered, app::kShotFlipStepMs * static_cast<double>(f.shots.size())) << f.name;
    // Every shot that scores was followed from the flipper the feed was
    // played on (a press after the ball has gone reaches nothing).
    const physics::Flipper& fl = game_->world.flippers[static_cast<size_t>(f.flipper)];
    for (const app::Shot& s : f.shots) {
      if (s.kind == "drain" || s.kind == "none") continue;
      ASSERT_FALSE(s.path.empty()) << f.name << " at " << s.flip_ms;
      EXPECT_NEAR(s.path.front().first, fl.box_x + fl.box_w / 2, fl.box_w / 2 + 2) << f.name;
      EXPECT_NEAR(s.path.front().second, fl.box_y + fl.box_h / 2, fl.box_h / 2 + 2) << f.name;
    }
  }
  EXPECT_GE(feeds[0], 6);
  EXPECT_GE(feeds[1], 6);
}

TEST_F(ShotMapTable, EachFlipperReachesBumpersTargetsAndLanes) {
  for (int flipper = 0; flipper < 2; ++flipper) {
    int kinds_reached = 0;
    for (const char* kind : {"bumper", "target", "lane"}) {
      bool found = false;
      for (const app::ShotFeed& f : map_->feeds) {
        for (const app::Shot& s : f.shots)
          found = found || (f.flipper == flipper && s.kind == kind);
      }
      kinds_reached += found ? 1 : 0;
      EXPECT_TRUE(found) << "flipper " << flipper << " reaches no " << kind;
    }
    EXPECT_EQ(kinds_reached, 3);
    EXPECT_GT(app::WidestWindow(*map_, flipper, "drain"), 0.0) << "some presses miss";
  }
  EXPECT_GT(std::max(app::WidestWindow(*map_, 0, "lane rgift"),
                     app::WidestWindow(*map_, 1, "lane rgift")),
            0.0)
      << "no flipper reaches the GIFT lane";
}

TEST_F(ShotMapTable, GfallWritesThePictureAndTheJson) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("gfall_shots_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string png = (dir / "map.png").string(), json = (dir / "map.json").string();
  const std::string cmd = std::string(GFALL_EXE) + " --headless --data " + GFALL_DATA_DIR +
                          " --shot-map " + png + " --shot-map-json " + json + " >/dev/null 2>&1";
  const int st = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  platform::RgbFrame frame;
  ASSERT_TRUE(platform::ReadPng(png, frame));
  EXPECT_EQ(frame.width, game_->world.map.width);
  EXPECT_EQ(frame.height, game_->world.map.height);
  // The picture is the drawing of the same map the test built.
  EXPECT_EQ(frame.pixels, app::DrawShotMap(*game_, *map_));
  std::ifstream in(json);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), app::ShotMapJson(*map_));
  EXPECT_NE(text.str().find("\"width_ms\""), std::string::npos);
  // A file that cannot be written is an error.
  const std::string bad = std::string(GFALL_EXE) + " --headless --data " + GFALL_DATA_DIR +
                          " --shot-map " + (dir / "no" / "such" / "dir.png").string() +
                          " >/dev/null 2>&1";
  const int bad_st = std::system(bad.c_str());
  EXPECT_TRUE(WIFEXITED(bad_st) && WEXITSTATUS(bad_st) == 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
