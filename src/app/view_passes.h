#pragma once
// The passes of a game on screen: drawing through the table view, presenting
// through the display device, the scoreboard's pictures and the playfield
// picture (lit or dark) behind everything.

#include <functional>

#include "app/game_passes.h"
#include "app/scoreboard.h"
#include "app/table_view.h"
#include "render/picture.h"
#include "rules/score_display.h"

namespace app {

class ViewPasses final : public GamePasses {
 public:
  ViewPasses(TableView& view, render::DisplayDevice& device) : view_(view), device_(device) {}

  // Runs before every present (the front end switches pictures there).
  std::function<void(Game&)> before_present;

  void RollReflection(Game& g, int ball, float forward, float sideways, float spin) override;
  void Draw(Game& g, bool interpolated) override;
  bool Present(Game& g) override;
  void ShowPlayfield(Game& g, bool dark) override;

  // Puts the lit or dark picture behind the table even if it shows already
  // (after another picture was shown); the caller redraws the table's parts.
  void ForcePlayfield(bool dark);
  // Another picture (loading, title) went behind the table.
  void OtherPictureShown() { shown_ = -1; }

 private:
  TableView& view_;
  render::DisplayDevice& device_;
  int shown_ = -1;  // 0 lit, 1 dark, −1 another picture
};

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
