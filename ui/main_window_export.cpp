// The window's way out for data: the export command (CSV, PNG, SVG) and the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QShortcut>
#include <QToolButton>
#include <algorithm>

#include "acquisition/export_csv.h"
#include "acquisition/measurement_text.h"
#include "graph/axis.h"
#include "graph/qt/graph_widget.h"
#include "graph/series.h"
#include "platform/errors.h"
#include "platform/locale/locale.h"
#include "ui/app_error.h"
#include "ui/export_image.h"
#include "ui/main_window.h"
#include "ui/span_stats_table.h"

namespace osc {
namespace {

// A record made by this window is named after its slot; a loaded one after its file.
bool Recorded(const TDataStore& s) {
  return s.Name() == Format("CH %d", {int{s.Header().Slot}});
}

// An operator's command: its error goes to the application's error box.
template <class F>
void Guarded(QWidget* window, F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    ShowApplicationError(e, window);
  }
}

std::string RangeText(const TDataStore& s) {
  return Format("CH %d: %.2f až %.2f %s", {int{s.Header().Slot}, s.Lower(), s.Upper(), s.UnitText()});
}

}  // namespace

void TFrmMdl4CH::ConnectExport() {
  connect(TBExport, &QToolButton::clicked, this, [this] { Guarded(this, [this] { TBExportClick(); }); });
  // Ctrl+E is the menu's (one owner per key, or Qt fires neither).
  const std::pair<QKeySequence, std::function<void()>> keys[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_C), [this] { Guarded(this, [this] { CopyReadings(); }); }},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
       [this] { Guarded(this, [this] { CopyGraphImage(); }); }},
  };
  for (const auto& [key, action] : keys) {
    auto* shortcut = new QShortcut(key, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, action);
  }
  TBExport->setEnabled(false);
}

void TFrmMdl4CH::TakeRecordingNotes() {
  recordingNotes_ = {"vstupní rozsah: " + cbVstup->currentText().toStdString(),
                     "polarita: " + cbPolarity->currentText().toStdString(),
                     "zesílení: " + cbGain->currentText().toStdString(),
                     std::string("model: ") + (FourChannelModel() ? "4-kanál 10 bitů" : "2-kanál 10 bitů")};
}

namespace {

// What the caption under an exported graph says: start, channels, points.
std::vector<std::string> Caption(TFrmMdl4CH& w) {
  std::vector<std::string> lines;
  std::string channels;
  for (const auto& s : w.Recorder().Stores()) {
    if (!s) continue;
    if (lines.empty())
      lines.push_back("Osciloskop, záznam z " + FormatDateTime("yyyy'-'mm'-'dd hh':'nn':'ss", s->Start()));
    channels += (channels.empty() ? "" : "      ") + RangeText(*s);
  }
  if (!channels.empty()) lines.push_back(channels);
  const auto& p0 = w.MeasuringPoints[0];
  const auto& p1 = w.MeasuringPoints[1];
  if (p0.X != 0 || p1.X != 0) {
    std::string points;
    if (p0.X != 0) points += "1: " + w.ValueText(p0.X, p0.Y, p0.Slot);
    if (p1.X != 0)
      points += (points.empty() ? "" : "      ") + std::string("2: ") + w.ValueText(p1.X, p1.Y, p1.Slot);
    lines.push_back(points);
    const std::string dif = PointDifText(p0.X, p0.Y, p1.X, p1.Y, UnitText(w.Recorder().Store(p0.Slot + 1)));
    if (!dif.empty()) lines.push_back(dif);
  }
  return lines;
}

// The graph at the screen's pixel ratio, or at a size of its own: text then keeps the
// screen's size and more ticks fit.
TGraphPicture Picture(TFrmMdl4CH& w, QSize size) {
  const qreal ratio = w.Graph->devicePixelRatio();
  const QSize screen = w.Graph->size() * ratio;
  TGraphPicture picture;
  picture.Size = size.isValid() ? size : screen;
  picture.Resolution = static_cast<int>(w.Graph->logicalDpiY() * (picture.Size == screen ? ratio : 1.0));
  picture.Caption = Caption(w);
  return picture;
}

}  // namespace

void TFrmMdl4CH::TBExportClick() {
  if (GraphData.SeriesCount() == 0) return;
  const TSlotStores& stores = recorder_->Stores();
  TExportOffer offer;
  for (int i = 0; i < 4; ++i)
    offer.Available[i] = stores[i] != nullptr;
  for (int i = 0; i < GraphData.SeriesCount(); ++i) {
    const int tag = GraphData.Series(i)->Tag();
    if (tag >= 0 && tag < 4) offer.Shown[tag] = true;
  }
  offer.PointsSet = MeasuringPoints[0].X != 0 && MeasuringPoints[1].X != 0;
  offer.ImageSize = Graph->size() * Graph->devicePixelRatio();
  const std::optional<TExportChoice> choice = ui_.Export.Ask(this, offer);
  if (!choice) return;
  const std::optional<TExportTarget> target = ui_.Export.SaveFile(this);
  if (!target || target->Path.isEmpty()) return;
  const std::string path = target->Path.toStdString();

  if (target->Format == TExportFormat::Png || target->Format == TExportFormat::Svg) {
    const TGraphPicture picture = Picture(*this, choice->ImageSize);
    if (target->Format == TExportFormat::Png) {
      SaveGraphPng(View(), picture, path);
    } else {
      SaveGraphSvg(View(), picture, path);
    }
    return;
  }

  std::vector<TExportChannel> channels;
  bool allRecorded = true;
  for (int i = 0; i < 4; ++i) {
    const TDataStore* s = stores[i].get();
    if (s == nullptr || !choice->Channels[i]) continue;
    TSampleSpan span{0, s->Count()};
    if (choice->What == TExportWhat::BetweenPoints) {
      span = SpanOfTimes(s->Start(), s->Rate(), s->Count(), MeasuringPoints[0].X, MeasuringPoints[1].X);
    } else if (choice->What == TExportWhat::Visible) {
      TAxis* x = View().XAxis(0);
      for (int k = 0; k < GraphData.SeriesCount(); ++k) {
        if (GraphData.Series(k)->Tag() == i)
          x = View().XAxis(static_cast<int>(GraphData.Series(k)->GraphNumber()) - 1);
      }
      if (x != nullptr) span = SpanOfTimes(s->Start(), s->Rate(), s->Count(), x->Left(), x->Right());
    }
    channels.push_back(StoreChannel(*s, span));
    if (!Recorded(*s)) channels.back().Source = s->Name();
    allRecorded = allRecorded && Recorded(*s);
  }
  if (channels.empty()) throw Exception("Není vybrán žádný kanál.");

  // The header line counts too.
  const std::uint64_t rows = CsvRowCount(channels);
  if (target->Format == TExportFormat::CsvLocal && rows >= kSpreadsheetRows && ui_.Export.ConfirmLong &&
      !ui_.Export.ConfirmLong(this, rows)) {
    return;
  }
  TExportOptions options;
  options.Dialect = target->Format == TExportFormat::CsvLocal ? LocalCsv() : CommaCsv();
  if (allRecorded) options.Notes = recordingNotes_;
  // Exports longer than half a second show their progress and can be cancelled; the
  // dialog's event processing keeps the window and a running recording going.
  QProgressDialog progress("Export dat…", "Storno", 0, 1000, this);
  progress.setWindowTitle("Export záznamu");
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  progress.setAutoReset(false);
  progress.setValue(0);
  options.Progress = [&progress](std::uint64_t done, std::uint64_t total) {
    progress.setValue(total == 0 ? 1000 : static_cast<int>(done * 1000 / total));
    return !progress.wasCanceled();
  };
  try {
    ExportCsvFile(channels, options, path);
  } catch (const EExportCancelled&) {
    // The operator knows; the old file is as it was.
  }
}

void TFrmMdl4CH::CopyReadings() {
  std::vector<TReadingChannel> channels;
  for (int i = 0; i < GraphData.SeriesCount(); ++i) {
    const int tag = GraphData.Series(i)->Tag();
    if (tag >= 0 && tag < 4 && recorder_->Store(tag + 1) != nullptr)
      channels.push_back({Format("CH %d", {tag + 1}), recorder_->Store(tag + 1)});
  }
  std::sort(channels.begin(), channels.end(), [](const auto& a, const auto& b) { return a.Name < b.Name; });
  std::string text = ReadingsTsv(channels, MeasuringPoints[0].X, MeasuringPoints[1].X);
  // The statistics under the readings go along: one paste brings the whole panel.
  if (StatsTable != nullptr && StatsTable->isVisibleTo(this) && StatsTable->rowCount() > 0)
    text += (text.empty() ? "" : "\n") + StatsTable->CopyText().toStdString();
  if (text.empty()) {
    Beep();
    return;
  }
  QApplication::clipboard()->setText(QString::fromStdString(text));
}

void TFrmMdl4CH::CopyGraphImage() {
  if (GraphData.SeriesCount() == 0) return;
  QApplication::clipboard()->setImage(GraphImage(View(), Picture(*this, QSize())));
}

}  // namespace osc
