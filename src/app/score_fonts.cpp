#include "app/score_fonts.h"

#include <vector>

#include "render/render_files.h"

namespace app {

bool LoadFontPicture(rules::Font& font, res::ResourceLayer& layer, render::ImageSetContext& ctx) {
  render::ImageSet set;
  render::ImageSetOptions options;
  options.keep_decoded = true;
  if (!render::LoadImageSet(set, layer, font.file, ctx, options) || set.frame_count < 1) {
    render::FreeImageSet(set);
    return false;
  }
  const render::SpriteFrame& frame = set.frames[0];
  const std::span<const uint8_t> pixels = render::FramePixels(set, 0);
  std::array<uint32_t, 256> palette{};
  for (size_t i = 0; i < palette.size(); ++i) {
    const render::Rgb& c = ctx.colours.palette[i];
    palette[i] = static_cast<uint32_t>(c.r) | static_cast<uint32_t>(c.g) << 8 |
                 static_cast<uint32_t>(c.b) << 16;
  }
  const bool ok = rules::SetFontPicture(
      font, frame.width, frame.height, std::vector<uint8_t>(pixels.begin(), pixels.end()), palette);
  render::FreeImageSet(set);
  return ok;
}

bool LoadScoreFonts(rules::ScoreFonts& fonts, res::ResourceLayer& layer,
                    render::ImageSetContext& ctx) {
  fonts.message = rules::MakeFont(rules::kMessageFont);
  fonts.digits = rules::MakeFont(rules::DigitFontFor(ctx.format.width));
  bool ok = LoadFontPicture(fonts.message, layer, ctx);
  ok = LoadFontPicture(fonts.digits, layer, ctx) && ok;
  return rules::MakeOverlays(fonts) && ok;
}

}  // namespace app
