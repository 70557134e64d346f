// The options dialog's and the calibration dialogs' wiring with real widgets, headless:
// each box writes its field of the selected entry, OK hands the copy back and saves it,
// Storno drops it; a calibration confirms only a reading. The rules behind them are
// config's settings and settings-edit tests and acquisition's calibration tests.
#include "ui/settings_dialog.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <future>
#include <memory>

#include "controls/qt/lx_display_panel.h"
#include "controls/qt/lx_list_box.h"
#include "controls/qt/spin_box.h"
#include "controls/timer_source.h"
#include "platform/errors.h"
#include "seriallink/port_check.h"
#include "simulator/simulated_module.h"
#include "support/faulty_file_ops.h"
#include "support/format_scope.h"
#include "support/range_entry_expect.h"
#include "support/scratch_registry.h"
#include "support/widget_rig.h"
#include "ui/app_error.h"
#include "ui/calib_dialog.h"

namespace osc {
namespace {

using Entry = std::shared_ptr<TOscRozsah>;
using Strings = std::vector<std::string>;
using test::ExpectSameEntry;
using namespace std::chrono_literals;

// Values no box can show exactly, so that any write-back from a box changes them.
Entry Odd(double range, double seed = 0) {
  auto e = std::make_shared<TOscRozsah>(range);
  e->RangeCh5 = 12.3456 + seed;
  e->RangeCh6 = 0.2345 + seed;
  for (int d = 1; d <= 6; ++d) {
    e->CH[d].Gain = 1.234 * d + seed;
    e->CH[d].OffsetBip = -0.567 * d - seed;
    e->CH[d].OffsetAC = 0.891 * d + seed;
    e->CH[d].Unit = "u" + std::to_string(d);
  }
  return e;
}

Strings Texts(const QListWidget* list) {
  Strings out;
  for (int i = 0; i < list->count(); ++i)
    out.push_back(list->item(i)->text().toStdString());
  return out;
}

// No widget of `page` lies outside `form`, and none is too small for its text.
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

// ---- the calibration dialogs: a reader over a scripted source and stepped timers; each
// Poll() waits for the query the dialog started and runs one 100 ms tick, which shows
// that reading and starts the next. The figures and texts are acquisition's tests.

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

struct CalibRig {
  test::FormatScope dot{'.', ','};
  Module module;
  TSteppedTimers timers;
  TOscRozsah entry{16};
  TRawReader reader{[this](int slot, bool zero) { return module.Query(slot, zero); }};

  ~CalibRig() { reader.WaitIdle(kGenerous); }

  // The reading the dialog asked for arrives, and one tick shows it (and asks again).
  ::testing::AssertionResult Poll() {
    if (!reader.WaitIdle(kGenerous)) return ::testing::AssertionFailure() << "the query never ended";
    timers.Advance(100);
    return ::testing::AssertionSuccess();
  }
};

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

struct Rig {
  test::FormatScope dot{'.', ','};
  test::ScratchRegistry registry;
  std::vector<QString> messages;
  std::unique_ptr<TFrmSetMdl4> dlg;
  Rig() { sim::RegisterSimulatedPorts(); }  // as the program does before loading the settings

  // Stores settings as an earlier run of the program would have left them.
  void Seed(int model, std::vector<Entry> entries, const std::string& port = "COM1") {
    SettingsHolder s;
    s.Port = port;
    s.ModelIndex = model;
    for (Entry& e : entries)
      s.Ranges.push_back(MakeRangeItem(e));
    s.SaveSettings();
  }
  // A program start: the registry is read anew and the dialog created, then shown.
  TFrmSetMdl4& Start(bool show = true) {
    dlg.reset();
    registry.restart();
    dlg = std::make_unique<TFrmSetMdl4>(nullptr, [this](const QString& t) { messages.push_back(t); });
    if (show) {
      EXPECT_TRUE(test::ShowActive(*dlg));
    }
    return *dlg;
  }
  // An entry of the copy the dialog edits.
  TOscRozsah& EntryAt(int i) { return *dlg->Edited().Ranges.at(static_cast<std::size_t>(i)).Entry; }
  void SelectRange(int row) { dlg->lbRanges->setCurrentRow(row, QItemSelectionModel::ClearAndSelect); }
  void SelectChannel(int row) { dlg->lbChannel->setCurrentRow(row, QItemSelectionModel::ClearAndSelect); }
  void ShowPage(QWidget* page) { dlg->Pages->setCurrentWidget(page); }
  // Types `text` over the box's text, as a user who selected it all would.
  void TypeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
};

// Which channels and buttons each model offers is config's settings-edit test.
TEST(SettingsDialog, TheSelectionFillsTheBoxesTheModelTheChannelsAndTheButtonsCalibrate) {
  Rig rig;
  rig.Seed(0, {Odd(10), Odd(20, 0.5)});
  TFrmSetMdl4& d = rig.Start();
  EXPECT_TRUE(d.sbCalibGain->Blank());
  rig.SelectRange(1);
  EXPECT_EQ(d.sbRozsah->text(), "20");
  EXPECT_EQ(d.sbCalibGain->text(), "1.73");  // CH 1, chosen when no channel was selected
  EXPECT_EQ(Texts(d.lbChannel), (Strings{"CH 1", "CH 2"}));
  EXPECT_FALSE(d.Pages->isTabVisible(d.Pages->indexOf(d.TsZesil)));

  d.RgTypOscItems->button(1)->click();  // the page appears at once, the rest with the next page change
  EXPECT_TRUE(d.Pages->isTabVisible(d.Pages->indexOf(d.TsZesil)));
  rig.ShowPage(d.tsRozsahy);
  EXPECT_EQ(d.lbChannel->count(), 4);

  d.sbDeleteClick();  // the selected range goes, the selection with it
  EXPECT_EQ(Texts(d.lbRanges), Strings{"10 V"});
  EXPECT_EQ(d.SelectedRange(), -1);
  EXPECT_FALSE(d.bbCalibGain->isEnabled());

  // The buttons open the calibration dialog for the selected range and channel (each
  // one's mode is the calibration dialog's test); cancelled, it stores nothing.
  TRawReader reader([](int, bool) { return kNoRawValue; });
  TSteppedTimers timers;  // never stepped: no reading is taken
  d.UseCalibration(reader, &timers);
  rig.SelectRange(0);
  rig.SelectChannel(3);
  const TOscRozsah before = rig.EntryAt(0);
  bool seen = false;
  QTimer::singleShot(0, &d, [&] {
    auto* calib = qobject_cast<TFrmMdl4CHCalib*>(QApplication::activeModalWidget());
    ASSERT_NE(calib, nullptr);
    seen = true;
    EXPECT_EQ(calib->Channel, 4);
    EXPECT_EQ(calib->Entry, &rig.EntryAt(0));
    EXPECT_EQ(calib->Mode, cmZeroAC);
    calib->reject();
  });
  QTest::mouseClick(d.bbCalibAC, Qt::LeftButton);
  EXPECT_TRUE(seen);
  ExpectSameEntry(rig.EntryAt(0), before);
}

// Selecting writes nothing back; each box writes its field of the selected entry only, the
// calibration boxes through their buttons' launches for the selected channel.
TEST(SettingsDialog, EachBoxWritesItsFieldOfTheSelectedEntryOnly) {
  Rig rig;
  rig.Seed(1, {Odd(10.4), Odd(20.6, 0.5)});
  TFrmSetMdl4& d = rig.Start(false);
  const TOscRozsah first = rig.EntryAt(0);
  const TOscRozsah second = rig.EntryAt(1);
  ASSERT_TRUE(test::ShowActive(d));
  rig.SelectRange(0);
  rig.SelectChannel(2);
  rig.SelectRange(1);
  rig.SelectChannel(3);
  d.LbRanges56->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
  d.LbRanges56->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
  ExpectSameEntry(rig.EntryAt(0), first);
  ExpectSameEntry(rig.EntryAt(1), second);
  EXPECT_EQ(d.sbRozsah->text(), "21");  // shown rounded, stored as it was
  rig.SelectChannel(2);
  TOscRozsah& e = rig.EntryAt(1);
  int confirmed = 0;
  std::vector<TCalibButton> launched;
  d.SetCalibLauncher([&](TCalibButton button, int channel, TOscRozsah* entry, TSpinBox& box) {
    launched.push_back(button);
    EXPECT_EQ(channel, 2);
    EXPECT_EQ(entry, &e);
    box.SetValue(confirmed);
  });
  const auto calibrate = [&](QPushButton* button, int value) {
    confirmed = value;
    QTest::mouseClick(button, Qt::LeftButton);
  };
  const struct {
    std::function<void()> edit;
    std::function<double()> field;
    double want;
  } cases[] = {
      {[&] { calibrate(d.bbCalibGain, 150); }, [&] { return e.CH[3].Gain; }, 1.5},
      {[&] { calibrate(d.bbCalibBip, -25); }, [&] { return e.CH[3].OffsetBip; }, -0.25},
      {[&] { calibrate(d.bbCalibAC, 7); }, [&] { return e.CH[3].OffsetAC; }, 0.07},
      {[&] {
         rig.TypeInto(d.SbRange5, "2.5");
         QTest::keyClick(d.SbRange5, Qt::Key_Return);
       },
       [&] { return e.RangeCh5; }, 2.5},
      {[&] { d.SbOffset6->SetValue(-150); }, [&] { return e.CH[6].OffsetAC; }, -1.5},
      {[&] { d.SbRange6->SetValue(4000); }, [&] { return e.RangeCh6; }, 4},
      {[&] { d.SbOffset5->SetValue(30); }, [&] { return e.CH[5].OffsetAC; }, 0.3},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    if (i == 3) rig.ShowPage(d.TsZesil);
    cases[i].edit();
    EXPECT_NEAR(cases[i].field(), cases[i].want, 1e-12);
  }
  rig.TypeInto(d.EdUnit5, "µÅ°C");  // three characters, more than three bytes
  EXPECT_EQ(e.CH[5].Unit, "µÅ°");
  EXPECT_EQ(e.CH[6].Unit, "u6");
  EXPECT_EQ(d.LbRanges56->currentRow(), 1);
  EXPECT_EQ(launched, (std::vector<TCalibButton>{TCalibButton::bbCalibGain, TCalibButton::bbCalibBip,
                                                 TCalibButton::bbCalibAC}));
  ExpectSameEntry(rig.EntryAt(0), first);
}

// Storno drops the copy: the settings in force, their entries (the main window's and a
// recording's scale come from them) and the file stay as they were. Execute shows the
// range asked for and hands the copy back on OK, saved: the next start shows it, with
// what was still being typed when OK was pressed.
TEST(SettingsDialog, StornoDropsTheCopyAndOkHandsItBackSaved) {
  Rig rig;
  rig.Seed(1, {Odd(10), Odd(20, 0.5), Odd(30, 0.25)}, "/dev/ttyS0");
  TFrmSetMdl4& d = rig.Start(false);
  const std::string file = rig.registry.read_file();
  const TOscRozsah first = *d.Settings().Ranges[0].Entry;
  QTimer::singleShot(0, &d, [&] {
    d.cbPort->setEditText("SIM2");
    rig.SelectRange(0);
    d.sbRozsah->SetValue(55);
    rig.SelectRange(2);
    d.sbDeleteClick();
    d.RgTypOscItems->button(0)->click();
    QTest::mouseClick(d.bbCancel, Qt::LeftButton);
  });
  EXPECT_FALSE(d.Execute(0));
  EXPECT_EQ(d.Settings().Port, "/dev/ttyS0");
  EXPECT_EQ(d.Settings().ModelIndex, 1);
  ASSERT_EQ(d.Settings().Ranges.size(), 3u);
  ExpectSameEntry(*d.Settings().Ranges[0].Entry, first);
  EXPECT_EQ(rig.registry.read_file(), file);

  QTimer::singleShot(0, &d, [&] {
    EXPECT_EQ(d.cbPort->currentText(), "/dev/ttyS0") << "the settings, not the dropped copy";
    EXPECT_EQ(d.sbRozsah->text(), "20");
    d.cbPort->setEditText("/dev/ttyUSB3");
    d.RgTypOscItems->button(0)->click();
    rig.ShowPage(d.tsRozsahy);
    QTest::mouseClick(d.sbNew, Qt::LeftButton);
    rig.SelectChannel(1);
    d.sbCalibGain->SetValue(-321);
    rig.TypeInto(d.sbRozsah, "45");
    d.bbOkClick();
  });
  const auto confirmed = d.Execute(1);
  ASSERT_TRUE(confirmed);
  EXPECT_EQ(confirmed->Ranges.size(), 4u);
  EXPECT_EQ(d.SelectedRange(), 3);

  TFrmSetMdl4& again = rig.Start(false);
  EXPECT_EQ(again.Settings().Port, "/dev/ttyUSB3");
  EXPECT_EQ(again.ModelIndex(), 0);
  EXPECT_EQ(Texts(again.lbRanges), (Strings{"10 V", "20 V", "30 V", "45 V"}));
  EXPECT_NEAR(rig.EntryAt(3).CH[2].Gain, -3.21, 1e-12);
  EXPECT_TRUE(rig.messages.empty());
}

// A stored model other than 0 or 1 loads as the 2-channel model (the 4-channel one's
// controls would find no button); a damaged file is config's settings test.
TEST(SettingsDialog, AStoredModelOutOfRangeLoadsAndAFailedSaveReachesTheErrorBox) {
  Rig rig;
  rig.Seed(2, {Odd(10)});
  TFrmSetMdl4& d = rig.Start();
  EXPECT_TRUE(d.RgTypOscItems->button(0)->isChecked());
  EXPECT_EQ(d.Settings().ModelIndex, 0);
  test::FaultyFileOps files;
  files.fail_call(1, ENOSPC);
  rig.registry.set_files(&files);
  d.cbPort->setEditText("COM5");
  ErrorBoxScope errors;
  d.bbOkClick();
  EXPECT_EQ(errors.messages.size(), 1u);
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(d.Edited().Port, "COM5");
  EXPECT_EQ(d.Settings().Port, "COM1");  // as the file still says
}

// No text is cut on the pages of the 4-channel model (it shows every page and channel;
// its Czech numbers are the longest), the port problem shown. Their pictures are
// tools/ui-sheet's.
TEST(SettingsDialog, ThePortBoxListsThePortsAndSaysWhyTheChosenOneCannotBeOpened) {
  Rig rig;
  auto czech = test::CzechFormats();
  auto e = std::make_shared<TOscRozsah>(60);
  e->CH[1].OffsetAC = -19.99;
  e->RangeCh5 = 10000;
  e->CH[5].Unit = "kPa";
  rig.Seed(1, {e});
  rig.registry.add_tty("ttyUSB0", true, -1, true);
  TFrmSetMdl4& d = rig.Start(false);
  ASSERT_EQ(d.cbPort->count(), 3);  // the device and the two simulated modules
  EXPECT_EQ(d.cbPort->itemText(0).toStdString(), rig.registry.dev() + "/ttyUSB0");
  EXPECT_EQ(d.cbPort->currentText(), "COM1");  // the stored text, not the first item

  TPortReport report;
  report.Product = "FT232R";
  report.State = TPortState::NoPermission;
  report.Group = "dialout";
  report.User = "operator";
  std::vector<std::pair<std::string, bool>> asked;
  d.SetPortInspector([&](const std::string& port, bool full) {
    asked.emplace_back(port, full);
    report.Port = report.Device = port;
    return report;
  });
  EXPECT_EQ(d.cbPort->itemData(0, Qt::ToolTipRole).toString(), "FT232R");
  EXPECT_FALSE(asked.back().second) << "hints only: nothing inspected while hidden";
  ASSERT_TRUE(test::ShowActive(d));  // showing checks the port
  EXPECT_EQ(asked.back(), std::make_pair(std::string("COM1"), true));
  EXPECT_EQ(d.LblPortProblem->text().toStdString(), PortProblem(report));
  d.SetSelectedRange(0);
  for (QWidget* page : {d.tsNastaveni, d.tsRozsahy, d.TsZesil}) {
    rig.ShowPage(page);
    ExpectNothingCut(d, page);
  }
  rig.ShowPage(d.tsNastaveni);
  rig.TypeInto(d.cbPort->lineEdit(), "COM66");
  EXPECT_EQ(asked.back().first, "COM1") << "checked once typing pauses, not on every key";
  d.CheckPort();
  EXPECT_EQ(asked.back().first, "COM66");
  d.bbOkClick();
  EXPECT_EQ(rig.Start(false).Settings().Port, "COM66");
}

// While a query hangs (the reader refuses to stack more: acquisition's raw-reader test),
// Storno closes at once, keeps the stored correction and waits for nothing, and a closed
// dialog polls no more.
TEST(CalibDialog, AHungModuleNeverHoldsUpStorno) {
  CalibRig rig;
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

// Readings reach the panels, and at the longest ones no text is cut (in Czech; the
// pictures are tools/ui-sheet's). The zero dialog shows each failed query in one error
// box, and polling waits for it; the gain dialog swallows them and keeps its panels.
TEST(CalibDialog, ReadingsReachThePanelsAndOnlyTheZeroDialogShowsErrors) {
  for (bool gain : {false, true}) {
    SCOPED_TRACE(gain);
    CalibRig rig;
    auto czech = test::CzechFormats();
    rig.module.reading = gain ? 16368 : 5802;  // the longest texts
    rig.entry.Range = gain ? 60 : 16;
    std::unique_ptr<TFrmMdl4CHCalib> dialog;
    if (gain) {
      dialog = std::make_unique<TFrmMdl4CHCalibGain>(rig.reader, nullptr, &rig.timers);
    } else {
      dialog = std::make_unique<TFrmMdl4CHCalib>(rig.reader, nullptr, &rig.timers);
    }
    dialog->Channel = 2;
    dialog->Entry = &rig.entry;
    dialog->Mode = gain ? cmGain : cmZeroBipolar;
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
    const QString shown = dialog->LblValue->Caption();
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_FALSE(dialog->LblKor->Caption().isEmpty());
    ExpectNothingCut(*dialog, dialog.get());

    ASSERT_TRUE(rig.reader.WaitIdle(kGenerous));
    rig.module.fail = true;  // from the next query on: the one out shows first
    ASSERT_TRUE(rig.Poll());
    ASSERT_TRUE(rig.Poll());
    EXPECT_EQ(box.messages.size(), gain ? 0u : 1u);
    EXPECT_EQ(calls_while_open, gain ? -1 : 0);
    EXPECT_EQ(dialog->LblValue->Caption(), shown);
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
    CalibRig rig;
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

}  // namespace
}  // namespace osc
