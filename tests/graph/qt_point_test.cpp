// Pixels of marker points.
#include <gtest/gtest.h>

#include <algorithm>

#include "graph/point.h"
#include "qt_view_fixture.h"

using namespace osc;
using namespace osc::test;

namespace {

// One graph in 400 x 300: plot 45..395 x 23..270; X 0..350 and Y 0..247 put value v at
// x = 45 + v and y = 270 - v.
class PointPixels : public QtViewFixture {
 protected:
  void SetUp() override {
    UseGraphs(1);
    view.SetShowHGrid(false);
    view.SetShowVGrid(false);
    view.XAxis(0)->SetMinMax(0, 1000);
    view.XAxis(0)->SetRange(0, 350);
    FixAxis(*view.YAxis(0), 0, 247);
  }
  int Count(TColor c) {
    int n = 0;
    for (int y = 0; y < 300; ++y) {
      for (int x = 0; x < 400; ++x)
        n += At(x, y) == c ? 1 : 0;
    }
    return n;
  }
};

}  // namespace

TEST_F(PointPixels, CrossOfSizeSixCoversSixBeforeAndFiveAfter) {
  TVelaGraphPoint p(&view, psCross, TDoublePoint{100, 100}, clBlue, 1);
  view.AddPoint(&p);
  view.Paint();
  const int x = 145, y = 170;
  for (int d = -6; d <= 5; ++d) {
    EXPECT_EQ(At(x, y + d), clBlue) << d;
    EXPECT_EQ(At(x + d, y), clBlue) << d;
  }
  EXPECT_NE(At(x, y - 7), clBlue);
  EXPECT_NE(At(x, y + 6), clBlue);
  EXPECT_NE(At(x - 7, y), clBlue);
  EXPECT_NE(At(x + 6, y), clBlue);
  EXPECT_EQ(Count(clBlue), 12 + 12 - 1);
  view.RemovePoint(&p);
}

TEST_F(PointPixels, DiagonalAndHollowCircle) {
  TVelaGraphPoint d(&view, psDiagonal, TDoublePoint{100, 100}, clBlue, 1);
  TVelaGraphPoint c(&view, psCircle, TDoublePoint{250, 100}, clRed, 1);
  view.AddPoint(&d);
  view.AddPoint(&c);
  view.Paint();
  // The diagonals reach from 6 before to 6 after the centre.
  for (int k = -6; k <= 6; ++k) {
    EXPECT_EQ(At(145 + k, 170 + k), clBlue) << k;
    EXPECT_EQ(At(145 - k, 170 + k), clBlue) << k;
  }
  EXPECT_NE(At(152, 177), clBlue);
  EXPECT_EQ(At(295, 170), view.Colors().GraphBackground());  // hollow
  int left = 400, right = -1, top = 300, bottom = -1;
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 400; ++x) {
      if (At(x, y) != clRed) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  EXPECT_EQ(left, 295 - 6);  // inside the box 289..300 x 164..175
  EXPECT_EQ(right, 295 + 5);
  EXPECT_EQ(top, 170 - 6);
  EXPECT_EQ(bottom, 170 + 5);
  view.RemovePoint(&d);
  view.RemovePoint(&c);
}

TEST_F(PointPixels, OutsideTheWindowItDisappearsAndComesBackWhenScrolledTo) {
  TVelaGraphPoint p(&view, psCross, TDoublePoint{400, 100}, clBlue, 1);
  p.SetForeground(true);
  view.AddPoint(&p);
  view.Paint();
  EXPECT_EQ(Count(clBlue), 0);
  view.XAxis(0)->SetRange(100, 450);  // the point now at 45 + 300
  view.Paint();
  EXPECT_EQ(At(345, 170), clBlue);
  EXPECT_EQ(Count(clBlue), 23);
  view.RemovePoint(&p);
}

TEST_F(PointPixels, ScrolledAwayAndBackItShowsAgainWithoutACallOnThePoint) {
  TVelaGraphPoint p(&view, psCross, TDoublePoint{100, 100}, clBlue, 1);
  view.AddPoint(&p);
  view.Paint();
  EXPECT_EQ(At(145, 170), clBlue);
  view.XAxis(0)->SetRange(400, 750);
  view.Paint();
  EXPECT_EQ(Count(clBlue), 0);
  view.XAxis(0)->SetRange(0, 350);
  view.Paint();
  EXPECT_EQ(At(145, 170), clBlue);
  EXPECT_EQ(Count(clBlue), 23);
  view.RemovePoint(&p);
}

TEST_F(PointPixels, GraphNumberZeroNeverDraws) {
  TVelaGraphPoint back(&view, psCross, TDoublePoint{100, 100}, clBlue, 0);
  TVelaGraphPoint front(&view, psCircle, TDoublePoint{200, 100}, clBlue, 0);
  front.SetForeground(true);
  view.AddPoint(&back);
  view.AddPoint(&front);
  view.Paint();
  EXPECT_EQ(Count(clBlue), 0);
  front.SetGraphNumber(1);  // the same point on graph 1 shows
  view.Paint();
  EXPECT_GT(Count(clBlue), 0);
  view.RemovePoint(&back);
  view.RemovePoint(&front);
}

TEST_F(PointPixels, AFarAwayPointDoesNotWrapIntoThePlot) {
  // 2^32 + 100 pixels to the right: a 32-bit mapping would land on x = 145.
  TVelaGraphPoint p(&view, psCross, TDoublePoint{4294967296.0 + 100, 100}, clBlue, 1);
  TVelaGraphPoint q(&view, psCross, TDoublePoint{100, -4294967296.0 + 100}, clBlue, 1);
  view.AddPoint(&p);
  view.AddPoint(&q);
  view.Paint();
  EXPECT_EQ(Count(clBlue), 0);
  view.RemovePoint(&p);
  view.RemovePoint(&q);
}
