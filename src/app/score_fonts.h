#pragma once
// Loading the scoreboard's fonts through the file layer: the message font,
// the digit font of the screen width, and the three text overlays over them.

#include "render/image_set.h"
#include "res/resource_layer.h"
#include "rules/score_display.h"

namespace app {

// Loads one font's picture (the first frame of its "SPRITE" set, resampled
// like any set) and copies the current table palette. False when the set
// or its pixels are missing.
bool LoadFontPicture(rules::Font& font, res::ResourceLayer& layer, render::ImageSetContext& ctx);

// The message font, the digit font for the display's width (1024, 800,
// otherwise 640) and the three overlays. False when a font or an overlay could
// not be made.
bool LoadScoreFonts(rules::ScoreFonts& fonts, res::ResourceLayer& layer,
                    render::ImageSetContext& ctx);

}  // namespace app
