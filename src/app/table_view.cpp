#include "app/table_view.h"

#include <algorithm>
#include <cmath>

#include "physics/flipper.h"
#include "render/colour_cube.h"
#include "render/image_files.h"
#include "render/picture.h"
#include "render/reflection_map.h"
#include "res/res_file.h"

namespace app {

namespace {

constexpr const char* kPaletteFile = "RES\\TABLES\\P_FIELD.PAL";
constexpr const char* kShadowTableFile = "RES\\TABLES\\P_FIELD.MAS";
constexpr const char* kMixTableFile = "RES\\TABLES\\P_FIELD.MAM";
constexpr const char* kDepthFile = "RES\\Z\\P_FIELD.Z16";
constexpr const char* kTablePicture = "RES\\TGA\\PF_0002.JPG";
constexpr const char* kDarkTablePicture = "RES\\TGA\\PF_0000.JPG";
constexpr const char* kBallFile = "RES\\ANIM\\BALL.IMG";
constexpr const char* kShadowFile = "RES\\ANIM\\SHAD.IMG";
constexpr const char* kLaneBallFile = "RES\\ANIM\\BALL_PL.IMG";
constexpr const char* kReflectionFile = "RES\\TGA\\BALLMAP.LSC";
// Screen pixels at 1024 wide around a flipper's frames that its other frames
// repaint where the resting flipper's edge and shadow lie in the table picture.
constexpr double kFlipperRestRim = 6.0;

void Note(std::string& error, const std::string& what) {
  if (!error.empty()) error += "; ";
  error += what;
}

}  // namespace

TableView::TableView()
    : colours(std::make_unique<render::TableColours>()),
      compositor(std::make_unique<render::Compositor>()),
      sets(std::make_unique<render::ImageSetTable>()),
      slots(std::make_unique<render::SpriteSlots>()),
      parts(std::make_unique<render::PartGraphicsTable>()) {}

bool LoadTableView(TableView& v, res::ResourceLayer& layer, std::string& error) {
  return LoadTableColours(v, layer, error) && LoadTableDrawing(v, layer, error);
}

bool LoadTableColours(TableView& v, res::ResourceLayer& layer, std::string& error) {
  error.clear();
  auto palette = res::ResLoadWhole(layer, kPaletteFile);
  if (!palette || !render::LoadTablePalette(*palette, *v.colours)) {
    error = std::string("cannot load ") + kPaletteFile;
    return false;
  }
  render::BuildTableCube(*v.colours);
  render::InitCompositor(*v.compositor, v.display);
  return true;
}

bool LoadTableDrawing(TableView& v, res::ResourceLayer& layer, std::string& error) {
  error.clear();
  render::DisplayFormat& f = v.display.format;
  render::Compositor& c = *v.compositor;

  // The balls: the normal set with its shadow plane, and the plunger-lane set.
  auto ball = res::ResLoadWhole(layer, kBallFile);
  auto shadow = res::ResLoadWhole(layer, kShadowFile);
  auto lane = res::ResLoadWhole(layer, kLaneBallFile);
  render::ImageSetContext ctx{f, *v.colours, &v.shadow_palette};
  if (!ball || !shadow || !lane ||
      !render::LoadCompositeSet(v.sets->sets[render::kBallSet], *ball, *shadow, ctx)) {
    error = std::string("cannot load ") + kBallFile + " with " + kShadowFile;
    return false;
  }
  render::ImageSetContext lane_ctx{f, *v.colours, nullptr};
  if (!render::LoadCompositeSet(v.sets->sets[render::kLaneBallSet], *lane, {}, lane_ctx)) {
    error = std::string("cannot load ") + kLaneBallFile;
    return false;
  }
  const int32_t centre = static_cast<int32_t>(render::kBallCentre * f.scale) - 1;
  render::MeasureBallRadii(v.sets->sets[render::kBallSet], centre, centre);
  render::MeasureBallRadii(v.sets->sets[render::kLaneBallSet], centre, centre);

  // Shadow darkening: loaded in 256 colours, built from the shadow's palette otherwise.
  render::LookupTable256 table{};
  const bool pal8 = f.format_id == render::PixelFormatId::PAL8;
  if (pal8 && !render::LoadTable(layer, kShadowTableFile, table)) {
    Note(error, std::string("no ") + kShadowTableFile + " (no shadows)");
  }
  render::BuildShadowTables(c.shadows, f.format_id, v.shadow_palette,
                            pal8 ? std::span<const uint8_t>(table) : std::span<const uint8_t>());
  c.mix_loaded = render::LoadTable(layer, kMixTableFile, c.mix);
  if (!c.mix_loaded) Note(error, std::string("no ") + kMixTableFile + " (no reflection)");
  if (!render::LoadReflectionMap(c.reflection, 0, layer, kReflectionFile)) {
    Note(error, std::string("no ") + kReflectionFile + " (no reflection)");
  }

  if (!render::LoadDepthMap(layer, kDepthFile, f, c.scene_depth)) {
    error = std::string("cannot load ") + kDepthFile;
    return false;
  }
  render::Picture& picture = v.lit_picture;
  picture = {};
  if (!render::LoadJpegPicture(picture, layer, kTablePicture) ||
      !render::ConvertPicture(picture, f, *v.colours) ||
      !render::SetBackground(picture, v.display)) {
    error = std::string("cannot load ") + kTablePicture;
    return false;
  }
  v.dark_picture = {};
  if (!render::LoadJpegPicture(v.dark_picture, layer, kDarkTablePicture) ||
      !render::ConvertPicture(v.dark_picture, f, *v.colours)) {
    v.dark_picture = {};
    Note(error, std::string("no ") + kDarkTablePicture + " (no lights-out picture)");
  }

  render::TrueColourContext tc{layer, f, *v.colours};
  render::InitPartGraphicsTable(*v.parts);
  if (!render::LoadPartGraphics(*v.parts, *v.slots, tc))
    Note(error, "some table parts are missing");
  const auto flippers = physics::BuiltInFlippers();
  for (size_t k = 0; k < 2; ++k) {
    render::TrueColourSprite& s = v.slots->slots[static_cast<size_t>(kFlipperSlots[k])];
    render::FreeTrueColourSprite(s);
    // The resting flippers are part of the table picture; the rim covers
    // their edge and shadow there once they move.
    const int32_t rim = std::max(2, static_cast<int32_t>(std::lround(kFlipperRestRim * f.scale)));
    if (!render::LoadTrueColourSprite(s, tc, flippers[k].picture_file, flippers[k].image_mask_file,
                                      0, 0, rim)) {
      Note(error, std::string("no ") + flippers[k].picture_file);
    }
    render::CoverRestRim(s, v.lit_picture);
    if (!render::LoadPartDepth(layer, flippers[k].depth_file, f, v.flipper_depth[k])) {
      Note(error, std::string("no ") + flippers[k].depth_file);
    }
  }
  v.flipper_image_drawn = {-1, -1};
  render::PrepareBalls(c, f, *v.sets);
  return true;
}

void CompositorCanvas::DrawPart(int slot, int frame) {
  if (slot < 0 || static_cast<size_t>(slot) >= render::kSpriteSlotCount) return;
  render::TrueColourSprite& s = view_.slots->slots[static_cast<size_t>(slot)];
  render::SetFrame(s, frame);
  render::DrawIntoBackground(*view_.compositor, view_.display.format, s, slot);
}

void CompositorCanvas::DrawPartDepth(int row, int frame) {
  if (row < 0 || static_cast<size_t>(row) >= render::kPartGraphicsCount) return;
  render::StampPartDepth(view_.compositor->scene_depth,
                         view_.parts->records[static_cast<size_t>(row)].depth, frame);
}

void DrawTable(TableView& v, const physics::World& world) {
  render::Compositor& c = *v.compositor;
  for (size_t k = 0; k < 2; ++k) {
    const int32_t image = world.flippers[k].image;
    if (image == v.flipper_image_drawn[k]) continue;
    const int32_t slot = kFlipperSlots[k];
    render::TrueColourSprite& s = v.slots->slots[static_cast<size_t>(slot)];
    render::SetFrame(s, image);
    render::DrawIntoBackground(c, v.display.format, s, slot);
    render::StampPartDepth(c.scene_depth, v.flipper_depth[k], image);
    v.flipper_image_drawn[k] = image;
  }
  render::PlaceBalls(c, v.display.format, world.balls, *v.sets);
}

}  // namespace app
