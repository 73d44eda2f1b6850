// The generated table as the game composes it, in every display mode and
// table state: what a flipper or a ball leaves behind must be exactly the
// table underneath. The expected picture is built here on its own terms: the
// table picture of the state, every part the rules drew (in the order they
// drew it), and the flippers' current pictures on top; the balls may change
// only their own boxes.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/table_view.h"
#include "physics/world.h"
#include "render/compositor.h"
#include "render/pixel_format.h"
#include "res/pack.h"
#include "rules/lamp_shows.h"
#include "rules/table_objects.h"

namespace {

const std::string kPack = std::string(GFALL_DATA_DIR) + "/GFALL.DAT";

// Forwards the rules' drawing to the game's canvas and remembers what was
// drawn since the table picture was put up.
class RecordingCanvas final : public rules::ObjectCanvas {
 public:
  explicit RecordingCanvas(app::TableView& view) : view_(view), canvas_(view) {}
  void DrawPart(int slot, int frame) override {
    canvas_.DrawPart(slot, frame);
    if (slot >= 0 && slot < static_cast<int>(render::kSpriteSlotCount)) {
      drawn.push_back({slot, view_.slots->slots[static_cast<size_t>(slot)].current_frame});
    }
  }
  void DrawPartDepth(int row, int frame) override { canvas_.DrawPartDepth(row, frame); }

  std::vector<std::pair<int, int32_t>> drawn;  // slot, frame

 private:
  app::TableView& view_;
  app::CompositorCanvas canvas_;
};

struct Screen {
  std::vector<uint8_t> pixels;
  int32_t width = 0, height = 0, bpp = 0;
  uint32_t At(int32_t x, int32_t y) const {
    uint32_t v = 0;
    const size_t at =
        (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) *
        static_cast<size_t>(bpp);
    for (int32_t b = 0; b < bpp; ++b) v |= static_cast<uint32_t>(pixels[at + b]) << (8 * b);
    return v;
  }
};

// A table loaded for one mode, a rules table drawing into it, and the two
// surfaces of the flip chain.
class TableRig {
 public:
  TableRig(int32_t width, render::PixelFormatId id) : canvas_(view_) {
    render::DisplayFormat& f = view_.display.format;
    f.width = width;
    f.height = width * 3 / 4;
    f.format_id = id;
    render::SetFormatDefaults(f);
    std::string why;
    ok_ = res::PackOpen(layer_, kPack, &why) && app::LoadTableView(view_, layer_, why);
    error_ = why;
    for (auto& b : buffers_) b.assign(static_cast<size_t>(f.frame_bytes), 0);
    world_.balls[0].in_play = world_.balls[1].in_play = 0;
    table_.canvas = &canvas_;
    rules::ResetObjects(table_);
    rules::DrawDropTargetBank(table_);
  }
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  const render::DisplayFormat& format() const { return view_.display.format; }
  rules::Table& table() { return table_; }
  physics::World& world() { return world_; }
  app::TableView& view() { return view_; }

  // Tilt and back: the rules' dark table, then every part drawn again.
  void SetDark(bool dark) {
    ASSERT_TRUE(app::ShowTablePicture(view_, dark));
    canvas_.drawn.clear();
    table_.flags.lights_out = dark ? 1 : 0;
    rules::RedrawAllObjects(table_);
    rules::DrawDropTargetBank(table_);
  }
  void Flippers(int32_t left, int32_t right) {
    world_.flippers[0].image = left;
    world_.flippers[1].image = right;
  }
  void Ball(int k, float x, float y) {
    physics::BallRecord& b = world_.balls[static_cast<size_t>(k)];
    b.in_play = 1;
    b.x = x;
    b.y = y;
  }
  void NoBalls() { world_.balls[0].in_play = world_.balls[1].in_play = 0; }

  // One frame as the game draws it: flippers and balls, then a present.
  const Screen& Frame() {
    app::DrawTable(view_, world_);
    render::DisplayFormat& f = view_.display.format;
    render::Compositor& c = *view_.compositor;
    std::vector<uint8_t>& back = buffers_[static_cast<size_t>(c.current_buffer)];
    f.draw_target = f.read_target = back.data();
    render::ComposeFrame(c, view_.display, *view_.slots);
    c.current_buffer = (c.current_buffer + 1) % c.buffer_count;
    shown_ = {back, f.width, f.height, f.bytes_per_pixel};
    return shown_;
  }

  // The table of this state: its picture, the parts in the order drawn, the
  // flippers' current pictures on top.
  Screen Expected() const {
    const render::DisplayFormat& f = view_.display.format;
    const render::Picture& picture = view_.dark ? view_.dark_picture : view_.lit_picture;
    Screen s{picture.pixels, f.width, f.height, f.bytes_per_pixel};
    for (const auto& [slot, frame] : canvas_.drawn) Paste(s, slot, frame);
    for (int32_t slot : app::kFlipperSlots) {
      Paste(s, slot, view_.slots->slots[static_cast<size_t>(slot)].current_frame);
    }
    return s;
  }

  // Pixels of a flipper's current picture (the part's own mask).
  template <typename F>
  void ForFlipperPixels(F&& f) const {
    for (int32_t slot : app::kFlipperSlots) {
      const render::TrueColourSprite& s = view_.slots->slots[static_cast<size_t>(slot)];
      ForSpritePixels(s, s.current_frame, [&](int32_t x, int32_t y, uint32_t) { f(x, y); });
    }
  }

  // The boxes the balls may change this frame.
  bool InBallBox(int32_t x, int32_t y) const {
    const render::Compositor& c = *view_.compositor;
    for (size_t k = 0; k < 2; ++k) {
      const render::SpriteInstance& s = c.instances[k];
      if (s.depth <= 0 || s.image_set == nullptr || s.frame < 0 ||
          static_cast<size_t>(s.frame) >= s.image_set->frames.size()) {
        continue;
      }
      const render::SpriteFrame& fr = s.image_set->frames[static_cast<size_t>(s.frame)];
      const int32_t x0 = s.x - fr.hot_x, y0 = s.y - fr.hot_y;
      if (x >= x0 && x < x0 + fr.width && y >= y0 && y < y0 + fr.height) return true;
    }
    return false;
  }

 private:
  template <typename F>
  void ForSpritePixels(const render::TrueColourSprite& s, int32_t frame, F&& f) const {
    const render::DisplayFormat& fmt = view_.display.format;
    if (frame < 0 || static_cast<size_t>(frame) >= s.frames.size()) return;
    const uint32_t key = fmt.format_id == render::PixelFormatId::PAL8
                             ? (s.key_value & 0xFF)
                             : render::TransparentKey(fmt.format_id);
    const std::vector<uint8_t>& px = s.frames[static_cast<size_t>(frame)];
    const size_t sb = static_cast<size_t>(s.bytes_per_pixel);
    for (int32_t y = 0; y < s.height; ++y) {
      for (int32_t x = 0; x < s.width; ++x) {
        const int32_t X = s.x + x, Y = s.y + y;
        if (X < 0 || Y < 0 || X >= fmt.width || Y >= fmt.height) continue;
        uint32_t v = 0;
        const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(s.width) + x) * sb;
        for (size_t b = 0; b < sb; ++b) v |= static_cast<uint32_t>(px[at + b]) << (8 * b);
        if (v == key) continue;
        f(X, Y, v);
      }
    }
  }
  void Paste(Screen& s, int slot, int32_t frame) const {
    ForSpritePixels(view_.slots->slots[static_cast<size_t>(slot)], frame,
                    [&](int32_t x, int32_t y, uint32_t v) {
                      const size_t at = (static_cast<size_t>(y) * s.width + x) * s.bpp;
                      for (int32_t b = 0; b < s.bpp; ++b) {
                        s.pixels[at + b] = static_cast<uint8_t>(v >> (8 * b));
                      }
                    });
  }

  res::ResourceLayer layer_;
  app::TableView view_;
  RecordingCanvas canvas_;
  rules::Table table_;
  physics::World world_;
  std::array<std::vector<uint8_t>, 2> buffers_;
  Screen shown_;
  bool ok_ = false;
  std::string error_;
};

// Where the frame differs from the table of its state outside the balls'
// boxes: the count and the first such pixel.
std::string Residue(const TableRig& rig, const Screen& frame) {
  const Screen want = rig.Expected();
  int64_t wrong = 0;
  std::string first;
  for (int32_t y = 0; y < frame.height; ++y) {
    for (int32_t x = 0; x < frame.width; ++x) {
      if (frame.At(x, y) == want.At(x, y) || rig.InBallBox(x, y)) continue;
      if (wrong++ == 0) {
        first = " first at (" + std::to_string(x) + ", " + std::to_string(y) +
                "): " + std::to_string(frame.At(x, y)) + " for " + std::to_string(want.At(x, y));
      }
    }
  }
  return wrong == 0 ? std::string() : std::to_string(wrong) + " pixels differ;" + first;
}

// Playfield points (table pixels) the balls visit: the lanes, the bumpers,
// over and beside the flippers, the drain.
constexpr std::array<std::pair<float, float>, 12> kBallSpots = {{{120, 300},
                                                                 {360, 250},
                                                                 {600, 420},
                                                                 {250, 700},
                                                                 {470, 900},
                                                                 {150, 1150},
                                                                 {560, 1200},
                                                                 {260, 1360},
                                                                 {330, 1400},
                                                                 {460, 1390},
                                                                 {360, 1480},
                                                                 {760, 1300}}};

struct Mode {
  int32_t width;
  render::PixelFormatId id;
};

std::string Name(const Mode& m) {
  return std::to_string(m.width) + "x" + std::to_string(m.width * 3 / 4) + " format " +
         std::to_string(static_cast<int>(m.id));
}

std::vector<Mode> AllModes() {
  std::vector<Mode> modes;
  for (int32_t w : {640, 800, 1024}) {
    for (int id = 0; id <= 4; ++id) modes.push_back({w, static_cast<render::PixelFormatId>(id)});
  }
  return modes;
}

class TableComposition : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kPack)) GTEST_SKIP() << "no generated table at " << kPack;
    rig_ = std::make_unique<TableRig>(GetParam().width, GetParam().id);
    ASSERT_TRUE(rig_->ok()) << rig_->error();
  }

  // The flippers through their pictures and the balls over the grid, each
  // frame checked against the table of the state; then back to where it
  // started, which must give the very frame it started with.
  void SweepState(const std::string& state) {
    TableRig& rig = *rig_;
    rig.Flippers(0, 0);
    rig.NoBalls();
    rig.Frame();
    const Screen before = rig.Frame();  // both surfaces up to date
    ASSERT_EQ(Residue(rig, before), "") << state << ", at rest";
    for (int32_t image : {8, 4, 0, 8}) {
      rig.Flippers(image, 8 - image);
      EXPECT_EQ(Residue(rig, rig.Frame()), "") << state << ", flippers " << image;
    }
    for (size_t k = 0; k < kBallSpots.size(); ++k) {
      const auto [x, y] = kBallSpots[k];
      rig.Ball(0, x, y);
      const auto [x2, y2] = kBallSpots[(k + 5) % kBallSpots.size()];
      rig.Ball(1, x2, y2);
      rig.Flippers(static_cast<int32_t>(k % 9), static_cast<int32_t>((k * 4) % 9));
      EXPECT_EQ(Residue(rig, rig.Frame()), "") << state << ", balls at spot " << k;
      ASSERT_GT(rig.view().compositor->instances[0].depth, 0) << "the ball is drawn";
    }
    rig.Flippers(0, 0);
    rig.NoBalls();
    rig.Frame();
    const Screen after = rig.Frame();
    EXPECT_TRUE(after.pixels == before.pixels) << state << ": moved and back, the frame changed";
  }

  std::unique_ptr<TableRig> rig_;
};

TEST_P(TableComposition, NothingButTheMovingPartsChangesTheTable) {
  TableRig& rig = *rig_;
  rules::Table& t = rig.table();
  SweepState("lit, lamps off");

  // Every lamp on, the shoot-again lamp under the flippers among them.
  for (int row = 0; row < rules::kObjectRows; ++row) {
    if (t.objects[static_cast<size_t>(row)].kind == rules::kKindLamp) rules::ShowLamp(t, row, true);
  }
  SweepState("lit, lamps on");
  // A lamp that changes while the flippers are up.
  rig.Flippers(8, 8);
  rig.Frame();
  rules::ShowLamp(t, 20, false);
  rig.Frame();
  EXPECT_EQ(Residue(rig, rig.Frame()), "") << "a lamp put out under raised flippers";
  rules::ShowLamp(t, 20, true);
  EXPECT_EQ(Residue(rig, rig.Frame()), "") << "a lamp lit under raised flippers";

  for (int show = 0; show < 4; ++show) {
    rules::StopAllLampShows(t);
    rules::StartLampShow(t, show);
    for (int step = 0; step < 3; ++step) {
      rules::StepLampShows(t, 330);
      SweepState("lamp show " + std::to_string(show) + " step " + std::to_string(step));
    }
  }
  rules::StopAllLampShows(t);

  rig.Flippers(8, 8);
  rig.Frame();
  rig.SetDark(true);  // tilted with the flippers up
  SweepState("dark");
  rig.SetDark(false);
  SweepState("lit again");
}

// The tilted table is dark everywhere, the flippers too: their pixels are
// far darker than on the lit table.
TEST_P(TableComposition, TheDarkTableDrawsDarkFlippers) {
  TableRig& rig = *rig_;
  const auto light = [&](const Screen& s) {
    const render::DisplayFormat& f = rig.format();
    double sum = 0;
    rig.ForFlipperPixels([&](int32_t x, int32_t y) {
      const uint32_t v = s.At(x, y);
      if (f.format_id == render::PixelFormatId::PAL8) {
        const render::Rgb c = rig.view().colours->palette[v & 0xFF];
        sum += c.r + c.g + c.b;
      } else {
        sum += ((v & f.red_mask) >> f.red_shift) << f.red_loss;
        sum += ((v & f.green_mask) >> f.green_shift) << f.green_loss;
        sum += ((v & f.blue_mask) >> f.blue_shift) << f.blue_loss;
      }
    });
    return sum;
  };
  for (int32_t image : {0, 8}) {
    rig.Flippers(image, image);
    rig.SetDark(false);
    rig.Frame();
    const double lit = light(rig.Frame());
    rig.SetDark(true);
    rig.Frame();
    const double dark = light(rig.Frame());
    EXPECT_GT(lit, 0.0);
    EXPECT_LT(dark, 0.6 * lit) << "flippers at image " << image;
  }
}

// Flipper outlines are smooth at every resolution: where a flipper's own
// pixels meet the table, most outline pixels blend the two (a stair-stepped
// outline would put the flipper's full colour right against the table's
// along the whole edge). A hard step is one of more than 60 % of the
// flipper's brightest contrast with the table.
TEST(TableEdges, FlipperOutlinesBlendIntoTheTableAtEveryResolution) {
  if (!std::filesystem::exists(kPack)) GTEST_SKIP() << "no generated table at " << kPack;
  for (int32_t width : {640, 800, 1024}) {
    TableRig rig(width, render::PixelFormatId::RGB32);
    ASSERT_TRUE(rig.ok()) << rig.error();
    for (bool dark : {false, true}) {
      rig.SetDark(dark);
      for (int32_t image = 0; image < 9; ++image) {
        rig.Flippers(image, image);
        rig.Frame();
        const Screen& s = rig.Frame();
        std::vector<uint8_t> own(static_cast<size_t>(s.width) * s.height, 0);
        rig.ForFlipperPixels(
            [&](int32_t x, int32_t y) { own[static_cast<size_t>(y) * s.width + x] = 1; });
        const auto diff = [](uint32_t a, uint32_t b) {
          int d = 0;
          for (int sh : {0, 8, 16}) d += std::abs(int((a >> sh) & 255) - int((b >> sh) & 255));
          return d;
        };
        std::vector<int> steps;  // the largest step of each outline pixel
        for (int32_t y = 1; y + 1 < s.height; ++y) {
          for (int32_t x = 1; x + 1 < s.width; ++x) {
            if (!own[static_cast<size_t>(y) * s.width + x]) continue;
            int step = -1;
            for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
              if (own[static_cast<size_t>(y + dy) * s.width + x + dx]) continue;
              step = std::max(step, diff(s.At(x, y), s.At(x + dx, y + dy)));
            }
            if (step >= 0) steps.push_back(step);
          }
        }
        ASSERT_FALSE(steps.empty());
        const int contrast = *std::max_element(steps.begin(), steps.end());
        const auto hard =
            std::count_if(steps.begin(), steps.end(), [&](int d) { return d * 10 > contrast * 6; });
        EXPECT_LT(hard * 5, static_cast<int64_t>(steps.size()))
            << width << " wide, " << (dark ? "dark" : "lit") << ", image " << image << ": " << hard
            << " of " << steps.size() << " outline pixels step hard";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryMode, TableComposition, ::testing::ValuesIn(AllModes()),
                         [](const ::testing::TestParamInfo<Mode>& info) {
                           std::string n = Name(info.param);
                           std::replace(n.begin(), n.end(), ' ', '_');
                           return n;
                         });

}  // namespace
