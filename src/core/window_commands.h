#pragma once
// The window commands: the numbers the menu items send, the game flow posts,
// scripts give as "MS cmd N" and the window procedure handles. They stay
// numbers (messages and scripts carry them as such); these are their names.

#include <cstdint>

namespace core {

enum WindowCommand : int32_t {
  kCommandNewGame = 101,          // a new game for the chosen number of players
  kCommandNextPlayerCount = 102,  // the next number of players (1..4, round again)
  kCommandOptions = 103,          // the Options dialog, from the main menu
  kCommandHighScores = 104,       // the high-score table
  kCommandHelp = 106,             // the help pages in the browser
  kCommandQuit = 107,             // save and leave, from the main menu
  kCommandHighScoreEntry = 108,   // a new high score to enter; argument: the player 0..3
  kCommandAbout = 109,            // the About box
  kCommandResume = 110,           // close the pause menu and play on
  kCommandPauseOptions = 111,     // the Options dialog, from the pause menu
  kCommandEndGame = 112,          // end the game and show the main menu
  kCommandPauseQuit = 113,        // save and leave, from the pause menu
  kCommandComputerGame = 116,     // a game the computer plays (the demonstration)
  kCommandActivated = 120,        // after an activation change: quiet the flippers, repaint
};

// Commands outside this range are not the window's and are ignored.
inline constexpr int32_t kFirstWindowCommand = 101;
inline constexpr int32_t kLastWindowCommand = 120;

}  // namespace core
