#include "physics/flipper.h"

#include <algorithm>

#include "core/table_geometry.h"
#include "core/table_sound.h"
#include "physics/world.h"

namespace physics {

namespace {

namespace geo = core::geometry;

constexpr int kReleaseHoldAdd = 10;  // a release waits this much longer than a press
constexpr int kTopHoldTimes = 5;     // hold at the top, in hold-multiplier units
constexpr int kFallFastBelow = 14;   // below this frame a falling flipper drops two per step
constexpr int kMaxSpeedCounter = 30;
constexpr float kSpeedScale = 28.0f;

// Flipper sound slots and places.
constexpr int kLeftHum = core::kSoundLeftHum, kLeftPress = core::kSoundLeftUp,
              kLeftRelease = core::kSoundLeftDown;
constexpr int kRightHum = core::kSoundRightHum, kRightPress = core::kSoundRightUp,
              kRightRelease = core::kSoundRightDown;
constexpr float kLeftSoundX = 300.0f, kRightSoundX = 500.0f, kRightHumY = 600.0f;

constexpr std::array<int32_t, kMaxKeyFrames> kKeyFrames = {0,  5,  10, 15, 20, 24, 27, 28,
                                                           29, -1, -1, -1, -1, -1, -1, -1};

int HoldUnit(const Flipper& f) { return f.hold_multiplier > 0 ? f.hold_multiplier : 5; }

bool IsKeyFrame(const Flipper& f, int frame) {
  for (int32_t k : f.key_frames) {
    if (k < 0) break;
    if (k == frame) return true;
  }
  return false;
}

int ImageOf(const Flipper& f) {
  int i = 0;
  for (int32_t k : f.key_frames) {
    if (k < 0) break;
    if (k >= f.frame) return i;
    ++i;
  }
  return i > 0 ? i - 1 : 0;  // past the last key frame: the last image
}

// The speed counter follows one control: a change of state starts it again.
void UpdateSpeedCounter(World& w, Flipper& f, bool pressed) {
  const int lo = w.tuning.min_flipper_speed_counter;
  int32_t& last = w.flipper_control_state[static_cast<size_t>(f.control)];
  if (static_cast<int32_t>(pressed) != last) {
    f.speed_counter = lo;
  } else if (f.speed_counter < kMaxSpeedCounter) {
    ++f.speed_counter;
  }
  if (f.speed_counter > kFlipperTopFrame - f.frame) {
    f.speed_counter = std::max(kFlipperTopFrame - f.frame, lo);
  }
  last = pressed ? 1 : 0;
}

void UpdateOne(World& w, Flipper& f, bool pressed, int c) {
  bool passed_key = false;
  auto move = [&](int delta) {
    UpdateSpeedCounter(w, f, pressed);
    f.frame += delta;
    passed_key = passed_key || IsKeyFrame(f, f.frame);
  };
  if (pressed) {
    if (f.hold > 0) {
      f.hold -= c;
    } else {
      if (f.frame <= kFlipperTopFrame - 1) {
        move(1);
        if (f.frame < kFlipperTopFrame) move(1);
      }
      if (f.frame == kFlipperHeldFrame) {
        f.frame = kFlipperTopFrame;
        passed_key = passed_key || IsKeyFrame(f, f.frame);
      }
      if (f.frame == kFlipperTopFrame && f.previous_frame < kFlipperTopFrame) {
        f.frame = kFlipperHeldFrame;
        f.hold = kTopHoldTimes * HoldUnit(f);
        passed_key = passed_key || IsKeyFrame(f, f.frame);
      }
    }
  } else {
    if (f.pressed) f.hold += kReleaseHoldAdd;
    if (f.hold > 0) {
      f.hold -= c;
    } else if (f.frame > 0) {
      move(-1);
      if (f.frame > 0 && f.frame < kFallFastBelow) move(-1);
    }
  }
  if (static_cast<int32_t>(pressed) != f.pressed || passed_key) f.redraw = 1;
  f.pressed = pressed ? 1 : 0;
}

}  // namespace

std::array<Flipper, kFlipperCount> BuiltInFlippers() {
  std::array<Flipper, kFlipperCount> f{};
  Flipper& l = f[0];
  l.pivot_x = geo::kFlippers[0].pivot.x;
  l.pivot_y = geo::kFlippers[0].pivot.y;
  l.box_x = geo::kFlippers[0].box.x;
  l.box_y = geo::kFlippers[0].box.y;
  l.box_w = geo::kFlipperBoxWidth;
  l.box_h = geo::kFlipperBoxHeight;
  l.slow_x0 = 231;
  l.slow_y0 = 1330;
  l.slow_x1 = 234;
  l.slow_y1 = 1335;
  l.mask_file = "RES\\MASK\\F_L.IMG";
  l.picture_file = "RES\\ANIM\\FL.J24";
  l.image_mask_file = "RES\\IMMASK\\FL.IMS";
  l.depth_file = "RES\\Z\\FL.ZS2";
  l.left_side = 1;
  l.control = 0;
  Flipper& r = f[1];
  r.pivot_x = geo::kFlippers[1].pivot.x;
  r.pivot_y = geo::kFlippers[1].pivot.y;
  r.box_x = geo::kFlippers[1].box.x;
  r.box_y = geo::kFlippers[1].box.y;
  r.box_w = geo::kFlipperBoxWidth;
  r.box_h = geo::kFlipperBoxHeight;
  r.slow_x0 = 486;
  r.slow_y0 = 1330;
  r.slow_x1 = 489;
  r.slow_y1 = 1335;
  r.mask_file = "RES\\MASK\\F_R.IMG";
  r.picture_file = "RES\\ANIM\\FR.J24";
  r.image_mask_file = "RES\\IMMASK\\FR.IMS";
  r.depth_file = "RES\\Z\\FR.ZS2";
  r.left_side = 0;
  r.control = 1;
  for (Flipper& x : f) {
    x.mask_source = -1;
    x.key_frames = kKeyFrames;
    x.upside_down = 0;
    x.hold_multiplier = 3;
  }
  return f;
}

bool SetFlipperMasks(Flipper& f, std::span<const FlipperMaskFrame> frames) {
  f.masks.clear();
  f.mask_frames = 0;
  if (frames.empty() || f.box_w <= 0 || f.box_h <= 0) return false;
  const size_t plane = static_cast<size_t>(f.box_w) * static_cast<size_t>(f.box_h);
  for (const FlipperMaskFrame& fr : frames) {
    if (fr.width < 0 || fr.height < 0 ||
        fr.pixels.size() < static_cast<size_t>(fr.width) * static_cast<size_t>(fr.height)) {
      return false;
    }
  }
  std::vector<uint8_t> masks(plane * frames.size(), 0);
  for (size_t i = 0; i < frames.size(); ++i) {
    const FlipperMaskFrame& fr = frames[i];
    const int w = std::min(fr.width, f.box_w), h = std::min(fr.height, f.box_h);
    for (int y = 0; y < h; ++y) {
      std::copy_n(
          fr.pixels.begin() + static_cast<ptrdiff_t>(y) * fr.width, w,
          masks.begin() + static_cast<ptrdiff_t>(i * plane) + static_cast<ptrdiff_t>(y) * f.box_w);
    }
  }
  f.masks = std::move(masks);
  f.mask_frames = static_cast<int32_t>(frames.size());
  return true;
}

void ShareFlipperMasks(std::array<Flipper, kFlipperCount>& flippers) {
  for (int i = 0; i < kFlipperCount; ++i) {
    Flipper& f = flippers[i];
    const uint32_t src = static_cast<uint32_t>(f.mask_source);
    if (src >= static_cast<uint32_t>(kFlipperCount) || static_cast<int>(src) == i) continue;
    const Flipper& s = flippers[src];
    f.pivot_x = s.pivot_x;
    f.pivot_y = s.pivot_y;
    f.box_x = s.box_x;
    f.box_y = s.box_y;
    f.box_w = s.box_w;
    f.box_h = s.box_h;
    f.slow_x0 = s.slow_x0;
    f.slow_y0 = s.slow_y0;
    f.slow_x1 = s.slow_x1;
    f.slow_y1 = s.slow_y1;
  }
}

bool HasMasks(const Flipper& f) {
  return static_cast<uint32_t>(f.mask_source) >= static_cast<uint32_t>(kFlipperCount) &&
         f.mask_frames > 0;
}

bool MaskSaysFlipper(const Flipper& f, int x, int y) {
  const int frame = std::clamp(f.frame, 0, f.mask_frames - 1);
  const size_t plane = static_cast<size_t>(f.box_w) * static_cast<size_t>(f.box_h);
  const size_t at = static_cast<size_t>(frame) * plane +
                    static_cast<size_t>(y - f.box_y) * static_cast<size_t>(f.box_w) +
                    static_cast<size_t>(x - f.box_x);
  return f.masks[at] != 0;
}

const Flipper* FlipperFor(const World& w, int n) {
  if (w.mirrored_step || n < 0 || n >= kFlipperCount) return nullptr;
  return &w.flippers[static_cast<size_t>(n)];
}

Flipper* FlipperFor(World& w, int n) {
  if (w.mirrored_step || n < 0 || n >= kFlipperCount) return nullptr;
  return &w.flippers[static_cast<size_t>(n)];
}

int FlipperFrame(const World& w, int n) {
  const Flipper* f = FlipperFor(w, n);
  return f ? f->frame : 0;
}

int FlipperPreviousFrame(const World& w, int n) {
  const Flipper* f = FlipperFor(w, n);
  return f ? f->previous_frame : 0;
}

bool FlipperRising(const World& w, int n) {
  const Flipper* f = FlipperFor(w, n);
  return f && f->pressed && f->frame < kFlipperTopFrame;
}

bool FlipperFalling(const World& w, int n) {
  const Flipper* f = FlipperFor(w, n);
  return f && !f->pressed && f->frame >= 1;
}

bool FlipperMoving(const World& w, int n) {
  const Flipper* f = FlipperFor(w, n);
  if (!f) return false;
  return f->pressed ? f->frame < kFlipperTopFrame : f->frame > 0;
}

float FlipperSpeed(const World& w, int n) {
  const Flipper* f = FlipperFor(w, n);
  if (!f) return 0.0f;
  return std::min(static_cast<float>(f->speed_counter) / kSpeedScale, kSpeedScale);
}

float FlipperHardness(const World& w, int n, int contact_steps) {
  const Flipper* f = FlipperFor(w, n);
  const Tuning& t = w.tuning;
  if (!f || !f->pressed) return t.flipper_hard_down;
  if (f->frame > 26 && contact_steps < t.min_flipper_phase_counter_up_upper) {
    return t.flipper_hard_up_upper;
  }
  return t.flipper_hard;
}

int FlipperAboveSign(const World& w, int n) {
  const Flipper* f = FlipperFor(w, n);
  return f && f->upside_down ? -1 : 1;
}

bool FlippersAllDown(const World& w) { return FlipperFrame(w, 0) <= 0 && FlipperFrame(w, 1) <= 0; }

int FlipperAt(const World& w, int x, int y) {
  for (int n = 0; n < kFlipperCount; ++n) {
    const Flipper* f = FlipperFor(w, n);
    if (!f || !HasMasks(*f)) return -1;
    if (x >= f->box_x && x < f->box_x + f->box_w && y >= f->box_y && y < f->box_y + f->box_h) {
      return n;
    }
  }
  return -1;
}

void UpdateFlipper(World& w, int control, bool pressed, int hold_factor) {
  if (control < 0 || control >= kFlipperControls) return;
  for (Flipper& f : w.flippers) {
    if (f.control == control) UpdateOne(w, f, pressed, hold_factor);
  }
}

void FlipperSounds(World& w) {
  for (int n = 0; n < kFlipperCount; ++n) {
    Flipper& f = w.flippers[static_cast<size_t>(n)];
    if (w.sound && f.pressed != f.previous_pressed) {
      core::TableSound& s = *w.sound;
      const bool left = n == 0;
      const float x = left ? kLeftSoundX : kRightSoundX;
      const int hum = left ? kLeftHum : kRightHum;
      const int press = left ? kLeftPress : kRightPress;
      const int release = left ? kLeftRelease : kRightRelease;
      if (f.pressed) {
        s.StopSound(release);
        s.PlayTableSound(press, x, 0.0f, true, false);
        s.PlayTableSound(hum, x, left ? 0.0f : kRightHumY, true, true);
      } else {
        s.StopSound(hum);
        s.StopSound(press);
        s.PlayTableSound(release, x, 0.0f, true, false);
      }
    }
    f.previous_pressed = f.pressed;
    f.previous_frame = f.frame;
  }
}

int RefreshFlipperImages(World& w, bool force) {
  int changed = 0;
  for (int n = 0; n < kFlipperCount; ++n) {
    Flipper& f = w.flippers[static_cast<size_t>(n)];
    if (!f.redraw && !force) continue;
    f.image = ImageOf(f);
    f.redraw = 0;
    changed |= 1 << n;
  }
  return changed;
}

void SetFlipperHold(World& w, int n, int amount) {
  Flipper* f = FlipperFor(w, n);
  if (f) f->hold = amount * HoldUnit(*f);
}

void ResetFlippers(World& w) {
  for (Flipper& f : w.flippers) {
    f.frame = 0;
    f.redraw = 1;
  }
  RefreshFlipperImages(w, true);
}

bool InFlipperSlowZone(const World& w, float x, float y) {
  for (int n = 0; n < kFlipperCount; ++n) {
    const Flipper* f = FlipperFor(w, n);
    if (!f || f->frame != kFlipperTopFrame) continue;
    if (x > static_cast<float>(f->slow_x0) && x < static_cast<float>(f->slow_x1) &&
        y > static_cast<float>(f->slow_y0) && y < static_cast<float>(f->slow_y1)) {
      return true;
    }
  }
  return false;
}

void EndFlipperContact(BallRecord& b) {
  b.flipper_contact = -1;
  b.flipper_contact_steps = 0;
  b.flipper_angle = {kNoFlipperAngle, kNoFlipperAngle};
}

}  // namespace physics
