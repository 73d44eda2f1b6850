// Recording and replaying through the sessions a driver uses: the same play
// matches at every checkpoint, other play is caught at the next one, and a
// recording made with another pack or tuning is refused.

#include "replay/session.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

struct Table {
  Table() { rules.Bind(world); }
  physics::World world;
  rules::Rules rules;
  rules::FlowState flow;
  core::Random15 random;
  replay::GameStateView View() { return {world, rules, flow, random, nullptr}; }
};

// A stand-in game: a ball drains every 50 frames, the game ends at frame
// 160; `poke` may change something at a frame.
void PlayFrame(Table& t, int f, const std::function<void(Table&, int)>& poke) {
  if (f == 0) {
    t.flow.game_ended = 0;
    t.world.balls[0].in_play = 1;
    t.world.balls[0].launched = 1;
  }
  t.world.balls[0].x += 1.5f;
  t.random.Next();
  if (f % 50 == 49) {
    ++t.flow.drains;
    t.world.balls[0].launched = 0;
    t.rules.players.records[0].score += 1000;
  }
  if (f % 50 == 0) t.world.balls[0].launched = 1;
  if (f == 160) t.flow.game_ended = 1;
  if (poke) poke(t, f);
}

std::vector<uint8_t> Record(int frames) {
  auto sink = std::make_unique<replay::MemorySink>();
  replay::MemorySink* mem = sink.get();
  replay::Header h;
  replay::RecordSession session(std::make_unique<replay::Writer>(std::move(sink), h));
  Table t;
  t.flow.game_ended = 1;
  for (int f = 0; f < frames; ++f) {
    EXPECT_EQ(session.Reading(f * 16.0), f * 16.0);
    if (f == 3) session.Event(replay::InputEvent::Actions(1 << 5));
    PlayFrame(t, f, nullptr);
    session.EndFrame(t.View());
  }
  session.Finish(t.View());
  return mem->bytes();
}

std::string Replay(const replay::Recording& rec, const std::function<void(Table&, int)>& poke,
                   uint32_t* matched = nullptr) {
  replay::ReplaySession session(rec);
  Table t;
  t.flow.game_ended = 1;
  int f = 0;
  while (session.BeginFrame()) {
    EXPECT_EQ(session.Reading(), f * 16.0);
    EXPECT_EQ(session.Events().size(), f == 3 ? 1u : 0u);
    PlayFrame(t, f++, poke);
    session.EndFrame(t.View());
  }
  session.Finish(t.View());
  if (matched) *matched = session.checker().checkpoints_matched();
  return session.checker().divergence();
}

TEST(Session, TheSamePlayMatchesEveryCheckpoint) {
  const replay::ReadResult res = replay::ReadRecording(Record(200));
  ASSERT_TRUE(res.complete()) << res.error;
  // Ball ends after frames 49, 99, 149, a periodic check at 119, the game
  // end at 160, the last frame.
  const std::vector<std::pair<uint32_t, replay::CheckKind>> expected = {
      {49, replay::CheckKind::kBallEnd},   {99, replay::CheckKind::kBallEnd},
      {119, replay::CheckKind::kInterval}, {149, replay::CheckKind::kBallEnd},
      {160, replay::CheckKind::kGameEnd},  {199, replay::CheckKind::kLastFrame}};
  ASSERT_EQ(res.recording.checkpoints.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(res.recording.checkpoints[i].frame, expected[i].first) << i;
    EXPECT_EQ(res.recording.checkpoints[i].kind, expected[i].second) << i;
  }
  EXPECT_EQ(res.recording.checkpoints[0].scores, std::vector<int32_t>{1000});
  uint32_t matched = 0;
  EXPECT_EQ(Replay(res.recording, nullptr, &matched), "");
  EXPECT_EQ(matched, expected.size());
}

TEST(Session, OtherPlayIsCaughtAtTheNextCheckpoint) {
  const replay::ReadResult res = replay::ReadRecording(Record(200));
  ASSERT_TRUE(res.complete());
  EXPECT_EQ(Replay(res.recording,
                   [](Table& t, int f) {
                     if (f == 60) t.random.Next();
                   }),
            "replay diverged at frame 99: random state (at the ball end)");
  EXPECT_EQ(Replay(res.recording,
                   [](Table& t, int f) {
                     if (f == 170) t.world.balls[0].y = 3.0f;
                   }),
            "replay diverged at frame 199: ball 0 position (at the last frame)");
  EXPECT_EQ(Replay(res.recording,
                   [](Table& t, int f) {
                     if (f == 120) t.flow.game_ended = 1;
                   }),
            "replay diverged at frame 120: a game end the recording does not have here (its "
            "next is a ball end at frame 149)");
}

TEST(Session, APartialRecordingReplaysWhatIsThere) {
  std::vector<uint8_t> bytes = Record(200);
  bytes.resize(bytes.size() * 2 / 3);
  const replay::ReadResult res = replay::ReadRecording(bytes);
  ASSERT_EQ(res.status, replay::ReadStatus::kTruncated);
  ASSERT_GT(res.recording.checkpoints.size(), 1u);
  uint32_t matched = 0;
  EXPECT_EQ(Replay(res.recording, nullptr, &matched), "");
  EXPECT_EQ(matched, res.recording.checkpoints.size());
}

TEST(Session, ARecordingOfAnotherPackOrTuningIsRefused) {
  replay::Header h;
  h.pack_hash = 1;
  h.tuning_hash = 2;
  EXPECT_EQ(replay::Incompatibility(h, 1, 2), std::nullopt);
  EXPECT_NE(replay::Incompatibility(h, 3, 2).value_or("").find("another GFALL.DAT"),
            std::string::npos);
  EXPECT_NE(replay::Incompatibility(h, 0, 2).value_or("").find("another table"), std::string::npos);
  EXPECT_NE(replay::Incompatibility(h, 1, 3).value_or("").find("another tuning"),
            std::string::npos);
}

}  // namespace
