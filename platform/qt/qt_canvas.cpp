#include "platform/qt/qt_canvas.h"

#include <QPaintEngine>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace osc {

namespace {

QRect ToQRect(const TRect& r) {
  return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

Qt::PenStyle QtPenStyle(TPenStyle s) {
  switch (s) {
    case psDash:
      return Qt::DashLine;
    case psDot:
      return Qt::DotLine;
    case psDashDot:
      return Qt::DashDotLine;
    case psDashDotDot:
      return Qt::DashDotDotLine;
    case psClear:
      return Qt::NoPen;
    case psSolid:
    case psInsideFrame:
      break;
  }
  return Qt::SolidLine;
}

TQtCanvas::TQtCanvas(QPainter& painter, int fallbackResolution)
    : painter_(painter), fallbackResolution_(fallbackResolution) {
  Restart();
}

void TQtCanvas::Restart() {
  penDirty_ = true;
  fontDirty_ = true;
  mode_ = QPainter::CompositionMode_SourceOver;
  raster_ = false;
  pixels_ = nullptr;
  if (!Ready()) return;
  raster_ = painter_.paintEngine() != nullptr && painter_.paintEngine()->type() == QPaintEngine::Raster;
  if (raster_ && painter_.device()->devType() == QInternal::Image) {
    auto* image = static_cast<QImage*>(painter_.device());
    if (image->format() == QImage::Format_RGB32) pixels_ = image;
  }
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setCompositionMode(mode_);
  if (clipped_) {
    painter_.setClipRect(ToQRect(clip_));
  } else {
    painter_.setClipping(false);
  }
  UpdateBounds();
}

void TQtCanvas::UpdateBounds() {
  if (!Ready()) return;
  const TRect device{0, 0, painter_.device()->width(), painter_.device()->height()};
  bounds_ = !clipped_ ? device
                      : TRect{std::max(device.Left, clip_.Left), std::max(device.Top, clip_.Top),
                              std::min(device.Right, clip_.Right), std::min(device.Bottom, clip_.Bottom)};
}

void TQtCanvas::SetPenColor(TColor c) {
  if (c != pen_.Color) penDirty_ = true;
  TCanvas::SetPenColor(c);
}

void TQtCanvas::SetPenWidth(int w) {
  if (w != pen_.Width) penDirty_ = true;
  TCanvas::SetPenWidth(w);
}

void TQtCanvas::SetPenStyle(TPenStyle s) {
  if (s != pen_.Style) penDirty_ = true;
  TCanvas::SetPenStyle(s);
}

void TQtCanvas::SetPenMode(TPenMode m) {
  TCanvas::SetPenMode(m);
}

void TQtCanvas::SetFont(const TFont& f) {
  if (!(f == font_)) fontDirty_ = true;
  TCanvas::SetFont(f);
}

void TQtCanvas::UsePen() {
  const QPainter::CompositionMode mode = pen_.Mode == pmNotXor ? QPainter::RasterOp_NotSourceXorDestination
                                                               : QPainter::CompositionMode_SourceOver;
  UseMode(mode);
  if (!penDirty_) return;
  penColor_ = ToQColor(pen_.Color);
  penRgb_ = penColor_.rgb() & 0xFFFFFF;
  QPen pen(penColor_);
  pen.setWidth(std::max(1, std::abs(pen_.Width)));
  pen.setCosmetic(true);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  pen.setStyle(QtPenStyle(pen_.Style));
  painter_.setPen(pen);
  penDirty_ = false;
}

void TQtCanvas::UseFont() {
  if (!fontDirty_) return;
  QFont font(ToQString(font_.Name));
  font.setPointSize(font_.Size);
  font.setBold(font_.Bold);
  painter_.setFont(font);
  fontDirty_ = false;
}

void TQtCanvas::UseMode(QPainter::CompositionMode mode) {
  if (mode == mode_) return;
  painter_.setCompositionMode(mode);
  mode_ = mode;
}

void TQtCanvas::LineTo(int x, int y) {
  const TPoint from = penPos_;
  penPos_ = TPoint{x, y};
  if (!Ready() || (from.X == x && from.Y == y) || pen_.Style == psClear || pen_.Color == clNone) return;
  if (pen_.Mode == pmNotXor && !CanInvert()) return;
  UsePen();
  if (raster_ && pen_.Style == psSolid && std::abs(pen_.Width) <= 1) {
    SteppedLine(from, penPos_);
    return;
  }
  // Qt samples a line at pixel centres and leaves out the larger end: moved by half a
  // pixel (and, when it runs backwards, by one more half along its main direction) it
  // keeps the start point and leaves out the end point.
  const bool xMajor = std::abs(x - from.X) >= std::abs(y - from.Y);
  const double major1 = xMajor ? from.X : from.Y, major2 = xMajor ? x : y;
  const double minor1 = xMajor ? from.Y : from.X, minor2 = xMajor ? y : x;
  double majorShift = 0, minorShift = 0.5;
  if (major2 < major1) {
    majorShift = 0.5;
  } else {
    minorShift -= 0.5 * (minor2 - minor1) / (major2 - major1);
  }
  const QPointF a(major1 + majorShift, minor1 + minorShift), b(major2 + majorShift, minor2 + minorShift);
  painter_.drawLine(xMajor ? QLineF(a, b) : QLineF(a.y(), a.x(), b.y(), b.x()));
}

void TQtCanvas::FillRun(int left, int top, int width, int height) {
  if (pixels_ == nullptr) {
    painter_.fillRect(QRect(left, top, width, height), penColor_);
    return;
  }
  const int x1 = std::max(left, bounds_.Left), x2 = std::min(left + width, bounds_.Right);
  const int y1 = std::max(top, bounds_.Top), y2 = std::min(top + height, bounds_.Bottom);
  if (x1 >= x2 || y1 >= y2) return;
  // The raster engine paints at once, so writing the pixels here keeps the order of
  // drawing. constBits: the image is ours alone, and a detach would leave the painter
  // on the old pixels.
  const qsizetype stride = pixels_->bytesPerLine();
  uchar* row = const_cast<uchar*>(pixels_->constBits()) + y1 * stride;
  const QRgb invert = ~penRgb_ & 0xFFFFFF, copy = 0xFF000000u | penRgb_;
  for (int y = y1; y < y2; ++y, row += stride) {
    auto* line = reinterpret_cast<QRgb*>(row);
    if (pen_.Mode == pmNotXor) {
      for (int x = x1; x < x2; ++x)
        line[x] ^= invert;
    } else {
      for (int x = x1; x < x2; ++x)
        line[x] = copy;
    }
  }
}

void TQtCanvas::SteppedLine(TPoint from, TPoint to) {
  const bool xMajor = std::abs(to.X - from.X) >= std::abs(to.Y - from.Y);
  // Work along the main direction a with the other coordinate b.
  const std::int64_t a0 = xMajor ? from.X : from.Y, b0 = xMajor ? from.Y : from.X;
  const std::int64_t da = (xMajor ? to.X : to.Y) - a0, db = (xMajor ? to.Y : to.X) - b0;
  const std::int64_t n = std::abs(da), sa = da < 0 ? -1 : 1, sb = db < 0 ? -1 : 1, adb = std::abs(db);
  // Only the steps whose pixels can be inside the drawable area are visited.
  const TRect& bounds = bounds_;
  if (bounds.IsEmpty()) return;
  const std::int64_t lo = xMajor ? bounds.Left : bounds.Top, hi = (xMajor ? bounds.Right : bounds.Bottom) - 1;
  std::int64_t first = sa > 0 ? lo - a0 : a0 - hi, last = sa > 0 ? hi - a0 : a0 - lo;
  first = std::max<std::int64_t>(first, 0);
  last = std::min<std::int64_t>(last, n - 1);
  if (first > last) return;
  auto fill = [&](std::int64_t i1, std::int64_t i2, std::int64_t b) {
    const std::int64_t aLow = sa > 0 ? a0 + i1 : a0 - i2, length = i2 - i1 + 1;
    if (xMajor) {
      FillRun(static_cast<int>(aLow), static_cast<int>(b), static_cast<int>(length), 1);
    } else {
      FillRun(static_cast<int>(b), static_cast<int>(aLow), 1, static_cast<int>(length));
    }
  };
  // Step i lies k = round(i * adb / n) (halves away from the start) off the main line;
  // the run of offset k ends before the first step whose offset is k + 1.
  for (std::int64_t i = first; i <= last;) {
    const std::int64_t k = (2 * i * adb + n) / (2 * n);
    const std::int64_t next = adb == 0 ? last + 1 : (n * (2 * k + 1) + 2 * adb - 1) / (2 * adb);
    const std::int64_t end = std::min(next - 1, last);
    fill(i, end, b0 + sb * k);
    i = end + 1;
  }
}

void TQtCanvas::FillRect(const TRect& r) {
  if (!Ready() || r.IsEmpty() || brush_.Style == bsClear || brush_.Color == clNone) return;
  UseMode(QPainter::CompositionMode_SourceOver);
  painter_.fillRect(ToQRect(r), ToQColor(brush_.Color));
}

void TQtCanvas::Ellipse(const TRect& r) {
  if (!Ready() || r.IsEmpty()) return;
  if (pen_.Mode == pmNotXor && !CanInvert()) return;
  UsePen();
  if (pen_.Color == clNone || pen_.Style == psClear) painter_.setPen(Qt::NoPen);
  const bool filled = brush_.Style != bsClear && brush_.Color != clNone;
  painter_.setBrush(filled ? QBrush(ToQColor(brush_.Color)) : QBrush(Qt::NoBrush));
  // The outline of a QRect ellipse reaches one pixel beyond its width and height.
  painter_.drawEllipse(QRect(r.Left, r.Top, r.Right - r.Left - 1, r.Bottom - r.Top - 1));
  painter_.setBrush(Qt::NoBrush);
  penDirty_ = true;
}

void TQtCanvas::InvertRect(const TRect& r) {
  if (!Ready() || r.IsEmpty() || !CanInvert()) return;
  // NOT(black XOR destination) inverts the colour and keeps the alpha byte opaque.
  UseMode(QPainter::RasterOp_NotSourceXorDestination);
  painter_.fillRect(ToQRect(r), QColor(0, 0, 0));
}

TSize TQtCanvas::TextExtent(const std::string& text) {
  if (!Ready()) return TSize{};
  UseFont();
  const QFontMetrics metrics = painter_.fontMetrics();
  return TSize{metrics.horizontalAdvance(ToQString(text)), metrics.height()};
}

void TQtCanvas::WriteText(int x, int y, const std::string& text) {
  UseFont();
  UseMode(QPainter::CompositionMode_SourceOver);
  const QString s = ToQString(text);
  const QFontMetrics metrics = painter_.fontMetrics();
  if (brush_.Style != bsClear && brush_.Color != clNone) {
    painter_.fillRect(QRect(x, y, metrics.horizontalAdvance(s), metrics.height()), ToQColor(brush_.Color));
  }
  if (font_.Color == clNone) return;
  painter_.setPen(ToQColor(font_.Color));
  penDirty_ = true;
  painter_.drawText(x, y + metrics.ascent(), s);
}

void TQtCanvas::TextOut(int x, int y, const std::string& text) {
  if (!Ready() || text.empty()) return;
  WriteText(x, y, text);
}

void TQtCanvas::TextRect(const TRect& clip, int x, int y, const std::string& text) {
  if (!Ready() || clip.IsEmpty()) return;
  const bool wasClipped = clipped_;
  const TRect oldClip = clip_;
  TRect r = clip;
  if (wasClipped) {
    r.Left = std::max(r.Left, oldClip.Left);
    r.Top = std::max(r.Top, oldClip.Top);
    r.Right = std::min(r.Right, oldClip.Right);
    r.Bottom = std::min(r.Bottom, oldClip.Bottom);
  }
  if (!r.IsEmpty()) {
    SetClipRect(r);
    FillRect(r);
    if (!text.empty()) {
      const TBrushStyle style = brush_.Style;
      brush_.Style = bsClear;
      WriteText(x, y, text);
      brush_.Style = style;
    }
  }
  if (wasClipped) {
    SetClipRect(oldClip);
  } else {
    ResetClip();
  }
}

int TQtCanvas::FontResolution() const {
  if (!Ready() || painter_.device() == nullptr) return fallbackResolution_;
  return painter_.device()->logicalDpiY();
}

bool TQtCanvas::CanInvert() const {
  return Ready() && painter_.paintEngine() != nullptr &&
         painter_.paintEngine()->hasFeature(QPaintEngine::RasterOpModes) &&
         painter_.paintEngine()->type() == QPaintEngine::Raster;
}

void TQtCanvas::SetClipRect(const TRect& r) {
  clipped_ = true;
  clip_ = r;
  if (Ready()) painter_.setClipRect(ToQRect(r));
  UpdateBounds();
}

void TQtCanvas::ResetClip() {
  clipped_ = false;
  if (Ready()) painter_.setClipping(false);
  UpdateBounds();
}

void TQtCanvas::Draw(int x, int y, TCanvasImage& image) {
  auto* source = dynamic_cast<TQtImage*>(&image);
  if (!Ready() || source == nullptr || source->Image().isNull()) return;
  UseMode(QPainter::CompositionMode_SourceOver);
  painter_.drawImage(QPoint(x, y), source->Image());
}

// ---- TQtImage ---------------------------------------------------------------------

TQtImage::TQtImage(int resolution) : resolution_(resolution), canvas_(painter_, resolution) {}

TQtImage::~TQtImage() {
  if (painter_.isActive()) painter_.end();
}

void TQtImage::SetSize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == image_.width() && height == image_.height()) return;
  if (painter_.isActive()) painter_.end();
  if (width == 0 || height == 0) {
    image_ = QImage();
  } else {
    image_ = QImage(width, height, QImage::Format_RGB32);
    const int dotsPerMeter = static_cast<int>(std::lround(resolution_ / 0.0254));
    image_.setDotsPerMeterX(dotsPerMeter);
    image_.setDotsPerMeterY(dotsPerMeter);
    image_.fill(Qt::white);
    painter_.begin(&image_);
  }
  canvas_.Restart();
}

}  // namespace osc
