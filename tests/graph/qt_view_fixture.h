#pragma once
// A graph view rendered through the Qt canvas, for tests that look at pixels.
#include <QImage>

#include "platform/qt/qt_canvas.h"
#include "view_fixture.h"

namespace osc::test {

class QtViewFixture : public ViewFixture {
 protected:
  explicit QtViewFixture(TSize size = TSize{400, 300})
      : ViewFixture(size, [] { return std::make_unique<TQtImage>(96); }) {}

  const QImage& Screen() { return static_cast<TQtImage&>(view.ScreenImage()).Image(); }
  TColor At(int x, int y) { return FromQRgb(Screen().pixel(x, y)); }
};

}  // namespace osc::test
