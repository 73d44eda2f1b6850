#pragma once
// What the window procedure asks of the program, answered once for the
// windowed game and for scripted runs: game commands, saving the game data
// file, the options, controls, high-score and about dialogs with their rules,
// help, music and sounds. The screen side (pictures, the window itself) is a
// FrontEndScreen; without one nothing is drawn.

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialog_forms.h"
#include "app/game.h"
#include "app/run_setup.h"
#include "app/window_proc.h"
#include "input/capture.h"
#include "input/controls.h"
#include "sound/sound_engine.h"
#include "store/game_data.h"

namespace input {
class EventKeyboard;
}

namespace app {

class FrontEndScreen {
 public:
  virtual ~FrontEndScreen() = default;
  virtual void MarkRedraw() {}
  // The title picture replaces the table until a key or click.
  virtual void ShowTitle() {}
  virtual void EnterIdleState() {}
  virtual void Minimise() {}
  virtual void Raise() {}
  virtual void WarpMouseInPlace() {}
  virtual void ResetViewOffset() {}
  // A dialog is about to show over the game / has closed.
  virtual void OpenBackdrop() {}
  virtual void CloseBackdrop() {}
  // Opens a web address or file: URL in the user's browser.
  virtual void OpenUrl(const std::string&) {}
};

// The devices the controls read, shared by play and the capture form.
struct FrontEndInput {
  input::Controls controls;
  input::InputDevices devices;  // may be empty (no keyboard: capture binds nothing)
  // The keyboard of `devices`, which the window's and the script's key events set
  // (null: no keyboard; the script's actions alone then play).
  input::EventKeyboard* keyboard = nullptr;
};

class ReplayHook;

// The kept recording of each high-score row (its player and score), empty
// for a row that has none or is empty.
std::array<std::string, store::kHighScoreRows> WatchableRows(const store::HighScoreTable& table,
                                                             const std::string& folder);

// Starts args[0] with the rest as its arguments in a process of its own that
// this one neither waits for nor ends with. Returns its process id, or −1
// (with the reason) when it could not start.
int StartDetached(const std::vector<std::string>& args, std::string& error);

class FrontEndHost final : public WindowHost {
 public:
  FrontEndHost(Game& g, store::GameData& data, std::filesystem::path file, DialogForms& forms,
               FrontEndScreen& screen, FrontEndInput& input, const render::ModeTable& modes)
      : g_(g),
        data_(data),
        file_(std::move(file)),
        forms_(forms),
        screen_(screen),
        input_(input),
        modes_(modes) {}

  // Set before the first message: the sound engine (may be null) and the
  // folders that may hold the help pages.
  sound::SoundEngine* sound = nullptr;
  std::vector<std::string> help_folders;

  int saves = 0;
  std::vector<std::string> log;  // help topics opened and the like
  // Where the messages for the player also go (stderr in the game).
  std::FILE* err = stderr;
  // False when the game data file must not or cannot be written: saves then
  // do nothing (the reason was said once at start).
  bool saving = true;
  std::vector<std::string> notices;  // every message said to the player, in order
  // Records the game commands the menus give (may be null).
  ReplayHook* replay_hook = nullptr;
  // The kept games (empty: none): the high-score rows with a recording get a
  // Watch button, which runs `watch_command` followed by
  // "--replay FILE --window" through `start_process`.
  std::string kept_games_folder;
  // The window's sharp-scaling choice (the Options form's "Sharp" box); unset
  // without a window.
  std::function<bool()> sharp_scaling;
  std::function<void(bool)> set_sharp_scaling;
  std::vector<std::string> watch_command;
  std::function<int(const std::vector<std::string>&, std::string&)> start_process = StartDetached;
  // The idle demonstration shows the best kept game instead of the computer
  // playing, when there is one (the demo setting), through `show_kept_game`
  // (unset: never), which plays it inside the window and returns when it ends.
  bool demo_kept_game = false;
  std::function<KeptGameShow(const std::string& file)> show_kept_game;
  // Where the Options form's OK writes the demo setting when it changed
  // (empty: it is not kept).
  std::filesystem::path demo_settings_file;

  // Tells the player: a line on `err` and a short message in the window.
  void Say(const std::string& text);

  // Puts the settings' sound switches and levels into the engine.
  void ApplySoundSettings();

  void PlaySound(int32_t sound) override;
  void StopSound(int32_t sound) override;
  void KeepLooping(int32_t sound) override;
  void GameCommand(int32_t command, int32_t arg) override;
  void SaveGameData() override;
  void OptionsDialog(std::function<void(bool restart)> closed) override;
  void HighScoreDialog(bool entry, int32_t player, std::function<void()> closed) override;
  void AboutDialog(std::function<void()> closed) override;
  bool KeptDemonstration() override;
  void OpenHelp(std::string_view topic) override;
  void Minimise() override { screen_.Minimise(); }
  void RaiseWindow() override { screen_.Raise(); }
  void MarkRedraw() override { screen_.MarkRedraw(); }
  void EnterIdleState() override { screen_.EnterIdleState(); }
  void ShowTitle() override { screen_.ShowTitle(); }
  // The capture form is one of the forms (see ControlsDialog), which run
  // while the window's messages wait: the window's tick never finds it open.
  bool CaptureOpen() override { return false; }
  void CaptureTick() override {}
  void CancelCapture() override {}
  void KeyboardAcquire(bool on) override;
  void JoypadsDetect() override;
  void SettleClock() override;
  void ResetViewOffset() override { screen_.ResetViewOffset(); }
  void WarpMouseInPlace() override { screen_.WarpMouseInPlace(); }

  // The controls form over the options form. One at a time; `closed` gets true for OK.
  void ControlsDialog(std::function<void(bool ok)> closed);

 private:
  bool OptionsFromPause() const;
  void CaptureBinding(int32_t action);
  // Shows `file` in a window of its own; its process id, or −1 (said to the player).
  int StartReplayWindow(const std::string& file);

  Game& g_;
  store::GameData& data_;
  std::filesystem::path file_;
  DialogForms& forms_;
  FrontEndScreen& screen_;
  FrontEndInput& input_;
  const render::ModeTable& modes_;
  bool options_open_ = false;
  bool controls_open_ = false;
  // Kept games that could not be shown or diverged: the computer plays instead.
  std::set<std::string> faulty_demos_;
};

}  // namespace app
