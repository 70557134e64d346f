// The main window's wiring with real widgets, headless, on the simulated module: each
// control and key reaches the recorder, the module or the files, and the next run finds
// what this one left (and the state file's own rules); the rules themselves are the
// lower layers' tests.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "controls/qt/spin_box.h"
#include "graph/axis.h"
#include "graph/qt/graph_widget.h"
#include "platform/atomic_file.h"
#include "support/fake_adapters.h"
#include "support/main_window_rig.h"
#include "ui/window_state.h"

namespace osc {
namespace {

using test::MainWindowRig;

std::string Caption(const TFrmMdl4CH& w) {
  return w.windowTitle().toStdString();
}

void Check(QCheckBox* box, bool on) {
  if (box->isChecked() != on) QTest::mouseClick(box, Qt::LeftButton);
}

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() { rig.ShowIdentified(); }
  void RecordAndStop(std::uint32_t samples = 100) {
    w.sbZaznam->click();
    ASSERT_TRUE(rig.RecordUntil(samples));
    w.sbZaznam->click();
  }
  // Records the channels checked, stops and saves as dir/run.ch<n>.
  void RecordAndSave() {
    RecordAndStop(500);
    rig.saveFile = QString::fromStdString(rig.dir.file("run.ch1"));
    w.TBUlozitSestavu->click();
  }
  MainWindowRig rig;
  TFrmMdl4CH& w = *rig.window;
};

TEST_F(MainWindowTest, ControlsReachTheRecorderAndTheModule) {
  Check(w.cbInput1, false);
  Check(w.cbInput2, false);
  w.sbZaznam->click();
  EXPECT_FALSE(w.sbZaznam->isChecked()) << "no input: the button is released";
  w.cbMax->setCurrentIndex(3);
  EXPECT_EQ(w.Recorder().MaxSeconds(), 600);
  Check(w.cbInput1, true);
  Check(w.cbInput5, true);  // partner inputs exclude each other
  EXPECT_FALSE(w.cbInput1->isChecked());
  Check(w.cbInput5, false);
  Check(w.cbInput1, true);

  // Bipolar x 2: one beep, the offset preset sent; the bar moves the scale, not the module
  // (that waits for the next exchange).
  w.cbPolarity->setCurrentIndex(1);
  w.cbGain->setCurrentIndex(1);
  emit w.cbGain->activated(1);  // as the operator picks it
  EXPECT_EQ(rig.beeps, 1);
  EXPECT_EQ(rig.module().offset_byte(), 21);
  const QString low = w.LYLow->text();
  w.sbOffset->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_NE(w.LYLow->text(), low);
  EXPECT_EQ(rig.module().offset_byte(), 21);

  // While recording the bar is refused and the settings commands are off.
  w.sbZaznam->click();
  const int offset = w.sbOffset->value();
  w.sbOffset->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(w.sbOffset->value(), offset);
  EXPECT_FALSE(w.TBSetup->isEnabled());
  EXPECT_FALSE(w.cbInput1->isEnabled());
  w.sbZaznam->click();
  EXPECT_TRUE(w.TBSetup->isEnabled());
}

TEST(MainWindow, TwoChannelModelDisablesItsMissingInputsAndPolarity) {
  MainWindowRig rig(TAcquisitionPath::Overlapped, "SIM2");
  TFrmMdl4CH& w = *rig.window;
  w.cbPolarity->setCurrentIndex(1);
  Check(w.cbInput3, true);
  rig.ShowIdentified();
  EXPECT_EQ(rig.settings->Settings().ModelIndex, kModelTwoChannel);
  EXPECT_EQ(w.cbPolarity->currentIndex(), 0);
  EXPECT_FALSE(w.cbPolarity->isEnabled());
  for (QCheckBox* box : {w.cbInput3, w.cbInput4, w.cbInput5, w.cbInput6}) {
    EXPECT_FALSE(box->isEnabled()) << box->objectName().toStdString();
    EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
  }
}

TEST_F(MainWindowTest, RecordingSavedErasedAndLoadedAgain) {
  for (QCheckBox* box : {w.cbInput3, w.cbInput4})
    Check(box, true);
  RecordAndStop(3000);

  // The overwrite question names the files written, not the name typed.
  const std::string written = rig.dir.file("run.ch1");
  std::ofstream(written) << "keep";
  rig.saveFile = QString::fromStdString(rig.dir.file("run.CH1"));
  rig.allowOverwrite = false;
  w.TBUlozitSestavu->click();
  ASSERT_EQ(rig.overwriteAsked.size(), 1u);
  EXPECT_EQ(rig.overwriteAsked[0], QStringList{QString::fromStdString(written)});
  EXPECT_EQ(std::filesystem::file_size(written), 4u);
  rig.allowOverwrite = true;
  w.TBUlozitSestavu->click();

  w.TBErase->click();

  // A refused file reaches the error box; the others load and the inputs follow them.
  const std::string bad = rig.dir.file("run.ch3");
  std::ofstream(bad, std::ios::binary | std::ios::trunc)
      << std::string(2, '\0') << '\3' << std::string(253, '\0');
  Check(w.cbInput4, false);
  for (int slot = 1; slot <= 4; ++slot)
    rig.openFiles << QString::fromStdString(rig.dir.file("run.ch" + std::to_string(slot)));
  w.TBCtiSignaly->click();
  ASSERT_EQ(rig.errors.size(), 1u);
  EXPECT_NE(rig.errors[0].find("run.ch3"), std::string::npos) << rig.errors[0];
  EXPECT_TRUE(w.cbInput4->isChecked());
  for (int slot = 1; slot <= 4; ++slot)
    EXPECT_EQ(w.Recorder().Store(slot) != nullptr, slot != 3) << slot;

  w.TBZoomIn->click();  // the axes are locked: all of them move
  w.TBLeft->click();
  EXPECT_DOUBLE_EQ(w.View().XAxis(2)->Left(), w.View().XAxis(0)->Left());

  // Dropped files open as the open command would.
  w.TBErase->click();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(rig.dir.file("run.ch2"))),
                QUrl::fromLocalFile(QString::fromStdString(rig.dir.file("run.ch4")))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &drop);
  QApplication::processEvents();
  for (int slot = 1; slot <= 4; ++slot)
    EXPECT_EQ(w.Recorder().Store(slot) != nullptr, slot % 2 == 0) << slot;
  EXPECT_EQ(w.RecentRecords().at(0), (TRecordFiles{rig.dir.file("run.ch2"), rig.dir.file("run.ch4")}));
  EXPECT_EQ(rig.errors.size(), 1u);
}

TEST_F(MainWindowTest, SettingsStornoKeepsTheRecordingAndTheScaleOkTakesTheNewRanges) {
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(100));
  const QString high = w.LYHigh->text();
  QTimer::singleShot(0, [&] {
    rig.settings->SetSelectedRange(0);
    rig.settings->sbRozsah->SetValue(w.CurrentRange()->Range + 7);
    rig.settings->reject();
  });
  w.TBSetupClick();  // the button is off while recording; the command still works
  EXPECT_EQ(w.LYHigh->text(), high);
  EXPECT_TRUE(w.MainTimer->isActive());

  QTimer::singleShot(0, [&] {
    while (!rig.settings->Edited().Ranges.empty()) {
      rig.settings->SetSelectedRange(0);
      rig.settings->sbDeleteClick();
    }
    rig.settings->bbOkClick();
  });
  w.TBSetupClick();
  EXPECT_FALSE(w.MainTimer->isActive());
  EXPECT_FALSE(w.Com.Active()) << "the next identification opens the port anew";
  ASSERT_EQ(w.cbVstup->count(), 1) << "an empty list gets its default range";
  EXPECT_EQ(w.cbVstup->currentIndex(), rig.settings->SelectedRange());
}

// The caption says why a recording does not begin, without a message box (why a port
// cannot be opened, or a module does not answer, is seriallink's and the protocol's).
TEST(MainWindow, AnUnreachableModuleIsNamedInTheCaption) {
  const std::string port = "/dev/osc-no-such-tty";
  MainWindowRig rig(TAcquisitionPath::Overlapped, port);
  TFrmMdl4CH& w = *rig.window;
  w.show();
  w.sbZaznam->click();
  w.Recorder().TimerTick();
  EXPECT_NE(Caption(w).find(port), std::string::npos) << Caption(w);
  EXPECT_TRUE(w.sbZaznam->isChecked()) << "the next tick tries again";
  EXPECT_TRUE(rig.errors.empty());
  w.sbZaznam->click();
  EXPECT_FALSE(w.MainTimer->isActive());
}

// The loss label follows the recording, which a pulled cable ends with one error box
// after the tick; the losses are saved beside the records and read back with them,
// without their file they are unknown (a file of other records is acquisition's).
TEST_F(MainWindowTest, LossesAndAPulledCableAreShownAndTheLossesSavedAndReadBack) {
  Check(w.cbInput2, false);
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(3000));
  rig.module().inject(sim::Fault::FramingError, sim::FaultMode::Once);
  const std::uint32_t at = w.Recorder().Store(1)->Count();
  ASSERT_TRUE(rig.RecordUntil(at + 6000));
  rig.module().inject(sim::Fault::PulledCable, sim::FaultMode::Always);
  for (int i = 0; i < 2000 && w.sbZaznam->isChecked(); ++i) {
    w.Recorder().TimerTick();
    EXPECT_TRUE(rig.errors.empty()) << "no message box inside a tick";
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  QApplication::processEvents();
  ASSERT_EQ(rig.errors.size(), 1u) << "the pulled cable, once";
  const QString shown = w.LLoss->text();
  EXPECT_TRUE(shown.startsWith("Ztraceno: 1 ")) << shown.toStdString();
  EXPECT_EQ(w.LLoss->palette().color(QPalette::WindowText), QColor(200, 0, 0));
  EXPECT_EQ(w.View().MarkedSpans().size(), 1u);

  rig.saveFile = QString::fromStdString(rig.dir.file("run.CH1"));
  w.TBUlozitSestavu->click();
  ASSERT_TRUE(std::filesystem::exists(rig.dir.file("run.ztraty")));
  w.TBErase->click();
  EXPECT_TRUE(w.LLoss->text().isEmpty());

  rig.openFiles = {QString::fromStdString(rig.dir.file("run.ch1"))};
  w.TBCtiSignaly->click();
  EXPECT_EQ(w.LLoss->text(), shown);
  EXPECT_EQ(w.View().MarkedSpans().size(), 1u);

  std::filesystem::remove(rig.dir.file("run.ztraty"));
  w.TBCtiSignaly->click();
  EXPECT_FALSE(w.LLoss->text().startsWith("Ztraceno")) << w.LLoss->text().toStdString();
  EXPECT_TRUE(w.View().MarkedSpans().empty());
  EXPECT_EQ(rig.errors.size(), 1u);
}

// The module's adapter pulled: the title says so at once; the same one back under another
// number is taken and the module asked for, and no recording starts by itself. Which
// adapter counts as the same is seriallink's adapter-watch test.
TEST_F(MainWindowTest, APulledAdapterIsAwaitedAndTakenBack) {
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

  system.Plug({"ttyUSB1", "usb-FTDI_A1-if00", "A1"});
  w.PortWatchTick();
  EXPECT_EQ(w.PortName(), system.Dev("ttyUSB1"));
  EXPECT_NE(Caption(w).find(system.Dev("ttyUSB1")), std::string::npos) << Caption(w);
  EXPECT_FALSE(w.sbZaznam->isChecked());
}

TEST_F(MainWindowTest, EveryKeyRunsItsCommand) {
  RecordAndSave();
  rig.pdfFile = rig.dir.file("print.pdf");
  QString clicked;
  for (QToolButton* b : w.findChildren<QToolButton*>())
    QObject::connect(b, &QToolButton::clicked, b, [&clicked, b] { clicked = b->objectName(); });
  const struct {
    QWidget* target;
    QKeyCombination key;
    QToolButton* command;
  } keys[] = {
      {&w, Qt::CTRL | Qt::Key_O, w.TBCtiSignaly},
      {&w, Qt::CTRL | Qt::Key_S, w.TBUlozitSestavu},
      {&w, Qt::CTRL | Qt::Key_P, w.TBPrint},
      {&w, QKeyCombination(Qt::Key_Home), w.TBHome},
      {&w, QKeyCombination(Qt::Key_End), w.TBEnd},
      {&w, QKeyCombination(Qt::Key_PageUp), w.TBFastLeft},
      {&w, QKeyCombination(Qt::Key_PageDown), w.TBFastRight},
      {&w, QKeyCombination(Qt::Key_Plus), w.TBZoomIn},
      {&w, QKeyCombination(Qt::Key_Minus), w.TBZoomOut},
      {&w, Qt::CTRL | Qt::Key_0, w.TBAll},
      {w.Graph, QKeyCombination(Qt::Key_Left), w.TBLeft},
      {w.Graph, QKeyCombination(Qt::Key_Right), w.TBRight},
      {w.Graph, Qt::CTRL | Qt::Key_Left, w.TBFastLeft},
      {w.Graph, Qt::CTRL | Qt::Key_Right, w.TBFastRight},
      {w.Graph, QKeyCombination(Qt::Key_Up), w.TBZoomIn},
      {w.Graph, QKeyCombination(Qt::Key_Down), w.TBZoomOut},
      {&w, Qt::CTRL | Qt::Key_Delete, w.TBErase},
      {w.Graph, QKeyCombination(Qt::Key_F12), w.sbZaznam},
      {&w, QKeyCombination(Qt::Key_F12), w.sbZaznam},
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(QKeySequence(k.key).toString().toStdString());
    clicked.clear();
    QTest::keyClick(k.target, k.key.key(), k.key.keyboardModifiers());
    EXPECT_EQ(clicked, k.command->objectName());
  }
  EXPECT_FALSE(w.MainTimer->isActive()) << "F12 started and stopped a recording";
  EXPECT_GT(std::filesystem::file_size(rig.pdfFile), 1000u) << "Ctrl+P printed";
  EXPECT_TRUE(rig.errors.empty()) << rig.errors.front();
}

// Closing and erasing ask about an unsaved recording; closed, the window stops it and frees
// the module, and the next run finds the layout, toggles, folder and recent records.
TEST_F(MainWindowTest, ClosingAsksThenStopsAndTheNextRunFindsWhatThisOneLeft) {
  RecordAndSave();
  w.resize(900, 560);
  w.TBGrid->click();
  w.TBPeakDet->click();
  w.TBShowAnalyse->click();
  w.TBarAnalyse->hide();  // a bar's own state yields to its button
  RecordAndStop();
  rig.allowDiscard = false;
  w.TBErase->click();
  EXPECT_NE(w.Recorder().Store(1), nullptr) << "refused: the recording stays";
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(500));
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.sbZaznam->isChecked()) << "refused: the recording goes on";
  rig.allowDiscard = true;
  EXPECT_TRUE(w.close());
  EXPECT_EQ(rig.discardAsked, 3);
  EXPECT_FALSE(w.MainTimer->isActive());
  EXPECT_EQ(rig.module().line_baud(), 115200u);

  TFrmMdl4CH next;
  EXPECT_EQ(next.size(), QSize(900, 560));
  EXPECT_FALSE(next.TBGrid->isChecked());
  EXPECT_TRUE(next.TBCross->isChecked());
  EXPECT_TRUE(next.TBPeakDet->isChecked());
  EXPECT_TRUE(next.TBShowAnalyse->isChecked());
  EXPECT_FALSE(next.TBarAnalyse->isHidden());
  EXPECT_EQ(next.property(kLastFolderProperty).toString().toStdString(), rig.dir.path());
  ASSERT_EQ(next.RecentRecords().size(), 1u);
  EXPECT_EQ(next.RecentRecords()[0], (TRecordFiles{rig.dir.file("run.ch1"), rig.dir.file("run.ch2")}));

  // A record gone since is dropped from the menu, and the title says so.
  std::filesystem::remove(rig.dir.file("run.ch2"));
  emit next.RecentMenu->aboutToShow();
  EXPECT_TRUE(next.RecentRecords().empty());
  EXPECT_TRUE(next.windowTitle().contains("run")) << next.windowTitle().toStdString();
}

// ---- what the window keeps between runs, without the window

TWindowState Sample() {
  TWindowState s;
  s.Geometry = "AdnQywADAAA=";
  s.Bars = "AAAA/wAAAAD9";
  s.Panel = true;
  s.Grid = false;
  s.Cross = false;
  s.Peak = true;
  s.Folder = "/data/měření\\tab\there";
  s.Recent = {{"/a/run.ch1", "/a/run.ch2"}, {"/b/line\nbreak.ch3"}};
  return s;
}

bool Same(const TWindowState& a, const TWindowState& b) {
  return a.Geometry == b.Geometry && a.Bars == b.Bars && a.Panel == b.Panel && a.Grid == b.Grid &&
         a.Cross == b.Cross && a.Peak == b.Peak && a.Folder == b.Folder && a.Recent == b.Recent;
}

TEST(WindowStateFile, WrittenStateReadsBackAndDamagedOrForeignFilesGiveTheDefaults) {
  test::TempDir dir;
  const std::string path = WindowStateFile(dir.file("new/folder"));
  ASSERT_EQ(WriteWindowState(path, Sample(), SystemFileOps()), 0);
  EXPECT_TRUE(Same(ReadWindowState(path, SystemFileOps()), Sample()));

  const std::string good = FormatWindowState(Sample());
  const std::string header = good.substr(0, good.find('\n') + 1);
  const struct {
    const char* what;
    std::string text;
  } damaged[] = {
      {"foreign", "[General]\ngeometry=AAAA\n"},
      {"cut short", good.substr(0, good.size() - 3)},
      {"a toggle not 0 or 1", header + "grid=no\n"},
      {"geometry not base64", header + "geometry=AA\x01\n"},
      {"a line without a value", header + "grid\n"},
      {"a broken escape", header + "folder=a\\x\n"},
      {"an empty file name", header + "recent=/a/run.ch1\t\n"},
      {"a NUL byte", header + std::string("grid=0\n\0", 8)},
      {"too large", header + "folder=" + std::string(300 * 1024, 'a') + "\n"},
  };
  for (const auto& d : damaged) {
    SCOPED_TRACE(d.what);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << d.text;
    EXPECT_TRUE(Same(ReadWindowState(path, SystemFileOps()), TWindowState{}));
  }
}

TEST(RecentRecords, NewestFirstOnceEachEightKeptAndVanishedOnesDropped) {
  std::vector<TRecordFiles> recent;
  for (int i = 0; i < 10; ++i)
    AddRecentRecord(recent, {"/r" + std::to_string(i) + ".ch1", "/r" + std::to_string(i) + ".ch2"});
  ASSERT_EQ(recent.size(), kRecentRecords);
  EXPECT_EQ(recent.front().front(), "/r9.ch1");
  EXPECT_EQ(recent.back().front(), "/r2.ch1");

  AddRecentRecord(recent, {"/r5.ch2", "/r5.ch1"});  // the same record, listed otherwise
  ASSERT_EQ(recent.size(), kRecentRecords);
  EXPECT_EQ(recent.front().front(), "/r5.ch2");
  EXPECT_EQ(recent.back().front(), "/r2.ch1") << "its old place went, not the oldest record";

  const auto exists = [](const std::string& f) { return f != "/r7.ch2" && f != "/r3.ch1"; };
  EXPECT_EQ(PruneRecentRecords(recent, exists).size(), 2u);
  EXPECT_EQ(recent.front().front(), "/r5.ch2") << "the order stays";
}

}  // namespace
}  // namespace osc
