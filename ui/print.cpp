#include "ui/print.h"

#include "ui/white_paper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <exception>

#include "graph/view.h"
#include "platform/errors.h"
#include "platform/qt/qt_canvas.h"

namespace osc {

namespace {

bool ToFile(const QPrinter& printer) {
  return printer.outputFormat() == QPrinter::PdfFormat;
}

std::string Quoted(const QString& s) {
  return "„" + s.toStdString() + "“";
}

std::string JobFailed(const QPrinter& printer) {
  if (!ToFile(printer)) return "Tiskárna " + Quoted(printer.printerName()) + " nepřijala tiskovou úlohu.";
  if (printer.outputFileName().isEmpty()) return "Není zvolen soubor pro tisk do PDF.";
  return "Soubor " + Quoted(printer.outputFileName()) + " nelze zapsat.";
}

// Qt's PDF engine ignores failed writes (a full disk, a size limit): a file it wrote
// completely ends with the end-of-file marker.
bool PdfComplete(const QPrinter& printer) {
  if (!ToFile(printer)) return true;
  const QFileInfo info(printer.outputFileName());
  if (!info.isFile()) return info.exists();  // a device or a pipe cannot be read back
  QFile file(info.filePath());
  if (!file.open(QIODevice::ReadOnly) || file.size() < 6) return false;
  file.seek(std::max<qint64>(0, file.size() - 32));
  return file.readAll().contains("%%EOF");
}

void DiscardPdf(const QPrinter& printer) {
  if (!ToFile(printer)) return;
  const QFileInfo info(printer.outputFileName());
  if (info.isFile()) QFile::remove(info.filePath());
}

void DrawPage(TVelaGraph& view, QPainter& painter, const TRect& page) {
  TWhitePaper white(view);
  // The layout scales by page size over control size; a collapsed control has nothing
  // to scale and leaves the page blank.
  const TSize control = view.ClientSize();
  if (control.cx <= 0 || control.cy <= 0) return;
  TQtCanvas canvas(painter, painter.device()->logicalDpiY());
  view.DrawTo(canvas, page);
}

// A file name for printing to PDF: the job's title without the characters that common
// file systems refuse, in the folder used last (the home folder at first).
QString SuggestedPdfName(const QPrinter& printer, const std::string& title) {
  QString stem = QString::fromStdString(title);
  for (QChar& c : stem) {
    if (QStringLiteral("/\\:*?\"<>|").contains(c)) c = u'-';
  }
  QString folder = QDir::homePath();
  if (!printer.outputFileName().isEmpty()) {
    const QFileInfo last(printer.outputFileName());
    if (last.dir().exists()) folder = last.absolutePath();
  }
  return QDir(folder).filePath(stem + QStringLiteral(".pdf"));
}

bool RunPrintDialog(QPrinter& printer, QWidget* parent) {
  QPrintDialog dialog(&printer, parent);
  // The graph is one page: no page ranges, selections or collation to offer.
  dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
  return dialog.exec() == QDialog::Accepted;
}

void ShowErrorBox(QWidget* parent, const QString& message) {
  QMessageBox::critical(parent, QGuiApplication::applicationDisplayName(), message);
}

}  // namespace

std::string PrintJobTitle(std::optional<TDateTime> recordingStart) {
  std::string title = "Osciloskop";
  if (recordingStart) title += " " + FormatDateTime("yyyy'-'mm'-'dd hh':'nn':'ss", *recordingStart);
  return title;
}

void PrintGraph(TVelaGraph& view, QPrinter& printer, const std::string& title) {
  printer.setDocName(QString::fromStdString(title));
  QPainter painter;
  if (!painter.begin(&printer)) throw Exception(JobFailed(printer));
  try {
    DrawPage(view, painter, TRect{0, 0, printer.width(), printer.height()});
  } catch (...) {
    printer.abort();  // withdraws the job where the print engine can
    painter.end();
    DiscardPdf(printer);
    throw;
  }
  const bool ended = painter.end();
  if (!ended || printer.printerState() == QPrinter::Error || !PdfComplete(printer)) {
    DiscardPdf(printer);
    throw Exception(JobFailed(printer));
  }
}

TPrintUi DefaultPrintUi() {
  return TPrintUi{RunPrintDialog, ShowErrorBox};
}

bool PrintWithDialog(TVelaGraph& view, QPrinter& printer, QWidget* parent,
                     std::optional<TDateTime> recordingStart, const TPrintUi& ui) {
  const std::string title = PrintJobTitle(recordingStart);
  printer.setDocName(QString::fromStdString(title));
  // Without an installed printer Qt prints to PDF, and its dialog would propose no file
  // (or, on X11, one named after the job that may lie in a missing folder).
  if (ToFile(printer)) printer.setOutputFileName(SuggestedPdfName(printer, title));
  if (!ui.SetupPrinter(printer, parent)) return false;
  try {
    PrintGraph(view, printer, title);
    return true;
  } catch (const std::exception& e) {
    if (ui.ShowError) ui.ShowError(parent, QString::fromUtf8(e.what()));
  }
  return false;
}

}  // namespace osc
