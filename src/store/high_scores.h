#pragma once
// The ten best scores with their players' names. Every row carries two check
// values over its name and score, so rows edited outside the game are caught
// when the game data file is loaded.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/byte_io.h"

namespace store {

inline constexpr int kHighScoreRows = 10;
inline constexpr size_t kHighScoreEntrySize = 104;
inline constexpr size_t kHighScoreTableSize = kHighScoreRows * kHighScoreEntrySize;  // 1040
inline constexpr size_t kNameFieldSize = 40;   // a stored name, zero-terminated when shorter
inline constexpr size_t kEnteredNameMax = 10;  // characters the entry form accepts

// The two fixed masks of the shadow copies of a score.
inline constexpr uint32_t kShadowMask1 = 0x3E91D4A7u;
inline constexpr uint32_t kShadowMask2 = 0x9C2B6E58u;
inline constexpr uint8_t kCheckKey1 = 0x5B;
inline constexpr uint8_t kCheckKey2 = 0xC3;

// One stored row, 104 bytes:
//   0 name (40)   40 score   44 text, empty (4)   48 zero   52 zero   56 zero (32)
//   88 score ^ kShadowMask1   92 score ^ kShadowMask2   96 check value 1   100 check value 2
struct HighScoreEntry {
  std::string name;                 // at most 40 bytes
  int32_t score = 0;                // 0 marks an empty row
  std::array<uint8_t, 44> spare{};  // bytes 44-87, zero in rows the game writes
  uint32_t shadow1 = 0;
  uint32_t shadow2 = 0;
  uint32_t check1 = 0;
  uint32_t check2 = 0;
  friend bool operator==(const HighScoreEntry&, const HighScoreEntry&) = default;
};

// Best first. The default table is ten empty rows.
using HighScoreTable = std::array<HighScoreEntry, kHighScoreRows>;

// The part of a name that a name field keeps: up to the first zero byte, at most 40 bytes.
std::string_view FitName(std::string_view name);

// Folds a text into a 32-bit check value with a key byte.
uint32_t FoldCheckText(std::string_view text, uint8_t key);
// Check value 1: "%s %d" of name and score, key 0x5B.
uint32_t CheckValue1(const HighScoreEntry& e);
// Check value 2: "%s %d %x %x" of name, score and both shadow fields, key 0xC3.
uint32_t CheckValue2(const HighScoreEntry& e);

// A negative score is invalid, a score of 0 always valid, any other row valid
// when both stored check values match.
bool EntryIsValid(const HighScoreEntry& e);

// The row (0-9) the score would take, or -1: the first row holding a strictly
// lower score, so a tie goes below the stored score.
int PlaceOfScore(const HighScoreTable& t, int32_t score);

// Results of InsertScore.
inline constexpr int kInsertNone = 0;
inline constexpr int kInsertFirst = 2;
inline constexpr int kInsertOther = 4;

// Enters a score under a name (cut to 40 bytes) at its place, moving the rows
// below down; returns kInsertFirst, kInsertOther or kInsertNone. Scores of 0 or
// less never enter: they would make an empty or invalid row.
int InsertScore(HighScoreTable& t, int32_t score, std::string_view name);

// Which table entry each of the high-score dialog's ten rows shows while a
// score is entered at `entry_row` (-1 when only viewing): the entry row shows
// -1 (the edit field and the new score), the rows below it the entries that
// will move down, so the tenth entry is not shown.
std::array<int, kHighScoreRows> DialogRowEntries(int entry_row);

// Empties all ten rows.
void ClearHighScores(HighScoreTable& t);

// "1,234,567"; empty text for 0 so empty rows show nothing; "0" for a negative score.
std::string FormatScore(int32_t score);

void WriteHighScoreEntry(core::ByteWriter& w, const HighScoreEntry& e);
// false (entry unchanged) when fewer than 104 bytes remain.
bool ReadHighScoreEntry(core::ByteReader& r, HighScoreEntry& e);

}  // namespace store
