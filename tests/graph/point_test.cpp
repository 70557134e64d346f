#include "graph/point.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "printers.h"
#include "view_fixture.h"

using namespace osc;
using namespace osc::test;

namespace {

// Two graphs in 400 x 325: plots of 104 rows; the windows X 0..100 and Y 0..10.
class PointTest : public ViewFixture {
 protected:
  PointTest() : ViewFixture(TSize{400, 325}) {}
  void SetUp() override { UseGraphs(2); }

  std::vector<Op> Drawn(TVelaGraphPoint& p) {
    RecordingCanvas c;
    p.Draw(c, Client());
    return c.Of(Op::Line);
  }
};

}  // namespace

TEST_F(PointTest, SettersRenderAgainOnlyOnChange) {
  TVelaGraphPoint p(&view, psCross, TDoublePoint{1, 2}, clBlue, 1);
  struct Case {
    const char* name;
    std::function<void()> write;
    bool renders;
  };
  const TDoublePoint at{1, 2}, higher{1, 3};
  const Case cases[] = {
      {"same position", [&] { p.SetPosition(at); }, false}, {"new Y", [&] { p.SetPosition(higher); }, true},
      {"same colour", [&] { p.SetColor(clBlue); }, false},  {"new colour", [&] { p.SetColor(clRed); }, true},
      {"new graph", [&] { p.SetGraphNumber(2); }, true},    {"new size", [&] { p.SetSize(4); }, true},
      {"new shape", [&] { p.SetShape(psCircle); }, true},
  };
  for (const Case& c : cases) {
    view.Paint();  // clean
    const int repaints = host.invalidates;
    c.write();
    EXPECT_EQ(view.ImageDirty(), c.renders) << c.name;
    EXPECT_EQ(host.invalidates > repaints, c.renders) << c.name;
  }
}

TEST_F(PointTest, TheCrossReachesSixPixelsEachWay) {
  // X 50 lies at 45 + trunc(50 * 350 / 100) = 220; Y 5 at 127 - trunc(5 * 104 / 10) = 75.
  TVelaGraphPoint p(&view, psCross, TDoublePoint{50, 5}, clBlue, 1);
  const std::vector<Op> ops = Drawn(p);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].r, (TRect{220, 69, 220, 81}));
  EXPECT_EQ(ops[1].r, (TRect{214, 75, 226, 75}));
  EXPECT_EQ(ops[0].color, clBlue);
}

TEST_F(PointTest, NotDrawnOutsideTheWindowOrWithoutAGraph) {
  struct Case {
    const char* name;
    TDoublePoint at;
    std::uint32_t graph;
    bool drawn;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {"left end", {0, 5}, 1, true},
      {"top end", {50, 10}, 2, true},
      {"a pixel left", {-0.5, 5}, 1, false},
      {"not a number", {nan, 5}, 1, false},
      // 2^32 pixels off: a 32-bit mapping would wrap into the plot.
      {"2^32 pixels right", {(4294967296.0 + 100) / 3.5, 5}, 1, false},
      {"2^32 pixels up", {50, (4294967296.0 + 52) / 10.4}, 1, false},
      {"graph 0", {50, 5}, 0, false},
      {"beyond the graphs", {50, 5}, 3, false},
  };
  for (const Case& c : cases) {
    TVelaGraphPoint p(&view, psCross, c.at, clBlue, c.graph);
    EXPECT_EQ(!Drawn(p).empty(), c.drawn) << c.name;
  }
}

TEST_F(PointTest, ScrolledAwayAndBackItShowsAgainWithoutACallOnThePoint) {
  TVelaGraphPoint p(&view, psCross, TDoublePoint{50, 5}, clBlue, 1);
  view.AddPoint(&p);
  view.XAxis(0)->SetMinMax(0, 1000);
  const auto shown = [&] {
    RecordingCanvas& cache = host.images.at(0)->canvas;
    cache.ops.clear();
    view.Paint();
    return !cache.Of(Op::Line).empty() && cache.Of(Op::Line).back().color == clBlue;
  };
  EXPECT_TRUE(shown());
  view.XAxis(0)->SetRange(400, 500);
  EXPECT_FALSE(shown());
  view.XAxis(0)->SetRange(0, 100);
  EXPECT_TRUE(shown());
  view.RemovePoint(&p);
}
