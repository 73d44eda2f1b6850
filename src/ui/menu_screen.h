#pragma once
// The picture menus drawn over the table: the main menu and the pause menu.
// Each item is a four-frame sprite (0 normal, 1 under the mouse, 2 pressed,
// 3 selected) in a slot of the sprite table; its place on screen is the
// sprite's own.

#include <array>
#include <cstdint>
#include <string_view>

#include "core/sound_slots.h"
#include "render/true_colour_sprite.h"
#include "ui/window_message.h"

namespace ui {

struct MenuItem {
  int32_t sprite = 256;  // a slot number; above 255 ends the list
  int32_t command = 0;   // window command; 0 or −1 cannot be chosen
};

inline constexpr int32_t kMaxMenuItems = 16;

struct MenuScreen {
  int32_t count = 0;             // items in use
  int32_t first_selectable = 0;  // items before this one are pictures only (a title)
  std::array<MenuItem, kMaxMenuItems> items{};
  int32_t selected = 0;
  int32_t mouse_pressed = -1;
  int32_t hover = -1;
  int32_t key_pressed = -1;
  int32_t held_key = -1;
};

struct MenuScreens {
  MenuScreen main_menu;
  MenuScreen pause_menu;
};

inline constexpr int32_t kMenuClickSound = core::kSoundClick;
inline constexpr int32_t kPlayersSpriteFirst = 201;  // 201..204 for 1..4 players

// The two screens with their items, selection at the first selectable item.
MenuScreens MakeMenuScreens();

// Slot and file of each of the fifteen menu item images.
struct MenuImage {
  int32_t slot;
  std::string_view file;
};
inline constexpr std::array<MenuImage, 15> kMenuImages = {{
    {200, "RES\\UI\\MMNEW.J24"},
    {201, "RES\\UI\\MMPLA1.J24"},
    {202, "RES\\UI\\MMPLA2.J24"},
    {203, "RES\\UI\\MMPLA3.J24"},
    {204, "RES\\UI\\MMPLA4.J24"},
    {205, "RES\\UI\\MMOPT.J24"},
    {206, "RES\\UI\\MMHSC.J24"},
    {207, "RES\\UI\\MMHELP.J24"},
    {208, "RES\\UI\\MMABOUT.J24"},
    {209, "RES\\UI\\MMQUIT.J24"},
    {220, "RES\\UI\\PMTITLE.J24"},
    {221, "RES\\UI\\PMRETURN.J24"},
    {222, "RES\\UI\\PMOPT.J24"},
    {223, "RES\\UI\\PMQUITM.J24"},
    {224, "RES\\UI\\PMQUITW.J24"},
}};
inline constexpr std::string_view kLoadingIndicatorFile = "RES\\UI\\LOADING.J24";

// Loads the fifteen item images into their slots and resets both screens'
// selection. Returns the name of the first image that failed, or empty.
std::string_view LoadMenuImages(MenuScreens& screens, render::SpriteSlots& slots,
                                render::TrueColourContext& ctx);

// Sets selection to F and clears the mouse and key states.
void ResetMenuScreen(MenuScreen& screen);

// The first item (0..N−1, stopping at a slot above 255) whose sprite rectangle
// holds (x, y), edges included; −1 when none.
int32_t MenuHitTest(const MenuScreen& screen, const render::SpriteSlots& slots, int32_t x,
                    int32_t y);

// What the menu asks of the rest of the program.
class MenuHost {
 public:
  virtual ~MenuHost() = default;
  virtual void ResetIdleTicks() = 0;
  virtual void PlaySound(int32_t sound) = 0;
  virtual void SendCommand(int32_t command) = 0;
  virtual void PostMessage(const Message& message) = 0;
  virtual void MarkRedraw() = 0;
  virtual bool PauseMenuShown() const = 0;
};

// Offers one window message to the screen that shows. Returns true when the
// message was consumed.
bool MenuInput(MenuScreen& screen, const render::SpriteSlots& slots, const Message& message,
               MenuHost& host);

// The frame each item shows (0 normal, 1 hover, 2 pressed, 3 selected).
int32_t MenuItemLook(const MenuScreen& screen, int32_t item);

// Sets item 1 of the main menu to the sprite for `players` (1..4) and brings an
// out-of-range selection back to F.
void PrepareMainMenu(MenuScreen& main_menu, int32_t players);

// Sets every item's frame for drawing; calls draw(slot) for each item sprite in
// order. Nothing happens while loading or the title shows (the caller checks).
template <typename DrawFn>
void DrawMenuScreen(const MenuScreen& screen, render::SpriteSlots& slots, DrawFn&& draw) {
  for (int32_t i = 0; i < screen.count && i < kMaxMenuItems; ++i) {
    int32_t slot = screen.items[static_cast<size_t>(i)].sprite;
    if (slot < 0 || slot > 255) break;
    render::SetFrame(slots.slots[static_cast<size_t>(slot)], MenuItemLook(screen, i));
    draw(slot);
  }
}

// The loading indicator: frames 1 and 2 alternate (at most every 300 ms) while
// loading, frame 0 afterwards.
struct LoadingIndicator {
  render::TrueColourSprite sprite;
  double last_switch_ms = -1.0e9;
};
// Returns true when the frame changed (the caller draws and presents).
bool AdvanceLoadingIndicator(LoadingIndicator& indicator, double now_ms);
void EndLoadingIndicator(LoadingIndicator& indicator);

}  // namespace ui
