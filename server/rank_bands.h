#pragma once
// How a new score's rank is found without counting every score above it.
// Beside the best-score table the database keeps counts of best scores per
// band at two widths: coarse bands of 2^20 points and fine bands of 2^10
// points. The number of scores ahead of one is the sum of the coarse bands
// above its own, plus the fine bands above its own within its coarse band,
// plus the scores ahead of it within its fine band (an index range). Each
// part reads at most 2 048, 1 024 and a fine band's rows, whatever the rank.

#include <cstdint>

namespace server {

inline constexpr int kCoarseBandShift = 20;
inline constexpr int kFineBandShift = 10;

struct ScoreBands {
  int64_t coarse = 0;
  int64_t fine = 0;
  // The fine bands that lie in this coarse band: [fine_first, fine_end).
  int64_t fine_first = 0;
  int64_t fine_end = 0;
  // The scores in this fine band: [low, high).
  int64_t low = 0;
  int64_t high = 0;
};

inline ScoreBands BandsOf(int64_t score) {
  ScoreBands b;
  b.coarse = score >> kCoarseBandShift;  // arithmetic: negative scores band below zero
  b.fine = score >> kFineBandShift;
  b.fine_first = b.coarse << (kCoarseBandShift - kFineBandShift);
  b.fine_end = (b.coarse + 1) << (kCoarseBandShift - kFineBandShift);
  b.low = b.fine << kFineBandShift;
  b.high = (b.fine + 1) << kFineBandShift;
  return b;
}

}  // namespace server
