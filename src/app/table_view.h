#pragma once
// The table on screen: the playfield's drawing side loaded from the pack into
// the compositor (palette, depth map, ball sets, shadow and mix tables,
// reflection texture, the table picture, the table parts and the flippers),
// the canvas through which the rules draw table parts, and the per-frame
// drawing of flippers and balls.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "physics/world.h"
#include "render/compositor.h"
#include "render/display.h"
#include "render/image_set.h"
#include "render/picture.h"
#include "render/presentation.h"
#include "render/true_colour_sprite.h"
#include "res/resource_layer.h"
#include "rules/table_objects.h"

namespace app {

// Sprite slots of the flipper pictures (the table parts use 30..94).
inline constexpr std::array<int32_t, 2> kFlipperSlots = {20, 21};

struct TableView {
  TableView();
  TableView(const TableView&) = delete;
  TableView& operator=(const TableView&) = delete;

  render::Display display;  // format chosen before loading
  std::unique_ptr<render::TableColours> colours;
  std::unique_ptr<render::Compositor> compositor;
  std::unique_ptr<render::ImageSetTable> sets;
  std::unique_ptr<render::SpriteSlots> slots;
  std::unique_ptr<render::PartGraphicsTable> parts;
  render::Presentation presentation;
  render::Palette shadow_palette{};
  std::array<render::PartDepth, 2> flipper_depth;
  std::array<int32_t, 2> flipper_image_drawn{-1, -1};  // −1: not drawn yet
  // The table pictures in the screen's format, lit and dark (the dark one may
  // be empty), kept to put back behind the table.
  render::Picture lit_picture, dark_picture;
};

// Loads the drawing side of the playfield for display.format (width, height and
// format id must be set; the display need not be open). False with a message
// naming the first file that failed; the table picture, the palette, the
// depth map and the ball sets are required, the rest only reported.
bool LoadTableView(TableView& view, res::ResourceLayer& layer, std::string& error);

// The two halves of LoadTableView, for a start-up that shows its loading
// screen between them: the palette, the colour tables and the compositor's
// buffers; then everything else.
bool LoadTableColours(TableView& view, res::ResourceLayer& layer, std::string& error);
bool LoadTableDrawing(TableView& view, res::ResourceLayer& layer, std::string& error);

// The rules' drawing of table parts, into the compositor's background.
class CompositorCanvas final : public rules::ObjectCanvas {
 public:
  explicit CompositorCanvas(TableView& view) : view_(view) {}
  void DrawPart(int slot, int frame) override;
  void DrawPartDepth(int row, int frame) override;

 private:
  TableView& view_;
};

// Draws what changed since the last frame: each flipper whose drawn image
// changed (picture into the background, its depth frame into the scene
// depth), then places both balls.
void DrawTable(TableView& view, const physics::World& world);

}  // namespace app
