#pragma once
// The scoreboard's true-colour sprites: four score tabs, the ball number, the
// tilt sign and six digit drums for each of the four players (each player's
// row 72 table pixels below the previous one). The score display sets their
// frames through ScoreboardCanvas; the compositor draws them.

#include <array>

#include "render/true_colour_sprite.h"
#include "rules/score_display.h"

namespace app {

struct Scoreboard {
  std::array<render::TrueColourSprite, rules::kPlayerCount> tabs;
  render::TrueColourSprite ball_number;
  render::TrueColourSprite tilt_sign;
  std::array<std::array<render::TrueColourSprite, rules::kScoreDigits>, rules::kPlayerCount> digits;
  // How often each picture was drawn (the compositor takes these over).
  int32_t draws = 0;
};

// Loads every picture; each load is attempted, false when any failed.
bool LoadScoreboard(Scoreboard& board, render::TrueColourContext& ctx);

// The sprite a scoreboard picture lives in, or null.
render::TrueColourSprite* ScoreboardSprite(Scoreboard& board, rules::ScorePicture picture,
                                           int player, int digit);

// Sets the frames of the scoreboard's sprites as the score display asks.
class ScoreboardCanvas final : public rules::ScoreCanvas {
 public:
  explicit ScoreboardCanvas(Scoreboard& board) : board_(board) {}
  void DrawScorePicture(rules::ScorePicture picture, int player, int digit, int frame) override;

 private:
  Scoreboard& board_;
};

}  // namespace app
