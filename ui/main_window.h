#pragma once
// The main window: tool bars with the recording, channel, parameter, file, graph and
// cross controls, and the graph filling the rest. Control names follow the program's
// conventions (sbZaznam, cbInput1, ...) and are also the widgets' object names.
#include <QMainWindow>

class QCheckBox;
class QComboBox;
class QLabel;
class QScrollBar;
class QTimer;
class QToolBar;
class QToolButton;
class QActionGroup;

namespace osc {

class TFrmMdl4CH : public QMainWindow {
  Q_OBJECT

 public:
  explicit TFrmMdl4CH(QWidget* parent = nullptr);
  ~TFrmMdl4CH() override;

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
  QToolButton* TBShowAnalyse = nullptr;
  // Analysis panel.
  QToolBar* TBarAnalyse = nullptr;
  QLabel* LPoint1 = nullptr;
  QLabel* LPoint2 = nullptr;
  QLabel* LPointDif = nullptr;
  QToolButton* TBCloseAnalyse = nullptr;

  QTimer* MainTimer = nullptr;
  QTimer* TmrSbOffset = nullptr;

  int MaxSeconds = 120;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void buildRecordBar();
  void buildChannelBar();
  void buildParamBars();
  void buildFileBars();
  void buildGraphBar();
  void buildCrossBar();
  void buildAnalysisBar();

  void inputClick(QCheckBox* box);
  void sampleOrMaxChange();
  void offsetFocusTick();

  QToolBar* addBar(const QString& title, const char* objectName);
};

}  // namespace osc
