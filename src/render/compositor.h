#pragma once
// The per-frame picture. The table is a fixed picture in the background
// buffer; table parts that change are drawn into it once, and the balls (with
// shadows and rolling reflections) and message sprites are sprite instances
// drawn over the back buffer every frame, depth-tested against the scene depth
// map. Only the rectangles that changed are restored, tracked per surface of
// the flip chain.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "physics/ball.h"
#include "render/blitters.h"
#include "render/display.h"
#include "render/image_files.h"
#include "render/image_set.h"
#include "render/projection.h"
#include "render/reflection_map.h"
#include "render/true_colour_sprite.h"

namespace render {

inline constexpr size_t kInstanceCount = 512;
inline constexpr int32_t kMaxRectsPerList = 2048;
inline constexpr size_t kMaxRectLists = 4;
inline constexpr int32_t kParkX = -3392;  // where balls wait off screen, table pixels
inline constexpr int32_t kParkY = -3218;
inline constexpr int32_t kParkDepth = -15500;
inline constexpr float kLaneX = 730.0f;  // balls from here right are in the plunger lane
inline constexpr int32_t kShadowDepthBias = 30;
inline constexpr int32_t kMaxShake = 32;

struct SpriteInstance {
  int32_t x = 0, y = 0;                 // screen position of the frame's hot spot
  int32_t depth = -1;                   // larger = nearer; 0 or below = not drawn; −1 = hidden
  int32_t frame = 0;                    // below 0 = nothing
  const DepthMap* depth_map = nullptr;  // scene depth to test against
  int32_t depth_test = 0;
  int32_t shadow = 0;     // the set carries a shadow plane to draw
  int32_t shadow_on = 0;  // draw it this frame
  ClipRect clip;
  physics::ReflectionBlock reflection;  // radius 0 = no reflection
  ImageSet* image_set = nullptr;
};

// Rectangles one surface of the flip chain needs restored.
struct BufferRectList {
  std::vector<Rect> rects;  // room for one past the limit; emptied on overflow
  int32_t count = 0;
};

// Something drawn over the finished frame (the menus); the compositor calls it
// with the back buffer as draw target.
class ScreenOverlay {
 public:
  virtual ~ScreenOverlay() = default;
  virtual void Draw() = 0;
};

// One quadrant of the reflection disc, kept from one ball frame to the next:
// the products a texel position is made of depend on |i| and |j| only, and
// the ones without the angle only on the disc's size and the tables.
struct ReflectionQuadrant {
  int32_t outer = -1, l = -1;
  float e = 0.0f;
  size_t side = 0;
  const float *distance = nullptr, *spread = nullptr;
  std::vector<float> jq, iq;          // |j| q, |i| q
  std::vector<float> jc, js, ic, is;  // (|j| q) cos a, (|j| q) sin a, (|i| q) cos a, (|i| q) sin a
  std::vector<uint8_t> inside;        // within the outer radius
};

struct Compositor {
  std::array<SpriteInstance, kInstanceCount> instances;
  std::array<BufferRectList, kMaxRectLists> lists;
  int32_t current_buffer = 0;
  int32_t buffer_count = kBufferCount;
  // Presents on which a sprite slot's rectangle must still be copied back.
  std::array<int32_t, kSpriteSlotCount> part_repaint_count{};
  int32_t shake_x = 0, shake_y = 0;  // set by the nudge; 0, 0 = still
  bool menus_off = false;
  // Shadows went into the scene with no rectangle left to take them out
  // again (drawn while no rectangles were kept, or a list overflowed): the
  // next frame copies the whole background back into the scene first.
  bool scene_stale = false;
  ScreenOverlay* menus = nullptr;  // not owned; may be null

  // The table picture without moving things, and the same with this frame's shadows.
  std::vector<uint8_t> background;
  std::vector<uint8_t> scene;
  DepthMap scene_depth;  // rendered with the table picture; parts stamp theirs into it

  ShadowTables shadows;
  LookupTable256 mix{};  // reflection: [ball index × 256 + texel]
  bool mix_loaded = false;
  ReflectionTables reflection;
  ReflectionQuadrant reflection_quadrant;  // scratch of the reflection pass

  // Screen x, y and depth of each ball from the last placement.
  std::array<Projected, 2> ball_screen{};

  // Scratch for the draw list (instance, depth), kept to avoid allocation per frame.
  std::array<std::pair<int32_t, int32_t>, kInstanceCount> draw_list{};
};

// Sizes the background and scene buffers for the display's mode, points the
// format at them, resets the instances, empties the lists and asks for three
// full repaints. The reflection's distance and spread tables are filled.
void InitCompositor(Compositor& c, Display& display);

// --- sprite instances (out-of-range numbers are ignored) ---
void ResetInstances(Compositor& c, const DisplayFormat& f);
void AttachImageSet(Compositor& c, int32_t i, ImageSet* set);
void SetInstanceFrame(Compositor& c, int32_t i, int32_t frame);
// x, y in table pixels (scaled to the screen and truncated).
void MoveInstance(Compositor& c, const DisplayFormat& f, int32_t i, int32_t x, int32_t y,
                  int32_t depth);
void HideInstance(Compositor& c, int32_t i);
void SetInstanceDepth(Compositor& c, int32_t i, int32_t depth);
void SetDepthMap(Compositor& c, int32_t i, const DepthMap* map);
void SetShadow(Compositor& c, int32_t i, bool on);
void SetShadowOn(Compositor& c, int32_t i, bool on);
void SetReflection(Compositor& c, int32_t i, const physics::ReflectionBlock& block);

// The balls when the playfield loads: the normal ball set, frame 0, shadow,
// shadow on, the scene depth map, then parked.
void PrepareBalls(Compositor& c, const DisplayFormat& f, ImageSetTable& sets);
// Positions instances 0 and 1 from the ball records.
void PlaceBalls(Compositor& c, const DisplayFormat& f,
                std::span<const physics::BallRecord, physics::kBallCount> balls,
                ImageSetTable& sets);
void ParkBalls(Compositor& c, const DisplayFormat& f);

// Advances a ball's reflection texture offsets and angle by one step's forward
// roll, sideways roll and spin (radians).
void RollReflection(physics::ReflectionBlock& block, const ReflectionTables& tables, float forward,
                    float sideways, float spin);

// Draws the sprite's current frame into the background and scene buffers; a
// sprite of the slot table (slot 0..255) gets its rectangle repainted on the
// next presents.
void DrawIntoBackground(Compositor& c, const DisplayFormat& f, const TrueColourSprite& sprite,
                        int32_t slot = -1);
// Draws the sprite's current frame onto the locked back buffer and records its
// rectangle for restoring.
void DrawOnScreen(Compositor& c, Display& display, const TrueColourSprite& sprite);
// Copies depth frame `frame` (0..63) of a part into the scene depth map. Nothing
// happens for a frame out of range, an empty map or part, a negative offset or
// a part that does not fit.
void StampPartDepth(DepthMap& scene, const PartDepth& part, int32_t frame);

// Brings the locked back buffer up to date. `slots` are the table parts whose
// rectangles may be due for a repaint.
void ComposeFrame(Compositor& c, Display& display, const SpriteSlots& slots);

// Restores a rectangle list entry and records one (x1, y1 exclusive).
void AddDirtyRect(Compositor& c, Display& display, Rect r);

}  // namespace render
