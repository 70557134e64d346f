#include "graph/view.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "graph/point.h"
#include "graph/series.h"
#include "printers.h"
#include "view_fixture.h"

using namespace osc;
using namespace osc::test;
using ::testing::ElementsAre;

namespace {

// Marks its place in the drawing with a text.
class MarkerSeries : public TBaseEquiDistantSeries {
 public:
  void Draw(TCanvas& canvas, TVelaGraph*, const TRect&) override { canvas.TextOut(0, 0, "series"); }
};

class MarkerPoint : public TVelaGraphObject {
 public:
  MarkerPoint(TVelaGraph* view, std::string name) : TVelaGraphObject(view), name_(std::move(name)) {}
  void Draw(TCanvas& canvas, const TRect&) override { canvas.TextOut(0, 0, name_); }

 private:
  std::string name_;
};

class ViewTest : public ViewFixture {
 protected:
  RecordingCanvas& Cache() { return host.images.at(0)->canvas; }
  RecordingCanvas& Screen() { return host.images.at(1)->canvas; }
  TPoint Centre(const TRect& r) const { return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }
  TRect Plot(std::uint32_t g) { return view.Layout().PlotRect(g, Client()); }
  TRect XStrip(std::uint32_t g) { return view.Layout().XAxisRect(g, Client()); }

  void Press(TPoint p, TMouseButton b = mbLeft) { view.MouseDown(b, 0, p.X, p.Y); }
  void Move(TPoint p) { view.MouseMove(0, p.X, p.Y); }
  void Release(TPoint p) { view.MouseUp(mbLeft, 0, p.X, p.Y); }
  void HoldKey(TShiftState s) {
    std::uint16_t key = 0x10;
    view.KeyDown(key, s);
  }
  void ReleaseKey() {
    std::uint16_t key = 0x10;
    view.KeyUp(key, 0);
  }
};

// Two graphs in 400 x 325: plots of 104 rows; the windows X 0..100 and Y 0..10.
class PointTest : public ViewFixture {
 protected:
  PointTest() : ViewFixture(TSize{400, 325}) {}
  void SetUp() override { UseGraphs(2); }

  std::vector<TRect> Drawn(TVelaGraphPoint& p) {
    RecordingCanvas c;
    p.Draw(c, Client());
    std::vector<TRect> lines;
    for (const Op& op : c.Of(Op::Line))
      lines.push_back(op.r);
    return lines;
  }
};

}  // namespace

TEST_F(ViewTest, DrawToPaintsInLayers) {
  UseGraphs(2);
  MarkerSeries series;
  series.SetGraphNumber(1);
  data.AddSeries(&series);
  MarkerPoint back(&view, "back"), front(&view, "front");
  front.SetForeground(true);
  view.AddPoint(&front);
  view.AddPoint(&back);
  view.Colors().SetXAxisBackground(RGB(1, 2, 3));  // apart from the background
  view.Colors().SetYAxisBackground(RGB(4, 5, 6));
  RecordingCanvas c;
  view.DrawTo(c, Client());

  std::vector<std::string> layers;
  for (const Op& op : c.ops) {
    std::string name;
    if (op.kind == Op::Fill) {
      if (op.color == view.Colors().Background()) name = "background";
      if (op.color == view.Colors().GraphBackground()) name = "plot";
      if (op.color == view.Colors().TitleBar()) name = "title bar";
      if (op.color == RGB(1, 2, 3)) name = "x axis";
      if (op.color == RGB(4, 5, 6)) name = "y axis";
    } else if (op.kind == Op::Text && op.text.find_first_of("0123456789") == std::string::npos) {
      name = op.text;
    }
    if (!name.empty() && (layers.empty() || layers.back() != name)) layers.push_back(name);
  }
  EXPECT_THAT(layers, ElementsAre("background", "plot", "title bar", "x axis", "y axis", "title bar",
                                  "x axis", "y axis", "back", "series", "front"));
  data.Clear();
}

// The mode, the held keys and the place choose the cursor and what a press starts; a
// drag moves or zooms the windows under the mouse. Two graphs with windows X 40..60 and
// Y 4..6; the X strips are 350 pixels wide, the Y strips 92 high.
TEST_F(ViewTest, PressesAndDragsFollowTheModeTheKeysAndThePlace) {
  enum Place { kPlot, kXStrip, kOutside };
  struct Case {
    const char* name;
    TVelaGraphMode mode;
    TShiftState shift;
    Place place;      // graph 1's plot, graph 2's X strip or the view's corner
    TPoint from, to;  // from the place's top-left corner
    TGraphCursor cursor;
    int drag;
    bool keyFirst = false;                    // the key released before the button
    double x0 = 40, x1 = 60, y0 = 4, y1 = 6;  // X of graph 1 (locked: of both), Y of the graph dragged
    TMouseButton button = mbLeft;
    bool focusable = true;
  };
  const Case cases[] = {
      {"select", gmSelect, 0, kPlot, {100, 10}, {100, 10}, crArrow, 0},
      {"pan", gmPan, 0, kPlot, {100, 10}, {100, 10}, crPan, 3},
      {"pan outside", gmPan, 0, kOutside, {1, 1}, {1, 1}, crPan, 0},
      {"ctrl and shift", gmSelect, ssCtrl | ssShift, kPlot, {100, 10}, {100, 10}, crArrow, 0},
      {"right button", gmPan, 0, kPlot, {100, 10}, {100, 10}, crPan, 0, false, 40, 60, 4, 6, mbRight},
      {"no focus", gmPan, 0, kPlot, {100, 10}, {100, 10}, crPan, 0, false, 40, 60, 4, 6, mbLeft, false},
      {"ctrl pans an X strip", gmSelect, ssCtrl, kXStrip, {100, 5}, {135, 5}, crPan, 1, false, 38, 58},
      {"ctrl pans a plot", gmSelect, ssCtrl, kPlot, {100, 10}, {100, 56}, crPan, 3, false, 40, 60, 5, 7},
      {"zoom click zooms out", gmZoom, 0, kXStrip, {100, 5}, {104, 5}, crZoom, 4, false, 30, 70},
      {"zoom drag", gmZoom, 0, kXStrip, {105, 5}, {35, 5}, crZoom, 4, false, 42, 46},
      {"shift, key up first", gmSelect, ssShift, kPlot, {9, 9}, {99, 99}, crZoom, 6, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseGraphs(2);
    for (int i = 0; i < 2; ++i) {
      view.XAxis(i)->SetRange(40, 60);
      view.YAxis(i)->SetRange(4, 6);
    }
    const TRect area = c.place == kXStrip ? XStrip(2) : c.place == kPlot ? Plot(1) : TRect{};
    const TPoint from{area.Left + c.from.X, area.Top + c.from.Y}, to{area.Left + c.to.X, area.Top + c.to.Y};
    host.mouse = from;
    host.focusable = c.focusable;
    HoldKey(c.shift);
    view.SetMode(c.mode);
    EXPECT_EQ(host.cursor, c.cursor);
    Press(from, c.button);
    EXPECT_EQ(view.DragState(), c.drag);
    EXPECT_EQ(view.DragGraph(), c.drag == 0 ? 0u : c.place == kXStrip ? 2u : 1u);
    if (c.mode == gmZoom) {
      EXPECT_EQ(host.confined, area);
    }
    Move(to);
    if (c.keyFirst) {
      ReleaseKey();
      EXPECT_EQ(view.DragState(), 0);
    }
    Release(to);
    ReleaseKey();
    EXPECT_EQ(view.DragState(), 0);
    EXPECT_FALSE(host.confined.has_value());
    TAxis& y = *view.YAxis(c.place == kXStrip ? 1 : 0);
    EXPECT_NEAR(view.XAxis(0)->Left(), c.x0, 1e-9);
    EXPECT_NEAR(view.XAxis(0)->Right(), c.x1, 1e-9);
    EXPECT_NEAR(view.XAxis(1)->Left(), c.x0, 1e-9);
    EXPECT_NEAR(y.Bottom(), c.y0, 1e-9);
    EXPECT_NEAR(y.Top(), c.y1, 1e-9);
  }
}

TEST_F(ViewTest, ZoomRectangleShowsTheXBandInEveryStripWhileLocked) {
  UseGraphs(3);
  view.Paint();
  view.SetMode(gmZoom);
  const TRect strip = XStrip(2);
  Press(TPoint{strip.Left + 10, strip.Top + 2});
  Screen().ops.clear();
  Move(TPoint{strip.Left + 50, strip.Bottom + 40});  // confined to the strip
  std::vector<TRect> inverted;
  for (const Op& op : Screen().Of(Op::Invert))
    inverted.push_back(op.r);
  std::vector<TRect> expected(6);  // the old, empty band erased in each strip, then the new
  for (std::uint32_t g = 1; g <= 3; ++g) {
    expected[g - 1] = TRect{strip.Left + 10, XStrip(g).Top, strip.Left + 10, XStrip(g).Bottom};
    expected[g + 2] = TRect{strip.Left + 10, XStrip(g).Top, strip.Left + 50, XStrip(g).Bottom};
  }
  EXPECT_EQ(inverted, expected);
}

// The cross follows the nearest sample in inverting lines, is drawn again to erase it
// when the mouse leaves for a graph without series or the view, and when switched off.
TEST_F(ViewTest, CrossFollowsTheNearestSampleAndIsErased) {
  UseGraphs(2);
  TBaseEquiDistantSeries series;
  series.SetGraphNumber(1);
  series.SetCount(101);  // X 0..100, value 5: a horizontal line in the middle
  series.OnGetValue = [](TVelaSeries&, int, double& v) { v = 5; };
  data.AddSeries(&series);
  double reading = 0;
  int outs = 0;
  view.OnCrossMove = [&](TVelaGraph&, TDoublePoint& p, TVelaSeries* s) { reading = s == &series ? p.Y : -1; };
  view.Paint();
  view.OnCrossOut = [&](TVelaGraph&) { ++outs; };
  const TRect plot = Plot(1);
  Screen().ops.clear();
  Move(TPoint{plot.Left + 35, plot.Top + 3});
  const TPoint cross = view.CrossPos();
  EXPECT_EQ(cross.Y, (plot.Top + plot.Bottom) / 2);
  EXPECT_EQ(reading, 5);
  const std::vector<Op> drawn = Screen().Of(Op::Line);
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[0].r, (TRect{plot.Left, cross.Y, plot.Right, cross.Y}));
  EXPECT_EQ(drawn[1].r, (TRect{cross.X, plot.Top, cross.X, plot.Bottom}));
  EXPECT_EQ(drawn[0].mode, pmNotXor);

  for (TPoint away : {Centre(Plot(2)), TPoint{0, 0}}) {
    Screen().ops.clear();
    Move(away);
    EXPECT_EQ(view.CrossGraph(), 0u);
    EXPECT_EQ(Screen().Of(Op::Line).size(), away.X == 0 ? 0u : 2u);  // erased once only
  }
  EXPECT_EQ(outs, 2);

  Move(cross);
  Screen().ops.clear();
  view.SetCross(false);
  EXPECT_EQ(Screen().Of(Op::Line).size(), 2u);
  EXPECT_EQ(outs, 3);
  data.Clear();
}

// A window shrunk to nothing in either direction: painting, the cross over a curve,
// drags in every mode and printing (also onto an empty or too low page) neither divide
// by zero nor move an axis to a window that is not a number.
TEST_F(ViewTest, AZeroSizedClientPaintsNothingAndTakesInput) {
  UseGraphs(2);
  TBaseEquiDistantSeries curve;
  curve.SetGraphNumber(1);
  curve.SetCount(101);
  curve.OnGetValue = [](TVelaSeries&, int i, double& v) { v = i % 10; };
  data.AddSeries(&curve);
  int crossMoves = 0;
  view.OnCrossMove = [&](TVelaGraph&, TDoublePoint&, TVelaSeries*) { ++crossMoves; };
  for (TSize size : {TSize{0, 300}, TSize{400, 0}, TSize{0, 0}}) {
    SCOPED_TRACE(testing::Message() << size.cx << " x " << size.cy);
    host.size = size;
    view.Resized();
    Cache().ops.clear();
    Screen().ops.clear();
    view.Paint();
    EXPECT_TRUE(Cache().ops.empty());
    EXPECT_TRUE(Screen().ops.empty());
    for (TVelaGraphMode mode : {gmSelect, gmPan, gmZoom}) {
      view.SetMode(mode);
      for (TPoint p : {TPoint{0, 0}, TPoint{-5, 7}}) {
        Press(p);
        Move(TPoint{p.X + 20, p.Y + 20});
        Release(TPoint{p.X + 20, p.Y + 20});
        EXPECT_EQ(view.DragState(), 0);
      }
    }
    for (TAxis* a : {view.XAxis(0), view.YAxis(0), view.XAxis(1)}) {
      EXPECT_TRUE(std::isfinite(a->Left()) && std::isfinite(a->Right()));
      EXPECT_LT(a->Left(), a->Right());
    }
    RecordingCanvas page;
    view.DrawTo(page, TRect{0, 0, 800, 600});  // printing scales by nothing
    EXPECT_FALSE(page.Of(Op::Line).empty());
    RecordingCanvas empty;
    view.DrawTo(empty, TRect{10, 10, 10, 10});
    EXPECT_TRUE(empty.Of(Op::Line).empty());
  }
  RecordingCanvas small;  // too low for two graphs: nothing of them
  view.DrawTo(small, TRect{0, 0, 400, 100});
  EXPECT_TRUE(small.Of(Op::Line).empty() && small.Of(Op::Text).empty());
  EXPECT_EQ(crossMoves, 0);
  data.Clear();
}

TEST_F(PointTest, ACrossSixPixelsEachWayOnlyInsideTheWindowOfItsGraph) {
  // X 50 lies at 45 + trunc(50 * 350 / 100) = 220; Y 5 at 127 - trunc(5 * 104 / 10) = 75.
  TVelaGraphPoint p(&view, psCross, TDoublePoint{50, 5}, clBlue, 1);
  EXPECT_EQ(Drawn(p), (std::vector<TRect>{{220, 69, 220, 81}, {214, 75, 226, 75}}));

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
    TVelaGraphPoint q(&view, psCross, c.at, clBlue, c.graph);
    EXPECT_EQ(!Drawn(q).empty(), c.drawn) << c.name;
  }
}

TEST_F(PointTest, ScrolledAwayAndBackItShowsAgainAndAWriteRendersOnlyAChange) {
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
  p.SetPosition(TDoublePoint{50, 5});  // unchanged: nothing to render
  EXPECT_FALSE(view.ImageDirty());
  const int repaints = host.invalidates;
  p.SetGraphNumber(2);  // moved: rendered and shown again
  EXPECT_TRUE(view.ImageDirty());
  EXPECT_GT(host.invalidates, repaints);
  view.RemovePoint(&p);
}

TEST(ViewLifetime, ContainerAndViewMayGoInEitherOrder) {
  FakeHost host;
  auto data = std::make_unique<TVelaGraphData>();
  data->SetAutoNumGraphs(false);
  data->SetNumGraphs(2);
  {
    TVelaGraph view(host);
    view.SetGraphData(data.get());
    EXPECT_EQ(data->Views().size(), 1u);
  }
  EXPECT_TRUE(data->Views().empty());

  TVelaGraph view(host);
  view.SetGraphData(data.get());
  TAxis* first = view.XAxis(0);
  data->SetNumGraphs(1);  // the first graph keeps its axes
  EXPECT_EQ(view.XAxis(0), first);
  data.reset();
  EXPECT_EQ(view.GraphData(), nullptr);
  EXPECT_EQ(view.AxisCount(), 1);  // kept until a new container is set
  view.SetGraphData(nullptr);
  EXPECT_EQ(view.AxisCount(), 0);
}

TEST(ViewLifetime, PointsLeaveTheListWhenDestroyedAndSurviveTheView) {
  FakeHost host;
  auto view = std::make_unique<TVelaGraph>(host);
  auto kept = std::make_unique<MarkerPoint>(view.get(), "kept");
  {
    MarkerPoint gone(view.get(), "gone");
    view->AddPoint(&gone);
    view->AddPoint(kept.get());
  }
  EXPECT_THAT(view->Points(), ElementsAre(kept.get()));
  view.reset();
  EXPECT_EQ(kept->Graph(), nullptr);
}
