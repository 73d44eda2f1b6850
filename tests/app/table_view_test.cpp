#include "app/table_view.h"

#include <gtest/gtest.h>

#include <cstring>

#include "physics/world.h"

namespace app {
namespace {

// A view of a small RGB32 screen with one lamp sprite, one part depth record
// and the left flipper's picture and depth frames, built in memory.
struct SmallView {
  SmallView() {
    render::DisplayFormat& f = view.display.format;
    f.width = 64;
    f.height = 48;
    f.format_id = render::PixelFormatId::RGB32;
    render::SetFormatDefaults(f);
    render::InitCompositor(*view.compositor, view.display);
    view.compositor->scene_depth.width = 64;
    view.compositor->scene_depth.height = 48;
    view.compositor->scene_depth.data.assign(64 * 48, 0);

    Sprite(view.slots->slots[40], 4, 4, 3);
    Sprite(view.slots->slots[static_cast<size_t>(kFlipperSlots[0])], 20, 20, 9);
    Depth(view.parts->records[10].depth, 30, 30, 3);
    Depth(view.flipper_depth[0], 20, 20, 9);
  }

  // Frame k of a sprite is filled with the value k + 1.
  static void Sprite(render::TrueColourSprite& s, int32_t x, int32_t y, int32_t frames) {
    s.width = s.height = 4;
    s.x = x;
    s.y = y;
    s.frame_count = frames;
    s.bytes_per_pixel = 4;
    s.key_value = 0xFF00FE;
    for (int32_t k = 0; k < frames; ++k) {
      s.frames.emplace_back(64, static_cast<uint8_t>(k + 1));
    }
  }
  // Depth frame k holds 100 + k.
  static void Depth(render::PartDepth& d, int32_t x, int32_t y, int32_t frames) {
    d.width = d.height = 4;
    d.x = x;
    d.y = y;
    d.frame_count = frames;
    for (int32_t k = 0; k < frames; ++k) {
      d.frames.emplace_back(16, static_cast<int16_t>(100 + k));
    }
  }

  uint8_t Background(int32_t x, int32_t y) const {
    return view.compositor->background[static_cast<size_t>((y * 64 + x) * 4)];
  }
  int16_t SceneDepth(int32_t x, int32_t y) const {
    return view.compositor->scene_depth.data[static_cast<size_t>(y * 64 + x)];
  }

  TableView view;
};

TEST(CompositorCanvas, DrawsPartsIntoTheBackgroundAndStampsTheirDepth) {
  SmallView s;
  CompositorCanvas canvas(s.view);
  canvas.DrawPart(40, 2);
  EXPECT_EQ(s.view.slots->slots[40].current_frame, 2);
  EXPECT_EQ(s.Background(5, 5), 3);
  EXPECT_EQ(s.view.compositor->scene[static_cast<size_t>((5 * 64 + 5) * 4)], 3);
  EXPECT_EQ(s.view.compositor->part_repaint_count[40], s.view.compositor->buffer_count);
  canvas.DrawPart(40, 7);  // no such frame: the current one is drawn again
  EXPECT_EQ(s.Background(5, 5), 3);
  canvas.DrawPart(300, 0);  // out of range: ignored

  canvas.DrawPartDepth(10, 1);
  EXPECT_EQ(s.SceneDepth(31, 31), 101);
  canvas.DrawPartDepth(10, 5);  // no such depth frame
  EXPECT_EQ(s.SceneDepth(31, 31), 101);
  canvas.DrawPartDepth(-1, 0);
}

TEST(DrawTable, StampsAFlipperWhenItsDrawnImageChanges) {
  SmallView s;
  physics::World world;
  world.balls[0].in_play = 0;
  world.balls[1].in_play = 0;
  world.flippers[0].image = 0;
  world.flippers[1].image = 0;
  DrawTable(s.view, world);
  EXPECT_EQ(s.Background(21, 21), 1);
  EXPECT_EQ(s.SceneDepth(21, 21), 100);
  EXPECT_EQ(s.view.flipper_image_drawn[0], 0);

  // Something else draws over the place; an unchanged image is not drawn again.
  std::memset(s.view.compositor->background.data(), 0, s.view.compositor->background.size());
  DrawTable(s.view, world);
  EXPECT_EQ(s.Background(21, 21), 0);

  world.flippers[0].image = 8;
  DrawTable(s.view, world);
  EXPECT_EQ(s.Background(21, 21), 9);
  EXPECT_EQ(s.SceneDepth(21, 21), 108);
  EXPECT_EQ(s.view.compositor->part_repaint_count[static_cast<size_t>(kFlipperSlots[0])],
            s.view.compositor->buffer_count);
}

}  // namespace
}  // namespace app
