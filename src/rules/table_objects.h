#pragma once
// The table objects: every lamp, bumper, target, rollover lamp, wire gate,
// the spinner, the rebound kicker and the plunger picture, one row each of a
// 256-row table (rows 0 to 64 used). Each row draws through sprite slot
// row + 30. Lamps fade, blink and follow lamp shows; every object steps its
// picture animation on its own timer.

#include <array>
#include <cstdint>
#include <string>

#include "core/table_sound.h"
#include "rules/lamp_shows.h"

namespace rules {

inline constexpr int kObjectRows = 256;
inline constexpr int kUsedObjectRows = 65;
inline constexpr int kSpriteSlotBase = 30;
inline constexpr int kNoSpriteSlot = 256;

enum ObjectKind : int32_t {
  kKindNone = 0,
  kKindKicker = 2,
  kKindLamp = 3,
  kKindBumper = 4,
  kKindRollover = 6,
  kKindDropTarget = 12,
  kKindGate = 18,
  kKindSpinner = 24,
  kKindPlunger = 25,
};

// Rows by name.
inline constexpr int kRowKicker = 0;
inline constexpr int kRowSpinner = 1;
inline constexpr int kRowBumperFirst = 2;  // the first bumper: skill shot
inline constexpr int kRowBumperLast = 10;
inline constexpr int kBumperCount = 9;
inline constexpr int kRowGateLeft = 11;
inline constexpr int kRowGateRight = 12;
inline constexpr int kRowGateShooter = 13;
inline constexpr int kRowTreeFirst = 14;  // T, R, E1, E2
inline constexpr int kRowMultiball = 18;  // L_MBALL
inline constexpr int kRowGift = 19;       // L_GIFT: award ready
inline constexpr int kRowShootAgain = 20;
inline constexpr int kRowSantaFirst = 21;  // S, A1, N, T, A2
inline constexpr int kRowBonusFirst = 26;  // 20 bonus lamps
inline constexpr int kBonusLamps = 20;
inline constexpr int kRowRollTreeFirst = 46;
inline constexpr int kRowRollSide = 50;
inline constexpr int kRowRollGift = 51;
inline constexpr int kRowRollEntry = 52;
inline constexpr int kRowRollSantaS = 53;
inline constexpr int kRowRollSantaA1 = 54;
inline constexpr int kRowRollSantaA2 = 55;
inline constexpr int kRowDropFirst = 56;  // 56..59, 59 the top target
inline constexpr int kRowDropLast = 59;
inline constexpr int kRowDropBank = 60;
inline constexpr int kRowExtra = 61;
inline constexpr int kRowDouble = 62;
inline constexpr int kRowSpecial = 63;
inline constexpr int kRowPlunger = 64;

// Dark picture offsets while the table is dark after a tilt.
inline constexpr int kGateDarkOffset = 5;
inline constexpr int kSpinnerDarkOffset = 16;
inline constexpr int kDropDarkOffset = 11;

// One row's fixed description: what the row is, where it is hit and the
// files of its pictures.
struct ObjectTemplate {
  int32_t kind = kKindNone;
  int32_t x = -1, y = -1;  // hit point; -1 when never hit
  int32_t surface_code = -1;
  const char* name = "";        // animation "RES\ANIM\<name>.J24"; empty for none
  const char* mask_file = "";   // full resource name or empty
  const char* depth_file = "";  // full resource name or empty
  int32_t step_period = 30;     // ms
};

// The template rows (rows 65 onwards are empty).
const std::array<ObjectTemplate, kObjectRows>& ObjectTemplates();
// "RES\ANIM\<name>.J24" for a row with a picture; empty otherwise.
std::string AnimationFile(int row);
int SpriteSlotOf(int row);

struct TableObject {
  int32_t kind = kKindNone;
  int32_t x = -1, y = -1;
  int32_t surface_code = -1;
  int32_t sprite_slot = kNoSpriteSlot;
  int32_t has_depth = 0;     // a depth sprite is stamped with the frame
  int32_t step_period = 30;  // ms between animation steps
  int32_t state = 0;         // logical lamp state: 0 off, 1 on, 2 blinking
  int32_t timed = 0, timeout = 0;
  int32_t animating = 0;
  int32_t value = 0;        // lamp lit, bumper lit, drop target down
  int32_t blink_timer = 0;  // ms left in the blink phase
  int32_t rising = 0;
  int32_t dirty = 0;
  int32_t frame = 0;
  int32_t shown_frame = -1;    // -1 forces a redraw
  uint32_t last_hit_time = 0;  // ms
  int32_t step_timer = 0;      // ms to the next animation step; -1 stops stepping
  int32_t show_owned = 0;
};

// Where table-part pictures go. The compositor implements it; until then the
// recording canvas keeps what was asked.
class ObjectCanvas {
 public:
  virtual ~ObjectCanvas() = default;
  // Sets the frame of the sprite in a slot and draws it into the table.
  virtual void DrawPart(int slot, int frame) = 0;
  // Sets the frame of a row's depth sprite and stamps it.
  virtual void DrawPartDepth(int row, int frame) = 0;
};

class RecordingCanvas final : public ObjectCanvas {
 public:
  RecordingCanvas() { Clear(); }
  void DrawPart(int slot, int frame) override;
  void DrawPartDepth(int row, int frame) override;
  void Clear();
  // The frame last drawn for a row's slot, -1 when never drawn.
  int FrameOfRow(int row) const;
  int DrawsOfRow(int row) const;
  int DepthFrameOfRow(int row) const;

  std::array<int32_t, 256> slot_frame{};
  std::array<int32_t, 256> slot_draws{};
  std::array<int32_t, kObjectRows> depth_frame{};
  int32_t total_draws = 0;
};

// The game-flow flags table drawing reads; the game flow keeps them current.
struct TableFlags {
  int32_t lights_out = 0;     // dark table after a tilt
  int32_t plunger_armed = 0;  // the plunger picture is shown
  int32_t computer_playing = 0;
};

struct Table {
  Table();

  std::array<TableObject, kObjectRows> objects{};
  std::array<LampShow, kShowSlots> shows{};
  int32_t drop_bank_redraw = 0;  // a drop target asked for the bank to be drawn
  TableFlags flags;
  // Not owned; may be null (nothing drawn, nothing heard).
  ObjectCanvas* canvas = nullptr;
  core::TableSound* sound = nullptr;
};

// Plays a table sound with restart on, looping off.
void PlaySound(const Table& table, int slot, float x, float y);

// Copies the template over every row, resets the run-time fields and draws
// every object (a new game).
void ResetObjects(Table& table);
// The logical switch of a lamp, with a fade (lamps only).
void SetLamp(Table& table, int row, bool on);
// The instant switch used by lamp shows; the logical state is left alone.
void ShowLamp(Table& table, int row, bool on);
// Sets a lamp on and blinking.
void SetLampBlinking(Table& table, int row);
void StepObjectAnimation(Table& table, int row);
void DrawObject(Table& table, int row, bool force);
void DrawDropTargetBank(Table& table);
// Every row up to the first empty one except the plunger, forced.
void RedrawAllObjects(Table& table);
// Late in the rules frame: blinking, animation steps, then the drop bank.
void UpdateObjectTimers(Table& table, int32_t frame_time);

}  // namespace rules
