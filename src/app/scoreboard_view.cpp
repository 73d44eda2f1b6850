#include "app/scoreboard_view.h"

namespace app {

void ScoreboardView::DrawScorePicture(rules::ScorePicture picture, int player, int digit,
                                      int frame) {
  frames_.DrawScorePicture(picture, player, digit, frame);
  render::TrueColourSprite* s = ScoreboardSprite(board_, picture, player, digit);
  if (s == nullptr || s->frames.empty()) return;
  render::DrawIntoBackground(*view_.compositor, view_.display.format, *s);
  const render::SpriteRectangle r = render::SpriteRect(*s);
  render::AddDirtyRect(*view_.compositor, view_.display, {r.x0, r.y0, r.x1, r.y1});
}

}  // namespace app
