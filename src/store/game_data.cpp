#include "store/game_data.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

#include "store/durable_file.h"

namespace store {

namespace {

constexpr std::string_view kMagic = "KEPB_GFALL";
constexpr std::string_view kTableTag = "GFALL";
constexpr size_t kTagSize = 16;

bool IsTag(std::span<const uint8_t> field, std::string_view tag) {
  for (size_t i = 0; i < field.size(); ++i) {
    const uint8_t want = i < tag.size() ? static_cast<uint8_t>(tag[i]) : 0;
    if (field[i] != want) return false;
  }
  return true;
}

void WriteSettings(core::ByteWriter& w, const SettingsBlock& s) {
  for (int32_t v : {s.resolution, s.colour_depth, s.music_on, s.sounds_on, s.sound_volume,
                    s.music_volume, s.show_nudge, s.players_minus_one, s.reserved, s.player_id}) {
    w.I32(v);
  }
  for (int32_t v : s.spare) w.I32(v);
}

void ReadSettings(core::ByteReader& r, SettingsBlock& s) {
  for (int32_t* v :
       {&s.resolution, &s.colour_depth, &s.music_on, &s.sounds_on, &s.sound_volume, &s.music_volume,
        &s.show_nudge, &s.players_minus_one, &s.reserved, &s.player_id}) {
    *v = r.I32();
  }
  for (int32_t& v : s.spare) v = r.I32();
}

std::string DefaultName(int player) { return "Player " + std::to_string(player + 1); }

}  // namespace

uint32_t MakePlayerId(const IdentitySource& id) {
  const uint32_t r = id.random ? static_cast<uint32_t>(id.random->Below(256)) : 0u;
  return id.unix_seconds ^ (r << 24);
}

void ApplyDefaults(GameData& d, const IdentitySource& id) {
  d = GameData{};
  d.settings.player_id = MakePlayerId(id);
}

std::string GameDataCheckResult::Describe() const {
  switch (failed) {
    case GameDataCheck::kOk:
      return "ok";
    case GameDataCheck::kTooShort:
      return "file shorter than 1676 bytes";
    case GameDataCheck::kMagic:
      return "magic at offset 0 is not \"KEPB_GFALL\"";
    case GameDataCheck::kTrailer:
      return "trailer at offset 1660 is not \"KEPB_GFALL\"";
    case GameDataCheck::kResolution:
      return "resolution outside 0-2";
    case GameDataCheck::kColourDepth:
      return "colour depth code outside 0-4";
    case GameDataCheck::kSoundVolume:
      return "game sound volume outside 0-10";
    case GameDataCheck::kMusicVolume:
      return "music volume outside 0-10";
    case GameDataCheck::kPlayers:
      return "number of players outside 1-4";
    case GameDataCheck::kHighScoreRow:
      return "high-score row " + std::to_string(row + 1) + " fails its check values";
    case GameDataCheck::kHighScoreGap:
      return "high-score row " + std::to_string(row + 1) + " is empty above a score (wiped)";
  }
  return "unknown check";
}

bool ReadGameDataFields(std::span<const uint8_t> bytes, GameData& d) {
  if (bytes.size() < kGameDataImageSize) return false;
  core::ByteReader r(bytes.first(kGameDataImageSize));
  GameData out;
  r.Seek(kOffsetFormat);
  out.format_number = r.I32();
  ReadSettings(r, out.settings);
  core::ReadBindingTable(r, out.bindings);
  r.Bytes(out.spare);
  for (auto& name : out.player_names) r.FixedString(kNameFieldSize, name);
  out.current_name = out.player_names[0];
  r.Seek(kOffsetHighScores);
  for (auto& row : out.high_scores) ReadHighScoreEntry(r, row);
  if (!r.ok()) return false;
  d = std::move(out);
  return true;
}

GameDataCheckResult CheckGameData(std::span<const uint8_t> bytes) {
  GameDataCheckResult result;
  auto fail = [&](GameDataCheck c) {
    result.failed = c;
    return result;
  };
  if (bytes.size() < kGameDataFileSize) return fail(GameDataCheck::kTooShort);
  if (!IsTag(bytes.first(kTagSize), kMagic)) return fail(GameDataCheck::kMagic);
  if (!IsTag(bytes.subspan(kOffsetTrailer, kTagSize), kMagic)) {
    return fail(GameDataCheck::kTrailer);
  }
  GameData d;
  ReadGameDataFields(bytes, d);
  const SettingsBlock& s = d.settings;
  if (static_cast<uint32_t>(s.resolution) > 2) return fail(GameDataCheck::kResolution);
  if (static_cast<uint32_t>(s.colour_depth) > 4) return fail(GameDataCheck::kColourDepth);
  if (s.sound_volume < 0 || s.sound_volume > 10) return fail(GameDataCheck::kSoundVolume);
  if (s.music_volume < 0 || s.music_volume > 10) return fail(GameDataCheck::kMusicVolume);
  if (static_cast<uint32_t>(s.players_minus_one) > 3) return fail(GameDataCheck::kPlayers);
  for (int i = 0; i < kHighScoreRows; ++i) {
    if (!EntryIsValid(d.high_scores[i])) {
      result.row = i;
      return fail(GameDataCheck::kHighScoreRow);
    }
  }
  for (int i = 0; i + 1 < kHighScoreRows; ++i) {
    if (d.high_scores[i].score != 0) continue;
    for (int k = i + 1; k < kHighScoreRows; ++k) {
      if (d.high_scores[k].score > 0) {
        result.row = i;
        return fail(GameDataCheck::kHighScoreGap);
      }
    }
  }
  return result;
}

bool ParseGameData(std::span<const uint8_t> bytes, GameData& d, const IdentitySource& id) {
  ApplyDefaults(d, id);
  if (!CheckGameData(bytes).ok()) return false;
  GameData loaded;
  ReadGameDataFields(bytes, loaded);
  if (loaded.settings.player_id == 0) loaded.settings.player_id = MakePlayerId(id);
  for (int i = 0; i < kPlayerCount; ++i) {
    if (loaded.player_names[i].empty()) loaded.player_names[i] = DefaultName(i);
  }
  if (loaded.current_name.empty()) loaded.current_name = DefaultName(0);
  d = std::move(loaded);
  return true;
}

std::vector<uint8_t> SerialiseGameData(const GameData& d) {
  core::ByteWriter w;
  w.FixedString(kMagic, kTagSize);
  w.I32(d.format_number);
  WriteSettings(w, d.settings);
  core::WriteBindingTable(w, d.bindings);
  w.Bytes(d.spare);
  for (const auto& name : d.player_names) w.FixedString(FitName(name), kNameFieldSize);
  w.FixedString(kTableTag, kTagSize);
  for (const auto& row : d.high_scores) WriteHighScoreEntry(w, row);
  w.FixedString(kMagic, kTagSize);
  return w.Release();
}

namespace {

// The settings values with their ranges (inclusive); values without a range are kept as read.
struct SettingRange {
  size_t index;  // in file order
  int32_t low, high;
  GameDataCheck check;
};
constexpr std::array<SettingRange, 5> kSettingRanges = {{
    {0, 0, 2, GameDataCheck::kResolution},
    {1, 0, 4, GameDataCheck::kColourDepth},
    {4, 0, 10, GameDataCheck::kSoundVolume},
    {5, 0, 10, GameDataCheck::kMusicVolume},
    {7, 0, 3, GameDataCheck::kPlayers},
}};

std::array<int32_t*, 10> SettingFields(SettingsBlock& s) {
  return {&s.resolution,   &s.colour_depth, &s.music_on,          &s.sounds_on, &s.sound_volume,
          &s.music_volume, &s.show_nudge,   &s.players_minus_one, &s.reserved,  &s.player_id};
}

std::string Describe(GameDataCheck c, int row = -1) {
  GameDataCheckResult r;
  r.failed = c;
  r.row = row;
  return r.Describe();
}

std::string Plural(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool ReadWholeFile(const std::filesystem::path& file, std::vector<uint8_t>& bytes,
                   std::string& error) {
  // Only a regular file is read: a FIFO would block, a folder reads as nothing.
  std::error_code ec;
  const auto st = std::filesystem::status(file, ec);
  if (ec || !std::filesystem::exists(st)) {
    error = "cannot be opened";
    return false;
  }
  if (std::filesystem::is_directory(st)) {
    error = "is a folder, not a file";
    return false;
  }
  if (!std::filesystem::is_regular_file(st)) {
    error = "is not a regular file";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  // The file is 1676 bytes; a few times that is plenty to keep a damaged copy whole.
  constexpr size_t kMostKept = 1 << 20;
  bytes.resize(kMostKept);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) {
    error = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  bytes.resize(static_cast<size_t>(in.gcount()));
  return true;
}

}  // namespace

std::string CleanName(std::string_view name, size_t max_chars) {
  std::string out;
  size_t chars = 0;
  size_t i = 0;
  while (i < name.size() && chars < max_chars) {
    const auto b0 = static_cast<uint8_t>(name[i]);
    size_t len = 0;
    uint32_t cp = 0;
    if (b0 < 0x80) {
      len = 1;
      cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      len = 2;
      cp = b0 & 0x1Fu;
    } else if ((b0 & 0xF0) == 0xE0) {
      len = 3;
      cp = b0 & 0x0Fu;
    } else if ((b0 & 0xF8) == 0xF0) {
      len = 4;
      cp = b0 & 0x07u;
    }
    bool valid = len != 0 && i + len <= name.size();
    for (size_t k = 1; valid && k < len; ++k) {
      const auto b = static_cast<uint8_t>(name[i + k]);
      if ((b & 0xC0) != 0x80) valid = false;
      cp = (cp << 6) | (b & 0x3Fu);
    }
    if (valid) {
      static constexpr uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
      valid = cp >= kLeast[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    }
    if (!valid) {
      ++i;  // a stray byte: dropped
      continue;
    }
    // Control characters (C0, DEL, C1) are not printable.
    const bool printable = cp >= 0x20 && cp != 0x7F && !(cp >= 0x80 && cp <= 0x9F);
    if (printable) {
      out.append(name.substr(i, len));
      ++chars;
    }
    i += len;
  }
  return out;
}

std::string GameDataSalvage::Kept() const {
  std::string text;
  const int rows = rows_kept + rows_lost;
  if (rows_cut) {
    // What stood after the cut is unknown: no total is claimed.
    text = std::to_string(rows_kept) + " of at least " +
           Plural(std::max(rows, 1), "high score", "high scores") +
           " (the file ends inside the table)";
  } else if (rows == 0) {
    text = "no high scores";
  } else if (rows_lost == 0) {
    text = "all " + Plural(rows_kept, "high score", "high scores");
  } else {
    text = std::to_string(rows_kept) + " of " + Plural(rows, "high score", "high scores");
  }
  if (!settings_kept) {
    text += "; the settings are the defaults";
  } else if (settings_lost == 0) {
    text += " and all settings";
  } else {
    text +=
        " and the settings but " + Plural(settings_lost, "value", "values") + " (now the defaults)";
  }
  return "kept " + text;
}

GameDataSalvage SalvageGameData(std::span<const uint8_t> bytes, GameData& d,
                                const IdentitySource& id) {
  GameDataSalvage out;
  ApplyDefaults(d, id);
  const bool magic = bytes.size() >= kTagSize && IsTag(bytes.first(kTagSize), kMagic);
  const bool trailer =
      bytes.size() >= kGameDataFileSize && IsTag(bytes.subspan(kOffsetTrailer, kTagSize), kMagic);
  if (bytes.size() < kGameDataFileSize) out.damage.push_back(Describe(GameDataCheck::kTooShort));
  if (bytes.size() >= kTagSize && !magic) out.damage.push_back(Describe(GameDataCheck::kMagic));
  if (bytes.size() >= kGameDataFileSize && !trailer) {
    out.damage.push_back(Describe(GameDataCheck::kTrailer));
  }
  // Count the rows that were there to lose: any non-empty row in the bytes we have.
  if (!magic && !trailer) {
    // Not recognisably this game's file: nothing in it can be trusted.
    return out;
  }

  // Reads as far as the bytes reach; the rest stays zero and is not used.
  std::vector<uint8_t> padded(bytes.begin(), bytes.end());
  padded.resize(std::max(padded.size(), kGameDataFileSize), 0);
  GameData stored;
  ReadGameDataFields(padded, stored);
  auto present = [&](size_t offset, size_t size) { return offset + size <= bytes.size(); };

  // Settings: every value within its range.
  if (present(kOffsetSettings, kSettingsBlockSize)) {
    out.settings_kept = true;
    auto from = SettingFields(stored.settings);
    auto to = SettingFields(d.settings);
    for (size_t i = 0; i < from.size(); ++i) {
      const SettingRange* range = nullptr;
      for (const auto& r : kSettingRanges) {
        if (r.index == i) range = &r;
      }
      if (range && (*from[i] < range->low || *from[i] > range->high)) {
        ++out.settings_lost;
        out.damage.push_back(Describe(range->check));
        continue;
      }
      *to[i] = *from[i];
    }
    d.settings.spare = stored.settings.spare;
    d.format_number = stored.format_number;
    if (d.settings.player_id == 0) d.settings.player_id = MakePlayerId(id);
  }
  if (present(kOffsetBindings, core::kBindingTableSize)) d.bindings = stored.bindings;
  if (present(kOffsetSpare, d.spare.size())) d.spare = stored.spare;
  for (int i = 0; i < kPlayerCount; ++i) {
    if (!present(kOffsetNames + static_cast<size_t>(i) * kNameFieldSize, kNameFieldSize)) break;
    std::string name = CleanName(stored.player_names[static_cast<size_t>(i)], kNameFieldSize);
    if (!name.empty()) d.player_names[static_cast<size_t>(i)] = std::move(name);
  }
  d.current_name = d.player_names[0];

  // High scores: every row whose own check values hold, best first. The
  // table is kept best first, so an empty row above a score was wiped.
  int last_scored = -1;
  for (int i = 0; i < kHighScoreRows; ++i) {
    const HighScoreEntry& row = stored.high_scores[static_cast<size_t>(i)];
    if (present(kOffsetHighScores + static_cast<size_t>(i) * kHighScoreEntrySize,
                kHighScoreEntrySize) &&
        row.score > 0 && EntryIsValid(row)) {
      last_scored = i;
    }
  }
  int kept = 0;
  for (int i = 0; i < kHighScoreRows; ++i) {
    const HighScoreEntry& row = stored.high_scores[static_cast<size_t>(i)];
    const bool whole = present(kOffsetHighScores + static_cast<size_t>(i) * kHighScoreEntrySize,
                               kHighScoreEntrySize);
    if (!whole) out.rows_cut = true;
    if (whole && row.score == 0 && EntryIsValid(row)) {
      if (i < last_scored) {
        ++out.rows_lost;
        out.damage.push_back(Describe(GameDataCheck::kHighScoreGap, i));
      }
      continue;  // an empty row
    }
    if (whole && EntryIsValid(row)) {
      d.high_scores[static_cast<size_t>(kept++)] = row;
      continue;
    }
    // A cut-off row counts as lost only when some of it was there.
    const size_t start = kOffsetHighScores + static_cast<size_t>(i) * kHighScoreEntrySize;
    if (whole || start < bytes.size()) {
      bool all_zero = true;
      for (size_t k = start; k < std::min(bytes.size(), start + kHighScoreEntrySize); ++k) {
        if (bytes[k] != 0) all_zero = false;
      }
      if (all_zero) continue;
      ++out.rows_lost;
      if (whole) out.damage.push_back(Describe(GameDataCheck::kHighScoreRow, i));
    }
  }
  out.rows_kept = kept;
  std::stable_sort(
      d.high_scores.begin(), d.high_scores.begin() + kept,
      [](const HighScoreEntry& a, const HighScoreEntry& b) { return a.score > b.score; });
  return out;
}

std::filesystem::path DamagedCopyPath(const std::filesystem::path& file, std::time_t when) {
  std::tm parts{};
  localtime_r(&when, &parts);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &parts);
  const std::string base = file.filename().string() + ".damaged-" + stamp;
  std::filesystem::path copy = file.parent_path() / base;
  std::error_code ec;
  for (int n = 2; std::filesystem::exists(std::filesystem::symlink_status(copy, ec)); ++n) {
    copy = file.parent_path() / (base + "-" + std::to_string(n));
  }
  return copy;
}

GameDataLoad LoadGameData(const std::filesystem::path& file, GameData& d, const IdentitySource& id,
                          std::time_t now) {
  GameDataLoad result;
  ApplyDefaults(d, id);
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(file, ec))) return result;

  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(file, bytes, error)) {
    result.status = GameDataLoadStatus::kUnreadable;
    result.may_save = false;
    result.message = file.string() + " " + error + "; the game runs with the default settings " +
                     "and will not save";
    return result;
  }
  // Only the first 1676 bytes count; whatever follows is ignored.
  const std::span<const uint8_t> image =
      std::span<const uint8_t>(bytes).first(std::min(bytes.size(), kGameDataFileSize));
  if (ParseGameData(image, d, id)) {
    for (auto& name : d.player_names) {
      std::string clean = CleanName(name, kNameFieldSize);
      if (!clean.empty()) name = std::move(clean);
    }
    d.current_name = d.player_names[0];
    result.status = GameDataLoadStatus::kLoaded;
    return result;
  }

  result.status = GameDataLoadStatus::kSalvaged;
  const GameDataSalvage salvage = SalvageGameData(image, d, id);
  std::string what;
  for (size_t i = 0; i < salvage.damage.size() && i < 3; ++i) {
    what += (i ? "; " : "") + salvage.damage[i];
  }
  if (salvage.damage.size() > 3) what += "; and more";
  if (what.empty()) what = "unknown damage";
  result.message = file.filename().string() + " was damaged (" + what + "); " + salvage.Kept();

  // The damaged bytes are kept before anything is written over them.
  const std::filesystem::path copy = DamagedCopyPath(file, now);
  std::string copy_error;
  if (!WriteFileDurably(copy, bytes, &copy_error)) {
    result.may_save = false;
    result.message += "; the damaged file could not be copied aside (" + copy_error +
                      "), so it is left as it is and the game will not save";
    return result;
  }
  result.damaged_copy = copy;
  result.message += "; the damaged file is kept as " + copy.string();
  std::string save_error;
  if (!SaveGameData(file, d, &save_error)) {
    result.message += "; the repaired file could not be saved (" + save_error + ")";
  }
  return result;
}

bool SaveGameData(const std::filesystem::path& file, const GameData& d, std::string* error) {
  // Missing folders are made for this user only, whatever the umask.
  std::filesystem::path built;
  for (const auto& part : file.parent_path()) {
    built /= part;
    ::mkdir(built.c_str(), 0700);
  }
  const std::vector<uint8_t> bytes = SerialiseGameData(d);
  return WriteFileDurably(file, bytes, error);
}

int RemoveStaleTemporaryFiles(const std::filesystem::path& file) {
  // WriteFileDurably's temporary names: the file's name, a dot and six
  // letters or digits.
  const std::string prefix = file.filename().string() + ".";
  std::error_code ec;
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  int removed = 0;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    bool random_part = true;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
      if (!std::isalnum(static_cast<unsigned char>(name[i]))) random_part = false;
    }
    std::error_code type_ec;
    if (!random_part || !it->is_regular_file(type_ec)) continue;
    std::error_code rm_ec;
    if (std::filesystem::remove(it->path(), rm_ec)) ++removed;
  }
  return removed;
}

std::filesystem::path GameDataFolderFrom(std::string_view config_dir, const char* xdg_data_home,
                                         const char* home) {
  if (!config_dir.empty()) return std::filesystem::path(config_dir);
  if (xdg_data_home && *xdg_data_home) {
    std::filesystem::path xdg(xdg_data_home);
    if (xdg.is_absolute()) return xdg / "gfall";
  }
  if (home && *home) return std::filesystem::path(home) / ".local" / "share" / "gfall";
  return {};
}

std::filesystem::path GameDataFolder(std::string_view config_dir) {
  return GameDataFolderFrom(config_dir, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

}  // namespace store
