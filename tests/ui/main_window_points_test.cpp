// The cursor measurements of the main window with real widgets, headless, on a recording
// of the simulated module: the cross reading, the two measuring points, the panel.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "acquisition/measurement_text.h"
#include "graph/axis.h"
#include "graph/qt/graph_widget.h"
#include "platform/locale/locale.h"
#include "platform/qt/qt_canvas.h"
#include "support/main_window_rig.h"
#include "ui/span_stats_table.h"

namespace osc {
namespace {

using test::MainWindowRig;

std::string Text(const QLabel* l) {
  return l->text().toStdString();
}

// A stopped recording of CH 1 and CH 2 (or the channels checked before), shown.
class Measurements : public ::testing::Test {
 protected:
  void SetUp() override { rig.ShowIdentified(); }

  MainWindowRig rig;
  TFrmMdl4CH& w = *rig.window;

  void Record(std::uint32_t samples = 2000) {
    w.sbZaznam->click();
    ASSERT_TRUE(rig.RecordUntil(samples));
    w.sbZaznam->click();
    QApplication::processEvents();
    ASSERT_EQ(w.GraphData.NumGraphs(), 2u);
  }
  TRect Plot(std::uint32_t g) { return w.View().Layout().PlotRect(g, w.View().ClientRect()); }
  // A point of graph g's plot at the fractions fx, fy of its width and height.
  QPoint At(std::uint32_t g, double fx, double fy = 0.5) {
    const TRect p = Plot(g);
    return QPoint(p.Left + static_cast<int>(fx * (p.Right - p.Left)),
                  p.Top + static_cast<int>(fy * (p.Bottom - p.Top)));
  }
  // Qt drops a move to where the pointer already is (as left by an earlier test's window).
  void MoveTo(QPoint p) {
    QTest::mouseMove(w.Graph, p + QPoint(0, 1));
    QTest::mouseMove(w.Graph, p);
  }
  void Click(QPoint p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = Qt::NoModifier) {
    MoveTo(p);
    QTest::mouseClick(w.Graph, b, m, p);
  }
  void MoveOut() { MoveTo(QPoint(1, 1)); }
  const TFrmMdl4CH::TMeasuringPoint& Point(int k) { return w.MeasuringPoints[static_cast<std::size_t>(k)]; }
  std::string Unit(int slot) { return UnitText(w.Recorder().Store(slot + 1)); }
  std::string Reading(int k) { return ValueText(Point(k).X, Point(k).Y, Unit(Point(k).Slot)); }
  bool Cleared() {
    return Point(0).X == 0 && Point(1).X == 0 && !Point(0).Marker && !Point(1).Marker &&
           w.View().Points().empty();
  }
};

TEST_F(Measurements, CrossReadingFollowsTheCrossAndIsEmptiedWhenItLeaves) {
  Record();
  w.RangeChange();  // a parameter exchange with the 4-channel model
  EXPECT_EQ(Text(w.LCrossPos).rfind("AN1: ", 0), 0u) << Text(w.LCrossPos);
  QApplication::processEvents();
  EXPECT_EQ(Text(w.LCrossPos).rfind("AN1: ", 0), 0u) << "the readings stay until the cross moves";

  MoveTo(At(2, 0.3));
  ASSERT_TRUE(w.CrossActive);
  EXPECT_EQ(w.CrossGraphNumber, 2u);
  EXPECT_EQ(w.CrossSlot, 1);
  EXPECT_GT(w.CrossX, 0);
  EXPECT_EQ(Text(w.LCrossPos), ValueText(w.CrossX, w.CrossY, "V"));
  EXPECT_NE(Text(w.LCrossPos).find(" V"), std::string::npos);

  MoveOut();
  EXPECT_FALSE(w.CrossActive);
  EXPECT_EQ(Text(w.LCrossPos), "");
}

TEST_F(Measurements, LeftAndRightButtonsSetTheTwoPointsAndOpenThePanel) {
  Record();
  ASSERT_FALSE(w.TBarAnalyse->isVisible());
  Click(At(1, 0.25));
  const double crossX = w.CrossX;
  EXPECT_TRUE(w.TBShowAnalyse->isChecked());
  EXPECT_TRUE(w.TBarAnalyse->isVisible());
  EXPECT_EQ(Point(0).X, crossX);
  EXPECT_EQ(Point(0).GraphNumber, 1u);
  EXPECT_EQ(Point(1).X, 0);
  EXPECT_EQ(Text(w.LPoint1), Reading(0));
  EXPECT_EQ(Text(w.LPoint2), "");
  EXPECT_EQ(Text(w.LPointDif), "") << "one point gives no differences";

  Click(At(2, 0.75), Qt::RightButton);
  EXPECT_EQ(Point(1).GraphNumber, 2u);
  EXPECT_EQ(Point(1).Slot, 1);
  EXPECT_GT(Point(1).X, Point(0).X);
  EXPECT_EQ(Text(w.LPoint2), Reading(1));
  EXPECT_EQ(Text(w.LPointDif), PointDifText(Point(0).X, Point(0).Y, Point(1).X, Point(1).Y, "V"));
  EXPECT_NE(Text(w.LPointDif).find("      f = "), std::string::npos);

  // Markers: the window's, listed in the view, drawn over the series.
  ASSERT_EQ(w.View().Points().size(), 2u);
  struct Want {
    TColor color;
    std::uint32_t graph;
  } want[] = {{clBlue, 1}, {clBlack, 2}};
  for (int k = 0; k < 2; ++k) {
    const TVelaGraphPoint* m = Point(k).Marker.get();
    ASSERT_NE(m, nullptr) << k;
    EXPECT_EQ(w.View().Points()[static_cast<std::size_t>(k)], m);
    EXPECT_EQ(m->Shape(), psCross);
    EXPECT_EQ(m->Color(), want[k].color);
    EXPECT_EQ(m->GraphNumber(), want[k].graph);
    EXPECT_EQ(m->Size(), 6);
    EXPECT_EQ(m->Width(), 3);
    EXPECT_TRUE(m->Foreground());
    EXPECT_EQ(m->Position(), (TDoublePoint{Point(k).X, Point(k).Y}));
  }

  // A new left click moves point 0 and keeps its marker.
  const TVelaGraphPoint* first = Point(0).Marker.get();
  Click(At(1, 0.5));
  EXPECT_EQ(Point(0).Marker.get(), first);
  EXPECT_EQ(first->Position().X, w.CrossX);
  EXPECT_EQ(w.View().Points().size(), 2u);
}

// Wiring only: the figures themselves are the statistics' own tests.
TEST_F(Measurements, StatisticsTableFollowsThePointsTheViewAndIsCopied) {
  Record();
  ASSERT_FALSE(w.TBarStats->isVisible());
  const auto countCell = [&](int row) { return w.StatsTable->item(row, 10)->text().toStdString(); };
  const auto spanCount = [&](int slot) {
    TSampleSpan span;
    return w.MeasuredSpan(slot, span) ? std::to_string(span.Count()) : std::string("none");
  };

  Click(At(1, 0.25));
  Click(At(2, 0.5), Qt::RightButton);
  ASSERT_TRUE(w.TBarStats->isVisible());
  ASSERT_EQ(w.StatsTable->rowCount(), 2);
  const std::string betweenPoints = spanCount(1);
  EXPECT_EQ(w.StatsTable->item(1, 0)->text(), "CH 2");
  EXPECT_EQ(countCell(0), betweenPoints);
  EXPECT_EQ(countCell(1), betweenPoints) << "both channels take the points' span";

  // One point left: the visible window, here the whole record.
  w.PointLabelDblClick(1);
  EXPECT_EQ(countCell(0), std::to_string(w.Recorder().Store(1)->Count()));

  // A view move is throttled, then taken.
  w.StatsTimer->setInterval(0);
  w.TBZoomIn->click();
  EXPECT_TRUE(w.StatsTimer->isActive());
  QApplication::processEvents();
  EXPECT_FALSE(w.StatsTimer->isActive());
  EXPECT_EQ(countCell(0), spanCount(1));
  EXPECT_LT(std::stoul(countCell(0)), w.Recorder().Store(1)->Count());

  const QStringList lines = w.StatsTable->CopyText().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3) << "headings and two channels";
  EXPECT_EQ(lines[2].split('\t').size(), w.StatsTable->columnCount());
  EXPECT_TRUE(lines[2].startsWith("CH 2\t"));

  w.TBCloseAnalyse->click();
  EXPECT_FALSE(w.TBarStats->isVisible());
}

TEST_F(Measurements, TheFirstMarkerIsDrawnInBlueWhereItsValueIs) {
  Record();
  Click(At(1, 0.4));
  MoveOut();  // no cross over the marker
  const TVelaGraphPoint& m = *Point(0).Marker;
  const TRect p = Plot(1);
  const TAxis& a = *w.View().XAxis(0);
  const TAxis& b = *w.View().YAxis(0);
  const int x =
      p.Left + static_cast<int>((m.Position().X - a.Left()) * (p.Right - p.Left) / (a.Right() - a.Left()));
  const int y =
      p.Bottom - static_cast<int>((m.Position().Y - b.Left()) * (p.Bottom - p.Top) / (b.Right() - b.Left()));
  const QImage shot = w.Graph->grab().toImage();
  // The strokes are 3 pixels wide and reach 6 before and 5 after the centre.
  for (int d : {-6, -4, 4, 5}) {
    EXPECT_EQ(FromQRgb(shot.pixel(x, y + d)), clBlue) << d;
    EXPECT_EQ(FromQRgb(shot.pixel(x + d, y)), clBlue) << d;
  }
}

TEST_F(Measurements, NoPointInPanOrZoomModeWithModifiersOrOtherButtons) {
  Record();
  struct Case {
    const char* name;
    QToolButton* mode;
    Qt::MouseButton button;
    Qt::KeyboardModifiers modifiers;
  };
  const Case cases[] = {
      {"pan mode", w.TBPan, Qt::LeftButton, Qt::NoModifier},
      {"pan mode, right", w.TBPan, Qt::RightButton, Qt::NoModifier},
      {"zoom mode", w.TBZoom, Qt::LeftButton, Qt::NoModifier},
      {"Ctrl", w.TBSelect, Qt::LeftButton, Qt::ControlModifier},
      {"Ctrl, right", w.TBSelect, Qt::RightButton, Qt::ControlModifier},
      {"Shift", w.TBSelect, Qt::LeftButton, Qt::ShiftModifier},
      {"Alt", w.TBSelect, Qt::RightButton, Qt::AltModifier},
      {"middle button", w.TBSelect, Qt::MiddleButton, Qt::NoModifier},
  };
  for (const Case& c : cases) {
    c.mode->click();
    Click(At(1, 0.5), c.button, c.modifiers);
    EXPECT_TRUE(w.CrossActive) << c.name;
    EXPECT_TRUE(Cleared()) << c.name;
    EXPECT_FALSE(w.TBShowAnalyse->isChecked()) << c.name;
    EXPECT_FALSE(w.TBarAnalyse->isVisible()) << c.name;
  }
  // Without a cross either.
  w.TBSelect->click();
  MoveOut();
  w.View().MouseDown(mbLeft, 0, At(1, 0.5).x(), At(1, 0.5).y());
  EXPECT_TRUE(Cleared());
  // In the selection mode, a plain click does.
  Click(At(1, 0.5));
  EXPECT_NE(Point(0).X, 0);
}

TEST_F(Measurements, TwoPointsAtTheSameInstantGiveZeroTimeAndNoFrequency) {
  Record();
  Click(At(1, 0.5));
  Click(At(1, 0.5), Qt::RightButton);
  ASSERT_EQ(Point(0).X, Point(1).X);
  ASSERT_NE(Point(0).X, 0);
  const std::string dif = Text(w.LPointDif);
  EXPECT_EQ(dif, PointDifText(Point(0).X, Point(0).Y, Point(1).X, Point(1).Y, "V"));
  EXPECT_NE(dif.find("T2-T1 = 0" + std::string(1, formatSettings().DecimalSeparator) + "000 s"),
            std::string::npos)
      << dif;
  EXPECT_EQ(dif.find("f ="), std::string::npos) << dif;
}

TEST_F(Measurements, SecondPointLeftOfTheFirstGivesNegativeTimeAndPositiveFrequency) {
  Record();
  Click(At(1, 0.8));
  Click(At(1, 0.2), Qt::RightButton);
  ASSERT_LT(Point(1).X, Point(0).X);
  const std::string dif = Text(w.LPointDif);
  EXPECT_NE(dif.find("T2-T1 = -"), std::string::npos) << dif;
  EXPECT_NE(dif.find("      f = "), std::string::npos) << dif;
  EXPECT_EQ(dif.find("f = -"), std::string::npos) << dif;
}

TEST_F(Measurements, PointsOnDifferentSlotsUseTheUnitOfTheFirst) {
  // Slot 1 records auxiliary input 5 in amperes, slot 2 CH 2 in volts.
  w.CurrentRange()->CH[5].Unit = "A";
  QTest::mouseClick(w.cbInput5, Qt::LeftButton);
  ASSERT_TRUE(w.cbInput5->isChecked());
  w.Recorder().ReadControls();
  w.UpdateScale();
  Record();
  ASSERT_EQ(Unit(0), "A");
  ASSERT_EQ(Unit(1), "V");

  Click(At(2, 0.3));                   // point 0 in volts
  Click(At(1, 0.6), Qt::RightButton);  // point 1 in amperes
  EXPECT_NE(Text(w.LPoint1).find(" V"), std::string::npos);
  EXPECT_NE(Text(w.LPoint2).find(" A"), std::string::npos);
  EXPECT_EQ(Text(w.LPointDif), PointDifText(Point(0).X, Point(0).Y, Point(1).X, Point(1).Y, "V"));

  Click(At(1, 0.3));  // now point 0 in amperes
  EXPECT_EQ(Text(w.LPointDif), PointDifText(Point(0).X, Point(0).Y, Point(1).X, Point(1).Y, "A"));
}

TEST_F(Measurements, XExactlyZeroCountsAsNotSet) {
  Record();
  Click(At(1, 0.3));
  Click(At(1, 0.6), Qt::RightButton);
  w.MeasuringPoints[1].X = 0;  // Y stays
  ASSERT_NE(w.MeasuringPoints[1].Y, 0);
  w.UpdateAnalysis();
  EXPECT_EQ(Text(w.LPoint2), "");
  EXPECT_EQ(Text(w.LPointDif), "");
  EXPECT_NE(Text(w.LPoint1), "");
}

TEST_F(Measurements, LongReadingsAreNotCut) {
  Record();
  Click(At(1, 0.5));
  Click(At(2, 0.5), Qt::RightButton);
  w.MeasuringPoints[0].Y = -1234.56;
  w.MeasuringPoints[1].X -= 100.0 / 86400;
  w.MeasuringPoints[1].Y = 1234.56;
  w.UpdateAnalysis();
  QApplication::processEvents();
  for (const QLabel* l : {w.LPoint1, w.LPoint2, w.LPointDif}) {
    EXPECT_GE(l->contentsRect().width(), l->fontMetrics().horizontalAdvance(l->text()))
        << l->text().toStdString();
    EXPECT_TRUE(l->isVisible()) << l->objectName().toStdString();
  }
}

TEST_F(Measurements, PointsSurviveZoomAndPan) {
  Record();
  Click(At(1, 0.4));
  Click(At(2, 0.6), Qt::RightButton);
  const double x0 = Point(0).X, x1 = Point(1).X;
  const std::string dif = Text(w.LPointDif);
  for (QToolButton* b : {w.TBZoomIn, w.TBZoomIn, w.TBLeft, w.TBFastRight, w.TBZoomOut})
    b->click();
  const double left = w.View().XAxis(0)->Left();
  w.TBPan->click();
  QTest::mousePress(w.Graph, Qt::LeftButton, Qt::NoModifier, At(1, 0.5));
  QTest::mouseMove(w.Graph, At(1, 0.3));
  QTest::mouseRelease(w.Graph, Qt::LeftButton, Qt::NoModifier, At(1, 0.3));
  EXPECT_NE(w.View().XAxis(0)->Left(), left) << "the view has moved";
  EXPECT_EQ(Point(0).X, x0);
  EXPECT_EQ(Point(1).X, x1);
  EXPECT_EQ(Text(w.LPointDif), dif);
  EXPECT_EQ(w.View().Points().size(), 2u);
  EXPECT_TRUE(w.TBarAnalyse->isVisible());
}

TEST_F(Measurements, ANewRecordingClearsThePointsAndRefreshesThePanel) {
  Record();
  Click(At(1, 0.4));
  Click(At(2, 0.6), Qt::RightButton);
  ASSERT_FALSE(Cleared());
  w.sbZaznam->click();
  EXPECT_TRUE(Cleared());
  EXPECT_EQ(Text(w.LPoint1), "");
  EXPECT_EQ(Text(w.LPoint2), "");
  EXPECT_EQ(Text(w.LPointDif), "");
  EXPECT_TRUE(w.TBShowAnalyse->isChecked()) << "the panel stays open, empty";
  EXPECT_TRUE(w.TBarAnalyse->isVisible());
  w.sbZaznam->click();
}

TEST_F(Measurements, ClosingOrReleasingThePanelClearsBothPoints) {
  Record();
  for (QToolButton* close : {w.TBCloseAnalyse, w.TBShowAnalyse}) {
    Click(At(1, 0.4));
    Click(At(2, 0.6), Qt::RightButton);
    ASSERT_TRUE(w.TBarAnalyse->isVisible());
    close->click();
    EXPECT_FALSE(w.TBShowAnalyse->isChecked()) << close->objectName().toStdString();
    EXPECT_FALSE(w.TBarAnalyse->isVisible()) << close->objectName().toStdString();
    EXPECT_TRUE(Cleared()) << close->objectName().toStdString();
  }
  // Pressing the button again shows the empty panel.
  w.TBShowAnalyse->click();
  EXPECT_TRUE(w.TBarAnalyse->isVisible());
  EXPECT_EQ(Text(w.LPoint1), "");
  EXPECT_TRUE(Cleared());
}

TEST_F(Measurements, DoubleClickOnAPointLabelClearsThatPoint) {
  Record();
  Click(At(1, 0.4));
  Click(At(2, 0.6), Qt::RightButton);
  const TVelaGraphPoint* second = Point(1).Marker.get();
  QTest::mouseDClick(w.LPoint1, Qt::LeftButton);
  EXPECT_EQ(Point(0).X, 0);
  EXPECT_EQ(Point(0).Marker, nullptr);
  EXPECT_EQ(Text(w.LPoint1), "");
  EXPECT_EQ(Text(w.LPointDif), "");
  EXPECT_EQ(Point(1).Marker.get(), second);
  EXPECT_EQ(Text(w.LPoint2), Reading(1));
  ASSERT_EQ(w.View().Points().size(), 1u);
  EXPECT_TRUE(w.TBarAnalyse->isVisible());

  QTest::mouseDClick(w.LPoint2, Qt::LeftButton);
  EXPECT_TRUE(Cleared());
  EXPECT_TRUE(w.TBarAnalyse->isVisible());
}

TEST_F(Measurements, WindowGoesWithItsMarkersPlaced) {
  Record();
  Click(At(1, 0.4));
  Click(At(2, 0.6), Qt::RightButton);
  rig.settings.reset();
  rig.window.reset();  // markers freed before the graph; no callback into a dead window
  SUCCEED();
}

TEST(MeasurementsScreenshot, TwoPointsAndThePanel) {
  MainWindowRig rig;
  rig.ShowIdentified();
  TFrmMdl4CH& w = *rig.window;
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(11520 / 2));
  w.sbZaznam->click();
  QApplication::processEvents();
  const auto at = [&](std::uint32_t g, double fx) {
    const TRect p = w.View().Layout().PlotRect(g, w.View().ClientRect());
    return QPoint(p.Left + static_cast<int>(fx * (p.Right - p.Left)), (p.Top + p.Bottom) / 2);
  };
  for (auto [p, b] : {std::pair{at(1, 0.3), Qt::LeftButton}, std::pair{at(2, 0.62), Qt::RightButton}}) {
    QTest::mouseMove(w.Graph, p + QPoint(0, 1));  // a move to where the pointer is would be dropped
    QTest::mouseMove(w.Graph, p);
    QTest::mouseClick(w.Graph, b, Qt::NoModifier, p);
  }
  QTest::mouseMove(w.Graph, at(1, 0.8));
  QApplication::processEvents();
  QDir().mkpath(OSC_SCREENSHOT_DIR);
  EXPECT_TRUE(w.grab().save(QString(OSC_SCREENSHOT_DIR) + "/main_window_points.png"));
  // The first point's reading is written in blue.
  const QImage label = w.LPoint1->grab().toImage();
  int blue = 0;
  for (int y = 0; y < label.height(); ++y) {
    for (int x = 0; x < label.width(); ++x) {
      const QColor c = label.pixelColor(x, y);
      blue += c.blue() > 150 && c.red() < 100 && c.green() < 100 ? 1 : 0;
    }
  }
  EXPECT_GT(blue, 20) << w.LPoint1->palette().color(QPalette::WindowText).name().toStdString();
}

}  // namespace
}  // namespace osc
