#pragma once
// Entering a player's final score in the high-score table when a game ends.

#include <cstdint>
#include <filesystem>
#include <string>

#include "store/game_data.h"
#include "store/high_scores.h"
#include "store/score_report.h"

namespace store {

// What the entry asks of the front end.
class HighScoreUi {
 public:
  virtual ~HighScoreUi() = default;
  // The high-score dialog in entry form: row `row` holds an edit field showing
  // `name`, with `score` beside it. On OK the typed name goes into `name`; on
  // Cancel `name` is left as it was.
  virtual void EnterHighScore(const HighScoreTable& table, int row, int32_t score,
                              std::string& name) = 0;
  // The offer to send a new first place on-line; true when the player says Yes.
  virtual bool AskSendScore() = 0;
  // Sends the report (SubmitScore with SenderFor(data), the window minimised around it).
  virtual void SendScore(int32_t score, const std::string& name) = 0;
};

struct HighScoreEntryResult {
  int place = -1;          // the row the score took, or -1
  bool saved = false;      // the game data file was written
  bool sent = false;       // the report was sent
  std::string save_error;  // why the save failed, when it did
};

// Offers player `player`'s (0-3) final score to the table: when it places, the
// player's stored name is proposed, the dialog edits it (at most 10
// printable characters), the name is kept as the player's, the score inserted
// and the file saved (not when `file` is empty: saving is off); a first place
// may then be sent. Other players are ignored.
HighScoreEntryResult RunHighScoreEntry(GameData& d, int player, int32_t score,
                                       const std::filesystem::path& file, HighScoreUi& ui);

// The two halves of RunHighScoreEntry for a front end whose dialog answers
// later. Offer: the row `player`'s score would take (−1: none, nothing to
// ask) and the name to propose. Keep: with the name the dialog gave back
// (the proposed one when cancelled), the name is kept, the score inserted
// and the file saved; sending a first place is then the front end's.
int OfferHighScore(GameData& d, int player, int32_t score, std::string& proposed);
HighScoreEntryResult KeepHighScore(GameData& d, int player, int32_t score, int place,
                                   const std::string& name, const std::filesystem::path& file);

// The first `max_chars` characters of a UTF-8 text (never splitting a character).
std::string CutToCharacters(std::string_view text, size_t max_chars);

// Who the report names: the settings' player identity number, no owner name,
// the server from the environment.
ReportSender SenderFor(const GameData& d);

}  // namespace store
