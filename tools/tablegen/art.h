#pragma once
// The playfield artwork: table/art.json describes the picture painted on the
// floor and the cabinet (sky, snow, the tree, the sleigh, the gifts, the
// lettered inserts, the wording and the logo) in shapes placed by the table's
// own parts, so that the art follows a moved lamp or bumper. It is drawn with
// Cairo into an albedo image that covers the whole scene; the ray tracer lights it.

#include <string>
#include <vector>

#include "layout.h"

namespace tablegen {

struct Artwork {
  // Albedo over the scene grid: pixel (x, y) is playfield pixel (x + ox, y + oy).
  int w = 0, h = 0, ox = 0, oy = 0;
  std::vector<float> rgb;  // linear albedo, w × h × 3
  // Walls (by name) painted with candy-cane stripes, and the flipper rubbers.
  std::vector<std::string> candy_walls;
  bool candy_rubbers = false;
  Colour stripe{0.8f, 0.05f, 0.08f};
  // Drop targets wrapped as gifts: ribbon colour (target colour from the layout).
  Colour ribbon{0.95f, 0.85f, 0.3f};
  // Bumper caps carry a snowflake of this colour.
  Colour cap_flake{0.95f, 0.97f, 1.0f};

  const float* At(int x, int y) const {
    return &rgb[static_cast<size_t>(((y - oy) * w + (x - ox)) * 3)];
  }
};

// Reads `path` and draws the artwork over the layout into layout.art.
// False with a reason in `error` (a missing file is an error too).
bool LoadArtwork(const std::string& path, Layout& layout, std::string& error);

}  // namespace tablegen
