#include "store/high_scores.h"

#include <gtest/gtest.h>

#include <climits>

namespace store {
namespace {

HighScoreTable TableOf(std::initializer_list<int32_t> scores) {
  HighScoreTable t{};
  int i = 0;
  for (int32_t s : scores) {
    t[i].name = "P" + std::to_string(i);
    t[i].score = s;
    ++i;
  }
  return t;
}

TEST(HighScores, FoldTakesBytesZeroThenThreeTwoOneAndRotates) {
  EXPECT_EQ(FoldCheckText("", 0x5B), 0u);
  EXPECT_EQ(FoldCheckText("A", 0x5B), 0x34u);
  EXPECT_EQ(FoldCheckText("AB", 0x5B), 0x32000068u);
}

TEST(HighScores, CheckValuesOfAnEnteredRow) {
  HighScoreTable t{};
  ASSERT_EQ(InsertScore(t, 4242, "Ada"), kInsertFirst);
  const HighScoreEntry& e = t[0];
  EXPECT_EQ(e.shadow1, 4242u ^ 0x3E91D4A7u);
  EXPECT_EQ(e.shadow2, 4242u ^ 0x9C2B6E58u);
  // "Ada 4242" with key 0x5B; "Ada 4242 3e91c735 9c2b7aca" with key 0xC3.
  EXPECT_EQ(e.check1, 0xc733aeecu);
  EXPECT_EQ(e.check2, 0xa4b72ebeu);
  EXPECT_TRUE(EntryIsValid(e));
}

TEST(HighScores, ValidityOfStoredRows) {
  HighScoreTable t{};
  InsertScore(t, 5000, "Ada");
  const HighScoreEntry good = t[0];

  HighScoreEntry e = good;
  e.name = "Adb";
  EXPECT_FALSE(EntryIsValid(e)) << "name edited";
  EXPECT_NE(e.check1, CheckValue1(e));

  e = good;
  e.score = 50000;
  EXPECT_FALSE(EntryIsValid(e)) << "score edited";

  e = good;
  e.shadow1 ^= 1;
  EXPECT_EQ(e.check1, CheckValue1(e));
  EXPECT_FALSE(EntryIsValid(e)) << "shadow edited: only check value 2 sees it";

  e = good;
  e.spare[3] = 9;
  EXPECT_TRUE(EntryIsValid(e)) << "unused bytes are not checked";

  HighScoreEntry empty;
  empty.name = "junk";
  empty.check1 = 77;
  EXPECT_TRUE(EntryIsValid(empty)) << "a zero score is valid whatever the rest holds";

  e = good;
  e.score = -5000;
  e.shadow1 = static_cast<uint32_t>(e.score) ^ kShadowMask1;
  e.shadow2 = static_cast<uint32_t>(e.score) ^ kShadowMask2;
  e.check1 = CheckValue1(e);
  e.check2 = CheckValue2(e);
  EXPECT_FALSE(EntryIsValid(e)) << "negative scores are never valid";
}

TEST(HighScores, PlaceOfScore) {
  const auto full = TableOf({5000, 5000, 5000, 5000, 5000, 5000, 5000, 5000, 5000, 5000});
  EXPECT_EQ(PlaceOfScore(full, 5000), -1);
  EXPECT_EQ(PlaceOfScore(full, 5001), 0);

  const auto steps = TableOf({900, 800, 700, 600, 500, 400, 300, 200, 100, 50});
  EXPECT_EQ(PlaceOfScore(steps, 600), 4) << "a tie goes below the stored score";
  EXPECT_EQ(PlaceOfScore(steps, 50), -1) << "equal to the tenth row places nowhere";
  EXPECT_EQ(PlaceOfScore(steps, 51), 9);

  const HighScoreTable empty{};
  EXPECT_EQ(PlaceOfScore(empty, 1), 0);
  EXPECT_EQ(PlaceOfScore(empty, 0), -1);
  EXPECT_EQ(PlaceOfScore(empty, -10), -1);
}

TEST(HighScores, InsertMovesRowsDownAndDropsTheTenth) {
  auto t = TableOf({900, 800, 700, 600, 500, 400, 300, 200, 100, 50});
  EXPECT_EQ(InsertScore(t, 750, "New"), kInsertOther);
  EXPECT_EQ(t[2].name, "New");
  EXPECT_EQ(t[2].score, 750);
  EXPECT_TRUE(EntryIsValid(t[2]));
  EXPECT_EQ(t[3].name, "P2");
  EXPECT_EQ(t[9].name, "P8");  // the old tenth row (50) is gone
  EXPECT_EQ(t[9].score, 100);

  EXPECT_EQ(InsertScore(t, 901, std::string(45, 'x')), kInsertFirst);
  EXPECT_EQ(t[0].name.size(), kNameFieldSize);
  EXPECT_TRUE(EntryIsValid(t[0]));

  const auto before = t;
  EXPECT_EQ(InsertScore(t, 100, "Low"), kInsertNone);
  EXPECT_EQ(t, before);

  HighScoreTable empty{};
  EXPECT_EQ(InsertScore(empty, -7, "Neg"), kInsertNone);
  EXPECT_EQ(InsertScore(empty, 0, "Zero"), kInsertNone);
  EXPECT_EQ(empty, HighScoreTable{});

  ClearHighScores(t);
  EXPECT_EQ(t, HighScoreTable{});
}

TEST(HighScores, DialogRowsBelowTheEntryRowShowTheEntriesThatMoveDown) {
  using Rows = std::array<int, kHighScoreRows>;
  EXPECT_EQ(DialogRowEntries(-1), (Rows{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(DialogRowEntries(2), (Rows{0, 1, -1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(DialogRowEntries(0), (Rows{-1, 0, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(DialogRowEntries(9), (Rows{0, 1, 2, 3, 4, 5, 6, 7, 8, -1}));
}

TEST(HighScores, FormatScore) {
  const std::pair<int32_t, const char*> cases[] = {
      {1234567, "1,234,567"},
      {1000, "1,000"},
      {999, "999"},
      {123, "123"},
      {1, "1"},
      {100000, "100,000"},
      {0, ""},
      {-5, "0"},
      {INT_MIN, "0"},
      {INT_MAX, "2,147,483,647"},
  };
  for (const auto& [score, text] : cases) EXPECT_EQ(FormatScore(score), text) << score;
}

}  // namespace
}  // namespace store
