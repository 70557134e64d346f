// The calibration dialogs with live readings, saved as pictures for a person to look at
// (build tree: tests/ui/screenshots), and checked for texts that do not fit.
#include <gtest/gtest.h>
#include <QDir>
#include <QLabel>
#include <QPushButton>

#include "controls/qt/spin_box.h"
#include "controls/timer_source.h"
#include "platform/locale/locale.h"
#include "ui/calib_dialog.h"

using namespace osc;
using namespace std::chrono_literals;

namespace {

QString ScreenshotPath(const char* name) {
  QDir().mkpath(OSC_SCREENSHOT_DIR);
  return QString(OSC_SCREENSHOT_DIR) + "/" + name;
}

// Every text of the dialog fits its widget, and every widget lies inside the dialog.
void ExpectNothingClipped(const QWidget& dialog) {
  const QRect inside = dialog.rect();
  for (const QWidget* w : dialog.findChildren<QWidget*>()) {
    if (!w->isVisible()) continue;
    SCOPED_TRACE(w->objectName().toStdString());
    const QRect r(w->mapTo(&dialog, QPoint(0, 0)), w->size());
    EXPECT_TRUE(inside.contains(r)) << "outside the dialog";
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
      const QFontMetrics fm(label->font());
      if (label->wordWrap()) {
        EXPECT_GE(label->height(), label->heightForWidth(label->width()));
        for (const QString& word : label->text().split(' ', Qt::SkipEmptyParts))
          EXPECT_GE(label->contentsRect().width(), fm.horizontalAdvance(word)) << word.toStdString();
      } else {
        EXPECT_GE(label->contentsRect().width(), fm.horizontalAdvance(label->text()));
        EXPECT_GE(label->contentsRect().height(), fm.height());
      }
    } else if (const auto* button = qobject_cast<const QPushButton*>(w)) {
      EXPECT_GE(button->width(), button->sizeHint().width());
      EXPECT_GE(button->height(), button->sizeHint().height());
    }
  }
}

struct Live {
  TSteppedTimers timers;
  std::int32_t reading;
  TOscRozsah entry{16};
  TRawReader reader{[this](int, bool) { return reading; }};

  explicit Live(std::int32_t raw) : reading(raw) {}
  void Poll() {
    ASSERT_TRUE(reader.WaitIdle(10s));
    timers.Advance(100);
  }
};

void Shoot(TFrmMdl4CHCalib& dialog, Live& live, const char* file) {
  dialog.show();
  live.Poll();
  ExpectNothingClipped(dialog);
  const QImage image = dialog.grab().toImage();
  EXPECT_TRUE(image.save(ScreenshotPath(file)));
  dialog.reject();
}

class CzechSeparator {
 public:
  CzechSeparator() : saved_(formatSettings()) { formatSettings().DecimalSeparator = ','; }
  ~CzechSeparator() { formatSettings() = saved_; }
  CzechSeparator(const CzechSeparator&) = delete;
  CzechSeparator& operator=(const CzechSeparator&) = delete;

 private:
  FormatSettings saved_;
};

}  // namespace

TEST(CalibSheet, ZeroDialogsWithLiveReadings) {
  CzechSeparator czech;
  {
    Live live(5802);  // Bipolar -5.5 .. 10.5 V: 0.17 V
    TFrmMdl4CHCalib dialog(live.reader, nullptr, &live.timers);
    dialog.Channel = 2;
    dialog.Entry = &live.entry;
    dialog.Mode = cmZeroBipolar;
    Shoot(dialog, live, "calib-zero-bipolar.png");
  }
  {
    Live live(4000);  // AC: -4.09 V, beyond 20 %: "Kalibrovat" disabled
    TFrmMdl4CHCalib dialog(live.reader, nullptr, &live.timers);
    dialog.Channel = 4;
    dialog.Entry = &live.entry;
    dialog.Mode = cmZeroAC;
    dialog.Lbl1->setText(QString::fromUtf8(calib_text::kZeroOpen));
    Shoot(dialog, live, "calib-zero-ac-disabled.png");
  }
}

TEST(CalibSheet, GainDialogsWithLiveReadings) {
  CzechSeparator czech;
  {
    Live live(14299);
    TFrmMdl4CHCalibGain dialog(live.reader, nullptr, &live.timers);
    dialog.Channel = 2;
    dialog.Entry = &live.entry;
    dialog.SbSkut->SetValue(14.15);
    Shoot(dialog, live, "calib-gain.png");
  }
  {
    Live live(16368);
    TFrmMdl4CHCalibGain dialog(live.reader, nullptr, &live.timers);
    dialog.Channel = 3;
    live.entry.Range = 60;
    dialog.Entry = &live.entry;
    dialog.SbSkut->SetValue(55.5);
    Shoot(dialog, live, "calib-gain-saturated.png");
  }
}
