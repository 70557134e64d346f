// The calibration dialogs' wiring with real widgets (offscreen), a reader over a scripted
// source and stepped timers: each Poll() waits for the query the dialog started and runs
// one 100 ms tick, which shows that reading and starts the next. The figures and texts
// are acquisition's calibration tests.
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
#include "support/format_scope.h"
#include "ui/app_error.h"

using namespace osc;
using namespace std::chrono_literals;

namespace {

constexpr auto kGenerous = 10s;

// The application's error box for one test: counts what it shows, running `inside` as
// the box would be open.
struct ErrorBoxScope {
  std::vector<std::string> messages;
  std::function<void()> inside;
  TApplicationErrorBox previous = SetApplicationErrorBox([this](const std::string& message, QWidget*) {
    messages.push_back(message);
    if (inside) inside();
  });
  ~ErrorBoxScope() { SetApplicationErrorBox(previous); }
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
  test::FormatScope dot{'.', ','};
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
  box.SetScaledValue(field);
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

// While a query hangs (the reader refuses to stack more: acquisition's raw-reader test),
// Storno closes at once, keeps the stored correction and waits for nothing, and a closed
// dialog polls no more.
TEST(CalibDialog, AHungModuleNeverHoldsUpStorno) {
  Rig rig;
  rig.module.hang = true;
  rig.entry.CH[2].OffsetBip = 3.17;
  qt::TSpinBox box;
  MakeCalibBox(box, rig.entry.CH[2].OffsetBip);
  WhenModal([&](TFrmMdl4CHCalib& dialog) {
    rig.timers.Advance(100);
    EXPECT_TRUE(dialog.QueryRunning());
    QTest::mouseClick(dialog.BitBtn2, Qt::LeftButton);
  });
  EXPECT_FALSE(
      RunCalibration(TCalibButton::bbCalibBip, 1, &rig.entry, box, rig.reader, nullptr, &rig.timers));
  EXPECT_EQ(rig.entry.CH[2].OffsetBip, 3.17);
  rig.module.release.set_value();
  ASSERT_TRUE(rig.reader.WaitIdle(kGenerous));
  for (int i = 0; i < 5; ++i)
    rig.timers.Advance(100);
  EXPECT_EQ(rig.module.calls, 1);
}

// Readings reach the panels. The zero dialog shows each failed query in one error box, and
// polling waits for it; the gain dialog swallows them and keeps its panels.
TEST(CalibDialog, ReadingsReachThePanelsAndOnlyTheZeroDialogShowsErrors) {
  for (bool gain : {false, true}) {
    SCOPED_TRACE(gain);
    Rig rig;
    rig.module.reading = 9207;
    std::unique_ptr<TFrmMdl4CHCalib> dialog;
    if (gain) {
      dialog = std::make_unique<TFrmMdl4CHCalibGain>(rig.reader, nullptr, &rig.timers);
    } else {
      dialog = std::make_unique<TFrmMdl4CHCalib>(rig.reader, nullptr, &rig.timers);
    }
    dialog->Channel = 2;
    dialog->Entry = &rig.entry;
    dialog->Mode = gain ? cmGain : cmZeroAC;
    int calls_while_open = -1;
    ErrorBoxScope box;
    box.inside = [&] {
      const int before = rig.module.calls;  // while the box is open, the timer keeps firing
      for (int i = 0; i < 10; ++i) {
        dialog->Timer1Timer();
        rig.reader.WaitIdle(kGenerous);
      }
      calls_while_open = rig.module.calls - before;
    };
    dialog->show();
    ASSERT_TRUE(rig.Poll());
    const std::string shown = Caption(dialog->LblValue);
    EXPECT_NE(shown, "");
    EXPECT_NE(Caption(dialog->LblKor), "");

    ASSERT_TRUE(rig.reader.WaitIdle(kGenerous));
    rig.module.fail = true;  // from the next query on: the one out shows first
    ASSERT_TRUE(rig.Poll());
    ASSERT_TRUE(rig.Poll());
    EXPECT_EQ(box.messages.size(), gain ? 0u : 1u);
    EXPECT_EQ(calls_while_open, gain ? -1 : 0);
    EXPECT_EQ(Caption(dialog->LblValue), shown);
    ASSERT_TRUE(rig.reader.WaitIdle(kGenerous));
    rig.module.fail = false;
    ASSERT_TRUE(rig.Poll());  // the query already out still fails
    EXPECT_EQ(box.messages.size(), gain ? 0u : 2u);
  }
}

// Each button opens its mode; the voltage typed into the gain dialog and a confirmed
// correction reach the button's box rounded, and the entry through it. Without a reading
// (no module, or no channel selected: never asked) neither the button nor Enter confirms.
TEST(CalibDialog, OnlyAReadingConfirmsAndItsCorrectionSetsTheBox) {
  constexpr int kUnchanged = 999;  // the box's 9.99 %
  const struct {
    TCalibButton button;
    std::uint8_t mode;
    int channel;
    std::int32_t reading;
    int box_value;
  } rows[] = {
      {TCalibButton::bbCalibGain, cmGain, 2, 14299, 123},        // 13.98 V read, 14.15 V typed
      {TCalibButton::bbCalibBip, cmZeroBipolar, 2, 6138, -312},  // 0.5 V in -8 .. 8 V
      {TCalibButton::bbCalibAC, cmZeroAC, 2, 8695, -312},
      {TCalibButton::bbCalibGain, cmGain, 2, kNoRawValue, kUnchanged},
      {TCalibButton::bbCalibBip, cmZeroBipolar, -1, 9000, kUnchanged},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << int(r.mode) << " channel " << r.channel << " read " << r.reading);
    const bool confirms = r.box_value != kUnchanged;
    Rig rig;
    rig.module.reading = r.reading;
    qt::TSpinBox box;
    double field = 9.99;
    MakeCalibBox(box, field);
    QPointer<TFrmMdl4CHCalib> shown;
    WhenModal([&](TFrmMdl4CHCalib& dialog) {
      shown = &dialog;
      EXPECT_EQ(dialog.Mode, r.mode);
      if (auto* gain = qobject_cast<TFrmMdl4CHCalibGain*>(&dialog)) {
        EXPECT_EQ(gain->focusWidget(), gain->SbSkut);
        gain->SbSkut->selectAll();
        QTest::keyClicks(gain->SbSkut, "14.15");
      }
      for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(rig.Poll());
      EXPECT_EQ(rig.module.calls > 0, r.channel >= 0);
      EXPECT_EQ(rig.module.last_zero, r.channel >= 0 && r.mode != cmGain);
      EXPECT_EQ(rig.module.last_slot, r.channel >= 0 ? 3 : 0);
      EXPECT_EQ(dialog.BtnKalib->isEnabled(), confirms);
      QTest::mouseClick(dialog.BtnKalib, Qt::LeftButton);
      if (!confirms) QTest::keyClick(&dialog, Qt::Key_Return);
      EXPECT_EQ(dialog.isVisible(), !confirms);
    });
    EXPECT_EQ(RunCalibration(r.button, r.channel, &rig.entry, box, rig.reader, nullptr, &rig.timers),
              confirms);
    EXPECT_EQ(box.Value(), r.box_value);
    EXPECT_DOUBLE_EQ(field, r.box_value * 0.01);
    ASSERT_FALSE(shown.isNull()) << "released after the current message";
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull());
  }
}
