#pragma once
// The game's modal forms as the front end sees them: each call opens one form
// and hands what the player chose to a continuation. The windowed game draws them with ImGui;
// scripted runs answer them from the input script. Either way the callers
// (front_end_host.cpp) keep the rules of what each answer does.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "render/display.h"
#include "store/high_scores.h"
#include "ui/dialog_answers.h"
#include "ui/options_dialog.h"

namespace app {

// What the options form may ask while it is open.
struct OptionsFormHooks {
  std::function<void(int32_t step)> music_volume_changed;
  std::function<void(int32_t step)> sound_volume_changed;
  std::function<void()> change_controls;
  std::function<void(std::string_view topic)> help;
};

// What the controls form may ask while it is open.
struct ControlsFormHooks {
  std::function<std::string(int32_t action)> binding_text;
  // Opens the capture form for one action.
  std::function<void(int32_t action)> capture;
  // Asks for confirmation and, on OK, puts back the default bindings.
  std::function<void()> restore_defaults;
  std::function<void(std::string_view topic)> help;
};

// The Watch buttons of the high-score table: which rows have a kept
// recording, and what watching one does.
struct HighScoreWatch {
  std::array<bool, store::kHighScoreRows> rows{};
  std::function<void(int row)> start;
  bool Any() const {
    for (bool r : rows)
      if (r) return true;
    return false;
  }
};

// Each call opens one form; `done` runs with the player's answer when it
// closes, which may be at once (scripted answers) or frames later (a person
// at the window: the form is a state of the game's one loop). Nothing waits.
class DialogForms {
 public:
  using Answer = std::function<void(bool ok)>;
  virtual ~DialogForms() = default;
  // OK: true, with the form as the player set it.
  virtual void Options(const ui::OptionsForm& form, const render::ModeTable& modes,
                       const OptionsFormHooks& hooks,
                       std::function<void(bool ok, const ui::OptionsForm& form)> done) = 0;
  virtual void NewVideoMode(Answer done) = 0;
  virtual void About(const std::function<void()>& open_link, std::function<void()> done) = 0;
  virtual void SubmitOffer(Answer done) = 0;
  // entry_row −1 views the table; 0-9 edits `name` for `score` there; `done`
  // gets OK and the name. While viewing, "Reset High Scores" asks
  // ResetScoresConfirm and on OK calls `reset` (which clears and saves the
  // table). While viewing, the rows `watch` marks have a Watch button that
  // calls `watch.start`.
  virtual void HighScores(const store::HighScoreTable& table, int entry_row, int32_t score,
                          const std::string& name,
                          const std::function<void(std::string_view)>& help,
                          const std::function<void()>& reset, const HighScoreWatch& watch,
                          std::function<void(bool ok, const std::string& name)> done) = 0;
  virtual void ResetScoresConfirm(Answer done) = 0;
  virtual void Controls(const ControlsFormHooks& hooks, Answer done) = 0;
  virtual void RestoreDefaultsConfirm(Answer done) = 0;
  // Shows the capture prompt; `tick` runs on every frame of the form and
  // returns 0 to go on, 1 when a binding was taken, 2 to cancel. True for 1.
  virtual void Capture(std::string_view prompt, std::function<int()> tick, Answer done) = 0;
  // A short message over the game with an OK button; nothing to answer.
  virtual void Notice(std::string_view text) = 0;
};

// Forms answered by the input script ("MS answer DIALOG RESULT [TEXT]"). A
// form with no answer waiting gets the fallback result (Cancel, or OK where a
// form has nothing to cancel), at once. `pump` advances the script by one
// frame while a form waits on time (the capture form).
class ScriptedForms final : public DialogForms {
 public:
  ScriptedForms(ui::ScriptedAnswers& answers, std::function<bool()> pump)
      : answers_(answers), pump_(std::move(pump)) {}

  void Options(const ui::OptionsForm& form, const render::ModeTable& modes,
               const OptionsFormHooks& hooks,
               std::function<void(bool, const ui::OptionsForm&)> done) override;
  void NewVideoMode(Answer done) override;
  void About(const std::function<void()>& open_link, std::function<void()> done) override;
  void SubmitOffer(Answer done) override;
  void HighScores(const store::HighScoreTable& table, int entry_row, int32_t score,
                  const std::string& name, const std::function<void(std::string_view)>& help,
                  const std::function<void()>& reset, const HighScoreWatch& watch,
                  std::function<void(bool, const std::string&)> done) override;
  void ResetScoresConfirm(Answer done) override;
  void Controls(const ControlsFormHooks& hooks, Answer done) override;
  void RestoreDefaultsConfirm(Answer done) override;
  void Capture(std::string_view prompt, std::function<int()> tick, Answer done) override;
  void Notice(std::string_view text) override;

  // The answers alone, for forms on screen that show first and take the
  // script's answer as they close.
  bool OptionsAnswer(ui::OptionsForm& form, const render::ModeTable& modes,
                     const OptionsFormHooks& hooks);
  // "reset" asks `confirm_with` (these forms, or the ones on screen) first.
  bool HighScoresAnswer(int entry_row, std::string& name, const std::function<void()>& reset,
                        const HighScoreWatch& watch, DialogForms& confirm_with);
  bool Take(const char* dialog, const char* fallback, const char* ok_word);

  // Runs the steps of a controls answer's text against the form's hooks:
  // "capture=A" (action 0-5) and "defaults=ok|cancel", in order. False on an
  // unknown word.
  static bool RunControlsSteps(std::string_view text, const ControlsFormHooks& hooks,
                               ui::ScriptedAnswers& answers);

  std::vector<std::string> errors;  // answer texts that could not be used
  ui::ScriptedAnswers& answers() { return answers_; }

 private:
  ui::ScriptedAnswers& answers_;
  std::function<bool()> pump_;
};

// The longest a scripted capture waits for a key (ms of script time).
inline constexpr int kScriptedCaptureFrames = 3600;

}  // namespace app
