#pragma once
// Ranks from the band counts against counting every best score above: scores
// on and beside the band edges (2^10 and 2^20 points), ties, and players who
// improve (within a band and across bands) or do not.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "score_db.h"

namespace server_test {

inline void CheckRanks(server::ScoreDb& db) {
  struct Best {
    int64_t score, order;
  };
  std::map<std::string, Best> best;
  const std::vector<std::pair<std::string, int32_t>> reports = {
      {"a", 0},       {"b", 1023},    {"c", 1024},       {"d", 1025},    {"e", 1024},
      {"f", 1048575}, {"g", 1048576}, {"h", 5000000},    {"a", 1023},    {"b", 1048577},
      {"i", 1},       {"c", 900},     {"j", 2147483647}, {"h", 5000001}, {"k", 1048576},
      {"d", 3000000}, {"l", 0},       {"e", 1024}};
  uint32_t key = 1;
  int64_t order = 0;
  for (const auto& [name, score] : reports) {
    ++order;
    const auto r = db.Add({score, name, "", 7, key++, 1000 + order});
    auto it = best.find(name);
    if (it == best.end() || score > it->second.score) best[name] = {score, order};
    const Best mine = best[name];
    int64_t ahead = 0;
    for (const auto& [other, b] : best) {
      if (b.score > mine.score || (b.score == mine.score && b.order < mine.order)) ++ahead;
    }
    EXPECT_EQ(r.rank, ahead + 1) << name << " " << score;
    EXPECT_EQ(r.best, mine.score) << name;
  }
  const auto top = db.Top(100);
  ASSERT_EQ(top.size(), best.size());
  for (size_t i = 0; i < top.size(); ++i) EXPECT_EQ(top[i].rank, static_cast<int64_t>(i) + 1);
}

}  // namespace server_test
