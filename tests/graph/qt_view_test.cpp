// What a user sees of the view: pixels of ticks, grid and cross.
#include <gtest/gtest.h>

#include <cmath>

#include "graph/series.h"
#include "qt_view_fixture.h"

using namespace osc;
using namespace osc::test;

namespace {

// One graph in 400 x 300: plot 45..394 x 23..269 (its last column and row), so X 0..349
// and Y 0..246 are one unit per pixel.
class ViewPixels : public QtViewFixture {
 protected:
  void SetUp() override {
    UseGraphs(1);
    FixAxis(*view.XAxis(0), 0, 349);
    FixAxis(*view.YAxis(0), 0, 246);
    view.Paint();
  }
};

}  // namespace

TEST_F(ViewPixels, GridLinesStandAtTheMajorTicks) {
  const TVelaGraphColors& c = view.Colors();
  // X: 60 pixels are 60 units: major ticks every 100 at x = 45 + v, from the plot's
  // bottom edge up to (not including) its top row.
  for (int x : {45, 145, 245, 345}) {
    EXPECT_EQ(At(x, 100), c.Grid()) << x;
    EXPECT_EQ(At(x, 270), c.Grid()) << x;
    EXPECT_EQ(At(x, 23), c.GraphBackground()) << x;
  }
  EXPECT_EQ(At(146, 100), c.GraphBackground());
  // Y: 30 pixels are 30 units: major ticks every 50 at y = 269 - v, the line ending
  // before the plot's right edge.
  for (int y : {269, 219, 169, 119, 69}) {
    EXPECT_EQ(At(100, y), c.Grid()) << y;
    EXPECT_EQ(At(394, y), c.Grid()) << y;
    EXPECT_EQ(At(395, y), c.Background()) << y;
  }
  EXPECT_EQ(At(100, 68), c.GraphBackground());
}

TEST_F(ViewPixels, AxisLinesAndTicksEndBeforeTheirLastPixel) {
  const TVelaGraphColors& c = view.Colors();
  // X axis line on the strip's second row, from the plot's left to its last column.
  EXPECT_EQ(At(45, 271), c.XAxis());
  EXPECT_EQ(At(393, 271), c.XAxis());
  EXPECT_EQ(At(394, 271), c.XAxisBackground());
  // A major tick (v = 100) is 5 rows long, a minor one (v = 120) 3.
  for (int y = 271; y <= 275; ++y)
    EXPECT_EQ(At(145, y), c.XAxis()) << y;
  for (int y = 271; y <= 273; ++y)
    EXPECT_EQ(At(165, y), c.XAxis()) << y;
  EXPECT_EQ(At(165, 274), c.XAxisBackground());
  // Y axis line two columns left of the plot; a minor tick (v = 10) 3 pixels long.
  EXPECT_EQ(At(43, 23), c.YAxis());
  EXPECT_EQ(At(43, 258), c.YAxis());
  for (int x = 41; x <= 43; ++x)
    EXPECT_EQ(At(x, 259), c.YAxis()) << x;
  EXPECT_EQ(At(40, 259), c.YAxisBackground());
}

TEST_F(ViewPixels, CrossDrawnTwiceRestoresTheImageBitForBit) {
  TBaseEquiDistantSeries s;
  s.SetGraphNumber(1);
  s.SetCount(350);
  s.OnGetValue = [](TVelaSeries&, int i, double& v) { v = 100 + 50 * std::sin(i / 20.0); };
  data.AddSeries(&s);
  FixAxis(*view.YAxis(0), 0, 246);
  view.InvalidateImage();
  view.Paint();
  const QImage clean = Screen().copy();

  view.MouseMove(0, 200, 150);
  ASSERT_EQ(view.CrossGraph(), 1u);
  const TPoint cross = view.CrossPos();
  EXPECT_EQ(cross.X, 200);
  // Snapping maps the window onto the whole plot rectangle 45..395 x 23..270.
  EXPECT_EQ(cross.Y, static_cast<int>(std::nearbyint(270 - (100 + 50 * std::sin(155 / 20.0)) * 247 / 246)));
  // The cross changes its two lines less their common pixel, inverted twice.
  int changed = 0;
  for (int y = 0; y < clean.height(); ++y) {
    for (int x = 0; x < clean.width(); ++x)
      changed += Screen().pixel(x, y) != clean.pixel(x, y) ? 1 : 0;
  }
  EXPECT_EQ(changed, (395 - 45) + (270 - 23) - 2);
  EXPECT_EQ(At(100, cross.Y), view.Colors().Cross());  // green on white

  view.MouseMove(0, 120, 60);
  view.MouseMove(0, 300, 200);
  view.Paint();  // a paint in between shows the cross once
  view.MouseMove(0, 2, 2);
  EXPECT_EQ(view.CrossGraph(), 0u);
  EXPECT_EQ(Screen(), clean);
  data.Clear();
}
