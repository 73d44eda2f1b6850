// The regression corpus: games recorded in the real window with real frame
// times (tests/replays, made by `make replays`) must replay headless with
// every checkpoint matching. A change to the physics, the rules or the table
// that is meant is followed by `make replays` and the new recordings are
// committed with it. A recording made with another pack or tuning than the
// one built fails: it says nothing about this build.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "run_command.h"

namespace {

namespace fs = std::filesystem;

TEST(ReplayCorpus, EveryRecordedGameReplaysExactly) {
  if (!fs::exists(fs::path(GFALL_DATA_DIR) / "GFALL.DAT")) GTEST_SKIP() << "no GFALL.DAT";
  std::vector<fs::path> games;
  for (const auto& e : fs::directory_iterator(GFALL_REPLAYS_DIR)) {
    if (e.path().extension() == ".gfrec") games.push_back(e.path());
  }
  ASSERT_FALSE(games.empty()) << "no recordings in " << GFALL_REPLAYS_DIR;
  for (const fs::path& game : games) {
    SCOPED_TRACE(game.filename().string());
    const test_util::CommandRun run =
        test_util::RunCommand(std::string(GFALL_EXE) + " --replay " + game.string() + " --data " +
                              GFALL_DATA_DIR + " 2>&1");
    // A recording of another pack or tuning checks nothing: a change to the
    // table or its tuning records the corpus again (make replays) in the
    // same commit.
    EXPECT_EQ(run.out.find("another GFALL.DAT"), std::string::npos)
        << "the pack changed since this game was recorded; run make replays\n"
        << run.out;
    EXPECT_EQ(run.out.find("another tuning"), std::string::npos)
        << "the tuning changed since this game was recorded; run make replays\n"
        << run.out;
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("every checkpoint matched"), std::string::npos) << run.out;
    // The digests listed beside it are this recording's (make replays writes
    // them), so a commit's diff shows what a new recording changed.
    fs::path listing = game;
    listing.replace_extension(".hashes");
    std::ifstream in(listing);
    const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const test_util::CommandRun info =
        test_util::RunCommand(std::string(GFTOOL_EXE) + " replay " + game.string());
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_EQ(info.out, kept) << listing << " is not this recording's; run make replays";
  }
}

// Each game still holds what it was kept for: a re-recording that lost its
// multiball or its award would pass the test above and guard nothing.
TEST(ReplayCorpus, EachGameHoldsWhatItWasKeptFor) {
  if (!fs::exists(fs::path(GFALL_DATA_DIR) / "GFALL.DAT")) GTEST_SKIP() << "no GFALL.DAT";
  const struct {
    const char* game;
    const char* stats;  // what its replay's statistics must match
  } kCases[] = {
      {"four-players", R"re("players":\[\{[^\]]*\},\{[^\]]*\},\{[^\]]*\},\{[^\]]*\}\])re"},
      {"tilt", R"re("tilts":[1-9])re"},
      {"multiball", R"re("multiballs":[1-9])re"},
      {"multiball-1024", R"re("multiballs":[1-9])re"},
      {"skill-shot", R"re("skill_shots":[1-9])re"},
      {"award-earned", R"re("earned_(extra|double|special)":[1-9])re"},
      {"award-extra", R"re("awards_extra":[1-9])re"},
      {"award-double", R"re("awards_double":[1-9])re"},
      {"award-special", R"re("awards_special":[1-9])re"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.game);
    const fs::path game = fs::path(GFALL_REPLAYS_DIR) / (std::string(c.game) + ".gfrec");
    ASSERT_TRUE(fs::exists(game));
    const test_util::CommandRun run =
        test_util::RunCommand(std::string(GFALL_EXE) + " --replay " + game.string() + " --data " +
                              GFALL_DATA_DIR + " --stats 2>&1");
    EXPECT_EQ(run.status, 0) << run.out.substr(0, 300);
    EXPECT_TRUE(std::regex_search(run.out, std::regex(c.stats))) << run.out.substr(0, 600);
  }
}

}  // namespace
