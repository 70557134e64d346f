#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "graph/geometry.h"
#include "graph/series.h"
#include "printers.h"
#include "view_fixture.h"

using namespace osc;
using namespace osc::test;

// Segments in from a side or above the window are the drawing tests'; the corners here.
TEST(Geometry, ClipSegmentCutsToTheRectangleBordersCountAndPixelConversionsClamp) {
  const TDoubleRect r{0, 0, 10, 10};
  TDoubleRect past{9, 12, 12, 9}, corner{8, 12, 12, 8}, up{5, 5, 5, 20};
  EXPECT_FALSE(ClipSegment(past, r));
  EXPECT_TRUE(ClipSegment(corner, r));  // touching it: a point
  EXPECT_EQ(corner, (TDoubleRect{10, 10, 10, 10}));
  EXPECT_TRUE(ClipSegment(up, TDoubleRect{10, 10, 0, 0}));  // the rectangle's ends the other way round
  EXPECT_EQ(up, (TDoubleRect{5, 5, 5, 10}));
  EXPECT_TRUE(PointInRect({30, 40}, TRect{10, 20, 30, 40}));  // the mouse on a border is inside
  EXPECT_FALSE(PointInRect({31, 40}, TRect{10, 20, 30, 40}));
  EXPECT_EQ(TruncPixel(-2.7), -2);
  EXPECT_EQ(RoundPixel(2.5), 2);
  EXPECT_EQ(RoundPixel(3.5), 4);
  EXPECT_EQ(TruncPixel(1e300), kPixelLimit);
  EXPECT_EQ(RoundPixel(-1e300), -kPixelLimit);
  EXPECT_EQ(TruncPixel(std::numeric_limits<double>::quiet_NaN()), 0);
}

namespace {

// One graph in 400 x 300: the plot's inner span is 45..394 x 23..269, so with X 0..349
// and Y 0..246 a value v lies at x = 45 + v and y = 269 - v.
class SeriesDraw : public ViewFixture {
 protected:
  void SetUp() override {
    UseGraphs(1);
    FixAxis(*view.XAxis(0), 0, 349);
    FixAxis(*view.YAxis(0), 0, 246);
    series.SetGraphNumber(1);
    series.OnGetValue = [this](TVelaSeries&, int i, double& v) {
      ++fetches;
      v = values.at(static_cast<std::size_t>(i));
    };
    data.AddSeries(&series);
  }
  void TearDown() override { data.Clear(); }

  void Use(std::vector<double> v, double xStep = 10, double xStart = 0) {
    values = std::move(v);
    series.SetCount(static_cast<std::uint32_t>(values.size()));
    series.SetXStep(xStep);
    series.SetXStart(xStart);
  }
  std::vector<Op> Draw() {
    canvas.ops.clear();
    fetches = 0;
    series.Draw(canvas, &view, Client());
    return canvas.Of(Op::Line);
  }
  static TRect Seg(double x2, double y2, double x1, double y1) {
    return TRect{45 + static_cast<int>(x2), 269 - static_cast<int>(y2), 45 + static_cast<int>(x1),
                 269 - static_cast<int>(y1)};
  }

  TBaseEquiDistantSeries series;
  std::vector<double> values;
  int fetches = 0;
  RecordingCanvas canvas;
};

std::vector<TRect> Rects(const std::vector<Op>& ops) {
  std::vector<TRect> result;
  for (const Op& op : ops)
    result.push_back(op.r);
  return result;
}

}  // namespace

TEST_F(SeriesDraw, LinesRunFromTheLaterSampleBackAndOnlyVisibleSamplesAreFetchedOnce) {
  Use({100, 120, 110});
  const std::vector<Op> lines = Draw();
  EXPECT_THAT(Rects(lines), ::testing::ElementsAre(Seg(10, 120, 0, 100), Seg(20, 110, 10, 120)));
  EXPECT_EQ(fetches, 3);
  for (const Op& l : lines)
    EXPECT_TRUE(l.color == clRed && l.width == 1);
  EXPECT_EQ(canvas.Of(Op::PenColor).size(), 1u);                         // set once, not per segment
  EXPECT_EQ(canvas.ops.front().r, view.Layout().PlotRect(1, Client()));  // the clip
  EXPECT_EQ(canvas.ops.back().kind, Op::NoClip);

  Use({0, 0, 0});  // on the bottom border: the last plot row, in range
  EXPECT_THAT(Rects(Draw()), ::testing::ElementsAre(Seg(10, 0, 0, 0), Seg(20, 0, 10, 0)));
  EXPECT_EQ(canvas.Of(Op::Line)[0].color, clRed);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Use({10, 20, nan, 40, 50, std::numeric_limits<double>::infinity(), 70});  // missing values break it
  EXPECT_THAT(Rects(Draw()), ::testing::ElementsAre(Seg(10, 20, 0, 10), Seg(40, 50, 30, 40)));
  Use(std::vector<double>(10000, 50.0), 1);
  view.XAxis(0)->SetMinMax(0, 9999);
  view.XAxis(0)->SetRange(100.5, 200.5);
  EXPECT_EQ(Draw().size(), 101u);  // samples 100..201: the segments across both borders
  EXPECT_EQ(fetches, 102);
  FixAxis(*view.XAxis(0), 0, 349);
  for (double start : {349.0, -1000.0}) {  // XR = XStart; the data ends left of the window
    Use({5, 6, 7}, 10, start);
    EXPECT_TRUE(Draw().empty());
    EXPECT_EQ(fetches, 0);
  }
  Use({5});  // a single sample
  EXPECT_TRUE(Draw().empty());
}

TEST_F(SeriesDraw, FarAwayWindowsNeitherOverflowNorFetch) {
  // Date-time data at 11520 samples/s (17 seconds); windows a day wide days before and
  // after it, days around it and a second inside it.
  constexpr double kSecond = 1.0 / 86400;
  Use(std::vector<double>(200000, 1), kSecond / 11520, 45000);
  struct Window {
    double left, width;
    bool drawn;
  };
  for (const Window w : {Window{44000, 1, false}, Window{46000, 1, false}, Window{1e12, 1, false},
                         Window{44998, 5, true}, Window{45000 + 5 * kSecond, kSecond, true}}) {
    SCOPED_TRACE(w.left);
    view.XAxis(0)->SetMinMax(w.left - 1, w.left + 6);
    view.XAxis(0)->SetRange(w.left, w.left + w.width);
    const std::vector<Op> lines = Draw();
    EXPECT_EQ(!lines.empty(), w.drawn);
    EXPECT_EQ(fetches > 0, w.drawn);
    const TRect plot = view.Layout().PlotRect(1, Client());
    for (const Op& l : lines)
      ASSERT_TRUE(PointInRect(TPoint{l.r.Left, l.r.Top}, plot) &&
                  PointInRect(TPoint{l.r.Right, l.r.Bottom}, plot));
  }
}

TEST_F(SeriesDraw, SegmentsLeavingTheWindowAreCutAndMarkedOnlyAtTheTopOrBottom) {
  Use({300, 310, 100, 120});
  std::vector<Op> lines = Draw();
  // 300 -> 310: above the window, not drawn. 310 -> 100: from the top border down, in
  // the out-of-range colour. 100 -> 120: inside.
  ASSERT_EQ(lines.size(), 2u);
  const double xTop = 10 + 10 * (310.0 - 246) / (310 - 100);
  EXPECT_EQ(lines[0].r, Seg(20, 100, xTop, 246));
  EXPECT_EQ(lines[0].color, clFuchsia);
  EXPECT_EQ(lines[1].r, Seg(30, 120, 20, 100));
  EXPECT_EQ(lines[1].color, clRed);

  Use({0, 20, 40, 60, 80, 100}, 100);
  view.XAxis(0)->SetMinMax(0, 500);
  view.XAxis(0)->SetRange(50, 399);  // one value unit per pixel again
  lines = Draw();
  ASSERT_EQ(lines.size(), 4u);  // samples 0..4: 0-1 crosses the left border, 3-4 the right
  EXPECT_EQ(lines.front().r, (TRect{45 + 50, 269 - 20, 45, 269 - 10}));
  EXPECT_EQ(lines.back().r, (TRect{45 + 349, 269 - 79, 45 + 250, 269 - 60}));  // 79.8 truncated
  for (const Op& l : lines)
    EXPECT_EQ(l.color, clRed);
}

// Titles of a graph's series at even shares of its title bar, transparent, clipped to it.
TEST_F(SeriesDraw, TitlesAtEvenSharesOfTheTitleBar) {
  TBaseEquiDistantSeries second, elsewhere;
  second.SetGraphNumber(1);
  elsewhere.SetGraphNumber(2);  // another graph: not counted
  series.SetTitle("abc");
  second.SetTitle("h");
  data.AddSeries(&elsewhere);
  data.AddSeries(&second);
  Use({});
  canvas.ops.clear();
  data.DrawSeries(canvas, &view, Client());
  const std::vector<Op> texts = canvas.Of(Op::Text);
  const int y = 5 + (18 - 13) / 2;  // the bar is 45..395 x 5..23
  EXPECT_THAT(Rects(texts),
              ::testing::ElementsAre(TRect{45 + 350 / 3 - 9, y, 45 + 350 / 3 + 9, y + 13},
                                     TRect{45 + 350 * 2 / 3 - 3, y, 45 + 350 * 2 / 3 + 3, y + 13}));
  EXPECT_EQ(texts[0].brush, bsClear);
  EXPECT_EQ(canvas.Of(Op::Clip)[0].r, view.Layout().TitleBarRect(1, Client()));
  data.Clear();
}

// Clipped stretches: one band per run of points along the edge they reach, under the
// curve; the graph's Y labels take the clip colour only while such points are visible.
TEST_F(SeriesDraw, ClippedStretchesAreBandsAndRedYLabels) {
  Use({100, 246, 246, 120, 0, 110});
  const unsigned edges[] = {0, kEdgeTop, kEdgeTop, 0, kEdgeBottom, 0};
  series.OnGetClip = [&](TVelaSeries&, int first, int last) {
    unsigned e = 0;
    for (int i = first; i <= last; ++i)
      e |= edges[i];
    return e;
  };
  Draw();
  const std::vector<Op> fills = canvas.Of(Op::Fill);
  EXPECT_THAT(Rects(fills), ::testing::ElementsAre(TRect{55, 23, 75, 26}, TRect{85, 267, 95, 270}));
  for (const Op& f : fills)
    EXPECT_EQ(f.color, view.Colors().ClipBand());

  auto yLabelColours = [&] {
    RecordingCanvas c;
    view.DrawTo(c, Client());
    std::vector<TColor> colours;
    for (const Op& t : c.Of(Op::Text)) {
      if (t.r.Right <= view.Layout().PlotRect(1, Client()).Left) colours.push_back(t.color);
    }
    return colours;
  };
  EXPECT_THAT(yLabelColours(), ::testing::Each(view.Colors().Clipped()));
  view.XAxis(0)->SetRange(0, 9);  // only the samples of point 0
  EXPECT_THAT(yLabelColours(), ::testing::Each(view.Colors().YAxisLabels()));
  view.XAxis(0)->SetRange(25, 29);  // within point 2's samples
  EXPECT_THAT(yLabelColours(), ::testing::Each(view.Colors().Clipped()));
}
