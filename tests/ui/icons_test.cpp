// The tool bar icons come from the resources, stay within what Qt's SVG renderer draws
// exactly, and draw something of their own at the smallest tool bar size.
#include <gtest/gtest.h>
#include <QFile>
#include <QImage>
#include <QSvgRenderer>
#include <map>
#include <string>
#include <vector>

#include "ui/icons.h"

namespace {

// Text, images, filters, scripts and links to other files either depend on the machine
// or are drawn differently (or not at all) by Qt's SVG Tiny renderer.
TEST(Icons, EveryNameIsPlainShapesAndDrawsItsOwnPictureAt16Pixels) {
  const char* const forbidden[] = {"<text", "<image", "<filter", "<script", "<style",
                                   "<font", "href",   "url(",    "<use",    "opacity=\"0\""};
  std::map<std::string, QImage> drawn;
  for (const char* name : osc::OscIconNames()) {
    SCOPED_TRACE(name);
    osc::InitIconResources();  // a second registration is harmless
    QFile file(osc::OscIconPath(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string svg = file.readAll().toStdString();
    for (const char* word : forbidden)
      EXPECT_EQ(svg.find(word), std::string::npos) << word;
    EXPECT_EQ(QSvgRenderer(osc::OscIconPath(name)).viewBox(), QRect(0, 0, 24, 24));
    const QImage image = osc::OscIcon(name).pixmap(QSize(16, 16)).toImage();
    ASSERT_EQ(image.size(), QSize(16, 16));
    int covered = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x)
        covered += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    }
    EXPECT_GE(covered, 16);
    EXPECT_LT(covered, 16 * 16) << "some of the square stays free for the tool bar's colour";
    for (const auto& [other, otherImage] : drawn)
      EXPECT_NE(image, otherImage) << "same as " << other;
    EXPECT_TRUE(drawn.emplace(name, image).second) << "listed twice";
  }
}

}  // namespace
