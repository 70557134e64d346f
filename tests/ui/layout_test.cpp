// No text of the dialogs is cut and no widget lies outside its form, for the settings
// pages and the calibration dialogs with live readings, in Czech formats. Their pictures
// are tools/ui-sheet's.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>

#include "controls/qt/spin_box.h"
#include "controls/timer_source.h"
#include "support/format_scope.h"
#include "support/scratch_registry.h"
#include "support/widget_rig.h"
#include "ui/calib_dialog.h"
#include "ui/settings_dialog.h"

namespace osc {
namespace {

using namespace std::chrono_literals;

void ExpectNothingCut(QWidget& form, QWidget* page) {
  for (const QWidget* w : page->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(page)) continue;
    SCOPED_TRACE(w->objectName().toStdString() + " " + w->metaObject()->className());
    EXPECT_TRUE(form.rect().contains(QRect(w->mapTo(&form, QPoint(0, 0)), w->size()))) << "outside the form";
    const auto* label = qobject_cast<const QLabel*>(w);
    if (label != nullptr && label->wordWrap()) {
      EXPECT_GE(label->height(), label->heightForWidth(label->width()));
      const QFontMetrics fm(label->font());
      for (const QString& word : label->text().split(' ', Qt::SkipEmptyParts))
        EXPECT_GE(label->contentsRect().width(), fm.horizontalAdvance(word)) << word.toStdString();
    } else if (label || qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QGroupBox*>(w) ||
               qobject_cast<const QComboBox*>(w)) {
      EXPECT_GE(w->width(), w->minimumSizeHint().width());
      EXPECT_GE(w->height(), w->minimumSizeHint().height());
    }
  }
}

// The 4-channel model shows every page and channel; its Czech numbers are the longest.
TEST(Layout, EverySettingsPageAndCalibrationDialog) {
  auto czech = test::CzechFormats();
  test::ScratchRegistry registry;
  SettingsHolder seed;
  seed.ModelIndex = 1;
  auto e = std::make_shared<TOscRozsah>(60);
  e->CH[1].OffsetAC = -19.99;
  e->RangeCh5 = 10000;
  e->CH[5].Unit = "kPa";
  seed.Ranges.push_back(MakeRangeItem(e));
  seed.SaveSettings();
  registry.restart();
  TFrmSetMdl4 d;
  d.SetPortInspector([](const std::string& port, bool) {
    TPortReport r;
    r.Port = r.Device = port;
    r.State = TPortState::NoPermission;
    r.Group = "dialout";
    r.User = "operator";
    return r;
  });
  d.SetSelectedRange(0);
  ASSERT_TRUE(test::ShowActive(d));
  for (QWidget* page : {d.tsNastaveni, d.tsRozsahy, d.TsZesil}) {
    d.Pages->setCurrentWidget(page);
    ExpectNothingCut(d, page);
  }
  d.reject();

  for (bool gain : {false, true}) {  // the gain dialog at its longest reading
    TSteppedTimers timers;
    TOscRozsah entry(gain ? 60 : 16);
    TRawReader reader([&](int, bool) { return gain ? 16368 : 5802; });
    std::unique_ptr<TFrmMdl4CHCalib> dialog;
    if (gain) {
      dialog = std::make_unique<TFrmMdl4CHCalibGain>(reader, nullptr, &timers);
    } else {
      dialog = std::make_unique<TFrmMdl4CHCalib>(reader, nullptr, &timers);
    }
    dialog->Channel = 4;
    dialog->Entry = &entry;
    dialog->Mode = gain ? cmGain : cmZeroBipolar;
    dialog->show();
    ASSERT_TRUE(reader.WaitIdle(10s));
    timers.Advance(100);
    ExpectNothingCut(*dialog, dialog.get());
    dialog->reject();
    reader.WaitIdle(10s);
  }
}

}  // namespace
}  // namespace osc
