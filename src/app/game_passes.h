#pragma once
// Starting and ending games, the window commands the game answers itself,
// and the copies of flags between the frame loop and the rules. The passes of
// a frame (GamePasses) are declared in frame_passes.h.

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

// Starts a game as commands 101 and 116 do (computer: the demonstration).
void StartGame(Game& g, bool computer);

// Where the computer player finds the world's flippers: their boxes and pivots.
std::array<physics::FlipperReach, physics::kFlipperCount> FlipperReaches(const physics::World& w);

// Copies the application flags into the rules, and the game flow's flags back
// to the frame loop. The passes call them around every rules call.
void SyncFlagsIn(Game& g);
void SyncFlagsOut(Game& g);

}  // namespace app
