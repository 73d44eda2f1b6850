// The Watch button of the high-score table, end to end in real windows: a
// game recorded in one window is kept for a high-score row; the game with its
// menus opens the table, Watch on that row starts a window of its own that
// replays the game at real speed with every checkpoint matching, and the game
// itself goes on and quits as asked.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "replay/kept_games.h"
#include "store/game_data.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(WatchWindow, WatchOnARowReplaysItsKeptGameInAWindowOfItsOwn) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  if (!fs::exists(fs::path(GFALL_DATA_DIR) / "GFALL.DAT")) GTEST_SKIP() << "no GFALL.DAT";
  const fs::path dir =
      fs::temp_directory_path() / ("gfall_watch_e2e_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  const fs::path config = dir / "config";
  fs::create_directories(config / "replays");
  const std::string exe = GFALL_EXE, data = GFALL_DATA_DIR;

  // The high-score table with Anna's game in its first row, and that game's
  // file among the kept games (a short game played straight into play).
  constexpr int32_t kScore = 43210;
  {
    store::GameData d;
    store::ApplyDefaults(d, {});
    store::InsertScore(d.high_scores, kScore, "Anna");
    ASSERT_TRUE(store::SaveGameData(store::GameDataPath(config), d));
  }
  const fs::path kept =
      config / "replays" / replay::KeptGameFileName(std::time(nullptr), "Anna", kScore, true);
  {
    std::ofstream play(dir / "play.txt");
    play << "200 start down\n1100 start up\n2000 left down\n2300 left up\n";
    // Leaves the title, opens the high-score table (the answer waits for
    // it), watches row 1, and quits while the replay still shows.
    std::ofstream menus(dir / "menus.txt");
    menus << "300 key 0x1C down\n320 key 0x1C up\n"
          << "1400 answer highscore watch 1\n1500 cmd 104\n3500 cmd 107\n";
  }
  {
    // The replay writes its verdict on the standard output it was given,
    // which is the game's; the X server stays until it has.
    std::ofstream run(dir / "run.sh");
    run << "set -u\n"
        << "\"" << exe << "\" --play --window --width 640 --depth 0 --frames 240 --data \"" << data
        << "\" --config-dir \"" << (dir / "recording").string() << "\" --input \""
        << (dir / "play.txt").string() << "\" --record \"" << kept.string() << "\" >/dev/null\n"
        << "\"" << exe << "\" --window --width 640 --depth 0 --data \"" << data
        << "\" --config-dir \"" << config.string() << "\" --input \""
        << (dir / "menus.txt").string() << "\" --print-state > \"" << (dir / "out.txt").string()
        << "\"\n"
        << "echo \"game $?\" > \"" << (dir / "status.txt").string() << "\"\n"
        << "i=0\n"
        << "while ! grep -q 'checkpoint' \"" << (dir / "out.txt").string()
        << "\" && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done\n";
  }
  const std::string cmd =
      "xvfb-run -a -s '-screen 0 1280x1024x24' sh " + (dir / "run.sh").string() + " 2>/dev/null";
  const int st = std::system(cmd.c_str());
  const std::string out = ReadFile(dir / "out.txt");
  const std::string status = ReadFile(dir / "status.txt");
  const bool still_kept = fs::exists(kept);
  fs::remove_all(dir);
  ASSERT_TRUE(WIFEXITED(st)) << cmd;
  EXPECT_EQ(status, "game 0\n");
  // The game opened the table, its Watch started the replay, and it quit.
  EXPECT_NE(out.find("\"quit\":1"), std::string::npos) << out.substr(0, 400);
  EXPECT_NE(out.find("\"highscore watch\""), std::string::npos) << out.substr(0, 400);
  // The replay in its window played every frame with every checkpoint matching.
  EXPECT_NE(out.find(kept.string() + ": 240 frames replayed, every checkpoint matched"),
            std::string::npos)
      << out;
  EXPECT_TRUE(still_kept) << "the kept game of a high-score row was pruned";
}

}  // namespace
