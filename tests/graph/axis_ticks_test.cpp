// Where an axis strip's ticks go, against numbers worked out by hand.
#include "graph/axis_ticks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace osc {
namespace {

TEST(AxisTicks, PositionsStepsAndMajors) {
  // 0..10 over 100 px, majors at least 20 px (2 units) apart: majors every 5, minors every 1.
  const TAxisTicks t = AxisTicks(0, 10, 100, 20, false);
  ASSERT_EQ(t.Ticks.size(), 11u);
  EXPECT_DOUBLE_EQ(t.MajorStep, 5);
  for (std::size_t k = 0; k < t.Ticks.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_DOUBLE_EQ(t.Ticks[k].Value, static_cast<double>(k));
    EXPECT_EQ(t.Ticks[k].Offset, static_cast<int>(10 * k));
    EXPECT_EQ(t.Ticks[k].Major, k % 5 == 0);
  }
  // A window off the step starts at the first tick inside it.
  const TAxisTicks off = AxisTicks(0.5, 10, 95, 20, false);
  ASSERT_FALSE(off.Ticks.empty());
  EXPECT_DOUBLE_EQ(off.Ticks.front().Value, 1);
  EXPECT_EQ(off.Ticks.front().Offset, 5);
  // Negative values count majors from zero, not from the window's start.
  const TAxisTicks neg = AxisTicks(-3, 3, 60, 20, false);
  for (const TAxisTick& k : neg.Ticks)
    EXPECT_EQ(k.Major, std::fmod(std::fabs(k.Value), 5.0) == 0) << k.Value;
}

TEST(AxisTicks, NoneWhereTheyCannotBeComputed) {
  struct Case {
    const char* what;
    double left, right;
    int pixels;
  };
  const Case cases[] = {
      {"an empty strip", 0, 10, 0},
      {"an empty window", 5, 5, 100},
      {"a far-away window beyond the tick counter", 1e20, std::nextafter(1e20, 2e20), 100000},
      {"not a number", std::nan(""), 1, 100},
  };
  for (const Case& c : cases)
    EXPECT_TRUE(AxisTicks(c.left, c.right, c.pixels, 20, false).Ticks.empty()) << c.what;
}

}  // namespace
}  // namespace osc
