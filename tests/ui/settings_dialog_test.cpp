// The options dialog with real widgets, headless: what each page shows, what each
// handler writes into the range entries, and what OK and Storno leave behind.
#include "ui/settings_dialog.h"

#include "simulator/simulated_module.h"
#include "support/range_entry_expect.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "controls/qt/lx_list_box.h"
#include "controls/qt/spin_box.h"
#include "controls/timer_source.h"
#include "platform/locale/locale.h"
#include "support/faulty_file_ops.h"
#include "support/scratch_registry.h"
#include "support/widget_rig.h"
#include "ui/app_error.h"
#include "ui/calib_dialog.h"

namespace osc {
namespace {

using Entry = std::shared_ptr<TOscRozsah>;

// Values no box can show exactly, so that any write-back from a box changes them.
Entry Odd(double range, double seed) {
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

using test::ExpectSameEntry;

std::vector<std::string> Texts(const QListWidget* list) {
  std::vector<std::string> out;
  for (int i = 0; i < list->count(); ++i)
    out.push_back(list->item(i)->text().toStdString());
  return out;
}

std::vector<std::string> RangeTexts(const TRangeList& list) {
  std::vector<std::string> out;
  for (const TRangeItem& i : list)
    out.push_back(i.Text);
  return out;
}

using Strings = std::vector<std::string>;

struct Rig {
  class Separators {
   public:
    Separators() : saved_(formatSettings()) { formatSettings().DecimalSeparator = '.'; }
    ~Separators() { formatSettings() = saved_; }

   private:
    FormatSettings saved_;
  } separators;
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
  // A program start: the registry is read anew and the dialog created.
  TFrmSetMdl4& Start() {
    dlg.reset();
    registry.restart();
    dlg = std::make_unique<TFrmSetMdl4>(nullptr, [this](const QString& t) { messages.push_back(t); });
    return *dlg;
  }
  ::testing::AssertionResult Show() { return test::ShowActive(*dlg); }
  // An entry of the copy the dialog edits.
  TOscRozsah& EntryAt(int i) { return *dlg->Edited().Ranges.at(static_cast<std::size_t>(i)).Entry; }
  void SelectRange(int row) { dlg->lbRanges->setCurrentRow(row, QItemSelectionModel::ClearAndSelect); }
  void SelectChannel(int row) { dlg->lbChannel->setCurrentRow(row, QItemSelectionModel::ClearAndSelect); }
  void ClickModel(int index) { dlg->RgTypOscItems->button(index)->click(); }
  void ShowPage(QWidget* page) { dlg->Pages->setCurrentWidget(page); }
  // Types `text` over the box's text, as a user who selected it all would.
  void TypeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
};

TEST(SettingsDialog, CaptionPagesAndFixedTexts) {
  Rig rig;
  TFrmSetMdl4& d = rig.Start();
  EXPECT_EQ(d.windowTitle(), "Volby");
  EXPECT_EQ(d.Pages->tabText(0), "Nastavení");
  EXPECT_EQ(d.Pages->tabText(1), "Rozsahy");
  EXPECT_EQ(d.Pages->tabText(2), "Kanály 5, 6");
  EXPECT_EQ(d.RgTypOsc->title(), "Typ osciloskopu");
  EXPECT_EQ(d.RgTypOscItems->button(0)->text(), "2-kanál  10 bitů");
  EXPECT_EQ(d.RgTypOscItems->button(1)->text(), "4-kanál  10 bitů");
  EXPECT_EQ(d.sbNew->toolTip(), "Přidat");
  EXPECT_EQ(d.sbDelete->toolTip(), "Smazat");
  EXPECT_EQ(d.bbCancel->text(), "Storno");
  EXPECT_EQ(d.bbCalibGain->text(), "Kalibruj ...");
  EXPECT_TRUE(d.bbCalibOff5->isHidden());
  EXPECT_EQ(d.EdUnit5->maxLength(), 3);
  struct Box {
    qt::TSpinBox* box;
    int min, max;
    double k;
  } boxes[] = {{d.sbRozsah, 5, 60, 1.0},          {d.sbCalibGain, -2000, 2000, 0.01},
               {d.sbCalibBip, -2000, 2000, 0.01}, {d.sbCalibAC, -2000, 2000, 0.01},
               {d.SbRange5, 1, 10000000, 0.001},  {d.SbOffset5, -2000, 2000, 0.01},
               {d.SbRange6, 1, 10000000, 0.001},  {d.SbOffset6, -2000, 2000, 0.01}};
  for (const Box& b : boxes) {
    SCOPED_TRACE(b.box->objectName().toStdString());
    EXPECT_EQ(b.box->MinValue(), b.min);
    EXPECT_EQ(b.box->MaxValue(), b.max);
    EXPECT_EQ(b.box->Const_K(), b.k);
    EXPECT_EQ(b.box->Digits(), b.k == 1.0 ? 1 : 2);
  }
  // An empty registry: the defaults, one range of 16 V.
  EXPECT_EQ(d.cbPort->currentText(), "COM1");
  EXPECT_EQ(d.ModelIndex(), 0);
  EXPECT_EQ(Texts(d.lbRanges), Strings{"16 V"});
  EXPECT_TRUE(rig.messages.empty());
}

TEST(SettingsDialog, WithoutASelectedRangeTheBoxesAreBlankAndTheButtonsDisabled) {
  Rig rig;
  rig.Seed(1, {Odd(10, 0), Odd(20, 0.5)});
  TFrmSetMdl4& d = rig.Start();
  ASSERT_TRUE(rig.Show());
  ASSERT_EQ(d.SelectedRange(), -1);
  for (qt::TSpinBox* box : {d.sbRozsah, d.sbCalibGain, d.sbCalibBip, d.sbCalibAC}) {
    SCOPED_TRACE(box->objectName().toStdString());
    EXPECT_TRUE(box->Blank());
    EXPECT_EQ(box->text(), "");
  }
  EXPECT_FALSE(d.bbCalibGain->isEnabled());
  EXPECT_FALSE(d.bbCalibBip->isEnabled());
  EXPECT_FALSE(d.bbCalibAC->isEnabled());

  rig.SelectRange(1);
  EXPECT_EQ(d.sbRozsah->text(), "20");
  EXPECT_EQ(d.sbCalibGain->text(), "1.73");  // CH 1, chosen when no channel was selected
  EXPECT_EQ(d.sbCalibBip->text(), "-1.07");
  EXPECT_EQ(d.sbCalibAC->text(), "1.39");
  EXPECT_TRUE(d.bbCalibGain->isEnabled());
  EXPECT_TRUE(d.bbCalibBip->isEnabled());
  EXPECT_TRUE(d.bbCalibAC->isEnabled());

  d.sbDeleteClick();  // the selected range goes, the selection with it
  EXPECT_EQ(Texts(d.lbRanges), Strings{"10 V"});
  EXPECT_EQ(d.SelectedRange(), -1);
  EXPECT_EQ(d.sbRozsah->text(), "");
  EXPECT_FALSE(d.bbCalibGain->isEnabled());
}

TEST(SettingsDialog, TheTwoChannelModelShowsTwoChannelsAndHidesWhatItLacks) {
  Rig rig;
  rig.Seed(0, {Odd(10, 0)});
  TFrmSetMdl4& d = rig.Start();
  ASSERT_TRUE(rig.Show());
  rig.SelectRange(0);
  EXPECT_EQ(Texts(d.lbChannel), (Strings{"CH 1", "CH 2"}));
  EXPECT_FALSE(d.GbBipolar->isEnabled());
  EXPECT_FALSE(d.GbAC->isEnabled());
  EXPECT_TRUE(d.GbDC->isEnabled());
  EXPECT_FALSE(d.bbCalibBip->isEnabled());
  EXPECT_TRUE(d.bbCalibGain->isEnabled());
  EXPECT_FALSE(d.Pages->isTabVisible(d.Pages->indexOf(d.TsZesil)));

  rig.ClickModel(1);  // the page appears at once, the rest with the next page change
  EXPECT_TRUE(d.Pages->isTabVisible(d.Pages->indexOf(d.TsZesil)));
  rig.ShowPage(d.tsRozsahy);
  EXPECT_EQ(Texts(d.lbChannel), (Strings{"CH 1", "CH 2", "CH 3", "CH 4"}));
  EXPECT_TRUE(d.GbBipolar->isEnabled());
  EXPECT_TRUE(d.bbCalibAC->isEnabled());

  // Back to two channels with CH 4 selected: CH 1 is selected and shown, not CH 4.
  rig.SelectChannel(3);
  EXPECT_EQ(d.sbCalibGain->text(), "4.94");
  rig.ShowPage(d.tsNastaveni);
  rig.ClickModel(0);
  rig.ShowPage(d.tsRozsahy);
  EXPECT_EQ(Texts(d.lbChannel), (Strings{"CH 1", "CH 2"}));
  EXPECT_EQ(d.lbChannel->selectedItems().size(), 1);
  EXPECT_EQ(d.lbChannel->currentRow(), 0);
  EXPECT_EQ(d.sbCalibGain->text(), "1.23");
}

TEST(SettingsDialog, SteppingTheRangeRenamesAtOnceTypingOnCommit) {
  Rig rig;
  rig.Seed(1, {Odd(11, 0), Odd(30, 0)});
  TFrmSetMdl4& d = rig.Start();
  ASSERT_TRUE(rig.Show());
  rig.SelectRange(0);
  d.sbRozsah->setFocus();
  QTest::keyClick(d.sbRozsah, Qt::Key_Up);
  EXPECT_EQ(d.lbRanges->item(0)->text(), "12 V");
  EXPECT_EQ(rig.EntryAt(0).Range, 12.0);
  EXPECT_EQ(d.Edited().Ranges[0].Text, "12 V");

  rig.SelectRange(1);
  rig.TypeInto(d.sbRozsah, "12");
  EXPECT_EQ(d.lbRanges->item(1)->text(), "30 V");  // typed, not committed
  EXPECT_EQ(rig.EntryAt(1).Range, 30.0);
  QTest::keyClick(d.sbRozsah, Qt::Key_Tab);  // the focus leaves: commit
  EXPECT_EQ(d.lbRanges->item(1)->text(), "12 V");
  EXPECT_EQ(rig.EntryAt(1).Range, 12.0);
  EXPECT_EQ(Texts(d.lbRanges), (Strings{"12 V", "12 V"}));
}

TEST(SettingsDialog, SelectingAnotherRangeOrChannelWritesNothingBack) {
  Rig rig;
  rig.Seed(1, {Odd(10.4, 0), Odd(20.6, 0.5)});
  TFrmSetMdl4& d = rig.Start();
  const TOscRozsah first = rig.EntryAt(0);
  const TOscRozsah second = rig.EntryAt(1);
  ASSERT_TRUE(rig.Show());
  rig.SelectRange(0);
  rig.SelectChannel(2);
  rig.SelectRange(1);
  rig.SelectChannel(3);
  rig.ShowPage(d.TsZesil);
  d.LbRanges56->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
  d.LbRanges56->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
  EXPECT_EQ(d.EdUnit5->text(), "u5");
  ExpectSameEntry(rig.EntryAt(0), first);
  ExpectSameEntry(rig.EntryAt(1), second);
  EXPECT_EQ(d.sbRozsah->text(), "21");  // shown rounded, stored as it was
}

TEST(SettingsDialog, EditsGoToTheSelectedRangeAndChannelOnly) {
  Rig rig;
  rig.Seed(1, {Odd(10, 0), Odd(20, 0.5)});
  TFrmSetMdl4& d = rig.Start();
  const TOscRozsah untouched = rig.EntryAt(0);
  TOscRozsah expected = rig.EntryAt(1);
  ASSERT_TRUE(rig.Show());
  rig.SelectRange(1);
  rig.SelectChannel(2);
  d.sbCalibGain->SetValue(150);
  d.sbCalibBip->SetValue(-25);
  d.sbCalibAC->SetValue(7);
  TChannelCalib& written = rig.EntryAt(1).CH[3];
  EXPECT_NEAR(written.Gain, 1.5, 1e-12);
  EXPECT_NEAR(written.OffsetBip, -0.25, 1e-12);
  EXPECT_NEAR(written.OffsetAC, 0.07, 1e-12);
  expected.CH[3] = written;  // the rest is as it was; the range is stored as shown, 20
  ExpectSameEntry(rig.EntryAt(1), expected);
  ExpectSameEntry(rig.EntryAt(0), untouched);

  rig.ShowPage(d.TsZesil);
  EXPECT_EQ(d.LbRanges56->currentRow(), 1);
  rig.TypeInto(d.SbRange5, "2.5");
  QTest::keyClick(d.SbRange5, Qt::Key_Return);
  rig.TypeInto(d.EdUnit6, "mA");
  d.SbOffset6->SetValue(-150);
  EXPECT_NEAR(rig.EntryAt(1).RangeCh5, 2.5, 1e-12);
  EXPECT_EQ(rig.EntryAt(1).CH[6].Unit, "mA");
  EXPECT_NEAR(rig.EntryAt(1).CH[6].OffsetAC, -1.5, 1e-12);
  EXPECT_EQ(rig.EntryAt(1).CH[5].Unit, "u5");
  ExpectSameEntry(rig.EntryAt(0), untouched);
}

TEST(SettingsDialog, ANewRangeIsTwentyVoltsWith500OnTheChannel56Page) {
  Rig rig;
  rig.Seed(1, {Odd(10, 0)});
  TFrmSetMdl4& d = rig.Start();
  ASSERT_TRUE(rig.Show());
  QTest::mouseClick(d.sbNew, Qt::LeftButton);
  EXPECT_EQ(Texts(d.lbRanges), (Strings{"10 V", "20 V"}));
  EXPECT_EQ(d.SelectedRange(), 1);
  EXPECT_EQ(d.sbRozsah->text(), "20");
  EXPECT_TRUE(d.sbRozsah->hasFocus());
  EXPECT_EQ(rig.EntryAt(1).Range, 20.0);
  rig.ShowPage(d.TsZesil);
  EXPECT_EQ(Texts(d.LbRanges56), (Strings{"10 V", "20 V"}));
  EXPECT_EQ(d.SbRange5->text(), "500.00");
  EXPECT_EQ(d.SbRange6->text(), "500.00");
  EXPECT_EQ(d.SbOffset5->text(), "0.00");
}

TEST(SettingsDialog, AUnitOfFourCharactersCannotBeTyped) {
  Rig rig;
  rig.Seed(1, {Odd(10, 0)});
  TFrmSetMdl4& d = rig.Start();
  ASSERT_TRUE(rig.Show());
  rig.SelectRange(0);
  rig.ShowPage(d.TsZesil);
  rig.TypeInto(d.EdUnit5, "mV/s");
  EXPECT_EQ(d.EdUnit5->text(), "mV/");
  EXPECT_EQ(rig.EntryAt(0).CH[5].Unit, "mV/");
  rig.TypeInto(d.EdUnit5, "µÅ°C");  // three characters, more than three bytes
  EXPECT_EQ(rig.EntryAt(0).CH[5].Unit, "µÅ°");
}

TEST(SettingsDialog, OkSavesWhatTheNextStartShows) {
  Rig rig;
  rig.Seed(0, {Odd(10, 0)});
  TFrmSetMdl4& d = rig.Start();
  ASSERT_TRUE(rig.Show());
  d.cbPort->setEditText("/dev/ttyUSB3");
  rig.ClickModel(1);
  rig.ShowPage(d.tsRozsahy);
  d.sbNewClick();
  rig.SelectChannel(3);
  d.sbCalibGain->SetValue(-321);
  rig.TypeInto(d.sbRozsah, "45");  // still being typed when OK is pressed
  ASSERT_TRUE(d.sbRozsah->hasFocus());
  d.bbOkClick();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_TRUE(rig.messages.empty());

  TFrmSetMdl4& again = rig.Start();
  EXPECT_EQ(again.cbPort->currentText(), "/dev/ttyUSB3");
  EXPECT_EQ(again.Settings().Port, "/dev/ttyUSB3");
  EXPECT_EQ(again.ModelIndex(), 1);
  EXPECT_EQ(again.Settings().ModelIndex, 1);
  EXPECT_EQ(Texts(again.lbRanges), (Strings{"10 V", "45 V"}));
  EXPECT_EQ(rig.EntryAt(1).Range, 45.0);
  EXPECT_NEAR(rig.EntryAt(1).CH[4].Gain, -3.21, 1e-12);
  EXPECT_EQ(rig.EntryAt(1).RangeCh5, 500.0);
}

// Storno drops the copy: the settings in force, their entries (the main window's and a
// recording's scale come from them) and the file stay as they were.
TEST(SettingsDialog, StornoDropsTheCopy) {
  Rig rig;
  rig.Seed(1, {Odd(10, 0), Odd(20, 0.5), Odd(30, 0.25)}, "/dev/ttyS0");
  TFrmSetMdl4& d = rig.Start();
  const std::string file = rig.registry.read_file();
  const TRangeList before = d.Settings().Ranges;
  std::vector<TOscRozsah> values;
  for (const TRangeItem& i : before)
    values.push_back(*i.Entry);

  ASSERT_TRUE(rig.Show());
  d.cbPort->setEditText("SIM2");
  rig.ShowPage(d.tsRozsahy);
  rig.SelectRange(0);
  rig.SelectChannel(1);
  d.sbRozsah->SetValue(55);
  d.sbCalibBip->SetValue(99);
  rig.SelectRange(2);
  d.sbDeleteClick();
  rig.ShowPage(d.TsZesil);
  d.LbRanges56->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
  rig.TypeInto(d.EdUnit5, "kPa");
  rig.ShowPage(d.tsNastaveni);
  rig.ClickModel(0);
  QTest::mouseClick(d.bbCancel, Qt::LeftButton);
  EXPECT_EQ(d.result(), QDialog::Rejected);

  EXPECT_EQ(d.Settings().Port, "/dev/ttyS0");
  EXPECT_EQ(d.Settings().ModelIndex, 1);
  ASSERT_EQ(d.Settings().Ranges.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectSameEntry(*before[i].Entry, values[i]);
  }
  EXPECT_EQ(rig.registry.read_file(), file);

  ASSERT_TRUE(rig.Show());  // the next visit shows the settings, not the dropped copy
  EXPECT_EQ(d.cbPort->currentText(), "/dev/ttyS0");
  EXPECT_EQ(Texts(d.lbRanges), (Strings{"10 V", "20 V", "30 V"}));
  d.bbOkClick();
  EXPECT_EQ(rig.registry.read_file(), file);
}

TEST(SettingsDialog, AFailedSaveIsShownAndTheDialogStaysOpen) {
  Rig rig;
  TFrmSetMdl4& d = rig.Start();
  ASSERT_TRUE(rig.Show());
  test::FaultyFileOps files;
  files.fail_call(1, ENOSPC);
  rig.registry.set_files(&files);
  d.cbPort->setEditText("COM5");
  std::vector<std::string> errors;
  const TApplicationErrorBox previous =
      SetApplicationErrorBox([&](const std::string& message, QWidget*) { errors.push_back(message); });
  d.bbOkClick();
  SetApplicationErrorBox(previous);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("na disku není místo"), std::string::npos) << errors[0];
  EXPECT_TRUE(rig.messages.empty());
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(d.Edited().Port, "COM5");
  EXPECT_EQ(d.Settings().Port, "COM1");  // as the file still says
}

TEST(SettingsDialog, ADamagedSettingsFileIsReportedAtCreation) {
  Rig rig;
  rig.registry.write_file("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\n\"Port\"=\"COM2");
  rig.Start();
  ASSERT_EQ(rig.messages.size(), 1u);
  EXPECT_TRUE(rig.messages[0].contains(".broken-")) << rig.messages[0].toStdString();
  EXPECT_EQ(rig.dlg->Settings().Port, "COM1");
}

TEST(SettingsDialog, AStoredModelOutsideZeroAndOneLoadsAsTwoChannel) {
  for (int stored : {2, -1, 1000}) {
    SCOPED_TRACE(stored);
    Rig rig;
    rig.Seed(stored, {Odd(10, 0)});
    TFrmSetMdl4& d = rig.Start();
    EXPECT_EQ(d.ModelIndex(), 0);
    EXPECT_EQ(d.Settings().ModelIndex, 0);
    EXPECT_TRUE(d.RgTypOscItems->button(0)->isChecked());
    EXPECT_FALSE(d.Pages->isTabVisible(d.Pages->indexOf(d.TsZesil)));
  }
}

TEST(SettingsDialog, ApplyModelTypeSwitchesTheControlsAndSavesOnlyTheType) {
  Rig rig;
  rig.Seed(0, {Odd(10, 0)}, "COM1");
  TFrmSetMdl4& d = rig.Start();
  d.cbPort->setEditText("COM9");  // not confirmed: must not be saved with the type
  EXPECT_FALSE(d.ApplyModelType(0));
  EXPECT_FALSE(d.ApplyModelType(5));
  EXPECT_TRUE(d.ApplyModelType(1));
  EXPECT_EQ(d.ModelIndex(), 1);
  EXPECT_EQ(Texts(d.lbChannel), (Strings{"CH 1", "CH 2", "CH 3", "CH 4"}));
  EXPECT_TRUE(d.GbAC->isEnabled());
  EXPECT_TRUE(d.Pages->isTabVisible(d.Pages->indexOf(d.TsZesil)));

  rig.registry.restart();
  SettingsHolder stored;
  stored.LoadSettings();
  EXPECT_EQ(stored.ModelIndex, 1);
  EXPECT_EQ(stored.Port, "COM1");
}

TEST(SettingsDialog, AModelReportedWhileTheDialogIsOpenSurvivesStorno) {
  Rig rig;
  rig.Seed(0, {Odd(10, 0)});
  TFrmSetMdl4& d = rig.Start();
  ASSERT_TRUE(rig.Show());
  EXPECT_TRUE(d.ApplyModelType(1));
  d.reject();
  EXPECT_EQ(d.ModelIndex(), 1);
}

TEST(SettingsDialog, TheMainWindowSelectsTheRange) {
  Rig rig;
  rig.Seed(1, {Odd(10, 0), Odd(20, 0), Odd(30, 0)});
  TFrmSetMdl4& d = rig.Start();
  d.SetSelectedRange(2);
  EXPECT_EQ(d.SelectedRange(), 2);
  d.SetSelectedRange(7);
  EXPECT_EQ(d.SelectedRange(), -1);
  d.SetSelectedRange(1);
  ASSERT_TRUE(rig.Show());  // showing fills the boxes from the selected range
  EXPECT_EQ(d.sbRozsah->text(), "20");
}

TEST(SettingsDialog, CalibrationButtonsLaunchForTheSelectedRangeAndChannel) {
  Rig rig;
  rig.Seed(1, {Odd(10, 0), Odd(20, 0)});
  TFrmSetMdl4& d = rig.Start();
  struct Launch {
    TCalibButton button;
    int channel;
    TOscRozsah* entry;
    TSpinBox* box;
  };
  std::vector<Launch> launches;
  d.SetCalibLauncher([&](TCalibButton button, int channel, TOscRozsah* entry, TSpinBox& box) {
    launches.push_back({button, channel, entry, &box});
    box.SetValue(123);  // a confirmed correction of 1.23 %
  });
  ASSERT_TRUE(rig.Show());
  rig.SelectRange(1);
  rig.SelectChannel(2);
  QTest::mouseClick(d.bbCalibGain, Qt::LeftButton);
  QTest::mouseClick(d.bbCalibBip, Qt::LeftButton);
  QTest::mouseClick(d.bbCalibAC, Qt::LeftButton);
  ASSERT_EQ(launches.size(), 3u);
  const TCalibButton buttons[] = {TCalibButton::bbCalibGain, TCalibButton::bbCalibBip,
                                  TCalibButton::bbCalibAC};
  TSpinBox* boxes[] = {d.sbCalibGain, d.sbCalibBip, d.sbCalibAC};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(launches[i].button, buttons[i]);
    EXPECT_EQ(launches[i].channel, 2);
    EXPECT_EQ(launches[i].entry, &rig.EntryAt(1));
    EXPECT_EQ(launches[i].box, boxes[i]);
  }
  EXPECT_NEAR(rig.EntryAt(1).CH[3].Gain, 1.23, 1e-12);
  EXPECT_NEAR(rig.EntryAt(1).CH[3].OffsetBip, 1.23, 1e-12);
  EXPECT_NEAR(rig.EntryAt(1).CH[3].OffsetAC, 1.23, 1e-12);
  EXPECT_EQ(rig.EntryAt(0).CH[3].Gain, Odd(10, 0)->CH[3].Gain);
}

}  // namespace
}  // namespace osc

namespace osc {
namespace {

TEST(SettingsDialog, ThePortBoxListsThePortsWithTheirProductAsHint) {
  Rig rig;
  rig.registry.add_tty("ttyUSB0", true, -1, true);
  rig.registry.add_tty("ttyS0", true, 4, true);
  TFrmSetMdl4& d = rig.Start();
  const std::string dev = rig.registry.dev();
  ASSERT_EQ(d.cbPort->count(), 4);
  EXPECT_EQ(d.cbPort->itemText(0).toStdString(), dev + "/ttyS0");
  EXPECT_EQ(d.cbPort->itemText(1).toStdString(), dev + "/ttyUSB0");
  EXPECT_EQ(d.cbPort->itemText(2), "SIM2");
  EXPECT_EQ(d.cbPort->itemText(3), "SIM4");
  EXPECT_EQ(d.cbPort->itemData(3, Qt::ToolTipRole).toString(), "simulovaný modul, 4 kanály");
  EXPECT_EQ(d.cbPort->currentText(), "COM1");  // the stored text, not the first item

  std::vector<std::pair<std::string, bool>> asked;
  d.SetPortInspector([&](const std::string& port, bool full) {
    asked.emplace_back(port, full);
    TPortReport r;
    r.Port = port;
    r.Device = port;
    r.Product = port.find("USB") != std::string::npos ? "FT232R USB UART (0403:6001)" : "";
    return r;
  });
  EXPECT_EQ(d.cbPort->itemData(1, Qt::ToolTipRole).toString(), "FT232R USB UART (0403:6001)");
  EXPECT_EQ(d.cbPort->itemData(0, Qt::ToolTipRole).toString(), "");
  EXPECT_EQ(asked.size(), 4u);  // hints only: nothing inspected while hidden
  for (const auto& a : asked)
    EXPECT_FALSE(a.second);
}

TEST(SettingsDialog, TheChosenPortSaysWhyItCannotBeOpenedAndOkSavesItAnyway) {
  Rig rig;
  TFrmSetMdl4& d = rig.Start();
  std::string inspected;
  d.SetPortInspector([&](const std::string& port, bool full) {
    TPortReport r;
    r.Port = port;
    r.Device = "/dev/ttyUSB0";
    if (!full) return r;
    inspected = port;
    r.State = TPortState::NoPermission;
    r.Group = "dialout";
    r.User = "jan";
    return r;
  });
  ASSERT_TRUE(rig.Show());  // showing checks the port
  EXPECT_EQ(inspected, "COM1");
  EXPECT_EQ(d.LblPortInfo->text(), "COM1 = /dev/ttyUSB0");
  EXPECT_EQ(d.LblPortProblem->text(),
            "Nemáte oprávnění k /dev/ttyUSB0. Přidejte se do skupiny dialout a znovu se přihlaste:\n"
            "sudo usermod -aG dialout jan");

  rig.TypeInto(d.cbPort->lineEdit(), "COM66");
  EXPECT_EQ(inspected, "COM1");  // checked once typing pauses, not on every key
  d.CheckPort();
  EXPECT_EQ(inspected, "COM66");
  d.bbOkClick();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(rig.Start().Settings().Port, "COM66");
}

}  // namespace
}  // namespace osc

namespace osc {
namespace {

// Execute hands the copy back on OK only; the settings in force are then that copy.
TEST(SettingsDialog, ExecuteReturnsTheCopyOnOkOnly) {
  Rig rig;
  rig.Seed(1, {Odd(10, 0), Odd(20, 0), Odd(30, 0)});
  TFrmSetMdl4& d = rig.Start();
  int shownRange = -2;
  QTimer::singleShot(0, &d, [&] {
    shownRange = d.SelectedRange();
    d.sbDeleteClick();
    d.reject();
  });
  EXPECT_FALSE(d.Execute(1));
  EXPECT_EQ(shownRange, 1);
  EXPECT_EQ(RangeTexts(d.Settings().Ranges), (Strings{"10 V", "20 V", "30 V"}));

  QTimer::singleShot(0, &d, [&] {
    shownRange = d.SelectedRange();
    d.sbNewClick();
    d.bbOkClick();
  });
  const auto confirmed = d.Execute(0);
  ASSERT_TRUE(confirmed);
  EXPECT_EQ(shownRange, 0);
  EXPECT_EQ(RangeTexts(confirmed->Ranges), (Strings{"10 V", "20 V", "30 V", "20 V"}));
  EXPECT_EQ(RangeTexts(d.Settings().Ranges), RangeTexts(confirmed->Ranges));
  EXPECT_EQ(d.SelectedRange(), 3);
}

}  // namespace
}  // namespace osc

namespace osc {
namespace {

TEST(SettingsDialog, TheCalibrationButtonsOpenTheCalibrationDialogs) {
  Rig rig;
  rig.Seed(1, {Odd(10, 0), Odd(16, 0)});
  TFrmSetMdl4& d = rig.Start();
  TRawReader reader([](int, bool) { return kNoRawValue; });
  TSteppedTimers timers;  // never stepped: no reading is taken
  d.UseCalibration(reader, &timers);
  ASSERT_TRUE(rig.Show());
  rig.SelectRange(1);
  rig.SelectChannel(3);
  const TOscRozsah before = rig.EntryAt(1);
  struct Seen {
    bool gain = false;
    int channel = 0;
    const TOscRozsah* entry = nullptr;
    int mode = -1;
    QString instruction;
  };
  for (QPushButton* button : {d.bbCalibGain, d.bbCalibBip, d.bbCalibAC}) {
    SCOPED_TRACE(button->objectName().toStdString());
    Seen seen;
    QTimer::singleShot(0, &d, [&] {
      auto* calib = qobject_cast<TFrmMdl4CHCalib*>(QApplication::activeModalWidget());
      ASSERT_NE(calib, nullptr);
      seen = {qobject_cast<TFrmMdl4CHCalibGain*>(calib) != nullptr, calib->Channel, calib->Entry, calib->Mode,
              calib->Lbl1->text()};
      calib->reject();
    });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(seen.gain, button == d.bbCalibGain);
    EXPECT_EQ(seen.channel, 4);
    EXPECT_EQ(seen.entry, &rig.EntryAt(1));
    if (button == d.bbCalibBip) {
      EXPECT_EQ(seen.mode, 1);
    }
    if (button == d.bbCalibAC) {
      EXPECT_EQ(seen.mode, 2);
      EXPECT_TRUE(seen.instruction.startsWith("Odpojte svorku kanálu")) << seen.instruction.toStdString();
    }
  }
  ExpectSameEntry(rig.EntryAt(1), before);  // cancelled: nothing stored
}

}  // namespace
}  // namespace osc
