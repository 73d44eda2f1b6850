// The regression corpus: games recorded in the real window with real frame
// times (tests/replays, made by `make replays`) must replay headless with
// every checkpoint matching. A change to the physics, the rules or the table
// that is meant is followed by `make replays` and the new recordings are
// committed with it. A recording made with another pack or tuning than the
// one built is reported and skipped: it says nothing about this build.

#include <gtest/gtest.h>

#include <filesystem>
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
  }
}

}  // namespace
