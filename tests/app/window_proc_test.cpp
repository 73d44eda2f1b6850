#include "app/window_proc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace app {
namespace {

using ui::MessageKind;
namespace vk = ui::vk;

struct FakeWindowHost : WindowHost {
  std::vector<std::string> log;
  std::vector<int32_t> game_commands, played, looping;
  int saves = 0;
  bool accept_new_mode = false;
  bool capture_open = false;
  int capture_ticks = 0;
  bool kept_demonstration = false;  // what KeptDemonstration answers
  int kept_demonstrations = 0;
  void PlaySound(int32_t s) override { played.push_back(s); }
  void StopSound(int32_t) override {}
  void KeepLooping(int32_t s) override { looping.push_back(s); }
  void GameCommand(int32_t c, int32_t) override { game_commands.push_back(c); }
  void SaveGameData() override { ++saves; }
  void OptionsDialog(std::function<void(bool)> closed) override {
    log.push_back("options");
    closed(accept_new_mode);
  }
  void HighScoreDialog(bool entry, int32_t p, std::function<void()> closed) override {
    log.push_back(std::string(entry ? "enter " : "view ") + std::to_string(p));
    closed();
  }
  void AboutDialog(std::function<void()> closed) override {
    log.push_back("about");
    closed();
  }
  bool KeptDemonstration() override {
    ++kept_demonstrations;
    return kept_demonstration;
  }
  void OpenHelp(std::string_view t) override { log.push_back("help " + std::string(t)); }
  void Minimise() override { log.push_back("minimise"); }
  void RaiseWindow() override {}
  void MarkRedraw() override {}
  void EnterIdleState() override { log.push_back("idle state"); }
  void ShowTitle() override { log.push_back("title"); }
  bool CaptureOpen() override { return capture_open; }
  void CaptureTick() override { ++capture_ticks; }
  void CancelCapture() override {
    log.push_back("cancel capture");
    capture_open = false;
  }
  void KeyboardAcquire(bool) override {}
  void JoypadsDetect() override {}
  void SettleClock() override {}
  void ResetViewOffset() override {}
  void WarpMouseInPlace() override {}
};

// A window at its first start with a fake host.
struct WindowRig {
  int32_t main_menu_shown = 0, computer_playing = 0;  // the rules' flags
  AppFlags app{main_menu_shown, computer_playing};
  render::SpriteSlots slots;
  FakeWindowHost host;
  Window w{app, {}, {}, ui::MakeMenuScreens(), slots, host};
  int32_t hold = 0;

  WindowRig() {
    app.loading_phase = 1;
    app.main_menu_shown = 1;
    w.pause_hold_frames = &hold;
  }
  WindowRig(const WindowRig&) = delete;
  WindowRig& operator=(const WindowRig&) = delete;
  // Handles the message and whatever it posts, as the message loop does.
  void Send(const ui::Message& m) {
    w.queue.Post(m);
    Drain();
  }
  void Drain() {
    while (auto next = w.queue.Take()) {
      if (!WindowProc(w, *next)) {
        quit = true;
        return;
      }
    }
    FirstIdlePass(w);
  }
  void Tap(int32_t key) {
    Send(ui::KeyMessage(MessageKind::kKeyDown, key));
    Send(ui::KeyMessage(MessageKind::kKeyUp, key));
  }
  void Tick(int n = 1) {
    ui::Message t;
    t.kind = MessageKind::kTimer;
    t.param = 1;
    for (int i = 0; i < n; ++i) Send(t);
  }
  // Loading ends on the first tick; the title waits for a key.
  void ToMainMenu() {
    Tick();
    ASSERT_EQ(app.title_shown, 1);
    Tap(vk::kSpace);
    ASSERT_EQ(app.title_shown, 0);
    ASSERT_EQ(app.main_menu_shown, 1);
  }
  bool quit = false;
};

struct WindowTest : ::testing::Test, WindowRig {};

TEST_F(WindowTest, LoadingThenTitleThenMenu) {
  Tap(vk::kEnter);  // ignored while loading
  EXPECT_EQ(app.loading_phase, 1);
  Tick();
  EXPECT_EQ(app.loading_phase, 0);
  EXPECT_EQ(host.log, (std::vector<std::string>{"idle state", "title"}));
  // The key that leaves the title does not reach the menu.
  Tap(vk::kEnter);
  EXPECT_EQ(app.title_shown, 0);
  EXPECT_TRUE(host.game_commands.empty());
  // Up from New Game selects Quit, Down wraps back.
  Tap(vk::kUp);
  EXPECT_EQ(w.menus.main_menu.selected, 6);
  Tap(vk::kDown);
  EXPECT_EQ(w.menus.main_menu.selected, 0);
  Tap(vk::kEnter);
  EXPECT_EQ(host.game_commands, std::vector<int32_t>{101});
  EXPECT_EQ(app.main_menu_shown, 0);
}

TEST_F(WindowTest, RestartSkipsTheTitle) {
  w.flags.skip_instance_check = 1;
  Tick();
  EXPECT_EQ(app.title_shown, 0);
  EXPECT_EQ(app.main_menu_shown, 1);
}

TEST_F(WindowTest, EscapeDoesNothingOnTheMainMenuAndPausesPlay) {
  ToMainMenu();
  Tap(vk::kEscape);
  EXPECT_EQ(app.pause_menu_shown, 0);
  EXPECT_EQ(app.main_menu_shown, 1);
  EXPECT_FALSE(quit);
  Tap(vk::kEnter);  // New Game
  ASSERT_EQ(app.main_menu_shown, 0);
  Tap(vk::kEscape);
  EXPECT_EQ(app.pause_menu_shown, 1);
  EXPECT_EQ(w.menus.pause_menu.selected, 1);
  Tap(vk::kEscape);  // Escape on the pause menu returns to the game
  EXPECT_EQ(app.pause_menu_shown, 0);
  EXPECT_EQ(hold, 10);
  Tap(vk::kPause);
  EXPECT_EQ(app.pause_menu_shown, 1);
  Tap(vk::kDown);
  Tap(vk::kDown);  // Quit to the main menu
  Tap(vk::kEnter);
  EXPECT_EQ(app.pause_menu_shown, 0);
  EXPECT_EQ(app.main_menu_shown, 1);
  EXPECT_EQ(host.game_commands, (std::vector<int32_t>{101, 112}));
}

TEST_F(WindowTest, OneMinuteIdleStartsTheDemonstrationAndAKeyEndsIt) {
  ToMainMenu();
  Tick(kIdleDemoTicks);
  EXPECT_EQ(app.computer_playing, 0);
  Tap(vk::kLeft);  // any key in the menu counts as activity
  Tick(kIdleDemoTicks);
  EXPECT_EQ(app.computer_playing, 0);
  Tick();
  EXPECT_EQ(app.computer_playing, 1);
  EXPECT_EQ(app.main_menu_shown, 0);
  EXPECT_EQ(host.game_commands, std::vector<int32_t>{116});
  Send(ui::MouseMessage(MessageKind::kLeftButtonDown, 5, 5));
  EXPECT_EQ(app.computer_playing, 0);
  EXPECT_EQ(app.main_menu_shown, 1);
  EXPECT_EQ(host.game_commands, (std::vector<int32_t>{116, 112}));
  // Music follows the screen: menu music on the menu.
  EXPECT_EQ(host.looping.back(), kMenuMusic);
}

TEST_F(WindowTest, AKeptGameShownAsTheDemonstrationTakesThePlaceOfTheComputer) {
  ToMainMenu();
  host.kept_demonstration = true;
  Tick(kIdleDemoTicks + 1);
  EXPECT_EQ(host.kept_demonstrations, 1);
  EXPECT_EQ(app.computer_playing, 0);
  EXPECT_EQ(app.main_menu_shown, 1);
  EXPECT_TRUE(host.game_commands.empty());
  // Another idle minute asks again (the host knows whether its game still shows).
  Tick(kIdleDemoTicks + 1);
  EXPECT_EQ(host.kept_demonstrations, 2);
  EXPECT_TRUE(host.game_commands.empty());
}

TEST_F(WindowTest, CloseRequestPausesPlayAndQuitsFromTheMenu) {
  ToMainMenu();
  Tap(vk::kEnter);
  ui::Message close;
  close.kind = MessageKind::kClose;
  Send(close);
  EXPECT_EQ(app.pause_menu_shown, 1);
  EXPECT_FALSE(quit);
  Send(ui::CommandMessage(112));
  Send(close);
  EXPECT_TRUE(quit);
  EXPECT_EQ(host.saves, 1);
}

TEST_F(WindowTest, CommandsOpenDialogsAndCountTheirDepth) {
  ToMainMenu();
  Send(ui::CommandMessage(104));
  Send(ui::CommandMessage(108, 2));
  Send(ui::CommandMessage(108, 9));  // no such player
  Send(ui::CommandMessage(109));
  Send(ui::KeyMessage(MessageKind::kKeyDown, vk::kF1));
  Send(ui::CommandMessage(100));  // outside 101..120
  EXPECT_EQ(host.log, (std::vector<std::string>{"idle state", "title", "view 0", "enter 2", "about",
                                                "minimise", "help "}));
  EXPECT_EQ(w.flags.dialog_depth, 0);
  Send(ui::CommandMessage(102));
  EXPECT_EQ(host.saves, 1);
  Send(ui::CommandMessage(103));
  EXPECT_FALSE(quit);
  EXPECT_EQ(w.flags.restart_requested, 0);
  host.accept_new_mode = true;
  Send(ui::CommandMessage(103));
  EXPECT_TRUE(quit);
  EXPECT_EQ(w.flags.restart_requested, 1);
  EXPECT_EQ(host.saves, 2);
}

TEST_F(WindowTest, ActivationStopsFramesAndCancelsCapture) {
  ToMainMenu();
  host.capture_open = true;
  Tick();
  EXPECT_EQ(host.capture_ticks, 1);
  ui::Message a;
  a.kind = MessageKind::kActivateApp;
  a.param = 0;
  Send(a);
  EXPECT_FALSE(FramesRun(w));
  EXPECT_FALSE(host.capture_open);
  // No idle count while inactive.
  Tick(kIdleDemoTicks + 5);
  EXPECT_EQ(app.computer_playing, 0);
  a.param = 1;
  Send(a);
  EXPECT_TRUE(FramesRun(w));
}

// Losing the focus pauses play, as the close button does; over the menus,
// the title or a form it changes nothing but the activity.
TEST_F(WindowTest, FocusLossPausesPlayOnly) {
  ui::Message lost, back;
  lost.kind = back.kind = MessageKind::kActivateApp;
  lost.param = 0;
  back.param = 1;
  struct Case {
    const char* where;
    void (*set_up)(WindowRig&);
    int32_t pause_menu_after;
  };
  const Case cases[] = {
      {"title", [](WindowRig& t) { t.Tick(); }, 0},
      {"main menu", [](WindowRig& t) { t.ToMainMenu(); }, 0},
      {"play",
       [](WindowRig& t) {
         t.ToMainMenu();
         t.Tap(vk::kEnter);
       },
       1},
      {"computer's game",
       [](WindowRig& t) {
         t.ToMainMenu();
         t.Send(ui::CommandMessage(116));
       },
       1},
      {"pause menu",
       [](WindowRig& t) {
         t.ToMainMenu();
         t.Tap(vk::kEnter);
         t.Tap(vk::kEscape);
       },
       1},
      {"form during play",
       [](WindowRig& t) {
         t.ToMainMenu();
         t.Tap(vk::kEnter);
         t.w.flags.dialog_depth = 1;  // as while Options is open
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    WindowRig t;
    c.set_up(t);
    const int32_t main_before = t.app.main_menu_shown;
    const int32_t title_before = t.app.title_shown;
    t.Send(lost);
    EXPECT_EQ(t.app.pause_menu_shown, c.pause_menu_after);
    EXPECT_EQ(t.app.main_menu_shown, main_before);
    EXPECT_EQ(t.app.title_shown, title_before);
    EXPECT_FALSE(FramesRun(t.w));
    EXPECT_FALSE(t.quit);
    // Coming back keeps what losing it showed: play waits for the player.
    t.Send(back);
    EXPECT_TRUE(FramesRun(t.w));
    EXPECT_EQ(t.app.pause_menu_shown, c.pause_menu_after);
  }
}

}  // namespace
}  // namespace app
