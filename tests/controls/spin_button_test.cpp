#include "controls/spin_button.h"

#include <gtest/gtest.h>

#include <vector>

#include "controls/spin_geometry.h"

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

namespace {

struct Click {
  std::uint64_t at;
  bool down;
  bool repeated;
  bool operator==(const Click&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Click& c) {
  return os << "{" << c.at << (c.down ? " down" : " up") << (c.repeated ? " repeated}" : "}");
}

struct ButtonRig {
  TSteppedTimers timers;
  TSpinBoxBtn button{timers};
  std::vector<Click> clicks;
  std::vector<int> repaints;
  ButtonRig() {
    button.OnBtnClick = [this](TSpinBoxBtn&, bool down, bool repeated) {
      clicks.push_back({timers.NowMs(), down, repeated});
    };
    button.OnRepaint = [this](int halves) { repaints.push_back(halves); };
  }
};

}  // namespace

TEST(SpinButtonRepeat, OnceAtOnceThenAfter400MsThenEvery100) {
  ButtonRig rig;
  rig.button.MouseDown(10, 21);  // the lower half begins at half the height
  EXPECT_EQ(rig.clicks, (std::vector<Click>{{0, true, false}}));
  rig.timers.Advance(399);
  EXPECT_EQ(rig.clicks.size(), 1u) << "nothing before 400 ms";
  rig.timers.Advance(1);
  rig.timers.Advance(250);
  EXPECT_EQ(rig.clicks,
            (std::vector<Click>{{0, true, false}, {400, true, true}, {500, true, true}, {600, true, true}}));
  rig.button.MouseUp();
  EXPECT_FALSE(rig.button.Repeating());
  EXPECT_EQ(rig.timers.RunningCount(), 0u);
  rig.timers.Advance(1000);
  EXPECT_EQ(rig.clicks.size(), 4u);
}

TEST(SpinButtonRepeat, APressWhileTheTimerRunsRestartsTheCountdown) {
  ButtonRig rig;
  rig.button.MouseDown(9, 21);  // the upper half ends above half the height
  rig.timers.Advance(250);
  rig.button.MouseDown(9, 21);  // a second press before any release
  EXPECT_EQ(rig.timers.RunningCount(), 1u) << "one timer only";
  rig.timers.Advance(350);  // ticks at 300, 400, 500 count down; 600 repeats
  ASSERT_EQ(rig.clicks.size(), 3u);
  EXPECT_EQ(rig.clicks[2], (Click{600, false, true}));
}

TEST(SpinButtonRepeat, DisablingReleasesAndStops) {
  ButtonRig rig;
  rig.button.MouseDown(20, 21);
  rig.button.SetEnabled(false);
  EXPECT_EQ(rig.button.BmpIndex(), 0);
  EXPECT_EQ(rig.timers.RunningCount(), 0u);
  rig.timers.Advance(1000);
  EXPECT_EQ(rig.clicks.size(), 1u) << "no repeats (and never upwards) once disabled";
  rig.button.MouseDown(20, 21);
  EXPECT_EQ(rig.clicks.size(), 1u) << "a disabled button ignores presses";
}

// A half whose state changes is drawn again (both for enabling and visibility), nothing
// for writes that change nothing.
TEST(SpinButtonRepaint, OnlyTheHalvesWhoseStateChanged) {
  struct Case {
    int from;
    int to;
    std::vector<int> repaints;
  };
  for (const Case& c : {Case{0, 2, {2}}, Case{1, 0, {1}}, Case{1, 2, {3}}, Case{2, 2, {}}}) {
    ButtonRig rig;
    rig.button.SetBmpIndex(c.from);
    rig.repaints.clear();
    rig.button.SetBmpIndex(c.to);
    EXPECT_EQ(rig.repaints, c.repaints) << c.from << " -> " << c.to;
  }
  ButtonRig rig;
  rig.button.SetEnabled(true);
  rig.button.SetVisible(true);
  EXPECT_TRUE(rig.repaints.empty());
  rig.button.SetEnabled(false);
  rig.button.SetVisible(false);
  EXPECT_EQ(rig.repaints, (std::vector<int>{3, 3}));
}

TEST(SpinGeometry, ButtonSitsBesideTheBoxAtTwoThirdsOfItsHeight) {
  EXPECT_EQ(SpinButtonAfterResize({10, 20, 48, 30}, {0, 0, 14, 21}), (TBounds{58, 20, 20, 30}));
  EXPECT_EQ(SpinButtonAfterResize({0, 0, 60, 23}, {0, 0, 14, 21}), (TBounds{60, 0, 15, 23}));
  EXPECT_EQ(SpinButtonAfterResize({0, 0, 60, 26}, {5, 5, 3, 26}), (TBounds{60, 0, 3, 26}));  // same height
  EXPECT_EQ(SpinButtonBesideBox({10, 20, 48, 30}, {0, 0, 14, 21}), (TBounds{58, 20, 14, 21}));
  EXPECT_EQ(SpinButtonHalf(14, 21, true), (TBounds{0, 0, 14, 10}));
  EXPECT_EQ(SpinButtonHalf(14, 21, false), (TBounds{0, 10, 14, 11}));
}

TEST(SpinGeometry, ArrowHalfWidthIsAThirdOfTheInnerHeight) {
  // 10 rows, 6 inside the bevel: half-width 2, three rows centred; pressed one pixel down right.
  EXPECT_EQ(SpinButtonArrow({0, 0, 14, 10}, true, false), (TSpinArrow{6, 3, 2, true}));
  EXPECT_EQ(SpinButtonArrow({0, 0, 14, 10}, true, true), (TSpinArrow{7, 4, 2, true}));
  EXPECT_EQ(SpinButtonArrow({0, 10, 14, 11}, false, false), (TSpinArrow{6, 14, 2, false}));
  EXPECT_EQ(SpinButtonArrow({0, 0, 6, 4}, true, false), (TSpinArrow{2, 1, 1, true}));  // no room: at least 1
}
