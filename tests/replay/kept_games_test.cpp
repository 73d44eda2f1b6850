// The kept-games folder: names by date, player and score; the newest 20 and
// every high-score game are kept.

#include "replay/kept_games.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(KeptGames, NamesSayDatePlayerAndScore) {
  // 2026-12-11 00:45:12 UTC.
  const int64_t t = 1796949912;
  EXPECT_EQ(replay::KeptGameFileName(t, "Anna", 123450, false),
            "20261211-004512_Anna_123450.gfrec");
  EXPECT_EQ(replay::KeptGameFileName(t, "Zoë / x", 5, true),
            "20261211-004512_Zo_____x_5_high.gfrec");
  EXPECT_EQ(replay::KeptGameFileName(t, "", 0, false), "20261211-004512_player_0.gfrec");
  EXPECT_EQ(replay::FileNamePlayer(std::string(50, 'a')), std::string(32, 'a'));

  const auto g = replay::ParseKeptGameFileName("20261211-004512_Zo_____x_5_high.gfrec");
  ASSERT_TRUE(g);
  EXPECT_EQ(g->started_unix, t);
  EXPECT_EQ(g->player, "Zo_____x");
  EXPECT_EQ(g->score, 5);
  EXPECT_TRUE(g->high_score);
  for (const char* bad :
       {"notes.txt", "20261211-004512_Anna_12x.gfrec", "20261311-004512_A_1.gfrec",
        "20261211-004512__1.gfrec", "20261211-004512_1.gfrec", "20261211_004512_A_1.gfrec",
        "20261211-004512_A_99999999999.gfrec"}) {
    EXPECT_FALSE(replay::ParseKeptGameFileName(bad)) << bad;
  }
}

TEST(KeptGames, PruningKeepsTheNewestAndTheHighScores) {
  const fs::path dir = fs::temp_directory_path() / ("gfall-kept-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  auto touch = [&](const std::string& name) { std::ofstream(dir / name) << "x"; };
  // 25 games a minute apart; games 2 and 4 entered the table, game 3 too but
  // has since left it.
  for (int i = 0; i < 25; ++i) {
    touch(replay::KeptGameFileName(1796949912 + 60 * i, "P", i, i >= 2 && i <= 4));
  }
  touch("readme.txt");
  const int removed = replay::PruneKeptGames(
      dir.string(), 20, [](const replay::KeptGame& g) { return g.score != 3; });
  EXPECT_EQ(removed, 3);  // games 0, 1 and 3
  const auto kept = replay::ListKeptGames(dir.string());
  ASSERT_EQ(kept.size(), 22u);
  EXPECT_EQ(kept.front().score, 24);
  EXPECT_EQ(kept.back().score, 2);
  EXPECT_TRUE(fs::exists(dir / "readme.txt"));

  const auto found = replay::FindKeptGame(dir.string(), "P", 4);
  ASSERT_TRUE(found);
  EXPECT_TRUE(found->high_score);
  EXPECT_FALSE(replay::FindKeptGame(dir.string(), "P", 3));
  EXPECT_FALSE(replay::FindKeptGame(dir.string(), "Q", 4));
  EXPECT_TRUE(replay::ListKeptGames((dir / "none").string()).empty());
  fs::remove_all(dir);
}

}  // namespace
