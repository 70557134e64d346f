// What a user sees: the canvas over QPainter, and the widget that hosts the view, driven
// by real Qt events.
#include "platform/qt/qt_canvas.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "graph/graph_data.h"
#include "graph/qt/graph_widget.h"
#include "graph/series.h"

using namespace osc;

namespace {

constexpr TColor kPaper = clWhite;

class QtCanvasTest : public ::testing::Test {
 protected:
  QtCanvasTest() { image.SetSize(40, 30); }

  TColor At(int x, int y) const { return FromQRgb(image.Image().pixel(x, y)); }
  // Pixels of colour `c` as "x,y" texts, row by row.
  std::vector<std::string> Lit(TColor c) const {
    std::vector<std::string> result;
    for (int y = 0; y < image.Height(); ++y) {
      for (int x = 0; x < image.Width(); ++x) {
        if (At(x, y) == c) result.push_back(std::to_string(x) + "," + std::to_string(y));
      }
    }
    return result;
  }
  void Line(int x1, int y1, int x2, int y2) {
    canvas.MoveTo(x1, y1);
    canvas.LineTo(x2, y2);
  }

  TQtImage image{96};
  TCanvas& canvas = image.Canvas();
};

}  // namespace

TEST_F(QtCanvasTest, LinesInEveryDirectionPaintTheirStartAndNotTheirEnd) {
  const TPoint centre{20, 15};
  const TPoint ends[] = {{29, 15}, {29, 19}, {29, 24}, {24, 24}, {20, 24}, {16, 24}, {11, 24}, {11, 18},
                         {11, 15}, {11, 11}, {11, 6},  {16, 6},  {20, 6},  {24, 6},  {29, 6},  {29, 12}};
  for (const TPoint& end : ends) {
    image.SetSize(0, 0);
    image.SetSize(40, 30);
    canvas.SetPenColor(clRed);
    Line(centre.X, centre.Y, end.X, end.Y);
    const std::vector<std::string> lit = Lit(clRed);
    const int steps = std::max(std::abs(end.X - centre.X), std::abs(end.Y - centre.Y));
    EXPECT_EQ(static_cast<int>(lit.size()), steps) << end.X << "," << end.Y;
    EXPECT_EQ(At(centre.X, centre.Y), clRed) << end.X << "," << end.Y;
    EXPECT_EQ(At(end.X, end.Y), kPaper) << end.X << "," << end.Y;
  }
}

TEST_F(QtCanvasTest, OtherRasterDevicesGetTheSamePixels) {
  // A pixmap is painted through Qt's fills rather than by writing the image's pixels.
  QPixmap pixmap(40, 30);
  pixmap.fill(Qt::white);
  QPainter painter(&pixmap);
  TQtCanvas onPixmap(painter);
  for (TCanvas* c : {&canvas, static_cast<TCanvas*>(&onPixmap)}) {
    c->SetPenColor(clRed);
    c->SetClipRect(TRect{2, 2, 38, 28});
    for (const TPoint& end : {TPoint{39, 3}, TPoint{0, 29}, TPoint{30, 29}, TPoint{5, 0}}) {
      c->MoveTo(20, 15);
      c->LineTo(end.X, end.Y);
    }
    c->ResetClip();
    c->SetPenMode(pmNotXor);
    c->MoveTo(0, 10);
    c->LineTo(40, 12);
  }
  painter.end();
  EXPECT_EQ(pixmap.toImage().convertToFormat(QImage::Format_RGB32), image.Image());
}

TEST_F(QtCanvasTest, FarAwayLinesAndClippedOnesDrawOnlyWhatIsVisible) {
  canvas.SetPenColor(clRed);
  Line(-(1 << 28), 3, 1 << 28, 3);
  Line(5, 1 << 28, 5, -(1 << 28));
  Line(-(1 << 28), -(1 << 28), 1 << 28, 1 << 28);
  // the row, the column less the crossing, the diagonal less its two crossings
  EXPECT_EQ(Lit(clRed).size(), 40u + 29u + 28u);
  canvas.SetPenColor(clBlue);
  canvas.SetClipRect(TRect{5, 5, 10, 10});
  Line(0, 7, 40, 7);
  canvas.ResetClip();
  Line(0, 20, 3, 20);
  EXPECT_EQ(Lit(clBlue),
            (std::vector<std::string>{"5,7", "6,7", "7,7", "8,7", "9,7", "0,20", "1,20", "2,20"}));
}

TEST_F(QtCanvasTest, WidePensKeepTheFlatEnd) {
  canvas.SetPenColor(clBlue);
  canvas.SetPenWidth(3);
  Line(10, 10, 20, 10);
  EXPECT_EQ(Lit(clBlue).size(), 30u);  // rows 9..11, columns 10..19
  EXPECT_EQ(At(10, 9), clBlue);
  EXPECT_EQ(At(19, 11), clBlue);
}

TEST_F(QtCanvasTest, FillsLeaveOutTheRightAndBottomEdge) {
  canvas.SetBrushColor(clLime);
  canvas.FillRect(TRect{2, 3, 5, 5});
  canvas.FillRect(TRect{9, 9, 7, 12});  // inverted: nothing
  canvas.SetBrushStyle(bsClear);
  canvas.FillRect(TRect{20, 20, 25, 25});  // no brush: nothing
  EXPECT_EQ(Lit(clLime), (std::vector<std::string>{"2,3", "3,3", "4,3", "2,4", "3,4", "4,4"}));
}

TEST_F(QtCanvasTest, InvertingTwiceRestoresEveryPixel) {
  for (int x = 0; x < 40; ++x) {  // a column of its own colour each
    canvas.SetBrushColor(RGB(x * 6, 250 - x * 5, 37 * x % 256));
    canvas.FillRect(TRect{x, 0, x + 1, 30});
  }
  const QImage before = image.Image().copy();
  for (int pass = 0; pass < 2; ++pass) {
    canvas.SetPenMode(pmNotXor);
    canvas.SetPenColor(clLime);
    Line(0, 13, 40, 13);
    canvas.SetPenMode(pmCopy);
    canvas.InvertRect(TRect{5, 5, 25, 20});
    if (pass == 0) {
      // not-xor with green keeps the green bits of the pixel and inverts red and blue
      EXPECT_EQ(At(3, 13), FromQRgb(before.pixel(3, 13)) ^ clFuchsia);
      EXPECT_EQ(At(6, 6), FromQRgb(before.pixel(6, 6)) ^ 0xFFFFFF);
    }
  }
  EXPECT_EQ(image.Image(), before);
}

TEST_F(QtCanvasTest, TextIsClippedAndStandsOnTheBrush) {
  canvas.SetFont(TFont{});
  canvas.SetBrushColor(clSilver);
  canvas.SetFontColor(clBlack);
  canvas.TextOut(1, 1, "W");
  EXPECT_EQ(At(1, 1), clSilver);  // the cell's top-left corner is background
  canvas.SetBrushStyle(bsClear);
  canvas.TextRect(TRect{20, 0, 24, 30}, 18, 5, "WWWW");
  int inked = 0;
  for (int y = 0; y < 30; ++y) {
    EXPECT_TRUE(At(19, y) == kPaper && At(24, y) == kPaper) << y;
    inked += At(21, y) != kPaper ? 1 : 0;
  }
  EXPECT_GT(inked, 0);
}

namespace {

class GraphWidget : public ::testing::Test {
 protected:
  void SetUp() override {
    widget.resize(600, 400);
    view().SetGraphData(&data);
    series.SetGraphNumber(1);
    series.SetCount(101);
    series.OnGetValue = [](TVelaSeries&, int i, double& v) { v = std::sin(i / 10.0); };
    data.AddSeries(&series);
    view().XAxis(0)->ZoomAll();
    view().YAxis(0)->ZoomAll();
    widget.show();
    widget.activateWindow();
  }
  void TearDown() override { data.Clear(); }

  TVelaGraph& view() { return widget.View(); }
  QPoint PlotCentre() {
    const TRect p = view().Layout().PlotRect(1, view().ClientRect());
    return QPoint((p.Left + p.Right) / 2, (p.Top + p.Bottom) / 2);
  }

  TVelaGraphData data;
  TBaseEquiDistantSeries series;
  TVelaGraphWidget widget;
};

}  // namespace

// The view's image fills the widget; keys, the modifier and the mouse reach the view; a
// splitter pulled shut gives it the empty client size and still passes events.
TEST_F(GraphWidget, PaintsTheViewAndPassesEventsAlsoWhenShrunkToNothing) {
  const QImage shot = widget.grab().toImage();
  ASSERT_EQ(shot.size(), QSize(600, 400));
  EXPECT_EQ(FromQRgb(shot.pixel(2, 2)), view().Colors().Background());
  const TRect title = view().Layout().TitleBarRect(1, view().ClientRect());
  EXPECT_EQ(FromQRgb(shot.pixel(title.Left + 3, title.Top + 1)), view().Colors().TitleBar());
  EXPECT_EQ(shot, static_cast<TQtImage&>(view().ScreenImage()).Image());
  std::vector<int> keys;
  view().OnKeyDown = [&](TVelaGraph&, std::uint16_t& key, TShiftState) { keys.push_back(key); };
  QTest::keyClick(&widget, Qt::Key_F12);
  QTest::keyClick(&widget, Qt::Key_A);
  QTest::keyPress(&widget, Qt::Key_Control);
  EXPECT_EQ(view().ShiftState(), ssCtrl);
  const QPoint start = PlotCentre();
  QTest::mousePress(&widget, Qt::LeftButton, Qt::ControlModifier, start);
  EXPECT_EQ(view().DragState(), 3);
  EXPECT_EQ(widget.cursor().shape(), Qt::BitmapCursor);  // the pan cursor
  view().XAxis(0)->SetRange(40, 60);
  QTest::mouseMove(&widget, start + QPoint(30, 0));
  EXPECT_LT(view().XAxis(0)->Left(), 40);
  QTest::mouseRelease(&widget, Qt::LeftButton, Qt::ControlModifier, start + QPoint(30, 0));
  EXPECT_EQ(view().DragState(), 0);
  QTest::keyRelease(&widget, Qt::Key_Control);
  EXPECT_EQ(view().ShiftState(), 0);
  EXPECT_EQ(widget.cursor().shape(), Qt::ArrowCursor);

  widget.setMinimumSize(0, 0);
  widget.resize(0, 0);
  widget.repaint();
  QCoreApplication::processEvents();
  EXPECT_EQ(view().ClientSize().cx, 0);
  EXPECT_EQ(view().ClientSize().cy, 0);
  QTest::keyClick(&widget, Qt::Key_Left);
  QTest::mouseClick(&widget, Qt::LeftButton, Qt::ControlModifier, QPoint(0, 0));
  EXPECT_EQ(view().DragState(), 0);
  EXPECT_EQ(keys, (std::vector<int>{0x7B, 'A', 0x11, 0x25}));
}
