// icon-sheet: renders every tool bar icon at 16, 24 and 48 px into one PNG, each on a
// light and on a dark tool bar colour, to judge the set by eye. The 16 px rendering
// is also shown enlarged pixel for pixel, where blur from strokes off the pixel grid
// shows at once. On top, two strips show the set as a tool bar does, at 16 and 24 px
// and disabled.
//
//   icon-sheet [out.png]             (default: icon-sheet.png)
//   icon-sheet --pixels [out.png]    16 px and 24 px only, enlarged 4x, to check the grid
#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/icons.h"

namespace {

constexpr int kMargin = 12;
constexpr int kHalfWidth = 160;  // one rendering set on one background
constexpr int kCellHeight = 74;
constexpr int kColumns = 3;
constexpr int kStripStep = 30;
constexpr int kStripHeight = 92;

const QColor kLight(0xef, 0xef, 0xef);
const QColor kDark(0x2b, 0x2d, 0x30);

QImage Render(const char* name, int size) {
  return osc::OscIcon(name).pixmap(QSize(size, size)).toImage();
}

int IconCount() {
  return static_cast<int>(osc::OscIconNames().size());
}
int Rows() {
  return (IconCount() + kColumns - 1) / kColumns;
}
int SheetWidth() {
  return std::max(2 * kMargin + kColumns * 2 * kHalfWidth, 2 * kMargin + IconCount() * kStripStep);
}
int StripsHeight() {
  return 2 * kStripHeight;
}
int SheetHeight() {
  return StripsHeight() + Rows() * kCellHeight + kMargin;
}

// The set as a tool bar shows it: a row at 16 px, a row at 24 px and the 24 px row as
// disabled buttons show it.
void DrawStrip(QPainter& p, int top, const QColor& background) {
  p.fillRect(0, top, SheetWidth(), kStripHeight, background);
  int x = kMargin;
  for (const char* name : osc::OscIconNames()) {
    p.drawImage(x + 4, top + 10, Render(name, 16));
    p.drawImage(x, top + 32, Render(name, 24));
    p.drawPixmap(x, top + 62, osc::OscIcon(name).pixmap(QSize(24, 24), QIcon::Disabled));
    x += kStripStep;
  }
}

void DrawHalf(QPainter& p, const char* name, int x, int y, const QColor& background, const QColor& text) {
  p.fillRect(x, y, kHalfWidth, kCellHeight, background);
  p.drawImage(x + 6, y + 22, Render(name, 16));
  p.drawImage(x + 28, y + 18, Render(name, 24));
  p.drawImage(x + 58, y + 6, Render(name, 48));
  p.save();
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawImage(QRect(x + 110, y + 6, 48, 48), Render(name, 16));  // nearest neighbour, 3x
  p.restore();
  p.setPen(text);
  p.drawText(QRect(x + 6, y + 56, kHalfWidth - 12, 16), Qt::AlignLeft, QString::fromUtf8(name));
}

// Every icon at 16 px and 24 px, each pixel a 4 x 4 square, light and dark.
QImage PixelSheet() {
  constexpr int kZoom = 4;
  constexpr int kCell = (16 + 24 + 6) * kZoom;
  constexpr int kPerRow = 7;
  const int rows = (IconCount() + kPerRow - 1) / kPerRow;
  QImage sheet(kPerRow * kCell, rows * 2 * (24 * kZoom + 8), QImage::Format_ARGB32_Premultiplied);
  sheet.fill(kLight);
  QPainter p(&sheet);
  const auto names = osc::OscIconNames();
  for (int i = 0; i < IconCount(); ++i) {
    for (int dark = 0; dark < 2; ++dark) {
      const int x = (i % kPerRow) * kCell;
      const int y = ((i / kPerRow) * 2 + dark) * (24 * kZoom + 8);
      p.fillRect(x, y, kCell, 24 * kZoom + 8, dark ? kDark : kLight);
      p.drawImage(QRect(x + 4, y + 4, 16 * kZoom, 16 * kZoom), Render(names[i], 16));
      p.drawImage(QRect(x + 4 + 18 * kZoom, y + 4, 24 * kZoom, 24 * kZoom), Render(names[i], 24));
    }
  }
  return sheet;
}

// Qt warns without a private runtime folder; the sheet is rendered during the build.
void EnsureRuntimeDir() {
  if (std::getenv("XDG_RUNTIME_DIR") != nullptr) return;
  const std::string dir = "/tmp/osc-icon-sheet-" + std::to_string(getuid());
  mkdir(dir.c_str(), 0700);
  chmod(dir.c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* p = std::getenv("QT_QPA_PLATFORM"); p == nullptr || *p == '\0') {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  EnsureRuntimeDir();
  QApplication app(argc, argv);  // the widget style draws the disabled state
  const bool pixels = argc > 1 && std::string(argv[1]) == "--pixels";
  const int outArg = pixels ? 2 : 1;
  const QString out = argc > outArg ? QString::fromLocal8Bit(argv[outArg]) : QStringLiteral("icon-sheet.png");
  if (pixels) return PixelSheet().save(out) ? 0 : 1;

  QImage sheet(SheetWidth(), SheetHeight(), QImage::Format_ARGB32_Premultiplied);
  sheet.fill(kLight);
  QPainter p(&sheet);
  QFont font = p.font();
  font.setPixelSize(11);
  p.setFont(font);
  DrawStrip(p, 0, kLight);
  DrawStrip(p, kStripHeight, kDark);
  const auto names = osc::OscIconNames();
  for (int i = 0; i < IconCount(); ++i) {
    const int x = kMargin + (i % kColumns) * 2 * kHalfWidth;
    const int y = StripsHeight() + (i / kColumns) * kCellHeight;
    DrawHalf(p, names[i], x, y, kLight, QColor(0x33, 0x33, 0x33));
    DrawHalf(p, names[i], x + kHalfWidth, y, kDark, QColor(0xdd, 0xdd, 0xdd));
  }
  p.end();
  if (!sheet.save(out)) {
    std::fprintf(stderr, "icon-sheet: cannot write %s\n", qPrintable(out));
    return 1;
  }
  return 0;
}
