#include "ui/main_window.h"

#include "acquisition/raw_reader.h"
#include "graph/qt/graph_widget.h"
#include "ui/icons.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QLabel>
#include <QPrinter>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace osc {

namespace {

QToolButton* toolButton(QToolBar* bar, const char* name, const char* icon, const QString& hint,
                        bool checkable = false, bool down = false) {
  auto* b = new QToolButton(bar);
  b->setObjectName(name);
  b->setIcon(OscIcon(icon));
  b->setToolTip(hint);
  b->setAutoRaise(true);
  b->setCheckable(checkable);
  b->setChecked(down);
  bar->addWidget(b);
  return b;
}

QComboBox* comboBox(QToolBar* bar, const char* name, const QStringList& items, int selected) {
  auto* c = new QComboBox(bar);
  c->setObjectName(name);
  c->addItems(items);
  c->setCurrentIndex(selected);
  c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  bar->addWidget(c);
  return c;
}

QLabel* label(QToolBar* bar, const QString& text, const char* name = nullptr) {
  auto* l = new QLabel(text, bar);
  if (name) l->setObjectName(name);
  bar->addWidget(l);
  return l;
}

}  // namespace

TFrmMdl4CH::TFrmMdl4CH(TAcquisitionPath path, QWidget* parent, TMainWindowUi ui)
    : QMainWindow(parent), ui_(std::move(ui)) {
  setObjectName("FrmMdl4CH");
  setWindowTitle("Osciloskop");
  setWindowIcon(OscIcon("app"));
  // The classic 718 x 460 crowds three rows of tool bars; start where they fit.
  resize(1000, 640);

  MainTimer = new QTimer(this);
  MainTimer->setInterval(800);
  TmrSbOffset = new QTimer(this);
  TmrSbOffset->setInterval(250);
  connect(TmrSbOffset, &QTimer::timeout, this, &TFrmMdl4CH::offsetFocusTick);
  UseAdapterFinder("/dev", "/sys");
  PortWatchTimer = new QTimer(this);
  PortWatchTimer->setInterval(500);
  connect(PortWatchTimer, &QTimer::timeout, this, [this] { PortWatchTick(); });
  PortWatchTimer->start();

  buildRecordBar();
  buildChannelBar();
  buildParamBars();  // ParamBar ends the first row, the parameter bar starts the second
  buildFileBars();
  addToolBarBreak();
  buildGraphBar();
  buildCrossBar();
  buildAnalysisBar();
  buildStatsBar();

  Graph = new TVelaGraphWidget(this);
  Graph->setObjectName("Graph");
  setCentralWidget(Graph);
  EmptyHint = new QLabel(
      "Žádný záznam.\nZaškrtněte kanály a stiskněte Start (F12),\nnebo otevřete uložený záznam.", Graph);
  EmptyHint->setObjectName("EmptyHint");
  EmptyHint->setAlignment(Qt::AlignCenter);
  EmptyHint->setAttribute(Qt::WA_TransparentForMouseEvents);
  {
    QPalette pal = EmptyHint->palette();
    pal.setColor(QPalette::WindowText, QColor(235, 235, 235));
    EmptyHint->setPalette(pal);
    QFont f = EmptyHint->font();
    f.setPointSizeF(f.pointSizeF() * 1.3);
    EmptyHint->setFont(f);
  }
  auto* hintLayout = new QVBoxLayout(Graph);
  hintLayout->addWidget(EmptyHint);
  GraphData.SetAutoDestroySeries(true);
  View().SetGraphData(&GraphData);
  View().GlobalXAxis().SetMinMajorTicksDistance(60);
  View().GlobalYAxis().SetMinMajorTicksDistance(30);
  View().GlobalXAxis().SetLocked(tbLockedAxis->isChecked());

  ConfigureMainWindowCom(Com, [this](TSerialCom&) { protocol_->PortActivated(); });
  protocol_ = std::make_unique<DeviceProtocol>(Com, State, *this);
  recorder_ = std::make_unique<TRecorder>(*this, Com, State, *protocol_, GraphData, View(), path);
  rawReader_ = std::make_unique<TRawReader>([this](int slot, bool zero) -> std::int32_t {
    if (recording_.load()) return kNoRawValue;
    return protocol_->QueryRawValue(slot, zero);
  });
  ConnectCommands();
  ConnectGraph();
  ConnectExport();
  SetUpEverydayUse();
}

TFrmMdl4CH::~TFrmMdl4CH() {
  // The recording stops, the timer goes off and the requests are freed before the port
  // and the protocol whose buffers reads may still point to.
  MainTimer->stop();
  EndMeasurements();
  rawReader_.reset();
  recorder_.reset();
  try {
    Com.Close();
  } catch (...) {
    // A vanished device must not stop the program from ending.
  }
}

TVelaGraph& TFrmMdl4CH::View() {
  return Graph->View();
}

QToolBar* TFrmMdl4CH::addBar(const QString& title, const char* objectName) {
  auto* bar = addToolBar(title);
  bar->setObjectName(objectName);
  bar->setIconSize(QSize(20, 20));
  return bar;
}

void TFrmMdl4CH::buildRecordBar() {
  QToolBar* bar = addBar("Záznam", "TBarZaznam");
  sbZaznam = toolButton(bar, "sbZaznam", "record", "Zapnutí / vypnutí záznamu", true);
  sbZaznam->setText("Start");
  sbZaznam->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
}

void TFrmMdl4CH::buildChannelBar() {
  QToolBar* bar = addBar("Kanály", "TBarChannels");
  auto box = [&](const char* name, const QString& text, bool checked) {
    auto* c = new QCheckBox(text, bar);
    c->setObjectName(name);
    c->setChecked(checked);
    bar->addWidget(c);
    connect(c, &QCheckBox::clicked, this, [this, c] { inputClick(c); });
    return c;
  };
  cbInput1 = box("cbInput1", "CH &1", true);
  cbInput5 = box("cbInput5", "(&5)", false);
  cbInput2 = box("cbInput2", "CH &2", true);
  cbInput6 = box("cbInput6", "(&6)", false);
  cbInput3 = box("cbInput3", "CH &3", false);
  cbInput4 = box("cbInput4", "CH &4", false);
  bar->addSeparator();
  cbSample = comboBox(bar, "cbSample", {"11 kHz", "  2 kHz"}, 0);
  label(bar, "Max: ");
  cbMax = comboBox(bar, "cbMax", {" 1 min", " 2 min", " 5 min", "10 min"}, 1);
  connect(cbSample, &QComboBox::currentIndexChanged, this, &TFrmMdl4CH::sampleOrMaxChange);
  connect(cbMax, &QComboBox::currentIndexChanged, this, &TFrmMdl4CH::sampleOrMaxChange);
}

void TFrmMdl4CH::buildParamBars() {
  QToolBar* param = addBar("ParamBar", "ParamBar");
  label(param, "Input: ");
  cbVstup = comboBox(param, "cbVstup", {}, -1);
  cbVstup->setMinimumContentsLength(5);
  label(param, "Acq: ");
  cbAcq = comboBox(param, "cbAcq", {"Sample", "Avg", "Max"}, 1);

  addToolBarBreak();
  QToolBar* bar = addBar("Parametry", "TBarParams");
  LblPolarity = label(bar, "Polarity: ", "LblPolarity");
  cbPolarity = comboBox(bar, "cbPolarity", {"Positive", "Bipolar", "AC"}, 0);
  label(bar, "Gain: ");
  cbGain = comboBox(bar, "cbGain", {"x 1", "x 2", "x 4"}, 0);
  label(bar, "Offset:  ");
  LYLow = label(bar, "0.0  ", "LYLow");
  sbOffset = new QScrollBar(Qt::Horizontal, bar);
  sbOffset->setObjectName("sbOffset");
  sbOffset->setRange(0, 128);
  sbOffset->setPageStep(128);
  sbOffset->setSingleStep(1);
  sbOffset->setEnabled(false);
  sbOffset->setMinimumWidth(120);
  sbOffset->installEventFilter(this);
  bar->addWidget(sbOffset);
  LYHigh = label(bar, "  0.0", "LYHigh");
}

void TFrmMdl4CH::buildFileBars() {
  QToolBar* file = addBar("Soubor", "TBarSoubor");
  TBCtiSignaly = toolButton(file, "TBCtiSignaly", "open", "Otevřít datový soubor");
  TBUlozitSestavu = toolButton(file, "TBUlozitSestavu", "save", "Uložit záznam do souboru");
  TBErase = toolButton(file, "TBErase", "erase", "Smazat paměť záznamu");
  TBPrint = toolButton(file, "TBPrint", "print", "Tisk grafu");
  TBExport = toolButton(file, "TBExport", "export", "Export dat nebo obrázku grafu");

  QToolBar* file2 = addBar("Soubor", "TBarSoubor2");
  TBSetup = toolButton(file2, "TBSetup", "settings", "Nastavení parametrů");
  TBKonec = toolButton(file2, "TBKonec", "exit", "Konec programu");
  connect(TBKonec, &QToolButton::clicked, this, &QWidget::close);
}

void TFrmMdl4CH::buildGraphBar() {
  QToolBar* bar = addBar("Graf", "TBarGraf");
  TBSelect = toolButton(bar, "TBSelect", "mode-select", "Automatický posun grafu při měření", true, true);
  TBPan = toolButton(bar, "TBPan", "mode-pan", "Režim pro ruční posuv grafu", true);
  TBZoom = toolButton(bar, "TBZoom", "mode-zoom", "Režim přiblížení", true);
  for (QToolButton* b : {TBSelect, TBPan, TBZoom}) {
    // Exactly one of the three is down.
    connect(b, &QToolButton::clicked, this, [this, b] {
      for (QToolButton* o : {TBSelect, TBPan, TBZoom})
        o->setChecked(o == b);
    });
  }
  bar->addSeparator();
  tbAutoMove = toolButton(bar, "tbAutoMove", "auto-move", "Automatický posuv během měření", true);
  tbAutoZoom = toolButton(bar, "tbAutoZoom", "auto-zoom", "Zobrazovat celý graf", true, true);
  // At most one of the two is down.
  connect(tbAutoMove, &QToolButton::toggled, this, [this](bool on) {
    if (on) tbAutoZoom->setChecked(false);
  });
  connect(tbAutoZoom, &QToolButton::toggled, this, [this](bool on) {
    if (on) tbAutoMove->setChecked(false);
  });
  tbLockedAxis = toolButton(bar, "tbLockedAxis", "locked-axes", "Společný pohyb os X", true, true);
  bar->addSeparator();
  struct Nav {
    QToolButton** button;
    const char* name;
    const char* icon;
    const char* hint;
  };
  const Nav nav[] = {
      {&TBHome, "TBHome", "nav-home", "Posun grafu úplně vlevo"},
      {&TBFastLeft, "TBFastLeft", "nav-fast-left", "Posun grafu rychle vlevo"},
      {&TBLeft, "TBLeft", "nav-left", "Posun grafu vlevo"},
      {&TBRight, "TBRight", "nav-right", "Posun grafu vpravo"},
      {&TBFastRight, "TBFastRight", "nav-fast-right", "Posun grafu rychle vpravo"},
      {&TBEnd, "TBEnd", "nav-end", "Posun grafu úplně vpravo"},
      {&TBZoomIn, "TBZoomIn", "zoom-in", "Přiblížení"},
      {&TBZoomOut, "TBZoomOut", "zoom-out", "Oddálení"},
      {&TBAll, "TBAll", "zoom-all", "Celý graf"},
  };
  int tag = 0;
  for (const Nav& n : nav) {
    *n.button = toolButton(bar, n.name, n.icon, n.hint);
    (*n.button)->setProperty("Tag", tag++);
  }
}

void TFrmMdl4CH::buildCrossBar() {
  QToolBar* bar = addBar("Kříž", "TBarKriz");
  TBGrid = toolButton(bar, "TBGrid", "grid", "Zobrazení mřížky", true, true);
  TBCross = toolButton(bar, "TBCross", "cross", "Zobrazení kříže", true, true);
  TBPeakDet = toolButton(bar, "TBPeakDet", "peak", "Zobrazit špičky", true);
  LCrossPos = new QLabel(bar);
  LCrossPos->setObjectName("LCrossPos");
  LCrossPos->setAlignment(Qt::AlignCenter);
  LCrossPos->setAutoFillBackground(true);
  QPalette pal = LCrossPos->palette();
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::WindowText, Qt::black);
  LCrossPos->setPalette(pal);
  LCrossPos->setMinimumWidth(LCrossPos->fontMetrics().horizontalAdvance("00:00:00.000    -000.00 mV") + 16);
  LCrossPos->setFrameShape(QFrame::StyledPanel);
  bar->addWidget(LCrossPos);
  LLoss = new QLabel(bar);
  LLoss->setObjectName("LLoss");
  LLoss->setForegroundRole(QPalette::WindowText);  // a tool bar would draw it in ButtonText
  LLoss->setAccessibleName("Ztracené vzorky");
  LLoss->setContentsMargins(8, 0, 8, 0);
  LLoss->setTextInteractionFlags(Qt::TextSelectableByMouse);
  bar->addWidget(LLoss);
  TBShowAnalyse = toolButton(bar, "TBShowAnalyse", "analysis", "Zobrazit panel hodnot bodů", true);
}

void TFrmMdl4CH::buildAnalysisBar() {
  static constexpr const char* kPointLongest = "00:00:00.000    -000.00 mV";
  TBarAnalyse = new QToolBar("Hodnoty bodů", this);
  TBarAnalyse->setObjectName("TBarAnalyse");
  addToolBar(Qt::BottomToolBarArea, TBarAnalyse);
  // Wide enough for the longest text of its kind, so a reading is never cut.
  auto value = [&](const char* caption, const char* name, const QString& hint, const char* longest) {
    label(TBarAnalyse, caption);
    auto* l = new QLabel(TBarAnalyse);
    l->setObjectName(name);
    l->setToolTip(hint);
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance(longest) + 8);
    TBarAnalyse->addWidget(l);
    return l;
  };
  LPoint1 = value("1:  ", "LPoint1", "Hodnoty prvního bodu (Levým tlačítkem myši)", kPointLongest);
  QPalette pal = LPoint1->palette();
  pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
  LPoint1->setPalette(pal);
  LPoint1->setForegroundRole(QPalette::WindowText);  // a tool bar's child would take ButtonText
  LPoint2 = value("2:  ", "LPoint2", "Hodnoty druhého bodu (Pravým tlačítkem myši)", kPointLongest);
  LPointDif = value("Dif:  ", "LPointDif", "Rozdíly mezi oběma body",
                    "U2-U1 = -000.00 mV      T2-T1 = -0000.000 s      f = 0000.0 Hz");
  TBCloseAnalyse = toolButton(TBarAnalyse, "TBCloseAnalyse", "close", "Zavřít panel hodnot bodů");
  TBarAnalyse->hide();
}

void TFrmMdl4CH::inputClick(QCheckBox* box) {
  // CH 1 and (5), CH 2 and (6) exclude each other; unchecking never re-checks the partner.
  if (!box->isChecked()) return;
  if (box == cbInput1) cbInput5->setChecked(false);
  if (box == cbInput5) cbInput1->setChecked(false);
  if (box == cbInput2) cbInput6->setChecked(false);
  if (box == cbInput6) cbInput2->setChecked(false);
}

void TFrmMdl4CH::sampleOrMaxChange() {
  recorder_->SetMaxSeconds(MaxSeconds());
}

int TFrmMdl4CH::MaxSeconds() const {
  static constexpr int kSeconds[] = {60, 120, 300, 600};
  const int i = cbMax->currentIndex();
  return i >= 0 && i < 4 ? kSeconds[i] : 120;
}

bool TFrmMdl4CH::eventFilter(QObject* watched, QEvent* event) {
  if (watched == sbOffset) {
    if (event->type() == QEvent::FocusIn) TmrSbOffset->start();
    if (event->type() == QEvent::FocusOut) TmrSbOffset->stop();
  }
  return QMainWindow::eventFilter(watched, event);
}

void TFrmMdl4CH::offsetFocusTick() {
  // The offset bar must not keep the keyboard once the mouse has left it.
  if (QApplication::focusWidget() != sbOffset) return;
  QPoint p = sbOffset->mapFromGlobal(QCursor::pos());
  if (!sbOffset->rect().contains(p)) sbOffset->clearFocus();
}

}  // namespace osc
