#pragma once
// The pictures around the table: the scoreboard, the fonts, the menu items,
// the loading indicator and the full-screen loading and title pictures. Text
// is drawn with FreeType from a font Debian ships.
#include <string>
#include <vector>

#include "build.h"
#include "render/pixel_format.h"

namespace tablegen {

// Where the scoreboard sits (1024-screen pixels). Player p's row is 72 p lower.
inline constexpr int kTabX = 12, kTabY = 12, kTabW = 140, kTabH = 24;
inline constexpr int kDrumX = 14, kDrumY = 40, kDrumW = 22, kDrumH = 32, kDrumStep = 23;
inline constexpr int kBallNumX = 858, kBallNumY = 12, kBallNumW = 150, kBallNumH = 40;
inline constexpr int kTiltX = 858, kTiltY = 60, kTiltW = 150, kTiltH = 48;

// The menu items: file, text, and box, in item order of their menu.
struct MenuItemSpec {
  const char* file;
  const char* text;
  int x, y, w, h;
  bool main_menu;
};
const std::vector<MenuItemSpec>& MenuItems();

inline constexpr char kTextFontPath[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Adds the scoreboard sprites, menu items, loading indicator and the loading
// and title pictures to `out` (which already holds the playfield picture),
// with the screenshots of them. False with a reason.
bool BuildExtras(BuildResult& out, std::string& error);
// Adds the four fonts, drawn in the table palette's grey ramp.
bool BuildFonts(const render::Palette& palette, BuildResult& out, std::string& error);

}  // namespace tablegen
