#pragma once
// The sound slots: each holds one sound loaded at start-up (sound/sound_list.h
// says which file), and the game plays a sound by its slot. Slots below
// kSoundFirstMusic are game sounds, the others music; each group has its own
// switch and volume.

namespace core {

enum SoundSlot : int {
  kSoundKicker = 0,            // the rebound kicker strikes
  kSoundServe = 1,             // a ball is served onto the plunger; a new game
  kSoundBallWall = 3,          // the ball hits a hard wall or rail (speed-scaled)
  kSoundBallHit = 4,           // the ball hits a rubber, a flipper or the other ball (speed-scaled)
  kSoundNudge = 5,             // the table is nudged
  kSoundHoleCatch = 10,        // the kicker hole catches the ball
  kSoundHoleThrow = 11,        // the kicker hole throws it out
  kSoundLeftHum = 20,          // the left flipper held (loops)
  kSoundLeftUp = 21,           // the left flipper goes up
  kSoundLeftDown = 22,         // the left flipper comes down
  kSoundRightHum = 23,         // the right flipper held (loops)
  kSoundRightUp = 24,          // the right flipper goes up
  kSoundRightDown = 25,        // the right flipper comes down
  kSoundGameStart = 40,        // a game starts (with kSoundGameStartSecond)
  kSoundBumperUnlit = 41,      // a bumper hit with its lamp off
  kSoundBumperLit = 42,        // a bumper hit with its lamp on
  kSoundFirstBumper = 43,      // the first bumper hit
  kSoundDropTarget = 44,       // a drop target falls; the targets come back up
  kSoundTreeLaneUnlit = 45,    // a TREE lane whose lamp was off
  kSoundTreeLaneLit = 46,      // a TREE lane whose lamp was on; the upper lane
  kSoundSantaLaneUnlit = 47,   // a SANTA lane whose lamp was off
  kSoundSantaLaneLit = 48,     // a SANTA lane whose lamp was on
  kSoundLaunchSoft = 50,       // the plunger released at under half strength
  kSoundLaunchMedium = 51,     // ... at half to three quarters
  kSoundLaunchHard = 52,       // ... at three quarters or more
  kSoundAward = 53,            // an award collected
  kSoundGameStartSecond = 55,  // a game starts, the second sound
  kSoundClick = 56,            // a spinner turn (even); the menu click; the game-volume sample
  kSoundClickOdd = 57,         // a spinner turn (odd)
  kSoundCounter = 58,          // one step of the score drums
  kSoundMetal = 59,            // a wire gate passage
  kSoundFirstMusic = 60,       // the first music slot
  kSoundPrize = 60,            // skill shot and awards; the music-volume sample
  kSoundTableMusic = 200,      // the music in play (loops)
  kSoundMenuMusic = 201,       // the music of the menus (loops)
};

}  // namespace core
