#pragma once
// Compares two range entries value by value, naming the channel that differs.
#include "config/range_entry.h"

#include <gtest/gtest.h>

#include <string>

namespace osc::test {

inline void ExpectSameEntry(const TOscRozsah& a, const TOscRozsah& b) {
  EXPECT_EQ(a.Range, b.Range);
  EXPECT_EQ(a.RangeCh5, b.RangeCh5);
  EXPECT_EQ(a.RangeCh6, b.RangeCh6);
  for (int d = 1; d <= 6; ++d) {
    SCOPED_TRACE("channel " + std::to_string(d));
    EXPECT_EQ(a.CH[d].Gain, b.CH[d].Gain);
    EXPECT_EQ(a.CH[d].OffsetBip, b.CH[d].OffsetBip);
    EXPECT_EQ(a.CH[d].OffsetAC, b.CH[d].OffsetAC);
    EXPECT_EQ(a.CH[d].Unit, b.CH[d].Unit);
  }
}

}  // namespace osc::test
