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
