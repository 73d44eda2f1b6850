// The physics side of the playfield load and the warm-up pass.

#include "physics/playfield.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "core/random15.h"
#include "physics/painted_table.h"
#include "physics/world.h"

namespace physics {
namespace {

std::span<const uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

struct Load : ::testing::Test {
  Load() {
    random.Seed(4);
    mask.assign(174 * 170, 0);
    mask[81 * 174 + 39] = 1;  // the left flipper's pivot pixel
    for (int n = 0; n < kFlipperCount; ++n) {
      for (int k = 0; k < 30; ++k) files.flipper_masks[n].push_back({174, 170, mask});
    }
    files.surface_map = SurfaceMap(800, 1514, 0);
    files.surface_map.Set(5, 5, 40);
  }
  World w;
  core::Random15 random;
  std::vector<uint8_t> mask;
  PlayfieldPhysicsFiles files;
};

TEST_F(Load, ResetsThenReadsTheTuningThenTakesTheMapsAndMasks) {
  w.surfaces.wall_friction[40] = 0.5f;  // left over from an earlier load
  w.balls[0].speed_limit = 3;
  w.balls[1].in_play = 1;
  files.tuning_text = Bytes("BALLMAXSPEED 15\nMUWALL40 0.25\n");
  ASSERT_TRUE(LoadPlayfieldPhysics(w, random, std::move(files)));
  EXPECT_EQ(w.balls[0].speed_limit, 15.0f);  // the text wins over the reset
  EXPECT_FLOAT_EQ(WallFriction(w.surfaces, 40), 0.25f);
  EXPECT_EQ(w.balls[0].waiting_at_plunger, 1);
  EXPECT_EQ(w.balls[0].x, kPlungerX);
  EXPECT_EQ(w.balls[1].in_play, 0);
  EXPECT_EQ(w.map.width, 800);
  EXPECT_EQ(SurfaceCodeAt(w, 5, 5), 40);
  EXPECT_EQ(SurfaceCodeAt(w, 223, 1377), kCodeFlipper);
  EXPECT_EQ(SurfaceCodeAt(w, 224, 1377), 0);
}

TEST_F(Load, NoTuningFileKeepsTheDefaults) {
  ASSERT_TRUE(LoadPlayfieldPhysics(w, random, std::move(files)));
  EXPECT_EQ(w.balls[0].speed_limit, 20.0f);
}

TEST_F(Load, MissingMapOrMasksFail) {
  PlayfieldPhysicsFiles no_map = files;
  no_map.surface_map = SurfaceMap();
  EXPECT_FALSE(LoadPlayfieldPhysics(w, random, std::move(no_map)));
  PlayfieldPhysicsFiles no_masks = files;
  no_masks.flipper_masks[1].clear();
  EXPECT_FALSE(LoadPlayfieldPhysics(w, random, std::move(no_masks)));
  // A flipper sharing the other's masks needs none of its own.
  w.flippers[1].mask_source = 0;
  PlayfieldPhysicsFiles shared = files;
  shared.flipper_masks[1].clear();
  ASSERT_TRUE(LoadPlayfieldPhysics(w, random, std::move(shared)));
  EXPECT_EQ(w.flippers[1].box_x, 184);  // took the left flipper's pivot and boxes
  EXPECT_EQ(w.flippers[1].pivot_x, 223);
}

TEST(WarmUp, ReadsRandomPixelsOfTheMap) {
  World w;
  core::Random15 r;
  r.Seed(1);
  EXPECT_EQ(WarmUpSurfaceLookups(w, r), 0u);  // no map yet
  w.map = SurfaceMap(800, 1514, 1);
  EXPECT_EQ(WarmUpSurfaceLookups(w, r, 40000), 40000u);
  w.map = SurfaceMap(800, 1514, 0);
  w.map.Fill(0, 757, 800, 1514, 2);  // the lower half
  const uint64_t sum = WarmUpSurfaceLookups(w, r, 40000);
  EXPECT_GT(sum, 2 * 18000u);  // both halves are visited
  EXPECT_LT(sum, 2 * 22000u);
}

}  // namespace
}  // namespace physics
