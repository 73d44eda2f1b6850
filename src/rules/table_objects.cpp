#include "rules/table_objects.h"

#include "core/assert.h"
#include "core/table_geometry.h"

namespace rules {

namespace {

// A part that is hit, at its hit point with the surface code of its wall.
constexpr ObjectTemplate HitPart(int kind, int row, const char* name, const char* mask_file = "",
                                 const char* depth_file = "") {
  const core::geometry::HitPoint p = core::geometry::HitPointOf(row);
  return {kind, p.at.x, p.at.y, p.code, name, mask_file, depth_file};
}

constexpr std::array<ObjectTemplate, kObjectRows> MakeTemplates() {
  std::array<ObjectTemplate, kObjectRows> t{};
  t[0] = HitPart(kKindKicker, 0, "REBOUNDR", "RES\\IMMASK\\REBOUNDR.IMS");
  t[1] = {kKindSpinner, 512, 523, 13, "SPINNER", "", "RES\\Z\\SPINNER.ZS2"};
  constexpr const char* bumpers[kBumperCount] = {"BUMPER1", "BUMPER2", "BUMPER3",
                                                 "BUMPER4", "BUMPER5", "BUMPER6",
                                                 "BUMPER7", "BUMPER8", "BUMPER9"};
  for (int i = 0; i < kBumperCount; ++i) {
    t[kRowBumperFirst + i] = HitPart(kKindBumper, kRowBumperFirst + i, bumpers[i]);
  }
  t[11] = {kKindGate, -1, -1, 23, "WGATE_L", "", "RES\\Z\\WGATE_L.ZS2"};
  t[12] = {kKindGate, -1, -1, 23, "WGATE_R", "", "RES\\Z\\WGATE_R.ZS2"};
  t[13] = {kKindGate, -1, -1, 23, "WGATE_S", "", "RES\\Z\\WGATE_S.ZS2"};
  constexpr const char* tree[4] = {"LTREE_T", "LTREE_R", "LTREE_E1", "LTREE_E2"};
  for (int i = 0; i < 4; ++i) t[kRowTreeFirst + i] = {kKindLamp, -1, -1, -1, tree[i], "", ""};
  t[18] = {kKindLamp, -1, -1, -1, "L_MBALL", "", ""};
  t[19] = {kKindLamp, -1, -1, -1, "L_GIFT", "", ""};
  t[20] = {kKindLamp, -1, -1, -1, "L_SAGAIN", "", ""};
  constexpr const char* santa[5] = {"LSAN_S", "LSAN_A1", "LSAN_N", "LSAN_T", "LSAN_A2"};
  for (int i = 0; i < 5; ++i) {
    t[kRowSantaFirst + i] = {kKindLamp, -1, -1, -1, santa[i], "", "", 90};
  }
  constexpr const char* bonus[kBonusLamps] = {
      "LBON_00", "LBON_01", "LBON_02", "LBON_03", "LBON_04", "LBON_05", "LBON_06",
      "LBON_07", "LBON_08", "LBON_09", "LBON_10", "LBON_11", "LBON_12", "LBON_13",
      "LBON_14", "LBON_15", "LBON_16", "LBON_17", "LBON_18", "LBON_19"};
  for (int i = 0; i < kBonusLamps; ++i) {
    t[kRowBonusFirst + i] = {kKindLamp, -1, -1, -1, bonus[i], "", ""};
  }
  constexpr const char* rolls[10] = {"RTREE_T", "RTREE_R", "RTREE_E1", "RTREE_E2", "RLSIDE",
                                     "RGIFT",   "RENTRA",  "RSAN_S",   "RSAN_A1",  "RSAN_A2"};
  for (int i = 0; i < 10; ++i) {
    t[kRowRollTreeFirst + i] = {kKindRollover, -1, -1, -1, rolls[i], "", ""};
  }
  t[56] = HitPart(kKindDropTarget, 56, "DT_01");
  t[57] = HitPart(kKindDropTarget, 57, "DT_02");
  t[58] = HitPart(kKindDropTarget, 58, "DT_03");
  t[59] = HitPart(kKindDropTarget, 59, "DT_04", "", "RES\\Z\\DT_04.ZS2");
  // The bank picture: a drop target that is never hit.
  t[60] = {kKindDropTarget, -1, -1, -1, "DT_DOWN", "", ""};
  t[61] = {kKindLamp, -1, -1, -1, "LEXTRA", "", ""};
  t[62] = {kKindLamp, -1, -1, -1, "LDOUBLE", "", ""};
  t[63] = {kKindLamp, -1, -1, -1, "LSPECIAL", "", ""};
  t[64] = {kKindPlunger, -1, -1, -1, "PLUNGER", "", ""};
  return t;
}

constexpr std::array<ObjectTemplate, kObjectRows> kTemplates = MakeTemplates();

bool ValidRow(int row) { return row >= 0 && row < kObjectRows; }

// Every used row has a sprite slot among the compositor's 256.
static_assert(kSpriteSlotBase + kUsedObjectRows <= kNoSpriteSlot);

TableObject FromTemplate(int row) {
  GFALL_ASSERT(ValidRow(row), "object template row outside 0-255");
  const ObjectTemplate& t = kTemplates[row];
  TableObject o;
  o.kind = t.kind;
  o.x = t.x;
  o.y = t.y;
  o.surface_code = t.surface_code;
  o.sprite_slot = t.name[0] ? SpriteSlotOf(row) : kNoSpriteSlot;
  o.has_depth = t.depth_file[0] ? 1 : 0;
  o.step_period = t.step_period;
  return o;
}

}  // namespace

const std::array<ObjectTemplate, kObjectRows>& ObjectTemplates() { return kTemplates; }

std::string AnimationFile(int row) {
  if (!ValidRow(row) || !kTemplates[row].name[0]) return {};
  return std::string("RES\\ANIM\\") + kTemplates[row].name + ".J24";
}

int SpriteSlotOf(int row) { return ValidRow(row) ? row + kSpriteSlotBase : kNoSpriteSlot; }

void RecordingCanvas::DrawPart(int slot, int frame) {
  if (slot < 0 || slot >= 256) return;
  slot_frame[slot] = frame;
  ++slot_draws[slot];
  ++total_draws;
}

void RecordingCanvas::DrawPartDepth(int row, int frame) {
  if (ValidRow(row)) depth_frame[row] = frame;
}

void RecordingCanvas::Clear() {
  slot_frame.fill(-1);
  slot_draws.fill(0);
  depth_frame.fill(-1);
  total_draws = 0;
}

int RecordingCanvas::FrameOfRow(int row) const {
  int slot = SpriteSlotOf(row);
  return slot < 256 ? slot_frame[slot] : -1;
}

int RecordingCanvas::DrawsOfRow(int row) const {
  int slot = SpriteSlotOf(row);
  return slot < 256 ? slot_draws[slot] : 0;
}

int RecordingCanvas::DepthFrameOfRow(int row) const {
  return ValidRow(row) ? depth_frame[row] : -1;
}

Table::Table() : shows(BuildLampShows()) {
  for (int r = 0; r < kObjectRows; ++r) objects[r] = FromTemplate(r);
}

void PlaySound(const Table& table, int slot, float x, float y) {
  if (table.sound) table.sound->PlayTableSound(slot, x, y, true, false);
}

void ResetObjects(Table& table) {
  for (int r = 0; r < kObjectRows; ++r) {
    TableObject& o = table.objects[r];
    o = FromTemplate(r);
    o.dirty = 1;
    o.shown_frame = -1;
  }
  for (int r = 0; r < kObjectRows && table.objects[r].kind != kKindNone; ++r) {
    DrawObject(table, r, true);
  }
}

void SetLamp(Table& table, int row, bool on) {
  if (!ValidRow(row)) return;
  TableObject& o = table.objects[row];
  if (o.kind != kKindLamp) return;
  if (on == (o.state != 0)) return;
  o.value = on ? 1 : 0;
  o.state = on ? 1 : 0;
  o.animating = 1;
  o.frame = on ? 0 : 2;
}

void ShowLamp(Table& table, int row, bool on) {
  if (!ValidRow(row)) return;
  TableObject& o = table.objects[row];
  if (o.kind != kKindLamp) return;
  o.value = on ? 1 : 0;
  o.animating = 1;
  o.frame = on ? 2 : 0;
}

void SetLampBlinking(Table& table, int row) {
  if (!ValidRow(row) || table.objects[row].kind != kKindLamp) return;
  SetLamp(table, row, true);
  table.objects[row].state = 2;
}

void StepObjectAnimation(Table& table, int row) {
  if (!ValidRow(row)) return;
  TableObject& o = table.objects[row];
  o.step_timer = o.step_period;
  switch (o.kind) {
    case kKindKicker:
      if (o.rising) {
        if (o.frame < 3) {
          ++o.frame;
        } else {
          o.frame = 0;
          o.rising = 0;
          o.animating = 0;
        }
      }
      break;
    case kKindLamp:
      if (o.value) {
        if (++o.frame > 2) {
          o.frame = 2;
          o.animating = 0;
        }
      } else if (--o.frame < 0) {
        o.frame = 0;
        o.animating = 0;
      }
      break;
    case kKindBumper:
      if (o.frame <= 2) {
        if (++o.frame > 2) {
          o.frame = 3;
          o.animating = 0;
        }
      } else if (o.frame <= 5) {
        if (++o.frame > 5) {
          o.frame = 3;
          o.animating = 0;
        }
      } else if (++o.frame > 9) {
        o.frame = 0;
        o.animating = 0;
      }
      break;
    case kKindGate:
      if (o.rising) {
        if (++o.frame > 4) {
          o.frame = 4;
          o.rising = 0;
        }
      } else if (--o.frame < 1) {
        o.frame = 0;
        o.animating = 0;
        PlaySound(table, core::kSoundMetal, 400.0f, 0.0f);
      }
      break;
    case kKindRollover:
      if (o.rising) {
        if (++o.frame > 2) {
          o.frame = 2;
          o.rising = 0;
        }
      } else if (--o.frame < 1) {
        o.frame = 0;
        o.animating = 0;
      }
      break;
    case kKindDropTarget:
      if (o.rising) {
        if (++o.frame > 5) {
          o.frame = 5;
          o.rising = 0;
          o.animating = 0;
        }
      } else if (++o.frame > 10) {
        o.frame = 0;
        o.animating = 0;
      }
      break;
    default:
      break;
  }
  DrawObject(table, row, false);
}

void DrawObject(Table& table, int row, bool force) {
  if (!ValidRow(row)) return;
  TableObject& o = table.objects[row];
  if (o.kind == kKindDropTarget) {
    table.drop_bank_redraw = 1;
    return;
  }
  if (o.kind == kKindPlunger && (!table.flags.plunger_armed || table.flags.computer_playing)) {
    return;
  }
  int offset = 0;
  if (table.flags.lights_out) {
    switch (o.kind) {
      case kKindKicker:
      case kKindBumper:
      case kKindRollover:
      case kKindLamp:
        return;
      case kKindGate:
        offset = kGateDarkOffset;
        break;
      case kKindSpinner:
        offset = kSpinnerDarkOffset;
        break;
      default:
        break;
    }
  }
  if (!force && o.frame == o.shown_frame) return;
  if (table.canvas && o.sprite_slot < 256) {
    table.canvas->DrawPart(o.sprite_slot, o.frame + offset);
    if (o.has_depth) table.canvas->DrawPartDepth(row, o.frame);
  }
  o.shown_frame = o.frame;
  o.dirty = 0;
}

void DrawDropTargetBank(Table& table) {
  const bool dark = table.flags.lights_out != 0;
  TableObject& bank = table.objects[kRowDropBank];
  bank.frame = dark ? 1 : 0;
  if (table.canvas) {
    table.canvas->DrawPart(bank.sprite_slot, bank.frame);
    table.canvas->DrawPartDepth(kRowDropLast, table.objects[kRowDropLast].value ? 1 : 0);
  }
  bank.shown_frame = bank.frame;
  bank.dirty = 0;
  for (int r = kRowDropLast; r >= kRowDropFirst; --r) {
    TableObject& o = table.objects[r];
    if (table.canvas) table.canvas->DrawPart(o.sprite_slot, o.frame + (dark ? kDropDarkOffset : 0));
    o.shown_frame = o.frame;
    o.dirty = 0;
  }
}

void RedrawAllObjects(Table& table) {
  for (int r = 0; r < kObjectRows && table.objects[r].kind != kKindNone; ++r) {
    if (table.objects[r].kind != kKindPlunger) DrawObject(table, r, true);
  }
}

void UpdateObjectTimers(Table& table, int32_t frame_time) {
  for (int r = 0; r < kObjectRows && table.objects[r].kind != kKindNone; ++r) {
    TableObject& o = table.objects[r];
    if (o.state == 2) {
      if (frame_time < o.blink_timer) {
        o.blink_timer -= frame_time;
      } else {
        o.value = !o.value;
        o.blink_timer = o.value ? 200 : 100;
        o.frame = o.value ? 2 : 0;
        DrawObject(table, r, false);
      }
      continue;
    }
    if (!o.animating || o.step_timer == -1) continue;
    if (frame_time < o.step_timer) {
      o.step_timer -= frame_time;
    } else {
      StepObjectAnimation(table, r);
    }
  }
  if (table.drop_bank_redraw) {
    table.drop_bank_redraw = 0;
    DrawDropTargetBank(table);
  }
}

}  // namespace rules
