#include "platform/scancodes.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <set>

#include "input/key_names.h"

namespace platform {
namespace {

TEST(Scancodes, RoundTripBothWays) {
  int mapped = 0;
  std::set<int> codes;
  for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
    const uint8_t di = DiCodeOfScancode(s);
    if (di == 0) continue;
    ++mapped;
    codes.insert(di);
    // A key shares its code with at most a twin; the code names one key of that code.
    const int back = ScancodeOfDiCode(di);
    ASSERT_NE(back, 0) << "scancode " << s;
    EXPECT_EQ(DiCodeOfScancode(back), di) << "scancode " << s;
    EXPECT_TRUE(input::KeyName(di).found) << "code " << int(di) << " has no name";
  }
  for (int d = 0; d < 256; ++d) {
    const int s = ScancodeOfDiCode(d);
    if (s != 0) {
      EXPECT_EQ(DiCodeOfScancode(s), d) << "code " << d;
    } else {
      EXPECT_EQ(codes.count(d), 0u);
    }
  }
  EXPECT_GE(mapped, 130);
  EXPECT_EQ(DiCodeOfScancode(-1), 0);
  EXPECT_EQ(DiCodeOfScancode(SDL_NUM_SCANCODES), 0);
  EXPECT_EQ(ScancodeOfDiCode(256), 0);
  EXPECT_EQ(ScancodeOfDiCode(0), 0);
}

TEST(Scancodes, KeysOfTheDefaultBindingsAndExtendedKeys) {
  struct Case {
    SDL_Scancode sdl;
    uint8_t di;
  };
  const Case cases[] = {
      {SDL_SCANCODE_LSHIFT, 0x2A},    {SDL_SCANCODE_RSHIFT, 0x36},   {SDL_SCANCODE_Z, 0x2C},
      {SDL_SCANCODE_SPACE, 0x39},     {SDL_SCANCODE_SLASH, 0x35},    {SDL_SCANCODE_RETURN, 0x1C},
      {SDL_SCANCODE_ESCAPE, 0x01},    {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RCTRL, 0x9D},
      {SDL_SCANCODE_KP_DIVIDE, 0xB5}, {SDL_SCANCODE_RALT, 0xB8},     {SDL_SCANCODE_UP, 0xC8},
      {SDL_SCANCODE_LEFT, 0xCB},      {SDL_SCANCODE_DELETE, 0xD3},   {SDL_SCANCODE_F12, 0x58},
      {SDL_SCANCODE_1, 0x02},         {SDL_SCANCODE_0, 0x0B},        {SDL_SCANCODE_KP_0, 0x52},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DiCodeOfScancode(c.sdl), c.di) << SDL_GetScancodeName(c.sdl);
    EXPECT_EQ(ScancodeOfDiCode(c.di), c.sdl);
  }
}

}  // namespace
}  // namespace platform
