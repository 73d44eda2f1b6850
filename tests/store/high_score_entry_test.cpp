#include "store/high_score_entry.h"

#include <gtest/gtest.h>

#include <optional>

#include "store/temp_dir.h"

namespace store {
namespace {

using store_test::TempDir;

// Answers the dialogs as a test tells it to and records what they were shown.
struct ScriptedUi : HighScoreUi {
  std::optional<std::string> typed;  // nullopt: the player cancels
  bool send = false;

  int dialogs = 0;
  int shown_row = -1;
  int32_t shown_score = 0;
  std::string proposed;
  int asked = 0;
  std::vector<std::pair<int32_t, std::string>> sent;

  void EnterHighScore(const HighScoreTable&, int row, int32_t score, std::string& name) override {
    ++dialogs;
    shown_row = row;
    shown_score = score;
    proposed = name;
    if (typed) name = *typed;
  }
  bool AskSendScore() override {
    ++asked;
    return send;
  }
  void SendScore(int32_t score, const std::string& name) override {
    sent.emplace_back(score, name);
  }
};

GameData WithScores() {
  GameData d;
  d.player_names = {"Ada", "Brook", "Cy", "Dee"};
  for (int32_t s : {9000, 8000, 7000, 6000, 5000}) InsertScore(d.high_scores, s, "Old");
  return d;
}

TEST(HighScoreEntry, TypedNameBecomesThePlayersNameAndIsSaved) {
  TempDir dir;
  const auto file = GameDataPath(dir.path());
  GameData d = WithScores();
  ScriptedUi ui;
  ui.typed = "Cyrus";
  const auto result = RunHighScoreEntry(d, 2, 7500, file, ui);
  EXPECT_EQ(result.place, 2);
  EXPECT_TRUE(result.saved);
  EXPECT_FALSE(result.sent);
  EXPECT_EQ(ui.shown_row, 2);
  EXPECT_EQ(ui.shown_score, 7500);
  EXPECT_EQ(ui.proposed, "Cy");
  EXPECT_EQ(ui.asked, 0) << "only a first place is offered for sending";
  EXPECT_EQ(d.player_names[2], "Cyrus");
  EXPECT_EQ(d.current_name, "Cyrus");
  EXPECT_EQ(d.high_scores[2].name, "Cyrus");
  EXPECT_EQ(d.high_scores[3].score, 7000);

  GameData loaded;
  core::Random15 random;
  ASSERT_TRUE(LoadGameData(file, loaded, {1, &random}));
  EXPECT_EQ(loaded.high_scores, d.high_scores);
  EXPECT_EQ(loaded.player_names[2], "Cyrus");
}

TEST(HighScoreEntry, CancelEntersTheScoreUnderTheProposedName) {
  TempDir dir;
  GameData d = WithScores();
  ScriptedUi ui;
  RunHighScoreEntry(d, 1, 5500, GameDataPath(dir.path()), ui);
  EXPECT_EQ(d.high_scores[4].name, "Brook");
  EXPECT_EQ(d.high_scores[4].score, 5500);
}

TEST(HighScoreEntry, TypedNameIsCutToTenCharacters) {
  TempDir dir;
  GameData d = WithScores();
  ScriptedUi ui;
  ui.typed = "\xC3\xA9tienne-Louis";  // 14 characters, the first two bytes long
  RunHighScoreEntry(d, 0, 100, GameDataPath(dir.path()), ui);
  EXPECT_EQ(d.player_names[0], "\xC3\xA9tienne-Lo");
  EXPECT_EQ(CutToCharacters("abc", 10), "abc");
  EXPECT_EQ(CutToCharacters("abcdefghijkl", 10), "abcdefghij");
}

TEST(HighScoreEntry, TypedNamesKeepPrintableCharactersOnly) {
  struct Case {
    std::string typed;
    std::string kept;
  };
  const Case cases[] = {
      {"Ada\x01\x1B[2J", "Ada[2J"},                                      // control bytes dropped
      {"A" + std::string(60, '\x80') + "da", "Ada"},                     // stray continuation bytes
      {"\xFF\xFEZo\xC3", "Zo"},                                          // invalid UTF-8
      {"\xE2\x82\xAC" + std::string(12, 'x'), "\xE2\x82\xACxxxxxxxxx"},  // 10 characters
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    TempDir dir;
    GameData d = WithScores();
    ScriptedUi ui;
    ui.typed = c.typed;
    RunHighScoreEntry(d, 0, 100, GameDataPath(dir.path()), ui);
    EXPECT_EQ(d.player_names[0], c.kept);
    EXPECT_EQ(d.high_scores[5].name, c.kept);
  }
}

TEST(HighScoreEntry, FirstPlaceIsSentOnlyWhenThePlayerSaysYes) {
  TempDir dir;
  for (bool yes : {false, true}) {
    GameData d = WithScores();
    ScriptedUi ui;
    ui.send = yes;
    ui.typed = "Dora";
    const auto result = RunHighScoreEntry(d, 3, 10000, GameDataPath(dir.path()), ui);
    EXPECT_EQ(result.place, 0);
    EXPECT_EQ(ui.asked, 1);
    EXPECT_EQ(result.sent, yes);
    if (yes) {
      ASSERT_EQ(ui.sent.size(), 1u);
      EXPECT_EQ(ui.sent[0], std::make_pair(int32_t{10000}, std::string("Dora")));
    } else {
      EXPECT_TRUE(ui.sent.empty());
    }
  }
}

TEST(HighScoreEntry, ScoresThatDoNotPlaceAndUnknownPlayersAreIgnored) {
  TempDir dir;
  const auto file = GameDataPath(dir.path());
  GameData d = WithScores();
  for (int32_t s : {9000, 8000, 7000, 6000, 5000}) InsertScore(d.high_scores, s, "Old");
  const GameData before = d;
  ScriptedUi ui;
  EXPECT_EQ(RunHighScoreEntry(d, 0, 5000, file, ui).place, -1);  // equals the tenth row
  EXPECT_EQ(RunHighScoreEntry(d, 4, 99999, file, ui).place, -1);
  EXPECT_EQ(RunHighScoreEntry(d, -1, 99999, file, ui).place, -1);
  EXPECT_EQ(RunHighScoreEntry(d, 0, 0, file, ui).place, -1);
  EXPECT_EQ(ui.dialogs, 0);
  EXPECT_EQ(d.high_scores, before.high_scores);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(HighScoreEntry, SenderUsesThePlayerIdentity) {
  GameData d;
  d.settings.player_id = 0x7F00AA01;
  const ReportSender s = SenderFor(d);
  EXPECT_EQ(s.user, 0x7F00AA01u);
  EXPECT_EQ(s.owner, "");
  EXPECT_FALSE(s.server.empty());
}

}  // namespace
}  // namespace store
