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

HighScoreEntryResult RunHighScoreEntry(GameData& d, int player, int32_t score,
                                       const std::filesystem::path& file, HighScoreUi& ui) {
  HighScoreEntryResult result;
  if (player < 0 || player >= kPlayerCount || score <= 0) return result;
  const int place = PlaceOfScore(d.high_scores, score);
  if (place < 0) return result;

  d.current_name = d.player_names[player];
  std::string name = d.current_name;
  ui.EnterHighScore(d.high_scores, place, score, name);
  if (name != d.current_name) d.current_name = CleanName(name, kEnteredNameMax);
  d.player_names[player] = d.current_name;

  const int inserted = InsertScore(d.high_scores, score, d.current_name);
  if (inserted == kInsertNone) return result;
  result.place = place;
  if (!file.empty()) result.saved = SaveGameData(file, d, &result.save_error);
  if (place == 0 && ui.AskSendScore()) {
    ui.SendScore(score, d.current_name);
    result.sent = true;
  }
  return result;
}

}  // namespace store
