#include "store/game_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "core/byte_io.h"
#include "store/temp_dir.h"

namespace store {
namespace {

using store_test::ReadAll;
using store_test::TempDir;
using store_test::WriteAll;

constexpr uint32_t kNow = 1700000000u;

struct Identity {
  core::Random15 random{1};
  IdentitySource source() { return {kNow, &random}; }
};

// A file the game accepts, with every part set away from its default.
GameData Filled() {
  GameData d;
  d.settings.resolution = 1;
  d.settings.colour_depth = 4;
  d.settings.music_on = 0;
  d.settings.sounds_on = 1;
  d.settings.sound_volume = 10;
  d.settings.music_volume = 0;
  d.settings.show_nudge = 0;
  d.settings.players_minus_one = 3;
  d.settings.player_id = 0x12345678;
  d.bindings.sets[0][core::kActionStart] = {core::kDeviceJoypad2, 50};
  d.player_names = {"Ada", "Brook", "Cy", "Dee"};
  d.current_name = "Ada";
  InsertScore(d.high_scores, 90000, "Ada");
  InsertScore(d.high_scores, 120000, "Brook");
  InsertScore(d.high_scores, 90000, "Cy");
  return d;
}

std::vector<uint8_t> FilledBytes() { return SerialiseGameData(Filled()); }

int32_t I32At(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(core::LoadU32(b.data() + at));
}

TEST(GameData, NoFileGivesDefaultsAndFirstSaveWrites1676Bytes) {
  TempDir dir;
  const auto file = GameDataPath(dir.path());
  Identity id;
  GameData d = Filled();
  EXPECT_FALSE(LoadGameData(file, d, id.source()));

  EXPECT_EQ(d.settings.resolution, 2);
  EXPECT_EQ(d.settings.colour_depth, 2);
  EXPECT_EQ(d.settings.music_on, 1);
  EXPECT_EQ(d.settings.sounds_on, 1);
  EXPECT_EQ(d.settings.sound_volume, 1);
  EXPECT_EQ(d.settings.music_volume, 1);
  EXPECT_EQ(d.settings.show_nudge, 1);
  EXPECT_EQ(d.settings.players_minus_one, 0);
  // Seed 1 draws r = 6: the time with 6 in its top byte.
  EXPECT_EQ(static_cast<uint32_t>(d.settings.player_id), 0x6353f100u);
  EXPECT_EQ(d.bindings, core::DefaultBindingTable());
  EXPECT_EQ(d.current_name, "Player 1");
  EXPECT_EQ(d.player_names[3], "Player 4");
  for (const auto& row : d.high_scores) EXPECT_EQ(row, HighScoreEntry{});

  ASSERT_TRUE(SaveGameData(file, d));
  const auto b = ReadAll(file);
  ASSERT_EQ(b.size(), 1676u);
  EXPECT_EQ(std::memcmp(b.data(), "KEPB_GFALL\0\0\0\0\0\0", 16), 0);
  EXPECT_EQ(I32At(b, 16), 1);
  const int32_t settings[] = {2, 2, 1, 1, 1, 1, 1, 0, 0, d.settings.player_id};
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(I32At(b, 20 + 4 * i), settings[i]) << i;
  for (size_t i = 10; i < 26; ++i) EXPECT_EQ(I32At(b, 20 + 4 * i), 0) << i;
  // Bindings: set 0 Left Shift first, set 1 joypad 1 button 8 first, slot 6 empty.
  EXPECT_EQ(I32At(b, 124), 1);
  EXPECT_EQ(I32At(b, 128), 0x2A);
  EXPECT_EQ(I32At(b, 124 + 5 * 8 + 4), 0x1C);
  EXPECT_EQ(I32At(b, 124 + 6 * 8), 0);
  EXPECT_EQ(I32At(b, 252), 2);
  EXPECT_EQ(I32At(b, 256), 7);
  for (size_t i = 380; i < 444; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(std::memcmp(b.data() + 444, "Player 1\0", 9), 0);
  EXPECT_EQ(std::memcmp(b.data() + 564, "Player 4\0", 9), 0);
  EXPECT_EQ(std::memcmp(b.data() + 604, "GFALL\0\0\0\0\0\0\0\0\0\0\0", 16), 0);
  for (size_t i = 620; i < 1660; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(std::memcmp(b.data() + 1660, "KEPB_GFALL\0\0\0\0\0\0", 16), 0);
}

TEST(GameData, SavedFileLoadsBackAndResavesByteIdentical) {
  TempDir dir;
  const auto file = GameDataPath(dir.path() / "nested" / "folder");
  Identity id;
  ASSERT_TRUE(SaveGameData(file, Filled()));
  const auto first = ReadAll(file);
  GameData d;
  ASSERT_TRUE(LoadGameData(file, d, id.source()));
  EXPECT_EQ(d.settings, Filled().settings);
  EXPECT_EQ(d.bindings, Filled().bindings);
  EXPECT_EQ(d.player_names, Filled().player_names);
  EXPECT_EQ(d.high_scores, Filled().high_scores);
  EXPECT_EQ(d.high_scores[0].name, "Brook");
  EXPECT_EQ(d.high_scores[2].name, "Cy");  // the later equal score goes below
  EXPECT_EQ(d.current_name, "Ada");

  ASSERT_TRUE(SaveGameData(file, d));
  EXPECT_EQ(ReadAll(file), first);
  ASSERT_TRUE(SaveGameData(file, d));
  EXPECT_EQ(ReadAll(file), first);
}

TEST(GameData, PartsTheGameDoesNotUseAreKept) {
  auto b = FilledBytes();
  core::StoreU32(b.data() + 16, 7);            // format number: ignored, kept
  b[400] = 0xAB;                               // reserved area
  b[604] = 'X';                                // table tag: always rewritten
  core::StoreU32(b.data() + 20 + 4 * 20, 99);  // a spare settings value
  Identity id;
  GameData d;
  ASSERT_TRUE(ParseGameData(b, d, id.source()));
  const auto again = SerialiseGameData(d);
  b[604] = 'G';
  EXPECT_EQ(again, b);
}

TEST(GameData, FileTheGameWouldRefuseGivesTheDefaults) {
  struct Case {
    const char* what;
    size_t at;
    int32_t value;
    GameDataCheck check;
  };
  const Case cases[] = {
      {"resolution 3", 20, 3, GameDataCheck::kResolution},
      {"resolution -1", 20, -1, GameDataCheck::kResolution},
      {"depth 5", 24, 5, GameDataCheck::kColourDepth},
      {"sound volume 11", 36, 11, GameDataCheck::kSoundVolume},
      {"sound volume -1", 36, -1, GameDataCheck::kSoundVolume},
      {"music volume 11", 40, 11, GameDataCheck::kMusicVolume},
      {"players 5", 48, 4, GameDataCheck::kPlayers},
      {"players -1", 48, -1, GameDataCheck::kPlayers},
      {"magic", 0, 0x4B455051, GameDataCheck::kMagic},
      {"magic padding", 12, 1, GameDataCheck::kMagic},
      {"trailer", 1672, 1, GameDataCheck::kTrailer},
      {"row 2 score", 620 + 104 + 40, 5, GameDataCheck::kHighScoreRow},
      {"row 10 negative", 620 + 9 * 104 + 40, -3, GameDataCheck::kHighScoreRow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto b = FilledBytes();
    core::StoreU32(b.data() + c.at, static_cast<uint32_t>(c.value));
    EXPECT_EQ(CheckGameData(b).failed, c.check);
    Identity id;
    GameData d = Filled();
    EXPECT_FALSE(ParseGameData(b, d, id.source()));
    EXPECT_EQ(d.settings.resolution, 2);
    EXPECT_EQ(d.settings.players_minus_one, 0);
    EXPECT_EQ(d.bindings, core::DefaultBindingTable());
    EXPECT_EQ(d.player_names[0], "Player 1");
    EXPECT_EQ(d.high_scores[0].score, 0);
  }
  // The bounds themselves are accepted.
  auto b = FilledBytes();
  core::StoreU32(b.data() + 20, 2);
  core::StoreU32(b.data() + 24, 4);
  core::StoreU32(b.data() + 36, 10);
  core::StoreU32(b.data() + 40, 10);
  EXPECT_TRUE(CheckGameData(b).ok()) << CheckGameData(b).Describe();
}

TEST(GameData, LongerFileReadsItsFirst1676Bytes) {
  TempDir dir;
  const auto file = GameDataPath(dir.path());
  auto b = FilledBytes();
  Identity id;
  GameData d;
  EXPECT_EQ(CheckGameData(std::vector<uint8_t>(b.begin(), b.begin() + 1675)).failed,
            GameDataCheck::kTooShort);
  b.insert(b.end(), 100, 0xEE);
  WriteAll(file, b);
  EXPECT_TRUE(LoadGameData(file, d, id.source()));
  EXPECT_EQ(d.settings.players_minus_one, 3);
}

// Five scores, so a damaged fourth row leaves four good ones.
GameData FiveScores() {
  GameData d = Filled();
  InsertScore(d.high_scores, 70000, "Dee");
  InsertScore(d.high_scores, 50000, "Eve");
  return d;  // 120000 Brook, 90000 Ada, 90000 Cy, 70000 Dee, 50000 Eve
}

std::vector<std::string> NamesOf(const HighScoreTable& t) {
  std::vector<std::string> names;
  for (const auto& row : t) {
    if (row.score != 0) names.push_back(row.name);
  }
  return names;
}

TEST(GameData, DamagedFileIsKeptAsideAndWhatIsValidIsSalvaged) {
  constexpr size_t kRow4 = kOffsetHighScores + 3 * kHighScoreEntrySize;
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    std::vector<std::string> names;  // the rows kept, best first
    int32_t players_minus_one;       // 3 when the settings were kept
    int32_t resolution;              // 1 when kept, 2 (the default) when lost
    const char* said;                // in the message
  };
  const std::vector<std::string> all = {"Brook", "Ada", "Cy", "Dee", "Eve"};
  const std::vector<Case> cases = {
      {"one flipped byte in row 4",
       [](auto& b) { b[kRow4 + 1] ^= 0x01; },
       {"Brook", "Ada", "Cy", "Eve"},
       3,
       1,
       "high-score row 4 fails its check values"},
      {"row 4's score changed",
       [](auto& b) { b[kRow4 + 40] ^= 0x10; },
       {"Brook", "Ada", "Cy", "Eve"},
       3,
       1,
       "kept 4 of 5 high scores and all settings"},
      {"resolution out of range", [](auto& b) { core::StoreU32(b.data() + 20, 7); }, all, 3, 2,
       "resolution outside 0-2"},
      {"trailer damaged", [](auto& b) { b[kOffsetTrailer] = 'X'; }, all, 3, 1,
       "trailer at offset 1660"},
      {"magic damaged", [](auto& b) { b[0] = 'X'; }, all, 3, 1, "magic at offset 0"},
      {"cut after row 3",
       [](auto& b) { b.resize(kOffsetHighScores + 3 * 104 + 50); },
       {"Brook", "Ada", "Cy"},
       3,
       1,
       "kept 3 of at least 4 high scores (the file ends inside the table)"},
      {"row 2 zeroed",
       [](auto& b) {
         std::fill_n(b.begin() + kOffsetHighScores + kHighScoreEntrySize, kHighScoreEntrySize, 0);
       },
       {"Brook", "Cy", "Dee", "Eve"},
       3,
       1,
       "high-score row 2 is empty above a score (wiped)); kept 4 of 5 high scores"},
      {"cut inside the settings",
       [](auto& b) { b.resize(60); },
       {},
       0,
       2,
       "the settings are the defaults"},
      {"all zero", [](auto& b) { std::fill(b.begin(), b.end(), 0); }, {}, 0, 2, "magic"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const auto file = GameDataPath(dir.path());
    auto b = SerialiseGameData(FiveScores());
    c.damage(b);
    WriteAll(file, b);

    Identity id;
    GameData d;
    const std::time_t when = 1765375200;  // the copy's name comes from this time
    const GameDataLoad load = LoadGameData(file, d, id.source(), when);
    EXPECT_EQ(load.status, GameDataLoadStatus::kSalvaged);
    EXPECT_FALSE(load);
    EXPECT_EQ(NamesOf(d.high_scores), c.names);
    EXPECT_EQ(d.settings.players_minus_one, c.players_minus_one);
    EXPECT_EQ(d.settings.resolution, c.resolution);
    EXPECT_NE(load.message.find(c.said), std::string::npos) << load.message;

    // The damaged bytes are kept whole beside the file, and the message says where.
    ASSERT_FALSE(load.damaged_copy.empty());
    EXPECT_EQ(load.damaged_copy.parent_path(), dir.path());
    EXPECT_EQ(load.damaged_copy.filename().string().rfind("KEPB_GF.DAT.damaged-2025", 0), 0u)
        << load.damaged_copy;
    EXPECT_EQ(ReadAll(load.damaged_copy), b);
    EXPECT_NE(load.message.find(load.damaged_copy.string()), std::string::npos);

    // The file now holds what was salvaged, and loads cleanly.
    const auto repaired = ReadAll(file);
    EXPECT_TRUE(CheckGameData(repaired).ok()) << CheckGameData(repaired).Describe();
    GameData again;
    EXPECT_TRUE(LoadGameData(file, again, id.source()));
    EXPECT_EQ(NamesOf(again.high_scores), c.names);
  }
}

TEST(GameData, ASecondDamagedCopyInTheSameSecondGetsItsOwnName) {
  TempDir dir;
  const auto file = GameDataPath(dir.path());
  const std::time_t when = 1765375200;
  const auto first = DamagedCopyPath(file, when);
  WriteAll(first, {1});
  const auto second = DamagedCopyPath(file, when);
  EXPECT_NE(first, second);
  EXPECT_EQ(second.string(), first.string() + "-2");
}

TEST(GameData, UnreadableFileIsNeitherLoadedNorWrittenOver) {
  TempDir dir;
  const auto file = GameDataPath(dir.path());
  std::filesystem::create_directory(file);
  Identity id;
  GameData d;
  const GameDataLoad load = LoadGameData(file, d, id.source());
  EXPECT_EQ(load.status, GameDataLoadStatus::kUnreadable);
  EXPECT_FALSE(load.may_save);
  EXPECT_NE(load.message.find("is a folder"), std::string::npos) << load.message;
  EXPECT_EQ(d.settings.resolution, 2);
}

TEST(GameData, StaleTemporaryFilesAreRemovedAndNothingElse) {
  TempDir dir;
  const auto file = GameDataPath(dir.path());
  const auto stale = dir.path() / "KEPB_GF.DAT.aB3xYz";
  const std::vector<std::filesystem::path> kept = {
      file, dir.path() / "KEPB_GF.DAT.damaged-20261210-101010", dir.path() / "KEPB_GF.DAT.abc",
      dir.path() / "OTHER.DAT.aB3xYz"};
  WriteAll(stale, {1});
  for (const auto& p : kept) WriteAll(p, {2});
  std::filesystem::create_directory(dir.path() / "KEPB_GF.DAT.folder");
  EXPECT_EQ(RemoveStaleTemporaryFiles(file), 1);
  EXPECT_FALSE(std::filesystem::exists(stale));
  for (const auto& p : kept) EXPECT_TRUE(std::filesystem::exists(p)) << p;
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "KEPB_GF.DAT.folder"));
}

TEST(GameData, NamesKeepPrintableCharactersOnlyAndAreCutOnCharacters) {
  struct Case {
    std::string in;
    size_t max;
    std::string out;
  };
  const std::string sixty_continuations(60, '\x80');
  const Case cases[] = {
      {"Ada", 10, "Ada"},
      {"A\x01"
       "d\ta\x7F",
       10, "Ada"},
      {"A\xC2\x85"
       "da",
       10, "Ada"},  // U+0085, a C1 control
      {"\xC3\xA9l\xC3\xA8ve", 10, "\xC3\xA9l\xC3\xA8ve"},
      {"\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", 2, "\xE2\x82\xAC\xE2\x82\xAC"},
      {"\xF0\x9F\x8E\xB1x", 1, "\xF0\x9F\x8E\xB1"},
      {"ab" + sixty_continuations + "cd", 10, "abcd"},
      {"\xC0\xAFx", 10, "x"},      // an overlong '/'
      {"\xED\xA0\x80x", 10, "x"},  // a surrogate
      {"\xE2\x82", 10, ""},        // a cut-off character
      {"abcdefghijklmnop", 10, "abcdefghij"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(CleanName(c.in, c.max), c.out);
  }
}

TEST(GameData, HandEditedNameFailsCheckValueOneAndTheWholeFileIsIgnored) {
  auto b = FilledBytes();
  ASSERT_EQ(b[620], 'B');  // row 1: "Brook"
  b[620] = 'b';
  const auto result = CheckGameData(b);
  EXPECT_EQ(result.failed, GameDataCheck::kHighScoreRow);
  EXPECT_EQ(result.row, 0);
  EXPECT_EQ(result.Describe(), "high-score row 1 fails its check values");

  GameData edited;
  ASSERT_TRUE(ReadGameDataFields(b, edited));
  EXPECT_NE(edited.high_scores[0].check1, CheckValue1(edited.high_scores[0]));

  Identity id;
  GameData d;
  EXPECT_FALSE(ParseGameData(b, d, id.source()));
  EXPECT_EQ(d.settings.resolution, 2);
  EXPECT_EQ(d.player_names[1], "Player 2");
  EXPECT_EQ(d.high_scores[0].score, 0);
}

TEST(GameData, EmptyNamesBecomeDefaultNamesAndZeroIdentityIsMadeAfresh) {
  GameData src = Filled();
  src.player_names = {"", "Brook", "", ""};
  src.settings.player_id = 0;
  Identity id;
  GameData d;
  ASSERT_TRUE(ParseGameData(SerialiseGameData(src), d, id.source()));
  EXPECT_EQ(d.current_name, "Player 1");
  EXPECT_EQ(d.player_names[0], "Player 1");
  EXPECT_EQ(d.player_names[1], "Brook");
  EXPECT_EQ(d.player_names[2], "Player 3");
  EXPECT_EQ(d.player_names[3], "Player 4");
  EXPECT_NE(d.settings.player_id, 0);
  EXPECT_EQ(static_cast<uint32_t>(d.settings.player_id) & 0x00FFFFFFu, kNow & 0x00FFFFFFu);
}

TEST(GameData, NamesAreStoredZeroTerminatedAndCutAtFortyBytes) {
  GameData src = Filled();
  src.player_names[1] = std::string(50, 'n');
  src.player_names[2] = std::string("ab\0cd", 5);
  const auto b = SerialiseGameData(src);
  ASSERT_EQ(b.size(), kGameDataFileSize);
  Identity id;
  GameData d;
  ASSERT_TRUE(ParseGameData(b, d, id.source()));
  EXPECT_EQ(d.player_names[1], std::string(40, 'n'));
  EXPECT_EQ(d.player_names[2], "ab");
  EXPECT_EQ(d.player_names[3], "Dee");
}

TEST(GameData, FolderFollowsTheCallerThenXdgThenHome) {
  EXPECT_EQ(GameDataFolderFrom("/tmp/cfg", "/x", "/h"), "/tmp/cfg");
  EXPECT_EQ(GameDataFolderFrom("", "/x/data", "/h"), "/x/data/gfall");
  EXPECT_EQ(GameDataFolderFrom("", "relative", "/h"), "/h/.local/share/gfall");
  EXPECT_EQ(GameDataFolderFrom("", "", "/h"), "/h/.local/share/gfall");
  EXPECT_EQ(GameDataFolderFrom("", nullptr, nullptr), "");
  EXPECT_EQ(GameDataPath("/d"), "/d/KEPB_GF.DAT");
}

TEST(GameData, SaveIntoAnUnwritablePlaceFailsAndLeavesNoFile) {
  TempDir dir;
  const auto blocker = dir.path() / "file";
  WriteAll(blocker, {1, 2, 3});
  std::string error;
  EXPECT_FALSE(SaveGameData(GameDataPath(blocker), Filled(), &error));
  EXPECT_EQ(error, "Not a directory");
  EXPECT_EQ(ReadAll(blocker), (std::vector<uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace store
