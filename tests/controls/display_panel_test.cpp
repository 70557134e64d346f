#include <gtest/gtest.h>

#include "controls/qt/lx_display_panel.h"
#include "support/widget_rig.h"

using namespace osc;
using osc::test::CountNear;

namespace {

// Pixels of the panel's inside that are not the window colour.
int InkInside(qt::TLxDisplayPanel& panel) {
  const QImage img = panel.grab().toImage();
  const QRect inside = panel.contentsRect().adjusted(1, 1, -1, -1);
  const QRgb window = panel.palette().color(QPalette::Base).rgb();
  return inside.width() * inside.height() - CountNear(img, inside, window, 0);
}

}  // namespace

TEST(DisplayPanel, ShowsTheCaptionOnTheWindowColourAndWritesItOnlyWhenItDiffers) {
  qt::TLxDisplayPanel panel;
  panel.resize(120, 24);
  EXPECT_EQ(InkInside(panel), 0);
  panel.SetCaption("1.23 V");
  EXPECT_GT(InkInside(panel), 10);
  panel.setText("changed elsewhere");
  panel.SetCaption("1.23 V");
  EXPECT_EQ(panel.text(), "changed elsewhere") << "an equal caption changes nothing";
  panel.SetCaption("");
  EXPECT_EQ(InkInside(panel), 0) << "an empty caption clears the display";

  QPalette pal = panel.palette();
  pal.setColor(QPalette::Base, QColor(250, 250, 200));
  panel.setPalette(pal);
  EXPECT_EQ(panel.palette().color(QPalette::Window), QColor(250, 250, 200));
}
