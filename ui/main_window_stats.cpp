// Statistics of the measured span in a table under the analysis panel's readings, and
// the spectrum window over the same span. The statistics run on the window's thread:
// one 40-minute channel takes a few milliseconds, and view moves and the recording's
// tick are throttled to one computation per StatsTimer interval.
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "acquisition/data_store.h"
#include "acquisition/measurement_text.h"
#include "graph/axis.h"
#include "graph/series.h"
#include "ui/fourier_window.h"
#include "ui/main_window.h"
#include "ui/span_stats_table.h"

namespace osc {

namespace {

constexpr int kStatsIntervalMs = 150;

}  // namespace

void TFrmMdl4CH::buildStatsBar() {
  TBarStats = new QToolBar("Statistika úseku", this);
  TBarStats->setObjectName("TBarStats");
  // A line of its own under the panel's readings.
  insertToolBar(TBarAnalyse, TBarStats);
  insertToolBarBreak(TBarAnalyse);
  StatsTable = new TSpanStatsTable(TBarStats);
  StatsTable->setObjectName("StatsTable");
  TBarStats->addWidget(StatsTable);
  TBSpectrum = new QToolButton(TBarStats);
  TBSpectrum->setObjectName("TBSpectrum");
  TBSpectrum->setText("Spektrum…");
  TBSpectrum->setToolTip("Spektrum zvoleného kanálu ve stejném úseku");
  TBSpectrum->setToolButtonStyle(Qt::ToolButtonTextOnly);
  TBarStats->addWidget(TBSpectrum);
  TBarStats->hide();
  StatsTimer = new QTimer(this);
  StatsTimer->setSingleShot(true);
  StatsTimer->setInterval(kStatsIntervalMs);
}

void TFrmMdl4CH::ConnectSpanStats() {
  connect(StatsTimer, &QTimer::timeout, this, [this] { UpdateSpanStats(); });
  connect(MainTimer, &QTimer::timeout, this, [this] { ScheduleSpanStats(); });
  connect(TBSpectrum, &QToolButton::clicked, this, [this] { TBSpectrumClick(); });
}

bool TFrmMdl4CH::MeasuredSpan(int slot, TSampleSpan& span) {
  const TDataStore* store = recorder_->Store(slot);
  if (store == nullptr) return false;
  const TMeasuringPoint& p0 = MeasuringPoints[0];
  const TMeasuringPoint& p1 = MeasuringPoints[1];
  double x0 = store->Start(), x1 = store->Start() + store->Duration();
  if (p0.X != 0 && p1.X != 0) {
    x0 = p0.X;
    x1 = p1.X;
  } else {
    for (int i = 0; i < GraphData.SeriesCount(); ++i) {
      const TVelaSeries* s = GraphData.Series(i);
      if (s == nullptr || s->Tag() != slot - 1) continue;
      if (const TAxis* axis = View().XAxis(static_cast<int>(s->GraphNumber()) - 1)) {
        x0 = axis->Left();
        x1 = axis->Right();
      }
      break;
    }
  }
  span = SpanOfTimes(store->Start(), store->Rate(), store->Count(), x0, x1);
  return true;
}

void TFrmMdl4CH::UpdateSpanStats() {
  StatsTimer->stop();
  if (spectrum_ && spectrum_->isVisible()) {
    spectrum_->SetChannels(SpectrumChannels());
    spectrum_->Refresh();
  }
  if (!TBShowAnalyse->isChecked()) return;
  std::vector<TSpanStatsTable::Row> rows;
  for (int slot = 1; slot <= 4; ++slot) {
    TSampleSpan span;
    if (!MeasuredSpan(slot, span)) continue;
    const TDataStore& store = *recorder_->Store(slot);
    const TSpanStats stats =
        SpanStats({store.Samples() + span.First, span.Count()}, store.Rate(), store.Lower(), store.Upper());
    rows.push_back({SpanStatsRow(store.Name(), stats, store.UnitText(), store.Lower(), store.Upper()),
                    SpanStatsRowHint(stats)});
  }
  StatsTable->SetRows(rows);
}

void TFrmMdl4CH::ScheduleSpanStats() {
  const bool wanted = TBShowAnalyse->isChecked() || (spectrum_ && spectrum_->isVisible());
  if (wanted && !StatsTimer->isActive()) StatsTimer->start();
}

std::vector<std::pair<int, QString>> TFrmMdl4CH::SpectrumChannels() const {
  std::vector<std::pair<int, QString>> channels;
  for (int slot = 1; slot <= 4; ++slot)
    if (const TDataStore* store = recorder_->Store(slot))
      channels.emplace_back(slot, QString::fromStdString(store->Name()));
  return channels;
}

TSpectrumWindow* TFrmMdl4CH::Spectrum() const {
  return spectrum_;
}

void TFrmMdl4CH::TBSpectrumClick() {
  if (!spectrum_) {
    spectrum_ = new TSpectrumWindow(
        [this](int slot) -> std::optional<TSpectrumSource> {
          TSampleSpan span;
          if (!MeasuredSpan(slot, span)) return std::nullopt;
          const TDataStore& store = *recorder_->Store(slot);
          const std::uint8_t* first = store.Samples() + span.First;
          return TSpectrumSource{{first, first + span.Count()},
                                 store.Rate(),
                                 store.Lower(),
                                 store.Upper(),
                                 store.UnitText(),
                                 store.Name()};
        },
        this);
  }
  spectrum_->SetChannels(SpectrumChannels());
  spectrum_->show();
  spectrum_->raise();
  spectrum_->activateWindow();
  spectrum_->Refresh();
}

}  // namespace osc
