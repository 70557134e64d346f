#include "graph/axis.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graph/axis_ticks.h"
#include "graph/series.h"
#include "graph/tick_step.h"
#include "platform/locale/locale.h"
#include "printers.h"
#include "support/format_scope.h"
#include "view_fixture.h"

using namespace osc;
using namespace osc::test;

namespace {

constexpr double kSecond = 1.0 / 86400;

std::unique_ptr<TAxis> FreeAxis(double lo, double hi, double left, double right) {
  auto a = std::make_unique<TAxis>(nullptr, 1, false);
  a->SetAutoMinMax(false);
  a->SetMinMax(lo, hi);
  a->SetRange(left, right);
  return a;
}

#define EXPECT_WINDOW(axis, l, r)        \
  do {                                   \
    EXPECT_DOUBLE_EQ((axis).Left(), l);  \
    EXPECT_DOUBLE_EQ((axis).Right(), r); \
  } while (0)

}  // namespace

TEST(Axis, WindowIsClampedIntoTheDataRangeWhichRespectsAutoMinMax) {
  struct Case {
    double left, right, expectedLeft, expectedRight;
  };
  const Case cases[] = {
      {-5, 20, 0, 10},                // wider than the range: the range
      {-3, 2, 0, 5},                  // partly below: shifted up, width kept
      {8, 14, 4, 10},                 // partly above: shifted down
      {2, 3, 2, 3},    {5, 5, 4, 6},  // empty: ignored
      {6, 4, 4, 6},                   // inverted: ignored
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.left << ".." << c.right);
    auto a = FreeAxis(0, 10, 4, 6);
    a->SetRange(c.left, c.right);
    EXPECT_WINDOW(*a, c.expectedLeft, c.expectedRight);
  }
  TAxis a(nullptr, 1, true);
  a.SetMinMax(5, 20);  // ignored while automatic
  EXPECT_EQ(a.Max(), 1);
  a.SetAutoMinMax(false);
  a.SetMinMax(5, 20);
  EXPECT_WINDOW(a, 5, 6);  // the old window 0..1 is shifted in
  a.SetMinMax(30, 30);     // ignored
  EXPECT_EQ(a.Max(), 20);
  a.SetRange(10, 20);
  a.SetMinMax(12, 20);  // shifts the window down inside 12..20 with its width cut
  EXPECT_WINDOW(a, 12, 20);
}

TEST(Axis, NavigationOperations) {
  struct Case {
    const char* name;
    std::function<void(TAxis&)> op;
    double left, right;
  };
  const Case cases[] = {
      {"ZoomIn", &TAxis::ZoomIn, 45, 55},           {"ZoomOut", &TAxis::ZoomOut, 30, 70},
      {"ScrollRight", &TAxis::ScrollRight, 42, 62}, {"ScrollFastRight", &TAxis::ScrollFastRight, 50, 70},
      {"ScrollEnd", &TAxis::ScrollEnd, 80, 100},    {"Scroll -300", [](TAxis& a) { a.Scroll(-300); }, 0, 20},
  };
  for (const Case& c : cases) {
    auto a = FreeAxis(0, 100, 40, 60);
    c.op(*a);
    EXPECT_DOUBLE_EQ(a->Left(), c.left) << c.name;
    EXPECT_DOUBLE_EQ(a->Right(), c.right) << c.name;
  }
}

TEST(TickStep, DecimalAndTimeSelectionAndNoTicksWhereTheyCannotBeComputed) {
  struct Case {
    double minStep;
    bool time;
    double minor;
    int intervals;
  };
  const Case cases[] = {
      {7.5, false, 2, 5},
      {90 * kSecond, true, 30 * kSecond, 4},    // 2 minutes in 4
      {13.0 / 24, true, 6.0 / 24, 4},           // a day in 4
      {0.3 * kSecond, true, 0.1 * kSecond, 5},  // below a second: 0.5 s in 5
      {2, true, 1, 5},                          // days are decimal
  };
  for (const Case& c : cases) {
    TTickStep s;
    ASSERT_TRUE(CalcTickStep(c.minStep, c.time, s)) << c.minStep;
    EXPECT_NEAR(s.Minor, c.minor, c.minor * 1e-12) << c.minStep;
    EXPECT_EQ(s.Intervals, c.intervals) << c.minStep;
  }
  TTickStep s;
  for (double bad : {0.0, -1.0, std::nan(""), HUGE_VAL})
    EXPECT_FALSE(CalcTickStep(bad, false, s)) << bad;
  EXPECT_TRUE(AxisTicks(0, 10, 0, 20, false).Ticks.empty());   // an empty strip
  EXPECT_TRUE(AxisTicks(5, 5, 100, 20, false).Ticks.empty());  // an empty window
  // a far-away window beyond the tick counter
  EXPECT_TRUE(AxisTicks(1e20, std::nextafter(1e20, 2e20), 100000, 20, false).Ticks.empty());
  EXPECT_TRUE(AxisTicks(std::nan(""), 1, 100, 20, false).Ticks.empty());
}

TEST(AxisLabel, NumbersAndTimesFollowTheUserFormats) {
  FormatScope czech(',', ' ');
  formatSettings().LongTimeFormat = "hh:nn:ss";
  const double noon = EncodeDateTime(2024, 3, 5, 12, 30, 15, 0);
  EXPECT_EQ(AxisLabel(asNormal, 0.1 + 0.2), "0,3");
  EXPECT_EQ(AxisLabel(asTime, noon), "12:30:15");
}

namespace {

class AxisInView : public ViewFixture {
 protected:
  // The tick lines of graph 1's X axis strip, or the grid lines of what was drawn.
  std::vector<TRect> Ticks(RecordingCanvas& c, bool grid = false) {
    const TRect r = view.Layout().XAxisRect(1, Client());
    std::vector<TRect> lines;
    for (const Op& op : c.Of(Op::Line)) {
      if (grid ? op.color == view.Colors().Grid() : op.r.Top == r.Top + 1 && op.r.Left == op.r.Right)
        lines.push_back(op.r);
    }
    return lines;
  }
};

}  // namespace

TEST_F(AxisInView, LockedScrollMovesEveryXAxisAndReportsOnce) {
  UseGraphs(3);
  std::vector<std::string> events;
  view.OnXPositionChange = [&](TAxis& sender, double l, double r) {
    events.push_back(std::to_string(sender.GraphNumber()) + ": " + std::to_string(l) + ".." +
                     std::to_string(r));
  };
  view.XAxis(0)->SetRange(10, 30);
  events.clear();
  const int before = host.invalidates;
  view.XAxis(0)->ScrollRight();
  EXPECT_THAT(events, ::testing::ElementsAre("1: 12.000000..32.000000"));
  EXPECT_GT(host.invalidates, before);
  for (int i = 0; i < 3; ++i)
    EXPECT_WINDOW(*view.XAxis(i), 12, 32);

  view.GlobalXAxis().SetLocked(false);
  events.clear();
  view.XAxis(1)->ScrollLeft();
  EXPECT_THAT(events, ::testing::ElementsAre("2: 10.000000..30.000000"));
  EXPECT_WINDOW(*view.XAxis(0), 12, 32);

  events.clear();
  view.XAxis(1)->SetRange(0, 20);
  const int repaints = host.invalidates;
  view.XAxis(1)->SetRange(-10, 10);  // clamped to the same window: no repaint, no event
  EXPECT_EQ(host.invalidates, repaints);
  EXPECT_THAT(events, ::testing::ElementsAre("2: 0.000000..20.000000"));

  view.XAxis(0)->SetRange(20, 40);
  view.GlobalXAxis().SetLocked(true);  // locking copies the first graph's window to all
  EXPECT_WINDOW(*view.XAxis(1), 20, 40);
}

// Locked X axes share the union of all graphs' X ranges; unlocked, each has its own.
TEST_F(AxisInView, AutomaticRangesComeFromTheGraphData) {
  TBaseEquiDistantSeries a, b;
  a.SetGraphNumber(1);
  a.SetCount(11);  // X 0..10
  b.SetGraphNumber(2);
  b.SetXStart(50);
  b.SetCount(3);  // X 50..52
  view.SetGraphData(&data);
  data.AddSeries(&a);
  data.AddSeries(&b);
  EXPECT_EQ(view.XAxis(1)->Min(), 0);
  EXPECT_EQ(view.XAxis(0)->Max(), 52);
  view.GlobalXAxis().SetLocked(false);
  EXPECT_EQ(view.XAxis(1)->Min(), 50);
  data.Clear();
}

TEST_F(AxisInView, TicksFromMinusTwoAndAHalfToTwoAndAHalf) {
  // A 100-pixel X strip for a window 5 wide: 60 pixels are 3 units, so major ticks
  // every 5 (counted from zero) with 5 minor intervals of 1, the first inside the window.
  host.size = TSize{151, 300};
  UseGraphs(1);
  FixAxis(*view.XAxis(0), -2.5, 2.5);
  RecordingCanvas c;
  view.XAxis(0)->Draw(c, Client());
  const TRect strip = view.Layout().XAxisRect(1, Client());
  const TRect plot = view.Layout().PlotRect(1, Client());
  // Major ticks 5 pixels long (the end is not painted), minor ones 3; a grid line at each major.
  const auto tick = [&](int x, int length) {
    return TRect{strip.Left + x, strip.Top + 1, strip.Left + x, strip.Top + 1 + length};
  };
  EXPECT_THAT(Ticks(c),
              ::testing::ElementsAre(tick(10, 3), tick(30, 3), tick(50, 5), tick(70, 3), tick(90, 3)));
  EXPECT_THAT(Ticks(c, true),
              ::testing::ElementsAre(TRect{strip.Left + 50, plot.Bottom, strip.Left + 50, plot.Top}));
  const std::vector<Op> texts = c.Of(Op::Text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "0");

  RecordingCanvas y;  // the Y strip's grid lines run across the plot
  view.YAxis(0)->Draw(y, Client());
  ASSERT_FALSE(Ticks(y, true).empty());
  EXPECT_EQ(Ticks(y, true)[0], (TRect{plot.Left, Ticks(y, true)[0].Top, plot.Right, Ticks(y, true)[0].Top}));

  FixAxis(*view.XAxis(0), 0, 5);  // a tick exactly at Right, on the last plot column
  c.ops.clear();
  view.XAxis(0)->Draw(c, Client());
  EXPECT_EQ(Ticks(c).back().Left, plot.Right - 1);
  EXPECT_EQ(Ticks(c).size(), 6u);
  const Op last = c.Of(Op::Text).back();  // its label ends inside the strip, not cut
  EXPECT_EQ(last.text, "5");
  EXPECT_LT(last.r.Left + c.TextWidth(last.text), strip.Right);
}

TEST_F(AxisInView, PrinterResolutionKeepsThePhysicalTickDistance) {
  UseGraphs(1);
  RecordingCanvas screen, printer;
  printer.resolution = 600;
  // The same rectangle on a canvas of higher resolution: ticks 6.25 times sparser.
  view.XAxis(0)->Draw(screen, Client());
  view.XAxis(0)->Draw(printer, Client());
  EXPECT_EQ(Ticks(screen).size(), 21u);  // 349 px: 60 px = 17.2 -> major 20, minor 5
  EXPECT_EQ(Ticks(printer).size(), 3u);  // 375 px = 107 -> major 200, minor 50: 0, 50, 100
}
