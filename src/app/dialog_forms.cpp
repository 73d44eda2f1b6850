#include "app/dialog_forms.h"

#include <algorithm>
#include <charconv>

#include "store/high_score_entry.h"

namespace app {

bool ScriptedForms::OptionsAnswer(ui::OptionsForm& form, const render::ModeTable& modes,
                                  const OptionsFormHooks& hooks) {
  ui::DialogAnswer a = answers_.Take("options", "cancel");
  // The word "controls" presses "Change Controls..." (its form takes its own answer).
  std::string text = a.text;
  for (size_t at; (at = (" " + text + " ").find(" controls ")) != std::string::npos;) {
    text.erase(at, std::min<size_t>(text.size() - at, 9));
    if (hooks.change_controls) hooks.change_controls();
  }
  if (a.result != "ok") return false;
  if (!ui::ApplyOptionsText(form, modes, text)) errors.push_back("options: " + a.text);
  return true;
}

void ScriptedForms::Options(const ui::OptionsForm& form, const render::ModeTable& modes,
                            const OptionsFormHooks& hooks,
                            std::function<void(bool, const ui::OptionsForm&)> done) {
  ui::OptionsForm f = form;
  const bool ok = OptionsAnswer(f, modes, hooks);
  if (done) done(ok, f);
}

bool ScriptedForms::Take(const char* dialog, const char* fallback, const char* ok_word) {
  return answers_.Take(dialog, fallback).result == ok_word;
}

void ScriptedForms::NewVideoMode(Answer done) {
  const bool ok = Take("newmode", "cancel", "ok");
  if (done) done(ok);
}

void ScriptedForms::About(const std::function<void()>&, std::function<void()> done) {
  answers_.Take("about", "ok");
  if (done) done();
}

void ScriptedForms::SubmitOffer(Answer done) {
  const bool ok = Take("submit", "no", "yes");
  if (done) done(ok);
}

bool ScriptedForms::HighScoresAnswer(int entry_row, std::string& name,
                                     const std::function<void()>& reset,
                                     const HighScoreWatch& watch, DialogForms& confirm_with) {
  const bool entering = entry_row >= 0;
  ui::DialogAnswer a = answers_.Take("highscore", entering ? "cancel" : "ok");
  if (a.result == "reset" && !entering) {
    confirm_with.ResetScoresConfirm([reset](bool ok) {
      if (ok && reset) reset();
    });
    return true;
  }
  if (a.result == "watch" && !entering) {
    // "watch N": the Watch button of row N (1-10), which must have one.
    int row = 0;
    const std::string& t = a.text;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), row);
    if (ec != std::errc() || end != t.data() + t.size() || row < 1 || row > store::kHighScoreRows ||
        !watch.rows[static_cast<size_t>(row - 1)]) {
      errors.push_back("highscore watch: " + t);
    } else if (watch.start) {
      watch.start(row - 1);
    }
    return true;
  }
  if (a.result != "ok") return false;
  if (entering) name = store::CutToCharacters(a.text, 10);
  return true;
}

void ScriptedForms::HighScores(const store::HighScoreTable&, int entry_row, int32_t,
                               const std::string& name,
                               const std::function<void(std::string_view)>&,
                               const std::function<void()>& reset, const HighScoreWatch& watch,
                               std::function<void(bool, const std::string&)> done) {
  std::string typed = name;
  const bool ok = HighScoresAnswer(entry_row, typed, reset, watch, *this);
  if (done) done(ok, typed);
}

void ScriptedForms::ResetScoresConfirm(Answer done) {
  const bool ok = Take("resetscores", "no", "yes");
  if (done) done(ok);
}

void ScriptedForms::Controls(const ControlsFormHooks& hooks, Answer done) {
  ui::DialogAnswer a = answers_.Take("controls", "cancel");
  if (!RunControlsSteps(a.text, hooks, answers_)) errors.push_back("controls: " + a.text);
  if (done) done(a.result == "ok");
}

void ScriptedForms::RestoreDefaultsConfirm(Answer done) {
  const bool ok = Take("restorekeys", "cancel", "ok");
  if (done) done(ok);
}

void ScriptedForms::Capture(std::string_view, std::function<int()> tick, Answer done) {
  bool bound = false;
  for (int frame = 0; frame < kScriptedCaptureFrames; ++frame) {
    if (int r = tick(); r != 0) {
      bound = r == 1;
      break;
    }
    if (!pump_ || !pump_()) break;
  }
  if (done) done(bound);
}

void ScriptedForms::Notice(std::string_view) { answers_.log.push_back("notice ok"); }

bool ScriptedForms::RunControlsSteps(std::string_view text, const ControlsFormHooks& hooks,
                                     ui::ScriptedAnswers& answers) {
  bool ok = true;
  while (!text.empty()) {
    const size_t space = text.find(' ');
    std::string_view word = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    if (word.empty()) continue;
    if (word.starts_with("capture=")) {
      int action = -1;
      std::string_view v = word.substr(8);
      auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), action);
      if (ec != std::errc() || end != v.data() + v.size() || action < 0 || action > 5) {
        ok = false;
        continue;
      }
      if (hooks.capture) hooks.capture(action);
    } else if (word == "defaults=ok" || word == "defaults=cancel") {
      // The confirmation's answer goes first in line, then the button is pressed.
      answers.pending.push_front({"restorekeys", std::string(word.substr(9)), ""});
      if (hooks.restore_defaults) hooks.restore_defaults();
    } else {
      ok = false;
    }
  }
  return ok;
}

}  // namespace app
