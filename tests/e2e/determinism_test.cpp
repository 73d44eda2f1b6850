// Pinned results of whole seeded computer games: any change to the physics,
// the rules or the table shows here as a deliberate update of a pinned value.
//
// To update after an intended change: run
//   build/release/tests/e2e/test_e2e --gtest_filter='Determinism.*'
// and copy the "now" value of each failing case into kPinned below, saying in
// the commit message what changed the games. Both tables are pinned: the
// generated pack (GFALL.DAT built beside gfall by tablegen) and the built-in
// test table, which does not depend on the pack.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <string>

#include "run_command.h"

namespace {

test_util::CommandRun Play(const std::string& table, int seed) {
  return test_util::RunCommand(std::string(GFALL_EXE) + " --headless " + table + " --demo --seed " +
                               std::to_string(seed) + " --until-game-over --print-state --stats");
}

// FNV-1a, 64 bits: the printed end state of the game (frames, time, scores,
// every ball's place and speed, every table object, the rule counters).
uint64_t Hash(const std::string& text) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

struct Pinned {
  const char* table;  // "pack" or "test-table"
  int seed;
  uint64_t hash;
};

constexpr Pinned kPinned[] = {
    {"test-table", 11, 0xb2015737e59869b5ull},
    {"test-table", 29, 0x1138d76599114ef9ull},
    {"pack", 11, 0x77cdbcb72bec8ee6ull},
    {"pack", 29, 0x8fc4310008751ccbull},
};

TEST(Determinism, SeededComputerGamesEndInThePinnedState) {
  const bool have_pack =
      std::filesystem::exists(std::filesystem::path(GFALL_DATA_DIR) / "GFALL.DAT");
  for (const Pinned& p : kPinned) {
    const std::string name = std::string(p.table) + " seed " + std::to_string(p.seed);
    SCOPED_TRACE(name);
    const bool pack = std::string(p.table) == "pack";
    if (pack && !have_pack) {
      std::printf("%s: skipped, no GFALL.DAT was built\n", name.c_str());
      continue;
    }
    const test_util::CommandRun a =
        Play(pack ? std::string("--data ") + GFALL_DATA_DIR : "--test-table", p.seed);
    ASSERT_EQ(a.status, 0) << a.out;
    ASSERT_NE(a.out.find("\"game_ended\":true"), std::string::npos) << a.out;
    // The same seed gives the same game, run after run.
    const test_util::CommandRun b =
        Play(pack ? std::string("--data ") + GFALL_DATA_DIR : "--test-table", p.seed);
    EXPECT_EQ(a.out, b.out);
    const uint64_t now = Hash(a.out);
    EXPECT_EQ(now, p.hash) << name << ": pinned 0x" << std::hex << p.hash << ", now 0x" << now
                           << "\n(if the change was meant, pin the new value; see the top of "
                              "this file)\n"
                           << a.out.substr(0, 300);
  }
}

}  // namespace
