#pragma once
// The kept games: the window records every game into a folder (the game data
// folder's "replays"), named by date, player and score. The last 20 are kept,
// and every game that entered the high-score table; the oldest of the rest
// are pruned.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replay {

inline constexpr size_t kKeptGames = 20;
inline constexpr std::string_view kRecordingExtension = ".gfrec";

struct KeptGame {
  std::string path;
  std::string file_name;
  int64_t started_unix = 0;  // UTC
  std::string player;        // as in the file name (letters, digits, '-' and '_')
  int32_t score = 0;
  bool high_score = false;  // entered the high-score table
};

// The player's name as it appears in a file name: letters, digits and '-'
// kept, anything else '_', at most 32 characters; "player" when empty.
std::string FileNamePlayer(std::string_view player);
// "20261211-004512_Anna_123450.gfrec", with "_high" before the extension for
// a game that entered the high-score table.
std::string KeptGameFileName(int64_t started_unix, std::string_view player, int32_t score,
                             bool high_score);
// The fields of such a name; nullopt for any other name.
std::optional<KeptGame> ParseKeptGameFileName(std::string_view name);

// Every kept game in the folder, newest first (none when it does not exist).
std::vector<KeptGame> ListKeptGames(const std::string& folder);

// Removes every ordinary game older than the newest `keep`, and a high-score
// game only when `still_high` says it has left the table (null: keep them
// all). Returns how many files were removed.
int PruneKeptGames(const std::string& folder, size_t keep,
                   const std::function<bool(const KeptGame&)>& still_high = nullptr);

// The newest kept game of this player with this score (the Watch button of
// a high-score row).
std::optional<KeptGame> FindKeptGame(const std::string& folder, std::string_view player,
                                     int32_t score);

// The kept game with the best score (the newest of equals); nullopt when the
// folder holds none.
std::optional<KeptGame> BestKeptGame(const std::string& folder);

}  // namespace replay
