// The cursor measurements: the cross reading in LCrossPos, the two measuring points set
// with the mouse buttons and drawn as markers, and the analysis panel with both points
// and their differences.
#include <QEvent>
#include <QLabel>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <utility>

#include "acquisition/data_store.h"
#include "acquisition/measurement_text.h"
#include "acquisition/scaling.h"
#include "graph/series.h"
#include "ui/main_window.h"

namespace osc {

namespace {

// Reports a double click on the labels it watches, by their "Tag".
class DoubleClickFilter : public QObject {
 public:
  DoubleClickFilter(QObject* parent, std::function<void(int)> onDoubleClick)
      : QObject(parent), onDoubleClick_(std::move(onDoubleClick)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonDblClick) {
      onDoubleClick_(watched->property("Tag").toInt());
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(int)> onDoubleClick_;
};

constexpr TColor kFirstPointColor = clBlue;
constexpr TColor kSecondPointColor = clBlack;

}  // namespace

void TFrmMdl4CH::ConnectMeasurements() {
  View().OnCrossMove = [this](TVelaGraph& sender, TDoublePoint& pos, TVelaSeries* series) {
    GraphCrossMove(sender, pos, series);
  };
  View().OnCrossOut = [this](TVelaGraph& sender) { GraphCrossOut(sender); };
  View().OnMouseDown = [this](TVelaGraph& sender, TMouseButton button, TShiftState shift, int x, int y) {
    GraphMouseDown(sender, button, shift, x, y);
  };
  connect(TBShowAnalyse, &QToolButton::clicked, this, &TFrmMdl4CH::TBShowAnalyseClick);
  connect(TBCloseAnalyse, &QToolButton::clicked, this, &TFrmMdl4CH::TBCloseAnalyseClick);
  LPoint1->setProperty("Tag", 0);
  LPoint2->setProperty("Tag", 1);
  auto* filter = new DoubleClickFilter(this, [this](int tag) { PointLabelDblClick(tag); });
  LPoint1->installEventFilter(filter);
  LPoint2->installEventFilter(filter);
}

void TFrmMdl4CH::EndMeasurements() {
  TBCloseAnalyseClick();
  View().OnCrossMove = nullptr;
  View().OnCrossOut = nullptr;
  View().OnMouseDown = nullptr;
  View().OnKeyDown = nullptr;
}

std::string TFrmMdl4CH::ValueText(double x, double y, int slot) const {
  const TDataStore* store = recorder_->Store(slot + 1);
  if (store == nullptr) return osc::ValueText(x, y, "V");
  return osc::ValueText(x, y, store->UnitText(), ValueClip(y, store->Lower(), store->Upper()), store->Lower(),
                        store->Upper());
}

void TFrmMdl4CH::GraphCrossMove(TVelaGraph&, TDoublePoint& pos, TVelaSeries* series) {
  if (series == nullptr) return;
  CrossX = pos.X;
  CrossY = pos.Y;
  CrossGraphNumber = series->GraphNumber();
  CrossSlot = series->Tag();
  CrossActive = true;
  LCrossPos->setText(QString::fromStdString(ValueText(CrossX, CrossY, CrossSlot)));
}

void TFrmMdl4CH::GraphCrossOut(TVelaGraph&) {
  CrossActive = false;
  LCrossPos->clear();
}

void TFrmMdl4CH::GraphMouseDown(TVelaGraph& sender, TMouseButton button, TShiftState shift, int, int) {
  if (sender.Mode() != gmSelect || !CrossActive) return;
  if (button != mbLeft && button != mbRight) return;
  if ((shift & (ssShift | ssAlt | ssCtrl)) != 0) return;
  TMeasuringPoint& p = MeasuringPoints[button == mbLeft ? 0 : 1];
  p.X = CrossX;
  p.Y = CrossY;
  p.GraphNumber = CrossGraphNumber;
  p.Slot = CrossSlot;
  lastPoint_ = button == mbLeft ? 0 : 1;
  TBShowAnalyse->setChecked(true);
  UpdateAnalysis();
}

void TFrmMdl4CH::UpdateAnalysis() {
  if (!TBShowAnalyse->isChecked()) {
    TBarAnalyse->hide();
    TBarStats->hide();
    ClearPoint(0);
    ClearPoint(1);
    ScheduleSpanStats();  // an open spectrum now takes the visible part
    return;
  }
  const TMeasuringPoint& p0 = MeasuringPoints[0];
  const TMeasuringPoint& p1 = MeasuringPoints[1];
  if (p0.X != 0) PlacePoint(0, kFirstPointColor);
  if (p1.X != 0) PlacePoint(1, kSecondPointColor);
  LPoint1->setText(QString::fromStdString(ValueText(p0.X, p0.Y, p0.Slot)));
  LPoint2->setText(QString::fromStdString(ValueText(p1.X, p1.Y, p1.Slot)));
  LPointDif->setText(
      QString::fromStdString(PointDifText(p0.X, p0.Y, p1.X, p1.Y, UnitText(recorder_->Store(p0.Slot + 1)))));
  TBarAnalyse->show();
  TBarStats->show();
  UpdateSpanStats();
}

void TFrmMdl4CH::ClearPoint(int k) {
  TMeasuringPoint& p = MeasuringPoints[static_cast<std::size_t>(k)];
  if (p.Marker) {
    View().RemovePoint(p.Marker.get());
    p.Marker.reset();
  }
  p.X = 0;
  p.Y = 0;
}

void TFrmMdl4CH::PlacePoint(int k, TColor color) {
  TMeasuringPoint& p = MeasuringPoints[static_cast<std::size_t>(k)];
  if (p.Marker) {
    p.Marker->SetPosition(TDoublePoint{p.X, p.Y});
    p.Marker->SetGraphNumber(p.GraphNumber);
  } else {
    p.Marker =
        std::make_unique<TVelaGraphPoint>(&View(), psCross, TDoublePoint{p.X, p.Y}, color, p.GraphNumber);
    p.Marker->SetWidth(3);
    p.Marker->SetForeground(true);  // over the series
    View().AddPoint(p.Marker.get());
  }
  View().InvalidateImage();
  View().Invalidate();
}

void TFrmMdl4CH::PointLabelDblClick(int tag) {
  if (tag != 0 && tag != 1) return;
  ClearPoint(tag);
  UpdateAnalysis();
}

void TFrmMdl4CH::TBShowAnalyseClick() {
  UpdateAnalysis();
}

void TFrmMdl4CH::TBCloseAnalyseClick() {
  TBShowAnalyse->setChecked(false);
  UpdateAnalysis();
}

void TFrmMdl4CH::ClearMeasuringPoints() {
  ClearPoint(0);
  ClearPoint(1);
  UpdateAnalysis();
}

}  // namespace osc
