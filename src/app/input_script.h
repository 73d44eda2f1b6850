#pragma once
// Input scripts: a text file of timed events that plays the game instead of a
// person (tests, pictures, demonstrations). Every way of running reads it
// with ReadInputScript and feeds it with one ScriptFeed.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/control_binding.h"

namespace input {
class EventKeyboard;
}
namespace ui {
struct ScriptedAnswers;
}

namespace app {

struct Game;
struct MessageQueue;

// One line of an input script.
enum class ScriptKind { kAction, kCommand, kKey, kMouse, kClick, kPress, kRelease, kAnswer, kShot };

struct ScriptEvent {
  double ms = 0.0;
  int action = -1;  // core::Action, or -1 for a window command
  bool down = false;
  int command = 0;
  ScriptKind kind = ScriptKind::kAction;
  int code = 0;                      // kKey: keyboard scan code
  int x = 0, y = 0;                  // kMouse, kClick
  std::string dialog, result, text;  // kAnswer
};

// Parses "MS ACTION down|up", "MS cmd N", "MS key CODE down|up" (a keyboard
// scan code, decimal or 0x..), "MS mouse X Y", "MS click X Y" (a move, a
// press and a release of the left button there), "MS press X Y", "MS release X Y" and
// "MS answer DIALOG RESULT [TEXT]" and "MS shot NAME" (a picture of the window,
// windowed runs with a shots folder) lines; # starts a comment line.
// Events come back sorted by time (stable). On a bad line returns nullopt
// and sets error to "line N: ...".
std::optional<std::vector<ScriptEvent>> ParseInputScript(std::string_view text, std::string& error);

// Reads and parses the script file at `path`. On failure returns nullopt and
// sets error to the line for the player ("cannot read F", "F: line N: ...").
std::optional<std::vector<ScriptEvent>> ReadInputScript(const std::string& path,
                                                        std::string& error);

// Hands a script's events to the game as their times come. Actions are held
// in `actions` and set on the game; window commands go to the window's queue,
// or straight to the game when there is no window. Keys, the mouse, dialog
// answers and pictures need the window and are skipped without one.
struct ScriptFeed {
  explicit ScriptFeed(const std::vector<ScriptEvent>& events) : script(events) {}

  const std::vector<ScriptEvent>& script;
  size_t next = 0;
  bool shift = false;
  std::array<int32_t, core::kActionCount> actions{};  // held by "MS ACTION down" lines
  std::function<void(const std::string&)> on_shot;    // "MS shot NAME" (may be empty)

  // Delivers every event due at `now` (ms of script time). `queue`, `answers`
  // and `keyboard` may be null.
  void Deliver(double now, Game& g, MessageQueue* queue, ui::ScriptedAnswers* answers,
               input::EventKeyboard* keyboard);
};

}  // namespace app
