#pragma once
// Scripted lamp shows: sixteen slots, four of them written here. A script is
// a list of (operation, argument) steps run one due tick at a time; a tick is
// due when the show's elapsed time passes its step period.

#include <array>
#include <cstdint>

namespace rules {

struct Table;

inline constexpr int kShowSlots = 16;
inline constexpr int kShowSteps = 256;
inline constexpr int kShowStepPeriod = 30;  // ms

// Show numbers the game starts.
inline constexpr int kShowAttract = 0;
inline constexpr int kShowSweep = 1;
inline constexpr int kShowAward = 2;
inline constexpr int kShowSkillShot = 3;

enum ShowOp : uint8_t {
  kOpEnd = 0,
  kOpLampOn = 1,   // argument: row
  kOpLampOff = 2,  // argument: row
  kOpWait = 3,     // the following steps run argument + 1 due ticks later
  kOpRestart = 4,  // start again from the first step
};

struct ShowStep {
  uint8_t op = kOpEnd;
  uint8_t arg = 0;
};

struct LampShow {
  int32_t active = 0;
  int32_t step_period = kShowStepPeriod;  // ms
  std::array<ShowStep, kShowSteps> steps{};
  int32_t position = -1;  // step last run; -1 before the first
  int32_t elapsed = 0;    // ms since the last due tick
  int32_t wait = 0;       // due ticks still to skip
};

// The sixteen slots with the four scripts in slots 0 to 3 (the rest empty).
std::array<LampShow, kShowSlots> BuildLampShows();

// Starts show n from its first step and marks every lamp it switches as
// show-owned. Numbers of 16 or more are ignored.
void StartLampShow(Table& table, int n);
// Stops show n (when active) and gives every lamp it switched back its
// logical picture; a blinking lamp is left to its blinking.
void StopLampShow(Table& table, int n);
void StopAllLampShows(Table& table);
// Once per rules frame: advances every active show by the frame time (ms).
void StepLampShows(Table& table, int32_t frame_time);

}  // namespace rules
