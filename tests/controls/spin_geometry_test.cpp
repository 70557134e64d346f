#include "controls/spin_geometry.h"

#include <gtest/gtest.h>

#include "controls/timer_source.h"

using namespace osc;

namespace osc {

// Failure messages name rectangles and arrows readably.
std::ostream& operator<<(std::ostream& os, const TBounds& b) {
  return os << "(" << b.Left << "," << b.Top << " " << b.Width << "x" << b.Height << ")";
}
std::ostream& operator<<(std::ostream& os, const TSpinArrow& a) {
  return os << "arrow(" << a.CenterX << "," << a.Top << " hw " << a.HalfWidth << (a.Up ? " up)" : " down)");
}

}  // namespace osc

TEST(SpinGeometry, ButtonSitsBesideTheBoxAtTwoThirdsOfItsHeight) {
  struct Case {
    TBounds box;
    TBounds button;
    TBounds after_resize;
    TBounds after_move;
  };
  const Case cases[] = {
      {{10, 20, 48, 30}, {0, 0, 14, 21}, {58, 20, 20, 30}, {58, 20, 14, 21}},
      {{0, 0, 60, 26}, {5, 5, 3, 26}, {60, 0, 3, 26}, {60, 0, 3, 26}},  // same height: width kept
      {{0, 0, 60, 23}, {0, 0, 14, 21}, {60, 0, 15, 23}, {60, 0, 14, 21}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SpinButtonAfterResize(c.box, c.button), c.after_resize) << c.box;
    EXPECT_EQ(SpinButtonBesideBox(c.box, c.button), c.after_move) << c.box;
  }
}

TEST(SpinGeometry, HalvesSplitTheHeight) {
  EXPECT_EQ(SpinButtonHalf(14, 21, true), (TBounds{0, 0, 14, 10}));
  EXPECT_EQ(SpinButtonHalf(14, 21, false), (TBounds{0, 10, 14, 11}));
  EXPECT_EQ(SpinButtonHalf(16, 24, false), (TBounds{0, 12, 16, 12}));
}

TEST(SpinGeometry, ArrowHalfWidthIsAThirdOfTheInnerHeight) {
  struct Case {
    TBounds half;
    bool upper;
    bool pressed;
    TSpinArrow arrow;
  };
  const Case cases[] = {
      // 10 rows, 6 inside the bevel: half-width 2, three rows centred
      {{0, 0, 14, 10}, true, false, {6, 3, 2, true}},     {{0, 0, 14, 10}, true, true, {7, 4, 2, true}},
      {{0, 10, 14, 11}, false, false, {6, 14, 2, false}}, {{0, 0, 20, 30}, true, false, {9, 10, 8, true}},
      {{0, 0, 6, 4}, true, false, {2, 1, 1, true}},  // no room inside: at least 1
  };
  for (const Case& c : cases) {
    const TSpinArrow a = SpinButtonArrow(c.half, c.upper, c.pressed);
    EXPECT_EQ(a, c.arrow) << c.half << (c.pressed ? " pressed" : "");
  }
}

TEST(SteppedTimers, FireInTimeOrderAndSurviveKillsInsideTicks) {
  TSteppedTimers timers;
  std::vector<std::string> log;
  TTimerSource::TimerId fast = 0;
  fast = timers.SetTimer(30, [&] {
    log.push_back("fast@" + std::to_string(timers.NowMs()));
    if (timers.NowMs() >= 60) timers.KillTimer(fast);
  });
  timers.SetTimer(50, [&] { log.push_back("slow@" + std::to_string(timers.NowMs())); });
  timers.Advance(100);
  EXPECT_EQ(log, (std::vector<std::string>{"fast@30", "slow@50", "fast@60", "slow@100"}));
  EXPECT_EQ(timers.NowMs(), 100u);
  EXPECT_EQ(timers.RunningCount(), 1u);
  timers.KillTimer(0);  // not a timer: ignored
  EXPECT_EQ(timers.RunningCount(), 1u);
}
