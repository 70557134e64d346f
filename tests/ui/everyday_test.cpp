// Daily work with the main window: keys, the state kept between runs, the recent
// records and dropped files; the window headless on the simulated module.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "graph/qt/graph_widget.h"
#include "graph/series.h"
#include "platform/atomic_file.h"
#include "support/main_window_rig.h"
#include "ui/window_state.h"

namespace osc {
namespace {

using test::MainWindowRig;

// ---------------------------------------------------------------- the state file

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
      {"a later format", "Osciloskop okno 2\ngrid=0\n"},
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

  const std::vector<TRecordFiles> dropped =
      PruneRecentRecords(recent, [](const std::string& f) { return f != "/r7.ch2" && f != "/r3.ch1"; });
  ASSERT_EQ(dropped.size(), 2u);
  EXPECT_EQ(dropped[0].front(), "/r7.ch1");
  EXPECT_EQ(recent.size(), kRecentRecords - 2);
  EXPECT_EQ(recent.front().front(), "/r5.ch2") << "the order stays";
}

// ---------------------------------------------------------------- the window

class Everyday : public ::testing::Test {
 protected:
  Everyday() { rig.ShowIdentified(); }

  // Records the channels checked, stops and saves as dir/run.ch<n>.
  void RecordAndSave(std::uint32_t samples = 500) {
    w.sbZaznam->click();
    ASSERT_TRUE(rig.RecordUntil(samples));
    w.sbZaznam->click();
    rig.saveFile = QString::fromStdString(rig.dir.file("run.ch1"));
    w.TBUlozitSestavu->click();
  }
  QPoint PlotPoint(double fx) {
    const TRect p = w.View().Layout().PlotRect(1, w.View().ClientRect());
    return QPoint(p.Left + static_cast<int>(fx * (p.Right - p.Left)), (p.Top + p.Bottom) / 2);
  }
  void CrossAt(double fx) {
    QTest::mouseMove(w.Graph, PlotPoint(fx) + QPoint(0, 1));
    QTest::mouseMove(w.Graph, PlotPoint(fx));
  }
  const TFrmMdl4CH::TMeasuringPoint& Point(int k) { return w.MeasuringPoints[static_cast<std::size_t>(k)]; }

  MainWindowRig rig;
  TFrmMdl4CH& w = *rig.window;
};

TEST_F(Everyday, EveryKeyRunsItsCommand) {
  RecordAndSave();
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
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(QKeySequence(k.key).toString().toStdString());
    clicked.clear();
    QTest::keyClick(k.target, k.key.key(), k.key.keyboardModifiers());
    EXPECT_EQ(clicked, k.command->objectName());
    if (k.target == &w) {
      EXPECT_TRUE(k.command->toolTip().contains(QKeySequence(k.key).toString(QKeySequence::NativeText)))
          << k.command->toolTip().toStdString();
    }
  }
  EXPECT_EQ(w.GraphData.SeriesCount(), 0) << "the last key erased the saved record";
}

TEST_F(Everyday, MeasuringPointsByKeyboard) {
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(2000));
  w.sbZaznam->click();
  QApplication::processEvents();
  auto* series = dynamic_cast<TBaseEquiDistantSeries*>(w.GraphData.Series(0));
  ASSERT_NE(series, nullptr);

  CrossAt(0.3);
  ASSERT_TRUE(w.CrossActive);
  QTest::keyClick(&w, Qt::Key_1);
  EXPECT_EQ(Point(0).X, w.CrossX);
  CrossAt(0.6);
  QTest::keyClick(&w, Qt::Key_2);
  EXPECT_EQ(Point(1).X, w.CrossX);
  EXPECT_TRUE(w.TBShowAnalyse->isChecked());
  const double x1 = Point(1).X;
  QTest::keyClick(&w, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_NEAR(Point(1).X, x1 + series->XStep(), series->XStep() / 100) << "the last point placed moves";
  QTest::keyClick(&w, Qt::Key_Left, Qt::ShiftModifier);
  QTest::keyClick(&w, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_NEAR(Point(1).X, x1 - series->XStep(), series->XStep() / 100);

  QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_EQ(Point(0).X, 0);
  EXPECT_EQ(Point(1).X, 0);
  EXPECT_TRUE(w.View().Points().empty());
}

TEST_F(Everyday, TheNextRunFindsTheLayoutTogglesFolderAndRecentRecords) {
  RecordAndSave();
  w.resize(900, 560);
  w.TBGrid->click();
  w.TBPeakDet->click();
  w.TBShowAnalyse->click();
  w.TBarAnalyse->hide();  // a bar's own state yields to its button
  w.close();

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

TEST_F(Everyday, DroppedFilesOpenAsTheOpenCommandWould) {
  for (QCheckBox* box : {w.cbInput3, w.cbInput4})
    box->setChecked(true);
  RecordAndSave();
  w.TBErase->click();
  ASSERT_EQ(w.GraphData.SeriesCount(), 0);

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
  ASSERT_FALSE(w.RecentRecords().empty());
  EXPECT_EQ(w.RecentRecords()[0], (TRecordFiles{rig.dir.file("run.ch2"), rig.dir.file("run.ch4")}));
  EXPECT_TRUE(rig.errors.empty());
}

}  // namespace
}  // namespace osc
