// What the recording shown lost: the label beside the cross reading and the shaded
// stretches across the graphs, from the recorder's ledger or the records' loss file.
#include <QLabel>

#include "acquisition/loss.h"
#include "graph/qt/graph_widget.h"
#include "ui/main_window.h"

namespace osc {

namespace {

constexpr double kSecondsPerDay = 86400.0;

void SetLabel(QLabel* label, const std::string& text, const QColor& color) {
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, color);
  label->setPalette(pal);
  label->setText(QString::fromStdString(text));
}

}  // namespace

void TFrmMdl4CH::LossesChanged() {
  ShowLosses();
}

void TFrmMdl4CH::ShowLosses() {
  if (LLoss == nullptr || !recorder_) return;
  const TDataStore* first = nullptr;
  std::uint64_t stored = 0;
  for (int slot = 1; slot <= TRecorder::kSlots; ++slot) {
    if (const TDataStore* s = recorder_->Store(slot)) {
      if (first == nullptr) first = s;
      stored += s->Count();
    }
  }
  if (first == nullptr) {
    LLoss->clear();
    View().SetMarkedSpans({});
    return;
  }
  if (!recorder_->LossesKnown()) {
    SetLabel(LLoss, lossNote_.empty() ? "Ztráty: nezjištěny" : lossNote_, QColor(96, 96, 96));
    View().SetMarkedSpans({});
    return;
  }
  const TLossLedger& ledger = recorder_->Losses();
  std::uint64_t lost = 0, filler = 0;
  std::vector<std::pair<double, double>> spans;
  const double sampleDays = 1.0 / first->Rate() / kSecondsPerDay;
  for (const TLossEvent& e : ledger.Events()) {
    for (std::uint64_t n : e.Lost)
      lost += n;
    if (e.Kind == TLossKind::Dropped) {
      for (std::uint64_t n : e.Lost)
        filler += n;
    }
    spans.emplace_back(first->Start() + static_cast<double>(e.First) * sampleDays,
                       first->Start() + static_cast<double>(e.First + e.Span) * sampleDays);
  }
  // The filler of dropped blocks is in the stores already.
  SetLabel(LLoss, LossText(lost, stored - std::min(stored, filler) + lost),
           lost == 0 ? QColor(0, 128, 0) : QColor(200, 0, 0));
  View().SetMarkedSpans(std::move(spans));
}

void TFrmMdl4CH::LoadLosses(const std::vector<std::string>& paths) {
  TLossLedger ledger;
  switch (LoadLossFile(LossFileName(paths.front()), recorder_->StorePointers(), ledger)) {
    case TLossFileState::Matches:
      recorder_->Losses() = std::move(ledger);
      recorder_->SetLossesKnown(true);
      lossNote_.clear();
      break;
    case TLossFileState::Absent:
      recorder_->SetLossesKnown(false);
      lossNote_.clear();
      break;
    case TLossFileState::Foreign:
      recorder_->SetLossesKnown(false);
      lossNote_ = "Ztráty: nezjištěny (soubor ztrát k záznamu nepatří)";
      break;
  }
  ShowLosses();
}

}  // namespace osc
