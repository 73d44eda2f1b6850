#include "game_shots.h"

#include <array>
#include <cstdint>
#include <vector>

#include "app/table_view.h"
#include "physics/world.h"
#include "png_out.h"
#include "render/compositor.h"
#include "res/pack.h"
#include "rules/table_objects.h"

namespace tablegen {

namespace {

constexpr int kShootAgainLamp = 20;

// One RGB32 screen of the table drawn as in play, with its two surfaces.
struct GameScreen {
  res::ResourceLayer layer;
  app::TableView view;
  app::CompositorCanvas canvas{view};
  rules::Table table;
  physics::World world;
  std::array<std::vector<uint8_t>, 2> buffers;

  bool Load(const std::string& pack, int32_t width, std::string& error) {
    render::DisplayFormat& f = view.display.format;
    f.width = width;
    f.height = width * 3 / 4;
    f.format_id = render::PixelFormatId::RGB32;
    render::SetFormatDefaults(f);
    if (!res::PackOpen(layer, pack, &error) || !app::LoadTableView(view, layer, error)) {
      return false;
    }
    for (auto& b : buffers) b.assign(static_cast<size_t>(f.frame_bytes), 0);
    world.balls[0].in_play = world.balls[1].in_play = 0;
    table.canvas = &canvas;
    rules::ResetObjects(table);
    rules::DrawDropTargetBank(table);
    return true;
  }
  void Dark() {
    app::ShowTablePicture(view, true);
    table.flags.lights_out = 1;
    rules::RedrawAllObjects(table);
    rules::DrawDropTargetBank(table);
  }
  // Two presents, so both surfaces are whole; the RGB of the last.
  std::vector<uint8_t> Frame() {
    render::DisplayFormat& f = view.display.format;
    render::Compositor& c = *view.compositor;
    std::vector<uint8_t>* back = nullptr;
    for (int k = 0; k < 2; ++k) {
      app::DrawTable(view, world);
      back = &buffers[static_cast<size_t>(c.current_buffer)];
      f.draw_target = f.read_target = back->data();
      render::ComposeFrame(c, view.display, *view.slots);
      c.current_buffer = (c.current_buffer + 1) % c.buffer_count;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(f.width) * f.height * 3);
    for (size_t i = 0; i < rgb.size() / 3; ++i) {
      rgb[i * 3] = (*back)[i * 4 + 2];
      rgb[i * 3 + 1] = (*back)[i * 4 + 1];
      rgb[i * 3 + 2] = (*back)[i * 4];
    }
    return rgb;
  }
};

// A part of the picture, each pixel made `zoom` pixels square.
bool WriteCrop(const std::string& path, const std::vector<uint8_t>& rgb, int width, int x0, int y0,
               int w, int h, int zoom) {
  std::vector<uint8_t> out(static_cast<size_t>(w * zoom) * (h * zoom) * 3);
  for (int y = 0; y < h * zoom; ++y)
    for (int x = 0; x < w * zoom; ++x)
      for (int c = 0; c < 3; ++c)
        out[(static_cast<size_t>(y) * (w * zoom) + x) * 3 + c] =
            rgb[(static_cast<size_t>(y0 + y / zoom) * width + (x0 + x / zoom)) * 3 + c];
  return WritePng(path, w * zoom, h * zoom, out);
}

}  // namespace

bool WriteGameShots(const std::string& pack, const std::string& dir, std::string& error) {
  {
    GameScreen s;
    if (!s.Load(pack, 1024, error)) return false;
    rules::ShowLamp(s.table, kShootAgainLamp, true);
    s.world.flippers[0].image = s.world.flippers[1].image = 8;
    if (!WriteCrop(dir + "/flippers-up-lit-1024.png", s.Frame(), 1024, 300, 560, 420, 170, 2)) {
      return error = "cannot write " + dir + "/flippers-up-lit-1024.png", false;
    }
    s.Dark();
    if (!WritePng(dir + "/tilt-1024.png", 1024, 768, s.Frame())) {
      return error = "cannot write " + dir + "/tilt-1024.png", false;
    }
  }
  GameScreen s;
  if (!s.Load(pack, 640, error)) return false;
  rules::ShowLamp(s.table, kShootAgainLamp, true);
  s.world.flippers[0].image = 8;  // one up, one at rest
  if (!WriteCrop(dir + "/flippers-640.png", s.Frame(), 640, 180, 350, 270, 110, 4)) {
    return error = "cannot write " + dir + "/flippers-640.png", false;
  }
  return true;
}

}  // namespace tablegen
