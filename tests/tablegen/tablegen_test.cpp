#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "check.h"
#include "layout.h"
#include "render/projection.h"
#include "scene.h"

namespace {

std::string SourceDir() {
  const char* d = std::getenv("GFALL_SOURCE_DIR");
  return d ? d : ".";
}

class TableLayout : public ::testing::Test {
 public:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(tablegen::LoadLayout(SourceDir() + "/table/table.json", layout_, error)) << error;
    map_ = tablegen::BuildSurfaceMap(layout_);
  }
  uint8_t& At(int x, int y) { return map_[static_cast<size_t>(y * layout_.width + x)]; }
  int Check() { return tablegen::CheckSurfaceMapBytes(map_, layout_.width, layout_.height); }

  tablegen::Layout layout_;
  std::vector<uint8_t> map_;
};

TEST_F(TableLayout, SurfaceMapMeetsTheRulesGeometry) {
  EXPECT_EQ(layout_.width, 800);
  EXPECT_EQ(layout_.height, 1514);
  EXPECT_EQ(Check(), 0);
}

// Each fault a table author could make is caught by the check.
TEST_F(TableLayout, CheckCatchesBrokenMaps) {
  struct Case {
    const char* what;
    void (*spoil)(TableLayout&);
  };
  const Case cases[] = {
      {"lane floor missing",
       [](TableLayout& t) {
         for (int y = 1157; y <= 1211; ++y)
           for (int x = 618; x <= 640; ++x)
             if (t.At(x, y) == 16) t.At(x, y) = 0;
       }},
      {"wall code above 63 under a flipper", [](TableLayout& t) { t.At(300, 1300) = 99; }},
      {"flipper code in the map", [](TableLayout& t) { t.At(400, 700) = 11; }},
      {"bumper ring off centre",
       [](TableLayout& t) {
         for (int y = 380; y < 500; ++y)
           for (int x = 310; x < 430; ++x)
             if (t.At(x, y) == 12 && x < 370) t.At(x, y) = 10;
       }},
      {"gate band removed",
       [](TableLayout& t) {
         for (auto& c : t.map_)
           if (c == 23) c = 0;
       }},
      {"shooter lane floor open", [](TableLayout& t) { t.At(761, 1469) = 0; }},
      {"hole trap below the pocket", [](TableLayout& t) { t.At(615, 900) = 16; }},
      {"drop-target codes swapped",
       [](TableLayout& t) {
         for (auto& c : t.map_)
           if (c == 26) c = 25;
       }},
      {"drop-target faces painted as a plain wall",
       [](TableLayout& t) {
         for (auto& c : t.map_)
           if (c == 25 || c == 26) c = 10;
       }},
  };
  for (const Case& c : cases) {
    SetUp();
    c.spoil(*this);
    EXPECT_GT(Check(), 0) << c.what;
  }
}

// table.json and the rules' geometry agree; a part moved in either is caught.
TEST_F(TableLayout, LayoutMatchesTheRulesGeometry) {
  EXPECT_EQ(tablegen::CheckLayout(layout_), 0);
  struct Case {
    const char* what;
    void (*spoil)(tablegen::Layout&);
  };
  const Case cases[] = {
      {"bumper moved", [](tablegen::Layout& l) { l.bumpers[3].c.x += 1.0f; }},
      {"bumper on a row without a hit point", [](tablegen::Layout& l) { l.bumpers[0].row = 14; }},
      {"bumper missing", [](tablegen::Layout& l) { l.bumpers.pop_back(); }},
      {"kicker moved", [](tablegen::Layout& l) { l.kicker.c.y -= 2.0f; }},
      {"kicker wall code", [](tablegen::Layout& l) { l.kicker_code = 12; }},
      {"drop target moved up", [](tablegen::Layout& l) { l.targets[1].hit.y = 770.0f; }},
      {"drop-target band moved", [](tablegen::Layout& l) { l.bank_codes_by_y[1][0] = 760; }},
      {"drop-target band codes swapped", [](tablegen::Layout& l) { l.bank_codes_by_y[0][1] = 26; }},
      {"flipper pivot moved", [](tablegen::Layout& l) { l.flippers[1].pivot.y += 1.0f; }},
      {"flipper box moved", [](tablegen::Layout& l) { l.flippers[0].box_x = 180; }},
      {"plunger moved", [](tablegen::Layout& l) { l.plunger_x = 760.0f; }},
      {"hole moved", [](tablegen::Layout& l) { l.hole_c.x = 616.0f; }},
      {"map resized", [](tablegen::Layout& l) { l.height = 1500; }},
  };
  for (const Case& c : cases) {
    tablegen::Layout spoiled = layout_;
    c.spoil(spoiled);
    EXPECT_GT(tablegen::CheckLayout(spoiled), 0) << c.what;
  }
}

TEST_F(TableLayout, FlipperMasksStayInsideTheirBoxes) {
  for (const auto& f : layout_.flippers)
    for (int k = 0; k < tablegen::kFlipperMaskFrames; ++k) {
      const auto m = tablegen::FlipperMask(f, k, 20.0f);
      int on = 0;
      for (int y = 0; y < tablegen::kFlipperBoxH; ++y)
        for (int x = 0; x < tablegen::kFlipperBoxW; ++x) {
          const bool v = m[static_cast<size_t>(y * tablegen::kFlipperBoxW + x)] != 0;
          on += v;
          if (x == 0 || y == 0 || x == tablegen::kFlipperBoxW - 1 ||
              y == tablegen::kFlipperBoxH - 1) {
            ASSERT_FALSE(v) << f.name << " frame " << k << " at " << x << "," << y;
          }
        }
      EXPECT_GT(on, 2000) << f.name << " frame " << k;
    }
  // The pivot sits at box (39, 81) on the left, (135, 81) on the right.
  EXPECT_EQ(layout_.flippers[0].pivot.x - layout_.flippers[0].box_x, 39);
  EXPECT_EQ(layout_.flippers[1].pivot.x - layout_.flippers[1].box_x, 135);
  EXPECT_EQ(tablegen::FlipperMask(layout_.flippers[0], 28, 20.0f),
            tablegen::FlipperMask(layout_.flippers[0], 29, 20.0f));
}

TEST(Projection, TableToWorldCalibration) {
  struct P {
    float x, y, wx, wy;
  };
  const P points[] = {{43, 33, -396.176f, 930.517f},    {695, 1467, 418.825f, -862.093f},
                      {761, 1468, 501.325f, -863.343f}, {223, 1377, -171.176f, -749.586f},
                      {372, 130, 15.075f, 809.260f},    {617, 787, 321.325f, -12.041f}};
  for (const P& p : points) {
    const render::WorldPoint w = render::TableToWorld(p.x, p.y, 0.0f);
    EXPECT_NEAR(w.x, p.wx, 0.01f) << p.x;
    EXPECT_NEAR(w.y, p.wy, 0.01f) << p.y;
    EXPECT_FLOAT_EQ(w.z, 22.5f);
    EXPECT_NEAR(render::WorldXToTable(w.x), p.x, 0.01f);
    EXPECT_NEAR(render::WorldYToTable(w.y), p.y, 0.01f);
  }
}

TEST(Projection, BallFrameBands) {
  // Band starts from the frame table: frame f begins at these ball-centre y.
  const std::pair<float, int> cases[] = {{0.0f, 0},     {10.0f, 0},   {10.3f, 1},    {46.2f, 2},
                                         {692.6f, 20},  {692.4f, 19}, {1374.9f, 39}, {1468.0f, 39},
                                         {1338.8f, 37}, {-500.0f, 0}};
  for (auto [y, f] : cases) EXPECT_EQ(render::BallFrameForY(y), f) << y;
}

TEST(Projection, CameraSeesTheWholeTable) {
  const render::DepthCamera cam = render::TableCamera();
  for (float x : {0.0f, 400.0f, 800.0f})
    for (float y : {0.0f, 760.0f, 1514.0f}) {
      const render::Projected p = render::Project(cam, render::TableToWorld(x, y, 0.0f));
      EXPECT_GE(p.x, 0);
      EXPECT_LT(p.x, 1024);
      EXPECT_GE(p.y, 0);
      EXPECT_LT(p.y, 768);
      EXPECT_GE(p.depth, 1);
      EXPECT_LE(p.depth, 16384);
    }
  // Nearer points have larger depth; a point behind the camera is flagged.
  const auto far = render::Project(cam, render::TableToWorld(400, 0, 0));
  const auto near = render::Project(cam, render::TableToWorld(400, 1500, 0));
  EXPECT_GT(near.depth, far.depth);
  const auto behind = render::Project(cam, {50.0f, -5000.0f, 1650.0f});
  EXPECT_EQ(behind.x, -100);
  EXPECT_EQ(behind.y, -110);
  EXPECT_EQ(behind.depth, -120);
}

TEST_F(TableLayout, RenderedDepthMatchesTheProjection) {
  tablegen::Scene scene;
  tablegen::BuildScene(layout_, scene);
  const render::DepthCamera cam = render::TableCamera();
  // A floor point well away from walls: the depth map there is the floor's depth,
  // a ball centre above it is nearer.
  const render::WorldPoint floor = render::TableToWorld(300.0f, 700.0f, -22.5f);
  float sx, sy;
  ASSERT_TRUE(render::ProjectContinuous(cam, floor, sx, sy));
  tablegen::RenderOut out;
  tablegen::RenderOptions opt;
  opt.threads = 1;
  tablegen::RenderRegion(scene, cam, opt, static_cast<int>(sx), static_cast<int>(sy), 1, 1, out);
  const render::Projected ball = render::Project(cam, render::TableToWorld(300.0f, 700.0f, 0.0f));
  const render::Projected ground = render::Project(cam, floor);
  EXPECT_NEAR(out.depth[0], ground.depth, 8);
  EXPECT_GT(ball.depth, out.depth[0]);
}

}  // namespace
