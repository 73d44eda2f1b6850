#pragma once
// The game's modal dialogs as Dear ImGui forms over a still copy of the
// screen: Options, New Video Mode, About, the submit offer and the high-score
// table. Each runs its own nested loop on the game's SDL window and renderer
// and returns the dialog's result, so callers stay synchronous. The forms keep
// the controls, texts, limits and results of the game's dialog resources;
// keyboard (Tab, arrows, Enter, Escape), mouse and joypad all work. They are
// drawn in the menus' style and face (DejaVu Sans) at the window's scale.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "render/display.h"
#include "store/high_scores.h"
#include "ui/options_dialog.h"

struct SDL_Window;
struct SDL_Renderer;
namespace input {
class EventKeyboard;
}

namespace platform {

// The forms' scale for a window of that size: 1 at 1024 x 768 and below,
// growing with the smaller of the two ratios (1.41 at 1920 x 1080), at most 4.
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

class ImGuiDialogs {
 public:
  ImGuiDialogs() = default;
  ImGuiDialogs(const ImGuiDialogs&) = delete;
  ImGuiDialogs& operator=(const ImGuiDialogs&) = delete;
  ~ImGuiDialogs();

  // Sets up ImGui on the game's window and renderer.
  bool Open(SDL_Window* window, SDL_Renderer* renderer);
  void Close();

  // Paints the still copy of the screen behind every dialog (may be empty).
  void SetBackdropPainter(std::function<void()> paint) { paint_backdrop_ = std::move(paint); }
  // Tests: give up with Cancel after this many frames (−1: never).
  void SetFrameLimit(int frames) { frame_limit_ = frames; }
  // Called before each frame's events are read, with the frame number.
  void SetFrameHook(std::function<void(int)> hook) { frame_hook_ = std::move(hook); }
  // The keyboard that hears the keys a dialog's loop reads (a capture reads it).
  void SetKeyboard(input::EventKeyboard* keyboard) { keyboard_ = keyboard; }
  // Called with the frame number once a frame is drawn, before it is shown.
  void SetDrawnHook(std::function<void(int)> hook) { drawn_hook_ = std::move(hook); }
  // The next dialog to open closes by itself with `result` after `frames`
  // frames (scripted answers), once.
  void CloseNextAfter(int frames, int result) {
    auto_frames_ = frames;
    auto_result_ = result;
  }

  int Options(ui::OptionsForm& form, const render::ModeTable& modes, const OptionsHooks& hooks);
  int NewVideoMode();
  int About(const std::function<void()>& open_link);
  int SubmitOffer();
  // entry_row −1 views; 0-9 enters `score` there with `name` (at most 10 characters)
  // editable. On OK while entering, `name` takes the typed text.
  int HighScores(const store::HighScoreTable& table, int entry_row, int32_t score,
                 std::string& name, const HighScoreHooks& hooks);
  int ResetScoresConfirm();
  // A short message for the player with an OK button (a failed save, a damaged file kept aside).
  int Notice(std::string_view text);
  // "Change Controls": one button per action showing its binding; OK or Cancel.
  int Controls(const ControlsHooks& hooks);
  int RestoreDefaultsConfirm();
  // "Change Control": the prompt until `tick` (run every frame) returns 1
  // (a binding was taken) or 2 (cancelled); Escape is left to `tick`.
  int Capture(std::string_view prompt, const std::function<int()>& tick);

 private:
  // A question with OK and Cancel.
  int Question(const char* text);
  // Runs frames of `body` until it returns a result (1, 2, ...). Escape and a
  // window close give `cancel_result`. The form takes the size of what it
  // holds; wrapped text runs at most `wrap_em` font heights wide.
  int Run(const char* title, float wrap_em, const std::function<int()>& body, int cancel_result,
          bool escape_cancels = true);
  // Loads the face and the style at the window's scale when it changed.
  void FollowWindowScale();

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  bool open_ = false;
  bool controllers_ = false;
  float scale_ = 0.0f;  // of the face and style now loaded
  bool font_loaded_ = false;
  int frame_limit_ = -1;
  int auto_frames_ = -1;
  int auto_result_ = 0;
  std::function<void()> paint_backdrop_;
  std::function<void(int)> frame_hook_;
  input::EventKeyboard* keyboard_ = nullptr;
  std::function<void(int)> drawn_hook_;
};

}  // namespace platform
