// No text of the dialogs is cut and no widget lies outside its form, for both models'
// settings pages and the calibration dialogs with live readings, in Czech formats.
// Their pictures are tools/ui-sheet's.
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

TEST(Layout, EverySettingsPageOfBothModels) {
  auto czech = test::CzechFormats();
  for (int model : {0, 1}) {
    SCOPED_TRACE(model);
    test::ScratchRegistry registry;
    SettingsHolder seed;
    seed.ModelIndex = model;
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
      if (!d.Pages->isTabVisible(d.Pages->indexOf(page))) continue;
      d.Pages->setCurrentWidget(page);
      ExpectNothingCut(d, page);
    }
    d.reject();
  }
}

TEST(Layout, CalibrationDialogsWithLiveReadings) {
  auto czech = test::CzechFormats();
  const struct {
    bool gain;
    std::uint8_t mode;
    std::int32_t reading;
    double range;
  } cases[] = {{false, cmZeroBipolar, 5802, 16},
               {false, cmZeroAC, 4000, 16},
               {true, cmGain, 14299, 16},
               {true, cmGain, 16368, 60}};
  for (const auto& c : cases) {
    TSteppedTimers timers;
    TOscRozsah entry(c.range);
    TRawReader reader([&](int, bool) { return c.reading; });
    std::unique_ptr<TFrmMdl4CHCalib> dialog;
    if (c.gain) {
      dialog = std::make_unique<TFrmMdl4CHCalibGain>(reader, nullptr, &timers);
    } else {
      dialog = std::make_unique<TFrmMdl4CHCalib>(reader, nullptr, &timers);
    }
    dialog->Channel = 4;
    dialog->Entry = &entry;
    dialog->Mode = c.mode;
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
