#include "ui/fourier_window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "acquisition/measurement_text.h"
#include "graph/tick_step.h"
#include "platform/locale/locale.h"

namespace osc {

namespace {

constexpr double kFloorDb = -200;  // an empty bin, drawn at the bottom
constexpr int kMinTickPixels = 60;

std::string Hz(double f) {
  return FourDigits(f) + " Hz";
}

std::string TickText(double v) {
  return Format("%g", {std::fabs(v) < 1e-9 ? 0.0 : v});
}

}  // namespace

// ---------------------------------------------------------------- plot

TSpectrumPlot::TSpectrumPlot(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setMinimumSize(480, 260);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TSpectrumPlot::SetSpectrum(TSpectrum spectrum, float lower, float upper, std::string unit) {
  spectrum_ = std::move(spectrum);
  lower_ = lower;
  upper_ = upper;
  unit_ = std::move(unit);
  ReportCursor();
}

void TSpectrumPlot::SetDbfs(bool on) {
  dbfs_ = on;
  ReportCursor();
}

void TSpectrumPlot::ReportCursor() {
  const auto bin = cursorX_ >= 0 ? BinAt(cursorX_) : std::nullopt;
  if (OnCursor) OnCursor(bin ? Hz(spectrum_.Frequency(*bin)) + "   " + LevelText(*bin) : std::string());
  update();
}

double TSpectrumPlot::Level(std::size_t bin) const {
  const double a = spectrum_.Amplitude[bin];
  if (!dbfs_) return UnitAmplitude(a, lower_, upper_);
  return a > 0 ? std::max(DbFullScale(a), kFloorDb) : kFloorDb;
}

std::string TSpectrumPlot::LevelText(std::size_t bin) const {
  if (dbfs_) return Format("%.1f dBFS", {Level(bin)});
  return FourDigits(Level(bin)) + " " + unit_;
}

QRect TSpectrumPlot::PlotRect() const {
  const int text = fontMetrics().height();
  return QRect(QPoint(fontMetrics().horizontalAdvance("-000.0") + 12, text / 2 + 4),
               QPoint(width() - 16, height() - 2 * text - 4));
}

std::pair<double, double> TSpectrumPlot::LevelRange() const {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (std::size_t k = 1; k < spectrum_.Amplitude.size(); ++k) {
    const double v = Level(k);
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  if (!std::isfinite(hi)) return dbfs_ ? std::pair{-100.0, 0.0} : std::pair{0.0, 1.0};
  if (!dbfs_) return {0.0, hi > 0 ? hi * 1.1 : 1.0};
  const double top = std::ceil((hi + 3) / 10) * 10;
  return {std::max(std::floor(lo / 10) * 10, top - 120), top};
}

std::optional<std::size_t> TSpectrumPlot::BinAt(int x) const {
  const QRect r = PlotRect();
  const std::size_t bins = spectrum_.Amplitude.size();
  if (bins < 2 || x < r.left() || x > r.right()) return std::nullopt;
  const double perPixel = static_cast<double>(bins - 1) / std::max(1, r.width() - 1);
  const double at = (x - r.left()) * perPixel;
  auto first = static_cast<std::size_t>(std::ceil(at - perPixel / 2));
  auto last = static_cast<std::size_t>(std::floor(at + perPixel / 2));
  last = std::min(last, bins - 1);
  if (first > last) return static_cast<std::size_t>(std::lround(at));
  std::size_t best = first;
  for (std::size_t k = first + 1; k <= last; ++k)
    if (spectrum_.Amplitude[k] > spectrum_.Amplitude[best]) best = k;
  return best;
}

void TSpectrumPlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  const QRect r = PlotRect();
  p.fillRect(r, Qt::white);
  const std::size_t bins = spectrum_.Amplitude.size();
  const auto [lo, hi] = LevelRange();
  const double fMax = spectrum_.Rate / 2.0;
  const auto xOf = [&](double bin) {
    return r.left() + bin * (r.width() - 1) / std::max<double>(1, bins - 1);
  };
  const auto yOf = [&](double v) {
    return r.bottom() - (std::clamp(v, lo, hi) - lo) * (r.height() - 1) / (hi - lo);
  };

  // Grid and tick labels.
  const QColor grid(225, 225, 225);
  const int text = fontMetrics().height();
  TTickStep step;
  if (bins >= 2 && CalcTickStep(fMax * kMinTickPixels / std::max(1, r.width()), false, step)) {
    for (double f = 0; f <= fMax * (1 + 1e-9); f += step.Major()) {
      const int x = static_cast<int>(std::lround(r.left() + f / fMax * (r.width() - 1)));
      p.setPen(grid);
      p.drawLine(x, r.top(), x, r.bottom());
      p.setPen(palette().color(QPalette::WindowText));
      p.drawText(QRect(x - 50, r.bottom() + 2, 100, text), Qt::AlignHCenter | Qt::AlignTop,
                 QString::fromStdString(TickText(f)));
    }
  }
  if (CalcTickStep((hi - lo) * kMinTickPixels / 2 / std::max(1, r.height()), false, step)) {
    for (double v = std::ceil(lo / step.Major()) * step.Major(); v <= hi * (1 + 1e-9) + 1e-12;
         v += step.Major()) {
      const int y = static_cast<int>(std::lround(yOf(v)));
      p.setPen(grid);
      p.drawLine(r.left(), y, r.right(), y);
      p.setPen(palette().color(QPalette::WindowText));
      p.drawText(QRect(0, y - text / 2, r.left() - 6, text), Qt::AlignRight | Qt::AlignVCenter,
                 QString::fromStdString(TickText(v)));
    }
  }
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(QRect(r.left(), r.bottom() + text + 2, r.width(), text), Qt::AlignHCenter | Qt::AlignTop,
             QString::fromUtf8("Frekvence [Hz]"));
  p.drawRect(r.adjusted(0, 0, -1, -1));
  if (bins < 2) return;

  // The curve: the strongest bin of each pixel column, so no peak falls between pixels.
  std::vector<double> column(static_cast<std::size_t>(r.width()), -std::numeric_limits<double>::infinity());
  for (std::size_t k = 0; k < bins; ++k) {
    const auto c = static_cast<std::size_t>(std::lround(xOf(static_cast<double>(k)) - r.left()));
    column[std::min(c, column.size() - 1)] = std::max(column[std::min(c, column.size() - 1)], Level(k));
  }
  QPolygonF line;
  for (std::size_t c = 0; c < column.size(); ++c)
    if (std::isfinite(column[c])) line << QPointF(r.left() + static_cast<double>(c), yOf(column[c]));
  p.setClipRect(r);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x2f, 0x7f, 0xd6), 1));
  p.drawPolyline(line);

  // The strongest peak.
  if (const std::size_t peak = spectrum_.PeakBin(); peak != 0) {
    const QPointF at(xOf(static_cast<double>(peak)), yOf(Level(peak)));
    p.setPen(QPen(QColor(0xe0, 0x35, 0x2b), 1.5));
    p.drawEllipse(at, 4, 4);
    const QString label = QString::fromStdString(Hz(spectrum_.PeakFrequency()) + "   " + LevelText(peak));
    const int w = fontMetrics().horizontalAdvance(label) + 8;
    QRect box(static_cast<int>(at.x()) + 8, static_cast<int>(at.y()) - text / 2, w, text);
    if (box.right() > r.right()) box.moveRight(static_cast<int>(at.x()) - 8);
    box.moveTop(std::clamp(box.top(), r.top() + 2, r.bottom() - text - 2));
    p.fillRect(box, QColor(255, 255, 255, 220));
    p.drawText(box, Qt::AlignCenter, label);
  }
  if (cursorX_ >= r.left() && cursorX_ <= r.right()) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(0x33, 0x33, 0x33), 1, Qt::DashLine));
    p.drawLine(cursorX_, r.top(), cursorX_, r.bottom());
  }
}

void TSpectrumPlot::mouseMoveEvent(QMouseEvent* event) {
  cursorX_ = static_cast<int>(event->position().x());
  ReportCursor();
}

void TSpectrumPlot::leaveEvent(QEvent*) {
  cursorX_ = -1;
  ReportCursor();
}

// ---------------------------------------------------------------- window

TSpectrumWindow::TSpectrumWindow(Fetch fetch, QWidget* parent)
    : QWidget(parent, Qt::Window), fetch_(std::move(fetch)) {
  setObjectName("SpectrumWindow");
  setWindowTitle("Spektrum");
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel("Kanál:", this));
  CbChannel = new QComboBox(this);
  CbChannel->setObjectName("CbChannel");
  top->addWidget(CbChannel);
  top->addSpacing(12);
  top->addWidget(new QLabel("Úroveň:", this));
  CbScale = new QComboBox(this);
  CbScale->setObjectName("CbScale");
  CbScale->addItem("dBFS (vůči plnému rozsahu)");
  CbScale->addItem("amplituda v jednotkách kanálu");
  top->addWidget(CbScale);
  top->addStretch();
  Plot = new TSpectrumPlot(this);
  Plot->setObjectName("Plot");
  LPeak = new QLabel(this);
  LPeak->setObjectName("LPeak");
  LPeak->setToolTip("Nejsilnější složka (kmitočet upřesněný mezi čarami spektra)");
  LCursor = new QLabel(this);
  LCursor->setObjectName("LCursor");
  LCursor->setToolTip("Frekvence a úroveň pod kurzorem myši");
  LSpan = new QLabel(this);
  LSpan->setObjectName("LSpan");
  LSpan->setToolTip(
      "Úsek mezi body, jsou-li oba zadány, jinak viditelná část; Hannovo okno, delší úseky průměrovány po "
      "překrývajících se oknech");
  auto* bottom = new QGridLayout;
  bottom->addWidget(new QLabel("Nejsilnější:", this), 0, 0);
  bottom->addWidget(LPeak, 0, 1);
  bottom->addWidget(new QLabel("Kurzor:", this), 0, 2);
  bottom->addWidget(LCursor, 0, 3);
  bottom->addWidget(LSpan, 1, 0, 1, 4);
  bottom->setColumnStretch(1, 1);
  bottom->setColumnStretch(3, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(Plot, 1);
  layout->addLayout(bottom);
  resize(760, 460);

  Plot->OnCursor = [this](const std::string& text) { LCursor->setText(QString::fromStdString(text)); };
  connect(CbChannel, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
  connect(CbScale, &QComboBox::currentIndexChanged, this, [this](int i) {
    Plot->SetDbfs(i == 0);
    if (const std::size_t peak = Plot->Spectrum().PeakBin(); peak != 0)
      LPeak->setText(
          QString::fromStdString(Hz(Plot->Spectrum().PeakFrequency()) + "   " + Plot->LevelText(peak)));
  });
}

TSpectrumWindow::~TSpectrumWindow() {
  if (worker_.joinable()) worker_.join();
}

void TSpectrumWindow::SetChannels(const std::vector<std::pair<int, QString>>& channels) {
  const QVariant chosen = CbChannel->currentData();
  QSignalBlocker block(CbChannel);
  CbChannel->clear();
  for (const auto& [slot, name] : channels)
    CbChannel->addItem(name, slot);
  const int keep = CbChannel->findData(chosen);
  CbChannel->setCurrentIndex(keep >= 0 ? keep : 0);
}

void TSpectrumWindow::Refresh() {
  if (worker_.joinable()) {
    again_ = true;
    return;
  }
  Start();
}

void TSpectrumWindow::Start() {
  again_ = false;
  std::optional<TSpectrumSource> source;
  if (CbChannel->currentIndex() >= 0 && fetch_) source = fetch_(CbChannel->currentData().toInt());
  if (!source) {
    setWindowTitle("Spektrum");
    Plot->SetSpectrum(TSpectrum{}, 0, 0, "");
    LPeak->clear();
    LSpan->setText("Žádný kanál se záznamem.");
    return;
  }
  setWindowTitle(QString::fromStdString("Spektrum – " + source->Name));
  rate_ = source->Rate;
  worker_ = std::thread([this, s = std::move(*source)]() mutable {
    TSpectrum spectrum = ComputeSpectrum(s.Samples, s.Rate);
    // Posted to this window: the destructor joins this thread first, and Qt drops what
    // is still posted to a window that is gone.
    QMetaObject::invokeMethod(
        this,
        [this, spectrum = std::move(spectrum), lower = s.Lower, upper = s.Upper, unit = s.Unit,
         count = s.Samples.size()]() mutable { Finished(std::move(spectrum), lower, upper, unit, count); },
        Qt::QueuedConnection);
  });
}

void TSpectrumWindow::Finished(TSpectrum spectrum, float lower, float upper, std::string unit,
                               std::size_t count) {
  if (worker_.joinable()) worker_.join();
  const bool empty = spectrum.Empty();
  const std::uint32_t segments = spectrum.Segments;
  const double binWidth = spectrum.BinWidth();
  Plot->SetSpectrum(std::move(spectrum), lower, upper, std::move(unit));
  const TSpectrum& sp = Plot->Spectrum();
  const std::size_t peak = sp.PeakBin();
  LPeak->setText(peak != 0 ? QString::fromStdString(Hz(sp.PeakFrequency()) + "   " + Plot->LevelText(peak))
                           : QString());
  const std::string samples = Format(
      "Úsek: %u vzorků, %.3f s", {static_cast<unsigned long>(count), rate_ ? double(count) / rate_ : 0.0});
  LSpan->setText(QString::fromStdString(
      empty ? samples + " – na spektrum je příliš krátký."
            : samples + ", rozlišení " + Hz(binWidth) +
                  (segments > 1 ? Format(", průměr %u oken", {segments}) : std::string())));
  if (again_) Start();
}

void TSpectrumWindow::Settle() {
  while (worker_.joinable()) {
    worker_.join();
    QCoreApplication::sendPostedEvents(this);
  }
}

}  // namespace osc
