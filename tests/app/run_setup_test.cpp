// The one record of a run: what each way of running asks of the driver.

#include "app/run_setup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace app {
namespace {

RunSetup SetupOf(std::vector<const char*> args) {
  args.insert(args.begin(), "gfall");
  Options o;
  std::FILE* sink = std::tmpfile();
  EXPECT_EQ(ParseOptions(static_cast<int>(args.size()), args.data(), o, sink, sink),
            ParseResult::kRun);
  std::fclose(sink);
  return RunSetupOf(o, ModeOf(o));
}

TEST(RunSetup, EachWayOfRunningIsItsDisplayMenusClockAndFrames) {
  const struct {
    std::vector<const char*> args;
    DisplayKind display;
    bool menus, virtual_clock;
    ClockStep step;
    bool demo;
    int64_t frame_limit;
  } cases[] = {
      {{}, DisplayKind::kWindow, true, false, ClockStep::kToFrameTime, false, -1},
      {{"--window", "--virtual-clock", "--frames", "30"},
       DisplayKind::kWindow,
       true,
       true,
       ClockStep::kToFrameTime,
       false,
       30},
      {{"--headless"}, DisplayKind::kNone, false, true, ClockStep::kToFrameTime, false, 600},
      {{"--headless", "--demo", "--until-game-over"},
       DisplayKind::kNone,
       false,
       true,
       ClockStep::kToFrameTime,
       true,
       -1},
      {{"--headless", "--menus", "--frames", "5"},
       DisplayKind::kNone,
       true,
       true,
       ClockStep::kToFrameTime,
       false,
       5},
      {{"--play"}, DisplayKind::kWindow, false, false, ClockStep::kToFrameTime, false, -1},
      // The pictures of a game: the computer plays on a clock that steps by the frame.
      {{"--screenshot", "x.png"},
       DisplayKind::kOffscreen,
       false,
       true,
       ClockStep::kByFrameTime,
       true,
       240},
      {{"--play", "--window", "--headless"},
       DisplayKind::kOffscreen,
       false,
       true,
       ClockStep::kByFrameTime,
       true,
       240},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const char* a : c.args) line += std::string(a) + " ";
    const RunSetup s = SetupOf(c.args);
    EXPECT_EQ(s.display, c.display) << line;
    EXPECT_EQ(s.menus, c.menus) << line;
    EXPECT_EQ(s.virtual_clock, c.virtual_clock) << line;
    if (s.virtual_clock) {
      EXPECT_EQ(s.clock_step, c.step) << line;
    }
    EXPECT_EQ(s.demo, c.demo) << line;
    EXPECT_EQ(FrameLimit(s), c.frame_limit) << line;
  }
}

TEST(RunSetup, StraightIntoPlayKeepsTheCurrentFolderAndTheOthersTheirOptions) {
  const RunSetup s = SetupOf({"--play", "--width", "640", "--config-dir", "/c"});
  EXPECT_EQ(s.data_dir, ".");
  EXPECT_EQ(s.players, 1);
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.config_dir, "/c");
  const RunSetup h = SetupOf({"--headless", "--players", "3", "--data", "/d", "--seed", "9"});
  EXPECT_EQ(h.players, 3);
  EXPECT_EQ(h.data_dir, "/d");
  EXPECT_EQ(h.seed, 9u);
}

}  // namespace
}  // namespace app
