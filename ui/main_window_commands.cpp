// What the main window's controls do: recording, parameters, files, graph navigation,
// the settings command, and the window's side of the recorder and the protocol.
#include "acquisition/raw_reader.h"
#include "acquisition/record_file.h"
#include "graph/axis.h"
#include "graph/qt/graph_widget.h"
#include "graph/series.h"
#include "platform/errors.h"
#include "platform/locale/locale.h"
#include "seriallink/port_check.h"
#include "ui/app_error.h"
#include "ui/fourier_window.h"
#include "ui/main_window.h"
#include "ui/settings_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPrinter>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

namespace osc {

namespace {

// The window keeps the folder last used as its property, so the dialogs open there.
QString LastFolder(QWidget* parent) {
  return parent != nullptr ? parent->property(kLastFolderProperty).toString() : QString();
}

}  // namespace

TMainWindowUi DefaultMainWindowUi() {
  TMainWindowUi ui;
  ui.OpenFiles = [](QWidget* parent) {
    QFileDialog dialog(parent, "Otevřít datový soubor", LastFolder(parent), kRecordFileQtFilter);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setDefaultSuffix(kRecordFileDefaultExt);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
  };
  ui.SaveFile = [](QWidget* parent) {
    QFileDialog dialog(parent, "Uložit záznam do souboru", LastFolder(parent), kRecordFileQtFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(kRecordFileDefaultExt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().front();
  };
  ui.ConfirmOverwrite = [](QWidget* parent, const QStringList& existing) {
    const QString text =
        (existing.size() == 1 ? QString("Soubor %1 již existuje.\nChcete jej nahradit?")
                              : QString("Tyto soubory již existují:\n%1\nChcete je nahradit?"))
            .arg(existing.join("\n"));
    return QMessageBox::question(parent, QApplication::applicationName(), text) == QMessageBox::Yes;
  };
  ui.ConfirmDiscard = [](QWidget* parent) {
    return QMessageBox::question(parent, QApplication::applicationName(),
                                 "Záznam není uložen. Zahodit jej?") == QMessageBox::Yes;
  };
  ui.Beep = [] { QApplication::beep(); };
  ui.Print = DefaultPrintUi();
  ui.Export = DefaultExportUi();
  return ui;
}

template <class F>
void TFrmMdl4CH::Command(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    ShowApplicationError(e, this);
  }
}

// ---------------------------------------------------------------- wiring

void TFrmMdl4CH::ConnectCommands() {
  connect(MainTimer, &QTimer::timeout, this, [this] { recorder_->TimerTick(); });
  connect(sbZaznam, &QToolButton::clicked, this, &TFrmMdl4CH::sbZaznamClick);

  for (QComboBox* box : {cbVstup, cbPolarity, cbGain})
    connect(box, &QComboBox::activated, this, [this] { Command([this] { RangeChange(); }); });
  connect(sbOffset, &QScrollBar::actionTriggered, this, [this](int action) {
    // The position the action would give, refused or limited before it is applied. A
    // page click moves by the large change; the page step is the thumb's size.
    int requested = sbOffset->sliderPosition();
    if (action == QAbstractSlider::SliderPageStepAdd)
      requested = sbOffset->value() + TOffsetBar::kLargeChange;
    if (action == QAbstractSlider::SliderPageStepSub)
      requested = sbOffset->value() - TOffsetBar::kLargeChange;
    const std::optional<int> p = OffsetBar.Scroll(requested, RecordButtonDown());
    sbOffset->setSliderPosition(p ? *p : OffsetBar.Position());
  });
  connect(sbOffset, &QScrollBar::valueChanged, this, &TFrmMdl4CH::OffsetScrolled);

  connect(TBCtiSignaly, &QToolButton::clicked, this, [this] { Command([this] { TBCtiSignalyClick(); }); });
  connect(TBUlozitSestavu, &QToolButton::clicked, this,
          [this] { Command([this] { TBUlozitSestavuClick(); }); });
  connect(TBErase, &QToolButton::clicked, this, [this] { Command([this] { TBEraseClick(); }); });
  connect(TBPrint, &QToolButton::clicked, this, [this] { Command([this] { TBPrintClick(); }); });
  connect(TBSetup, &QToolButton::clicked, this, [this] { Command([this] { TBSetupClick(); }); });

  const std::pair<QToolButton*, TVelaGraphMode> modes[] = {
      {TBSelect, gmSelect}, {TBPan, gmPan}, {TBZoom, gmZoom}};
  for (auto [button, mode] : modes)
    connect(button, &QToolButton::clicked, this, [this, mode = mode] { View().SetMode(mode); });
  connect(tbLockedAxis, &QToolButton::toggled, this, [this](bool on) { View().GlobalXAxis().SetLocked(on); });
  for (QToolButton* b :
       {TBHome, TBFastLeft, TBLeft, TBRight, TBFastRight, TBEnd, TBZoomIn, TBZoomOut, TBAll}) {
    connect(b, &QToolButton::clicked, this,
            [this, b] { Command([&] { TBFceClick(b->property("Tag").toInt()); }); });
  }
  connect(TBGrid, &QToolButton::toggled, this, [this](bool on) {
    View().SetShowHGrid(on);
    View().SetShowVGrid(on);
  });
  connect(TBCross, &QToolButton::toggled, this, [this](bool on) { View().SetCross(on); });
  connect(TBPeakDet, &QToolButton::toggled, this, [this] {
    View().InvalidateImage();
    View().Invalidate();
  });
}

void TFrmMdl4CH::ConnectGraph() {
  View().OnXPositionChange = [this](TAxis& axis, double left, double right) {
    recorder_->GraphXPositionChange(axis, left, right);
    ScheduleSpanStats();
  };
  ConnectMeasurements();
  ConnectSpanStats();
}

void TFrmMdl4CH::UseSettings(TFrmSetMdl4& settings) {
  settings_ = &settings;
  settings.UseCalibration(*rawReader_);
}

void TFrmMdl4CH::IdentifyModule() {
  if (RecordButtonDown()) return;
  try {
    PortIdle();
    protocol_->Identify();
  } catch (const std::exception&) {
    // The operator sees the model once a module answers; nothing to say before.
  }
}

// ---------------------------------------------------------------- form events

void TFrmMdl4CH::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  Command([this] { FormShow(); });
}

void TFrmMdl4CH::FormShow() {
  ApplyModelControls();
  cbMax->setCurrentIndex(1);
  recorder_->SetMaxSeconds(120);
  CopyRanges(0);
  PresetScale();
  recorder_->RebuildSeries();
  UpdateEmptyHint();
  Graph->setFocus();  // the arrows move the graph from the start
}

void TFrmMdl4CH::closeEvent(QCloseEvent* event) {
  // A recording nobody saved is not thrown away without a question.
  if (unsaved_ && HasSamples() && ui_.ConfirmDiscard && !ui_.ConfirmDiscard(this)) {
    event->ignore();
    return;
  }
  // The recording ends with the window; its samples go with it.
  Command([this] { recorder_->StopRecording(); });
  MainTimer->stop();
  SaveWindowState();
  TBarAnalyse->hide();
  TBarStats->hide();
  if (spectrum_) spectrum_->close();
  QMainWindow::closeEvent(event);
}

// ---------------------------------------------------------------- recording

void TFrmMdl4CH::sbZaznamClick() {
  Command([this] {
    if (sbZaznam->isChecked()) PortIdle();
    recorder_->RecordButtonClicked();
  });
}

void TFrmMdl4CH::PortIdle() {
  rawReader_->WaitIdle(std::chrono::seconds(5));
}

void TFrmMdl4CH::SetControlsEnabled(bool enabled) {
  for (QWidget* w : std::initializer_list<QWidget*>{TBCtiSignaly, TBUlozitSestavu, TBErase, TBSetup, cbMax,
                                                    cbAcq, cbVstup, cbSample, cbGain})
    w->setEnabled(enabled);
  // Channels too: the stores were made for the slots chosen at Start.
  for (QCheckBox* box : {cbInput1, cbInput2})
    box->setEnabled(enabled);
  const bool four = FourChannelModel();
  for (QCheckBox* box : {cbInput3, cbInput4, cbInput5, cbInput6})
    box->setEnabled(enabled && four);
  cbPolarity->setEnabled(enabled && four && isVisible());
  LblPolarity->setEnabled(four);
}

bool TFrmMdl4CH::FourChannelModel() const {
  return settings_ != nullptr && settings_->Settings().ModelIndex == kModelFourChannel;
}

void TFrmMdl4CH::ApplyModelControls() {
  const bool four = FourChannelModel();
  if (!four) {
    cbPolarity->setCurrentIndex(0);
    for (QCheckBox* box : {cbInput3, cbInput4, cbInput5, cbInput6})
      box->setChecked(false);
  }
  SetControlsEnabled(!RecordButtonDown());
}

// ---------------------------------------------------------------- scales and parameters

TOscRozsah* TFrmMdl4CH::CurrentRange() const {
  const int i = cbVstup->currentIndex();
  if (i < 0 || i >= static_cast<int>(ranges_.size())) return nullptr;
  return ranges_[static_cast<std::size_t>(i)].Entry.get();
}

void TFrmMdl4CH::CopyRanges(int selected) {
  ShowRanges(settings_ != nullptr ? settings_->Settings().Ranges : TRangeList{}, selected);
}

void TFrmMdl4CH::ShowRanges(const TRangeList& ranges, int selected) {
  ranges_ = ranges;
  cbVstup->clear();
  for (const TRangeItem& item : ranges_)
    cbVstup->addItem(QString::fromStdString(item.Text));
  if (selected < 0 || selected >= cbVstup->count()) selected = 0;
  cbVstup->setCurrentIndex(cbVstup->count() > 0 ? selected : -1);
}

void TFrmMdl4CH::PresetScale() {
  recorder_->ReadControls();
  State.OffsetByte = DefaultOffset(cbPolarity->currentIndex(), cbGain->currentIndex(),
                                   cbInput5->isChecked() || cbInput6->isChecked());
  UpdateScale();
}

void TFrmMdl4CH::UpdateScale() {
  recorder_->UpdateScale(CurrentRange());
  const TChannelScale& s = recorder_->ChannelScale()[0];
  LYLow->setText(QString::fromStdString(Format("%.1f  ", {static_cast<double>(s.Low)})));
  LYHigh->setText(QString::fromStdString(Format("  %.1f", {static_cast<double>(s.High)})));
}

void TFrmMdl4CH::RangeChange() {
  PresetScale();
  OffsetBar.Reset(cbGain->currentIndex(), State.OffsetByte);
  {
    const QSignalBlocker block(sbOffset);
    sbOffset->setPageStep(OffsetBar.PageSize());
    sbOffset->setRange(TOffsetBar::kMin, OffsetBar.MaxPosition());
    sbOffset->setValue(OffsetBar.Position());
  }
  sbOffset->setEnabled(OffsetBar.Enabled());
  recorder_->ApplyScaleToSeries();
  if (!RecordButtonDown()) SendParameters();
}

void TFrmMdl4CH::SendParameters() {
  PortIdle();
  if (protocol_->Identify() && protocol_->SendParameters()) Beep();
}

void TFrmMdl4CH::OffsetScrolled(int position) {
  if (RecordButtonDown()) return;
  std::uint8_t offset = State.OffsetByte;
  if (!OffsetBar.Take(position, offset)) return;
  State.OffsetByte = offset;
  UpdateScale();
  recorder_->ApplyScaleToSeries();
}

// ---------------------------------------------------------------- navigation

void TFrmMdl4CH::TBFceClick(int tag) {
  if (GraphData.NumGraphs() == 0) return;
  const int count = View().GlobalXAxis().Locked() ? 1 : View().AxisCount();
  for (int g = 0; g < count; ++g) {
    TAxis* x = View().XAxis(g);
    if (x == nullptr) continue;
    switch (tag) {
      case 0:
        x->ScrollHome();
        break;
      case 1:
        x->ScrollFastLeft();
        break;
      case 2:
        x->ScrollLeft();
        break;
      case 3:
        x->ScrollRight();
        break;
      case 4:
        x->ScrollFastRight();
        break;
      case 5:
        x->ScrollEnd();
        break;
      case 6:
        x->ZoomIn();
        break;
      case 7:
        x->ZoomOut();
        break;
      case 8:
        x->ZoomAll();
        if (TAxis* y = View().YAxis(g)) y->ZoomAll();
        break;
      default:
        break;
    }
  }
}

// ---------------------------------------------------------------- files

void TFrmMdl4CH::TBCtiSignalyClick() {
  const QStringList chosen = ui_.OpenFiles(this);
  if (chosen.isEmpty()) return;
  LoadRecords(chosen);
}

void TFrmMdl4CH::LoadRecords(const QStringList& chosen) {
  std::vector<std::string> paths;
  for (const QString& p : chosen)
    paths.push_back(p.toStdString());
  TLoadedRecords loaded = LoadRecordFiles(paths);
  QCheckBox* boxes[] = {cbInput1, cbInput2, cbInput3, cbInput4};
  QCheckBox* partners[] = {cbInput5, cbInput6, nullptr, nullptr};
  bool any = false;
  bool replaced[4] = {};
  for (int slot = 1; slot <= 4; ++slot) {
    auto& store = loaded.Stores[static_cast<std::size_t>(slot - 1)];
    if (!store) continue;
    recorder_->ReplaceStore(slot, std::move(store));
    replaced[slot - 1] = true;
    boxes[slot - 1]->setChecked(true);
    if (QCheckBox* partner = partners[slot - 1]) partner->setChecked(false);
    any = true;
  }
  // Unsaved stays only while a recorded slot was not replaced by a file.
  bool recordedLeft = false;
  for (int slot = 1; slot <= 4; ++slot)
    recordedLeft = recordedLeft || (recorder_->Store(slot) != nullptr && !replaced[slot - 1]);
  unsaved_ = unsaved_ && recordedLeft;
  if (any) {
    LoadLosses(paths);
    recorder_->ReadControls();
    recorder_->RebuildSeries();
    UpdateEmptyHint();
    View().InvalidateImage();
    View().Invalidate();
    RememberRecord(chosen);
  }
  if (!loaded.Errors.empty()) {
    std::string text;
    for (const std::string& e : loaded.Errors)
      text += (text.empty() ? "" : "\n") + e;
    throw Exception(text);
  }
}

void TFrmMdl4CH::TBUlozitSestavuClick() {
  const TSlotStores& stores = recorder_->Stores();
  if (std::none_of(stores.begin(), stores.end(), [](const auto& s) { return s != nullptr; })) return;
  const QString chosen = ui_.SaveFile(this);
  if (chosen.isEmpty()) return;
  const std::vector<TRecordFileName> names = RecordFileNames(chosen.toStdString(), stores);
  const std::vector<std::string> existing = ExistingRecordFiles(names);
  if (!existing.empty()) {
    QStringList list;
    for (const std::string& e : existing)
      list << QString::fromStdString(e);
    if (!ui_.ConfirmOverwrite(this, list)) return;
  }
  std::vector<TFileContent> extra;
  std::string lossText;
  if (recorder_->LossesKnown()) {
    lossText = LossFileText(recorder_->Losses(), recorder_->StorePointers());
    extra.push_back({LossFileName(chosen.toStdString()), lossText});
  }
  SaveRecording(stores, names, SystemFileOps(), extra);
  unsaved_ = false;
  QStringList saved;
  for (const TRecordFileName& n : names)
    saved << QString::fromStdString(n.Path);
  RememberRecord(saved);
}

void TFrmMdl4CH::UpdateEmptyHint() {
  // An empty graph says how to fill it; the hint is a widget over the view, so it is
  // never printed.
  EmptyHint->setVisible(GraphData.SeriesCount() == 0);
  TBExport->setEnabled(GraphData.SeriesCount() > 0);
}

bool TFrmMdl4CH::HasSamples() const {
  for (const auto& s : recorder_->Stores()) {
    if (s && s->Count() > 0) return true;
  }
  return false;
}

void TFrmMdl4CH::TBEraseClick() {
  if (unsaved_ && HasSamples() && ui_.ConfirmDiscard && !ui_.ConfirmDiscard(this)) return;
  ClearMeasuringPoints();
  GraphCrossOut(View());
  recorder_->EraseStores();
  unsaved_ = false;
  UpdateEmptyHint();
  View().InvalidateImage();
  View().Invalidate();
}

void TFrmMdl4CH::TBPrintClick() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  std::optional<TDateTime> start;
  for (const auto& s : recorder_->Stores()) {
    if (s) {
      start = s->Start();
      break;
    }
  }
  PrintWithDialog(View(), *printer_, this, start, ui_.Print);
}

// ---------------------------------------------------------------- settings

void TFrmMdl4CH::TBSetupClick() {
  if (settings_ == nullptr) return;
  // The dialog edits its own copy: until OK nothing here (nor a running recording's scale)
  // sees its edits, and Storno leaves nothing to undo.
  const std::optional<TSettingsCopy> confirmed = settings_->Execute(cbVstup->currentIndex());
  if (!confirmed) return;
  recorder_->StopRecording();
  PortIdle();
  Com.Close();  // the next identification opens the port under its new name
  const int selected = settings_->SelectedRange();
  ShowRanges(confirmed->Ranges, selected >= 0 ? selected : cbVstup->currentIndex());
  recorder_->ReadControls();
  UpdateScale();
  ApplyModelControls();
}

// ---------------------------------------------------------------- TRecorderHost

TRecordingControls TFrmMdl4CH::RecordingControls() {
  TRecordingControls c;
  c.Inputs = {cbInput1->isChecked(), cbInput2->isChecked(), cbInput3->isChecked(),
              cbInput4->isChecked(), cbInput5->isChecked(), cbInput6->isChecked()};
  c.SampleIndex = cbSample->currentIndex();
  c.AcqIndex = cbAcq->currentIndex();
  c.GainIndex = cbGain->currentIndex();
  c.PolarityIndex = cbPolarity->currentIndex();
  return c;
}

void TFrmMdl4CH::SetCaption(const std::string& text) {
  setWindowTitle(QString::fromStdString(text));
  waitingCaption_ = false;
}

void TFrmMdl4CH::Beep() {
  if (ui_.Beep) ui_.Beep();
}

bool TFrmMdl4CH::RecordButtonDown() {
  return sbZaznam->isChecked();
}

void TFrmMdl4CH::SetRecordButtonDown(bool down) {
  sbZaznam->setChecked(down);
}

void TFrmMdl4CH::RecordingChanged(bool recording) {
  recording_.store(recording);
  if (recording) unsaved_ = true;
  if (recording) TakeRecordingNotes();
  UpdateEmptyHint();
  // A start that never reached the module leaves no waiting behind.
  if (!recording && waitingCaption_) SetCaption("Osciloskop");
  if (recording) {
    MainTimer->start();
  } else {
    MainTimer->stop();
  }
  SetControlsEnabled(!recording);
}

bool TFrmMdl4CH::MainTimerEnabled() {
  return MainTimer->isActive();
}

void TFrmMdl4CH::PostRunTimerNow() {
  QMetaObject::invokeMethod(
      this, [this] { recorder_->RunTimerNow(); }, Qt::QueuedConnection);
}

bool TFrmMdl4CH::AutoZoom() {
  return tbAutoZoom->isChecked();
}

bool TFrmMdl4CH::AutoMove() {
  return tbAutoMove->isChecked();
}

bool TFrmMdl4CH::PeakDisplay() {
  return TBPeakDet->isChecked();
}

void TFrmMdl4CH::NavigateEnd() {
  TBFceClick(5);
}

void TFrmMdl4CH::ShowError(const std::string& message) {
  // Called inside a tick: the box waits until the tick is over.
  QMetaObject::invokeMethod(
      this, [this, message] { ShowApplicationError(Exception(message), this); }, Qt::QueuedConnection);
}

void TFrmMdl4CH::StartRetried(const std::string& error) {
  // The caption is the status line: say why nothing is recorded yet, in the terms of the
  // port check when it sees the cause.
  const std::string port = PortName();
  TPortCheckSys sys;
  const TPortReport report = InspectPort(port, sys);
  std::string why = PortProblem(report);
  if (why.empty()) why = error.empty() ? "modul na portu " + port + " neodpovídá" : error;
  // Another program reading the port is a likely cause, never the reason itself.
  const std::string sharing = PortSharing(report);
  if (!sharing.empty()) why += " " + sharing;
  SetCaption("Čekám na modul: " + why);
  waitingCaption_ = true;
}

// ---------------------------------------------------------------- ProtocolHost

std::string TFrmMdl4CH::PortName() {
  if (!portBack_.empty()) return portBack_;
  return settings_ != nullptr ? settings_->Settings().Port : std::string();
}

void TFrmMdl4CH::ApplyModelType(int modelIndex) {
  if (settings_ != nullptr && settings_->ApplyModelType(modelIndex)) ApplyModelControls();
}

void TFrmMdl4CH::TwoChannelModelFound() {
  cbPolarity->setCurrentIndex(0);
  for (QCheckBox* box : {cbInput3, cbInput4, cbInput5, cbInput6})
    box->setChecked(false);
}

void TFrmMdl4CH::ShowAnalogReadings(const std::string& text) {
  LCrossPos->setText(QString::fromStdString(text));
}

}  // namespace osc
