#pragma once
// The illustrated front-end pictures, drawn with Cairo: a winter night with
// the table standing in the snow and the GLIMMERFALL logo (title, loading and
// menu background), and the menu items and loading indicator in the same
// style. Everything is drawn from code, the same bytes on every run.
#include <cstdint>
#include <string>
#include <vector>

namespace tablegen {

enum class SceneText {
  kTitle,  // the logo and "Press any key"
  kPlain,  // the logo only (loading picture, menu background)
};

// A 1024 × 768 RGB picture. Empty if Cairo or the fonts fail.
std::vector<uint8_t> DrawWinterScene(SceneText text);

// One drawn frame of a sprite: RGB composited over what lies under it, and
// the coverage (0 where nothing was drawn, so the sprite can key it).
struct ArtFrame {
  std::vector<uint8_t> rgb;
  std::vector<uint8_t> coverage;
};

enum class ItemLook { kNormal, kHover, kPressed, kSelected };

// A menu item of w × h over `under` (w × h × 3, the picture it is shown on).
// `title`: the pause menu's heading, a larger ribbon.
ArtFrame DrawMenuItem(const std::string& text, int w, int h, ItemLook look, bool title,
                      const std::vector<uint8_t>& under);

// The loading indicator of w × h: frame 0 finished, 1 and 2 the two blink
// states while loading.
ArtFrame DrawLoadingIndicator(int frame, int w, int h, const std::vector<uint8_t>& under);

}  // namespace tablegen
