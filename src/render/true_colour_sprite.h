#pragma once
// True-colour sprites ("SPR24" files, .J24): lamps, bumpers, gates, targets,
// flippers, plunger, scoreboard and menu graphics. Every frame is resampled to
// the current resolution, masked and converted to the screen format once, at
// load time, so drawing is a keyed copy.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "render/colour_cube.h"
#include "render/image_files.h"
#include "render/picture.h"
#include "render/pixel_format.h"
#include "res/resource_layer.h"

namespace render {

struct TrueColourSprite {
  int32_t value_a = 0, value_b = 0;  // from the header, carried along
  int32_t width = 0, height = 0;     // frame size on screen
  int32_t x = 0, y = 0;              // screen position of the top-left pixel
  int32_t frame_count = 0;
  int32_t encoding = 0;
  // 0 in PAL8, 0x7C1E in RGB555, 0xF81E in RGB565; in RGB24/RGB32 the header's
  // key colour (transparent pixels there are always stored as 0xFF00FE).
  uint32_t key_value = 0;
  int32_t current_frame = 0;    // −1 draws nothing
  int32_t bytes_per_pixel = 0;  // of the frames: 1, 2 or 4 (RGB24 frames hold 4)
  // frame_count frames of width × height pixels in the screen format, no padding.
  std::vector<std::vector<uint8_t>> frames;
};

inline constexpr size_t kSpriteSlotCount = 256;

// The game's 256 sprite slots; table parts refer to a slot by number.
struct SpriteSlots {
  std::array<TrueColourSprite, kSpriteSlotCount> slots;
};

// What a load reads: the files, the screen format and (PAL8) the working cube.
struct TrueColourContext {
  res::ResourceLayer& layer;
  const DisplayFormat& format;
  const TableColours& colours;
};

// Reads and converts one "SPR24" file. `mask_name` (may be empty) names an
// "IMMASK" file used when the file carries no mask of its own. dx, dy (table
// pixels) are added to the header's position. On failure the record is left
// zeroed. `rest_rim` (screen pixels, 0 for none) is for a moving part whose
// frame 0 is part of the background picture: the other frames also cover the
// pixels within that distance of the frames' mask that the part left, so
// that its resting edge and shadow do not stay behind when it moves.
bool LoadTrueColourSprite(TrueColourSprite& sprite, TrueColourContext& ctx, std::string_view name,
                          std::string_view mask_name, int32_t dx, int32_t dy, int32_t rest_rim = 0);
void FreeTrueColourSprite(TrueColourSprite& sprite);
// For a sprite loaded with a rest rim: frame 0 takes the background picture's
// pixels (same format, screen-sized) wherever another frame paints and frame 0
// is transparent, so coming back to rest restores the resting edge exactly.
void CoverRestRim(TrueColourSprite& sprite, const Picture& background);

// Current frame + 1, wrapping to 0 after the last.
void NextFrame(TrueColourSprite& sprite);
// Current frame − 1; below 0 it wraps to the last frame (0 with no frames).
void PrevFrame(TrueColourSprite& sprite);
// Sets the current frame when 0 <= index < frame count; otherwise no change.
void SetFrame(TrueColourSprite& sprite, int32_t index);

struct SpriteRectangle {
  int32_t x0, y0, x1, y1;  // x1, y1 exclusive
};
SpriteRectangle SpriteRect(const TrueColourSprite& sprite);

// Reads one byte at every tenth pixel of every tenth row of every frame of every
// slot, so the frame memory is paged in. Returns a sum so the reads stay.
uint32_t WarmUpSprites(const SpriteSlots& slots);

// --- the graphics of the table parts ---

inline constexpr size_t kPartGraphicsCount = 256;
inline constexpr int32_t kFirstPartSlot = 30;  // table object row r uses slot r + 30
inline constexpr int32_t kNamedPartCount = 65;
inline constexpr int32_t kNoSpriteSlot = 256;

struct PartGraphics {
  std::string sprite_file;  // "RES\ANIM\X.J24"; empty = no picture
  int32_t sprite_slot = kNoSpriteSlot;
  std::string mask_file;   // "RES\IMMASK\X.IMS"; empty = none
  std::string depth_file;  // "RES\Z\X.ZS2"; empty = none
  PartDepth depth;         // filled when the depth file is loaded
};

struct PartGraphicsTable {
  std::array<PartGraphics, kPartGraphicsCount> records;
};

// The program's initial table: the 65 named parts in rows 0..64 (slots 30..94),
// the rest empty.
void InitPartGraphicsTable(PartGraphicsTable& table);

// The base name (no folder, no extension) of named part `row`, or empty.
std::string_view PartName(int32_t row);

// For every record with a sprite file and a slot below 256: frees the slot and
// loads the sprite with the record's mask; for every record with a depth file:
// loads it. All records are attempted; true when every one loaded.
bool LoadPartGraphics(PartGraphicsTable& table, SpriteSlots& slots, TrueColourContext& ctx);

}  // namespace render
