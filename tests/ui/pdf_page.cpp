#include "pdf_page.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace osc::test {

namespace {

constexpr int kToolTimeoutMs = 60000;

// Runs a tool to its end; false when it could not run or failed.
bool Run(const QString& tool, const QStringList& args, QByteArray* output = nullptr) {
  QProcess process;
  process.start(tool, args);
  if (!process.waitForFinished(kToolTimeoutMs) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    return false;
  }
  if (output != nullptr) *output = process.readAllStandardOutput();
  return true;
}

}  // namespace

bool PopplerAvailable() {
  return !QStandardPaths::findExecutable("pdfinfo").isEmpty();
}

std::string PdfInfo(const std::string& pdf, const std::string& key) {
  QByteArray out;
  if (!Run("pdfinfo", {"-enc", "UTF-8", QString::fromStdString(pdf)}, &out)) return {};
  const QByteArray prefix = QByteArray::fromStdString(key) + ':';
  for (const QByteArray& line : out.split('\n')) {
    if (line.startsWith(prefix)) return line.mid(prefix.size()).trimmed().toStdString();
  }
  return {};
}

}  // namespace osc::test
