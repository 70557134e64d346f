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
