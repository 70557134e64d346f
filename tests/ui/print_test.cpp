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

// Rows of `image` from `from` on that hold a pixel other than `background`: the first
// and the last, or (-1, -1).
std::pair<int, int> InkRows(const QImage& image, int from, TColor background) {
  std::pair<int, int> rows{-1, -1};
  for (int y = std::max(0, from); y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (Near(FromQRgb(image.pixel(x, y)), background)) continue;
      if (rows.first < 0) rows.first = y;
      rows.second = y;
      break;
    }
  }
  return rows;
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
  TRect Page() const { return TRect{0, 0, printer.width(), printer.height()}; }
  TRect Control() { return view().ClientRect(); }

  // The print command with a dialog the operator confirms (or cancels), collecting
  // the messages shown.
  bool PrintCommand(bool confirm = true, std::optional<TDateTime> start = std::nullopt) {
    TPrintUi ui;
    ui.SetupPrinter = [&](QPrinter& p, QWidget*) {
      ++dialogs;
      if (confirm) p.setOutputFileName(QString::fromStdString(pdf));
      return confirm;
    };
    ui.ShowError = [&](QWidget*, const QString& m) { errors.push_back(m.toStdString()); };
    return PrintWithDialog(view(), printer, &widget, start, ui);
  }

  TempDir dir;
  std::string pdf = dir.file("page.pdf");
  TVelaGraphData data;
  std::vector<std::unique_ptr<TBaseEquiDistantSeries>> series;
  QWidget window;
  TVelaGraphWidget widget{&window};
  QPrinter printer{QPrinter::HighResolution};
  int dialogs = 0;
  std::vector<std::string> errors;
};

}  // namespace

// Labels keep the control's point size, so they are as tall on paper as on the screen: in
// pixels by the ratio of the resolutions. How each strip stretches to a page is graph's
// layout test.
TEST_F(PrintTest, TextKeepsItsPhysicalSize) {
  UseGraphs(1);
  PrintGraph(view(), printer, "Osciloskop");
  const int labelTop = 2 + static_cast<int>(view().GlobalXAxis().MajorTicksLength());
  const TRect onScreen = view().Layout().XAxisRect(1, Control());
  const auto screenRows = InkRows(Grab().copy(onScreen.Left, onScreen.Top, onScreen.Right - onScreen.Left - 1,
                                              onScreen.Bottom - onScreen.Top),
                                  labelTop, kFill);
  const TRect onPage = view().Layout().XAxisRect(1, Page());
  const auto pageRows = InkRows(RenderPdfPage(pdf, 600,
                                              QRect(onPage.Left, onPage.Top, onPage.Right - onPage.Left - 1,
                                                    onPage.Bottom - onPage.Top)),
                                labelTop, clWhite);
  ASSERT_GE(screenRows.first, 0);
  ASSERT_GE(pageRows.first, 0);
  const double screenHeight = screenRows.second - screenRows.first + 1;
  const double pageHeight = pageRows.second - pageRows.first + 1;
  const double expected = 600.0 / widget.logicalDpiY();
  EXPECT_NEAR(pageHeight / screenHeight, expected, expected * 0.15)
      << "label height " << screenHeight << " px on screen, " << pageHeight << " px on paper";
}

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

// The title names the recording's start whatever the locale: it is also a file name stem.
TEST_F(PrintTest, ACancelledDialogPrintsNothingAConfirmedOneAPageNamedAfterTheRecording) {
  test::FormatScope local;
  local->DateSeparator = '/';
  local->TimeSeparator = '.';
  local->ShortDateFormat = "m/d/yy";
  UseGraphs(1);
  Grab();
  EXPECT_FALSE(PrintCommand(false));
  EXPECT_EQ(dialogs, 1);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf)));
  EXPECT_FALSE(view().ImageDirty());
  EXPECT_TRUE(PrintCommand(true, EncodeDateTime(2024, 3, 12, 14, 5, 33, 0)));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(PdfInfo(pdf, "Pages"), "1");
  EXPECT_EQ(PdfInfo(pdf, "Title"), "Osciloskop 2024-03-12 14:05:33");
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
void ConfirmPrintDialog(QObject* context, int triesLeft = 100) {
  QTimer::singleShot(0, context, [=] {
    if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
      dialog->accept();
    } else if (triesLeft > 0) {
      ConfirmPrintDialog(context, triesLeft - 1);
    }
  });
}

}  // namespace

// Without an installed printer, Qt prints to PDF: the dialog proposes a file named after
// the job in the folder used last, and confirming it writes the page there.
TEST_F(PrintTest, PrintDialogWithoutPrinterWritesAPdfFile) {
  QPrinter fresh(QPrinter::HighResolution);
  if (fresh.outputFormat() != QPrinter::PdfFormat) GTEST_SKIP() << "a printer is installed here";
  UseGraphs(1);
  fresh.setOutputFileName(QString::fromStdString(dir.file("earlier.pdf")));
  TPrintUi ui = DefaultPrintUi();
  ui.ShowError = [&](QWidget*, const QString& m) { errors.push_back(m.toStdString()); };
  ConfirmPrintDialog(&widget);
  EXPECT_TRUE(PrintWithDialog(view(), fresh, &widget, EncodeDateTime(2024, 3, 12, 14, 5, 33, 0), ui));
  EXPECT_TRUE(errors.empty());
  const QString expected =
      QDir(QString::fromStdString(dir.path())).filePath("Osciloskop 2024-03-12 14-05-33.pdf");
  EXPECT_EQ(fresh.outputFileName(), expected);
  EXPECT_EQ(PdfInfo(expected.toStdString(), "Pages"), "1");
  EXPECT_TRUE(view().FillBackgrounds());
}
