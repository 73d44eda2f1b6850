#pragma once
// The game window's procedure: one queue of window messages (platform events,
// the 50 ms tick, posted commands) handled one at a time between frames. The
// menus get the first look at each message while they show; the window
// commands 101-120 start and end games, open the dialogs and quit.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string_view>

#include "app/game.h"
#include "render/true_colour_sprite.h"
#include "ui/menu_screen.h"
#include "ui/window_message.h"

namespace app {

// The window's own flags; the ones the frame loop shares live in AppFlags.
struct WindowFlags {
  int32_t dialog_depth = 0;
  int32_t restart_requested = 0;
  int32_t safe_mode = 0;
  int32_t skip_instance_check = 0;
  int32_t idle_ticks = 0;
  int32_t first_idle_pass = 1;  // menu input stays off until the queue first runs dry
  int32_t first_activation_seen = 0;
  int32_t destroyed = 0;
};

inline constexpr int32_t kIdleDemoTicks = 1200;  // one minute of 50 ms ticks
inline constexpr int32_t kMenuMusic = core::kSoundMenuMusic;
inline constexpr int32_t kTableMusic = core::kSoundTableMusic;

struct MessageQueue {
  std::deque<ui::Message> messages;
  void Post(const ui::Message& m) { messages.push_back(m); }
  std::optional<ui::Message> Take() {
    if (messages.empty()) return std::nullopt;
    ui::Message m = messages.front();
    messages.pop_front();
    return m;
  }
  bool Empty() const { return messages.empty(); }
};

// What the window asks of the rest of the program.
class WindowHost {
 public:
  virtual ~WindowHost() = default;
  virtual void PlaySound(int32_t sound) = 0;
  virtual void StopSound(int32_t sound) = 0;
  virtual void KeepLooping(int32_t sound) = 0;
  // The game's own commands (101, 102, 112, 116).
  virtual void GameCommand(int32_t command, int32_t arg) = 0;
  virtual void SaveGameData() = 0;
  // The dialogs open over the game; `closed` runs when they close (at once
  // for scripted answers, frames later for a person). Options: true when the
  // player accepted a new video mode.
  virtual void OptionsDialog(std::function<void(bool restart)> closed) = 0;
  virtual void HighScoreDialog(bool entry, int32_t player, std::function<void()> closed) = 0;
  virtual void AboutDialog(std::function<void()> closed) = 0;
  // The idle demonstration: true when the host shows something of its own
  // (a kept game) instead of the computer playing.
  virtual bool KeptDemonstration() { return false; }
  virtual void OpenHelp(std::string_view topic) = 0;
  virtual void Minimise() = 0;
  virtual void RaiseWindow() = 0;
  virtual void MarkRedraw() = 0;
  // Puts the table and the rules in their idle state at the end of loading.
  virtual void EnterIdleState() = 0;
  virtual void ShowTitle() = 0;
  virtual bool CaptureOpen() = 0;
  virtual void CaptureTick() = 0;
  virtual void CancelCapture() = 0;
  virtual void KeyboardAcquire(bool on) = 0;
  virtual void JoypadsDetect() = 0;
  virtual void SettleClock() = 0;
  virtual void ResetViewOffset() = 0;
  virtual void WarpMouseInPlace() = 0;
};

struct Window {
  AppFlags& app;  // shared with the frame loop
  WindowFlags flags;
  MessageQueue queue;
  ui::MenuScreens menus = ui::MakeMenuScreens();
  const render::SpriteSlots& slots;
  WindowHost& host;
  int32_t* pause_hold_frames = nullptr;  // the frame loop's hold after the pause menu
};

// Handles one message. Returns false once the quit message is taken.
bool WindowProc(Window& w, const ui::Message& m);

// The 50 ms tick: music, capture, the screen-saver nudge, the idle
// demonstration and the end of loading.
void WindowTick(Window& w);

// Called when the queue first runs dry (switches the menu input on).
void FirstIdlePass(Window& w);

// True while frames run: the window is active and no system menu is open.
bool FramesRun(const Window& w);

void OpenPauseMenu(Window& w);
void ClosePauseMenu(Window& w);

}  // namespace app
