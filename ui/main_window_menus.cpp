// Everyday use of the main window: the menu bar holding every tool bar command with its
// shortcut, the graph's keys, measuring points by keyboard, the recent records, dropped
// files, the state kept between runs and the About box.
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "graph/axis.h"
#include "graph/qt/graph_widget.h"
#include "graph/series.h"
#include "platform/atomic_file.h"
#include "platform/registry/registry_store.h"
#include "platform/virtual_keys.h"
#include "ui/app_error.h"
#include "ui/main_window.h"

#ifndef OSC_VERSION
#define OSC_VERSION "?"
#endif

namespace osc {

namespace {

QStringList LocalFiles(const QMimeData* data) {
  QStringList files;
  if (data == nullptr) return files;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) files << url.toLocalFile();
  }
  return files;
}

}  // namespace

void TFrmMdl4CH::SetUpEverydayUse() {
  setAcceptDrops(true);

  // The readings are for screen readers and the clipboard too.
  const std::pair<QLabel*, const char*> readings[] = {{LCrossPos, "Hodnota na kříži"},
                                                      {LPoint1, "Hodnoty prvního bodu"},
                                                      {LPoint2, "Hodnoty druhého bodu"},
                                                      {LPointDif, "Rozdíly mezi oběma body"}};
  for (auto [l, name] : readings) {
    l->setAccessibleName(QString::fromUtf8(name));
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }

  struct TMenuCommand {
    QMenu* menu;
    QToolButton* button;
    const char* text;
    QList<QKeySequence> keys;
    const char* graphKey;  // a key the graph takes: named in the menu and tooltip, no shortcut
  };
  QMenu* file = menuBar()->addMenu("&Soubor");
  QMenu* view = menuBar()->addMenu("&Zobrazení");
  QMenu* measure = menuBar()->addMenu("&Měření");
  QMenu* help = menuBar()->addMenu("&Nápověda");
  RecentMenu = new QMenu("&Nedávné záznamy", this);
  RecentMenu->setObjectName("RecentMenu");
  TBCtiSignaly->setMenu(RecentMenu);
  TBCtiSignaly->setPopupMode(QToolButton::MenuButtonPopup);
  connect(RecentMenu, &QMenu::aboutToShow, this, &TFrmMdl4CH::FillRecentMenu);

  const TMenuCommand commands[] = {
      {file, TBCtiSignaly, "&Otevřít…", {QKeySequence::Open}, nullptr},
      {file, TBUlozitSestavu, "&Uložit…", {QKeySequence::Save}, nullptr},
      {file, TBPrint, "&Tisk…", {QKeySequence::Print}, nullptr},
      {file, TBExport, "&Export…", {QKeySequence(Qt::CTRL | Qt::Key_E)}, nullptr},
      {file, TBErase, "&Smazat záznam", {QKeySequence(Qt::CTRL | Qt::Key_Delete)}, nullptr},
      {file, TBSetup, "&Nastavení…", {QKeySequence(Qt::CTRL | Qt::Key_Comma)}, nullptr},
      {file, TBKonec, "&Konec", {QKeySequence(Qt::CTRL | Qt::Key_Q)}, nullptr},
      {view, TBSelect, "Režim &výběru", {}, nullptr},
      {view, TBPan, "Režim &posuvu", {}, nullptr},
      {view, TBZoom, "Režim &přiblížení", {}, nullptr},
      {view, tbAutoMove, "&Automatický posuv", {}, nullptr},
      {view, tbAutoZoom, "Zobrazovat &celý graf", {}, nullptr},
      {view, tbLockedAxis, "Společný pohyb os &X", {}, nullptr},
      {view, TBHome, "&Začátek záznamu", {QKeySequence(Qt::Key_Home)}, nullptr},
      {view, TBFastLeft, "Rychle vlevo", {QKeySequence(Qt::Key_PageUp)}, nullptr},
      {view, TBLeft, "Vlevo", {}, "←"},
      {view, TBRight, "Vpravo", {}, "→"},
      {view, TBFastRight, "Rychle vpravo", {QKeySequence(Qt::Key_PageDown)}, nullptr},
      {view, TBEnd, "&Konec záznamu", {QKeySequence(Qt::Key_End)}, nullptr},
      {view,
       TBZoomIn,
       "Př&iblížit",
       {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal),
        QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)},
       nullptr},
      {view,
       TBZoomOut,
       "&Oddálit",
       {QKeySequence(Qt::Key_Minus), QKeySequence(Qt::KeypadModifier | Qt::Key_Minus)},
       nullptr},
      {view, TBAll, "Celý &graf", {QKeySequence(Qt::CTRL | Qt::Key_0)}, nullptr},
      {view, TBGrid, "&Mřížka", {}, nullptr},
      {view, TBCross, "&Kříž", {}, nullptr},
      {view, TBPeakDet, "Š&pičky", {}, nullptr},
      {measure, sbZaznam, "&Záznam (Start / Stop)", {QKeySequence(Qt::Key_F12)}, nullptr},
      {measure, TBShowAnalyse, "&Panel hodnot bodů", {}, nullptr},
  };
  std::vector<std::pair<QAction*, QToolButton*>> actions;
  for (const TMenuCommand& c : commands) {
    if (c.menu == file && c.button == TBUlozitSestavu) {
      file->addMenu(RecentMenu);
      file->addSeparator();
    }
    if (c.button == TBSelect || c.button == tbAutoMove || c.button == TBHome || c.button == TBGrid ||
        (c.menu == file && c.button == TBSetup) || c.button == TBKonec)
      c.menu->addSeparator();
    // A key the graph takes is shown where a shortcut would be.
    QString text = QString::fromUtf8(c.text);
    if (c.graphKey) text += "\t" + QString::fromUtf8(c.graphKey);
    QAction* a = c.menu->addAction(c.button->icon(), text);
    a->setObjectName(QString("act") + c.button->objectName());
    a->setShortcuts(c.keys);
    QToolButton* b = c.button;
    if (b->isCheckable()) {
      a->setCheckable(true);
      a->setChecked(b->isChecked());
      connect(b, &QToolButton::toggled, a, &QAction::setChecked);
    }
    connect(a, &QAction::triggered, b, [a, b] {
      b->click();
      a->setChecked(b->isChecked());  // a click refused leaves both as they were
    });
    const QString key = c.graphKey         ? QString::fromUtf8(c.graphKey)
                        : c.keys.isEmpty() ? QString()
                                           : c.keys.front().toString(QKeySequence::NativeText);
    if (!key.isEmpty()) b->setToolTip(b->toolTip() + " (" + key + ")");
    actions.emplace_back(a, b);
  }
  // A command whose button is off (while recording) is off in the menu too.
  for (QMenu* m : {file, view, measure}) {
    connect(m, &QMenu::aboutToShow, this, [actions] {
      for (auto [a, b] : actions)
        a->setEnabled(b->isEnabled());
    });
  }

  measure->addSeparator();
  auto pointKey = [&](const char* name, const char* text, QList<QKeySequence> k, auto f) {
    QAction* a = measure->addAction(QString::fromUtf8(text));
    a->setObjectName(name);
    a->setShortcuts(k);
    connect(a, &QAction::triggered, this, f);
  };
  pointKey("actPoint1", "&První bod na kříži",
           {QKeySequence(Qt::Key_1), QKeySequence(Qt::KeypadModifier | Qt::Key_1)},
           [this] { PlacePointAtCross(0); });
  pointKey("actPoint2", "&Druhý bod na kříži",
           {QKeySequence(Qt::Key_2), QKeySequence(Qt::KeypadModifier | Qt::Key_2)},
           [this] { PlacePointAtCross(1); });
  pointKey("actPointLeft", "Bod o vzorek v&levo", {QKeySequence(Qt::SHIFT | Qt::Key_Left)},
           [this] { StepLastPoint(-1); });
  pointKey("actPointRight", "Bod o vzorek v&pravo", {QKeySequence(Qt::SHIFT | Qt::Key_Right)},
           [this] { StepLastPoint(1); });
  pointKey("actPointsClear", "&Smazat body", {QKeySequence(Qt::Key_Escape)}, [this] {
    lastPoint_ = -1;
    ClearMeasuringPoints();
  });
  QAction* about = help->addAction("&O programu");
  about->setObjectName("actAbout");
  connect(about, &QAction::triggered, this, &TFrmMdl4CH::ShowAbout);

  View().OnKeyDown = [this](TVelaGraph&, std::uint16_t& key, TShiftState shift) { GraphKeyDown(key, shift); };

  stateFile_ = WindowStateFile(win::detail::RegistryStore::instance().folder());
  RestoreWindowState();
}

void TFrmMdl4CH::GraphKeyDown(std::uint16_t& key, TShiftState shift) {
  if ((shift & (ssShift | ssAlt)) != 0) return;
  const bool ctrl = (shift & ssCtrl) != 0;
  QToolButton* b = nullptr;
  switch (key) {
    case win::VK_LEFT:
      b = ctrl ? TBFastLeft : TBLeft;
      break;
    case win::VK_RIGHT:
      b = ctrl ? TBFastRight : TBRight;
      break;
    case win::VK_UP:
      b = TBZoomIn;
      break;
    case win::VK_DOWN:
      b = TBZoomOut;
      break;
    default:
      return;
  }
  b->click();
  key = 0;
}

// ---------------------------------------------------------------- measuring points

void TFrmMdl4CH::PlacePointAtCross(int k) {
  TMeasuringPoint& p = MeasuringPoints[static_cast<std::size_t>(k)];
  if (CrossActive) {
    p.X = CrossX;
    p.Y = CrossY;
    p.GraphNumber = CrossGraphNumber;
    p.Slot = CrossSlot;
  } else {
    // Without the mouse over the graph: the first curve in the middle of its window.
    TVelaSeries* s = GraphData.Series(0);
    TAxis* x = s != nullptr ? View().XAxis(static_cast<int>(s->GraphNumber()) - 1) : nullptr;
    if (x == nullptr) {
      Beep();
      return;
    }
    TDoublePoint q{(x->Left() + x->Right()) / 2, 0};
    q = s->SampleAt(q);
    if (q.X == 0) {
      Beep();
      return;
    }
    p.X = q.X;
    p.Y = q.Y;
    p.GraphNumber = s->GraphNumber();
    p.Slot = s->Tag();
  }
  lastPoint_ = k;
  TBShowAnalyse->setChecked(true);
  UpdateAnalysis();
}

void TFrmMdl4CH::StepLastPoint(int direction) {
  if (lastPoint_ < 0) return;
  TMeasuringPoint& p = MeasuringPoints[static_cast<std::size_t>(lastPoint_)];
  if (p.X == 0) return;
  for (int i = 0; i < GraphData.SeriesCount(); ++i) {
    auto* s = dynamic_cast<TBaseEquiDistantSeries*>(GraphData.Series(i));
    if (s == nullptr || s->GraphNumber() != p.GraphNumber || s->Tag() != p.Slot) continue;
    const TDoublePoint q = s->SampleAt(TDoublePoint{p.X + direction * s->XStep(), 0});
    if (q.X == 0) return;
    p.X = q.X;
    p.Y = q.Y;
    UpdateAnalysis();
    return;
  }
}

// ---------------------------------------------------------------- records

void TFrmMdl4CH::OpenRecordFiles(const QStringList& files) {
  if (files.isEmpty()) return;
  // The open command is off while recording; so is every other way to open.
  if (RecordButtonDown()) {
    Beep();
    return;
  }
  try {
    LoadRecords(files);
  } catch (const std::exception& e) {
    ShowApplicationError(e, this);
  }
}

void TFrmMdl4CH::RememberRecord(const QStringList& files) {
  TRecordFiles record;
  for (const QString& f : files)
    record.push_back(QFileInfo(f).absoluteFilePath().toStdString());
  if (record.empty()) return;
  state_.Folder = QFileInfo(files.front()).absolutePath().toStdString();
  setProperty(kLastFolderProperty, QString::fromStdString(state_.Folder));
  AddRecentRecord(state_.Recent, std::move(record));
  SaveWindowState();
}

void TFrmMdl4CH::FillRecentMenu() {
  const std::vector<TRecordFiles> dropped = PruneRecentRecords(
      state_.Recent, [](const std::string& f) { return QFileInfo::exists(QString::fromStdString(f)); });
  if (!dropped.empty()) {
    std::string names;
    for (const TRecordFiles& r : dropped)
      names += (names.empty() ? "" : ", ") + RecentRecordTitle(r);
    SetCaption((dropped.size() == 1 ? "Záznam " + names + " již neexistuje, z nabídky odebrán"
                                    : "Záznamy " + names + " již neexistují, z nabídky odebrány"));
    SaveWindowState();
  }
  RecentMenu->clear();
  int n = 0;
  for (const TRecordFiles& r : state_.Recent) {
    QAction* a =
        RecentMenu->addAction(QString("&%1 %2").arg(++n).arg(QString::fromStdString(RecentRecordTitle(r))));
    QStringList files;
    for (const std::string& f : r)
      files << QString::fromStdString(f);
    a->setToolTip(files.join("\n"));
    connect(a, &QAction::triggered, this, [this, files] { OpenRecordFiles(files); });
  }
  if (n == 0) RecentMenu->addAction("(žádné)")->setEnabled(false);
}

void TFrmMdl4CH::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).isEmpty() && !RecordButtonDown()) event->acceptProposedAction();
}

void TFrmMdl4CH::dropEvent(QDropEvent* event) {
  const QStringList files = LocalFiles(event->mimeData());
  if (files.isEmpty()) return;
  event->acceptProposedAction();
  // The source waits for the drop to end: an error box comes after it.
  QMetaObject::invokeMethod(
      this, [this, files] { OpenRecordFiles(files); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- state between runs

void TFrmMdl4CH::RestoreWindowState() {
  state_ = ReadWindowState(stateFile_, SystemFileOps());
  if (!state_.Geometry.empty())
    restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(state_.Geometry)));
  if (!state_.Bars.empty()) restoreState(QByteArray::fromBase64(QByteArray::fromStdString(state_.Bars)));
  TBGrid->setChecked(state_.Grid);
  TBCross->setChecked(state_.Cross);
  TBPeakDet->setChecked(state_.Peak);
  TBShowAnalyse->setChecked(state_.Panel);
  UpdateAnalysis();  // the panel follows its button, whatever the bars' state said
  setProperty(kLastFolderProperty, QString::fromStdString(state_.Folder));
}

void TFrmMdl4CH::SaveWindowState() {
  state_.Geometry = saveGeometry().toBase64().toStdString();
  state_.Bars = saveState().toBase64().toStdString();
  state_.Panel = TBShowAnalyse->isChecked();
  state_.Grid = TBGrid->isChecked();
  state_.Cross = TBCross->isChecked();
  state_.Peak = TBPeakDet->isChecked();
  // A state that cannot be written costs the next run its layout, nothing more.
  WriteWindowState(stateFile_, state_, SystemFileOps());
}

// ---------------------------------------------------------------- about

void TFrmMdl4CH::ShowAbout() {
  QString text = QString(
                     "<b>Osciloskop %1</b><br>Obsluha sériového osciloskopu a záznamníku dat.<br><br>"
                     "Licence: GNU GPL verze 3 nebo pozdější<br>(GPL-3.0-or-later)")
                     .arg(OSC_VERSION);
  if (State.DeviceFound) {
    QString bytes;
    for (std::uint8_t b : State.IdentReply)
      bytes += QString("%1 ").arg(b, 2, 16, QChar('0')).toUpper();
    text += QString("<br><br>Modul: %1<br>Identifikace: %2")
                .arg(FourChannelModel() ? "4-kanál, 10 bitů" : "2-kanál, 10 bitů")
                .arg(bytes.trimmed());
  }
  QMessageBox box(QMessageBox::Information, "O programu", text, QMessageBox::Ok, this);
  box.setObjectName("AboutBox");
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  box.exec();
}

}  // namespace osc
