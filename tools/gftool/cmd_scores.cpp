// gftool scores FILE: shows what a game data file holds and whether the game accepts it.

#include <cinttypes>
#include <cstdio>
#include <string>

#include "command.h"
#include "res_util.h"
#include "store/game_data.h"

namespace gftool {
namespace {

const char* const kActionNames[] = {"Left Flipper", "Right Flipper",    "Nudge from Left",
                                    "Nudge Up",     "Nudge from Right", "Start"};
const char* const kResolutions[] = {"640x480", "800x600", "1024x768"};
const char* const kDepths[] = {"8 bits, palette", "15 bits", "16 bits", "24 bits", "32 bits"};

std::string BindingText(const core::ControlBinding& b) {
  char buf[64];
  switch (b.device) {
    case core::kDeviceNone:
      return "none";
    case core::kDeviceKeyboard:
      std::snprintf(buf, sizeof buf, "keyboard code 0x%02" PRIX32, static_cast<uint32_t>(b.code));
      return buf;
    case core::kDeviceJoypad1:
    case core::kDeviceJoypad2:
      std::snprintf(buf, sizeof buf, "joypad %d element %" PRId32, b.device - 1, b.code);
      return buf;
    default:
      std::snprintf(buf, sizeof buf, "device %" PRId32 " code %" PRId32, b.device, b.code);
      return buf;
  }
}

const char* OnOff(int32_t v) { return v ? "on" : "off"; }

int Run(Args args) {
  if (args.size() != 1) return Usage("scores");
  std::vector<uint8_t> bytes;
  if (!ReadFile(args[0], bytes)) return 1;
  store::GameData d;
  if (!store::ReadGameDataFields(bytes, d)) {
    return Fail(args[0] + ": refused: file shorter than 1676 bytes (" +
                std::to_string(bytes.size()) + " bytes)");
  }
  const auto& s = d.settings;
  std::printf("%s: %zu bytes, format number %" PRId32 "\n", args[0].c_str(), bytes.size(),
              d.format_number);
  std::printf("settings\n");
  std::printf("  resolution      %" PRId32 " (%s)\n", s.resolution,
              static_cast<uint32_t>(s.resolution) <= 2 ? kResolutions[s.resolution] : "invalid");
  std::printf("  colour depth    %" PRId32 " (%s)\n", s.colour_depth,
              static_cast<uint32_t>(s.colour_depth) <= 4 ? kDepths[s.colour_depth] : "invalid");
  std::printf("  music           %s\n", OnOff(s.music_on));
  std::printf("  game sounds     %s\n", OnOff(s.sounds_on));
  std::printf("  sound volume    %" PRId32 " (0 loudest, 9 silent)\n", s.sound_volume);
  std::printf("  music volume    %" PRId32 "\n", s.music_volume);
  std::printf("  display nudge   %s\n", OnOff(s.show_nudge));
  std::printf("  players         %" PRId64 "\n", static_cast<int64_t>(s.players_minus_one) + 1);
  std::printf("  player id       0x%08" PRIX32 "\n", static_cast<uint32_t>(s.player_id));
  std::printf("bindings\n");
  for (int set = 0; set < core::kBindingSets; ++set) {
    std::printf("  set %d%s\n", set, set == 0 ? " (played)" : " (kept)");
    for (int slot = 0; slot < core::kBindingSlots; ++slot) {
      const auto& b = d.bindings.sets[set][slot];
      if (slot >= core::kActionCount && b == core::ControlBinding{}) continue;
      std::printf(
          "    %-17s %s\n",
          slot < core::kActionCount ? kActionNames[slot] : ("slot " + std::to_string(slot)).c_str(),
          BindingText(b).c_str());
    }
  }
  std::printf("player names\n");
  for (int i = 0; i < store::kPlayerCount; ++i) {
    std::printf("  %d  %s%s\n", i + 1, Quoted(d.player_names[i]).c_str(),
                d.player_names[i].empty() ? " (shown as the default name)" : "");
  }
  std::printf("high scores\n");
  for (int i = 0; i < store::kHighScoreRows; ++i) {
    const auto& e = d.high_scores[i];
    std::printf("  %2d. %-12s %13s  %s\n", i + 1, Quoted(e.name).c_str(),
                e.score < 0 ? std::to_string(e.score).c_str() : store::FormatScore(e.score).c_str(),
                store::EntryIsValid(e) ? (e.score == 0 ? "empty" : "valid") : "INVALID");
  }
  const auto check = store::CheckGameData(bytes);
  if (!check.ok()) return Fail(args[0] + ": refused: " + check.Describe());
  std::printf("accepted\n");
  return 0;
}

}  // namespace

GFTOOL_COMMAND("scores", "scores FILE", Run);

}  // namespace gftool
