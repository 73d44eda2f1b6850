#pragma once
// The passes one frame runs, in the order the frame loop calls them. A pass
// that a kind of run does not need is left as it is here: it does nothing
// (and a present succeeds); tests override single passes to watch the order. The hit pass and the
// rules frame run the table's rules; the flipper passes run the physics
// flippers of the game's world (frame_passes.cpp).

namespace app {

struct Game;

class FramePasses {
 public:
  virtual ~FramePasses() = default;

  // Once, on the first frame gate after start-up: the screen palette.
  virtual void PaletteStep(Game&) {}
  // Reads the controls into the game (while the computer plays: launches a
  // waiting ball instead).
  virtual void PollControls(Game&) {}
  virtual void ComputerPlayer(Game&) {}
  virtual void NudgeAndTilt(Game&) {}
  // The rules' check of one ball record; true asks for the follow-up.
  virtual bool BallLifecycleCheck(Game&, int /*ball*/) { return false; }
  virtual void BallFollowUp(Game&, int /*ball*/) {}
  // One flipper update for a control number (0 left, 1 right).
  virtual void UpdateFlipper(Game& g, int control, bool pressed, int hold_factor);
  // Advances a ball's reflection block by the step's rotation rates.
  virtual void RollReflection(Game&, int /*ball*/, float /*forward*/, float /*sideways*/,
                              float /*spin*/) {}
  // The rules' hit pass over both balls, after each step.
  virtual void HitPass(Game& game);
  virtual void FlipperSounds(Game& game);
  // Timers, drain and bonus, lamp shows, score display: once per frame.
  virtual void RulesFrame(Game& game);
  // Selects the flippers' drawn images (the drawing reads Flipper::image).
  virtual void RefreshFlipperImages(Game& game);
  // Puts the lit or dark playfield picture behind the table (the rules then
  // redraw its parts).
  virtual void ShowPlayfield(Game&, bool /*dark*/) {}
  // Composes the table; the ball records hold the positions to draw.
  virtual void Draw(Game&, bool /*interpolated*/) {}
  // Shows the composed picture; false when it could not be shown.
  virtual bool Present(Game&) { return true; }
};

}  // namespace app
