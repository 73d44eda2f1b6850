#pragma once
// The two flippers. A flipper is an animation of 29 positions (frame 0 down,
// 28 fully up; 29 while it is held at the top) with one collision mask per
// frame. Each physics step moves the frame while the player holds or releases
// the button; a speed counter says how fast the stroke currently is. When a
// ball meets the flipper's surface (code 11) the collision response asks for a
// strike (FlipperStrike).

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "physics/ball.h"

namespace core {
class TableSound;
}

namespace physics {

struct World;

inline constexpr int kFlipperCount = 2;
inline constexpr int kFlipperControls = 4;
inline constexpr int kFlipperTopFrame = 28;
inline constexpr int kFlipperHeldFrame = 29;  // at the top while the hold runs down
inline constexpr int kMaxKeyFrames = 16;

// One collision mask frame as decoded from the mask sprite set: width × height
// bytes, row-major; a non-zero byte is flipper surface.
struct FlipperMaskFrame {
  int32_t width = 0;
  int32_t height = 0;
  std::span<const uint8_t> pixels;
};

struct Flipper {
  int32_t pivot_x = 0, pivot_y = 0;                            // rotation centre, playfield pixels
  int32_t box_x = 0, box_y = 0, box_w = 0, box_h = 0;          // area covered by the masks
  int32_t slow_x0 = 0, slow_y0 = 0, slow_x1 = 0, slow_y1 = 0;  // slow zone (exclusive)
  int32_t mask_source = -1;          // 0 or 1: that flipper's masks and boxes; otherwise its own
  const char* mask_file = "";        // collision masks, one per frame 0..29 ("SPRITE" set)
  const char* picture_file = "";     // drawn images, one per key frame
  const char* image_mask_file = "";  // the drawn images' mask
  const char* depth_file = "";       // depth frames, one per drawn image
  std::array<int32_t, kMaxKeyFrames> key_frames{};  // ended by -1
  int32_t left_side = 0;
  int32_t upside_down = 0;
  int32_t control = 0;          // which flipper control drives it
  int32_t hold_multiplier = 3;  // scales hold times (0 or less means 5)
  int32_t frame = 0;            // 0..28, 29 while held at the top
  int32_t previous_frame = 0;   // frame at the end of the last step
  int32_t hold = 0;             // while above zero the frame does not change
  int32_t speed_counter = 0;    // stroke speed, 4..30
  int32_t pressed = 0;
  int32_t previous_pressed = 0;  // at the end of the last step
  int32_t redraw = 0;            // the drawn image must change
  int32_t image = 0;             // drawn image: index of the first key frame >= frame

  // Collision masks, box_w × box_h bytes per frame (empty: no masks loaded).
  int32_t mask_frames = 0;
  std::vector<uint8_t> masks;
};

// The built-in records: flipper 0 left, flipper 1 right.
std::array<Flipper, kFlipperCount> BuiltInFlippers();

// Takes a flipper's collision masks. Each frame's pixel (x, y) lies over
// playfield pixel (box x + x, box y + y); parts outside the box are dropped.
// Fails (and leaves the flipper without masks) on no frames or a frame whose
// pixels are fewer than width × height.
bool SetFlipperMasks(Flipper& flipper, std::span<const FlipperMaskFrame> frames);

// A flipper whose mask source is 0 or 1 takes that flipper's pivot, boxes and
// masks; every other value keeps its own. Run once the masks are loaded.
void ShareFlipperMasks(std::array<Flipper, kFlipperCount>& flippers);

// True when the flipper's own masks are loaded.
bool HasMasks(const Flipper& f);
// Whether the flipper's mask for its current frame marks the playfield pixel
// (x, y) (which must lie inside its box) as flipper surface.
bool MaskSaysFlipper(const Flipper& f, int x, int y);

// The flipper a query names, or null: numbers other than 0 and 1, and every
// number while a ball is stepped mirrored, name no flipper.
const Flipper* FlipperFor(const World& w, int n);
Flipper* FlipperFor(World& w, int n);

// Derived queries; a missing flipper answers 0 / false.
int FlipperFrame(const World& w, int n);
int FlipperPreviousFrame(const World& w, int n);
bool FlipperRising(const World& w, int n);
bool FlipperFalling(const World& w, int n);
bool FlipperMoving(const World& w, int n);
float FlipperSpeed(const World& w, int n);  // speed counter / 28
float FlipperHardness(const World& w, int n, int contact_steps);
int FlipperAboveSign(const World& w, int n);  // -1 upside down, else +1
bool FlippersAllDown(const World& w);

// The flipper whose box holds (x, y) and that has masks, searched the way the
// surface lookup does; -1 for none.
int FlipperAt(const World& w, int x, int y);

// One flipper update for a control number (0..3) with the hold factor (the
// frame loop passes 7); every flipper driven by that control moves.
void UpdateFlipper(World& w, int control, bool pressed, int hold_factor);

// After the ball steps: press and release sounds, then pressed and frame are
// remembered as the previous ones.
void FlipperSounds(World& w);

// Selects the drawn image of each flipper whose redraw flag is set (or every
// flipper when forced) and clears the flag. Returns a bit per flipper whose
// image was selected, for the drawing code.
int RefreshFlipperImages(World& w, bool force);

// hold = n × hold multiplier (n × 5 when the multiplier is 0 or less).
void SetFlipperHold(World& w, int n, int amount);

// Both frames to 0, images selected at once. At every new game.
void ResetFlippers(World& w);

// True when a flipper stands at frame 28 (not 29) and (x, y) lies strictly
// inside its slow zone.
bool InFlipperSlowZone(const World& w, float x, float y);

// Ends a ball's flipper contact.
void EndFlipperContact(BallRecord& ball);

}  // namespace physics
