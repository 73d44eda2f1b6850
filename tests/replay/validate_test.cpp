// A shared recording is checked before it drives the game: a game recorded
// on the built-in test table is forged field by field, each forgery is
// refused with its record and field named (and the replay does not start),
// while the untouched game and every recording of the corpus pass.

#include "replay/validate.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "app/frame_loop.h"
#include "app/game_passes.h"
#include "app/headless.h"
#include "app/replay_hook.h"
#include "replay/reader.h"

namespace {

namespace fs = std::filesystem;

std::unique_ptr<app::Game> NewGame(uint32_t seed, app::FakeClock*& clock) {
  auto c = std::make_unique<app::FakeClock>();
  clock = c.get();
  auto game = std::make_unique<app::Game>(std::move(c), std::make_unique<app::GamePasses>());
  game->random.Seed(seed);
  physics::PlayfieldReset(game->world, game->random);
  app::UseTestTable(*game);
  app::StartGame(*game, false);
  return game;
}

// A person's game of 900 frames with uneven frame times, every kind of loop
// event the driver writes, and a ball launched.
const replay::Recording& PlayedGame() {
  static const replay::Recording rec = [] {
    const std::string path =
        (fs::temp_directory_path() / ("gfall-validate-" + std::to_string(::getpid()) + ".gfrec"))
            .string();
    app::FakeClock* clock = nullptr;
    auto game = NewGame(11, clock);
    app::ReplayHook hook;
    app::RecordingSetup setup;
    setup.run_mode = "test";
    setup.seed = 11;
    setup.test_table = true;
    std::string error;
    EXPECT_TRUE(hook.StartRecording(*game, setup, path, error)) << error;
    for (int n = 0; n < 900; ++n) {
      clock->Advance(n % 97 == 5 ? 51.5 : 16.0 + (n % 7) * 0.25);
      game->actions[core::kActionStart] = n > 30 && n < 90;
      game->actions[core::kActionLeftFlipper] = n % 40 < 6;
      hook.BeforeFrame(*game);
      app::FrameGate(*game);
      hook.AfterFrame(*game);
    }
    hook.Finish(*game);
    replay::ReadResult res = replay::ReadRecordingFile(path);
    fs::remove(path);
    EXPECT_TRUE(res.complete()) << res.error;
    return std::move(res.recording);
  }();
  return rec;
}

// The index of the first event of a kind (and `which`, for loop events) in
// the recording; the forgeries change it.
size_t FindEvent(const replay::Recording& r, replay::EventKind kind, int which = -1) {
  for (size_t i = 0; i < r.events.size(); ++i) {
    if (r.events[i].kind == kind && (which < 0 || r.events[i].a == which)) return i;
  }
  ADD_FAILURE() << "no such event";
  return 0;
}

std::string Replayed(const replay::Recording& rec) {
  app::FakeClock* clock = nullptr;
  auto game = NewGame(rec.header.seed, clock);
  app::ReplayHook hook;
  std::string error;
  if (!hook.StartReplay(*game, rec, "", error)) return error;
  while (hook.BeforeFrame(*game)) {
    app::FrameGate(*game);
    hook.AfterFrame(*game);
  }
  hook.Finish(*game);
  return "replayed: " + hook.checker()->divergence();
}

TEST(ValidateRecording, TheGameAsRecordedPassesAndReplays) {
  const replay::Recording& rec = PlayedGame();
  ASSERT_EQ(rec.frames.size(), 900u);
  const auto problem = replay::Validate(rec, app::RecordingLimits());
  EXPECT_FALSE(problem) << problem->Line();
  EXPECT_EQ(Replayed(rec), "replayed: ");
}

TEST(ValidateRecording, EveryRecordingOfTheCorpusPasses) {
  int seen = 0;
  for (const auto& entry : fs::directory_iterator(GFALL_REPLAYS_DIR)) {
    if (entry.path().extension() != ".gfrec") continue;
    const replay::ReadResult res = replay::ReadRecordingFile(entry.path().string());
    ASSERT_TRUE(res.complete()) << entry.path() << ": " << res.error;
    const auto problem = replay::Validate(res.recording, app::RecordingLimits());
    EXPECT_FALSE(problem) << entry.path() << ": " << problem->Line();
    ++seen;
  }
  EXPECT_GT(seen, 0);
}

struct Forgery {
  const char* name;
  std::function<void(replay::Recording&)> change;
  const char* refusal;  // the start of Problem::Line()'s place and reason
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void SetReading(replay::Recording& r, size_t frame, double v) {
  r.readings[r.frames[frame].first_reading] = v;
}

TEST(ValidateRecording, ForgedFieldsAreRefusedByRecordAndField) {
  using replay::EventKind;
  const Forgery forgeries[] = {
      {"NaN clock reading", [](auto& r) { SetReading(r, 500, kNaN); },
       "frame 500, clock reading 0: is not a finite number"},
      {"infinite clock reading", [](auto& r) { SetReading(r, 500, kInf); },
       "frame 500, clock reading 0: is not a finite number"},
      {"reading 1e12", [](auto& r) { SetReading(r, 500, 1e12); },
       "frame 500, clock reading 0: 1000000000000 is outside 0..4000000000"},
      {"reading 1e300", [](auto& r) { SetReading(r, 899, 1e300); },
       "frame 899, clock reading 0: 1e+300 is outside"},
      {"negative reading", [](auto& r) { SetReading(r, 0, -1e12); },
       "frame 0, clock reading 0: -1000000000000 is outside"},
      {"clock going back",
       [](auto& r) { SetReading(r, 400, r.readings[r.frames[399].first_reading] - 1.0); },
       "frame 400, clock reading 0: "},
      {"too many readings in a frame",
       [](auto& r) {
         const double v = r.readings[r.frames[899].first_reading];
         r.readings.insert(r.readings.end(), 20000, v);
         r.frames[899].reading_count += 20000;
       },
       "frame 899, clock readings: 20001 are more than"},
      {"loop time NaN", [](auto& r) { r.events[FindEvent(r, EventKind::kLoopTime)].time = kNaN; },
       "frame 0, event "},
      {"frame time past the lag cap",
       [](auto& r) { r.events[FindEvent(r, EventKind::kLoopTime, app::kTimeFrame)].time = 1e12; },
       "frame 0, event "},
      {"unknown loop time", [](auto& r) { r.events[FindEvent(r, EventKind::kLoopTime)].a = 99; },
       "frame 0, event "},
      {"unknown loop input", [](auto& r) { r.events[FindEvent(r, EventKind::kLoopState)].a = -1; },
       "frame 0, event "},
      {"flag of 2",
       [](auto& r) { r.events[FindEvent(r, EventKind::kLoopState, app::kLoopTitle)].b = 2; },
       "frame 0, event "},
      {"pause hold at the bottom of int32",
       [](auto& r) {
         r.events[FindEvent(r, EventKind::kLoopState, app::kLoopPauseHold)].b = INT32_MIN;
       },
       "frame 0, event "},
      {"actions beyond the six",
       [](auto& r) { r.events[FindEvent(r, EventKind::kActions)].a = 1 << 6; },
       "frame 0, event 0 (actions): actions is outside 0..63"},
      {"command not the window's",
       [](auto& r) { r.events.back() = replay::InputEvent::Command(5, 0); },
       "(command): command is outside 101..120"},
      {"scan code 300", [](auto& r) { r.events.back() = replay::InputEvent::Key(300, 1); },
       "(key): scan code is outside 0..255"},
      {"pointer far away",
       [](auto& r) { r.events.back() = replay::InputEvent::Pointer(1 << 30, 5, 1); },
       "(pointer): x is outside"},
      {"unknown event kind",
       [](auto& r) { r.events.back().kind = static_cast<replay::EventKind>(9); },
       ": kind 9 is not known"},
      {"negative score", [](auto& r) { r.checkpoints.back().scores = {-5}; },
       ", score 0: is outside 0.."},
      {"five players' scores", [](auto& r) { r.checkpoints.back().scores.assign(5, 1); },
       ", scores: are more than 4 players'"},
      {"width setting", [](auto& r) { r.header.settings.emplace_back("width", "99999"); },
       "header, setting width: is not 640, 800 or 1024"},
      {"random setting", [](auto& r) { r.header.settings.emplace_back("random", "-1"); },
       "header, setting random: is not a whole number"},
      {"players", [](auto& r) { r.header.players = 9; }, "header, players: is outside 1..4"},
  };
  for (const Forgery& f : forgeries) {
    SCOPED_TRACE(f.name);
    replay::Recording rec = PlayedGame();
    // The last frame carries the event the table replaces.
    if (rec.frames.back().event_count == 0) {
      rec.events.push_back(replay::InputEvent::Actions(0));
      rec.frames.back().event_count = 1;
    }
    f.change(rec);
    const auto problem = replay::Validate(rec, app::RecordingLimits());
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->Line().find(f.refusal), std::string::npos) << problem->Line();
    // The replay does not start.
    EXPECT_EQ(Replayed(rec), "refused: " + problem->Line());
  }
}

}  // namespace
