#include "art.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "layout.h"
#include "render/projection.h"
#include "scene.h"

namespace {

std::string SourceDir() {
  const char* d = std::getenv("GFALL_SOURCE_DIR");
  return d ? d : ".";
}

class Artwork : public ::testing::Test {
 public:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(tablegen::LoadLayout(SourceDir() + "/table/table.json", layout_, error)) << error;
  }
  bool LoadArt(std::string& error) {
    return tablegen::LoadArtwork(SourceDir() + "/table/art.json", layout_, error);
  }
  tablegen::Lamp& LampNamed(const std::string& name) {
    for (auto& lp : layout_.lamps)
      if (lp.name == name) return lp;
    ADD_FAILURE() << "no lamp " << name;
    return layout_.lamps.front();
  }
  // The albedo of the art at a playfield pixel.
  const float* Albedo(int x, int y) const { return layout_.art->At(x, y); }

  tablegen::Layout layout_;
};

// The inserts are drawn where the layout puts the lamps, each with its letter:
// moving a lamp moves its insert, and the letter's white shows inside it.
TEST_F(Artwork, InsertsFollowTheLampsAndCarryTheirLetters) {
  std::string error;
  tablegen::Lamp& s = LampNamed("LSAN_S");
  s.c.y += 60.0f;
  ASSERT_TRUE(LoadArt(error)) << error;
  const int cx = static_cast<int>(s.c.x), cy = static_cast<int>(s.c.y);
  int red = 0, white = 0;
  for (int y = cy - static_cast<int>(s.r) + 2; y <= cy + static_cast<int>(s.r) - 2; ++y)
    for (int x = cx - static_cast<int>(s.r) + 2; x <= cx + static_cast<int>(s.r) - 2; ++x) {
      if (std::hypot(x + 0.5f - s.c.x, y + 0.5f - s.c.y) > s.r - 2.0f) continue;
      const float* a = Albedo(x, y);
      if (a[0] > 2.0f * a[1] && a[0] > 2.0f * a[2] && a[0] > 0.1f) ++red;
      if (a[0] > 0.7f && a[1] > 0.7f && a[2] > 0.7f) ++white;
    }
  EXPECT_GT(red, 80) << "the red plastic of the S insert at its new place";
  EXPECT_GT(white, 25) << "the letter S on it";
  // Where the insert stood before, the art shows no red plastic any more.
  const float* old = Albedo(cx, cy - 60);
  EXPECT_FALSE(old[0] > 2.0f * old[1] && old[0] > 2.0f * old[2] && old[0] > 0.1f);
}

// Art placed by a part the table does not have, an unknown kind of item or a
// missing file are reported, not drawn somewhere arbitrary.
TEST_F(Artwork, BadDescriptionsAreReported) {
  const std::string path = ::testing::TempDir() + "/art_test.json";
  const std::string fonts =
      R"("fonts": {"bold": "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"},)"
      R"("sky": {"top": "#000000", "middle": "#101010", "bottom": "#202020"},)";
  struct Case {
    std::string body, expect;
  } cases[] = {
      {R"({)" + fonts + R"("items": [{"kind": "text", "text": "X", "at": "NO_SUCH_LAMP"}]})",
       "NO_SUCH_LAMP"},
      {R"({)" + fonts + R"("items": [{"kind": "spaceship", "at": [1, 2]}]})", "spaceship"},
      {R"({)" + fonts +
           R"("items": [{"kind": "text", "text": "X", "font": "serif", "at": [1, 2]}]})",
       "serif"},
      {R"({)" + fonts + R"("items": [{"kind": "disc", "at": [1, 2], "r": 3, "colour": "red"}]})",
       "red"},
  };
  for (const Case& c : cases) {
    std::ofstream(path) << c.body;
    std::string error;
    layout_.art.reset();
    EXPECT_FALSE(tablegen::LoadArtwork(path, layout_, error)) << c.body;
    EXPECT_NE(error.find(c.expect), std::string::npos) << error;
    EXPECT_EQ(layout_.art, nullptr);
  }
  std::remove(path.c_str());
  std::string error;
  EXPECT_FALSE(tablegen::LoadArtwork(path, layout_, error));
  EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
}

// A lit insert glows in its own colour and throws a halo on the art around it;
// off it shows the printed plastic, as in the table picture.
TEST_F(Artwork, LitInsertGlowsInItsColourWithAHalo) {
  std::string error;
  ASSERT_TRUE(LoadArt(error)) << error;
  tablegen::Scene scene;
  tablegen::BuildScene(layout_, scene);
  const render::DepthCamera cam = render::TableCamera();
  struct Probe {
    const char* lamp;
    int channel;  // the lamp colour's strongest channel
  } probes[] = {{"LTREE_T", 1}, {"LSAN_N", 0}, {"LBON_05", 1}};
  for (const Probe& pr : probes) {
    size_t part = 0;
    while (part < scene.parts.size() && scene.parts[part].name != pr.lamp) ++part;
    ASSERT_LT(part, scene.parts.size()) << pr.lamp;
    const tablegen::Lamp& lp = LampNamed(pr.lamp);
    auto mean = [&](int frame, float x, float y, float r0, float r1) {
      tablegen::SetPartFrame(scene, part, frame);
      // Screen samples of a ring of the floor around the lamp's centre.
      double sum[3] = {0, 0, 0};
      int n = 0;
      for (int k = 0; k < 16; ++k) {
        const float a = static_cast<float>(k) * 0.3927f;
        for (float r = r0; r <= r1; r += 1.0f) {
          float sx, sy;
          render::ProjectContinuous(
              cam, render::TableToWorld(x + r * std::cos(a), y + r * std::sin(a), -22.5f), sx, sy);
          tablegen::RenderOut out;
          tablegen::RenderOptions opt;
          opt.threads = 1;
          tablegen::RenderRegion(scene, cam, opt, static_cast<int>(sx), static_cast<int>(sy), 1, 1,
                                 out);
          for (int c = 0; c < 3; ++c) sum[c] += out.rgb[static_cast<size_t>(c)];
          ++n;
        }
      }
      return std::array<double, 3>{sum[0] / n, sum[1] / n, sum[2] / n};
    };
    // The plastic between the letter and the rim.
    const auto off = mean(0, lp.c.x, lp.c.y, lp.r * 0.72f, lp.r * 0.9f);
    const auto lit = mean(2, lp.c.x, lp.c.y, lp.r * 0.72f, lp.r * 0.9f);
    const auto halo_off = mean(0, lp.c.x, lp.c.y, lp.r + 2.0f, lp.r + 4.0f);
    const auto halo_lit = mean(2, lp.c.x, lp.c.y, lp.r + 2.0f, lp.r + 4.0f);
    tablegen::SetPartFrame(scene, part, 0);
    EXPECT_GT(lit[pr.channel], off[pr.channel] + 60.0) << pr.lamp;
    // Lit in colour, not washed to white: its own channel leads the weakest one.
    const double weakest = std::min({lit[0], lit[1], lit[2]});
    EXPECT_GT(lit[pr.channel], weakest + 50.0) << pr.lamp;
    EXPECT_GT(halo_lit[pr.channel], halo_off[pr.channel] + 8.0) << pr.lamp;
  }
}

}  // namespace
