#pragma once
// The game's modal dialogs as Dear ImGui forms over a still copy of the
// screen: Options, New Video Mode, About, the submit offer and the high-score
// table. The forms keep the controls, texts, limits and results of the game's
// dialog resources; keyboard (Tab, arrows, Enter, Space, Escape), mouse and
// joypad all work. They are drawn in the menus' style and face (DejaVu Sans)
// at the window's scale, in window pixels.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sdl_events.h"
#include "render/display.h"
#include "store/high_scores.h"
#include "ui/options_dialog.h"

struct SDL_Window;
struct SDL_Renderer;
namespace input {
class EventKeyboard;
}

namespace platform {

class FormInput;

// The forms' scale for a window of that size: the smaller of the two ratios
// to 1024 x 768 (1 there, 1.41 at 1920 x 1080), at least 0.75 (640 x 480)
// and at most 4.
float FormScale(int window_width, int window_height);
// Dear ImGui's style in the menus' colours, rounding and spacing, at `scale`.
void StyleForms(float scale);

inline constexpr int kDialogOk = 1;
inline constexpr int kDialogCancel = 2;

// What the options form asks of the game while it is open.
struct OptionsHooks {
  std::function<void(int32_t step)> music_volume_changed;  // sets it at once, plays sound 60
  std::function<void(int32_t step)> sound_volume_changed;  // sets it at once, plays sound 56
  std::function<void()> change_controls;
  std::function<void(std::string_view topic)> help;
};

struct ControlsHooks {
  std::function<std::string(int32_t action)> binding_text;
  std::function<void(int32_t action)> change;  // runs the capture form
  std::function<void()> restore_defaults;      // asks first, then restores
  std::function<void(std::string_view topic)> help;
};

struct HighScoreHooks {
  std::function<void()> reset;  // clears the table and saves (after the confirmation)
  std::function<void(std::string_view topic)> help;
  // While viewing: rows for which this is true have a Watch button (null: none).
  std::function<bool(int row)> can_watch;
  std::function<void(int row)> watch;  // the Watch button of a row
};

// The forms are states of the game's one frame loop, not loops of their
// own: opening a form puts it on a stack and returns at once; each pass of
// the game's loop calls Frame, which reads the window's events, draws every
// open form (the top one answers, the ones below wait greyed) over the still
// copy of the screen and shows it. When the top form closes, its `done` runs
// with the result (it may open the next form). A form opened from a form
// (Controls from Options, a confirmation over the high scores) stacks on it.
class ImGuiDialogs {
 public:
  using Done = std::function<void(int result)>;

  ImGuiDialogs();
  ImGuiDialogs(const ImGuiDialogs&) = delete;
  ImGuiDialogs& operator=(const ImGuiDialogs&) = delete;
  ~ImGuiDialogs();

  // Sets up ImGui on the game's window and renderer.
  bool Open(SDL_Window* window, SDL_Renderer* renderer);
  void Close();

  // Paints the still copy of the screen behind every dialog (may be empty).
  void SetBackdropPainter(std::function<void()> paint) { paint_backdrop_ = std::move(paint); }
  // The keyboard that hears the keys while a form shows (a capture reads it).
  void SetKeyboard(input::EventKeyboard* keyboard) { keyboard_ = keyboard; }
  // Called with the top form's frame number once a frame is drawn, before it is shown.
  void SetDrawnHook(std::function<void(int)> hook) { drawn_hook_ = std::move(hook); }
  // The next form to open closes by itself with `result` after `frames`
  // frames (scripted answers), once; −1 frames: it waits for a person.
  void CloseNextAfter(int frames, int result) {
    AnswerNextWith(frames, [result] { return result; });
  }
  // The next form to open asks `answer` for its result on each frame it is
  // in front from its `frames`th on, until it gives one (not 0): a scripted
  // answer may first press a button that opens a form over it.
  void AnswerNextWith(int frames, std::function<int()> answer) {
    auto_frames_ = frames;
    auto_answer_ = std::move(answer);
  }
  // The next form to open gives up with its cancel result after this many frames (−1: never).
  void LimitNextTo(int frames) { next_limit_ = frames; }

  // Where the forms say what opens and closes and where each control of the
  // form in front is ("open T", "item T|LABEL X0 Y0 X1 Y1" in window pixels,
  // "shown T", "close T RESULT"); null: nowhere. Tests read it.
  void SetLog(std::FILE* log) { log_ = log; }

  // True while a form is open; the game's loop then runs Frame instead of play.
  bool Active() const { return !stack_.empty(); }
  int Depth() const { return static_cast<int>(stack_.size()); }
  // One frame of the forms: the window's events are read (the forms take the
  // keys, the mouse and the pads; `pass_on` gets the program's end, resizes
  // and the full-screen keys), the forms are drawn and shown, and a top form
  // that has its answer closes (its `done` runs). Nothing when none is open.
  void Frame(const std::function<void(const Event&)>& pass_on);
  // True when the forms would draw the same picture again (nothing was
  // read, nothing moves): the loop may wait for an event instead.
  bool AtRest() const;
  // Closes every open form with its cancel result, top first (the program ends).
  void CancelAll();
  // Frames until no form is open or `max_frames` ran (tests, and callers
  // with no loop of their own). True when none is open.
  bool RunUntilClosed(int max_frames, const std::function<void(int frame)>& before_frame = {});

  void Options(const ui::OptionsForm& form, const render::ModeTable& modes,
               const OptionsHooks& hooks,
               std::function<void(int result, const ui::OptionsForm& form)> done);
  void NewVideoMode(Done done);
  void About(const std::function<void()>& open_link, Done done);
  void SubmitOffer(Done done);
  // entry_row −1 views; 0-9 enters `score` there with `name` (at most 10
  // characters) editable, selected so that typing replaces it. `done` gets
  // the typed name with OK while entering. "Reset High Scores" asks first
  // (stacked) and calls hooks.reset on OK.
  void HighScores(const store::HighScoreTable& table, int entry_row, int32_t score,
                  const std::string& name, const HighScoreHooks& hooks,
                  std::function<void(int result, const std::string& name)> done);
  void ResetScoresConfirm(Done done);
  // A short message for the player with an OK button (a failed save, a damaged file kept aside).
  void Notice(std::string_view text, Done done = {});
  // "Change Controls": one button per action showing its binding; OK or Cancel.
  void Controls(const ControlsHooks& hooks, Done done);
  void RestoreDefaultsConfirm(Done done);
  // "Change Control": the prompt until `tick` (run every frame) returns 1
  // (a binding was taken) or 2 (cancelled); Escape is left to `tick`.
  void Capture(std::string_view prompt, std::function<int()> tick, Done done);

 private:
  struct Form;
  // A question with OK and Cancel.
  void Question(const char* text, Done done);
  // Opens a form: `body` draws it each frame and returns its result when
  // it has one (1, 2, ...). Escape and a window close give `cancel_result`.
  // The form takes the size of what it holds; wrapped text runs at most
  // `wrap_em` font heights wide.
  void Push(std::string title, float wrap_em, std::function<int()> body, int cancel_result,
            Done done, bool escape_cancels = true, bool keys_are_answers = false);
  // Closes the top form with `result` and runs its `done`.
  void Pop(int result);
  // Loads the face and the style at the window's scale when it changed.
  void FollowWindowScale();

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  bool open_ = false;
  bool controllers_ = false;
  float scale_ = 0.0f;  // of the face and style now loaded
  bool font_loaded_ = false;
  int auto_frames_ = -1;
  std::function<int()> auto_answer_;
  int next_limit_ = -1;
  uint64_t serial_ = 0;
  std::vector<std::unique_ptr<Form>> stack_;
  std::unique_ptr<FormInput> input_;
  int settle_frames_ = 0;  // frames still to draw after the last input
  double last_frame_ms_ = 0.0;
  std::function<void()> paint_backdrop_;
  input::EventKeyboard* keyboard_ = nullptr;
  std::function<void(int)> drawn_hook_;
  std::FILE* log_ = nullptr;
};

}  // namespace platform
