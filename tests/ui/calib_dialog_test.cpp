// The calibration dialogs with real widgets (offscreen), a reader over a scripted source
// and stepped timers: each Poll() waits for the query the dialog started and runs one
// 100 ms tick, which shows that reading and starts the next.
#include "ui/calib_dialog.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <future>

#include "controls/qt/lx_display_panel.h"
#include "controls/qt/spin_box.h"
#include "controls/timer_source.h"
#include "platform/errors.h"
#include "platform/locale/locale.h"
#include "ui/app_error.h"

using namespace osc;
using namespace std::chrono_literals;

namespace {

constexpr auto kGenerous = 10s;

class Separator {
 public:
  explicit Separator(char decimal) : saved_(formatSettings()) { formatSettings().DecimalSeparator = decimal; }
  ~Separator() { formatSettings() = saved_; }
  Separator(const Separator&) = delete;
  Separator& operator=(const Separator&) = delete;

 private:
  FormatSettings saved_;
};

// Replaces the application's error box for one test and counts what it shows.
class ErrorBoxScope {
 public:
  explicit ErrorBoxScope(std::function<void(const std::string&)> inside = nullptr) {
    previous_ = SetApplicationErrorBox([this, inside](const std::string& message, QWidget*) {
      messages.push_back(message);
      if (inside) inside(message);
    });
  }
  ~ErrorBoxScope() { SetApplicationErrorBox(previous_); }
  ErrorBoxScope(const ErrorBoxScope&) = delete;
  ErrorBoxScope& operator=(const ErrorBoxScope&) = delete;

  std::vector<std::string> messages;

 private:
  TApplicationErrorBox previous_;
};

// A module the test scripts: a reading, an error, or a query that hangs until released.
struct Module {
  std::atomic<std::int32_t> reading{kNoRawValue};
  std::atomic<bool> fail{false};
  std::atomic<bool> hang{false};
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> calls{0};
  std::atomic<int> last_slot{0};
  std::atomic<bool> last_zero{false};

  std::int32_t Query(int slot, bool zero) {
    ++calls;
    last_slot = slot;
    last_zero = zero;
    if (hang) released.wait();
    if (fail) throw Exception("Port COM7 does not exist");
    return reading;
  }
};

struct Rig {
  Separator dot{'.'};
  Module module;
  TSteppedTimers timers;
  TOscRozsah entry{16};
  TRawReader reader{[this](int slot, bool zero) { return module.Query(slot, zero); }};

  ~Rig() { reader.WaitIdle(kGenerous); }

  // The reading the dialog asked for arrives, and one tick shows it (and asks again).
  ::testing::AssertionResult Poll() {
    if (!reader.WaitIdle(kGenerous)) return ::testing::AssertionFailure() << "the query never ended";
    timers.Advance(100);
    return ::testing::AssertionSuccess();
  }
  // From the next Poll on, the module answers `change`d: the query already out ends
  // with the old script and is shown first.
  ::testing::AssertionResult Then(const std::function<void(Module&)>& change) {
    if (!reader.WaitIdle(kGenerous)) return ::testing::AssertionFailure() << "the query never ended";
    change(module);
    return Poll();
  }
  ::testing::AssertionResult Then(std::int32_t reading) {
    return Then([reading](Module& m) { m.reading = reading; });
  }
};

std::string Caption(const qt::TLxDisplayPanel* panel) {
  return panel->Caption().toStdString();
}

// The settings dialog's calibration box: -20.00 .. 20.00 in steps of 0.01, stored into
// a field of the entry when committed.
void MakeCalibBox(qt::TSpinBox& box, double& field) {
  box.SetMode(TSpinBoxMode::fsFloat);
  box.SetDigits(2);
  box.SetConst_K(0.01);
  box.SetMinValue(-2000);
  box.SetMaxValue(2000);
  box.OnChange = [&box, &field](TCustomSpinBox&) { field = box.Value() * 0.01; };
}

// Runs `f` on the calibration dialog once it is shown modally, then makes sure it closes.
void WhenModal(std::function<void(TFrmMdl4CHCalib&)> f) {
  QTimer::singleShot(0, [f] {
    auto* dialog = qobject_cast<TFrmMdl4CHCalib*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      ADD_FAILURE() << "no calibration dialog is shown";
      return;
    }
    f(*dialog);
    if (dialog->isVisible()) dialog->reject();
  });
}

}  // namespace

TEST(CalibDialog, ZeroDialogShowsCaptionInstructionAndLiveReading) {
  Rig rig;
  TFrmMdl4CHCalib dialog(rig.reader, nullptr, &rig.timers);
  dialog.Channel = 2;
  dialog.Entry = &rig.entry;
  dialog.Mode = cmZeroAC;  // window -8 .. 8 V
  EXPECT_EQ(dialog.Label2->text(), "1.");
  EXPECT_EQ(dialog.Label5->text(), "Naměřeno:");
  EXPECT_EQ(dialog.Label6->text(), "Korekce:");
  EXPECT_EQ(dialog.BtnKalib->text(), "Kalibrovat");
  EXPECT_EQ(dialog.BitBtn2->text(), "Storno");
  EXPECT_TRUE(dialog.font().bold());
  EXPECT_EQ(dialog.font().pixelSize(), 15);
  rig.module.reading = 9207;  // 1.0 V: 16 * 9207 / 16368 - 8
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Kalibrace kanálu 2");
  EXPECT_EQ(dialog.Lbl1->text(), "Připojte svorku kanálu 2 na GND");
  EXPECT_FALSE(dialog.BtnKalib->isEnabled());  // nothing measured yet
  EXPECT_EQ(Caption(dialog.LblValue), "");
  ASSERT_TRUE(rig.Poll());
  EXPECT_EQ(rig.module.last_slot, 2);
  EXPECT_TRUE(rig.module.last_zero);
  EXPECT_EQ(Caption(dialog.LblValue), "1.00 V");
  EXPECT_EQ(Caption(dialog.LblKor), "-6.25 %");
  EXPECT_NEAR(dialog.Measured, 1.0, 1e-12);
  EXPECT_NEAR(dialog.Correction, -6.25, 1e-12);
  EXPECT_TRUE(dialog.BtnKalib->isEnabled());
  EXPECT_FALSE(dialog.isSizeGripEnabled());
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());  // fixed size
}

TEST(CalibDialog, FailedReadingEmptiesPanelsKeepsButtonAndCorrection) {
  Rig rig;
  TFrmMdl4CHCalib dialog(rig.reader, nullptr, &rig.timers);
  dialog.Channel = 1;
  dialog.Entry = &rig.entry;
  dialog.Mode = cmZeroAC;
  rig.module.reading = 8000;
  dialog.show();
  ASSERT_TRUE(rig.Poll());
  const double correction = dialog.Correction;
  ASSERT_TRUE(dialog.BtnKalib->isEnabled());
  ASSERT_TRUE(rig.Then(kNoRawValue));
  ASSERT_TRUE(rig.Poll());
  EXPECT_EQ(Caption(dialog.LblValue), "");
  EXPECT_EQ(Caption(dialog.LblKor), "");
  EXPECT_TRUE(dialog.BtnKalib->isEnabled());
  EXPECT_EQ(dialog.Correction, correction);
  ASSERT_TRUE(rig.Then(16368));  // 50 %: disabled, and still a good reading
  ASSERT_TRUE(rig.Poll());
  EXPECT_FALSE(dialog.BtnKalib->isEnabled());
  ASSERT_TRUE(rig.Then(kNoRawValue));
  ASSERT_TRUE(rig.Poll());
  EXPECT_FALSE(dialog.BtnKalib->isEnabled());
}

TEST(CalibDialog, SilentModuleStacksNoTicksAndCancelActsAtOnce) {
  Rig rig;
  rig.module.hang = true;
  TFrmMdl4CHCalib dialog(rig.reader, nullptr, &rig.timers);
  dialog.Channel = 3;
  dialog.Entry = &rig.entry;
  dialog.show();
  for (int i = 0; i < 30; ++i)
    rig.timers.Advance(100);  // 3 s of ticks behind one unanswered query
  EXPECT_LE(rig.module.calls, 1);
  EXPECT_TRUE(dialog.QueryRunning());
  EXPECT_FALSE(dialog.BtnKalib->isEnabled());
  QTest::mouseClick(dialog.BitBtn2, Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  rig.module.release.set_value();
  ASSERT_TRUE(rig.reader.WaitIdle(kGenerous));
  for (int i = 0; i < 5; ++i)
    rig.timers.Advance(100);
  EXPECT_EQ(rig.module.calls, 1);  // a closed dialog polls no more
}

TEST(CalibDialog, ClosingWhileTheModuleHangsReturnsAndKeepsTheStoredCorrection) {
  Rig rig;
  rig.module.hang = true;
  rig.entry.CH[2].OffsetBip = 3.17;
  qt::TSpinBox box;
  MakeCalibBox(box, rig.entry.CH[2].OffsetBip);
  box.SetValue(317);
  WhenModal([&](TFrmMdl4CHCalib& dialog) {
    for (int i = 0; i < 10; ++i)
      rig.timers.Advance(100);
    dialog.close();  // the window's close button
  });
  EXPECT_FALSE(
      RunCalibration(TCalibButton::bbCalibBip, 1, &rig.entry, box, rig.reader, nullptr, &rig.timers));
  EXPECT_EQ(box.Value(), 317);
  EXPECT_EQ(rig.entry.CH[2].OffsetBip, 3.17);
  EXPECT_TRUE(rig.reader.Busy());  // the query is still out; nobody waits for it
  rig.module.release.set_value();
}

TEST(CalibDialog, MissingModuleNeverEnablesConfirmSoNothingIsOverwritten) {
  Rig rig;  // every reading is the no-value marker
  rig.entry.CH[1].Gain = -4.5;
  qt::TSpinBox box;
  MakeCalibBox(box, rig.entry.CH[1].Gain);
  box.SetValue(-450);
  WhenModal([&](TFrmMdl4CHCalib& dialog) {
    for (int i = 0; i < 5; ++i)
      ASSERT_TRUE(rig.Poll());
    EXPECT_FALSE(dialog.BtnKalib->isEnabled());
    EXPECT_EQ(Caption(dialog.LblValue), "");
    EXPECT_EQ(Caption(dialog.LblKor), "");
    QTest::mouseClick(dialog.BtnKalib, Qt::LeftButton);
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());  // neither the button nor Enter confirms
  });
  EXPECT_FALSE(
      RunCalibration(TCalibButton::bbCalibGain, 0, &rig.entry, box, rig.reader, nullptr, &rig.timers));
  EXPECT_EQ(box.Value(), -450);
  EXPECT_EQ(rig.entry.CH[1].Gain, -4.5);
}

TEST(CalibDialog, NoChannelSelectedNeverReachesTheModule) {
  Rig rig;
  rig.module.reading = 9000;
  qt::TSpinBox box;
  MakeCalibBox(box, rig.entry.CH[1].OffsetAC);
  WhenModal([&](TFrmMdl4CHCalib& dialog) {
    EXPECT_EQ(dialog.Channel, 0);
    for (int i = 0; i < 5; ++i)
      rig.timers.Advance(100);
    EXPECT_FALSE(dialog.QueryRunning());
    EXPECT_EQ(Caption(dialog.LblValue), "");
    EXPECT_FALSE(dialog.BtnKalib->isEnabled());
  });
  EXPECT_FALSE(
      RunCalibration(TCalibButton::bbCalibAC, -1, &rig.entry, box, rig.reader, nullptr, &rig.timers));
  EXPECT_EQ(rig.module.calls, 0);
}

TEST(CalibDialog, ZeroDialogErrorShowsOneBoxAndPollingWaitsForIt) {
  Rig rig;
  rig.module.fail = true;
  TFrmMdl4CHCalib dialog(rig.reader, nullptr, &rig.timers);
  dialog.Channel = 1;
  dialog.Entry = &rig.entry;
  int calls_while_open = -1;
  ErrorBoxScope box([&](const std::string&) {
    // While the box is open, the timer keeps firing.
    const int before = rig.module.calls;
    for (int i = 0; i < 10; ++i) {
      dialog.Timer1Timer();
      rig.reader.WaitIdle(kGenerous);
    }
    calls_while_open = rig.module.calls - before;
  });
  dialog.show();
  ASSERT_TRUE(rig.Poll());
  ASSERT_EQ(box.messages.size(), 1u);
  EXPECT_EQ(box.messages[0], "Port COM7 does not exist");
  EXPECT_EQ(calls_while_open, 0);
  // Closed, polling resumes: the next failure shows the next box.
  ASSERT_TRUE(rig.Poll());
  EXPECT_EQ(box.messages.size(), 2u);
  ASSERT_TRUE(rig.Then([](Module& m) {  // the query already out still fails
    m.fail = false;
    m.reading = 8184;
  }));
  EXPECT_EQ(box.messages.size(), 3u);
  ASSERT_TRUE(rig.Poll());
  EXPECT_EQ(box.messages.size(), 3u);
  EXPECT_TRUE(dialog.BtnKalib->isEnabled());
}

TEST(CalibDialog, GainDialogSwallowsErrors) {
  Rig rig;
  rig.module.reading = 12276;
  TFrmMdl4CHCalibGain dialog(rig.reader, nullptr, &rig.timers);
  dialog.Channel = 4;
  dialog.Entry = &rig.entry;
  ErrorBoxScope box;
  dialog.show();
  ASSERT_TRUE(rig.Poll());
  EXPECT_EQ(Caption(dialog.LblValue), "12.00 V");
  ASSERT_TRUE(rig.Then([](Module& m) { m.fail = true; }));
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(rig.Poll());
  EXPECT_TRUE(box.messages.empty());
  EXPECT_EQ(Caption(dialog.LblValue), "12.00 V");  // an error ends the tick before the panels
  EXPECT_FALSE(rig.module.last_zero);
  EXPECT_EQ(rig.module.last_slot, 4);
}

TEST(CalibDialog, GainDialogLayoutTextsAndTypedVoltage) {
  Rig rig;
  rig.module.reading = 14299;  // 13.98 V of 16 V
  TFrmMdl4CHCalibGain dialog(rig.reader, nullptr, &rig.timers);
  dialog.Channel = 2;
  dialog.Entry = &rig.entry;
  EXPECT_EQ(dialog.Mode, cmGain);
  EXPECT_EQ(dialog.Label1->text(), "2.");
  EXPECT_EQ(dialog.Label3->text(), "Zadejte skutečnou hodnotu napětí na vstupu");
  EXPECT_EQ(dialog.Label4->text(), "Napětí [V]:");
  EXPECT_EQ(dialog.SbSkut->Digits(), 2);
  EXPECT_EQ(dialog.SbSkut->palette().color(QPalette::Base),
            QApplication::palette().color(QPalette::ToolTipBase));
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog, 5000));
  EXPECT_EQ(QApplication::focusWidget(), dialog.SbSkut);
  EXPECT_EQ(dialog.windowTitle(), "Kalibrace kanálu 2");
  EXPECT_EQ(dialog.Lbl1->text(), "Připojte na svorky kanálu 2 známé napětí v rozmezí od 8.0 V do 16.0 V ");
  EXPECT_GE(dialog.Lbl1->height(), 2 * dialog.Lbl1->fontMetrics().height());  // two lines
  // The panels and buttons sit on the row of the voltage box and below it.
  const int row = dialog.SbSkut->mapTo(&dialog, QPoint(0, 0)).y();
  EXPECT_NEAR(dialog.LblValue->y(), row, 2);
  EXPECT_NEAR(dialog.LblKor->y(), row, 2);
  EXPECT_GT(dialog.BtnKalib->y(), row);
  EXPECT_GT(dialog.LblValue->x(), dialog.SbSkut->ButtonWidget()->mapTo(&dialog, QPoint(0, 0)).x());

  dialog.SbSkut->selectAll();
  QTest::keyClicks(dialog.SbSkut, "14.15");
  EXPECT_EQ(dialog.SbSkut->Value(), 14.15);
  ASSERT_TRUE(rig.Poll());
  EXPECT_EQ(Caption(dialog.LblValue), "13.98 V");
  EXPECT_EQ(Caption(dialog.LblKor), "1.23 %");
  EXPECT_TRUE(dialog.BtnKalib->isEnabled());
  ASSERT_TRUE(rig.Then(16368));
  ASSERT_TRUE(rig.Poll());
  EXPECT_EQ(Caption(dialog.LblKor), "Snížit!");
  EXPECT_FALSE(dialog.BtnKalib->isEnabled());
  ASSERT_TRUE(rig.Then(8183));
  ASSERT_TRUE(rig.Poll());
  EXPECT_EQ(Caption(dialog.LblKor), "Zvýšit!");
  EXPECT_NEAR(dialog.Correction, 1.234, 1e-5);  // kept through the hints
}

TEST(CalibDialog, ConfirmedGainSetsTheBoxRoundedAndTheEntryThroughIt) {
  Rig rig;
  rig.module.reading = 14299;
  qt::TSpinBox box;
  MakeCalibBox(box, rig.entry.CH[2].Gain);
  QPointer<TFrmMdl4CHCalib> shown;
  WhenModal([&](TFrmMdl4CHCalib& dialog) {
    shown = &dialog;
    auto* gain = qobject_cast<TFrmMdl4CHCalibGain*>(&dialog);
    ASSERT_NE(gain, nullptr);
    gain->SbSkut->SetValue(14.15);
    ASSERT_TRUE(rig.Poll());
    ASSERT_NEAR(dialog.Correction, 1.234, 1e-5);
    QTest::mouseClick(dialog.BtnKalib, Qt::LeftButton);
  });
  EXPECT_TRUE(
      RunCalibration(TCalibButton::bbCalibGain, 1, &rig.entry, box, rig.reader, nullptr, &rig.timers));
  EXPECT_EQ(box.Value(), 123);
  EXPECT_DOUBLE_EQ(rig.entry.CH[2].Gain, 1.23);
  ASSERT_FALSE(shown.isNull());  // released after the current message
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(shown.isNull());
}

TEST(CalibDialog, ZeroButtonsLaunchTheirModeAndInstruction) {
  struct Row {
    TCalibButton button;
    std::uint8_t mode;
    const char* instruction;
    std::int32_t reading;  // raw of 0.5 V in the mode's window
    int box_value;
  };
  const Row rows[] = {
      {TCalibButton::bbCalibBip, cmZeroBipolar, "Připojte svorku kanálu 3 na GND", 6138, -312},  // -3.125 %
      {TCalibButton::bbCalibAC, cmZeroAC, "Odpojte svorku kanálu 3", 8695, -312},                // -3.122 %
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.instruction);
    Rig rig;
    rig.module.reading = r.reading;
    qt::TSpinBox box;
    double field = 9.99;
    MakeCalibBox(box, field);
    WhenModal([&](TFrmMdl4CHCalib& dialog) {
      EXPECT_EQ(dialog.Mode, r.mode);
      EXPECT_EQ(dialog.Lbl1->text(), r.instruction);
      ASSERT_TRUE(rig.Poll());
      EXPECT_TRUE(rig.module.last_zero);
      dialog.BtnKalib->click();
    });
    EXPECT_TRUE(RunCalibration(r.button, 2, &rig.entry, box, rig.reader, nullptr, &rig.timers));
    EXPECT_EQ(box.Value(), r.box_value);
    EXPECT_DOUBLE_EQ(field, r.box_value * 0.01);
  }
}
