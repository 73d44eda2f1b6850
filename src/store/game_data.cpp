#include "store/game_data.h"

#include <cstdlib>
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

bool LoadGameData(const std::filesystem::path& file, GameData& d, const IdentitySource& id) {
  std::vector<uint8_t> bytes(kGameDataFileSize);
  std::ifstream in(file, std::ios::binary);
  if (in) {
    // Only the first 1676 bytes count; whatever follows is ignored.
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
  } else {
    bytes.clear();
  }
  return ParseGameData(bytes, d, id);
}

bool SaveGameData(const std::filesystem::path& file, const GameData& d) {
  const std::filesystem::path folder = file.parent_path();
  if (!folder.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
  }
  const std::vector<uint8_t> bytes = SerialiseGameData(d);
  return WriteFileDurably(file, bytes);
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
