#pragma once
// The tuning values that shape the feel of the table, their built-in defaults,
// and the plain-text tuning file that overrides them by name.
//
// The text is read line by line: "KEY value", keys in any letter case; a key
// starting with '/' makes a comment line; COMMENTBEGIN / COMMENTEND open and
// close (nested) comment blocks. Besides the single keys it sets rows of the
// surface table (e.g. MUWALL12 0.02) and three fields of both ball records.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/angle.h"
#include "physics/ball.h"
#include "physics/surface_table.h"

namespace physics {

// Durations are whole milliseconds, angles radians, speeds pixels per step.
struct Tuning {
  // Rule switches.
  int32_t bumpers_on_off = 1;
  int32_t need_rotate_bumpers = 0;
  int32_t tree_lamp_shifted = 0;
  int32_t santa_lamp_shifted = 0;
  // Ball and plane (speed limit, plane friction and gravity live in the ball records).
  float add_g_down = 0.0f;      // extra gravity while the ball is not rising fast
  float plane_add_mu = 0.001f;  // extra friction in a raised flipper's slow zone
  float ball_speed_decay = 0.2f;
  float max_ball_normal_speed = 5.0f;
  float ball_catch_decay = 0.02f;
  float ball_catch_speed_y = 3.0f;
  float ball_start_dx = -2.0f;
  float ball_start_dy = -2.0f;
  float ball_start_dx_rand = 0.2f;
  float ball_start_dy_rand = 0.2f;
  // Wall reflection (MAXNORMALSPEED and MAXTANGENT live in surface row 255).
  float random_angle = core::DegreesToRadians(0.125f);
  float reflection_min_angle = core::DegreesToRadians(30.0f);
  float k_reflection_roll = 0.99f;
  // Flippers.
  int32_t max_flipper_counter = 7;
  float flipper_speed_up = 0.5f;
  float flipper_speed_down = 0.1f;
  float flipper_hard = 0.7f;
  float flipper_hard_up_upper = 0.1f;
  float flipper_hard_down = 0.1f;
  int32_t min_flipper_phase_counter_up_upper = 1;
  float min_flipper_radius = 15.0f;
  float max_flipper_radius = 50.0f;
  float min_flipper_radius_k = 0.5f;
  float max_flipper_normal_speed = 10.0f;
  float flipper_speed_decay = 0.2f;
  float flipper_catch_decay = 0.02f;
  int32_t min_flipper_speed_counter = 4;
  int32_t reset_flipper_speed_counter = 4;
  int32_t max_flipper_speed_phase = 14;
  float max_flipper_speed = 20.0f;
  float max_delta_norma_flip_a = core::DegreesToRadians(85.0f);
  float max_delta_flip_a_new_ball_a = core::DegreesToRadians(85.0f);
  float max_flipper_normal_angle = core::DegreesToRadians(45.0f);
  float max_ball_range = 12.0f;
  float max_cbcf_range = 91.0f;
  float min_fc_flipper_radius = 15.0f;
  float max_fc_flipper_radius = 200.0f;
  float max_fc_flipper_dx = 5.0f;
  float max_fc_ball_speed = 4.0f;
  float max_f_flipper_radius = 100.0f;
  float min_f_flipper_radius = 25.0f;
  float max_f_flipper_angle = core::DegreesToRadians(30.0f);
  float min_flip_return_speed = 400.0f;
  int32_t flip_return_counter = 5;
  float flipper_up_reflection = 0.8f;
  float flipper_down_reflection = 0.8f;
  // Bumpers and rebound kickers.
  float max_rebound_distance = 60.0f;
  float rebound_force_decay = 0.9f;
  float rebound_speed = 6.0f;
  float bumper_speed = 4.0f;
  float max_bumper_speed = 5.0f;
  // Nudge and tilt.
  float nudge_speed = 0.1f;
  float nudge_multi = 10.0f;
  float max_nudge_distance = 2000.0f;  // never below 200
  int32_t max_tilt_counter = 300;
  // Computer player.
  int32_t ai_before_shot_time = 550;  // ms
  int32_t ai_press_time = 500;        // ms
  int32_t ai_release_time = 500;      // ms
  int32_t ai_random_k = 20;
  int32_t ai_min_axis_dist = 20;  // pixels
  // Sound scaling.
  float sound_pano_scale = 4.0f;
  float sound_volume_scale = 0.03f;
  float sound_speed_scale = 1.0f;
};

// Everything a tuning text writes to.
struct TuningTargets {
  Tuning& tuning;
  SurfaceTable& surfaces;
  std::span<BallRecord, kBallCount> balls;
};

// Applies a tuning text, always to its end. Of a line longer than 250
// characters only the first 250 are read. Lines whose key matches nothing, and
// lines with no readable (finite) number after the key, are skipped. A value
// outside its key's sane range (TuningRange) is refused: the line changes
// nothing and is named in `refused` ("line 12: KREFLECTION10 1e+30 is outside
// 0 to 2"). Returns true when no line was refused.
bool LoadTuningText(const TuningTargets& targets, std::span<const uint8_t> text,
                    std::vector<std::string>* refused = nullptr);
bool LoadTuningText(const TuningTargets& targets, std::string_view text,
                    std::vector<std::string>* refused = nullptr);

// The values a key accepts, as written in the file (angles in degrees); keys
// with a surface code are given by their base name ("KREFLECTION"). False for
// an unknown key.
struct TuningRange {
  double low;
  double high;
};
bool RangeOfTuningKey(std::string_view key, TuningRange& range);

enum class TuningType : uint8_t { kBool, kCount, kReal, kAngle, kMs };

// One single key with its current value; angles are given in degrees and
// whole-number types as their exact integer value.
struct TuningEntry {
  std::string_view key;
  TuningType type;
  double value;
};

// Every single key in file order, with the value in force (the ball-record
// keys read ball 0).
std::vector<TuningEntry> ListTuning(const Tuning& tuning, const SurfaceTable& surfaces,
                                    std::span<const BallRecord, kBallCount> balls);

// One surface key with its code, e.g. {"MUWALL", 12, 0.02}; angles in degrees.
struct SurfaceEntry {
  std::string_view base;
  int code;
  TuningType type;
  double value;
};

// Every surface-table entry that differs from the program-start state, code
// by code in base-name order.
std::vector<SurfaceEntry> ListChangedSurfaces(const SurfaceTable& surfaces);

// "KEY value" lines for every single key, then "KEYCODE value" for every
// changed surface entry, each line ending in '\n'.
std::string FormatTuningReport(const Tuning& tuning, const SurfaceTable& surfaces,
                               std::span<const BallRecord, kBallCount> balls);

}  // namespace physics
