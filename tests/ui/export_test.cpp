// The export command and the clipboard with real widgets, headless, on loaded records:
// the chosen span reaches the file, the picture is the screen's drawing, the SVG keeps
// each curve as one vector path.
#include <gtest/gtest.h>
#include <QClipboard>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QToolButton>
#include <fstream>
#include <map>
#include <memory>
#include <optional>

#include "acquisition/export_csv.h"
#include "acquisition/record_file.h"
#include "acquisition/scaling.h"
#include "graph/axis.h"
#include "graph/qt/graph_widget.h"
#include "graph/series.h"
#include "platform/qt/qt_canvas.h"
#include "support/main_window_rig.h"
#include "ui/export_image.h"

namespace osc {
namespace {

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
