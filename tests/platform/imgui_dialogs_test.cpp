#include "platform/imgui_dialogs.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <cstdlib>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "input/event_keyboard.h"

namespace platform {
namespace {

// A hidden window on SDL's dummy video driver with a software renderer.
struct DialogTest : ::testing::Test {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  ImGuiDialogs dialogs;

  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window = SDL_CreateWindow("test", 0, 0, 800, 600, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    ASSERT_NE(renderer, nullptr) << SDL_GetError();
    ASSERT_TRUE(dialogs.Open(window, renderer));
  }
  void TearDown() override {
    dialogs.Close();
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  void PushKey(SDL_Keycode key, SDL_Scancode code, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = key;
    e.key.keysym.scancode = code;
    e.key.windowID = SDL_GetWindowID(window);
    SDL_PushEvent(&e);
  }
  void PushText(const char* text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = SDL_GetWindowID(window);
    std::snprintf(e.text.text, sizeof e.text.text, "%s", text);
    SDL_PushEvent(&e);
  }
};

render::ModeTable AllModes() {
  render::ModeTable t;
  for (auto& row : t.available) row.fill(true);
  return t;
}

// Runs frames of the forms until none is open or `frames` ran; `before`
// gets each frame's number first (to push the window's events).
bool RunFrames(ImGuiDialogs& d, int frames, const std::function<void(int)>& before = {}) {
  return d.RunUntilClosed(frames, before);
}

TEST_F(DialogTest, ATapBetweenTwoFramesIsAPressAndEscapeCancels) {
  int result = 0;
  dialogs.NewVideoMode([&](int r) { result = r; });
  EXPECT_TRUE(dialogs.Active());
  int closed_at = -1;
  RunFrames(dialogs, 20, [&](int frame) {
    closed_at = frame;
    if (frame == 3) {  // down and up before the next frame: a 0 ms tap
      PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
      PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, false);
    }
  });
  EXPECT_EQ(result, kDialogCancel);
  EXPECT_LT(closed_at, 6);
  // A form the program must leave gives its cancel result (OK for a notice).
  int about = 0, notice = 0;
  dialogs.About(nullptr, [&](int r) { about = r; });
  dialogs.Notice("Saved.", [&](int r) { notice = r; });
  EXPECT_EQ(dialogs.Depth(), 2);
  dialogs.CancelAll();
  EXPECT_EQ(about, kDialogCancel);
  EXPECT_EQ(notice, kDialogOk);
  EXPECT_FALSE(dialogs.Active());
}

TEST_F(DialogTest, EnterAndSpacePressTheFocusedButton) {
  for (SDL_Scancode key : {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_SPACE}) {
    int result = 0;
    dialogs.SubmitOffer([&](int r) { result = r; });
    RunFrames(dialogs, 20, [&](int frame) {
      if (frame == 3) {
        PushKey(SDLK_UNKNOWN, key, true);
        PushKey(SDLK_UNKNOWN, key, false);
      }
    });
    EXPECT_EQ(result, kDialogOk) << SDL_GetScancodeName(key);  // "Yes", the first button
  }
}

TEST_F(DialogTest, ControlsOpenOverOptionsInTheSameLoopAndEachClosesOnItsOwn) {
  render::ModeTable modes = AllModes();
  ui::OptionsForm form = ui::OpenOptionsForm(ui::OptionsValues{}, modes, false);
  std::vector<std::string> log;
  OptionsHooks hooks;
  hooks.change_controls = [&] {
    log.push_back("controls opened");
    dialogs.Controls({}, [&](int r) { log.push_back("controls " + std::to_string(r)); });
  };
  dialogs.Options(form, modes, hooks, [&](int r, const ui::OptionsForm&) {
    log.push_back("options " + std::to_string(r));
  });
  // The form opens on Music; Down five times reaches "Change Controls..."
  // (the column: volume, Game sounds, volume, Display Nudge).
  std::vector<std::pair<int, SDL_Scancode>> taps;
  for (int i = 0; i < 5; ++i) taps.emplace_back(3 + 2 * i, SDL_SCANCODE_DOWN);
  taps.emplace_back(20, SDL_SCANCODE_RETURN);
  taps.emplace_back(30, SDL_SCANCODE_ESCAPE);  // the controls form
  int depth_at_25 = 0, depth_at_35 = 0;
  RunFrames(dialogs, 40, [&](int frame) {
    for (auto [at, key] : taps) {
      if (at == frame) {
        PushKey(SDLK_UNKNOWN, key, true);
        PushKey(SDLK_UNKNOWN, key, false);
      }
    }
    if (frame == 25) depth_at_25 = dialogs.Depth();
    if (frame == 35) depth_at_35 = dialogs.Depth();
  });
  EXPECT_EQ(depth_at_25, 2);
  EXPECT_EQ(depth_at_35, 1);
  EXPECT_EQ(log, (std::vector<std::string>{"controls opened", "controls 2"}));
  RunFrames(dialogs, 10, [&](int frame) {
    if (frame == 2) {
      PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
      PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, false);
    }
  });
  EXPECT_EQ(log.back(), "options 2");
}

TEST_F(DialogTest, OptionsArrowsStayInTheirColumnAndStepTheSliders) {
  render::ModeTable modes = AllModes();
  ui::OptionsValues v;
  v.music_volume = 1;  // loudness 8
  ui::OptionsForm form = ui::OpenOptionsForm(v, modes, false);
  std::vector<int32_t> music_steps;
  int controls = 0;
  OptionsHooks hooks;
  hooks.music_volume_changed = [&](int32_t step) { music_steps.push_back(step); };
  hooks.change_controls = [&] { ++controls; };
  ui::OptionsForm got;
  int result = 0;
  dialogs.Options(form, modes, hooks, [&](int r, const ui::OptionsForm& f) {
    result = r;
    got = f;
  });
  // From Music: Down (music volume), Left twice (quieter, no text box),
  // Down x3 to Display Nudge, Space (off), Down (Change Controls..., not the
  // other column's "High (32-bit)"), Space (presses it), Down (Best kept
  // game), Down (OK, under the columns), Enter.
  const SDL_Scancode keys[] = {SDL_SCANCODE_DOWN,  SDL_SCANCODE_LEFT, SDL_SCANCODE_LEFT,
                               SDL_SCANCODE_DOWN,  SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN,
                               SDL_SCANCODE_SPACE, SDL_SCANCODE_DOWN, SDL_SCANCODE_SPACE,
                               SDL_SCANCODE_DOWN,  SDL_SCANCODE_DOWN, SDL_SCANCODE_RETURN};
  RunFrames(dialogs, 80, [&](int frame) {
    const int i = (frame - 3) / 3;
    if (frame >= 3 && (frame - 3) % 3 == 0 && i < static_cast<int>(std::size(keys))) {
      PushKey(SDLK_UNKNOWN, keys[i], true);
      PushKey(SDLK_UNKNOWN, keys[i], false);
    }
  });
  ASSERT_EQ(result, kDialogOk);  // Down from the last of the column reaches OK
  EXPECT_EQ(music_steps, (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(got.values.music_volume, 3);
  EXPECT_EQ(got.values.show_nudge, 0);
  EXPECT_EQ(controls, 1);
  EXPECT_EQ(got.level, form.level);  // no colour depth was chosen on the way
  EXPECT_EQ(got.values.sound_volume, v.sound_volume);
}

TEST_F(DialogTest, TheNameOfferedIsSelectedAndAnEnterHeldAsItOpensIsNotTheName) {
  store::HighScoreTable table{};
  std::string name;
  int result = 0;
  // Enter is down (the plunger, heard by the game) when the form opens, and
  // released later.
  input::EventKeyboard keyboard;
  keyboard.KeyEvent(0x1C, true);
  dialogs.SetKeyboard(&keyboard);
  dialogs.HighScores(table, 0, 12345, "Player 1", HighScoreHooks{},
                     [&](int r, const std::string& n) {
                       result = r;
                       name = n;
                     });
  RunFrames(dialogs, 40, [&](int frame) {
    if (frame == 6) PushKey(SDLK_RETURN, SDL_SCANCODE_RETURN, false);
    if (frame == 8) PushText("Alexandria Q");  // replaces the selected name, cut to 10
    if (frame == 12) {
      PushKey(SDLK_RETURN, SDL_SCANCODE_RETURN, true);
      PushKey(SDLK_RETURN, SDL_SCANCODE_RETURN, false);
    }
  });
  EXPECT_EQ(result, kDialogOk);
  EXPECT_EQ(name, "Alexandria");
}

TEST_F(DialogTest, HighScoreRowsWithAGameHaveAWatchButtonTheKeyboardReaches) {
  store::HighScoreTable table{};
  table[0] = {"Anna", 900};
  table[2] = {"Bo", 500};
  std::vector<int> watched;
  HighScoreHooks hooks;
  hooks.can_watch = [](int row) { return row == 2; };
  hooks.watch = [&](int row) { watched.push_back(row); };
  int result = 0;
  dialogs.HighScores(table, -1, 0, "", hooks, [&](int r, const std::string&) { result = r; });
  auto tap = [&](SDL_Keycode k, SDL_Scancode c) {
    PushKey(k, c, true);
    PushKey(k, c, false);
  };
  RunFrames(dialogs, 30, [&](int frame) {
    // The form opens on its first button, row 3's Watch: Space presses it.
    if (frame == 8) tap(SDLK_SPACE, SDL_SCANCODE_SPACE);
    if (frame == 12) tap(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
  });
  EXPECT_EQ(result, kDialogCancel);
  EXPECT_EQ(watched, std::vector<int>{2});
  // "Reset High Scores" asks over the table; OK there empties it.
  bool reset = false;
  hooks.reset = [&] { reset = true; };
  hooks.can_watch = nullptr;
  dialogs.HighScores(table, -1, 0, "", hooks, [&](int r, const std::string&) { result = r; });
  int depth_at_10 = 0;
  RunFrames(dialogs, 40, [&](int frame) {
    if (frame == 4) tap(SDLK_SPACE, SDL_SCANCODE_SPACE);  // the first button: Reset
    if (frame == 10) depth_at_10 = dialogs.Depth();
    if (frame == 12) tap(SDLK_RETURN, SDL_SCANCODE_RETURN);  // OK in the question
    if (frame == 20) tap(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
  });
  EXPECT_EQ(depth_at_10, 2);
  EXPECT_TRUE(reset);
}

TEST(FormScale, FollowsTheSmallerRatioFromTheGamesOwnSize) {
  struct Case {
    int w, h;
    float want;
  } cases[] = {{1024, 768, 1.0f},      {640, 480, 0.75f},   {800, 600, 0.78125f},
               {1920, 1080, 1.40625f}, {2048, 1536, 2.0f},  {3840, 1080, 1.40625f},
               {0, 0, 1.0f},           {20000, 20000, 4.0f}};
  for (const Case& c : cases) EXPECT_FLOAT_EQ(FormScale(c.w, c.h), c.want) << c.w << "x" << c.h;
}

TEST_F(DialogTest, TheFaceGrowsWithTheWindow) {
  float pixels = 0;
  dialogs.SetDrawnHook([&](int) { pixels = ImGui::GetFontSize(); });
  dialogs.About(nullptr, {});
  RunFrames(dialogs, 2);
  dialogs.CancelAll();
  EXPECT_FLOAT_EQ(pixels, 13.0f);  // DejaVu Sans at 800 x 600 (0.78 of 1024 x 768)
  SDL_SetWindowSize(window, 1920, 1080);
  dialogs.About(nullptr, {});
  RunFrames(dialogs, 2);
  dialogs.CancelAll();
  EXPECT_FLOAT_EQ(pixels, 24.0f);
  EXPECT_FLOAT_EQ(ImGui::GetStyle().WindowRounding, 14.0f);  // 10 at 1024 x 768, whole pixels
}

}  // namespace
}  // namespace platform
