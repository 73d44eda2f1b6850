#include "store/high_scores.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace store {

namespace {

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x", static_cast<unsigned>(v));
  return buf;
}

void Seal(HighScoreEntry& e) {
  const auto u = static_cast<uint32_t>(e.score);
  e.shadow1 = u ^ kShadowMask1;
  e.shadow2 = u ^ kShadowMask2;
  e.check1 = CheckValue1(e);
  e.check2 = CheckValue2(e);
}

}  // namespace

std::string_view FitName(std::string_view name) {
  return name.substr(0, std::min({name.find('\0'), name.size(), kNameFieldSize}));
}

uint32_t FoldCheckText(std::string_view text, uint8_t key) {
  uint32_t v = 0;
  unsigned j = 0;  // byte of v: 0, then 3, 2, 1, 0, 3, ...
  for (char c : text) {
    const auto b = static_cast<uint8_t>(static_cast<uint8_t>(c) ^ key);
    v ^= static_cast<uint32_t>(b) << (8 * j);
    j = (j + 3) & 3u;
    v = std::rotl(v, 1);
  }
  return v;
}

uint32_t CheckValue1(const HighScoreEntry& e) {
  std::string text(FitName(e.name));
  text += ' ';
  text += std::to_string(e.score);
  return FoldCheckText(text, kCheckKey1);
}

uint32_t CheckValue2(const HighScoreEntry& e) {
  std::string text(FitName(e.name));
  text += ' ';
  text += std::to_string(e.score);
  text += ' ';
  text += Hex(e.shadow1);
  text += ' ';
  text += Hex(e.shadow2);
  return FoldCheckText(text, kCheckKey2);
}

bool EntryIsValid(const HighScoreEntry& e) {
  if (e.score < 0) return false;
  if (e.score == 0) return true;
  return e.check1 == CheckValue1(e) && e.check2 == CheckValue2(e);
}

int PlaceOfScore(const HighScoreTable& t, int32_t score) {
  for (int i = 0; i < kHighScoreRows; ++i) {
    if (t[i].score < score) return i;
  }
  return -1;
}

int InsertScore(HighScoreTable& t, int32_t score, std::string_view name) {
  if (score <= 0) return kInsertNone;
  const int place = PlaceOfScore(t, score);
  if (place < 0) return kInsertNone;
  for (int i = kHighScoreRows - 1; i > place; --i) t[i] = std::move(t[i - 1]);
  HighScoreEntry e;
  e.name.assign(FitName(name));
  e.score = score;
  Seal(e);
  t[place] = std::move(e);
  return place == 0 ? kInsertFirst : kInsertOther;
}

std::array<int, kHighScoreRows> DialogRowEntries(int entry_row) {
  std::array<int, kHighScoreRows> rows{};
  int p = 0;
  for (int r = 0; r < kHighScoreRows; ++r) {
    if (r == entry_row) {
      rows[r] = -1;
    } else {
      rows[r] = p++;
    }
  }
  return rows;
}

void ClearHighScores(HighScoreTable& t) { t.fill(HighScoreEntry{}); }

std::string FormatScore(int32_t score) {
  if (score == 0) return {};
  if (score < 0) return "0";
  const std::string digits = std::to_string(score);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

void WriteHighScoreEntry(core::ByteWriter& w, const HighScoreEntry& e) {
  w.FixedString(e.name, kNameFieldSize);
  w.I32(e.score);
  w.Bytes(e.spare);
  w.U32(e.shadow1);
  w.U32(e.shadow2);
  w.U32(e.check1);
  w.U32(e.check2);
}

bool ReadHighScoreEntry(core::ByteReader& r, HighScoreEntry& e) {
  if (r.remaining() < kHighScoreEntrySize) return false;
  HighScoreEntry out;
  r.FixedString(kNameFieldSize, out.name);
  out.score = r.I32();
  r.Bytes(out.spare);
  out.shadow1 = r.U32();
  out.shadow2 = r.U32();
  out.check1 = r.U32();
  out.check2 = r.U32();
  e = std::move(out);
  return true;
}

}  // namespace store
