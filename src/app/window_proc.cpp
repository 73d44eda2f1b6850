#include "app/window_proc.h"

namespace app {

namespace {

using ui::Message;
using ui::MessageKind;

// The menus' view of the window.
class MenuBridge final : public ui::MenuHost {
 public:
  explicit MenuBridge(Window& w) : w_(w) {}
  void ResetIdleTicks() override { w_.flags.idle_ticks = 0; }
  void PlaySound(int32_t sound) override { w_.host.PlaySound(sound); }
  void SendCommand(int32_t command) override { WindowProc(w_, ui::CommandMessage(command)); }
  void PostMessage(const Message& m) override { w_.queue.Post(m); }
  void MarkRedraw() override { w_.host.MarkRedraw(); }
  bool PauseMenuShown() const override { return w_.app.pause_menu_shown != 0; }

 private:
  Window& w_;
};

// The flippers' hums loop while a flipper is held; a menu or a dialog cuts them.
void StopFlipperHums(Window& w) {
  w.host.StopSound(core::kSoundLeftHum);
  w.host.StopSound(core::kSoundRightHum);
}

void Destroy(Window& w) {
  w.host.KeyboardAcquire(false);
  w.flags.destroyed = 1;
  Message quit;
  quit.kind = MessageKind::kQuit;
  w.queue.Post(quit);
}

void SaveAndDestroy(Window& w) {
  w.host.SaveGameData();
  Destroy(w);
}

void LeaveTitle(Window& w) {
  w.app.title_shown = 0;
  w.app.main_menu_shown = 1;
  w.host.MarkRedraw();
}

void EndDemonstration(Window& w) {
  if (!w.app.computer_playing || w.app.main_menu_shown) return;
  w.host.GameCommand(core::kCommandEndGame, 0);  // ends the game and shows the main menu
  w.app.main_menu_shown = 1;
  w.app.computer_playing = 0;
  w.host.MarkRedraw();
  StopFlipperHums(w);
}

void StartGame(Window& w, int32_t command) {
  w.host.WarpMouseInPlace();
  w.host.JoypadsDetect();
  w.flags.first_idle_pass = 0;
  w.app.main_menu_shown = 0;
  w.host.MarkRedraw();
  w.host.GameCommand(command, 0);
}

void Options(Window& w) {
  ++w.flags.dialog_depth;
  w.host.OptionsDialog([&w](bool restart) {
    --w.flags.dialog_depth;
    if (restart) {
      w.flags.restart_requested = 1;
      SaveAndDestroy(w);
    }
  });
}

// The depth counts the dialog until it closes.
std::function<void()> DialogClosed(Window& w) {
  ++w.flags.dialog_depth;
  return [&w] { --w.flags.dialog_depth; };
}

void Command(Window& w, int32_t command, int32_t arg) {
  switch (command) {
    case core::kCommandNewGame:
      w.host.PlaySound(core::kSoundGameStart);
      w.host.PlaySound(core::kSoundGameStartSecond);
      w.app.computer_playing = 0;
      StartGame(w, core::kCommandNewGame);
      break;
    case core::kCommandNextPlayerCount:
      w.host.GameCommand(core::kCommandNextPlayerCount, 0);
      w.host.SaveGameData();
      w.host.MarkRedraw();
      break;
    case core::kCommandOptions:
    case core::kCommandPauseOptions:
      Options(w);
      break;
    case core::kCommandHighScores:
      w.host.HighScoreDialog(false, 0, DialogClosed(w));
      break;
    case core::kCommandHelp:
      w.host.Minimise();
      w.host.OpenHelp("");
      break;
    case core::kCommandQuit:
    case core::kCommandPauseQuit:
      StopFlipperHums(w);
      SaveAndDestroy(w);
      break;
    case core::kCommandHighScoreEntry:
      if (arg < 0 || arg > 3) break;  // a player index from elsewhere is not trusted
      w.host.HighScoreDialog(true, arg, DialogClosed(w));
      break;
    case core::kCommandAbout:
      w.host.PlaySound(core::kSoundPrize);
      w.host.AboutDialog(DialogClosed(w));
      break;
    case core::kCommandResume:
      ClosePauseMenu(w);
      break;
    case core::kCommandEndGame:
      StopFlipperHums(w);
      ClosePauseMenu(w);
      // The game ends first, as it was playing; then the main menu shows.
      w.host.GameCommand(core::kCommandEndGame, 0);
      w.app.main_menu_shown = 1;
      w.app.computer_playing = 0;
      break;
    case core::kCommandComputerGame:
      w.host.PlaySound(core::kSoundGameStart);
      w.host.PlaySound(core::kSoundGameStartSecond);
      w.app.computer_playing = 1;
      StartGame(w, core::kCommandComputerGame);
      break;
    case core::kCommandActivated:
      StopFlipperHums(w);
      w.host.MarkRedraw();
      break;
    default:
      break;
  }
}

// A game on the table with nothing over it: no menu, title or form.
bool InPlay(const Window& w) {
  return w.app.app_active && !w.app.main_menu_shown && !w.app.pause_menu_shown &&
         !w.app.title_shown && !w.app.loading_phase && w.flags.dialog_depth == 0;
}

void Activate(Window& w, bool active) {
  if (w.host.CaptureOpen()) w.host.CancelCapture();
  if (!active) {
    // Play stops under the pause menu, so the player comes back to it
    // rather than to a ball already moving.
    if (InPlay(w)) {
      StopFlipperHums(w);
      OpenPauseMenu(w);
    }
    w.app.app_active = 0;
    w.host.KeyboardAcquire(false);
  } else {
    if (w.flags.first_activation_seen) w.host.SettleClock();
    w.flags.first_activation_seen = 1;
    w.app.app_active = 1;
    w.host.KeyboardAcquire(true);
    w.host.JoypadsDetect();
  }
  w.host.MarkRedraw();
  w.queue.Post(ui::CommandMessage(core::kCommandActivated));
}

bool MenuHasFirstLook(const Window& w) {
  return (w.app.main_menu_shown || w.app.pause_menu_shown) && !w.flags.first_idle_pass &&
         !w.app.loading_phase && !w.app.title_shown && w.flags.dialog_depth == 0;
}

}  // namespace

bool WindowProc(Window& w, const Message& m) {
  if (m.kind == MessageKind::kQuit) return false;
  // The accelerator: F1 anywhere is the help command.
  if (m.kind == MessageKind::kKeyDown && m.param == ui::vk::kF1) {
    Command(w, core::kCommandHelp, 0);
    return true;
  }
  if (MenuHasFirstLook(w)) {
    MenuBridge bridge(w);
    ui::MenuScreen& screen = w.app.main_menu_shown ? w.menus.main_menu : w.menus.pause_menu;
    if (ui::MenuInput(screen, w.slots, m, bridge)) return true;
  }
  switch (m.kind) {
    case MessageKind::kDestroy:
      Destroy(w);
      break;
    case MessageKind::kMove:
    case MessageKind::kSize:
    case MessageKind::kDisplayChange:
    case MessageKind::kPaint:
    case MessageKind::kNonClientPaint:
    case MessageKind::kPaletteChanged:
      w.host.MarkRedraw();
      break;
    case MessageKind::kClose:
      if (w.app.app_active && !w.app.main_menu_shown) {
        StopFlipperHums(w);
        OpenPauseMenu(w);
      } else {
        SaveAndDestroy(w);
      }
      break;
    case MessageKind::kActivateApp:
      Activate(w, m.param != 0);
      break;
    case MessageKind::kKeyDown:
    case MessageKind::kLeftButtonDown:
    case MessageKind::kRightButtonDown:
      if (w.app.loading_phase) break;
      if (w.app.title_shown) {
        LeaveTitle(w);
      } else {
        EndDemonstration(w);
      }
      break;
    case MessageKind::kKeyUp:
      if (w.app.loading_phase) break;
      if (w.app.title_shown) {
        LeaveTitle(w);
        break;
      }
      if (m.param == ui::vk::kEscape || m.param == ui::vk::kPause) {
        w.host.MarkRedraw();
        EndDemonstration(w);
        w.host.ResetViewOffset();
        if (!w.app.main_menu_shown && !w.app.pause_menu_shown) {
          Message close;
          close.kind = MessageKind::kClose;
          w.queue.Post(close);
        }
      }
      break;
    case MessageKind::kEnterMenuLoop:
      w.app.system_menu_open = 1;
      break;
    case MessageKind::kExitMenuLoop:
      w.app.system_menu_open = 0;
      w.host.MarkRedraw();
      break;
    case MessageKind::kTimer:
      if (m.param == 1) WindowTick(w);
      break;
    case MessageKind::kCommand: {
      int32_t command = m.param & 0xFFFF;
      if (command >= core::kFirstWindowCommand && command <= core::kLastWindowCommand)
        Command(w, command, m.param2);
      break;
    }
    default:
      break;
  }
  return true;
}

void WindowTick(Window& w) {
  // 1. Music.
  if (w.app.main_menu_shown) {
    if (w.flags.dialog_depth == 0) {
      w.host.KeepLooping(kMenuMusic);
      w.host.StopSound(kTableMusic);
    }
  } else if (w.app.pause_menu_shown) {
    w.host.StopSound(kTableMusic);
    w.host.StopSound(kMenuMusic);
  } else {
    w.host.KeepLooping(kTableMusic);
    if (w.flags.dialog_depth == 0) w.host.StopSound(kMenuMusic);
  }
  // 2. Key capture.
  if (w.host.CaptureOpen()) w.host.CaptureTick();
  // The screen saver is kept away by the display itself (SDL blocks it
  // while the window is open).
  // 5. The idle demonstration.
  if (w.app.app_active && w.app.main_menu_shown && !w.app.loading_phase && !w.app.title_shown &&
      w.flags.dialog_depth == 0) {
    if (++w.flags.idle_ticks > kIdleDemoTicks) {
      if (!w.host.KeptDemonstration()) w.queue.Post(ui::CommandMessage(core::kCommandComputerGame));
      w.flags.idle_ticks = 0;
    }
  } else {
    w.flags.idle_ticks = 0;
  }
  // 6. The end of loading.
  if (w.app.loading_phase && w.app.app_active) {
    w.host.EnterIdleState();
    w.app.loading_phase = 0;
    if (w.flags.skip_instance_check) {
      w.app.main_menu_shown = 1;
    } else {
      w.app.title_shown = 1;
      w.host.ShowTitle();
    }
    w.host.MarkRedraw();
  }
}

void FirstIdlePass(Window& w) { w.flags.first_idle_pass = 0; }

bool FramesRun(const Window& w) { return w.app.app_active && !w.app.system_menu_open; }

void OpenPauseMenu(Window& w) {
  w.host.MarkRedraw();
  w.host.WarpMouseInPlace();
  w.app.pause_menu_shown = 1;
}

void ClosePauseMenu(Window& w) {
  w.host.MarkRedraw();
  w.app.pause_menu_shown = 0;
  w.host.WarpMouseInPlace();
  if (w.pause_hold_frames) *w.pause_hold_frames = 10;
}

}  // namespace app
