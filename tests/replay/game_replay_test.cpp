// Whole games on the built-in test table, recorded through the driver's hook
// and replayed: every checkpoint matches, with a virtual clock and with
// uneven frame times such as a window gives; a changed input or clock
// reading is found; a recording of another tuning is refused.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/frame_loop.h"
#include "app/game_passes.h"
#include "app/headless.h"
#include "app/replay_hook.h"
#include "replay/reader.h"

namespace {

namespace fs = std::filesystem;

struct TestGame {
  explicit TestGame(uint32_t seed, bool computer, bool start = true) {
    auto c = std::make_unique<app::FakeClock>();
    clock = c.get();
    game = std::make_unique<app::Game>(std::move(c), std::make_unique<app::GamePasses>());
    app::Game& g = *game;
    g.random.Seed(seed);
    physics::PlayfieldReset(g.world, g.random);
    app::UseTestTable(g);
    if (start) app::StartGame(g, computer);
  }
  app::FakeClock* clock = nullptr;
  std::unique_ptr<app::Game> game;
};

std::string TempPath(const std::string& name) {
  return (fs::temp_directory_path() / ("gfall-" + std::to_string(::getpid()) + "-" + name))
      .string();
}

// Plays up to `frames` frames (or to the game's end) while recording. `step`
// gives the clock's advance before frame n; `input` may press actions.
void RecordGame(const std::string& path, uint32_t seed, bool computer, int frames,
                const std::function<double(int)>& step,
                const std::function<void(app::Game&, int)>& input) {
  TestGame t(seed, computer);
  app::ReplayHook hook;
  app::RecordingSetup setup;
  setup.run_mode = "test";
  setup.seed = seed;
  setup.computer = computer;
  setup.test_table = true;
  std::string error;
  ASSERT_TRUE(hook.StartRecording(*t.game, setup, path, error)) << error;
  for (int n = 0; n < frames && !t.game->flow.state.game_ended; ++n) {
    t.clock->Advance(step(n));
    if (input) input(*t.game, n);
    hook.BeforeFrame(*t.game);
    app::FrameGate(*t.game);
    hook.AfterFrame(*t.game);
  }
  hook.Finish(*t.game);
}

// Replays into a fresh game; returns the verdict ("" when all matched).
std::string ReplayGame(const replay::Recording& rec, uint32_t* matched = nullptr,
                       const std::function<void(app::Game&)>& tune = nullptr) {
  TestGame t(rec.header.seed, rec.header.Setting("computer") == "1");
  if (tune) tune(*t.game);
  app::ReplayHook hook;
  std::string error;
  if (!hook.StartReplay(*t.game, rec, "", error)) return "refused: " + error;
  while (hook.BeforeFrame(*t.game)) {
    app::FrameGate(*t.game);
    hook.AfterFrame(*t.game);
  }
  hook.Finish(*t.game);
  if (matched) *matched = hook.checker()->checkpoints_matched();
  return hook.checker()->divergence();
}

replay::Recording ReadWhole(const std::string& path) {
  replay::ReadResult res = replay::ReadRecordingFile(path);
  EXPECT_TRUE(res.complete()) << res.error;
  return std::move(res.recording);
}

TEST(GameReplay, AComputerGameOnAVirtualClockReplaysExactly) {
  const std::string path = TempPath("computer.gfrec");
  RecordGame(
      path, 29, true, 200000, [](int) { return 1000.0 / 60.0; }, nullptr);
  const replay::Recording rec = ReadWhole(path);
  ASSERT_GE(rec.checkpoints.size(), 3u);
  EXPECT_EQ(rec.checkpoints[rec.checkpoints.size() - 2].kind, replay::CheckKind::kGameEnd);
  uint32_t matched = 0;
  EXPECT_EQ(ReplayGame(rec, &matched), "");
  EXPECT_EQ(matched, rec.checkpoints.size());
  if (!getenv("KEEP")) fs::remove(path);
}

// A person's game in a window: uneven frame times (vsync at 60 Hz with
// stalls and the odd fast frame that waits for the next step), flippers and
// the plunger pressed now and then.
TEST(GameReplay, APlayedGameWithRealFrameTimesReplaysExactly) {
  const std::string path = TempPath("played.gfrec");
  auto step = [](int n) {
    if (n % 211 == 7) return 48.25;            // a stall
    if (n % 37 == 3) return 2.000125;          // a fast frame
    return 16.0 + (n * 7919 % 1000) * 0.0013;  // jitter
  };
  auto input = [](app::Game& g, int n) {
    g.actions[core::kActionStart] = (n % 600) < 60;  // pull and release the plunger
    g.actions[core::kActionLeftFlipper] = (n % 45) < 8;
    g.actions[core::kActionRightFlipper] = ((n + 20) % 45) < 8;
    g.actions[core::kActionNudgeUp] = n % 997 == 500;
  };
  RecordGame(path, 7, false, 6 * 60 * 60, step, input);
  const replay::Recording rec = ReadWhole(path);
  ASSERT_GE(rec.checkpoints.size(), 2u);
  uint32_t matched = 0;
  EXPECT_EQ(ReplayGame(rec, &matched), "");
  EXPECT_EQ(matched, rec.checkpoints.size());

  // One input changed: the plunger released early in its first pull, so the
  // ball is launched softly. (A change with no lasting effect on the game,
  // such as a flipper press while the ball is far away, is no divergence.)
  replay::Recording changed = rec;
  for (size_t i = changed.frames[0].event_count; i < changed.events.size(); ++i) {
    replay::InputEvent& e = changed.events[i];
    if (e.kind == replay::EventKind::kActions && (e.a & (1 << core::kActionStart))) {
      e.a &= ~(1 << core::kActionStart);
      break;
    }
  }
  const std::string verdict = ReplayGame(changed);
  std::printf("%s\n", verdict.c_str());
  EXPECT_NE(verdict.find("replay diverged at frame "), std::string::npos) << verdict;

  // A frame 7 ms late in the middle of play: other physics steps.
  replay::Recording late = rec;
  const size_t from = late.readings.size() / 3;
  for (size_t i = from; i < late.readings.size(); ++i) late.readings[i] += 7.0;
  late.readings[from] += 7.0;
  const std::string late_verdict = ReplayGame(late);
  std::printf("%s\n", late_verdict.c_str());
  EXPECT_NE(late_verdict.find("replay diverged at frame "), std::string::npos) << late_verdict;
  if (!getenv("KEEP")) fs::remove(path);
}

// The window's way: the main menu idles, a two-player game is chosen from
// the menus between frames (a command, the flags, the clock settled as when
// play resumes), later paused and resumed.
TEST(GameReplay, AGameStartedFromTheMenusReplaysExactly) {
  const std::string path = TempPath("menus.gfrec");
  {
    TestGame t(5, false, false);
    app::Game& g = *t.game;
    g.flags.main_menu_shown = 1;
    app::ReplayHook hook;
    app::RecordingSetup setup;
    setup.seed = 5;
    setup.test_table = true;
    std::string error;
    ASSERT_TRUE(hook.StartRecording(g, setup, path, error)) << error;
    for (int n = 0; n < 4000 && !(n > 200 && g.flow.state.game_ended); ++n) {
      t.clock->Advance(16.0 + (n % 7) * 0.37);
      if (n == 100) {  // the menu's new game, as the window procedure gives it
        hook.Command(g, core::kCommandNextPlayerCount, 0);
        app::RunGameCommand(g, core::kCommandNextPlayerCount, 0);
        g.flags.main_menu_shown = 0;
        hook.Command(g, core::kCommandNewGame, 0);
        app::RunGameCommand(g, core::kCommandNewGame, 0);
      }
      if (n == 1500) g.flags.pause_menu_shown = 1;
      if (n == 1700) {  // resumed: the clock settled, a pause hold
        g.flags.pause_menu_shown = 0;
        g.frame.now = g.clock->Now();
        g.frame.previous_frame_time = g.frame.now;
        g.frame.next_step_time = g.frame.now;
        g.frame.step_debt = 0.0;
        g.frame.pause_hold_frames = 10;
      }
      g.actions[core::kActionStart] = n > 100 && (n % 500) < 50;
      g.actions[core::kActionRightFlipper] = (n % 40) < 6;
      hook.BeforeFrame(g);
      app::FrameGate(g);
      hook.AfterFrame(g);
    }
    EXPECT_EQ(g.rules.players.last_index, 1);
    hook.Finish(g);
  }
  const replay::Recording rec = ReadWhole(path);
  ASSERT_GE(rec.checkpoints.size(), 3u);
  TestGame t(5, false, false);
  app::ReplayHook hook;
  std::string error;
  ASSERT_TRUE(hook.StartReplay(*t.game, rec, "", error)) << error;
  while (hook.BeforeFrame(*t.game)) {
    app::FrameGate(*t.game);
    hook.AfterFrame(*t.game);
  }
  hook.Finish(*t.game);
  EXPECT_EQ(hook.checker()->divergence(), "");
  EXPECT_EQ(hook.checker()->checkpoints_matched(), rec.checkpoints.size());
  EXPECT_EQ(t.game->rules.players.last_index, 1);
  if (!getenv("KEEP")) fs::remove(path);
}

TEST(GameReplay, ARecordingOfAnotherTuningIsRefused) {
  const std::string path = TempPath("tuning.gfrec");
  RecordGame(
      path, 3, true, 300, [](int) { return 16.5; }, nullptr);
  const replay::Recording rec = ReadWhole(path);
  EXPECT_EQ(ReplayGame(rec, nullptr, [](app::Game& g) { g.world.tuning.flipper_hard = 0.5f; }),
            "refused: the recording was made with another tuning, so it cannot be replayed "
            "exactly");
  if (!getenv("KEEP")) fs::remove(path);
}

}  // namespace
