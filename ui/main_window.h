#pragma once
// The main window: tool bars with the recording, channel, parameter, file, graph and
// cross controls, and the graph filling the rest. Control names follow the program's
// conventions (sbZaznam, cbInput1, ...) and are also the widgets' object names.
//
// The window owns the serial port, the device protocol, the graph data and view and the
// recorder for the whole run; it reads port, model and ranges from the settings dialog
// given to UseSettings, which must be done before the window is first shown.
//
// Errors of the operator's commands reach the operator in the application's error box.
// Nothing that can run the event loop (a message box, a dialog) runs inside a timer
// tick: a recording that ended by an error shows its message after the tick.
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/protocol.h"
#include "acquisition/recorder.h"
#include "acquisition/scaling.h"
#include "acquisition/span_stats.h"
#include "config/settings.h"
#include "graph/graph_data.h"
#include "graph/point.h"
#include "graph/view.h"
#include "seriallink/adapter_watch.h"
#include "seriallink/serial_com.h"
#include "ui/export_dialog.h"
#include "ui/print.h"
#include "ui/window_state.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QScrollBar;
class QTimer;
class QToolBar;
class QToolButton;
class QPrinter;

namespace osc {

class TFrmSetMdl4;
class TSpanStatsTable;
class TSpectrumWindow;
class TRawReader;
class TVelaGraph;
class TVelaGraphWidget;

// What the window asks of the desktop beyond its own widgets; tests replace it.
struct TMainWindowUi {
  // The open dialog (several existing files); empty when cancelled.
  std::function<QStringList(QWidget* parent)> OpenFiles;
  // The save dialog; empty when cancelled. It must not ask about overwriting: the
  // window asks about the files it will really write.
  std::function<QString(QWidget* parent)> SaveFile;
  // True when the operator lets `existing` be replaced.
  std::function<bool(QWidget* parent, const QStringList& existing)> ConfirmOverwrite;
  // Closing with a recording not saved: true lets it go.
  std::function<bool(QWidget* parent)> ConfirmDiscard;
  std::function<void()> Beep;
  TPrintUi Print;
  TExportUi Export;
};
TMainWindowUi DefaultMainWindowUi();
// The window's property holding the folder last used; the default dialogs open there.
inline constexpr const char* kLastFolderProperty = "LastFolder";

class TFrmMdl4CH : public QMainWindow, public TRecorderHost, public ProtocolHost {
  Q_OBJECT

 public:
  // The platform's path is the overlapped one; tests choose.
  explicit TFrmMdl4CH(TAcquisitionPath path = TAcquisitionPath::Overlapped, QWidget* parent = nullptr,
                      TMainWindowUi ui = DefaultMainWindowUi());
  ~TFrmMdl4CH() override;

  // The settings holder: the port, the model and the range list come from it. Also
  // connects its calibration buttons to the module through this window's port.
  void UseSettings(TFrmSetMdl4& settings);
  // Identifies the module once so that the model's controls show at once (used when the
  // port was named on the command line); a failure stays silent.
  void IdentifyModule();

  TSerialCom Com;
  ProtocolState State;
  TVelaGraphData GraphData;
  TVelaGraphWidget* Graph = nullptr;
  QLabel* EmptyHint = nullptr;  // over the graph while it shows nothing
  TVelaGraph& View();
  DeviceProtocol& Protocol() { return *protocol_; }
  TRecorder& Recorder() { return *recorder_; }
  TOffsetBar OffsetBar;

  // Recording.
  QToolButton* sbZaznam = nullptr;
  // Channels, rate and length.
  QCheckBox* cbInput1 = nullptr;
  QCheckBox* cbInput2 = nullptr;
  QCheckBox* cbInput3 = nullptr;
  QCheckBox* cbInput4 = nullptr;
  QCheckBox* cbInput5 = nullptr;
  QCheckBox* cbInput6 = nullptr;
  QComboBox* cbSample = nullptr;
  QComboBox* cbMax = nullptr;
  // Input range and acquisition mode.
  QComboBox* cbVstup = nullptr;
  QComboBox* cbAcq = nullptr;
  // Polarity, gain, offset.
  QLabel* LblPolarity = nullptr;
  QComboBox* cbPolarity = nullptr;
  QComboBox* cbGain = nullptr;
  QLabel* LYLow = nullptr;
  QScrollBar* sbOffset = nullptr;
  QLabel* LYHigh = nullptr;
  // Files.
  QToolButton* TBCtiSignaly = nullptr;
  QToolButton* TBUlozitSestavu = nullptr;
  QToolButton* TBErase = nullptr;
  QToolButton* TBPrint = nullptr;
  QToolButton* TBExport = nullptr;
  QToolButton* TBSetup = nullptr;
  QToolButton* TBKonec = nullptr;
  // Graph.
  QToolButton* TBSelect = nullptr;
  QToolButton* TBPan = nullptr;
  QToolButton* TBZoom = nullptr;
  QToolButton* tbAutoMove = nullptr;
  QToolButton* tbAutoZoom = nullptr;
  QToolButton* tbLockedAxis = nullptr;
  QToolButton* TBHome = nullptr;
  QToolButton* TBFastLeft = nullptr;
  QToolButton* TBLeft = nullptr;
  QToolButton* TBRight = nullptr;
  QToolButton* TBFastRight = nullptr;
  QToolButton* TBEnd = nullptr;
  QToolButton* TBZoomIn = nullptr;
  QToolButton* TBZoomOut = nullptr;
  QToolButton* TBAll = nullptr;
  // Cross.
  QToolButton* TBGrid = nullptr;
  QToolButton* TBCross = nullptr;
  QToolButton* TBPeakDet = nullptr;
  QLabel* LCrossPos = nullptr;
  QLabel* LLoss = nullptr;  // samples lost by the recording shown
  QToolButton* TBShowAnalyse = nullptr;
  // Analysis panel.
  QToolBar* TBarAnalyse = nullptr;
  QLabel* LPoint1 = nullptr;
  QLabel* LPoint2 = nullptr;
  QLabel* LPointDif = nullptr;
  QToolButton* TBCloseAnalyse = nullptr;
  // Statistics of the measured span, under the panel's readings, shown with it.
  QToolBar* TBarStats = nullptr;
  TSpanStatsTable* StatsTable = nullptr;
  QToolButton* TBSpectrum = nullptr;
  // Throttles the statistics while the view moves and at the recording's tick.
  QTimer* StatsTimer = nullptr;

  QTimer* MainTimer = nullptr;
  QTimer* TmrSbOffset = nullptr;
  QTimer* PortWatchTimer = nullptr;  // the module's adapter pulled and plugged back

  // --- Commands and handlers ----------------------------------------------------------
  void sbZaznamClick();
  void TBFceClick(int tag);
  void TBCtiSignalyClick();
  void TBUlozitSestavuClick();
  void TBEraseClick();
  void TBPrintClick();
  // Export (main_window_export.cpp): data as CSV, the graph as PNG or SVG; Ctrl+C copies
  // the measuring points' readings, Ctrl+Shift+C the graph as an image.
  void TBExportClick();
  void CopyReadings();
  void CopyGraphImage();
  void TBSetupClick();
  // cbVstup, cbPolarity, cbGain: offset preset, scale, offset bar, parameters to the module.
  void RangeChange();
  void ApplyModelControls();
  void UpdateScale();
  // ReadControls, the offset preset and UpdateScale: what show and a range change begin with.
  void PresetScale();
  // The range entry of cbVstup's selection (nullptr when there is none).
  TOscRozsah* CurrentRange() const;
  int MaxSeconds() const;
  // The value the offset bar is moved to by the operator.
  void OffsetScrolled(int position);

  // --- TRecorderHost ---------------------------------------------------------------------
  TRecordingControls RecordingControls() override;
  void SetCaption(const std::string& text) override;
  void Beep() override;
  bool RecordButtonDown() override;
  void SetRecordButtonDown(bool down) override;
  void RecordingChanged(bool recording) override;
  bool MainTimerEnabled() override;
  void PostRunTimerNow() override;
  bool AutoZoom() override;
  bool AutoMove() override;
  bool PeakDisplay() override;
  void NavigateEnd() override;
  void ClearMeasuringPoints() override;
  void ShowError(const std::string& message) override;
  const TOscRozsah* SelectedRange() override { return CurrentRange(); }
  void StartRetried(const std::string& error) override;
  void LossesChanged() override;
  // Where the adapters are looked for (tests give a fake /dev and /sys).
  void UseAdapterFinder(const std::string& devRoot, const std::string& sysRoot);
  // PortWatchTimer's tick: the adapter gone, or back.
  void PortWatchTick();

  // --- ProtocolHost ----------------------------------------------------------------------
  std::string PortName() override;
  void ApplyModelType(int modelIndex) override;
  void TwoChannelModelFound() override;
  void ShowAnalogReadings(const std::string& text) override;
  bool CancelIoAvailable() override { return true; }

  // --- Cursor measurements (main_window_points.cpp) --------------------------------------
  // One measuring point: X = 0 means not set. The marker is the window's, not the view's.
  struct TMeasuringPoint {
    double X = 0;
    double Y = 0;
    std::uint32_t GraphNumber = 0;
    int Slot = 0;  // 0..3 for slots 1..4
    std::unique_ptr<TVelaGraphPoint> Marker;
  };
  // The cross as last reported by the graph.
  double CrossX = 0;
  double CrossY = 0;
  std::uint32_t CrossGraphNumber = 0;
  int CrossSlot = 0;
  bool CrossActive = false;
  // 0: the first point (left button), 1: the second (right button).
  std::array<TMeasuringPoint, 2> MeasuringPoints;

  // The reading of a position with the unit of the slot's store ("V" without one).
  std::string ValueText(double x, double y, int slot) const;
  void GraphCrossMove(TVelaGraph& sender, TDoublePoint& pos, TVelaSeries* series);
  void GraphCrossOut(TVelaGraph& sender);
  void GraphMouseDown(TVelaGraph& sender, TMouseButton button, TShiftState shift, int x, int y);
  // Places the set points and fills the panel while TBShowAnalyse is down; hides the
  // panel and clears both points while it is up.
  void UpdateAnalysis();
  void ClearPoint(int k);
  void PlacePoint(int k, TColor color);
  // Double click on LPoint1 (Tag 0) or LPoint2 (Tag 1).
  void PointLabelDblClick(int tag);
  void TBShowAnalyseClick();
  void TBCloseAnalyseClick();

  // --- Span statistics and spectrum (main_window_stats.cpp) ------------------------------
  // The samples of a slot's record that the measurements take: between the two points
  // when both are set, else the visible part of the slot's graph. False without a store.
  bool MeasuredSpan(int slot, TSampleSpan& span);
  // Fills the table now (the panel shown) and refreshes an open spectrum.
  void UpdateSpanStats();
  // The same within StatsTimer's interval, at most once per interval.
  void ScheduleSpanStats();
  // Opens (or brings up) the spectrum window over the same span.
  void TBSpectrumClick();
  TSpectrumWindow* Spectrum() const;
  // --- Everyday use (main_window_menus.cpp) ----------------------------------------------
  // Opens the files of a record as the open command does (also for a drop and the
  // command line); an error goes to the error box.
  void OpenRecordFiles(const QStringList& files);
  const std::vector<TRecordFiles>& RecentRecords() const { return state_.Recent; }
  QMenu* RecentMenu = nullptr;  // the open button's menu
  // The recent list as it is now, written at once (the window state file).
  void SaveWindowState();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs an operator's command; its error goes to the application's error box.
  template <class F>
  void Command(F&& f);
  void FormShow();
  void ConnectCommands();
  void ConnectGraph();
  void ConnectMeasurements();
  void ConnectExport();
  // The polarity, gain, range and model of a recording, kept from its start for the
  // exports of its records.
  void TakeRecordingNotes();
  // Closes the panel, frees the markers and unhooks the graph, whose widget outlives us.
  void EndMeasurements();
  void SetControlsEnabled(bool enabled);
  bool FourChannelModel() const;
  bool HasSamples() const;
  void UpdateEmptyHint();
  // Waits for a calibration query still running on the port.
  void PortIdle();
  void CopyRanges(int selected);
  // The range selector shows `ranges` with `selected` chosen (the first when out of range).
  void ShowRanges(const TRangeList& ranges, int selected);
  void SendParameters();
  // The menu bar, the shortcuts, the graph's keys, drops and the remembered state.
  void SetUpEverydayUse();
  void GraphKeyDown(std::uint16_t& key, TShiftState shift);
  void PlacePointAtCross(int k);
  void StepLastPoint(int direction);
  void LoadRecords(const QStringList& files);
  void RememberRecord(const QStringList& files);
  void FillRecentMenu();
  void RestoreWindowState();
  void ShowAbout();

  void buildRecordBar();
  void buildChannelBar();
  void buildParamBars();
  void buildFileBars();
  void buildGraphBar();
  void buildCrossBar();
  void buildAnalysisBar();
  void buildStatsBar();
  void ConnectSpanStats();
  std::vector<std::pair<int, QString>> SpectrumChannels() const;

  void inputClick(QCheckBox* box);
  void sampleOrMaxChange();
  void offsetFocusTick();

  QToolBar* addBar(const QString& title, const char* objectName);

  TMainWindowUi ui_;
  QPointer<TFrmSetMdl4> settings_;  // forgets a dialog that goes first
  QPointer<TSpectrumWindow> spectrum_;
  TRangeList ranges_;  // cbVstup's items
  std::unique_ptr<DeviceProtocol> protocol_;
  std::unique_ptr<TRecorder> recorder_;
  std::unique_ptr<TRawReader> rawReader_;
  std::unique_ptr<QPrinter> printer_;
  bool shown_ = false;
  bool waitingCaption_ = false;  // the caption says why a start waits
  // The loss label and the shaded stretches from the recorder's ledger.
  void ShowLosses();
  // Reads the loss file beside the records `paths` were loaded from.
  void LoadLosses(const std::vector<std::string>& paths);
  std::string lossNote_;
  // The adapter of the port: noticed when it goes, found again when it comes back.
  std::unique_ptr<TAdapterFinder> adapterFinder_;
  std::unique_ptr<TReattachWatch> reattach_;
  std::string portBack_;          // where the adapter came back, when not at the settings' name
  std::string settingsPortSeen_;  // why the losses of the records shown are not known
  bool unsaved_ = false;          // a recording was made since the last save, load or erase
  std::vector<std::string> recordingNotes_;
  TWindowState state_;
  std::string stateFile_;
  int lastPoint_ = -1;  // the measuring point placed last, moved by Shift+arrows
  // Calibration queries run on the reader's thread: they keep off a recording's port.
  std::atomic<bool> recording_{false};
};

}  // namespace osc
