#include "core/assert.h"

#include <gtest/gtest.h>

namespace {

// Checked where NDEBUG is not set (the sanitizer tree); in release the
// condition is not even evaluated.
TEST(Assert, StopsOnABrokenInvariantOnlyWhereChecked) {
  int evaluated = 0;
  GFALL_ASSERT(++evaluated == 1, "first evaluation");
#ifndef NDEBUG
  EXPECT_EQ(evaluated, 1);
  EXPECT_DEATH(GFALL_ASSERT(evaluated == 2, "sums are off"),
               "internal error: sums are off \\(evaluated == 2\\)");
#else
  EXPECT_EQ(evaluated, 0);
#endif
}

}  // namespace
