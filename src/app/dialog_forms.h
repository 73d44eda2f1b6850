#pragma once
// The game's modal forms as the front end sees them: each call shows one form
// and returns what the player chose. The windowed game draws them with ImGui;
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
  // Runs the capture form for one action; true when a new binding was taken.
  std::function<bool(int32_t action)> capture;
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

class DialogForms {
 public:
  virtual ~DialogForms() = default;
  // True for OK; the form holds what the player set.
  virtual bool Options(ui::OptionsForm& form, const render::ModeTable& modes,
                       const OptionsFormHooks& hooks) = 0;
  virtual bool NewVideoMode() = 0;
  virtual void About(const std::function<void()>& open_link) = 0;
  virtual bool SubmitOffer() = 0;
  // entry_row −1 views the table; 0-9 edits `name` for `score` there. True
  // for OK. While viewing, "Reset High Scores" asks ResetScoresConfirm and on
  // OK calls `reset` (which clears and saves the table). While viewing, the
  // rows `watch` marks have a Watch button that calls `watch.start`.
  virtual bool HighScores(const store::HighScoreTable& table, int entry_row, int32_t score,
                          std::string& name, const std::function<void(std::string_view)>& help,
                          const std::function<void()>& reset, const HighScoreWatch& watch) = 0;
  virtual bool ResetScoresConfirm() = 0;
  // True for OK.
  virtual bool Controls(const ControlsFormHooks& hooks) = 0;
  virtual bool RestoreDefaultsConfirm() = 0;
  // Shows the capture prompt; `tick` runs on every pass of the form's loop and
  // returns 0 to go on, 1 when a binding was taken, 2 to cancel. True for 1.
  virtual bool Capture(std::string_view prompt, const std::function<int()>& tick) = 0;
  // A short message over the game with an OK button; nothing to answer.
  virtual void Notice(std::string_view text) = 0;
};

// Forms answered by the input script ("MS answer DIALOG RESULT [TEXT]"). A
// form with no answer waiting gets the fallback result (Cancel, or OK where a
// form has nothing to cancel). `pump` advances the script by one frame while
// a form waits on time (the capture form).
class ScriptedForms final : public DialogForms {
 public:
  ScriptedForms(ui::ScriptedAnswers& answers, std::function<bool()> pump)
      : answers_(answers), pump_(std::move(pump)) {}

  bool Options(ui::OptionsForm& form, const render::ModeTable& modes,
               const OptionsFormHooks& hooks) override;
  bool NewVideoMode() override;
  void About(const std::function<void()>& open_link) override;
  bool SubmitOffer() override;
  bool HighScores(const store::HighScoreTable& table, int entry_row, int32_t score,
                  std::string& name, const std::function<void(std::string_view)>& help,
                  const std::function<void()>& reset, const HighScoreWatch& watch) override;
  bool ResetScoresConfirm() override;
  bool Controls(const ControlsFormHooks& hooks) override;
  bool RestoreDefaultsConfirm() override;
  bool Capture(std::string_view prompt, const std::function<int()>& tick) override;
  void Notice(std::string_view text) override;

  // Runs the steps of a controls answer's text against the form's hooks:
  // "capture=A" (action 0-5) and "defaults=ok|cancel", in order. False on an
  // unknown word.
  static bool RunControlsSteps(std::string_view text, const ControlsFormHooks& hooks,
                               ui::ScriptedAnswers& answers);

  std::vector<std::string> errors;  // answer texts that could not be used

 private:
  ui::ScriptedAnswers& answers_;
  std::function<bool()> pump_;
};

// The longest a scripted capture waits for a key (ms of script time).
inline constexpr int kScriptedCaptureFrames = 3600;

}  // namespace app
