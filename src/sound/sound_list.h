#pragma once
// The game's built-in list of sounds, in load order: which file goes into
// which slot. Slots below 60 are game sounds, 60 and above music.

#include <array>
#include <cstdint>
#include <string_view>

#include "core/sound_slots.h"

namespace sound {

inline constexpr int kFirstMusicSlot = core::kSoundFirstMusic;
inline constexpr int kMenuMusicSlot = core::kSoundMenuMusic;
inline constexpr int kJingleSlot = core::kSoundTableMusic;
inline constexpr int kCounterSlot = core::kSoundCounter;
inline constexpr int kSpinnerEvenSlot = core::kSoundClick;
inline constexpr int kSpinnerOddSlot = core::kSoundClickOdd;

// Both spinner slots load the same tick. The odd revolution plays it three
// quarters as fast, a fourth lower and a little longer, so that a turning
// spinner alternates tick and tock. Returns the rate a slot's buffer is
// played at, given the rate the file was decoded at.
constexpr uint32_t SlotPlaybackRate(int slot, uint32_t file_rate) {
  return slot == kSpinnerOddSlot ? file_rate * 3 / 4 : file_rate;
}

struct SoundListRow {
  int32_t slot;
  bool compressed;  // a compressed sound file, else a plain wave file
  std::string_view file;
};

// clang-format off
inline constexpr std::array<SoundListRow, 34> kSoundList = {{
    {201, true, "RES\\WAVE\\MUSIC\\MENU.WAC"},
    {0, true, "RES\\WAVE\\MECH\\SP023B.WAC"},
    {1, true, "RES\\WAVE\\MECH\\SP029A.WAC"},
    {3, true, "RES\\WAVE\\MECH\\BALL.WAC"},
    {4, true, "RES\\WAVE\\MECH\\BALL1.WAC"},
    {5, true, "RES\\WAVE\\MECH\\SP032A.WAC"},
    {10, true, "RES\\WAVE\\MECH\\SP022A.WAC"},
    {11, true, "RES\\WAVE\\MECH\\SP022B.WAC"},
    {20, false, "RES\\WAVE\\MECH\\F_BUZZ.WAV"},
    {21, true, "RES\\WAVE\\MECH\\F_UP.WAC"},
    {22, true, "RES\\WAVE\\MECH\\F_DN.WAC"},
    {23, false, "RES\\WAVE\\MECH\\F_BUZZ.WAV"},
    {24, true, "RES\\WAVE\\MECH\\F_UP.WAC"},
    {25, true, "RES\\WAVE\\MECH\\F_DN.WAC"},
    {40, true, "RES\\WAVE\\MECH\\SP001.WAC"},
    {41, true, "RES\\WAVE\\MECH\\SP019.WAC"},
    {42, true, "RES\\WAVE\\MECH\\SP020.WAC"},
    {43, true, "RES\\WAVE\\MECH\\SP021.WAC"},
    {44, true, "RES\\WAVE\\MECH\\SP014.WAC"},
    {45, true, "RES\\WAVE\\MECH\\SP011.WAC"},
    {46, true, "RES\\WAVE\\MECH\\SP012.WAC"},
    {47, true, "RES\\WAVE\\MECH\\SP017.WAC"},
    {48, true, "RES\\WAVE\\MECH\\SP018.WAC"},
    {50, true, "RES\\WAVE\\MECH\\SP025C.WAC"},
    {51, true, "RES\\WAVE\\MECH\\SP025E.WAC"},
    {52, true, "RES\\WAVE\\MECH\\SP025F.WAC"},
    {53, true, "RES\\WAVE\\MECH\\SP023A.WAC"},
    {55, true, "RES\\WAVE\\MECH\\SP028.WAC"},
    {56, true, "RES\\WAVE\\MECH\\SP015.WAC"},
    {57, true, "RES\\WAVE\\MECH\\SP015.WAC"},
    {58, true, "RES\\WAVE\\MECH\\COUNTER.WAC"},
    {59, true, "RES\\WAVE\\MECH\\METALS.WAC"},
    {60, true, "RES\\WAVE\\MUSIC\\PRIZE.WAC"},
    {200, true, "RES\\WAVE\\MUSIC\\JINGLE.WAC"},
}};
// clang-format on

}  // namespace sound
