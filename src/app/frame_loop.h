#pragma once
// The frame driver: whole physics steps of 6.6 ms of real time, the rules once
// per frame, and drawing with the balls placed between their last two steps.

#include "app/game.h"

namespace app {

inline constexpr double kStepMs = 6.6;
inline constexpr double kLagCapMs = 33.0;
inline constexpr int kMaxExtraSteps = 5;  // at most 6 steps per frame
inline constexpr int kFlipperHoldFactor = 7;
inline constexpr int kEarlyWaitLimit = 10000;

// Runs one frame when the application is active and its system menu is not
// open, and returns 0; otherwise returns 1 (the message loop then waits for
// the next message). The first call also runs the palette step.
int FrameGate(Game& game);

// The body of one frame.
void RunFrame(Game& game);

// Steps one ball as a frame does (mirrored above the top edge), then rolls its
// reflection.
int StepOneBall(Game& game, int index);

}  // namespace app
