#pragma once
// Answers for the game's modal dialogs, given ahead of time (scripted runs and
// tests) instead of by a player at a form.

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct DialogAnswer {
  std::string dialog;  // "options", "newmode", "about", "submit", "highscore", "controls"
  std::string result;  // "ok", "cancel", "yes", "no", "reset", "watch" (text: row 1-10)
  std::string text;    // e.g. the name typed into the high-score dialog
};

struct ScriptedAnswers {
  std::deque<DialogAnswer> pending;
  // Every dialog opened, with the result it got, in order ("about ok", ...).
  std::vector<std::string> log;

  // The answer for `dialog`: the oldest pending answer when it names this
  // dialog, else `fallback` (the pending ones stay for the dialogs they name).
  DialogAnswer Take(std::string_view dialog, std::string_view fallback) {
    DialogAnswer a;
    if (!pending.empty() && pending.front().dialog == dialog) {
      a = pending.front();
      pending.pop_front();
    } else {
      a.dialog = std::string(dialog);
      a.result = std::string(fallback);
    }
    log.push_back(a.dialog + " " + a.result);
    return a;
  }
};

}  // namespace ui
