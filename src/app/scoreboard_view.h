#pragma once
// The scoreboard on screen: the score display's pictures drawn into the table.

#include "app/scoreboard.h"
#include "app/table_view.h"
#include "rules/score_display.h"

namespace app {

// The score display's pictures: frames set on the scoreboard's sprites, which
// are then drawn into the table and repainted on the next presents.
class ScoreboardView final : public rules::ScoreCanvas {
 public:
  ScoreboardView(Scoreboard& board, TableView& view) : board_(board), frames_(board), view_(view) {}
  void DrawScorePicture(rules::ScorePicture picture, int player, int digit, int frame) override;

 private:
  Scoreboard& board_;
  ScoreboardCanvas frames_;
  TableView& view_;
};

}  // namespace app
