#include "app/view_passes.h"

namespace app {

void ViewPasses::RollReflection(Game& g, int ball, float forward, float sideways, float spin) {
  if (ball < 0 || ball >= physics::kBallCount) return;
  render::RollReflection(g.world.balls[static_cast<size_t>(ball)].reflection,
                         view_.compositor->reflection, forward, sideways, spin);
}

void ViewPasses::Draw(Game& g, bool) {
  view_.compositor->shake_x = g.nudge.shake_offset[0];
  view_.compositor->shake_y = g.nudge.shake_offset[1];
  DrawTable(view_, g.world);
}

bool ViewPasses::Present(Game& g) {
  if (before_present) before_present(g);
  render::PresentContext ctx{view_.display, device_, *view_.compositor, *view_.slots,
                             view_.colours->palette};
  return render::PresentFrame(view_.presentation, ctx);
}

void ViewPasses::ShowPlayfield(Game& g, bool dark) {
  g.dark_playfield = dark ? 1 : 0;
  if (shown_ == (dark ? 1 : 0)) return;
  ForcePlayfield(dark);
}

void ViewPasses::ForcePlayfield(bool dark) {
  const render::Picture& p =
      dark && !view_.dark_picture.pixels.empty() ? view_.dark_picture : view_.lit_picture;
  if (p.pixels.empty() || !render::SetBackground(p, view_.display)) return;
  shown_ = dark ? 1 : 0;
  // The flippers were drawn into the old picture.
  view_.flipper_image_drawn = {-1, -1};
}

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
