#pragma once
// The options form without its drawing: checkboxes, volume sliders, the
// resolution and colour-level radio buttons with their enabling rules, and
// what OK takes from them. The ImGui form and scripted runs both drive it.

#include <array>
#include <cstdint>
#include <string_view>

#include "render/display.h"

namespace ui {

struct OptionsValues {
  int32_t music_on = 1;
  int32_t sounds_on = 1;
  int32_t show_nudge = 1;
  int32_t music_volume = 1;  // 0 loudest .. 9 silent
  int32_t sound_volume = 1;
  int32_t resolution = 2;  // 0..2
  int32_t depth = 2;       // 0..4
  // Whole-number scales only (a window setting, not in the game data file).
  int32_t sharp_scaling = 0;
  // The idle demonstration shows the best kept game instead of the computer
  // playing (a setting of its own file, not in the game data file).
  int32_t demo_kept_game = 0;
};

enum ColourLevel : int32_t { kLevelLow = 0, kLevelMedium = 1, kLevelHigh = 2 };

struct OptionsForm {
  OptionsValues values;       // the checkboxes and sliders (and the stored mode)
  int32_t r = 0, d = 0;       // working resolution and depth code
  int32_t level = 0;          // checked colour level
  bool video_locked = false;  // opened from the pause menu: no mode change in a game
  std::array<bool, 3> resolution_enabled{};
  std::array<bool, 3> level_enabled{};
};

int32_t LevelOfDepth(int32_t depth);

OptionsForm OpenOptionsForm(const OptionsValues& settings, const render::ModeTable& modes,
                            bool from_pause_menu);
void ChooseResolution(OptionsForm& f, const render::ModeTable& modes, int32_t n);
void ChooseColourLevel(OptionsForm& f, const render::ModeTable& modes, int32_t level);

struct OptionsResult {
  OptionsValues values;  // what OK stores (the mode only once confirmed)
  bool mode_changed = false;
};
OptionsResult FinishOptionsForm(const OptionsForm& f, const OptionsValues& settings,
                                const render::ModeTable& modes);

// Applies "name=value" words (music, sounds, nudge, music_volume,
// sound_volume, resolution, colour, sharp, demo) to the form as a player would
// click them.
// Returns false on an unknown word or a value out of range.
bool ApplyOptionsText(OptionsForm& f, const render::ModeTable& modes, std::string_view text);

inline constexpr std::string_view kNewVideoModeText =
    "To change Video Mode now press OK. To cancel changes press Cancel.";
inline constexpr std::string_view kVersionText = "Version " GFALL_PROJECT_VERSION;

}  // namespace ui
