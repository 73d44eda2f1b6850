#include "replay/kept_games.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace replay {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHighSuffix = "_high";
constexpr size_t kStampLength = 15;  // YYYYMMDD-HHMMSS

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool Digits(std::string_view s, int64_t& out) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return std::from_chars(s.data(), s.data() + s.size(), out).ec == std::errc();
}

}  // namespace

std::string FileNamePlayer(std::string_view player) {
  std::string out;
  for (char c : player) {
    if (out.size() >= 32) break;
    out += IsNameChar(c) ? c : '_';
  }
  return out.empty() ? "player" : out;
}

std::string KeptGameFileName(int64_t started_unix, std::string_view player, int32_t score,
                             bool high_score) {
  const std::time_t t = static_cast<std::time_t>(started_unix);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  return std::string(stamp) + "_" + FileNamePlayer(player) + "_" + std::to_string(score) +
         (high_score ? std::string(kHighSuffix) : "") + std::string(kRecordingExtension);
}

std::optional<KeptGame> ParseKeptGameFileName(std::string_view name) {
  KeptGame g;
  g.file_name = std::string(name);
  if (!name.ends_with(kRecordingExtension)) return std::nullopt;
  name.remove_suffix(kRecordingExtension.size());
  if (name.ends_with(kHighSuffix)) {
    g.high_score = true;
    name.remove_suffix(kHighSuffix.size());
  }
  if (name.size() < kStampLength + 4 || name[8] != '-' || name[kStampLength] != '_') {
    return std::nullopt;
  }
  int64_t date = 0, time = 0, score = 0;
  if (!Digits(name.substr(0, 8), date) || !Digits(name.substr(9, 6), time)) return std::nullopt;
  const size_t last = name.rfind('_');
  if (last <= kStampLength) return std::nullopt;
  if (!Digits(name.substr(last + 1), score) || score > INT32_MAX) return std::nullopt;
  g.player = std::string(name.substr(kStampLength + 1, last - kStampLength - 1));
  if (g.player.empty() || !std::all_of(g.player.begin(), g.player.end(), IsNameChar)) {
    return std::nullopt;
  }
  g.score = static_cast<int32_t>(score);
  const unsigned month = static_cast<unsigned>(date / 100 % 100),
                 day = static_cast<unsigned>(date % 100);
  const int64_t hh = time / 10000, mm = time / 100 % 100, ss = time % 100;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hh > 23 || mm > 59 || ss > 60) {
    return std::nullopt;
  }
  g.started_unix = DaysFromCivil(date / 10000, month, day) * 86400 + hh * 3600 + mm * 60 + ss;
  return g;
}

std::vector<KeptGame> ListKeptGames(const std::string& folder) {
  std::vector<KeptGame> out;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::optional<KeptGame> g = ParseKeptGameFileName(it->path().filename().string());
    if (!g) continue;
    g->path = it->path().string();
    out.push_back(std::move(*g));
  }
  // Newest first; the file name breaks ties so the order is stable.
  std::sort(out.begin(), out.end(), [](const KeptGame& a, const KeptGame& b) {
    if (a.started_unix != b.started_unix) return a.started_unix > b.started_unix;
    return a.file_name > b.file_name;
  });
  return out;
}

int PruneKeptGames(const std::string& folder, size_t keep,
                   const std::function<bool(const KeptGame&)>& still_high) {
  int removed = 0;
  size_t ordinary = 0;
  for (const KeptGame& g : ListKeptGames(folder)) {
    bool remove;
    if (g.high_score) {
      remove = still_high && !still_high(g);
      // A game that has left the table counts as an ordinary one.
      if (remove) remove = ordinary++ >= keep;
    } else {
      remove = ordinary++ >= keep;
    }
    std::error_code ec;
    if (remove && fs::remove(g.path, ec)) ++removed;
  }
  return removed;
}

std::optional<KeptGame> FindKeptGame(const std::string& folder, std::string_view player,
                                     int32_t score) {
  const std::string name = FileNamePlayer(player);
  for (KeptGame& g : ListKeptGames(folder)) {
    if (g.player == name && g.score == score) return std::move(g);
  }
  return std::nullopt;
}

std::optional<KeptGame> BestKeptGame(const std::string& folder) {
  std::optional<KeptGame> best;
  // Newest first: a later one replaces the best only with a higher score.
  for (KeptGame& g : ListKeptGames(folder)) {
    if (!best || g.score > best->score) best = std::move(g);
  }
  return best;
}

}  // namespace replay
