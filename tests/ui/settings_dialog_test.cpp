// The options dialog's wiring with real widgets, headless: each box writes its field of
// the selected entry, OK hands the copy back and saves it, Storno drops it. The rules
// behind them are config's settings and settings-edit tests.
#include "ui/settings_dialog.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "controls/qt/lx_list_box.h"
#include "controls/qt/spin_box.h"
#include "controls/timer_source.h"
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
    d.sbCalibBip->SetValue(99);
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
  std::vector<std::string> errors;
  const TApplicationErrorBox previous =
      SetApplicationErrorBox([&](const std::string& message, QWidget*) { errors.push_back(message); });
  d.bbOkClick();
  SetApplicationErrorBox(previous);
  EXPECT_EQ(errors.size(), 1u);
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

// No text is cut in either calibration dialog at its longest reading.
TEST(SettingsDialog, CalibrationDialogsCutNothingInCzech) {
  auto czech = test::CzechFormats();
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
