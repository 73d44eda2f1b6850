#pragma once
// The passes one frame runs, in the order the frame loop (frame_loop.cpp)
// calls them. GamePasses is the game's one set of passes; FramePasses is only
// the seam through which a test puts its own passes under the frame loop to
// watch the order.

#include <array>

#include "physics/flipper.h"

namespace render {
class DisplayDevice;
}

namespace app {

struct Game;
struct HeadlessStats;
struct TableView;

class FramePasses {
 public:
  virtual ~FramePasses() = default;

  // Once, on the first frame gate after start-up: the screen palette.
  virtual void PaletteStep(Game&) = 0;
  // Reads the controls into the game (while the computer plays: launches a
  // waiting ball instead).
  virtual void PollControls(Game&) = 0;
  virtual void ComputerPlayer(Game&) = 0;
  virtual void NudgeAndTilt(Game&) = 0;
  // The rules' check of one ball record; true asks for the follow-up.
  virtual bool BallLifecycleCheck(Game&, int ball) = 0;
  virtual void BallFollowUp(Game&, int ball) = 0;
  // One flipper update for a control number (0 left, 1 right).
  virtual void UpdateFlipper(Game&, int control, bool pressed, int hold_factor) = 0;
  // Advances a ball's reflection block by the step's rotation rates.
  virtual void RollReflection(Game&, int ball, float forward, float sideways, float spin) = 0;
  // The rules' hit pass over both balls, after each step.
  virtual void HitPass(Game&) = 0;
  virtual void FlipperSounds(Game&) = 0;
  // Timers, drain and bonus, lamp shows, score display: once per frame.
  virtual void RulesFrame(Game&) = 0;
  // Selects the flippers' drawn images (the drawing reads Flipper::image).
  virtual void RefreshFlipperImages(Game&) = 0;
  // Puts the lit or dark playfield picture behind the table (the rules then
  // redraw its parts).
  virtual void ShowPlayfield(Game&, bool dark) = 0;
  // Composes the table; the ball records hold the positions to draw.
  virtual void Draw(Game&, bool interpolated) = 0;
  // Shows the composed picture; false when it could not be shown.
  virtual bool Present(Game&) = 0;
};

// The passes of the game: the controls, the computer player, nudge and tilt,
// the ball lifecycle and drain, the flippers, the rules and the game flow;
// with a view also the drawing through the compositor and presenting through
// the display device (without one nothing is drawn and every present
// succeeds). The bodies are in frame_loop.cpp, after the frame that calls them.
class GamePasses final : public FramePasses {
 public:
  GamePasses() = default;
  GamePasses(TableView& view, render::DisplayDevice& device) : view_(&view), device_(&device) {}

  // Where the fastest ball of each step is noted (may be null).
  HeadlessStats* stats = nullptr;

  void PaletteStep(Game&) override {}
  void PollControls(Game& g) override;
  void ComputerPlayer(Game& g) override;
  void NudgeAndTilt(Game& g) override;
  bool BallLifecycleCheck(Game& g, int ball) override;
  void BallFollowUp(Game& g, int ball) override;
  void UpdateFlipper(Game& g, int control, bool pressed, int hold_factor) override;
  void RollReflection(Game& g, int ball, float forward, float sideways, float spin) override;
  void HitPass(Game& g) override;
  void FlipperSounds(Game& g) override;
  void RulesFrame(Game& g) override;
  void RefreshFlipperImages(Game& g) override;
  void ShowPlayfield(Game& g, bool dark) override;
  void Draw(Game& g, bool interpolated) override;
  bool Present(Game& g) override;

  // Puts the lit or dark picture behind the table even if it shows already
  // (after another picture was shown); the caller redraws the table's parts.
  void ForcePlayfield(bool dark);
  // The title picture went behind the table: the table comes back (and is
  // redrawn) at the first present after the title and the loading are over.
  void TitleShown() {
    shown_ = -1;
    title_on_ = true;
  }

 private:
  TableView* view_ = nullptr;
  render::DisplayDevice* device_ = nullptr;
  int shown_ = -1;  // 0 lit, 1 dark, -1 another picture
  bool title_on_ = false;
};

}  // namespace app
