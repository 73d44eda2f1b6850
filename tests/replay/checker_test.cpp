// Playing a recording back: the readings come out in order, and the first
// difference from the recorded game is named with its frame.

#include "replay/checker.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using replay::CheckKind;

replay::StateDigest Digest(uint64_t v) {
  replay::StateDigest d{};
  d.fill(v);
  return d;
}

// Four frames with 1, 2, 1, 1 readings; a ball end after frame 1 and the game
// end after frame 3.
replay::Recording Sample(bool finished = true) {
  replay::Recording r;
  const double readings[] = {10.0, 26.5, 27.5, 43.0, 60.0};
  r.readings.assign(std::begin(readings), std::end(readings));
  r.frames = {{0, 1, 0, 0}, {1, 2, 0, 1}, {3, 1, 1, 0}, {4, 1, 1, 0}};
  r.events = {replay::InputEvent::Actions(1)};
  r.checkpoints.push_back({1, CheckKind::kBallEnd, Digest(7), {100}});
  r.checkpoints.push_back({3, CheckKind::kGameEnd, Digest(9), {250}});
  r.finished = finished;
  return r;
}

// Plays the sample, letting `tweak` change what the replayed game does at a
// frame; returns the checker's verdict.
std::string Play(const replay::Recording& rec,
                 const std::function<void(replay::Checker&, uint32_t, int&)>& tweak) {
  replay::Checker c(rec);
  while (c.BeginFrame()) {
    int reads = static_cast<int>(rec.frames[c.frame()].reading_count);
    tweak(c, c.frame(), reads);
    for (int i = 0; i < reads; ++i) c.NextReading();
    c.EndFrame();
    if (c.frame() == 1) c.Checkpoint(CheckKind::kBallEnd, Digest(7));
    if (c.frame() == 3) c.Checkpoint(CheckKind::kGameEnd, Digest(9));
  }
  c.Finish();
  return c.divergence();
}

TEST(Checker, HandsOutTheFramesAndMatchesAnIdenticalGame) {
  const replay::Recording rec = Sample();
  replay::Checker c(rec);
  std::vector<double> seen;
  int events = 0;
  while (c.BeginFrame()) {
    events += static_cast<int>(c.Events().size());
    for (uint32_t i = 0; i < rec.frames[c.frame()].reading_count; ++i)
      seen.push_back(c.NextReading());
    c.EndFrame();
    if (c.frame() == 1) c.Checkpoint(CheckKind::kBallEnd, Digest(7));
    if (c.frame() == 3) c.Checkpoint(CheckKind::kGameEnd, Digest(9));
  }
  c.Finish();
  EXPECT_FALSE(c.diverged()) << c.divergence();
  EXPECT_EQ(seen, rec.readings);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(c.checkpoints_matched(), 2u);
}

TEST(Checker, NamesTheFirstDivergence) {
  struct Case {
    const char* name;
    std::function<void(replay::Checker&, uint32_t, int&)> tweak;
    const char* expected;
  };
  const Case cases[] = {
      {"a ball in another place",
       [](replay::Checker& c, uint32_t f, int& reads) {
         if (f == 1) {
           for (int i = 0; i < reads; ++i) c.NextReading();
           reads = 0;
           c.EndFrame();
           replay::StateDigest d = Digest(7);
           d[replay::kPartBall0Position] ^= 1;
           c.Checkpoint(CheckKind::kBallEnd, d);
         }
       },
       "replay diverged at frame 1: ball 0 position (at the ball end)"},
      {"other scores at the game end",
       [](replay::Checker& c, uint32_t f, int& reads) {
         if (f == 3) {
           for (int i = 0; i < reads; ++i) c.NextReading();
           reads = 0;
           c.EndFrame();
           replay::StateDigest d = Digest(9);
           d[replay::kPartScores] = 1;
           d[replay::kPartLamps] = 1;
           c.Checkpoint(CheckKind::kGameEnd, d);
         }
       },
       "replay diverged at frame 3: scores (at the game end)"},
      {"the clock read once more",
       [](replay::Checker&, uint32_t f, int& reads) { reads += f == 2; },
       "replay diverged at frame 2: the clock was read more often than the 1 times recorded"},
      {"the clock read once less",
       [](replay::Checker&, uint32_t f, int& reads) { reads -= f == 1; },
       "replay diverged at frame 1: the clock was read 1 times, recorded 2"},
      {"a ball ending early",
       [](replay::Checker& c, uint32_t f, int& reads) {
         if (f == 0) {
           for (int i = 0; i < reads; ++i) c.NextReading();
           reads = 0;
           c.EndFrame();
           c.Checkpoint(CheckKind::kBallEnd, Digest(7));
         }
       },
       "replay diverged at frame 0: a ball end the recording does not have here (its next is a "
       "ball end at frame 1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Play(Sample(), c.tweak), c.expected);
  }
}

TEST(Checker, ACheckpointTheReplayNeverReachesIsADivergence) {
  const replay::Recording rec = Sample();
  replay::Checker c(rec);
  while (c.BeginFrame()) {
    for (uint32_t i = 0; i < rec.frames[c.frame()].reading_count; ++i) c.NextReading();
    c.EndFrame();
  }
  c.Finish();
  EXPECT_EQ(c.divergence(), "replay diverged at frame 1: the recorded ball end did not happen");
  EXPECT_EQ(c.divergence_frame(), 1u);

  // The game end recorded after the last frame.
  replay::Checker last(rec);
  while (last.BeginFrame()) {
    for (uint32_t i = 0; i < rec.frames[last.frame()].reading_count; ++i) last.NextReading();
    last.EndFrame();
    if (last.frame() == 1) last.Checkpoint(CheckKind::kBallEnd, Digest(7));
  }
  last.Finish();
  EXPECT_EQ(last.divergence(), "replay diverged at frame 3: the recorded game end did not happen");
}

TEST(Checker, APartialRecordingEndsWithoutBlame) {
  // Cut after frame 2: the game end is missing, and an extra ball end after
  // the readable part is no divergence either.
  replay::Recording rec = Sample(false);
  rec.frames.resize(3);
  rec.readings.resize(4);
  rec.checkpoints.resize(1);
  const std::string verdict = Play(rec, [](replay::Checker& c, uint32_t f, int& reads) {
    if (f == 2) {
      for (int i = 0; i < reads; ++i) c.NextReading();
      reads = 0;
      c.EndFrame();
      c.Checkpoint(CheckKind::kBallEnd, Digest(1));
    }
  });
  EXPECT_EQ(verdict, "");
  // A finished recording has no such excuse.
  replay::Recording whole = Sample();
  whole.checkpoints.resize(1);
  whole.checkpoints.push_back({3, CheckKind::kGameEnd, Digest(9), {}});
  EXPECT_EQ(
      Play(whole,
           [](replay::Checker& c, uint32_t f, int& reads) {
             if (f == 2) {
               for (int i = 0; i < reads; ++i) c.NextReading();
               reads = 0;
               c.EndFrame();
               c.Checkpoint(CheckKind::kBallEnd, Digest(1));
             }
           }),
      "replay diverged at frame 2: a ball end the recording does not have here (its next is a "
      "game end at frame 3)");
}

}  // namespace
