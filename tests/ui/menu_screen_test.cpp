#include "ui/menu_screen.h"

#include <gtest/gtest.h>

#include <vector>

namespace ui {
namespace {

struct FakeHost : MenuHost {
  int idle_resets = 0;
  std::vector<int32_t> sounds, commands;
  std::vector<Message> posted;
  int redraws = 0;
  bool pause_shown = false;
  void ResetIdleTicks() override { ++idle_resets; }
  void PlaySound(int32_t s) override { sounds.push_back(s); }
  void SendCommand(int32_t c) override { commands.push_back(c); }
  void PostMessage(const Message& m) override { posted.push_back(m); }
  void MarkRedraw() override { ++redraws; }
  bool PauseMenuShown() const override { return pause_shown; }
};

// Item images as 100×40 rectangles stacked 50 pixels apart from (10, 10).
render::SpriteSlots Slots() {
  render::SpriteSlots slots;
  auto place = [&](int32_t slot, int32_t row) {
    render::TrueColourSprite& s = slots.slots[static_cast<size_t>(slot)];
    s.frame_count = 4;
    s.width = 100;
    s.height = 40;
    s.x = 10;
    s.y = 10 + row * 50;
  };
  int row = 0;
  for (int32_t slot : {200, 201, 205, 206, 207, 208, 209}) place(slot, row++);
  for (int32_t slot : {202, 203, 204}) place(slot, 1);
  row = 0;
  for (int32_t slot : {220, 221, 222, 223, 224}) place(slot, row++);
  return slots;
}

struct MenuTest : ::testing::Test {
  MenuScreens menus = MakeMenuScreens();
  render::SpriteSlots slots = Slots();
  FakeHost host;
  bool Key(MenuScreen& s, MessageKind kind, int32_t key, bool shift = false) {
    return MenuInput(s, slots, KeyMessage(kind, key, shift), host);
  }
  void Tap(MenuScreen& s, int32_t key, bool shift = false) {
    Key(s, MessageKind::kKeyDown, key, shift);
    Key(s, MessageKind::kKeyUp, key, shift);
  }
  bool Mouse(MenuScreen& s, MessageKind kind, int32_t x, int32_t y) {
    return MenuInput(s, slots, MouseMessage(kind, x, y), host);
  }
  // Delivers what the menu posted, as the window's queue would.
  void Deliver(MenuScreen& s) {
    std::vector<Message> posted;
    posted.swap(host.posted);
    for (const Message& m : posted) MenuInput(s, slots, m, host);
  }
};

TEST_F(MenuTest, UpAndDownWrapWithinTheSelectableItems) {
  MenuScreen& mm = menus.main_menu;
  EXPECT_EQ(mm.selected, 0);
  Tap(mm, vk::kUp);
  EXPECT_EQ(mm.selected, 6);  // Quit
  Tap(mm, vk::kDown);
  EXPECT_EQ(mm.selected, 0);  // back to New Game
  Tap(mm, vk::kTab, true);
  EXPECT_EQ(mm.selected, 6);
  Tap(mm, vk::kTab);
  EXPECT_EQ(mm.selected, 0);

  MenuScreen& pm = menus.pause_menu;
  EXPECT_EQ(pm.selected, 1);
  Tap(pm, vk::kUp);
  EXPECT_EQ(pm.selected, 4);  // title is never selected
  Tap(pm, vk::kDown);
  EXPECT_EQ(pm.selected, 1);
  EXPECT_TRUE(host.commands.empty());
  EXPECT_EQ(host.sounds, std::vector<int32_t>(6, kMenuClickSound));
}

TEST_F(MenuTest, EnterSendsTheSelectedCommandOnRelease) {
  MenuScreen& mm = menus.main_menu;
  Tap(mm, vk::kDown);
  Tap(mm, vk::kDown);
  EXPECT_FALSE(Key(mm, MessageKind::kKeyDown, vk::kEnter));  // key downs go on
  EXPECT_EQ(MenuItemLook(mm, 2), 2);
  EXPECT_TRUE(host.commands.empty());
  EXPECT_TRUE(Key(mm, MessageKind::kKeyUp, vk::kEnter));
  EXPECT_EQ(host.commands, std::vector<int32_t>{103});
  Tap(mm, vk::kSpace);
  EXPECT_EQ(host.commands, (std::vector<int32_t>{103, 103}));
}

TEST_F(MenuTest, EnterThenDownThenReleaseSendsNothing) {
  MenuScreen& mm = menus.main_menu;
  Key(mm, MessageKind::kKeyDown, vk::kEnter);
  Key(mm, MessageKind::kKeyDown, vk::kDown);
  EXPECT_TRUE(Key(mm, MessageKind::kKeyUp, vk::kEnter));
  EXPECT_TRUE(host.commands.empty());
  EXPECT_EQ(mm.selected, 1);
}

TEST_F(MenuTest, EscapeDoesNothingOnTheMainMenuAndReturnsFromThePauseMenu) {
  MenuScreen& mm = menus.main_menu;
  Key(mm, MessageKind::kKeyDown, vk::kEscape);
  EXPECT_TRUE(Key(mm, MessageKind::kKeyUp, vk::kEscape));
  EXPECT_TRUE(host.commands.empty());
  // An Escape release whose press the menu never saw goes on to the window.
  EXPECT_FALSE(Key(mm, MessageKind::kKeyUp, vk::kEscape));

  host.pause_shown = true;
  MenuScreen& pm = menus.pause_menu;
  Key(pm, MessageKind::kKeyDown, vk::kEscape);
  EXPECT_TRUE(Key(pm, MessageKind::kKeyUp, vk::kEscape));
  EXPECT_EQ(host.commands, std::vector<int32_t>{110});
}

TEST_F(MenuTest, PressMoveOffReleaseSendsNothing) {
  MenuScreen& mm = menus.main_menu;
  // Options is item 2: y from 110 to 150.
  EXPECT_TRUE(Mouse(mm, MessageKind::kLeftButtonDown, 50, 120));
  EXPECT_EQ(mm.selected, 2);
  Mouse(mm, MessageKind::kMouseMove, 400, 400);
  EXPECT_EQ(MenuItemLook(mm, 2), 3);  // held off the item: selected look
  EXPECT_TRUE(Mouse(mm, MessageKind::kLeftButtonUp, 400, 400));
  Deliver(mm);
  EXPECT_TRUE(host.commands.empty());
}

TEST_F(MenuTest, ClickOnAnItemSendsItsCommandThroughEnter) {
  MenuScreen& mm = menus.main_menu;
  Mouse(mm, MessageKind::kLeftButtonDown, 110, 150);  // far corner of Options, edges included
  EXPECT_EQ(MenuItemLook(mm, 2), 2);                  // pressed under the mouse
  Mouse(mm, MessageKind::kMouseMove, 50, 120);
  EXPECT_EQ(MenuItemLook(mm, 2), 2);
  Mouse(mm, MessageKind::kLeftButtonUp, 50, 120);
  ASSERT_EQ(host.posted.size(), 2u);
  Deliver(mm);
  EXPECT_EQ(host.commands, std::vector<int32_t>{103});
}

TEST_F(MenuTest, HoverClicksOncePerItemEntered) {
  MenuScreen& mm = menus.main_menu;
  Mouse(mm, MessageKind::kMouseMove, 20, 20);
  Mouse(mm, MessageKind::kMouseMove, 30, 25);
  Mouse(mm, MessageKind::kMouseMove, 30, 70);
  Mouse(mm, MessageKind::kMouseMove, 30, 75);
  EXPECT_EQ(host.sounds.size(), 2u);
  EXPECT_EQ(mm.hover, 1);
  EXPECT_EQ(MenuItemLook(mm, 1), 1);
  Mouse(mm, MessageKind::kMouseMove, 30, 55);  // the gap between items
  EXPECT_EQ(mm.hover, -1);
  // The pause menu's title does not light up.
  Mouse(menus.pause_menu, MessageKind::kMouseMove, 20, 20);
  EXPECT_EQ(menus.pause_menu.hover, -1);
}

TEST_F(MenuTest, LooksFollowTheirOrder) {
  MenuScreen s = menus.main_menu;
  s.selected = 1;
  s.hover = 2;
  EXPECT_EQ(MenuItemLook(s, 0), 0);
  EXPECT_EQ(MenuItemLook(s, 1), 3);
  EXPECT_EQ(MenuItemLook(s, 2), 1);
  s.key_pressed = 1;
  EXPECT_EQ(MenuItemLook(s, 1), 2);
  EXPECT_EQ(MenuItemLook(s, 2), 0);
  s.mouse_pressed = 2;
  EXPECT_EQ(MenuItemLook(s, 2), 2);
  s.hover = -1;
  EXPECT_EQ(MenuItemLook(s, 2), 3);
}

TEST_F(MenuTest, PlayersItemFollowsTheSetting) {
  MenuScreen& mm = menus.main_menu;
  PrepareMainMenu(mm, 4);
  EXPECT_EQ(mm.items[1].sprite, 204);
  PrepareMainMenu(mm, 1);
  EXPECT_EQ(mm.items[1].sprite, 201);
  mm.selected = 9;
  PrepareMainMenu(mm, 2);
  EXPECT_EQ(mm.selected, 0);
  std::vector<int32_t> drawn;
  DrawMenuScreen(mm, slots, [&](int32_t slot) { drawn.push_back(slot); });
  EXPECT_EQ(drawn, (std::vector<int32_t>{200, 202, 205, 206, 207, 208, 209}));
  EXPECT_EQ(slots.slots[200].current_frame, 3);
}

TEST_F(MenuTest, ActivationClearsPressesAndGoesOn) {
  MenuScreen& mm = menus.main_menu;
  Mouse(mm, MessageKind::kLeftButtonDown, 50, 120);
  Message m;
  m.kind = MessageKind::kActivateApp;
  EXPECT_FALSE(MenuInput(mm, slots, m, host));
  EXPECT_EQ(mm.mouse_pressed, -1);
  EXPECT_EQ(mm.hover, -1);
}

TEST(LoadingIndicator, AlternatesAtMostEvery300Ms) {
  LoadingIndicator li;
  li.sprite.frame_count = 3;
  li.sprite.frames.resize(3);
  EXPECT_TRUE(AdvanceLoadingIndicator(li, 0));
  EXPECT_EQ(li.sprite.current_frame, 1);
  EXPECT_FALSE(AdvanceLoadingIndicator(li, 299));
  EXPECT_TRUE(AdvanceLoadingIndicator(li, 300));
  EXPECT_EQ(li.sprite.current_frame, 2);
  EXPECT_TRUE(AdvanceLoadingIndicator(li, 650));
  EXPECT_EQ(li.sprite.current_frame, 1);
  EndLoadingIndicator(li);
  EXPECT_EQ(li.sprite.current_frame, 0);
}

}  // namespace
}  // namespace ui
