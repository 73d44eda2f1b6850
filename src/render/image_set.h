#pragma once
// Indexed sprite sets ("SPRITE" files): frames of 8-bit palette indices with a
// palette and optionally a colour cube. Indices stay indices in memory; drawing
// maps them through the set's lookup table (or writes them as they are in
// 256-colour mode). Frames may be held coded with the block codec, with a
// one-frame decode cache.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "render/blitters.h"
#include "render/colour_cube.h"
#include "render/pixel_format.h"

namespace render {

inline constexpr char kImageSetTag[] = "SPRITE";
inline constexpr size_t kImageSetHeaderSize = 104;
inline constexpr size_t kSpriteFrameEntrySize = 68;
inline constexpr size_t kImageSetCount = 512;
inline constexpr uint8_t kDeltaKey = 254;  // "same as the previous frame" in difference frames
inline constexpr int32_t kMaxCompositeFrames = 1024;

enum : int32_t { kStoredPlain = 0, kCodedAlone = 1, kCodedDifferences = 2 };

struct SpriteFrame {
  int32_t width = 0;
  int32_t height = 0;
  int32_t hot_x = 0;  // drawn with its top-left at instance x − hot x
  int32_t hot_y = 0;
  int32_t decoded_size = 0;  // width × height
  int32_t stored_size = 0;
  std::vector<uint8_t> pixels;    // stored data: plain, or a codec block
  std::vector<uint8_t> shadow;    // composite sets: shadow plane, width × height
  std::vector<uint8_t> coverage;  // composite sets: 1 where any plane has a visible pixel
  uint8_t key = 0;                // transparent index (0 once loaded)
  uint8_t delta_key = 0;          // 254 in frames coded as differences
  uint8_t stored_plain = 0;       // 1 when this frame is not coded although the set is
  // Plain frames of composite sets, once final (MeasureUsedBoxes): where
  // `pixels` holds bytes other than `key` and `shadow` bytes other than 0.
  bool boxes_measured = false;
  SourceBox pixel_box, shadow_box;  // w = 0: nothing there
};

struct ImageSet {
  int32_t version = 0;
  int32_t frame_count = 0;
  int16_t bits_per_pixel = 0;
  int16_t palette_precision = 0;  // 0 = 6-bit components in the file
  int32_t palette_count = 0;
  int32_t compression = kStoredPlain;
  int32_t cache_index = -1;  // frame held in decode_buffer, −1 = none
  std::vector<uint8_t> decode_buffer;
  std::vector<uint8_t> decode_buffer2;  // difference-coded sets only
  std::vector<SpriteFrame> frames;
  int32_t cube_block_size = 0;
  Palette palette{};             // the palette the indices refer to
  std::vector<uint32_t> lookup;  // 256 screen values; empty in PAL8
  std::vector<uint8_t> work;     // one frame, for shadows and reflections
  std::vector<int32_t> radii;    // per-frame ball radius (MeasureBallRadii)
  bool loaded = false;
};

// The game's 512 sets, cleared at start-up; the normal ball set and the plunger-lane
// ball set are the first two.
struct ImageSetTable {
  std::array<ImageSet, kImageSetCount> sets;
};
inline constexpr size_t kBallSet = 0;
inline constexpr size_t kLaneBallSet = 1;

enum class Reindex { kInPal8, kAlways, kNever };

// How one set is prepared.
struct ImageSetOptions {
  Reindex reindex = Reindex::kInPal8;  // kAlways for the ball sets
  bool nearest = false;                // nearest instead of bilinear resampling
  bool table_resolution = false;       // never resample
  bool keep_cube = false;              // leave the working cube alone (colour cube block unused)
  bool keep_decoded = false;           // do not code the frames again after preparing them
  bool trim_ball = false;              // composite picture: trim around the ball centre
};

inline constexpr int32_t kBallCentre = 63;  // centre of a hot-(0, 0) ball frame, 1024 wide

// What a load reads and may change besides the set.
struct ImageSetContext {
  const DisplayFormat& format;
  TableColours& colours;              // table palette, working and saved cube
  Palette* shadow_palette = nullptr;  // receives the set's palette when given
};

// Reads a whole "SPRITE" file and prepares it for the display. On failure the
// set is left empty and the working cube is the table's again.
bool LoadImageSet(ImageSet& set, std::span<const uint8_t> file, ImageSetContext& ctx,
                  const ImageSetOptions& options = {});

// Joins a picture file and an optional shadow file of the same frame count into
// one plain set whose frames carry a shadow plane and a coverage map.
bool LoadCompositeSet(ImageSet& set, std::span<const uint8_t> picture,
                      std::span<const uint8_t> shadow, ImageSetContext& ctx);

// Frees everything and zeroes the record.
void FreeImageSet(ImageSet& set);

// The decoded pixels of a frame (width × height bytes), through the one-frame
// cache for coded sets; empty on failure or a frame out of range.
std::span<const uint8_t> FramePixels(ImageSet& set, int32_t frame);

// The index at (x, y) of a frame, −1 outside it or on failure.
int32_t PixelAt(ImageSet& set, int32_t frame, int32_t x, int32_t y);

// Fills set.radii: for each hot-(0, 0) frame large enough, the distance from the
// centre to the first key byte on the centre row (+2), the larger of both sides.
void MeasureBallRadii(ImageSet& set, int32_t centre_x, int32_t centre_y);

// Records each plain frame's used boxes, so drawing need not search for them.
// Call again after changing a frame's planes.
void MeasureUsedBoxes(ImageSet& set);

// Reads every byte of the pixel data and of every plane of every frame of all
// sets, so the memory is paged in before play. Returns a sum so the reads stay.
uint32_t WarmUpImageSets(const ImageSetTable& table);

// The 256 screen values of a palette (empty in PAL8).
std::vector<uint32_t> BuildLookupTable(const DisplayFormat& format, const Palette& palette);

// Codes every (plain) frame of a set with compression 1 or 2; frames the encoder
// declines are stored plain. Compression 2 needs two or more frames of one size.
bool CodeFrames(std::vector<SpriteFrame>& frames, int32_t compression);

}  // namespace render
