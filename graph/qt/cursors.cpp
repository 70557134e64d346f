#include "graph/qt/cursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace osc {

namespace {

constexpr int kSize = 32;

// Black shapes with a white rim, so the cursor shows on any background.
void Outlined(QPainter& p, const QPainterPath& path) {
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(path);
  p.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(path);
}

QPixmap Canvas() {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

QCursor MakePan() {
  QPixmap pixmap = Canvas();
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double c = 15.5, arm = 12, head = 4;
  QPainterPath path;
  path.moveTo(c - arm, c);
  path.lineTo(c + arm, c);
  path.moveTo(c, c - arm);
  path.lineTo(c, c + arm);
  for (int s : {-1, 1}) {
    path.moveTo(c + s * (arm - head), c - head);
    path.lineTo(c + s * arm, c);
    path.lineTo(c + s * (arm - head), c + head);
    path.moveTo(c - head, c + s * (arm - head));
    path.lineTo(c, c + s * arm);
    path.lineTo(c + head, c + s * (arm - head));
  }
  Outlined(p, path);
  p.end();
  return QCursor(pixmap, 15, 15);
}

QCursor MakeZoom() {
  QPixmap pixmap = Canvas();
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double c = 12.5, r = 8;
  QPainterPath path;
  path.addEllipse(QPointF(c, c), r, r);
  path.moveTo(c + r * 0.72, c + r * 0.72);
  path.lineTo(28, 28);
  path.moveTo(c - 4, c);
  path.lineTo(c + 4, c);
  path.moveTo(c, c - 4);
  path.lineTo(c, c + 4);
  Outlined(p, path);
  p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(c + r * 0.9, c + r * 0.9), QPointF(27.5, 27.5));
  p.end();
  return QCursor(pixmap, 12, 12);
}

}  // namespace

const QCursor& PanCursor() {
  static const QCursor cursor = MakePan();
  return cursor;
}

const QCursor& ZoomCursor() {
  static const QCursor cursor = MakeZoom();
  return cursor;
}

}  // namespace osc
