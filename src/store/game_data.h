#pragma once
// The game data file "KEPB_GF.DAT": settings, control bindings, player names
// and the high-score table in one 1676-byte file. All integers little-endian.
//
//      0  16  magic "KEPB_GFALL", zero-padded
//     16   4  format number (1)
//     20 104  settings block, 26 signed 32-bit values
//    124 256  binding table, set 0 then set 1
//    380  64  zero
//    444 160  four player names, 40 bytes each
//    604  16  "GFALL", zero-padded
//    620 1040 high-score table, ten rows of 104 bytes
//   1660  16  trailer "KEPB_GFALL", zero-padded

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/control_binding.h"
#include "core/random15.h"
#include "store/high_scores.h"

namespace store {

inline constexpr char kGameDataFileName[] = "KEPB_GF.DAT";
inline constexpr size_t kGameDataFileSize = 1676;
inline constexpr size_t kGameDataImageSize = 1660;  // everything before the trailer
inline constexpr size_t kSettingsBlockSize = 104;
inline constexpr int kPlayerCount = 4;

// Offsets within the file.
inline constexpr size_t kOffsetFormat = 16;
inline constexpr size_t kOffsetSettings = 20;
inline constexpr size_t kOffsetBindings = 124;
inline constexpr size_t kOffsetSpare = 380;
inline constexpr size_t kOffsetNames = 444;
inline constexpr size_t kOffsetTableTag = 604;
inline constexpr size_t kOffsetHighScores = 620;
inline constexpr size_t kOffsetTrailer = 1660;

// Resolutions and colour depth codes of the settings.
inline constexpr int32_t kResolutionLow = 0;     // 640x480
inline constexpr int32_t kResolutionMedium = 1;  // 800x600
inline constexpr int32_t kResolutionHigh = 2;    // 1024x768

// The 26 stored settings values, in file order.
struct SettingsBlock {
  int32_t resolution = kResolutionHigh;  // 0-2
  int32_t colour_depth = 2;              // 0 8-bit palette, 1 15, 2 16, 3 24, 4 32 bits
  int32_t music_on = 1;
  int32_t sounds_on = 1;
  int32_t sound_volume = 1;       // volume step: 0 loudest, 9 silent (files may hold 10)
  int32_t music_volume = 1;       // as sound_volume
  int32_t show_nudge = 1;         // shake the table picture when nudged
  int32_t players_minus_one = 0;  // 0-3
  int32_t reserved = 0;
  int32_t player_id = 0;            // identifies the player to the score server
  std::array<int32_t, 16> spare{};  // zero; kept as read
  friend bool operator==(const SettingsBlock&, const SettingsBlock&) = default;
};

// Everything the file holds, as the game keeps it while running.
struct GameData {
  SettingsBlock settings;
  core::BindingTable bindings = core::DefaultBindingTable();
  std::string current_name = "Player 1";  // proposed for the next high-score entry
  std::array<std::string, kPlayerCount> player_names{"Player 1", "Player 2", "Player 3",
                                                     "Player 4"};
  HighScoreTable high_scores{};
  // Parts of the file the game does not use, written back as they were read.
  int32_t format_number = 1;
  std::array<uint8_t, 64> spare{};
};

// Where a new player identity number comes from: the time and the game's random source.
struct IdentitySource {
  uint32_t unix_seconds = 0;         // the current time, seconds since 1970
  core::Random15* random = nullptr;  // the game's random source; null counts as r = 0
};

// unix_seconds XOR (r << 24), r a random number 0-255.
uint32_t MakePlayerId(const IdentitySource& id);

// The defaults of everything, with a fresh player identity number.
void ApplyDefaults(GameData& d, const IdentitySource& id);

// The checks a stored file must pass, in the order the loader applies them.
enum class GameDataCheck {
  kOk,
  kTooShort,      // fewer than 1676 bytes
  kMagic,         // first 16 bytes are not the magic
  kTrailer,       // last 16 bytes are not the trailer
  kResolution,    // above 2
  kColourDepth,   // above 4
  kSoundVolume,   // outside 0-10
  kMusicVolume,   // outside 0-10
  kPlayers,       // players minus one above 3
  kHighScoreRow,  // a row whose score is negative or whose check values fail
  kHighScoreGap,  // an empty row above a score (the table is kept best first): a row wiped
};

struct GameDataCheckResult {
  GameDataCheck failed = GameDataCheck::kOk;
  int row = -1;  // the first bad row for kHighScoreRow and kHighScoreGap
  bool ok() const { return failed == GameDataCheck::kOk; }
  std::string Describe() const;
};

// Runs the loader's checks on stored bytes without changing anything.
GameDataCheckResult CheckGameData(std::span<const uint8_t> bytes);

// Reads the fields of at least 1660 stored bytes without any check or repair
// (for inspection tools); false when there are fewer bytes.
bool ReadGameDataFields(std::span<const uint8_t> bytes, GameData& d);

// What loading does with the bytes of a file: the defaults, then the stored
// values when every check passes. On a failed check everything is the default
// and the result is false. A stored identity number of 0 is made afresh, and
// empty names become "Player 1" to "Player 4".
bool ParseGameData(std::span<const uint8_t> bytes, GameData& d, const IdentitySource& id);

// The 1676 bytes of the file.
std::vector<uint8_t> SerialiseGameData(const GameData& d);

// What could be kept of stored bytes that fail a check.
struct GameDataSalvage {
  std::vector<std::string> damage;  // each fault found, as GameDataCheckResult::Describe says it
  int rows_kept = 0;                // non-empty high-score rows kept
  int rows_lost = 0;                // rows dropped (bad check values or cut off)
  bool rows_cut = false;            // the file ends inside the high-score table
  int settings_lost = 0;            // settings values replaced by their defaults
  bool settings_kept = false;       // the settings block was readable at all
  // "kept 4 of 5 high scores and all settings" and the like.
  std::string Kept() const;
};

// Salvages damaged bytes: the defaults, then, when the file is recognisably
// this game's (its magic or its trailer holds), every high-score row whose own
// check values hold (best first), every setting within its range, the
// bindings and the names as far as the bytes reach. Names keep printable
// characters only.
GameDataSalvage SalvageGameData(std::span<const uint8_t> bytes, GameData& d,
                                const IdentitySource& id);

// What loading found.
enum class GameDataLoadStatus {
  kLoaded,      // every check passed
  kMissing,     // no file: the defaults
  kSalvaged,    // a check failed: the file was kept aside and what was valid taken
  kUnreadable,  // the file exists but cannot be read (not a file, no permission)
};

struct GameDataLoad {
  GameDataLoadStatus status = GameDataLoadStatus::kMissing;
  // For the player, when status is kSalvaged or kUnreadable: what was
  // damaged, what was kept, where the damaged file now is.
  std::string message;
  std::filesystem::path damaged_copy;  // empty when no copy could be made
  // False when the file must not be written over (it could not be read, or
  // its damaged bytes could not be kept aside).
  bool may_save = true;
  explicit operator bool() const { return status == GameDataLoadStatus::kLoaded; }
};

// The name a damaged file is kept under: "KEPB_GF.DAT.damaged-YYYYMMDD-HHMMSS"
// (local time), with "-2", "-3", ... when that name is taken.
std::filesystem::path DamagedCopyPath(const std::filesystem::path& file, std::time_t when);

// Loads the file. A missing file leaves the defaults. A file that fails any
// check is never thrown away: its bytes are first kept as DamagedCopyPath,
// what is still valid is salvaged and written back as the file. A file that
// cannot be read leaves the defaults and may_save false.
GameDataLoad LoadGameData(const std::filesystem::path& file, GameData& d, const IdentitySource& id,
                          std::time_t now = std::time(nullptr));

// Replaces the file whole (creating its folder when needed); a crash at any
// point leaves the old file or the new one. False when nothing was written,
// with the reason in `error` when given.
bool SaveGameData(const std::filesystem::path& file, const GameData& d,
                  std::string* error = nullptr);

// Removes the temporary files ("KEPB_GF.DAT.XXXXXX") that saves cut short by a
// crash left in the folder; returns how many were removed.
int RemoveStaleTemporaryFiles(const std::filesystem::path& file);

// Names as the game keeps them: control bytes and invalid UTF-8 removed,
// at most `max_chars` characters, never cut inside a character.
std::string CleanName(std::string_view name, size_t max_chars);

// The folder of the game data file: `config_dir` when given, else
// $XDG_DATA_HOME/gfall when that is an absolute path, else $HOME/.local/share/gfall;
// empty when none of them is known.
std::filesystem::path GameDataFolder(std::string_view config_dir);
// The same rule with the environment values passed in (null for unset).
std::filesystem::path GameDataFolderFrom(std::string_view config_dir, const char* xdg_data_home,
                                         const char* home);
// The file in that folder.
inline std::filesystem::path GameDataPath(const std::filesystem::path& folder) {
  return folder / kGameDataFileName;
}

}  // namespace store
