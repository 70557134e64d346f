// The cursor measurements' and the export's wiring with real widgets, headless, on a
// recording of the simulated module or loaded records: mouse, keys and buttons in,
// points, markers, statistics, spectrum and files out. The texts themselves are
// acquisition's measurement-text and export tests.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <fstream>
#include <map>
#include <memory>
#include <optional>

#include "acquisition/export_csv.h"
#include "acquisition/measurement_text.h"
#include "acquisition/record_file.h"
#include "acquisition/scaling.h"
#include "graph/axis.h"
#include "graph/qt/graph_widget.h"
#include "graph/series.h"
#include "platform/qt/qt_canvas.h"
#include "support/main_window_rig.h"
#include "ui/export_image.h"
#include "ui/fourier_window.h"
#include "ui/span_stats_table.h"

namespace osc {
namespace {

std::string Text(const QLabel* l) {
  return l->text().toStdString();
}

// A stopped recording of CH 1 and CH 2 (or the channels checked before), shown.
class Measurements : public ::testing::Test {
 protected:
  void SetUp() override { rig.ShowIdentified(); }

  void Record() {
    w.sbZaznam->click();
    ASSERT_TRUE(rig.RecordUntil(2000));
    w.sbZaznam->click();
    QApplication::processEvents();
    ASSERT_EQ(w.GraphData.NumGraphs(), 2u);
  }
  // A point of graph g's plot at the fraction fx of its width, half way up.
  QPoint At(std::uint32_t g, double fx) {
    const TRect p = w.View().Layout().PlotRect(g, w.View().ClientRect());
    return QPoint(p.Left + static_cast<int>(fx * (p.Right - p.Left)), (p.Top + p.Bottom) / 2);
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
  const TFrmMdl4CH::TMeasuringPoint& Point(int k) { return w.MeasuringPoints[static_cast<std::size_t>(k)]; }
  std::string Dif(const char* unit) {
    return PointDifText(Point(0).X, Point(0).Y, Point(1).X, Point(1).Y, unit);
  }
  bool Cleared() {
    return Point(0).X == 0 && Point(1).X == 0 && !Point(0).Marker && !Point(1).Marker &&
           w.View().Points().empty();
  }

  test::MainWindowRig rig;
  TFrmMdl4CH& w = *rig.window;
};

// Slot 1 records auxiliary input 5 in amperes, slot 2 CH 2 in volts: the difference takes
// the unit of the first point. The window then goes with its markers placed.
TEST_F(Measurements, TheCrossReadsAndTheButtonsAndKeysSetTwoMarkedPoints) {
  w.CurrentRange()->CH[5].Unit = "A";
  QTest::mouseClick(w.cbInput5, Qt::LeftButton);
  w.Recorder().ReadControls();
  w.UpdateScale();
  Record();
  MoveTo(At(2, 0.3));
  ASSERT_TRUE(w.CrossActive);
  EXPECT_EQ(w.CrossSlot, 1);
  EXPECT_EQ(Text(w.LCrossPos), ValueText(w.CrossX, w.CrossY, "V"));
  MoveTo(QPoint(1, 1));
  EXPECT_FALSE(w.CrossActive);
  EXPECT_EQ(Text(w.LCrossPos), "");

  ASSERT_FALSE(w.TBarAnalyse->isVisible());
  Click(At(1, 0.25));
  EXPECT_TRUE(w.TBarAnalyse->isVisible());
  EXPECT_EQ(Point(0).X, w.CrossX);
  EXPECT_EQ(Text(w.LPointDif), "") << "one point gives no differences";
  Click(At(2, 0.75), Qt::RightButton);
  EXPECT_EQ(Point(1).Slot, 1);
  EXPECT_EQ(Text(w.LPoint2), ValueText(Point(1).X, Point(1).Y, "V"));
  EXPECT_EQ(Text(w.LPointDif), Dif("A"));
  const TColor colours[] = {clBlue, clBlack};
  ASSERT_EQ(w.View().Points().size(), 2u);
  for (int k = 0; k < 2; ++k) {
    const TVelaGraphPoint* m = Point(k).Marker.get();
    ASSERT_NE(m, nullptr) << k;
    EXPECT_EQ(w.View().Points()[static_cast<std::size_t>(k)], m);
    EXPECT_EQ(m->Color(), colours[k]);
    EXPECT_EQ(m->GraphNumber(), static_cast<std::uint32_t>(k + 1));
    EXPECT_EQ(m->Position(), (TDoublePoint{Point(k).X, Point(k).Y}));
  }

  // Key 1 moves point 0 to the cross and keeps its marker (drawn as graph's point tests
  // show); Shift and an arrow move the last point placed by a sample.
  const TVelaGraphPoint* first = Point(0).Marker.get();
  MoveTo(At(1, 0.4));
  QTest::keyClick(&w, Qt::Key_1);
  EXPECT_EQ(Point(0).X, w.CrossX);
  EXPECT_EQ(Point(0).Marker.get(), first);
  EXPECT_EQ(first->Position(), (TDoublePoint{Point(0).X, Point(0).Y}));
  MoveTo(At(1, 0.6));
  QTest::keyClick(&w, Qt::Key_2);
  EXPECT_EQ(Point(1).X, w.CrossX);
  for (const QLabel* l : {w.LPoint1, w.LPoint2, w.LPointDif})
    EXPECT_GE(l->contentsRect().width(), l->fontMetrics().horizontalAdvance(l->text())) << Text(l);
  const double x1 = Point(1).X;
  const double step = dynamic_cast<TBaseEquiDistantSeries&>(*w.GraphData.Series(0)).XStep();
  QTest::keyClick(&w, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_NEAR(Point(1).X, x1 + step, step / 100);
  QTest::keyClick(&w, Qt::Key_Left, Qt::ShiftModifier);
  QTest::keyClick(&w, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_NEAR(Point(1).X, x1 - step, step / 100);

  w.MeasuringPoints[1].X = 0;  // X exactly zero counts as not set, whatever Y holds
  w.UpdateAnalysis();
  EXPECT_EQ(Text(w.LPoint2) + Text(w.LPointDif), "");
  rig.settings.reset();
  rig.window.reset();  // markers freed before the graph; no callback into a dead window
}

TEST_F(Measurements, NoPointInPanOrZoomModeWithModifiersOrOtherButtons) {
  Record();
  const struct {
    QToolButton* mode;
    Qt::MouseButton button;
    Qt::KeyboardModifiers modifiers;
  } cases[] = {
      {w.TBPan, Qt::RightButton, Qt::NoModifier},
      {w.TBZoom, Qt::LeftButton, Qt::NoModifier},
      {w.TBSelect, Qt::LeftButton, Qt::ControlModifier},
      {w.TBSelect, Qt::MiddleButton, Qt::NoModifier},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    c.mode->click();
    Click(At(1, 0.5), c.button, c.modifiers);
    EXPECT_TRUE(w.CrossActive);
    EXPECT_TRUE(Cleared());
  }
  w.TBSelect->click();
  MoveTo(QPoint(1, 1));
  w.View().MouseDown(mbLeft, 0, At(1, 0.5).x(), At(1, 0.5).y());
  EXPECT_TRUE(Cleared()) << "no cross, no point";
}

// Wiring only: the figures themselves are the statistics' own tests.
TEST_F(Measurements, StatisticsTableFollowsThePointsTheViewAndIsCopied) {
  Record();
  const auto countCell = [&](int row) { return w.StatsTable->item(row, 10)->text().toStdString(); };
  const auto spanCount = [&](int slot) {
    TSampleSpan span;
    return w.MeasuredSpan(slot, span) ? std::to_string(span.Count()) : std::string("none");
  };
  Click(At(1, 0.25));
  Click(At(2, 0.5), Qt::RightButton);
  ASSERT_TRUE(w.TBarStats->isVisible());
  ASSERT_EQ(w.StatsTable->rowCount(), 2);
  EXPECT_EQ(countCell(0), spanCount(1));
  EXPECT_EQ(countCell(1), spanCount(1)) << "both channels take the points' span";

  w.PointLabelDblClick(1);  // one point left: the visible window, here the whole record
  EXPECT_EQ(countCell(0), std::to_string(w.Recorder().Store(1)->Count()));
  w.StatsTimer->setInterval(0);
  w.TBZoomIn->click();
  QApplication::processEvents();
  EXPECT_LT(std::stoul(countCell(0)), w.Recorder().Store(1)->Count());
  EXPECT_EQ(w.View().Points().size(), 1u) << "the point survives the view move";

  const QStringList lines = w.StatsTable->CopyText().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3) << "headings and two channels";
  EXPECT_EQ(lines[2].split('\t').size(), w.StatsTable->columnCount());
  w.TBCloseAnalyse->click();
  EXPECT_FALSE(w.TBarStats->isVisible());
}

TEST_F(Measurements, EachWayOfClearingThePoints) {
  Record();
  const std::function<void()> clears[] = {
      [&] { w.TBCloseAnalyse->click(); },
      [&] { w.TBShowAnalyse->click(); },
      [&] {
        QTest::mouseDClick(w.LPoint1, Qt::LeftButton);
        EXPECT_EQ(Point(0).Marker, nullptr);
        EXPECT_NE(Point(1).Marker, nullptr);
        EXPECT_EQ(w.View().Points().size(), 1u);
        QTest::mouseDClick(w.LPoint2, Qt::LeftButton);
      },
      [&] {
        w.sbZaznam->click();  // a new recording; the panel stays open, empty
        EXPECT_TRUE(rig.RecordUntil(2000));
        w.sbZaznam->click();
      },
      [&] { QTest::keyClick(&w, Qt::Key_Escape); },
      [&] { w.TBErase->click(); },
  };
  for (std::size_t i = 0; i < std::size(clears); ++i) {
    SCOPED_TRACE(i);
    Click(At(1, 0.4));
    Click(At(2, 0.6), Qt::RightButton);
    ASSERT_FALSE(Cleared());
    clears[i]();
    EXPECT_TRUE(Cleared());
    EXPECT_EQ(w.TBarAnalyse->isVisible(), w.TBShowAnalyse->isChecked());
    if (!w.TBShowAnalyse->isChecked()) w.TBShowAnalyse->click();  // shown again, empty
    EXPECT_EQ(Text(w.LPoint1) + Text(w.LPoint2) + Text(w.LPointDif), "");
  }
}

// The spectrum window on CH 1 (a 50 Hz sine) and CH 2 (a square): wiring, the worker
// thread and the texts' sources; the spectrum's numbers are acquisition's tests.
TEST_F(Measurements, SpectrumWindowOpensOnTheMeasuredSpanFollowsTheChannelAndTheScale) {
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(6000));
  w.sbZaznam->click();
  QApplication::processEvents();
  w.TBShowAnalyse->click();
  ASSERT_TRUE(w.TBSpectrum->isVisible());

  w.TBSpectrum->click();
  TSpectrumWindow* s = w.Spectrum();
  ASSERT_NE(s, nullptr);
  s->Settle();
  EXPECT_EQ(s->CbChannel->count(), 2);
  EXPECT_EQ(s->windowTitle(), "Spektrum – CH 1");
  TSampleSpan span;
  ASSERT_TRUE(w.MeasuredSpan(1, span));
  const TSpectrum& sp = s->Plot->Spectrum();
  EXPECT_EQ(sp.Length, span.Count());
  EXPECT_NEAR(sp.PeakFrequency(), 50, sp.BinWidth());
  EXPECT_TRUE(s->LPeak->text().endsWith(" dBFS")) << s->LPeak->text().toStdString();

  s->CbScale->setCurrentIndex(1);
  EXPECT_TRUE(s->LPeak->text().endsWith(" V")) << s->LPeak->text().toStdString();
  s->CbChannel->setCurrentIndex(1);
  s->Settle();
  EXPECT_EQ(s->windowTitle(), "Spektrum – CH 2");
  const QPointF at(s->Plot->width() / 3, s->Plot->height() / 2);  // the cursor reads the plot there
  QMouseEvent move(QEvent::MouseMove, at, s->Plot->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(s->Plot, &move);
  EXPECT_TRUE(s->LCursor->text().endsWith(" V")) << s->LCursor->text().toStdString();

  // A view move reaches the open window; a refresh while one runs waits for it.
  w.StatsTimer->setInterval(0);
  w.TBZoomIn->click();
  QApplication::processEvents();
  s->Refresh();
  s->Settle();
  ASSERT_TRUE(w.MeasuredSpan(2, span));
  EXPECT_EQ(s->Plot->Spectrum().Length, span.Count());
}

// ---- the export command and the clipboard, on loaded records: the chosen span reaches
// the file, the picture is the screen's drawing, the SVG keeps each curve as one path.

constexpr std::uint32_t kRate = 3840;
constexpr double kSecondsPerDay = 86400;

class Export : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.ShowIdentified();
    EXPECT_FALSE(w.TBExport->isEnabled());
    for (int slot : {1, 2}) {
      TDataStore store(slot, 10, 46000.5, 0x07, false, TChannelScale{16, slot == 1 ? 0.f : -8.f, ""});
      for (std::uint32_t i = 0; i < 3 * kRate; ++i)
        store.AddSample(static_cast<std::uint8_t>(128 + 100 * std::sin(i * 0.01 * slot)));
      SaveToFile(store, rig.dir.file("run.ch" + std::to_string(slot)));
      rig.openFiles << QString::fromStdString(rig.dir.file("run.ch" + std::to_string(slot)));
    }
    w.TBCtiSignaly->click();
    QApplication::processEvents();
    ASSERT_EQ(w.GraphData.NumGraphs(), 2u);
    EXPECT_TRUE(w.TBExport->isEnabled());
    start = w.Recorder().Store(1)->Start();
  }

  // Runs the command with the operator's answers; the file's data rows.
  std::vector<std::string> ExportCsv(TExportWhat what) {
    const std::string path = rig.dir.file("out.csv");
    w.MeasuringPoints[0].X = start + 1000.0 / kRate / kSecondsPerDay;  // on samples, as the cross puts them
    w.MeasuringPoints[1].X = start + 2500.0 / kRate / kSecondsPerDay;
    w.View().XAxis(0)->SetRange(start + 1.0 / kSecondsPerDay, start + 2.0 / kSecondsPerDay);
    // The answers outlive this call: a later click may still reach them.
    auto offered = std::make_shared<TExportOffer>();
    rig.exportAsk = [offered, what](QWidget*, const TExportOffer& offer) -> std::optional<TExportChoice> {
      *offered = offer;
      return TExportChoice{what, {true, false, false, false}, offer.ImageSize};
    };
    rig.exportSave = [path](QWidget*) {
      return std::optional<TExportTarget>({QString::fromStdString(path), TExportFormat::CsvComma});
    };
    w.TBExport->click();
    EXPECT_TRUE(offered->PointsSet);
    EXPECT_EQ(offered->Shown, (std::array<bool, 4>{true, true, false, false}));
    return Rows(path);
  }
  // The data rows of an exported file.
  static std::vector<std::string> Rows(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
      if (!line.empty() && line[0] != '#' && line.find('[') == std::string::npos) rows.push_back(line);
    }
    return rows;
  }

  test::MainWindowRig rig;
  TFrmMdl4CH& w = *rig.window;
  TDateTime start = 0;
};

TEST_F(Export, TheChosenSpanReachesTheFileAndTheReadingsTheClipboard) {
  struct Case {
    TExportWhat what;
    std::size_t rows;
    const char* first;  // time of the first row
  };
  for (const Case& c :
       {Case{TExportWhat::Whole, 3 * kRate, "0.00000,"}, Case{TExportWhat::Visible, kRate + 1, "1.00000,"},
        Case{TExportWhat::BetweenPoints, 1501, "0.26042,"}}) {
    const std::vector<std::string> rows = ExportCsv(c.what);
    ASSERT_EQ(rows.size(), c.rows);
    EXPECT_EQ(rows.front().rfind(c.first, 0), 0u) << rows.front();
  }
  EXPECT_TRUE(rig.errors.empty());

  // A folder that cannot be written to: one message naming the file.
  const std::string missing = rig.dir.file("no-such-folder/out.csv");
  rig.exportSave = [&](QWidget*) {
    return std::optional<TExportTarget>({QString::fromStdString(missing), TExportFormat::CsvComma});
  };
  w.TBExport->click();
  ASSERT_EQ(rig.errors.size(), 1u);
  EXPECT_NE(rig.errors[0].find(missing), std::string::npos) << rig.errors[0];

  // The clipboard takes the readings at the points.
  w.CopyReadings();
  const QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);  // the header and CH 1, CH 2
  const QStringList ch2 = lines[2].split('\t');
  ASSERT_EQ(ch2.size(), 9);
  const TDataStore& s = *w.Recorder().Store(2);
  EXPECT_NEAR(ch2[3].toDouble(), RawToValue(s.Samples()[1000], s.Lower(), s.Upper()), 0.01);
  EXPECT_NEAR(ch2[7].toDouble(), 1500.0 / kRate, 1e-6);
}

// The picture is the screen's drawing without fills (what that leaves is graph's axis
// test), with a caption below.
TEST_F(Export, ThePictureIsTheScreensDrawingWithoutFillsAndACaption) {
  TVelaGraph& v = w.View();
  std::optional<bool> fills;
  v.YAxis(0)->OnGetText = [&](TAxis&, std::string& text, double, double) {
    text = "y";
    fills = v.FillBackgrounds();
  };
  w.Graph->repaint();
  const QImage screen =
      dynamic_cast<TQtImage&>(v.ScreenImage()).Image().convertToFormat(QImage::Format_RGB32);
  TGraphPicture picture{screen.size(), w.Graph->logicalDpiY(), {"Osciloskop", "CH 1"}};
  const QImage png = GraphImage(v, picture).convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(fills, std::optional<bool>(false));
  ASSERT_GT(png.height(), screen.height());
  const TRect plot = v.Layout().PlotRect(2, v.ClientRect());  // white on the screen too
  const QRect r(plot.Left, plot.Top, plot.Right - plot.Left, plot.Bottom - plot.Top);
  EXPECT_EQ(png.copy(r), screen.copy(r));
  w.CopyGraphImage();  // the same picture, on the clipboard
  EXPECT_GT(QApplication::clipboard()->image().height(), screen.height());

  const QByteArray svg = GraphSvg(v, picture);
  EXPECT_TRUE(QSvgRenderer(svg).isValid());
  // Each curve one path; Qt writes the pen on a group around each path.
  std::map<QString, int> curves;
  for (int i = 0; i < w.GraphData.SeriesCount(); ++i) {
    const TColor c = w.GraphData.Series(i)->Color();
    ++curves[QColor(GetRValue(c), GetGValue(c), GetBValue(c)).name()];
  }
  for (const auto& [stroke, count] : curves) {
    const QRegularExpression path("<g [^>]*stroke=\"" + stroke + "\"[^>]*>\\s*<path ");
    EXPECT_EQ(QString::fromUtf8(svg).count(path), count) << stroke.toStdString();
  }
}

// An export of a running recording takes what was recorded when it began; the recording
// goes on meanwhile and after it.
TEST_F(Export, WhileRecordingTakesWhatWasThereAndLeavesTheRecordingRunning) {
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(3000));
  EXPECT_TRUE(w.TBExport->isEnabled());
  const std::string path = rig.dir.file("live.csv");
  std::uint32_t atStart = 0;
  rig.exportAsk = [&](QWidget*, const TExportOffer& offer) -> std::optional<TExportChoice> {
    atStart = w.Recorder().Store(1)->Count();
    return TExportChoice{TExportWhat::Whole, {true, false, false, false}, offer.ImageSize};
  };
  rig.exportSave = [&](QWidget*) {
    return std::optional<TExportTarget>({QString::fromStdString(path), TExportFormat::CsvLocal});
  };
  w.TBExport->click();
  ASSERT_TRUE(rig.RecordUntil(atStart + 3000));
  EXPECT_TRUE(w.sbZaznam->isChecked());
  w.sbZaznam->click();
  EXPECT_TRUE(rig.errors.empty());

  EXPECT_EQ(Rows(path).size(), atStart);
}

}  // namespace
}  // namespace osc
