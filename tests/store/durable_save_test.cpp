// A save killed at any moment must leave the old file or the new one.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <random>

#include "store/game_data.h"
#include "store/temp_dir.h"

namespace store {
namespace {

using store_test::ReadAll;
using store_test::TempDir;

GameData Version(int n) {
  GameData d;
  d.settings.player_id = n;
  d.settings.players_minus_one = n % 4;
  d.player_names[0] = "Version " + std::to_string(n);
  for (int i = 0; i < 10; ++i) InsertScore(d.high_scores, 1000 * (n + i + 1), "Row");
  return d;
}

TEST(DurableSave, KilledSavesLeaveTheOldOrTheNewFile) {
  TempDir dir;
  const auto file = GameDataPath(dir.path());
  const auto old_bytes = SerialiseGameData(Version(1));
  const auto new_bytes = SerialiseGameData(Version(2));
  ASSERT_NE(old_bytes, new_bytes);

  std::mt19937 rng(12345);
  // The kills must land before, inside and after whole saves. A save's length
  // depends on the machine (sanitizers, a loaded disk), so the longest wait
  // doubles whenever a stretch of rounds has not once let a save finish.
  long max_delay_ns = 3'000'000;
  int rounds_without_new = 0;
  int saw_new = 0;
  int saw_old = 0;
  int leftovers = 0;
  for (int round = 0; round < 400 && (round < 150 || saw_new == 0 || saw_old == 0); ++round) {
    if (rounds_without_new >= 25 && max_delay_ns < 400'000'000) {
      max_delay_ns *= 2;
      rounds_without_new = 0;
    }
    std::uniform_int_distribution<long> delay_ns(0, max_delay_ns);
    ASSERT_TRUE(SaveGameData(file, Version(1)));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Keep saving until killed: the kill lands somewhere inside a save.
      const GameData next = Version(2);
      for (;;) SaveGameData(file, next);
    }
    const long wait_ns = delay_ns(rng);
    timespec ts{wait_ns / 1'000'000'000, wait_ns % 1'000'000'000};
    nanosleep(&ts, nullptr);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);

    const auto now = ReadAll(file);
    if (now == new_bytes) {
      ++saw_new;
      rounds_without_new = 0;
    } else {
      ++rounds_without_new;
      ASSERT_EQ(now, old_bytes) << "round " << round << ": damaged file of " << now.size()
                                << " bytes";
      ++saw_old;
    }
    // A killed save may leave its temporary file, never a damaged game data
    // file; the next start removes the temporary file and nothing else.
    leftovers += RemoveStaleTemporaryFiles(file);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      EXPECT_EQ(entry.path(), file) << "round " << round;
    }
    GameData loaded;
    core::Random15 random;
    ASSERT_TRUE(LoadGameData(file, loaded, {1, &random}));
  }
  std::printf("old %d, new %d, killed mid-save (temporary left) %d, longest wait %ld ms\n", saw_old,
              saw_new, leftovers, max_delay_ns / 1'000'000);
  // Both outcomes must occur, or the kills never landed inside a save (or the
  // saves never completed) and the rounds above proved nothing.
  EXPECT_GT(saw_old, 0);
  EXPECT_GT(saw_new, 0);
  EXPECT_GT(leftovers, 0);
}

}  // namespace
}  // namespace store
