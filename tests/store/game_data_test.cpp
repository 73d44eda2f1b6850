#include "store/game_data.h"

#include <gtest/gtest.h>

#include <cstring>

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

TEST(GameData, ShortFileIsIgnoredLongerFileReadsItsFirst1676Bytes) {
  TempDir dir;
  const auto file = GameDataPath(dir.path());
  auto b = FilledBytes();
  Identity id;
  GameData d;

  WriteAll(file, std::vector<uint8_t>(b.begin(), b.begin() + 1660));
  EXPECT_FALSE(LoadGameData(file, d, id.source()));
  EXPECT_EQ(d.settings.players_minus_one, 0);
  EXPECT_EQ(CheckGameData(std::vector<uint8_t>(b.begin(), b.begin() + 1675)).failed,
            GameDataCheck::kTooShort);

  b.insert(b.end(), 100, 0xEE);
  WriteAll(file, b);
  EXPECT_TRUE(LoadGameData(file, d, id.source()));
  EXPECT_EQ(d.settings.players_minus_one, 3);
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
  EXPECT_FALSE(SaveGameData(GameDataPath(blocker), Filled()));
  EXPECT_EQ(ReadAll(blocker), (std::vector<uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace store
