// Printing the graph through Qt's PDF printer, read back as a viewer reads the file.
#include "ui/print.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graph/graph_data.h"
#include "graph/qt/graph_widget.h"
#include "graph/series.h"
#include "platform/errors.h"
#include "support/format_scope.h"
#include "support/temp_dir.h"

using namespace osc;
using namespace osc::test;

namespace {

// Writes to regular files fail beyond 2 KiB while alive, as on a full disk.
struct FullDisk {
  rlimit saved{};
  sighandler_t handler = signal(SIGXFSZ, SIG_IGN);
  FullDisk() {
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit{2048, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FullDisk() {
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, handler);
  }
};

// One line of pdfinfo's report ("Pages", "Title"): the file as a viewer reads it.
std::string PdfInfo(const std::string& pdf, const std::string& key) {
  QProcess pdfinfo;
  pdfinfo.start("pdfinfo", {"-enc", "UTF-8", QString::fromStdString(pdf)});
  if (!pdfinfo.waitForFinished(60000) || pdfinfo.exitCode() != 0) return {};
  const QByteArray prefix = QByteArray::fromStdString(key) + ':';
  for (const QByteArray& line : pdfinfo.readAllStandardOutput().split('\n')) {
    if (line.startsWith(prefix)) return line.mid(prefix.size()).trimmed().toStdString();
  }
  return {};
}

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

// A graph widget of 700 x 325 in a window with two graphs of a sine each, and a PDF
// printer.
class PrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty())
      GTEST_SKIP() << "reading pages back needs pdfinfo (poppler-utils)";
    window.resize(800, 400);
    widget.resize(700, 325);
    printer.setOutputFormat(QPrinter::PdfFormat);
    for (int g = 1; g <= 2; ++g) {
      auto s = std::make_unique<TBaseEquiDistantSeries>();
      s->SetGraphNumber(static_cast<std::uint32_t>(g));
      s->SetCount(1000);
      s->OnGetValue = [g](TVelaSeries&, int i, double& v) { v = g * std::sin(i / 50.0); };
      data.AddSeries(s.get());
      series.push_back(std::move(s));
    }
    view().SetGraphData(&data);
  }

  TVelaGraph& view() { return widget.View(); }
  QImage Grab() { return widget.grab().toImage(); }

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

// The page is the view drawn without fills (what that leaves on paper is graph's axis
// test); the screen stays as it was, bit for bit, with nothing to render again.
TEST_F(PrintTest, ThePageIsDrawnWithoutFillsAndTheScreenStaysAsItWas) {
  std::optional<bool> fills;
  view().YAxis(0)->OnGetText = [&](TAxis&, std::string& text, double, double) {
    text = "y";
    fills = view().FillBackgrounds();
  };
  const QImage shown = Grab();
  EXPECT_TRUE(PrintCommand());
  EXPECT_EQ(fills, std::optional<bool>(false));
  EXPECT_TRUE(view().FillBackgrounds());
  EXPECT_FALSE(view().ImageDirty());
  EXPECT_EQ(Grab(), shown);
  EXPECT_EQ(PdfInfo(pdf, "Pages"), "1");
}

// Each failure is reported once, leaves the view as it was and no file behind; the
// printer takes the next job.
TEST_F(PrintTest, AFailureIsReportedOnceAndTheNextJobPrints) {
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
      std::optional<FullDisk> full;
      if (c.full) full.emplace();
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

// Without an installed printer, Qt prints to PDF: the dialog proposes a file named after
// the job, the recording's start whatever the locale, in the folder used last. Cancelled,
// it prints nothing; confirmed, it writes the page there.
TEST_F(PrintTest, PrintDialogWithoutPrinterWritesAPdfFileNamedAfterTheRecording) {
  QPrinter fresh(QPrinter::HighResolution);
  if (fresh.outputFormat() != QPrinter::PdfFormat) GTEST_SKIP() << "a printer is installed here";
  test::FormatScope local;
  local->DateSeparator = '/';
  local->TimeSeparator = '.';
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
  AnswerPrintDialog(&widget, true);
  EXPECT_TRUE(PrintWithDialog(view(), fresh, &widget, start, ui));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(fresh.outputFileName(), expected);
  EXPECT_EQ(PdfInfo(expected.toStdString(), "Title"), "Osciloskop 2024-03-12 14:05:33");
}
