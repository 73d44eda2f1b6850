// The command line: both value spellings, the switches, bad input and the way
// of running each combination asks for.

#include "app/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace app {
namespace {

struct Parsed {
  ParseResult result;
  Options o;
};

Parsed Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "gfall");
  Parsed p{ParseResult::kBadUsage, {}};
  std::FILE* sink = std::tmpfile();
  p.result = ParseOptions(static_cast<int>(args.size()), args.data(), p.o, sink, sink);
  std::fclose(sink);
  return p;
}

TEST(Options, BothValueSpellingsAndTheSwitches) {
  const Parsed p = Parse({"--headless", "--seed=7", "--frames", "40", "--data=/tmp/x", "/0", "/R",
                          "--frame-ms=20", "--players", "3"});
  ASSERT_EQ(p.result, ParseResult::kRun);
  EXPECT_EQ(p.o.seed, 7u);
  EXPECT_EQ(p.o.frames, 40);
  EXPECT_EQ(p.o.data_dir, "/tmp/x");  // "/tmp/x" is a value, not a switch
  EXPECT_EQ(p.o.switches, "/0 /R ");
  EXPECT_DOUBLE_EQ(p.o.frame_ms, 20.0);
  EXPECT_EQ(p.o.players, 3);
}

TEST(Options, BadInputIsAUsageError) {
  for (std::vector<const char*> bad : {std::vector<const char*>{"--frames"},
                                       {"--frames=-3"},
                                       {"--seed", "x"},
                                       {"--bogus"},
                                       {"--width", "700"},
                                       {"--depth", "5"},
                                       {"--players", "1.5"},
                                       {"stray"},
                                       {"--linger", "-1"},
                                       {"--frame-ms", "nan"},
                                       {"--frame-ms", "inf"},
                                       {"/X"},
                                       {"/0X"},
                                       {"/r"},
                                       {"/"},
                                       {"--headless", "--seeds", "0-99999999"},
                                       {"--headless", "--seeds", "5-1000005"}}) {
    EXPECT_EQ(Parse(bad).result, ParseResult::kBadUsage) << bad[0] << " " << bad.back();
  }
  // The largest --seeds run and the switch words ScanSwitches reads are taken.
  EXPECT_EQ(Parse({"--headless", "--seeds", "5-1000004"}).result, ParseResult::kRun);
  EXPECT_EQ(Parse({"/0R"}).result, ParseResult::kRun);
  EXPECT_EQ(Parse({"/0/R"}).result, ParseResult::kRun);
  EXPECT_EQ(Parse({"--help"}).result, ParseResult::kDone);
  EXPECT_EQ(Parse({"--version"}).result, ParseResult::kDone);
  EXPECT_NE(UsageText().find("usage: gfall"), std::string::npos);
  EXPECT_NE(UsageText().find("--shot-map-json"), std::string::npos);
}

TEST(Options, EachCombinationFindsItsWayOfRunning) {
  struct Case {
    std::vector<const char*> args;
    RunMode mode;
  };
  for (const Case& c : std::vector<Case>{
           {{}, RunMode::kWindow},
           {{"--window", "--frames", "5"}, RunMode::kWindow},
           {{"--window", "--screenshot", "a.png"}, RunMode::kWindow},
           {{"--headless"}, RunMode::kHeadless},
           {{"--headless", "--menus"}, RunMode::kHeadless},
           {{"--play"}, RunMode::kTable},
           {{"--screenshot", "a.png"}, RunMode::kTable},
           {{"--headless", "--width", "800"}, RunMode::kTable},
           {{"--headless", "--window"}, RunMode::kTable},
       }) {
    const Parsed p = Parse(c.args);
    ASSERT_EQ(p.result, ParseResult::kRun);
    EXPECT_EQ(ModeOf(p.o), c.mode) << (c.args.empty() ? "" : c.args[0]);
  }
  // Options that the chosen way of running would not use are named.
  EXPECT_EQ(OptionOutOfPlace(Parse({"--play", "--demo"}).o, RunMode::kTable), "--demo");
  EXPECT_EQ(OptionOutOfPlace(Parse({"--play", "/0"}).o, RunMode::kTable), "/0");
  EXPECT_EQ(OptionOutOfPlace(Parse({"--headless", "--linger", "5"}).o, RunMode::kHeadless),
            "--linger");
  EXPECT_EQ(OptionOutOfPlace(Parse({"--play", "--linger", "5"}).o, RunMode::kTable), "");
  // --play reads the stored bindings and sound levels from the game data folder.
  EXPECT_EQ(OptionOutOfPlace(Parse({"--play", "--config-dir", "d"}).o, RunMode::kTable), "");
}

TEST(Options, TheLastOfWindowAndHeadlessDecides) {
  EXPECT_TRUE(Parse({"--headless", "--window"}).o.shown_last);
  EXPECT_FALSE(Parse({"--window", "--headless"}).o.shown_last);
  EXPECT_TRUE(Parse({"--window", "--fullscreen"}).o.fullscreen);
  EXPECT_FALSE(Parse({"--fullscreen", "--window"}).o.fullscreen);
}

}  // namespace
}  // namespace app
