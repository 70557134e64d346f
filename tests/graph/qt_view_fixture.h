#pragma once
// A graph view rendered through the Qt canvas, for tests that look at pixels.
#include <QDir>
#include <QImage>
#include <string>

#include "platform/qt/qt_canvas.h"
#include "view_fixture.h"

namespace osc::test {

class QtViewFixture : public ViewFixture {
 protected:
  explicit QtViewFixture(TSize size = TSize{400, 300})
      : ViewFixture(size, [] { return std::make_unique<TQtImage>(96); }) {}

  const QImage& Screen() { return static_cast<TQtImage&>(view.ScreenImage()).Image(); }
  TColor At(int x, int y) { return FromQRgb(Screen().pixel(x, y)); }

  // Saves what the view shows into the build tree's screenshot folder.
  void SaveScreenshot(const std::string& name) {
    const QString dir = QStringLiteral(OSC_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(Screen().save(dir + "/" + QString::fromStdString(name) + ".png")) << name;
  }
};

}  // namespace osc::test
