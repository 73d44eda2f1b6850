#include "ui/options_dialog.h"

#include <charconv>
#include <string>

namespace ui {

namespace {

void Fit(OptionsForm& f, const render::ModeTable& modes) {
  render::ChooseMode(modes, f.r, f.d);
  f.level = LevelOfDepth(f.d);
}

void UpdateButtons(OptionsForm& f, const render::ModeTable& modes) {
  for (int32_t n = 0; n < 3; ++n) {
    bool any = false;
    for (int32_t q = 0; q < 3; ++q) any = any || render::DepthForQuality(modes, n, q).has_value();
    f.resolution_enabled[static_cast<size_t>(n)] = !f.video_locked && (n == f.r || any);
    f.level_enabled[static_cast<size_t>(n)] =
        !f.video_locked && render::DepthForQuality(modes, f.r, n).has_value();
  }
}

}  // namespace

int32_t LevelOfDepth(int32_t depth) {
  if (depth <= 0) return kLevelLow;
  return depth <= 2 ? kLevelMedium : kLevelHigh;
}

OptionsForm OpenOptionsForm(const OptionsValues& settings, const render::ModeTable& modes,
                            bool from_pause_menu) {
  OptionsForm f;
  f.values = settings;
  f.r = settings.resolution;
  f.d = settings.depth;
  f.video_locked = from_pause_menu;
  Fit(f, modes);
  UpdateButtons(f, modes);
  return f;
}

void ChooseResolution(OptionsForm& f, const render::ModeTable& modes, int32_t n) {
  if (f.video_locked || n < 0 || n > 2) return;
  f.r = n;
  Fit(f, modes);
  UpdateButtons(f, modes);
}

void ChooseColourLevel(OptionsForm& f, const render::ModeTable& modes, int32_t level) {
  if (f.video_locked) return;
  switch (level) {
    case kLevelLow:
      f.d = 0;
      break;
    case kLevelMedium:
      if (f.d != 1 && f.d != 2) f.d = 2;
      break;
    case kLevelHigh:
      if (f.d != 3 && f.d != 4) f.d = 4;
      break;
    default:
      return;
  }
  Fit(f, modes);
  UpdateButtons(f, modes);
}

OptionsResult FinishOptionsForm(const OptionsForm& f, const OptionsValues& settings,
                                const render::ModeTable& modes) {
  OptionsResult out;
  out.values = f.values;
  int32_t r = f.r;
  int32_t d = f.d;
  if (auto depth = render::DepthForQuality(modes, r, f.level)) {
    d = *depth;
  }
  render::ChooseMode(modes, r, d);
  out.values.resolution = r;
  out.values.depth = d;
  out.mode_changed = r != settings.resolution || d != settings.depth;
  if (!out.mode_changed) {
    out.values.resolution = settings.resolution;
    out.values.depth = settings.depth;
  }
  return out;
}

bool ApplyOptionsText(OptionsForm& f, const render::ModeTable& modes, std::string_view text) {
  while (!text.empty()) {
    size_t space = text.find(' ');
    std::string_view word = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view{} : text.substr(space + 1);
    if (word.empty()) continue;
    size_t eq = word.find('=');
    if (eq == std::string_view::npos) return false;
    std::string_view name = word.substr(0, eq), value = word.substr(eq + 1);
    int v = 0;
    auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (ec != std::errc() || p != value.data() + value.size()) return false;
    auto flag = [&](int32_t& field) {
      if (v < 0 || v > 1) return false;
      field = v;
      return true;
    };
    auto step = [&](int32_t& field) {
      if (v < 0 || v > 9) return false;
      field = v;
      return true;
    };
    bool ok = false;
    if (name == "music")
      ok = flag(f.values.music_on);
    else if (name == "sounds")
      ok = flag(f.values.sounds_on);
    else if (name == "nudge")
      ok = flag(f.values.show_nudge);
    else if (name == "sharp")
      ok = flag(f.values.sharp_scaling);
    else if (name == "demo")
      ok = flag(f.values.demo_kept_game);
    else if (name == "music_volume")
      ok = step(f.values.music_volume);
    else if (name == "sound_volume")
      ok = step(f.values.sound_volume);
    else if (name == "resolution" && v >= 0 && v <= 2) {
      ChooseResolution(f, modes, v);
      ok = true;
    } else if (name == "colour" && v >= 0 && v <= 2) {
      ChooseColourLevel(f, modes, v);
      ok = true;
    }
    if (!ok) return false;
  }
  return true;
}

}  // namespace ui
