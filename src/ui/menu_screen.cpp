#include "ui/menu_screen.h"

namespace ui {

namespace {

void SetItems(MenuScreen& s, int32_t count, int32_t first, std::initializer_list<MenuItem> items) {
  s.count = count;
  s.first_selectable = first;
  size_t i = 0;
  for (const MenuItem& item : items) s.items[i++] = item;
  ResetMenuScreen(s);
}

void Click(MenuHost& host) { host.PlaySound(kMenuClickSound); }

void ClearKeys(MenuScreen& s) {
  s.key_pressed = -1;
  s.held_key = -1;
}

}  // namespace

void ResetMenuScreen(MenuScreen& screen) {
  screen.selected = screen.first_selectable;
  screen.mouse_pressed = -1;
  screen.hover = -1;
  screen.key_pressed = -1;
  screen.held_key = -1;
}

MenuScreens MakeMenuScreens() {
  MenuScreens m;
  SetItems(m.main_menu, 7, 0,
           {{200, core::kCommandNewGame},
            {201, core::kCommandNextPlayerCount},
            {205, core::kCommandOptions},
            {206, core::kCommandHighScores},
            {207, core::kCommandHelp},
            {208, core::kCommandAbout},
            {209, core::kCommandQuit}});
  SetItems(m.pause_menu, 5, 1,
           {{220, -1},
            {221, core::kCommandResume},
            {222, core::kCommandPauseOptions},
            {223, core::kCommandEndGame},
            {224, core::kCommandPauseQuit}});
  return m;
}

std::string_view LoadMenuImages(MenuScreens& screens, render::SpriteSlots& slots,
                                render::TrueColourContext& ctx) {
  for (const MenuImage& image : kMenuImages) {
    if (!render::LoadTrueColourSprite(slots.slots[static_cast<size_t>(image.slot)], ctx, image.file,
                                      "", 0, 0)) {
      return image.file;
    }
  }
  ResetMenuScreen(screens.main_menu);
  ResetMenuScreen(screens.pause_menu);
  return {};
}

int32_t MenuHitTest(const MenuScreen& screen, const render::SpriteSlots& slots, int32_t x,
                    int32_t y) {
  for (int32_t i = 0; i < screen.count && i < kMaxMenuItems; ++i) {
    int32_t slot = screen.items[static_cast<size_t>(i)].sprite;
    if (slot < 0 || slot > 255) break;
    const render::TrueColourSprite& sprite = slots.slots[static_cast<size_t>(slot)];
    if (sprite.frame_count <= 0) continue;  // an image that never loaded has no place
    render::SpriteRectangle r = render::SpriteRect(sprite);
    // The rectangle's far edges (x1, y1) count as inside.
    if (x >= r.x0 && x <= r.x1 && y >= r.y0 && y <= r.y1) return i;
  }
  return -1;
}

bool MenuInput(MenuScreen& s, const render::SpriteSlots& slots, const Message& m, MenuHost& host) {
  switch (m.kind) {
    case MessageKind::kActivateApp:
      s.mouse_pressed = -1;
      s.hover = -1;
      ClearKeys(s);
      return false;

    case MessageKind::kKeyDown: {
      host.ResetIdleTicks();
      s.mouse_pressed = -1;
      ClearKeys(s);
      int32_t key = m.param;
      if (key == vk::kTab) key = m.shift ? vk::kUp : vk::kDown;
      switch (key) {
        case vk::kEnter:
        case vk::kSpace:
          s.key_pressed = s.selected;
          s.held_key = key;
          break;
        case vk::kEscape:
          s.held_key = key;
          break;
        case vk::kUp:
          if (--s.selected < s.first_selectable) s.selected = s.count - 1;
          break;
        case vk::kDown:
          if (++s.selected >= s.count) s.selected = s.first_selectable;
          break;
        default:
          return false;
      }
      Click(host);
      return false;
    }

    case MessageKind::kKeyUp: {
      host.ResetIdleTicks();
      int32_t key = m.param;
      if (key == vk::kEnter || key == vk::kSpace) {
        if (s.held_key == key && s.key_pressed == s.selected) {
          ClearKeys(s);
          if (s.selected >= s.first_selectable && s.selected <= kMaxMenuItems - 1 &&
              s.selected < s.count) {
            int32_t command = s.items[static_cast<size_t>(s.selected)].command;
            if (command != 0 && command != -1) {
              Click(host);
              host.SendCommand(command);
            }
          }
        }
        ClearKeys(s);
        return true;
      }
      if (key == vk::kEscape && s.held_key == vk::kEscape) {
        ClearKeys(s);
        host.MarkRedraw();
        if (host.PauseMenuShown()) host.SendCommand(core::kCommandResume);
        return true;
      }
      ClearKeys(s);
      return false;
    }

    case MessageKind::kMouseMove: {
      int32_t hit = MenuHitTest(s, slots, m.x, m.y);
      if (hit != s.hover) host.ResetIdleTicks();
      if (hit < s.first_selectable) {
        s.hover = -1;
      } else if (hit != s.hover) {
        s.hover = hit;
        Click(host);
      }
      return true;
    }

    case MessageKind::kLeftButtonDown: {
      int32_t hit = MenuHitTest(s, slots, m.x, m.y);
      host.ResetIdleTicks();
      if (hit >= s.first_selectable) {
        s.selected = s.mouse_pressed = s.hover = hit;
        Click(host);
      }
      ClearKeys(s);
      return true;
    }

    case MessageKind::kLeftButtonUp: {
      int32_t hit = MenuHitTest(s, slots, m.x, m.y);
      host.ResetIdleTicks();
      if (hit >= s.first_selectable && hit == s.mouse_pressed) {
        host.PostMessage(KeyMessage(MessageKind::kKeyDown, vk::kEnter));
        host.PostMessage(KeyMessage(MessageKind::kKeyUp, vk::kEnter));
        Click(host);
      }
      s.mouse_pressed = -1;
      s.hover = -1;
      ClearKeys(s);
      return true;
    }

    default:
      return false;
  }
}

int32_t MenuItemLook(const MenuScreen& s, int32_t i) {
  if (i == s.mouse_pressed) return i == s.hover ? 2 : 3;
  if (i == s.key_pressed) return 2;
  if (i == s.selected) return 3;
  if (i == s.hover && s.mouse_pressed == -1) return s.key_pressed == -1 ? 1 : 0;
  return 0;
}

void PrepareMainMenu(MenuScreen& main_menu, int32_t players) {
  if (players < 1) players = 1;
  if (players > 4) players = 4;
  main_menu.items[1].sprite = kPlayersSpriteFirst + players - 1;
  if (main_menu.selected >= main_menu.count) main_menu.selected = main_menu.first_selectable;
}

bool AdvanceLoadingIndicator(LoadingIndicator& indicator, double now_ms) {
  if (now_ms - indicator.last_switch_ms < 300.0) return false;
  indicator.last_switch_ms = now_ms;
  render::SetFrame(indicator.sprite, indicator.sprite.current_frame == 1 ? 2 : 1);
  return true;
}

void EndLoadingIndicator(LoadingIndicator& indicator) { render::SetFrame(indicator.sprite, 0); }

int32_t VirtualKeyFromScanCode(int32_t scan_code) {
  switch (scan_code) {
    case 0x01:
      return vk::kEscape;
    case 0x0F:
      return vk::kTab;
    case 0x1C:
      return vk::kEnter;
    case 0x9C:
      return vk::kEnter;  // keypad Enter
    case 0x2A:
      return vk::kShift;
    case 0x36:
      return vk::kShift;
    case 0x39:
      return vk::kSpace;
    case 0x3B:
      return vk::kF1;
    case 0xC5:
      return vk::kPause;
    case 0xC8:
      return vk::kUp;
    case 0xD0:
      return vk::kDown;
    case 0xCB:
      return vk::kLeft;
    case 0xCD:
      return vk::kRight;
    default:
      return scan_code == 0 ? 0 : 0x100 + scan_code;  // a key the window does not name
  }
}

}  // namespace ui
