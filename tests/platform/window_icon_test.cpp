#include "platform/window_icon.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/png_file.h"
#include "test_files.h"

namespace platform {
namespace {

TEST(WindowIcon, SetsAPictureAndRefusesWhatIsNotOne) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("icon", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  test_util::TempDir dir;
  RgbFrame picture;
  picture.width = picture.height = 16;
  picture.pixels.assign(16 * 16 * 3, 200);
  const std::string good = (dir.path() / "icon.png").string(),
                    bad = (dir.path() / "bad.png").string();
  ASSERT_TRUE(WritePng(good, picture));
  std::ofstream(bad) << "not a picture";

  EXPECT_TRUE(SetWindowIcon(window, good));
  EXPECT_FALSE(SetWindowIcon(window, bad));
  EXPECT_FALSE(SetWindowIcon(window, (dir.path() / "missing.png").string()));
  EXPECT_FALSE(SetWindowIcon(nullptr, good));
  EXPECT_EQ(WindowIconPath("/usr/share/gfall"), "/usr/share/gfall/gfall-icon.png");
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
}  // namespace platform
