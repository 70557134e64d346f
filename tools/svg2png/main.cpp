// svg2png IN OUT SIZE: renders an SVG into a square PNG of SIZE pixels with a
// transparent background. Needs a platform (QT_QPA_PLATFORM=offscreen will do), since
// SVG text is laid out with the platform's fonts.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList a = QGuiApplication::arguments();
  if (a.size() != 4) {
    std::fprintf(stderr, "usage: svg2png IN.svg OUT.png SIZE\n");
    return 2;
  }
  QSvgRenderer svg(a[1]);
  bool ok = false;
  const int size = a[3].toInt(&ok);
  if (!svg.isValid() || !ok || size <= 0) {
    std::fprintf(stderr, "svg2png: cannot render %s at %s px\n", qPrintable(a[1]), qPrintable(a[3]));
    return 2;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  svg.render(&painter);
  painter.end();
  return image.save(a[2]) ? 0 : 1;
}
