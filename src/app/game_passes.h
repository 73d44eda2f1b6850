#pragma once
// Starting and ending games and the window commands the game answers itself.
// The passes of a frame (GamePasses) are declared in frame_passes.h.

#include <array>

#include "app/frame_passes.h"
#include "app/game.h"
#include "physics/computer_player.h"
#include "physics/flipper.h"

namespace app {

// The window commands a game answers itself: kCommandNewGame,
// kCommandNextPlayerCount, kCommandEndGame and kCommandComputerGame. The
// high-score entry and the rest belong to the window; false for those.
bool RunGameCommand(Game& g, int command, int arg);

// Reads the tuning file again from game.tuning_pack (the sound engine's tuning
// follows when there is one).
void ReloadTuning(Game& g);

// Starts a game as commands 101 and 116 do (computer: the demonstration).
void StartGame(Game& g, bool computer);

// Where the computer player finds the world's flippers: their boxes and pivots.
std::array<physics::FlipperReach, physics::kFlipperCount> FlipperReaches(const physics::World& w);

}  // namespace app
