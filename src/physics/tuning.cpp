#include "physics/tuning.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace physics {

namespace {

constexpr size_t kMaxLineLength = 250;

// Keys that write somewhere other than a plain Tuning field.
enum class Target : uint8_t {
  kField,
  kBallMaxSpeed,       // both balls' speed limit and every row's fast-impact threshold
  kPlaneMu,            // both balls' plane friction
  kPlaneG,             // both balls' plane gravity
  kDefaultMaxNormal,   // row 255's maximum normal speed
  kDefaultMaxTangent,  // row 255's maximum tangent angle
  kNudgeDistance,      // a field, never stored below 200
};

struct SingleKey {
  std::string_view name;
  TuningType type;
  Target target;
  float Tuning::*real;
  int32_t Tuning::*whole;
};

constexpr SingleKey R(std::string_view n, float Tuning::*f) {
  return {n, TuningType::kReal, Target::kField, f, nullptr};
}
constexpr SingleKey A(std::string_view n, float Tuning::*f) {
  return {n, TuningType::kAngle, Target::kField, f, nullptr};
}
constexpr SingleKey B(std::string_view n, int32_t Tuning::*i) {
  return {n, TuningType::kBool, Target::kField, nullptr, i};
}
constexpr SingleKey C(std::string_view n, int32_t Tuning::*i) {
  return {n, TuningType::kCount, Target::kField, nullptr, i};
}
constexpr SingleKey M(std::string_view n, int32_t Tuning::*i) {
  return {n, TuningType::kMs, Target::kField, nullptr, i};
}
constexpr SingleKey S(std::string_view n, TuningType type, Target target) {
  return {n, type, target, nullptr, nullptr};
}

constexpr std::array kSingleKeys = {
    B("BUMPERSONOFF", &Tuning::bumpers_on_off),
    B("NEEDROTATEBUMPERS", &Tuning::need_rotate_bumpers),
    B("TREELAMPSHIFTED", &Tuning::tree_lamp_shifted),
    B("SANTALAMPSHIFTED", &Tuning::santa_lamp_shifted),
    S("BALLMAXSPEED", TuningType::kReal, Target::kBallMaxSpeed),
    S("PLANEMU", TuningType::kReal, Target::kPlaneMu),
    S("PLANEG", TuningType::kReal, Target::kPlaneG),
    R("ADDGDOWN", &Tuning::add_g_down),
    R("PLANEADDMU", &Tuning::plane_add_mu),
    R("BALLSPEEDDECAY", &Tuning::ball_speed_decay),
    R("MAXBALLNORMALSPEED", &Tuning::max_ball_normal_speed),
    R("BALLCATCHDECAY", &Tuning::ball_catch_decay),
    R("BALLCATCHSPEEDY", &Tuning::ball_catch_speed_y),
    R("BALLSTARTDX", &Tuning::ball_start_dx),
    R("BALLSTARTDY", &Tuning::ball_start_dy),
    R("BALLSTARTDXRAND", &Tuning::ball_start_dx_rand),
    R("BALLSTARTDYRAND", &Tuning::ball_start_dy_rand),
    S("MAXNORMALSPEED", TuningType::kReal, Target::kDefaultMaxNormal),
    S("MAXTANGENT", TuningType::kAngle, Target::kDefaultMaxTangent),
    A("RANDOMANGLE", &Tuning::random_angle),
    A("REFLECTIONMINANGLE", &Tuning::reflection_min_angle),
    R("KREFLECTIONROLL", &Tuning::k_reflection_roll),
    C("MAXFLIPPERCOUNTER", &Tuning::max_flipper_counter),
    R("FLIPPERSPEEDUP", &Tuning::flipper_speed_up),
    R("FLIPPERSPEEDDOWN", &Tuning::flipper_speed_down),
    R("FLIPPERHARD", &Tuning::flipper_hard),
    R("FLIPPERHARDUPUPPER", &Tuning::flipper_hard_up_upper),
    R("FLIPPERHARDDOWN", &Tuning::flipper_hard_down),
    C("MINFLIPPERPHASECOUNTERUPUPPER", &Tuning::min_flipper_phase_counter_up_upper),
    R("MINFLIPPERRADIUS", &Tuning::min_flipper_radius),
    R("MAXFLIPPERRADIUS", &Tuning::max_flipper_radius),
    R("MINFLIPPERRADIUSK", &Tuning::min_flipper_radius_k),
    R("MAXFLIPPERNORMALSPEED", &Tuning::max_flipper_normal_speed),
    R("FLIPPERSPEEDDECAY", &Tuning::flipper_speed_decay),
    R("FLIPPERCATCHDECAY", &Tuning::flipper_catch_decay),
    C("MINFLIPPERSPEEDCOUNTER", &Tuning::min_flipper_speed_counter),
    C("RESETFLIPPERSPEEDCOUNTER", &Tuning::reset_flipper_speed_counter),
    C("MAXFLIPPERSPEEDPHASE", &Tuning::max_flipper_speed_phase),
    R("MAXFLIPPERSPEED", &Tuning::max_flipper_speed),
    A("MAXDELTANORMAFLIPA", &Tuning::max_delta_norma_flip_a),
    A("MAXDELTAFLIPANEWBALLA", &Tuning::max_delta_flip_a_new_ball_a),
    A("MAXFLIPPERNORMALANGLE", &Tuning::max_flipper_normal_angle),
    R("MAXBALLRANGE", &Tuning::max_ball_range),
    R("MAXCBCFRANGE", &Tuning::max_cbcf_range),
    R("MINFCFLIPPERRADIUS", &Tuning::min_fc_flipper_radius),
    R("MAXFCFLIPPERRADIUS", &Tuning::max_fc_flipper_radius),
    R("MAXFCFLIPPERDX", &Tuning::max_fc_flipper_dx),
    R("MAXFCBALLSPEED", &Tuning::max_fc_ball_speed),
    R("MAXFFLIPPERRADIUS", &Tuning::max_f_flipper_radius),
    R("MINFFLIPPERRADIUS", &Tuning::min_f_flipper_radius),
    A("MAXFFLIPPERANGLE", &Tuning::max_f_flipper_angle),
    R("MINFLIPRETURNSPEED", &Tuning::min_flip_return_speed),
    C("FLIPRETURNCOUNTER", &Tuning::flip_return_counter),
    R("FLIPPERUPREFLECTION", &Tuning::flipper_up_reflection),
    R("FLIPPERDOWNREFLECTION", &Tuning::flipper_down_reflection),
    R("MAXREBOUNDDISTANCE", &Tuning::max_rebound_distance),
    R("REBOUNDFORCEDECAY", &Tuning::rebound_force_decay),
    R("REBOUNDSPEED", &Tuning::rebound_speed),
    R("BUMPERSPEED", &Tuning::bumper_speed),
    R("MAXBUMPERSPEED", &Tuning::max_bumper_speed),
    R("NUDGESPEED", &Tuning::nudge_speed),
    R("NUDGEMULTI", &Tuning::nudge_multi),
    SingleKey{"MAXNUDGEDISTANCE", TuningType::kReal, Target::kNudgeDistance,
              &Tuning::max_nudge_distance, nullptr},
    C("MAXTILTCOUNTER", &Tuning::max_tilt_counter),
    M("AIBEFORESHOTTIME", &Tuning::ai_before_shot_time),
    M("AIPRESSTIME", &Tuning::ai_press_time),
    M("AIRELEASETIME", &Tuning::ai_release_time),
    M("AIRANDOMK", &Tuning::ai_random_k),
    M("AIMINAXISDIST", &Tuning::ai_min_axis_dist),
    R("SOUNDPANOSCALE", &Tuning::sound_pano_scale),
    R("SOUNDVOLUMESCALE", &Tuning::sound_volume_scale),
    R("SOUNDSPEEDSCALE", &Tuning::sound_speed_scale),
};

// Surface keys: base name + code 0..255 in decimal without leading zeros.
enum class Column : uint8_t {
  kWallFriction,
  kSlope,
  kMaxNormalSpeed,
  kMaxTangent,
  kWallRebound,
  kFastThreshold,
  kFastMultiplier,
  kAbsoluteRebound,
  kSurfaceDelay,
  kRandomMultiplier,
};

struct SurfaceKey {
  std::string_view base;
  Column column;
  TuningType type;
};

constexpr std::array kSurfaceKeys = {
    SurfaceKey{"MUWALL", Column::kWallFriction, TuningType::kReal},
    SurfaceKey{"GPLANE", Column::kSlope, TuningType::kReal},
    SurfaceKey{"MAXNORMALSPEEDS", Column::kMaxNormalSpeed, TuningType::kReal},
    SurfaceKey{"MAXTANGENT", Column::kMaxTangent, TuningType::kAngle},
    SurfaceKey{"KREFLECTION", Column::kWallRebound, TuningType::kReal},
    SurfaceKey{"SURFNONLINEARMINSPEED", Column::kFastThreshold, TuningType::kReal},
    SurfaceKey{"SURFNONLINEARMINREFL", Column::kFastMultiplier, TuningType::kReal},
    SurfaceKey{"ABSREFLECTION", Column::kAbsoluteRebound, TuningType::kReal},
    SurfaceKey{"SURFACEDELAY", Column::kSurfaceDelay, TuningType::kCount},
    SurfaceKey{"RANDOMMULT", Column::kRandomMultiplier, TuningType::kCount},
};

// Works on a const or a mutable table alike.
template <typename Table>
auto RealColumn(Table& t, Column c) -> decltype(t.wall_friction.data()) {
  switch (c) {
    case Column::kWallFriction:
      return t.wall_friction.data();
    case Column::kSlope:
      return t.slope_acceleration.data();
    case Column::kMaxNormalSpeed:
      return t.max_normal_speed.data();
    case Column::kMaxTangent:
      return t.max_tangent.data();
    case Column::kWallRebound:
      return t.wall_rebound.data();
    case Column::kFastThreshold:
      return t.fast_impact_threshold.data();
    case Column::kFastMultiplier:
      return t.fast_impact_multiplier.data();
    case Column::kAbsoluteRebound:
      return t.absolute_rebound.data();
    default:
      return nullptr;
  }
}

template <typename Table>
auto WholeColumn(Table& t, Column c) -> decltype(t.surface_delay.data()) {
  if (c == Column::kSurfaceDelay) return t.surface_delay.data();
  if (c == Column::kRandomMultiplier) return t.random_multiplier.data();
  return nullptr;
}

// A finite float truncated toward zero, saturated to the 32-bit range.
int32_t Truncate(float v) {
  if (v >= 2147483520.0f) return INT32_MAX;  // largest float below 2^31
  if (v <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(v);
}

int32_t ToWhole(TuningType type, float v) {
  switch (type) {
    case TuningType::kBool:
      return v > 0.5f ? 1 : 0;
    case TuningType::kMs:
      return Truncate(v + 0.5f);
    default:
      return Truncate(v);
  }
}

float ToReal(TuningType type, float v) {
  return type == TuningType::kAngle ? core::DegreesToRadians(v) : v;
}

void ApplySingle(const TuningTargets& to, const SingleKey& k, float v) {
  switch (k.target) {
    case Target::kField:
      if (k.real) {
        to.tuning.*k.real = ToReal(k.type, v);
      } else {
        to.tuning.*k.whole = ToWhole(k.type, v);
      }
      break;
    case Target::kBallMaxSpeed:
      for (BallRecord& b : to.balls) b.speed_limit = v;
      to.surfaces.fast_impact_threshold.fill(v);
      break;
    case Target::kPlaneMu:
      for (BallRecord& b : to.balls) b.plane_friction = v;
      break;
    case Target::kPlaneG:
      for (BallRecord& b : to.balls) b.plane_gravity = v;
      break;
    case Target::kDefaultMaxNormal:
      to.surfaces.max_normal_speed[kDefaultSurfaceRow] = v;
      break;
    case Target::kDefaultMaxTangent:
      to.surfaces.max_tangent[kDefaultSurfaceRow] = ToReal(TuningType::kAngle, v);
      break;
    case Target::kNudgeDistance:
      to.tuning.*k.real = std::max(v, 200.0f);
      break;
  }
}

// The code of a surface key's suffix: 0..255 written without leading zeros, else -1.
int SurfaceCode(std::string_view digits) {
  if (digits.empty() || digits.size() > 3) return -1;
  if (digits.size() > 1 && digits[0] == '0') return -1;
  int code = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    code = code * 10 + (c - '0');
  }
  return code < kSurfaceRows ? code : -1;
}

bool ApplySurface(SurfaceTable& t, std::string_view key, float v) {
  for (const SurfaceKey& s : kSurfaceKeys) {
    if (!key.starts_with(s.base)) continue;
    int code = SurfaceCode(key.substr(s.base.size()));
    if (code < 0) continue;
    if (float* col = RealColumn(t, s.column)) {
      col[code] = ToReal(s.type, v);
    } else {
      int32_t n = ToWhole(s.type, v);
      if (s.column == Column::kSurfaceDelay && n < 0) n = 0;
      WholeColumn(t, s.column)[code] = n;
    }
    return true;
  }
  return false;
}

// Sane ranges. A value outside them cannot be meant, and several would stop
// the ball for good or make its speed infinite.
struct KeyRange {
  std::string_view key;
  TuningRange range;
};
constexpr std::array kKeyRanges = {
    KeyRange{"BALLMAXSPEED", {0.01, 100}}, KeyRange{"PLANEMU", {0, 1}},
    KeyRange{"PLANEG", {0.0001, 10}}, KeyRange{"ADDGDOWN", {0, 10}}, KeyRange{"PLANEADDMU", {0, 1}},
    KeyRange{"BALLSPEEDDECAY", {0, 1}}, KeyRange{"MAXBALLNORMALSPEED", {0, 100}},
    KeyRange{"BALLCATCHDECAY", {0, 1}}, KeyRange{"BALLCATCHSPEEDY", {0, 100}},
    KeyRange{"BALLSTARTDX", {-100, 100}}, KeyRange{"BALLSTARTDY", {-100, 100}},
    KeyRange{"BALLSTARTDXRAND", {0, 100}}, KeyRange{"BALLSTARTDYRAND", {0, 100}},
    KeyRange{"MAXNORMALSPEED", {0, 100}}, KeyRange{"KREFLECTIONROLL", {0, 2}},
    KeyRange{"FLIPPERUPREFLECTION", {0, 2}}, KeyRange{"FLIPPERDOWNREFLECTION", {0, 2}},
    KeyRange{"REBOUNDFORCEDECAY", {0, 1}}, KeyRange{"FLIPPERSPEEDDECAY", {0, 1}},
    KeyRange{"FLIPPERCATCHDECAY", {0, 1}}, KeyRange{"MAXNUDGEDISTANCE", {0, 1e6}},
    // Surface columns, by base name.
    KeyRange{"MUWALL", {-1, 1}}, KeyRange{"GPLANE", {-10, 10}},
    KeyRange{"MAXNORMALSPEEDS", {0, 100}}, KeyRange{"KREFLECTION", {0, 2}},
    KeyRange{"SURFNONLINEARMINSPEED", {0, 100}}, KeyRange{"SURFNONLINEARMINREFL", {0, 10}},
    KeyRange{"ABSREFLECTION", {-100, 100}},
    KeyRange{"RANDOMMULT", {-1000, 1000}},  // negative: row 255's value
};

TuningRange RangeOfType(TuningType type) {
  switch (type) {
    case TuningType::kBool:
      return {0, 1};
    case TuningType::kCount:
      return {-100000, 100000};
    case TuningType::kMs:
      return {-600000, 600000};
    case TuningType::kAngle:
      return {-360, 360};
    case TuningType::kReal:
      break;
  }
  return {-10000, 10000};
}

std::string FormatNumber(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// A decimal number as a person writes it ("-13", "0.55", ".5", "1e-3") that
// is finite as a float; "nan", "inf", "0x10", "0.55junk" and "1e400" are not.
bool ParseDecimal(std::string_view w, float& v) {
  size_t i = 0;
  if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
  size_t digits = 0;
  while (i < w.size() && std::isdigit(static_cast<unsigned char>(w[i]))) ++i, ++digits;
  if (i < w.size() && w[i] == '.') {
    ++i;
    while (i < w.size() && std::isdigit(static_cast<unsigned char>(w[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < w.size() && (w[i] == 'e' || w[i] == 'E')) {
    ++i;
    if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < w.size() && std::isdigit(static_cast<unsigned char>(w[i]))) ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  if (i != w.size()) return false;
  const std::string text(w);
  v = std::strtof(text.c_str(), nullptr);
  return std::isfinite(v);
}

// A key the file may set (a single key, or a surface key with its code).
bool KnownKey(std::string_view key) {
  for (const SingleKey& k : kSingleKeys) {
    if (k.name == key) return true;
  }
  for (const SurfaceKey& sk : kSurfaceKeys) {
    if (key.starts_with(sk.base) && SurfaceCode(key.substr(sk.base.size())) >= 0) return true;
  }
  return false;
}

struct LineState {
  int comment_depth = 0;
  int comment_line = 0;  // where the outermost open comment block began
  int line = 0;          // 1-based number of the line being read
  std::vector<std::string>* refused = nullptr;
  bool any_refused = false;
};

// True when `v` may be given to `key` (a single key or a surface key with its code).
bool CheckRange(std::string_view key, std::string_view base, TuningType type, float v,
                LineState& state) {
  TuningRange r{};
  if (!RangeOfTuningKey(base, r)) r = RangeOfType(type);
  if (v >= r.low && v <= r.high) return true;
  state.any_refused = true;
  if (state.refused) {
    state.refused->push_back("line " + std::to_string(state.line) + ": " + std::string(key) + " " +
                             FormatNumber(v) + " is outside " + FormatNumber(r.low) + " to " +
                             FormatNumber(r.high));
  }
  return false;
}

void ApplyLine(const TuningTargets& to, std::string_view line, LineState& state) {
  // Words are separated as a scanf "%s" would separate them.
  char buf[kMaxLineLength + 1];
  std::memcpy(buf, line.data(), line.size());
  buf[line.size()] = '\0';
  char* p = buf;
  while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
  char* key_begin = p;
  while (*p && !std::isspace(static_cast<unsigned char>(*p))) {
    *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    ++p;
  }
  std::string_view key(key_begin, static_cast<size_t>(p - key_begin));
  if (key.empty() || key[0] == '/') return;
  if (key == "COMMENTBEGIN") {
    if (state.comment_depth++ == 0) state.comment_line = state.line;
    return;
  }
  if (key == "COMMENTEND") {
    if (state.comment_depth > 0) --state.comment_depth;
    return;
  }
  if (state.comment_depth > 0) return;

  while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
  char* word_end = p;
  while (*word_end && !std::isspace(static_cast<unsigned char>(*word_end))) ++word_end;
  const std::string_view word(p, static_cast<size_t>(word_end - p));
  float v = 0.0f;
  // A key alone (its value cut off by the line limit, most often) is passed over.
  if (word.empty()) return;
  if (!ParseDecimal(word, v)) {
    if (!KnownKey(key)) return;
    state.any_refused = true;
    if (state.refused) {
      state.refused->push_back("line " + std::to_string(state.line) + ": " + std::string(key) +
                               " \"" + std::string(word.substr(0, 40)) +
                               "\" is not a finite decimal number");
    }
    return;
  }

  for (const SingleKey& k : kSingleKeys) {
    if (k.name == key) {
      if (CheckRange(key, key, k.type, v, state)) ApplySingle(to, k, v);
      return;
    }
  }
  for (const SurfaceKey& sk : kSurfaceKeys) {
    if (!key.starts_with(sk.base) || SurfaceCode(key.substr(sk.base.size())) < 0) continue;
    if (!CheckRange(key, sk.base, sk.type, v, state)) return;
    break;
  }
  ApplySurface(to.surfaces, key, v);
}

double Shown(TuningType type, float v) {
  return type == TuningType::kAngle ? static_cast<double>(core::RadiansToDegrees(v))
                                    : static_cast<double>(v);
}

void AppendValue(std::string& out, TuningType type, double value) {
  char buf[64];
  if (type == TuningType::kReal || type == TuningType::kAngle) {
    std::snprintf(buf, sizeof buf, "%g", value);
  } else {
    std::snprintf(buf, sizeof buf, "%.0f", value);
  }
  out += buf;
}

}  // namespace

bool RangeOfTuningKey(std::string_view key, TuningRange& range) {
  for (const KeyRange& k : kKeyRanges) {
    if (k.key == key) {
      range = k.range;
      return true;
    }
  }
  for (const SingleKey& k : kSingleKeys) {
    if (k.name == key) {
      range = RangeOfType(k.type);
      return true;
    }
  }
  for (const SurfaceKey& k : kSurfaceKeys) {
    if (k.base == key) {
      range = RangeOfType(k.type);
      return true;
    }
  }
  return false;
}

bool LoadTuningText(const TuningTargets& targets, std::span<const uint8_t> text,
                    std::vector<std::string>* refused) {
  LineState state;
  state.refused = refused;
  size_t pos = 0;
  const size_t n = text.size();
  while (pos < n) {
    size_t start = pos;
    while (pos < n && text[pos] != 0 && text[pos] != '\r' && text[pos] != '\n') ++pos;
    // A long line (a long comment, most often) is read as far as a line goes.
    const size_t length = std::min(pos - start, kMaxLineLength);
    const bool zero_end = pos < n && text[pos] == 0;
    if (zero_end) ++pos;  // a zero byte ends its line
    // Count the line ends passed: "\r\n" is one, blank lines count too.
    int ends = zero_end ? 1 : 0;
    while (pos < n && (text[pos] == '\r' || text[pos] == '\n')) {
      if (text[pos] == '\n' || pos + 1 >= n || text[pos + 1] != '\n') ++ends;
      ++pos;
    }
    ++state.line;
    if (length != 0) {
      ApplyLine(targets,
                std::string_view(reinterpret_cast<const char*>(text.data() + start), length),
                state);
    }
    if (ends > 1) state.line += ends - 1;
  }
  if (state.comment_depth > 0) {
    // Everything after it was passed over; the author would want to know.
    state.any_refused = true;
    if (state.refused) {
      state.refused->push_back("line " + std::to_string(state.comment_line) +
                               ": COMMENTBEGIN is never closed by COMMENTEND");
    }
  }
  return !state.any_refused;
}

bool LoadTuningText(const TuningTargets& targets, std::string_view text,
                    std::vector<std::string>* refused) {
  return LoadTuningText(
      targets, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
      refused);
}

std::vector<TuningEntry> ListTuning(const Tuning& tuning, const SurfaceTable& surfaces,
                                    std::span<const BallRecord, kBallCount> balls) {
  std::vector<TuningEntry> out;
  out.reserve(kSingleKeys.size());
  for (const SingleKey& k : kSingleKeys) {
    float v = 0.0f;
    switch (k.target) {
      case Target::kField:
      case Target::kNudgeDistance:
        if (k.real) {
          v = tuning.*k.real;
        } else {
          out.push_back({k.name, k.type, static_cast<double>(tuning.*k.whole)});
          continue;
        }
        break;
      case Target::kBallMaxSpeed:
        v = balls[0].speed_limit;
        break;
      case Target::kPlaneMu:
        v = balls[0].plane_friction;
        break;
      case Target::kPlaneG:
        v = balls[0].plane_gravity;
        break;
      case Target::kDefaultMaxNormal:
        v = surfaces.max_normal_speed[kDefaultSurfaceRow];
        break;
      case Target::kDefaultMaxTangent:
        v = surfaces.max_tangent[kDefaultSurfaceRow];
        break;
    }
    out.push_back({k.name, k.type, Shown(k.type, v)});
  }
  return out;
}

std::vector<SurfaceEntry> ListChangedSurfaces(const SurfaceTable& surfaces) {
  const SurfaceTable base;  // the program-start state
  const SurfaceTable& now = surfaces;
  std::vector<SurfaceEntry> out;
  for (int code = 0; code < kSurfaceRows; ++code) {
    for (const SurfaceKey& s : kSurfaceKeys) {
      if (const float* col = RealColumn(now, s.column)) {
        float v = col[code];
        if (v != RealColumn(base, s.column)[code]) {
          out.push_back({s.base, code, s.type, Shown(s.type, v)});
        }
      } else {
        int32_t v = WholeColumn(now, s.column)[code];
        if (v != WholeColumn(base, s.column)[code]) {
          out.push_back({s.base, code, s.type, static_cast<double>(v)});
        }
      }
    }
  }
  return out;
}

std::string FormatTuningReport(const Tuning& tuning, const SurfaceTable& surfaces,
                               std::span<const BallRecord, kBallCount> balls) {
  std::string out;
  for (const TuningEntry& e : ListTuning(tuning, surfaces, balls)) {
    out += e.key;
    out += ' ';
    AppendValue(out, e.type, e.value);
    out += '\n';
  }
  for (const SurfaceEntry& e : ListChangedSurfaces(surfaces)) {
    out += e.base;
    out += std::to_string(e.code);
    out += ' ';
    AppendValue(out, e.type, e.value);
    out += '\n';
  }
  return out;
}

}  // namespace physics
