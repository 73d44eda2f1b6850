#pragma once
// Checks a recording that was read (reader.h) against what the game itself
// could have written, before it drives anything: a recording is shared, so
// its contents are a stranger's. Every field read from the file is checked
// here, in one place: clock readings, events, counts, checkpoints and the
// header's settings.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "replay/recording.h"

namespace replay {

// The bounds a recording must keep. The defaults are the program's own; the
// frame loop's inputs and times are numbered by the driver, which fills them
// in (app::RecordingLimits).
struct Limits {
  // A clock reading: ms since the clock began, never backward. No session
  // runs for 46 days, and the frame loop counts whole ms in 32 bits.
  double max_clock_ms = 4.0e9;
  // Clock readings in one frame (a frame that waits for its step reads the
  // clock once a millisecond, up to its wait limit).
  uint32_t max_readings_per_frame = 10016;
  // Input changes in one frame.
  uint32_t max_events_per_frame = 4096;
  // A window position, either way.
  int32_t max_pointer = 65536;
  // Pointer buttons held: a mask of this many buttons.
  int32_t pointer_buttons = 5;
  // Keyboard scan codes 0..max_scan_code.
  int32_t max_scan_code = 255;
  // A checkpoint's score.
  int32_t max_score = INT32_MAX;
  // Loop inputs (kLoopState: a = which, b = value within [first, second]).
  std::vector<std::pair<int32_t, int32_t>> loop_inputs;
  // Loop times (kLoopTime: a = which, time within [first, second]).
  std::vector<std::pair<double, double>> loop_times;
};

// Where a recording fails and why: "frame 12", "clock reading 3", "is not a
// finite number".
struct Problem {
  std::string record;  // "header", "frame 12", "checkpoint 3"
  std::string field;   // "clock reading 3", "event 2 (loop time) value", "setting width"
  std::string why;
  // "frame 12, clock reading 3: is not a finite number"
  std::string Line() const;
};

// The first problem of a recording (in file order), or nullopt when every
// field is within what the game writes.
std::optional<Problem> Validate(const Recording& recording, const Limits& limits);

}  // namespace replay
