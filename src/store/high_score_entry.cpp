#include "store/high_score_entry.h"

namespace store {

std::string CutToCharacters(std::string_view text, size_t max_chars) {
  size_t chars = 0;
  size_t end = 0;
  while (end < text.size()) {
    const auto lead = static_cast<uint8_t>(text[end]);
    if ((lead & 0xC0) != 0x80) {  // a character starts here
      if (chars == max_chars) break;
      ++chars;
    }
    ++end;
  }
  return std::string(text.substr(0, end));
}

ReportSender SenderFor(const GameData& d) {
  ReportSender s;
  s.server = ScoreServer();
  s.user = static_cast<uint32_t>(d.settings.player_id);
  return s;
}

int OfferHighScore(GameData& d, int player, int32_t score, std::string& proposed) {
  if (player < 0 || player >= kPlayerCount || score <= 0) return -1;
  const int place = PlaceOfScore(d.high_scores, score);
  if (place < 0) return -1;
  d.current_name = d.player_names[player];
  proposed = d.current_name;
  return place;
}

HighScoreEntryResult KeepHighScore(GameData& d, int player, int32_t score, int place,
                                   const std::string& name, const std::filesystem::path& file) {
  HighScoreEntryResult result;
  if (place < 0 || player < 0 || player >= kPlayerCount) return result;
  if (name != d.current_name) d.current_name = CleanName(name, kEnteredNameMax);
  d.player_names[player] = d.current_name;
  const int inserted = InsertScore(d.high_scores, score, d.current_name);
  if (inserted == kInsertNone) return result;
  result.place = place;
  if (!file.empty()) result.saved = SaveGameData(file, d, &result.save_error);
  return result;
}

HighScoreEntryResult RunHighScoreEntry(GameData& d, int player, int32_t score,
                                       const std::filesystem::path& file, HighScoreUi& ui) {
  std::string name;
  const int place = OfferHighScore(d, player, score, name);
  if (place < 0) return {};
  ui.EnterHighScore(d.high_scores, place, score, name);
  HighScoreEntryResult result = KeepHighScore(d, player, score, place, name, file);
  if (result.place == 0 && ui.AskSendScore()) {
    ui.SendScore(score, d.current_name);
    result.sent = true;
  }
  return result;
}

}  // namespace store
