#pragma once
// The passes of a game being played: the control poll, the computer player,
// nudge and tilt, the ball lifecycle and drain, and the rules frame with the
// game flow and the score display. The windowed game and headless play both
// run a Game with these passes (or a subclass).

#include <array>

#include "app/frame_passes.h"
#include "app/game.h"
#include "physics/computer_player.h"
#include "physics/flipper.h"

namespace app {

class GamePasses : public FramePasses {
 public:
  void PollControls(Game& g) override;
  void ComputerPlayer(Game& g) override;
  void NudgeAndTilt(Game& g) override;
  bool BallLifecycleCheck(Game& g, int ball) override;
  void BallFollowUp(Game& g, int ball) override;
  void HitPass(Game& g) override;
  void RulesFrame(Game& g) override;
};

// The window commands a game answers itself: kCommandNewGame,
// kCommandNextPlayerCount, kCommandEndGame and kCommandComputerGame. The
// high-score entry and the rest belong to the window; false for those.
bool RunGameCommand(Game& g, int command, int arg);

// Starts a game as commands 101 and 116 do (computer: the demonstration).
void StartGame(Game& g, bool computer);

// Where the computer player finds the world's flippers: their boxes and pivots.
std::array<physics::FlipperReach, physics::kFlipperCount> FlipperReaches(const physics::World& w);

// Copies the application flags into the rules, and the game flow's flags back
// to the frame loop. The passes call them around every rules call.
void SyncFlagsIn(Game& g);
void SyncFlagsOut(Game& g);

}  // namespace app
