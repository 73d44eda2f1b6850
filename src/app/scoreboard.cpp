#include "app/scoreboard.h"

namespace app {

render::TrueColourSprite* ScoreboardSprite(Scoreboard& board, rules::ScorePicture picture,
                                           int player, int digit) {
  const bool player_ok = player >= 0 && player < rules::kPlayerCount;
  switch (picture) {
    case rules::ScorePicture::kTab:
      return player_ok ? &board.tabs[static_cast<size_t>(player)] : nullptr;
    case rules::ScorePicture::kBallNumber:
      return &board.ball_number;
    case rules::ScorePicture::kTiltSign:
      return &board.tilt_sign;
    case rules::ScorePicture::kDigit:
      if (!player_ok || digit < 0 || digit >= rules::kScoreDigits) return nullptr;
      return &board.digits[static_cast<size_t>(player)][static_cast<size_t>(digit)];
  }
  return nullptr;
}

bool LoadScoreboard(Scoreboard& board, render::TrueColourContext& ctx) {
  bool ok = true;
  for (const rules::ScoreboardPicture& p : rules::ScoreboardPictures()) {
    render::TrueColourSprite* s = ScoreboardSprite(board, p.picture, p.player, p.digit);
    if (!s) continue;
    render::FreeTrueColourSprite(*s);
    if (!render::LoadTrueColourSprite(*s, ctx, p.file, {}, 0, p.offset_y)) ok = false;
  }
  return ok;
}

void ScoreboardCanvas::DrawScorePicture(rules::ScorePicture picture, int player, int digit,
                                        int frame) {
  render::TrueColourSprite* s = ScoreboardSprite(board_, picture, player, digit);
  if (!s || s->frame_count == 0) return;  // an unloaded picture draws nothing
  render::SetFrame(*s, frame);
  ++board_.draws;
}

}  // namespace app
