#include "replay/session.h"

namespace replay {

std::unique_ptr<RecordSession> RecordSession::ToFile(const std::string& path, const Header& header,
                                                     std::string& error) {
  std::unique_ptr<Writer> w = Writer::ToFile(path, header, error);
  if (!w) return nullptr;
  return std::make_unique<RecordSession>(std::move(w));
}

void RecordSession::EndFrame(const GameStateView& game) {
  writer_->EndFrame();
  if (const std::optional<CheckKind> kind = watch_.AfterFrame(game)) {
    writer_->Checkpoint(*kind, DigestGameState(game), Scores(game.rules));
  }
}

void RecordSession::Finish(const GameStateView& game) {
  if (writer_->finished()) return;
  writer_->Checkpoint(CheckKind::kLastFrame, DigestGameState(game), Scores(game.rules));
  writer_->Finish();
}

void ReplaySession::EndFrame(const GameStateView& game) {
  checker_.EndFrame();
  if (const std::optional<CheckKind> kind = watch_.AfterFrame(game)) {
    checker_.Checkpoint(*kind, DigestGameState(game));
  }
}

void ReplaySession::Finish(const GameStateView& game) {
  checker_.Checkpoint(CheckKind::kLastFrame, DigestGameState(game));
  checker_.Finish();
}

std::optional<std::string> Incompatibility(const Header& recorded, uint64_t pack_hash,
                                           uint64_t tuning_hash) {
  if (recorded.pack_hash != pack_hash) {
    return std::string(recorded.pack_hash == 0 || pack_hash == 0
                           ? "the recording was made with another table (the built-in test "
                             "table or a pack)"
                           : "the recording was made with another GFALL.DAT") +
           ", so it cannot be replayed exactly";
  }
  if (recorded.tuning_hash != tuning_hash) {
    return std::string(
        "the recording was made with another tuning, so it cannot be replayed "
        "exactly");
  }
  return std::nullopt;
}

}  // namespace replay
