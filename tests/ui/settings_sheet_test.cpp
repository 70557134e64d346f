// Pictures of the options dialog's pages for both models, at scale 1 and 2, for a
// person to look at (build tree: tests/ui/screenshots/settings_*.png), and a check that
// no text is cut: every widget on a page is at least as large as it asks to be.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QTabWidget>

#include "controls/qt/lx_list_box.h"
#include "platform/locale/locale.h"
#include "support/scratch_registry.h"
#include "support/widget_rig.h"
#include "ui/settings_dialog.h"

namespace osc {
namespace {

QString ScreenshotPath(const QString& name) {
  QDir().mkpath(OSC_SCREENSHOT_DIR);
  return QString(OSC_SCREENSHOT_DIR) + "/" + name;
}

void Save(QWidget& w, const QString& name) {
  EXPECT_TRUE(w.grab().toImage().save(ScreenshotPath(name + "_x1.png")));
  QImage x2(w.size() * 2, QImage::Format_ARGB32_Premultiplied);
  x2.setDevicePixelRatio(2);
  x2.fill(Qt::white);
  w.render(&x2);
  EXPECT_TRUE(x2.save(ScreenshotPath(name + "_x2.png")));
}

// Texts are cut when a widget got less room than it needs for them.
void ExpectNothingCut(QWidget* page) {
  for (QWidget* w : page->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(page)) continue;
    const bool texty = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
                       qobject_cast<QGroupBox*>(w) || qobject_cast<QComboBox*>(w);
    if (!texty) continue;
    if (auto* l = qobject_cast<QLabel*>(w); l && l->wordWrap()) {
      EXPECT_GE(w->height(), l->heightForWidth(w->width())) << w->objectName().toStdString();
      continue;
    }
    SCOPED_TRACE(w->objectName().toStdString() + " " + w->metaObject()->className());
    EXPECT_GE(w->width(), w->minimumSizeHint().width());
    EXPECT_GE(w->height(), w->minimumSizeHint().height());
  }
}

TEST(SettingsSheet, EveryPageOfBothModels) {
  FormatSettings saved = formatSettings();
  formatSettings().DecimalSeparator = ',';
  for (int model : {0, 1}) {
    SCOPED_TRACE(model);
    test::ScratchRegistry registry;
    SettingsHolder seed;
    seed.Port = "/dev/ttyUSB0";
    seed.ModelIndex = model;
    for (double r : {5.0, 10.0, 16.0, 20.0, 60.0}) {
      auto e = std::make_shared<TOscRozsah>(r);
      e->CH[1].Gain = -1.25;
      e->CH[1].OffsetBip = 0.5;
      e->CH[1].OffsetAC = -19.99;
      e->RangeCh5 = 10000;
      e->CH[5].Unit = "kPa";
      e->CH[5].OffsetAC = -12.5;
      seed.Ranges.push_back(MakeRangeItem(e));
    }
    seed.SaveSettings();
    registry.restart();
    TFrmSetMdl4 d;
    d.SetPortInspector([](const std::string& port, bool) {
      TPortReport r;
      r.Port = port;
      r.Device = port;
      r.Product = "FT232R USB UART (0403:6001)";
      r.State = TPortState::NoPermission;
      r.Group = "dialout";
      r.User = "operator";
      return r;
    });
    d.SetSelectedRange(2);
    ASSERT_TRUE(test::ShowActive(d));
    const QString prefix = QString("settings_%1ch").arg(model == 1 ? 4 : 2);
    const QList<QWidget*> pages = {d.tsNastaveni, d.tsRozsahy, d.TsZesil};
    const char* names[] = {"nastaveni", "rozsahy", "kanaly56"};
    for (int i = 0; i < 3; ++i) {
      if (!d.Pages->isTabVisible(d.Pages->indexOf(pages[i]))) continue;
      d.Pages->setCurrentWidget(pages[i]);
      if (pages[i] == d.TsZesil) d.LbRanges56->setFocus();
      Save(d, prefix + "_" + names[i]);
      ExpectNothingCut(pages[i]);
    }
    EXPECT_EQ(d.Pages->isTabVisible(2), model == 1);
    d.reject();
  }
  formatSettings() = saved;
}

}  // namespace
}  // namespace osc
