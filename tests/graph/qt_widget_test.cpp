// The widget that hosts the view, driven by real Qt events.
#include "graph/qt/graph_widget.h"

#include <gtest/gtest.h>

#include <QTest>
#include <cmath>

#include "graph/graph_data.h"
#include "graph/series.h"
#include "platform/qt/qt_canvas.h"

using namespace osc;

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

TEST_F(GraphWidget, PaintsTheViewOverItsWholeArea) {
  const QImage shot = widget.grab().toImage();
  ASSERT_EQ(shot.size(), QSize(600, 400));
  EXPECT_EQ(FromQRgb(shot.pixel(2, 2)), view().Colors().Background());
  const TRect title = view().Layout().TitleBarRect(1, view().ClientRect());
  EXPECT_EQ(FromQRgb(shot.pixel(title.Left + 3, title.Top + 1)), view().Colors().TitleBar());
  EXPECT_EQ(shot, static_cast<TQtImage&>(view().ScreenImage()).Image());
}

TEST_F(GraphWidget, CtrlDragPansAndReleasingTheKeyForgetsTheModifier) {
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
}

TEST_F(GraphWidget, KeysReachTheHandlerAsVirtualKeys) {
  std::vector<int> keys;
  view().OnKeyDown = [&](TVelaGraph&, std::uint16_t& key, TShiftState) { keys.push_back(key); };
  QTest::keyClick(&widget, Qt::Key_Left);
  QTest::keyClick(&widget, Qt::Key_F12);
  QTest::keyClick(&widget, Qt::Key_A);
  EXPECT_EQ(keys, (std::vector<int>{0x25, 0x7B, 'A'}));
}

TEST_F(GraphWidget, ZoomModeClickZoomsOut) {
  view().SetMode(gmZoom);
  view().XAxis(0)->SetRange(40, 60);
  view().YAxis(0)->ZoomAll();
  EXPECT_EQ(widget.cursor().shape(), Qt::BitmapCursor);
  const QPoint p = PlotCentre();
  QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, p);
  EXPECT_DOUBLE_EQ(view().XAxis(0)->Left(), 30);
  EXPECT_DOUBLE_EQ(view().XAxis(0)->Right(), 70);
}

// A window shrunk to nothing in either direction (a splitter pulled shut, a minimised
// layout): the widget paints, takes keys and the mouse, and prints, without dividing
// by zero or leaving an axis window that is not a number.
TEST_F(GraphWidget, ZeroSizedWidgetPaintsTakesInputAndPrints) {
  int keys = 0;
  view().OnKeyDown = [&](TVelaGraph& v, std::uint16_t& key, TShiftState) {
    ++keys;
    if (key == 0x25) v.XAxis(0)->ScrollLeft();
  };
  for (QSize size : {QSize(0, 400), QSize(600, 0), QSize(0, 0)}) {
    SCOPED_TRACE(testing::Message() << size.width() << " x " << size.height());
    widget.setMinimumSize(0, 0);
    widget.resize(size);
    widget.repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(view().ClientSize().cx, size.width());
    EXPECT_EQ(view().ClientSize().cy, size.height());
    QTest::keyClick(&widget, Qt::Key_Left);
    QTest::mouseMove(&widget, QPoint(0, 0));
    QTest::mouseClick(&widget, Qt::LeftButton, Qt::ControlModifier, QPoint(0, 0));
    view().SetMode(gmZoom);
    QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(0, 0));
    view().SetMode(gmSelect);
    EXPECT_EQ(view().DragState(), 0);
    for (TAxis* a : {view().XAxis(0), view().YAxis(0)}) {
      EXPECT_TRUE(std::isfinite(a->Left()) && std::isfinite(a->Right()));
      EXPECT_LT(a->Left(), a->Right());
    }
    TQtImage page(300);  // printing: the view drawn onto a page of its own size
    page.SetSize(800, 600);
    view().DrawTo(page.Canvas(), TRect{0, 0, 800, 600});
    EXPECT_EQ(FromQRgb(page.Image().pixel(2, 2)), view().Colors().Background());
  }
  EXPECT_EQ(keys, 3);
}
