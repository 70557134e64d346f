// The main window with real widgets, headless, on the simulated module: what the
// controls do, a whole recording with its captions, files, navigation and settings.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "controls/qt/spin_box.h"
#include "graph/axis.h"
#include "graph/qt/graph_widget.h"
#include "platform/locale/locale.h"
#include "support/fake_adapters.h"
#include "support/main_window_rig.h"

namespace osc {
namespace {

using test::MainWindowRig;

std::string Caption(const TFrmMdl4CH& w) {
  return w.windowTitle().toStdString();
}

void Check(QCheckBox* box, bool on) {
  if (box->isChecked() != on) QTest::mouseClick(box, Qt::LeftButton);
}

// As the operator picks an item: the handler runs even when the index stays.
void Choose(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

void StartFourChannels(MainWindowRig& rig) {
  TFrmMdl4CH& w = *rig.window;
  for (QCheckBox* box : {w.cbInput1, w.cbInput2, w.cbInput3, w.cbInput4})
    Check(box, true);
  w.sbZaznam->click();
}

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() { rig.ShowIdentified(); }
  MainWindowRig rig;
  TFrmMdl4CH& w = *rig.window;
};

TEST_F(MainWindowTest, ShowsTheSettingsRangesAndTheFirstScale) {
  EXPECT_EQ(Caption(w), "Osciloskop");
  ASSERT_EQ(w.cbVstup->count(), static_cast<int>(rig.settings->Settings().Ranges.size()));
  EXPECT_EQ(w.cbVstup->currentIndex(), 0);
  EXPECT_EQ(w.cbMax->currentText(), " 2 min");
  EXPECT_EQ(w.Recorder().MaxSeconds(), 120);
  EXPECT_EQ(w.LYLow->text(), "0.0  ");
  EXPECT_EQ(w.LYHigh->text().toStdString(), Format("  %.1f", {w.CurrentRange()->Range}));
  EXPECT_EQ(w.GraphData.SeriesCount(), 0);
  EXPECT_TRUE(w.EmptyHint->isVisible()) << "an empty graph says how to fill it";
  EXPECT_TRUE(rig.errors.empty());
}

TEST_F(MainWindowTest, PartnerInputsExcludeEachOtherWithoutRechecking) {
  ASSERT_TRUE(w.cbInput1->isChecked());
  Check(w.cbInput5, true);
  EXPECT_FALSE(w.cbInput1->isChecked());
  Check(w.cbInput5, false);
  EXPECT_FALSE(w.cbInput1->isChecked()) << "unchecking (5) must not bring CH 1 back";
  Check(w.cbInput6, true);
  EXPECT_FALSE(w.cbInput2->isChecked());
  Check(w.cbInput2, true);
  EXPECT_FALSE(w.cbInput6->isChecked());
}

TEST_F(MainWindowTest, MaxLengthSelectsTheRecordLength) {
  const int seconds[] = {60, 120, 300, 600};
  for (int i = 0; i < 4; ++i) {
    w.cbMax->setCurrentIndex(i);
    EXPECT_EQ(w.Recorder().MaxSeconds(), seconds[i]) << w.cbMax->currentText().toStdString();
  }
}

TEST(MainWindow, TwoChannelModelDisablesItsMissingInputsAndPolarity) {
  MainWindowRig rig(TAcquisitionPath::Overlapped, "SIM2");
  TFrmMdl4CH& w = *rig.window;
  w.cbPolarity->setCurrentIndex(1);
  Check(w.cbInput3, true);
  rig.ShowIdentified();
  EXPECT_EQ(rig.settings->Settings().ModelIndex, kModelTwoChannel);
  EXPECT_EQ(w.cbPolarity->currentIndex(), 0);
  for (QCheckBox* box : {w.cbInput3, w.cbInput4, w.cbInput5, w.cbInput6}) {
    EXPECT_FALSE(box->isEnabled()) << box->objectName().toStdString();
    EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
  }
  EXPECT_FALSE(w.cbPolarity->isEnabled());
  EXPECT_TRUE(w.cbGain->isEnabled());
}

TEST_F(MainWindowTest, RangeChangeSendsTheParametersWithOneBeep) {
  w.cbPolarity->setCurrentIndex(1);
  Choose(w.cbGain, 1);
  EXPECT_EQ(rig.beeps, 1);
  // Bipolar x 2: the offset preset and the bar's page for "x 2".
  EXPECT_EQ(w.State.OffsetByte, 21);
  EXPECT_EQ(rig.module().offset_byte(), 21);
  EXPECT_TRUE(w.sbOffset->isEnabled());
  EXPECT_EQ(w.sbOffset->pageStep(), 128);
  EXPECT_EQ(w.sbOffset->maximum(), 128);
  EXPECT_EQ(w.sbOffset->value(), 21);
  EXPECT_TRUE(w.LCrossPos->text().startsWith("AN1: ")) << w.LCrossPos->text().toStdString();

  Choose(w.cbGain, 0);
  EXPECT_EQ(rig.beeps, 2);
  EXPECT_FALSE(w.sbOffset->isEnabled());
  EXPECT_EQ(w.State.OffsetByte, 0);
}

TEST_F(MainWindowTest, OffsetBarMovesTheScaleButNotTheModule) {
  Choose(w.cbGain, 2);
  ASSERT_EQ(w.sbOffset->maximum(), 192);
  const QString low = w.LYLow->text();
  w.sbOffset->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(w.sbOffset->value(), 10);
  EXPECT_EQ(w.State.OffsetByte, 10);
  EXPECT_NE(w.LYLow->text(), low);
  EXPECT_EQ(rig.module().offset_byte(), 0) << "the module gets the offset with the next exchange";
  w.sbOffset->setSliderPosition(250);
  w.sbOffset->triggerAction(QAbstractSlider::SliderMove);
  EXPECT_EQ(w.sbOffset->value(), 192);
}

TEST_F(MainWindowTest, WholeRecordingWithCaptionsSaveReloadAndErase) {
  StartFourChannels(rig);
  ASSERT_TRUE(w.sbZaznam->isChecked());
  EXPECT_TRUE(w.MainTimer->isActive());
  // Disabled while recording.
  for (QWidget* c : std::initializer_list<QWidget*>{w.TBSetup, w.TBCtiSignaly, w.TBUlozitSestavu, w.TBErase,
                                                    w.cbVstup, w.cbAcq, w.cbSample, w.cbMax, w.cbGain,
                                                    w.cbPolarity, w.cbInput1, w.cbInput3})
    EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();

  ASSERT_TRUE(rig.RecordUntil(3000));
  EXPECT_FALSE(w.EmptyHint->isVisible());
  EXPECT_TRUE(Caption(w).starts_with("Probíhá měření, zbývá ")) << Caption(w);
  EXPECT_EQ(w.GraphData.SeriesCount(), 4);
  w.sbZaznam->click();
  EXPECT_EQ(Caption(w), "Zastaveno");
  EXPECT_FALSE(w.MainTimer->isActive());
  for (QWidget* c : std::initializer_list<QWidget*>{w.TBSetup, w.TBUlozitSestavu, w.cbVstup, w.cbPolarity})
    EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();

  std::array<std::uint32_t, 4> counts{};
  for (int slot = 1; slot <= 4; ++slot)
    counts[slot - 1] = w.Recorder().Store(slot)->Count();

  rig.saveFile = QString::fromStdString(rig.dir.file("run.CH1"));
  w.TBUlozitSestavu->click();
  for (int slot = 1; slot <= 4; ++slot)
    ASSERT_TRUE(std::filesystem::exists(rig.dir.file("run.ch" + std::to_string(slot))));
  EXPECT_TRUE(rig.overwriteAsked.empty());

  w.TBErase->click();
  EXPECT_EQ(w.GraphData.SeriesCount(), 0);
  EXPECT_TRUE(w.EmptyHint->isVisible());
  EXPECT_EQ(w.Recorder().Store(1), nullptr);

  Check(w.cbInput3, false);
  for (int slot = 1; slot <= 4; ++slot)
    rig.openFiles << QString::fromStdString(rig.dir.file("run.ch" + std::to_string(slot)));
  w.TBCtiSignaly->click();
  EXPECT_TRUE(w.cbInput3->isChecked());
  EXPECT_EQ(w.GraphData.SeriesCount(), 4);
  EXPECT_FALSE(w.EmptyHint->isVisible());
  for (int slot = 1; slot <= 4; ++slot)
    EXPECT_EQ(w.Recorder().Store(slot)->Count(), counts[slot - 1]) << "slot " << slot;
  EXPECT_TRUE(rig.errors.empty()) << rig.errors.front();
}

// The loss label follows the recording, its file is saved with the records and read
// back with them; without it, or with one of other records, the losses are unknown.
TEST_F(MainWindowTest, LossesAreShownSavedBesideTheRecordsAndReadBack) {
  Check(w.cbInput2, false);
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(3000));
  EXPECT_EQ(w.LLoss->palette().color(QPalette::WindowText), QColor(0, 128, 0))
      << w.LLoss->text().toStdString();
  rig.module().inject(sim::Fault::FramingError, sim::FaultMode::Once);
  const std::uint32_t at = w.Recorder().Store(1)->Count();
  ASSERT_TRUE(rig.RecordUntil(at + 6000));
  w.sbZaznam->click();
  const QString shown = w.LLoss->text();
  EXPECT_TRUE(shown.startsWith("Ztraceno: 1 ")) << shown.toStdString();
  EXPECT_EQ(w.LLoss->palette().color(QPalette::WindowText), QColor(200, 0, 0));
  EXPECT_EQ(w.View().MarkedSpans().size(), 1u);

  rig.saveFile = QString::fromStdString(rig.dir.file("run.CH1"));
  w.TBUlozitSestavu->click();
  ASSERT_TRUE(std::filesystem::exists(rig.dir.file("run.ztraty")));
  w.TBErase->click();
  EXPECT_TRUE(w.LLoss->text().isEmpty());

  const QStringList files{QString::fromStdString(rig.dir.file("run.ch1"))};
  rig.openFiles = files;
  w.TBCtiSignaly->click();
  EXPECT_EQ(w.LLoss->text(), shown);
  EXPECT_EQ(w.View().MarkedSpans().size(), 1u);

  std::filesystem::rename(rig.dir.file("run.ztraty"), rig.dir.file("other.ztraty"));
  w.TBCtiSignaly->click();
  const QString unknown = w.LLoss->text();
  EXPECT_FALSE(unknown.startsWith("Ztraceno")) << unknown.toStdString();
  EXPECT_TRUE(w.View().MarkedSpans().empty());

  std::filesystem::resize_file(rig.dir.file("run.ch1"), 2256);  // 2000 samples left: not its records
  std::filesystem::rename(rig.dir.file("other.ztraty"), rig.dir.file("run.ztraty"));
  w.TBCtiSignaly->click();
  EXPECT_FALSE(w.LLoss->text().startsWith("Ztraceno"));
  EXPECT_NE(w.LLoss->text(), unknown) << "says why";
  EXPECT_TRUE(rig.errors.empty()) << rig.errors.front();
}

// The module's adapter pulled: the title says so at once; another adapter plugged in is
// left alone; the same one back under another number is taken and the module asked for,
// and no recording starts by itself.
TEST_F(MainWindowTest, APulledAdapterIsAwaitedAndOnlyTheSameOneTakenBack) {
  test::FakeSystem system;
  w.UseAdapterFinder(system.dev().string(), system.sys().string());
  const test::Adapter mine{"ttyUSB0", "usb-FTDI_A1-if00", "A1"};
  system.Plug(mine);
  rig.settings->SetPort(system.Dev("ttyUSB0"));
  w.State.DeviceFound = true;  // a module answered there: its adapter is watched
  w.PortWatchTick();
  system.Unplug(mine);
  w.PortWatchTick();
  const std::string waiting = Caption(w);
  EXPECT_NE(waiting.find("usb-FTDI_A1-if00"), std::string::npos) << waiting;

  system.Plug({"ttyUSB0", "usb-FTDI_B2-if00", "B2"});
  w.PortWatchTick();
  EXPECT_EQ(Caption(w), waiting);
  EXPECT_EQ(w.PortName(), system.Dev("ttyUSB0"));

  system.Plug({"ttyUSB1", "usb-FTDI_A1-if00", "A1"});
  w.PortWatchTick();
  EXPECT_EQ(w.PortName(), system.Dev("ttyUSB1"));
  EXPECT_NE(Caption(w), waiting);
  EXPECT_NE(Caption(w).find(system.Dev("ttyUSB1")), std::string::npos) << Caption(w);
  EXPECT_FALSE(w.sbZaznam->isChecked());
}

TEST_F(MainWindowTest, SaveAsksAboutTheFilesItWritesNotTheNameTyped) {
  Check(w.cbInput2, false);
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(100));
  w.sbZaznam->click();
  const std::string written = rig.dir.file("run.ch1");
  std::ofstream(written) << "keep";
  rig.saveFile = QString::fromStdString(rig.dir.file("run.CH1"));
  rig.allowOverwrite = false;
  w.TBUlozitSestavu->click();
  ASSERT_EQ(rig.overwriteAsked.size(), 1u);
  EXPECT_EQ(rig.overwriteAsked[0], QStringList{QString::fromStdString(written)});
  EXPECT_EQ(std::filesystem::file_size(written), 4u) << "refused: the file stays";
  rig.allowOverwrite = true;
  w.TBUlozitSestavu->click();
  EXPECT_GT(std::filesystem::file_size(written), 256u);
}

TEST_F(MainWindowTest, RefusedRecordFileReachesTheErrorBoxAndTheOthersLoad) {
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(100));
  w.sbZaznam->click();
  rig.saveFile = QString::fromStdString(rig.dir.file("good.ch1"));
  w.TBUlozitSestavu->click();
  const std::string bad = rig.dir.file("bad.ch3");
  {
    std::ofstream f(bad, std::ios::binary);
    std::string header(256, '\0');
    header[2] = 3;  // slot 3, sample rate 0
    f << header;
  }
  w.TBErase->click();
  rig.openFiles = {QString::fromStdString(bad), QString::fromStdString(rig.dir.file("good.ch2"))};
  w.TBCtiSignaly->click();
  ASSERT_EQ(rig.errors.size(), 1u);
  EXPECT_NE(rig.errors[0].find("bad.ch3"), std::string::npos) << rig.errors[0];
  EXPECT_NE(w.Recorder().Store(2), nullptr);
  EXPECT_EQ(w.Recorder().Store(3), nullptr);
}

TEST_F(MainWindowTest, LockedScrollLeftMovesEveryGraphByATenthOfGraphZero) {
  StartFourChannels(rig);
  ASSERT_TRUE(rig.RecordUntil(2000));
  w.sbZaznam->click();
  ASSERT_TRUE(w.tbLockedAxis->isChecked());
  TAxis* x0 = w.View().XAxis(0);
  w.TBZoomIn->click();
  w.TBEnd->click();
  const double width = x0->Right() - x0->Left();
  const double left = x0->Left();
  w.TBLeft->click();
  EXPECT_NEAR(x0->Left(), left - width * 0.1, width * 1e-6);
  for (int g = 1; g < 4; ++g)
    EXPECT_DOUBLE_EQ(w.View().XAxis(g)->Left(), x0->Left()) << "graph " << g;

  w.TBAll->click();
  EXPECT_DOUBLE_EQ(x0->Left(), x0->Min());
}

TEST_F(MainWindowTest, F12StartsAndStops) {
  QTest::keyClick(&w, Qt::Key_F12);
  EXPECT_TRUE(w.sbZaznam->isChecked());
  EXPECT_TRUE(w.MainTimer->isActive());
  ASSERT_TRUE(rig.RecordUntil(100));
  QTest::keyClick(w.Graph, Qt::Key_F12);
  EXPECT_FALSE(w.sbZaznam->isChecked());
  EXPECT_FALSE(w.MainTimer->isActive());
  EXPECT_EQ(Caption(w), "Zastaveno");
}

TEST_F(MainWindowTest, StartWithoutInputsReleasesTheButton) {
  Check(w.cbInput1, false);
  Check(w.cbInput2, false);
  w.sbZaznam->click();
  EXPECT_FALSE(w.sbZaznam->isChecked());
  EXPECT_FALSE(w.MainTimer->isActive());
  EXPECT_TRUE(w.TBSetup->isEnabled());
}

TEST_F(MainWindowTest, OffsetScrollIsRefusedWhileRecording) {
  Choose(w.cbGain, 1);
  w.sbZaznam->click();
  w.sbOffset->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(w.sbOffset->value(), 0);
  EXPECT_EQ(w.State.OffsetByte, 0);
  w.sbZaznam->click();
}

TEST_F(MainWindowTest, SettingsCancelKeepsTheRecordingAndOkStopsIt) {
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(100));
  // The settings command is disabled while recording; the dialog itself may still be
  // reached (a calibration in progress): run it directly.
  const int range = w.cbVstup->currentIndex();
  QTimer::singleShot(0, [&] { rig.settings->reject(); });
  w.TBSetupClick();
  EXPECT_EQ(w.cbVstup->currentIndex(), range);
  EXPECT_TRUE(w.sbZaznam->isChecked());
  EXPECT_TRUE(w.MainTimer->isActive());
  QTimer::singleShot(0, [&] { rig.settings->accept(); });
  w.TBSetupClick();
  EXPECT_FALSE(w.sbZaznam->isChecked());
  EXPECT_FALSE(w.MainTimer->isActive());
  EXPECT_FALSE(w.Com.Active()) << "the next identification opens the port anew";
  EXPECT_EQ(w.cbVstup->currentIndex(), 0);
}

TEST_F(MainWindowTest, SettingsOkTakesOverNewRangesAndSelection) {
  QTimer::singleShot(0, [&] {
    rig.settings->sbNewClick();
    rig.settings->bbOkClick();
  });
  w.TBSetup->click();
  EXPECT_EQ(w.cbVstup->count(), static_cast<int>(rig.settings->Settings().Ranges.size()));
  EXPECT_EQ(w.cbVstup->currentIndex(), rig.settings->SelectedRange());
  EXPECT_EQ(w.LYHigh->text().toStdString(), Format("  %.1f", {w.CurrentRange()->Range}));
}

TEST_F(MainWindowTest, SettingsEditsThenStornoLeaveTheScaleInUse) {
  const QString high = w.LYHigh->text();
  const double range = w.CurrentRange()->Range;
  QTimer::singleShot(0, [&] {
    rig.settings->SetSelectedRange(0);
    rig.settings->lbRangesClick();
    rig.settings->sbRozsah->SetValue(range + 7);
    rig.settings->reject();
  });
  w.TBSetup->click();
  EXPECT_EQ(w.CurrentRange()->Range, range);
  Choose(w.cbGain, 0);
  EXPECT_EQ(w.LYHigh->text(), high);
}

TEST_F(MainWindowTest, AllRangesDeletedThenOkStillLetsARecordingStart) {
  QTimer::singleShot(0, [&] {
    while (!rig.settings->Edited().Ranges.empty()) {
      rig.settings->SetSelectedRange(0);
      rig.settings->sbDeleteClick();
    }
    rig.settings->bbOkClick();
  });
  w.TBSetup->click();
  ASSERT_EQ(w.cbVstup->count(), 1);
  ASSERT_NE(w.CurrentRange(), nullptr);
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(100));
  w.sbZaznam->click();
  EXPECT_TRUE(rig.errors.empty()) << rig.errors.front();
}

TEST_F(MainWindowTest, ClosingWhileRecordingStopsAndFreesEverything) {
  StartFourChannels(rig);
  ASSERT_TRUE(rig.RecordUntil(500));
  w.close();
  EXPECT_FALSE(w.sbZaznam->isChecked());
  EXPECT_FALSE(w.MainTimer->isActive());
  EXPECT_EQ(rig.module().line_baud(), 115200u);
}

TEST_F(MainWindowTest, ClosingAsksBeforeAnUnsavedRecordingGoes) {
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(500));
  rig.allowDiscard = false;
  EXPECT_FALSE(w.close());
  EXPECT_EQ(rig.discardAsked, 1);
  EXPECT_TRUE(w.sbZaznam->isChecked()) << "refused: the recording goes on";
  w.sbZaznam->click();
  rig.saveFile = QString::fromStdString(rig.dir.file("kept.ch1"));
  w.TBUlozitSestavu->click();
  EXPECT_TRUE(w.close()) << "saved: no question";
  EXPECT_EQ(rig.discardAsked, 1);
}

TEST_F(MainWindowTest, ClosingWhileTheStartReplyIsAwaitedEndsCleanly) {
  rig.module().inject(sim::Fault::WrongEcho, sim::FaultMode::Always);
  w.sbZaznam->click();
  for (int i = 0; i < 3; ++i)
    w.Recorder().TimerTick();
  EXPECT_FALSE(w.Recorder().Running());
  w.close();
  rig.settings.reset();
  rig.window.reset();
  EXPECT_FALSE(rig.module().port_open());
}

TEST_F(MainWindowTest, PulledCableEndsTheRecordingWithOneMessageAfterTheTick) {
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(2000));
  rig.module().inject(sim::Fault::PulledCable, sim::FaultMode::Always);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (w.sbZaznam->isChecked() && std::chrono::steady_clock::now() < deadline) {
    w.Recorder().TimerTick();
    EXPECT_TRUE(rig.errors.empty()) << "no message box inside a tick";
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  QApplication::processEvents();
  EXPECT_FALSE(w.sbZaznam->isChecked())
      << "completed " << w.Recorder().Completed() << " reissued " << w.Recorder().Reissued() << " processed "
      << w.Recorder().Processed() << " running " << w.Recorder().Running() << " port open "
      << rig.module().port_open() << " stream " << rig.module().stream_bytes() << " caption "
      << w.windowTitle().toStdString();
  ASSERT_EQ(rig.errors.size(), 1u);
  EXPECT_TRUE(rig.errors[0].starts_with("Měření zastaveno: spojení s modulem se přerušilo."))
      << rig.errors[0];
  EXPECT_TRUE(w.TBUlozitSestavu->isEnabled());
  EXPECT_GE(w.Recorder().Store(1)->Count(), 2000u);
}

TEST_F(MainWindowTest, PrintsTheRecordingToPdf) {
  StartFourChannels(rig);
  ASSERT_TRUE(rig.RecordUntil(1500));
  w.sbZaznam->click();
  QDir().mkpath(OSC_SCREENSHOT_DIR);
  rig.pdfFile = std::string(OSC_SCREENSHOT_DIR) + "/main_window_print.pdf";
  w.TBPrint->click();
  EXPECT_TRUE(rig.errors.empty());
  ASSERT_TRUE(std::filesystem::exists(rig.pdfFile));
  EXPECT_GT(std::filesystem::file_size(rig.pdfFile), 1000u);
  EXPECT_TRUE(w.View().FillBackgrounds());
}

TEST_F(MainWindowTest, SilentModuleShowsWhyTheRecordingDoesNotBegin) {
  rig.module().inject(sim::Fault::Silence, sim::FaultMode::Always);
  w.sbZaznam->click();
  w.Recorder().TimerTick();
  EXPECT_EQ(Caption(w), "Čekám na modul: modul na portu SIM4 neodpovídá");
  EXPECT_TRUE(w.sbZaznam->isChecked()) << "the next tick tries again";
  rig.module().clear_faults();
  ASSERT_TRUE(rig.RecordUntil(100));
  EXPECT_TRUE(Caption(w).starts_with("Probíhá měření")) << Caption(w);
  w.sbZaznam->click();
}

TEST(MainWindow, MissingPortShowsWhyTheRecordingDoesNotBegin) {
  MainWindowRig rig(TAcquisitionPath::Overlapped, "/dev/osc-no-such-tty");
  rig.window->show();
  TFrmMdl4CH& w = *rig.window;
  w.sbZaznam->click();
  w.Recorder().TimerTick();
  EXPECT_TRUE(Caption(w).starts_with("Čekám na modul: ")) << Caption(w);
  EXPECT_NE(Caption(w).find("/dev/osc-no-such-tty"), std::string::npos) << Caption(w);
  EXPECT_TRUE(rig.errors.empty());
  w.sbZaznam->click();
  EXPECT_FALSE(w.MainTimer->isActive());
  EXPECT_EQ(Caption(w), "Osciloskop");
}

TEST(MainWindowScreenshot, FourChannelRecording) {
  MainWindowRig rig;
  rig.ShowIdentified();
  TFrmMdl4CH& w = *rig.window;
  StartFourChannels(rig);
  ASSERT_TRUE(rig.RecordUntil(11520 / 4 * 2));
  QApplication::processEvents();
  QDir().mkpath(OSC_SCREENSHOT_DIR);
  EXPECT_TRUE(w.grab().save(QString(OSC_SCREENSHOT_DIR) + "/main_window_recording.png"));
  w.sbZaznam->click();
}

}  // namespace
}  // namespace osc
