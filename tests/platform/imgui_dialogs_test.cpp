#include "platform/imgui_dialogs.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <cstdlib>
#include <string>
#include <vector>

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
    dialogs.SetFrameLimit(60);
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

TEST_F(DialogTest, EscapeCancelsAndUnansweredFormsGiveCancel) {
  int last_frame = -1;
  dialogs.SetFrameHook([&](int frame) {
    last_frame = frame;
    if (frame == 3) PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
    if (frame == 4) PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, false);
  });
  EXPECT_EQ(dialogs.NewVideoMode(), kDialogCancel);
  EXPECT_LT(last_frame, 10);  // Escape, not the frame limit
  dialogs.SetFrameHook(nullptr);
  render::ModeTable modes = AllModes();
  ui::OptionsForm form = ui::OpenOptionsForm(ui::OptionsValues{}, modes, true);
  EXPECT_EQ(dialogs.Options(form, modes, OptionsHooks{}), kDialogCancel);
  EXPECT_EQ(dialogs.About(nullptr), kDialogCancel);
  EXPECT_EQ(dialogs.SubmitOffer(), kDialogCancel);
}

TEST_F(DialogTest, HighScoreEntryTakesTheTypedNameCutToTenCharacters) {
  store::HighScoreTable table{};
  std::string name;
  int last_frame = -1;
  dialogs.SetFrameHook([&](int frame) {
    last_frame = frame;
    if (frame == 5) PushText("Alexandria Q");
    if (frame == 8) PushKey(SDLK_RETURN, SDL_SCANCODE_RETURN, true);
    if (frame == 9) PushKey(SDLK_RETURN, SDL_SCANCODE_RETURN, false);
  });
  EXPECT_EQ(dialogs.HighScores(table, 0, 12345, name, HighScoreHooks{}), kDialogOk);
  EXPECT_LT(last_frame, 20);
  EXPECT_EQ(name, "Alexandria");
  // Viewing leaves the name alone whatever is typed.
  dialogs.SetFrameHook(nullptr);
  EXPECT_EQ(dialogs.HighScores(table, -1, 0, name, HighScoreHooks{}), kDialogCancel);
  EXPECT_EQ(name, "Alexandria");
}

TEST_F(DialogTest, HighScoreRowsWithAGameHaveAWatchButtonTheKeyboardReaches) {
  store::HighScoreTable table{};
  table[0] = {"Anna", 900};
  table[2] = {"Bo", 500};
  std::string name;
  std::vector<int> watched;
  HighScoreHooks hooks;
  hooks.can_watch = [](int row) { return row == 2; };
  hooks.watch = [&](int row) { watched.push_back(row); };
  dialogs.SetFrameHook([&](int frame) {
    // The first button of the form is row 3's Watch: Down reaches it, Space presses it.
    if (frame == 4) PushKey(SDLK_DOWN, SDL_SCANCODE_DOWN, true);
    if (frame == 5) PushKey(SDLK_DOWN, SDL_SCANCODE_DOWN, false);
    if (frame == 8) PushKey(SDLK_SPACE, SDL_SCANCODE_SPACE, true);
    if (frame == 9) PushKey(SDLK_SPACE, SDL_SCANCODE_SPACE, false);
    if (frame == 12) PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
    if (frame == 13) PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, false);
  });
  EXPECT_EQ(dialogs.HighScores(table, -1, 0, name, hooks), kDialogCancel);
  EXPECT_EQ(watched, std::vector<int>{2});
  // While a name is entered there is no Watch button to press.
  watched.clear();
  dialogs.SetFrameHook([&](int frame) {
    if (frame == 4) PushKey(SDLK_DOWN, SDL_SCANCODE_DOWN, true);
    if (frame == 5) PushKey(SDLK_DOWN, SDL_SCANCODE_DOWN, false);
    if (frame == 8) PushKey(SDLK_RETURN, SDL_SCANCODE_RETURN, true);
    if (frame == 9) PushKey(SDLK_RETURN, SDL_SCANCODE_RETURN, false);
  });
  EXPECT_EQ(dialogs.HighScores(table, 1, 700, name, hooks), kDialogOk);
  EXPECT_TRUE(watched.empty());
}

TEST(FormScale, FollowsTheSmallerRatioFromTheGamesOwnSize) {
  struct Case {
    int w, h;
    float want;
  } cases[] = {{1024, 768, 1.0f},      {640, 480, 1.0f}, {1920, 1080, 1.40625f}, {2048, 1536, 2.0f},
               {3840, 1080, 1.40625f}, {0, 0, 1.0f},     {20000, 20000, 4.0f}};
  for (const Case& c : cases) EXPECT_FLOAT_EQ(FormScale(c.w, c.h), c.want) << c.w << "x" << c.h;
}

TEST_F(DialogTest, TheFaceGrowsWithTheWindow) {
  float pixels = 0;
  dialogs.SetDrawnHook([&](int) { pixels = ImGui::GetFontSize(); });
  dialogs.SetFrameLimit(2);
  EXPECT_EQ(dialogs.About(nullptr), kDialogCancel);
  EXPECT_FLOAT_EQ(pixels, 17.0f);  // DejaVu Sans at 1024 x 768 and below
  SDL_SetWindowSize(window, 1920, 1080);
  EXPECT_EQ(dialogs.About(nullptr), kDialogCancel);
  EXPECT_FLOAT_EQ(pixels, 24.0f);
  EXPECT_FLOAT_EQ(ImGui::GetStyle().WindowRounding, 14.0f);  // 10 at 1024 x 768, whole pixels
}

}  // namespace
}  // namespace platform
