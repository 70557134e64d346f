// Printing the graph through Qt's PDF printer, read back as a viewer shows the page.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graph/graph_data.h"
#include "graph/qt/graph_widget.h"
#include "graph/series.h"
#include "pdf_page.h"
#include "platform/errors.h"
#include "platform/qt/qt_canvas.h"
#include "support/format_scope.h"
#include "support/temp_dir.h"
#include "ui/print.h"

using namespace osc;
using namespace osc::test;

namespace {

// Fills in a colour that no line or text has, so a fill on the page cannot hide.
constexpr TColor kFill = RGB(255, 0, 255);
// What is drawn.
constexpr TColor kAxis = RGB(0, 100, 0);
constexpr TColor kText = RGB(0, 0, 128);
constexpr TColor kGrid = RGB(160, 160, 160);
constexpr TColor kTrace = RGB(200, 0, 0);
constexpr TColor kCross = RGB(0, 200, 0);

bool Near(TColor a, TColor b) {
  return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= 2 &&
         std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= 2 &&
         std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= 2;
}

constexpr TColor kOther = 0x01000000;  // no colour: any not listed

// How many pixels of `image` have each of `inks` (or none of them: kOther).
std::map<TColor, int> CountInks(const QImage& image, const std::vector<TColor>& inks) {
  std::map<TColor, int> count;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const TColor c = FromQRgb(image.pixel(x, y));
      const auto ink = std::find_if(inks.begin(), inks.end(), [c](TColor i) { return Near(c, i); });
      ++count[ink == inks.end() ? kOther : *ink];
    }
  }
  return count;
}

void Send(QWidget& w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(p), QPointF(w.mapToGlobal(p)), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &e);
}

// A graph widget of 700 x 325 in a window, a PDF printer with a 4800 x 6600 page at
// 600 dpi, and sentinel fills.
class PrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PopplerAvailable()) GTEST_SKIP() << "reading pages back needs pdfinfo and pdftoppm (poppler-utils)";
    window.resize(800, 400);
    widget.resize(700, 325);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setResolution(600);  // a page of 4800 x 6600 printable pixels
    printer.setPageSize(QPageSize(QSizeF(8, 11), QPageSize::Inch));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0));
    TVelaGraphColors& c = view().Colors();
    c.SetBackground(kFill);
    c.SetYAxisBackground(kFill);
    c.SetXAxisBackground(kFill);
    c.SetGraphBackground(kFill);
    c.SetTitleBar(kFill);
    c.SetXAxis(kAxis);
    c.SetYAxis(kAxis);
    c.SetGrid(kGrid);
    c.SetXAxisLabels(kText);
    c.SetYAxisLabels(kText);
    c.SetCross(kCross);
    TFont font = view().Font();
    font.Color = kText;
    view().SetFont(font);
  }

  TVelaGraph& view() { return widget.View(); }

  // n graphs with one sine trace each, 1000 samples over X 0..999.
  void UseGraphs(int n) {
    for (int g = 1; g <= n; ++g) {
      auto s = std::make_unique<TBaseEquiDistantSeries>();
      s->SetGraphNumber(static_cast<std::uint32_t>(g));
      s->SetCount(1000);
      s->SetColor(kTrace);
      s->SetTitle("CH " + std::to_string(g));
      s->OnGetValue = [g](TVelaSeries&, int i, double& v) { v = g * std::sin(i / 50.0); };
      data.AddSeries(s.get());
      series.push_back(std::move(s));
    }
    view().SetGraphData(&data);
  }

  QImage Grab() { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }
  const QImage& ScreenImage() { return static_cast<TQtImage&>(view().ScreenImage()).Image(); }
  TRect Control() { return view().ClientRect(); }

  // The print command with a dialog the operator confirms, collecting the messages shown.
  bool PrintCommand() {
    TPrintUi ui;
    ui.SetupPrinter = [&](QPrinter& p, QWidget*) {
      p.setOutputFileName(QString::fromStdString(pdf));
      return true;
    };
    ui.ShowError = [&](QWidget*, const QString& m) { errors.push_back(m.toStdString()); };
    return PrintWithDialog(view(), printer, &widget, std::nullopt, ui);
  }

  TempDir dir;
  std::string pdf = dir.file("page.pdf");
  TVelaGraphData data;
  std::vector<std::unique_ptr<TBaseEquiDistantSeries>> series;
  QWidget window;
  TVelaGraphWidget widget{&window};
  QPrinter printer{QPrinter::HighResolution};
  std::vector<std::string> errors;
};

}  // namespace

// The page holds lines and text on white, nothing else: no filled strip, title bar or
// plot, no cross and no zoom rectangle, though the screen shows both. The screen stays
// as it was, bit for bit, and nothing has to be rendered again.
TEST_F(PrintTest, PaperStaysWhiteAndTheScreenUntouched) {
  UseGraphs(2);
  const TRect plot = view().Layout().PlotRect(2, Control());
  Send(widget, QEvent::MouseMove, QPoint(plot.Left + 100, plot.Top + 20), Qt::NoButton, Qt::NoButton);
  ASSERT_NE(view().CrossGraph(), 0u);
  view().SetMode(gmZoom);
  Send(widget, QEvent::MouseButtonPress, QPoint(plot.Left + 50, plot.Top + 10), Qt::LeftButton,
       Qt::LeftButton);
  Send(widget, QEvent::MouseMove, QPoint(plot.Left + 200, plot.Top + 40), Qt::NoButton, Qt::LeftButton);
  ASSERT_EQ(view().DragState(), 6);
  const QImage shown = Grab();
  const QImage screen = ScreenImage().copy();
  ASSERT_FALSE(view().ImageDirty());

  PrintGraph(view(), printer, "Osciloskop");

  EXPECT_TRUE(view().FillBackgrounds());
  EXPECT_FALSE(view().ImageDirty());
  EXPECT_EQ(ScreenImage(), screen);
  EXPECT_EQ(Grab(), shown);

  const QImage page = RenderPdfPage(pdf, 100);
  ASSERT_FALSE(page.isNull());
  std::map<TColor, int> inks = CountInks(page, {clWhite, kAxis, kText, kGrid, kTrace});
  EXPECT_EQ(inks[kOther], 0);
  for (TColor ink : {kAxis, kText, kGrid, kTrace})
    EXPECT_GT(inks[ink], 0) << std::hex << ink;
}

// ---- failures of the printing service ------------------------------------------------

namespace {

// Writes to regular files fail beyond `bytes` while alive (as on a full disk).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit saved_{};
  sighandler_t oldHandler_;
};

}  // namespace

// Each failure is reported once, leaves the view as it was and no file behind; the
// printer takes the next job.
TEST_F(PrintTest, AFailureIsReportedOnceAndTheNextJobPrints) {
  UseGraphs(2);
  Grab();
  const std::string good = pdf;
  const struct {
    const char* what;
    std::function<void()> failing;
    bool full;
  } cases[] = {
      {"a file that cannot be opened", [&] { pdf = dir.file("missing/page.pdf"); }, false},
      {"a file cut short", [] {}, true},
      {"drawing fails half way",
       [&] {
         view().YAxis(1)->OnGetText = [](TAxis&, std::string&, double, double) { throw Exception("label"); };
       },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    errors.clear();
    c.failing();
    {
      std::optional<FileSizeLimit> limit;
      if (c.full) limit.emplace(2048);
      EXPECT_FALSE(PrintCommand());
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0] == "label" || errors[0].find(pdf) != std::string::npos) << errors[0];
    EXPECT_TRUE(view().FillBackgrounds());
    EXPECT_FALSE(view().ImageDirty());
    EXPECT_NE(printer.printerState(), QPrinter::Active);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf)));
    pdf = good;
    view().YAxis(1)->OnGetText = nullptr;
    errors.clear();
    EXPECT_TRUE(PrintCommand());
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(PdfInfo(pdf, "Pages"), "1");
    QFile::remove(QString::fromStdString(pdf));
  }
}

// ---- the platform's dialog without a printer ---------------------------------------

namespace {

// Answers the print dialog once it is up, from the dialog's own event loop.
void AnswerPrintDialog(QObject* context, bool confirm, int triesLeft = 100) {
  QTimer::singleShot(0, context, [=] {
    if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
      confirm ? dialog->accept() : dialog->reject();
    } else if (triesLeft > 0) {
      AnswerPrintDialog(context, confirm, triesLeft - 1);
    }
  });
}

}  // namespace

// Without an installed printer, Qt prints to PDF: the dialog proposes a file named after
// the job, the recording's start whatever the locale, in the folder used last. Cancelled,
// it prints nothing; confirmed, it writes the page there.
TEST_F(PrintTest, PrintDialogWithoutPrinterWritesAPdfFileNamedAfterTheRecording) {
  QPrinter fresh(QPrinter::HighResolution);
  if (fresh.outputFormat() != QPrinter::PdfFormat) GTEST_SKIP() << "a printer is installed here";
  test::FormatScope local;
  local->DateSeparator = '/';
  local->TimeSeparator = '.';
  UseGraphs(1);
  Grab();
  fresh.setOutputFileName(QString::fromStdString(dir.file("earlier.pdf")));
  TPrintUi ui = DefaultPrintUi();
  ui.ShowError = [&](QWidget*, const QString& m) { errors.push_back(m.toStdString()); };
  const TDateTime start = EncodeDateTime(2024, 3, 12, 14, 5, 33, 0);
  const QString expected =
      QDir(QString::fromStdString(dir.path())).filePath("Osciloskop 2024-03-12 14-05-33.pdf");

  AnswerPrintDialog(&widget, false);
  EXPECT_FALSE(PrintWithDialog(view(), fresh, &widget, start, ui));
  EXPECT_FALSE(QFile::exists(expected));
  EXPECT_FALSE(view().ImageDirty());
  AnswerPrintDialog(&widget, true);
  EXPECT_TRUE(PrintWithDialog(view(), fresh, &widget, start, ui));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(fresh.outputFileName(), expected);
  EXPECT_EQ(PdfInfo(expected.toStdString(), "Title"), "Osciloskop 2024-03-12 14:05:33");
  EXPECT_TRUE(view().FillBackgrounds());
}
