#include "ui/settings_dialog.h"

#include "platform/comm/comm.h"
#include "seriallink/adapter_watch.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/qt/lx_list_box.h"
#include "controls/qt/spin_box.h"
#include "platform/locale/locale.h"
#include "ui/app_error.h"
#include "ui/calib_dialog.h"
#include "ui/icons.h"

namespace osc {
namespace {

constexpr double kPercentK = 0.01;
constexpr double kUnitRangeK = 0.001;

// Raises Updating for its lifetime, also when filling fails half way.
class UpdatingScope {
 public:
  explicit UpdatingScope(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
  ~UpdatingScope() { flag_ = before_; }
  UpdatingScope(const UpdatingScope&) = delete;
  UpdatingScope& operator=(const UpdatingScope&) = delete;

 private:
  bool& flag_;
  bool before_;
};

int SelectedRow(const QListWidget* list) {
  const QList<QListWidgetItem*> items = list->selectedItems();
  return items.isEmpty() ? -1 : list->row(items.first());
}

// Selects row `row`, or nothing when it is out of range (the current row goes too, so
// keyboard focus does not suggest a selection that is not there).
void SelectRow(QListWidget* list, int row) {
  if (row < 0 || row >= list->count()) {
    list->clearSelection();
    list->setCurrentRow(-1);
  } else {
    list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
  }
}

// A spin box with its button beside it, in a holder of their joint size, so a layout
// leaves room for the button (a sibling of the box).
qt::TSpinBox* SpinBox(const char* name, int width, QWidget*& holder) {
  holder = new QWidget;
  auto* box = new qt::TSpinBox(holder);
  box->setObjectName(name);
  box->resize(width, box->sizeHint().height());
  holder->setFixedSize(width + box->height() * 2 / 3, box->height());
  return box;
}

// -20.00 to 20.00 %, held in hundredths.
void MakePercentBox(qt::TSpinBox* box) {
  box->SetMinValue(-2000);
  box->SetMaxValue(2000);
  box->SetMode(TSpinBoxMode::fsFloat);
  box->SetDigits(2);
  box->SetConst_K(kPercentK);
}

QLabel* Label(const char* name, const QString& text, QWidget* buddy = nullptr) {
  auto* label = new QLabel(text);
  label->setObjectName(name);
  if (buddy != nullptr) label->setBuddy(buddy);
  return label;
}

QPushButton* CalibButton(const char* name) {
  auto* button = new QPushButton("Kalibruj ...");
  button->setObjectName(name);
  return button;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets) {
  auto* row = new QHBoxLayout;
  for (QWidget* w : widgets)
    row->addWidget(w);
  row->addStretch();
  return row;
}

}  // namespace

TFrmSetMdl4::TFrmSetMdl4(QWidget* parent, TMessage message) : QDialog(parent) {
  setObjectName("FrmSetMdl4");
  setWindowTitle("Volby");
  SetMessage(std::move(message));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(5, 5, 5, 5);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  Pages = new QTabWidget;
  Pages->setObjectName("Pages");
  layout->addWidget(Pages);
  CreateSettingsPage();
  CreateRangesPage();
  CreateChannels56Page();
  CreateButtons();
  ConnectHandlers();

  port_inspector_ = [](const std::string& port, bool full) {
    TPortCheckSys sys;
    return full ? InspectPort(port, sys) : DescribePort(port, sys);
  };
  PortEnum.SetComName("COM1");
  PortEnum.Loaded();
  {
    const QSignalBlocker block(cbPort);
    for (const std::string& port : PortEnum.PortList())
      cbPort->addItem(QString::fromStdString(port));
    // The box holds the stored text, which need not be one of the items.
    cbPort->setCurrentIndex(-1);
  }
  ShowPortHints();
  settings_.LoadSettings();
  if (settings_.ModelIndex != 0 && settings_.ModelIndex != 1) settings_.ModelIndex = 0;
  edit_ = CopyOf(settings_);
  ShowSettings();
  if (!settings_.LoadNotice.empty()) message_(QString::fromStdString(settings_.LoadNotice));
}

TFrmSetMdl4::~TFrmSetMdl4() = default;

void TFrmSetMdl4::SetMessage(TMessage message) {
  if (message) {
    message_ = std::move(message);
    return;
  }
  message_ = [this](const QString& text) { QMessageBox::warning(this, "Osciloskop", text); };
}

void TFrmSetMdl4::SetPortInspector(TPortInspector inspector) {
  port_inspector_ = std::move(inspector);
  ShowPortHints();
  if (isVisible()) CheckPort();
}

void TFrmSetMdl4::ShowPortHints() {
  // Changing the current item's data would put its text into the edit: keep the text.
  const QSignalBlocker block(cbPort);
  const QString text = cbPort->currentText();
  for (int i = 0; i < cbPort->count(); ++i) {
    const TPortReport r = port_inspector_(cbPort->itemText(i).toStdString(), false);
    cbPort->setItemData(i, QString::fromStdString(r.Product), Qt::ToolTipRole);
  }
  cbPort->setEditText(text);
}

void TFrmSetMdl4::CheckPort() {
  port_check_timer_->stop();
  const TPortReport r = port_inspector_(edit_.Port, true);
  LblPortInfo->setText(QString::fromStdString(PortSummary(r)));
  LblPortProblem->setText(QString::fromStdString(PortProblem(r)));
}

void TFrmSetMdl4::CreateSettingsPage() {
  tsNastaveni = new QWidget;
  tsNastaveni->setObjectName("tsNastaveni");
  cbPort = new QComboBox;
  cbPort->setObjectName("cbPort");
  cbPort->setEditable(true);
  cbPort->setInsertPolicy(QComboBox::NoInsert);
  cbPort->setMinimumContentsLength(24);
  cbPort->setEditText("COM1");
  Label1 = Label("Label1", "&Com port", cbPort);
  LblPortInfo = Label("LblPortInfo", "");
  LblPortInfo->setWordWrap(true);
  LblPortInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
  LblPortProblem = Label("LblPortProblem", "");
  LblPortProblem->setWordWrap(true);
  LblPortProblem->setTextInteractionFlags(Qt::TextSelectableByMouse);  // the command can be copied
  QPalette problem = LblPortProblem->palette();
  problem.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x00));
  LblPortProblem->setPalette(problem);
  port_check_timer_ = new QTimer(this);
  port_check_timer_->setSingleShot(true);
  port_check_timer_->setInterval(400);
  connect(port_check_timer_, &QTimer::timeout, this, [this] { CheckPort(); });

  RgTypOsc = new QGroupBox("Typ osciloskopu");
  RgTypOsc->setObjectName("RgTypOsc");
  RgTypOscItems = new QButtonGroup(RgTypOsc);
  auto* models = new QVBoxLayout(RgTypOsc);
  int id = 0;
  for (const char* text : {"2-kanál  10 bitů", "4-kanál  10 bitů"}) {
    auto* item = new QRadioButton(QString::fromUtf8(text));
    RgTypOscItems->addButton(item, id++);
    models->addWidget(item);
  }
  RgTypOscItems->button(0)->setChecked(true);

  auto* page = new QVBoxLayout(tsNastaveni);
  page->addWidget(Label1);
  page->addWidget(cbPort);
  page->addWidget(LblPortInfo);
  page->addWidget(LblPortProblem);
  page->addSpacing(8);
  page->addWidget(RgTypOsc);
  page->addStretch();
  Pages->addTab(tsNastaveni, "Nastavení");
}

void TFrmSetMdl4::CreateRangesPage() {
  tsRozsahy = new QWidget;
  tsRozsahy->setObjectName("tsRozsahy");

  lbRanges = new qt::TLxListBox;
  lbRanges->setObjectName("lbRanges");
  lbRanges->setFixedSize(90, 190);
  Label2 = Label("Label2", "&Vstupní rozsahy", lbRanges);
  sbNew = new QToolButton;
  sbNew->setObjectName("sbNew");
  sbNew->setIcon(OscIcon("range-add"));
  sbNew->setToolTip("Přidat");
  sbNew->setAutoRaise(true);
  sbDelete = new QToolButton;
  sbDelete->setObjectName("sbDelete");
  sbDelete->setIcon(OscIcon("range-delete"));
  sbDelete->setToolTip("Smazat");
  sbDelete->setAutoRaise(true);
  auto* left = new QVBoxLayout;
  left->addWidget(Label2);
  left->addWidget(lbRanges);
  left->addLayout(Row({sbNew, sbDelete}));
  left->addStretch();

  lbChannel = new qt::TLxListBox;
  lbChannel->setObjectName("lbChannel");
  lbChannel->setFixedSize(60, 4 * lbChannel->ItemHeight() + 2 * lbChannel->frameWidth() + 4);
  for (int n = 1; n <= 4; ++n)
    lbChannel->addItem(QString::fromStdString(Format("CH %d", {n})));
  Label6 = Label("Label6", "&Kanál", lbChannel);
  auto* middle = new QVBoxLayout;
  middle->addWidget(Label6);
  middle->addWidget(lbChannel);
  middle->addStretch();

  QWidget* holder = nullptr;
  sbRozsah = SpinBox("sbRozsah", 50, holder);
  sbRozsah->SetMinValue(5);
  sbRozsah->SetMaxValue(60);
  sbRozsah->SetValue(5);
  Label3 = Label("Label3", "&Rozsah [V]", sbRozsah);
  auto* right = new QVBoxLayout;
  right->addWidget(Label3);
  right->addLayout(Row({holder}));

  auto calibGroup = [&](QGroupBox*& group, const char* groupName, const char* title, QLabel*& label,
                        const char* labelName, const char* labelText, qt::TSpinBox*& box, const char* boxName,
                        QPushButton*& button, const char* buttonName) {
    group = new QGroupBox(QString::fromUtf8(title));
    group->setObjectName(groupName);
    QWidget* h = nullptr;
    box = SpinBox(boxName, 60, h);
    MakePercentBox(box);
    label = Label(labelName, QString::fromUtf8(labelText));
    button = CalibButton(buttonName);
    auto* v = new QVBoxLayout(group);
    v->addWidget(label);
    v->addLayout(Row({h, button}));
    right->addWidget(group);
  };
  calibGroup(GbDC, "GbDC", "Režim DC", Label4, "Label4", "Kalibrace citlivosti [%]", sbCalibGain,
             "sbCalibGain", bbCalibGain, "bbCalibGain");
  calibGroup(GbBipolar, "GbBipolar", "Režim Bipolar", Label5, "Label5", "Kalibrace nuly [%]", sbCalibBip,
             "sbCalibBip", bbCalibBip, "bbCalibBip");
  calibGroup(GbAC, "GbAC", "Režim AC", Label7, "Label7", "Kalibrace nuly [%]", sbCalibAC, "sbCalibAC",
             bbCalibAC, "bbCalibAC");
  right->addStretch();

  auto* page = new QHBoxLayout(tsRozsahy);
  page->addLayout(left);
  page->addLayout(middle);
  page->addSpacing(6);
  page->addLayout(right);
  Pages->addTab(tsRozsahy, "Rozsahy");
}

void TFrmSetMdl4::CreateChannels56Page() {
  TsZesil = new QWidget;
  TsZesil->setObjectName("TsZesil");
  LbRanges56 = new qt::TLxListBox;
  LbRanges56->setObjectName("LbRanges56");
  LbRanges56->setFixedSize(90, 190);
  Label10 = Label("Label10", "&Vstupní rozsahy", LbRanges56);
  auto* left = new QVBoxLayout;
  left->addWidget(Label10);
  left->addWidget(LbRanges56);
  left->addStretch();

  auto channelGroup = [](QGroupBox*& group, const char* groupName, const char* title, QLabel*& rangeLabel,
                         const char* rangeLabelName, QLabel*& unitLabel, const char* unitLabelName,
                         QLabel*& offsetLabel, const char* offsetLabelName, qt::TSpinBox*& range,
                         const char* rangeName, QLineEdit*& unit, const char* unitName, qt::TSpinBox*& offset,
                         const char* offsetName, QPushButton*& calib, const char* calibName) {
    group = new QGroupBox(QString::fromUtf8(title));
    group->setObjectName(groupName);
    QWidget* rangeHolder = nullptr;
    range = SpinBox(rangeName, 80, rangeHolder);
    range->SetMinValue(1);
    range->SetMaxValue(10000000);
    range->SetMode(TSpinBoxMode::fsFloat);
    range->SetDigits(2);
    range->SetConst_K(kUnitRangeK);
    range->SetValue(10);
    unit = new QLineEdit("V");
    unit->setObjectName(unitName);
    unit->setMaxLength(3);
    unit->setFixedWidth(unit->fontMetrics().horizontalAdvance("WWWW") + 10);
    QWidget* offsetHolder = nullptr;
    offset = SpinBox(offsetName, 60, offsetHolder);
    MakePercentBox(offset);
    calib = CalibButton(calibName);
    calib->hide();
    rangeLabel = Label(rangeLabelName, "&Rozsah", range);
    unitLabel = Label(unitLabelName, "Jedn.", unit);
    offsetLabel = Label(offsetLabelName, "Kalibrace nuly [%]", offset);

    auto* grid = new QGridLayout(group);
    grid->addWidget(rangeLabel, 0, 0);
    grid->addWidget(rangeHolder, 0, 1);
    grid->addWidget(unitLabel, 0, 2);
    grid->addWidget(unit, 0, 3);
    grid->addWidget(offsetLabel, 1, 0);
    grid->addWidget(offsetHolder, 1, 1);
    grid->addWidget(calib, 1, 2, 1, 2);
    grid->setColumnStretch(4, 1);
  };
  channelGroup(GbCh5, "GbCh5", "Kanál 5", Label8, "Label8", Label13, "Label13", Label9, "Label9", SbRange5,
               "SbRange5", EdUnit5, "EdUnit5", SbOffset5, "SbOffset5", bbCalibOff5, "bbCalibOff5");
  channelGroup(GroupBox2, "GroupBox2", "Kanál 6", Label11, "Label11", Label12, "Label12", Label14, "Label14",
               SbRange6, "SbRange6", EdUnit6, "EdUnit6", SbOffset6, "SbOffset6", bbCalibOff6, "bbCalibOff6");
  auto* right = new QVBoxLayout;
  right->addWidget(GbCh5);
  right->addWidget(GroupBox2);
  right->addStretch();

  auto* page = new QHBoxLayout(TsZesil);
  page->addLayout(left);
  page->addSpacing(6);
  page->addLayout(right);
  Pages->addTab(TsZesil, "Kanály 5, 6");
}

void TFrmSetMdl4::CreateButtons() {
  bbOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK");
  bbOk->setObjectName("bbOk");
  bbOk->setDefault(true);
  bbCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Storno");
  bbCancel->setObjectName("bbCancel");
  auto* panel = new QHBoxLayout;
  panel->addStretch();
  panel->addWidget(bbOk);
  panel->addWidget(bbCancel);
  static_cast<QVBoxLayout*>(layout())->addLayout(panel);
}

void TFrmSetMdl4::ConnectHandlers() {
  connect(cbPort, &QComboBox::editTextChanged, this, [this](const QString& text) {
    edit_.Port = text.toStdString();
    if (isVisible()) port_check_timer_->start();
  });
  connect(RgTypOscItems, &QButtonGroup::idClicked, this, [this](int id) { SetModelIndex(id); });
  connect(Pages, &QTabWidget::currentChanged, this, [this] { PagesChange(); });
  connect(lbRanges, &QListWidget::itemSelectionChanged, this, [this] { lbRangesClick(); });
  connect(lbChannel, &QListWidget::itemSelectionChanged, this, [this] { lbRangesClick(); });
  connect(LbRanges56, &QListWidget::itemSelectionChanged, this, [this] { LbRanges56Click(); });
  for (qt::TSpinBox* box : {sbRozsah, sbCalibGain, sbCalibBip, sbCalibAC})
    box->OnChange = [this](osc::TCustomSpinBox&) { sbRozsahChange(); };
  for (qt::TSpinBox* box : {SbRange5, SbOffset5})
    box->OnChange = [this](osc::TCustomSpinBox&) { SbRanges5Change(); };
  for (qt::TSpinBox* box : {SbRange6, SbOffset6})
    box->OnChange = [this](osc::TCustomSpinBox&) { SbRanges6Change(); };
  connect(EdUnit5, &QLineEdit::textChanged, this, [this] { SbRanges5Change(); });
  connect(EdUnit6, &QLineEdit::textChanged, this, [this] { SbRanges6Change(); });
  connect(sbNew, &QToolButton::clicked, this, [this] { sbNewClick(); });
  connect(sbDelete, &QToolButton::clicked, this, [this] { sbDeleteClick(); });
  connect(bbCalibGain, &QPushButton::clicked, this, [this] { bbCalibGainClick(); });
  connect(bbCalibBip, &QPushButton::clicked, this, [this] { bbCalibBipClick(); });
  connect(bbCalibAC, &QPushButton::clicked, this, [this] { bbCalibACClick(); });
  connect(bbOk, &QPushButton::clicked, this, [this] { bbOkClick(); });
  connect(bbCancel, &QPushButton::clicked, this, &QDialog::reject);
}

// --- The settings shown ------------------------------------------------------------

void TFrmSetMdl4::SetPort(const std::string& port) {
  settings_.Port = port;
  edit_.Port = port;
  const QSignalBlocker block(cbPort);
  cbPort->setEditText(QString::fromStdString(port));
}

void TFrmSetMdl4::ShowSettings() {
  {
    const QSignalBlocker block(cbPort);
    cbPort->setEditText(QString::fromStdString(edit_.Port));
  }
  RgTypOscItems->button(edit_.ModelIndex)->setChecked(true);
  RgTypOscClick();
  ShowRangeList(SelectedRange());
}

void TFrmSetMdl4::ShowRangeList(int selected) {
  {
    const QSignalBlocker block(lbRanges);
    lbRanges->clear();
    for (const TRangeItem& item : edit_.Ranges)
      lbRanges->addItem(QString::fromStdString(item.Text));
    SelectRow(lbRanges, selected);
  }
  lbRangesClick();
}

int TFrmSetMdl4::ModelIndex() const {
  return RgTypOscItems->checkedId();
}

void TFrmSetMdl4::SetModelIndex(int index) {
  edit_.ModelIndex = index;
  RgTypOscItems->button(index)->setChecked(true);
  RgTypOscClick();
}

int TFrmSetMdl4::SelectedRange() const {
  return SelectedRow(lbRanges);
}

void TFrmSetMdl4::SetSelectedRange(int index) {
  SelectRow(lbRanges, index);
}

TOscRozsah* TFrmSetMdl4::SelectedEntry() const {
  const int row = SelectedRange();
  return row < 0 ? nullptr : edit_.Ranges[static_cast<std::size_t>(row)].Entry.get();
}

int TFrmSetMdl4::SelectedChannel() const {
  return SelectedRow(lbChannel);
}

std::optional<TSettingsCopy> TFrmSetMdl4::Execute(int currentRange) {
  SetSelectedRange(currentRange);
  if (exec() != QDialog::Accepted) return std::nullopt;
  return edit_;
}

bool TFrmSetMdl4::ApplyModelType(int index) {
  if ((index != 0 && index != 1) || index == ModelIndex()) return false;
  SetModelIndex(index);
  // The module has spoken: the settings take the model at once, whatever the copy's fate.
  settings_.ModelIndex = index;
  UpdateModelControls();
  settings_.SaveModelType();
  return true;
}

// --- Handlers ------------------------------------------------------------------------

void TFrmSetMdl4::UpdateModelControls() {
  const bool is4 = ModelIndex() == 1;
  const int n = ChannelsOfModel(ModelIndex());
  const int channel = SelectedChannel();
  {
    const QSignalBlocker block(lbChannel);
    while (lbChannel->count() > n)
      delete lbChannel->takeItem(lbChannel->count() - 1);
    while (lbChannel->count() < n)
      lbChannel->addItem(QString::fromStdString(Format("CH %d", {lbChannel->count() + 1})));
  }
  ShowCalibEnables();
  GbBipolar->setEnabled(is4);
  GbAC->setEnabled(is4);
  Pages->setTabVisible(Pages->indexOf(TsZesil), is4);
  // The boxes never show a channel other than the selected one, nor write into it.
  const int shown = ChannelAfterModelSwitch(channel, ModelIndex());
  if (shown != channel || SelectedChannel() != shown) {
    {
      const QSignalBlocker block(lbChannel);
      SelectRow(lbChannel, shown);
    }
    lbRangesClick();
  }
}

void TFrmSetMdl4::ShowCalibEnables() {
  const TCalibEnables e = CalibEnables(ModelIndex(), SelectedRange() >= 0);
  bbCalibGain->setEnabled(e.Gain);
  bbCalibBip->setEnabled(e.Bipolar);
  bbCalibAC->setEnabled(e.AC);
}

void TFrmSetMdl4::RgTypOscClick() {
  edit_.ModelIndex = ModelIndex();
  Pages->setTabVisible(Pages->indexOf(TsZesil), ModelIndex() == 1);
}

void TFrmSetMdl4::PagesChange() {
  UpdateModelControls();
  if (Pages->currentWidget() != TsZesil) return;
  ranges56_ = edit_.Ranges;
  {
    const QSignalBlocker block(LbRanges56);
    LbRanges56->clear();
    for (const TRangeItem& item : ranges56_)
      LbRanges56->addItem(QString::fromStdString(item.Text));
    SelectRow(LbRanges56, SelectedRange());
  }
  LbRanges56Click();
}

void TFrmSetMdl4::lbRangesClick() {
  UpdatingScope updating(Updating);
  if (SelectedChannel() < 0) {
    const QSignalBlocker block(lbChannel);
    SelectRow(lbChannel, 0);
  }
  const TOscRozsah* entry = SelectedEntry();
  const bool noSel = entry == nullptr;
  for (qt::TSpinBox* box : {sbRozsah, sbCalibGain, sbCalibBip, sbCalibAC})
    box->SetBlank(noSel);
  ShowCalibEnables();
  const int channel = SelectedChannel();
  if (noSel || channel < 0) return;
  const TChannelCalib& calib = entry->CH[channel + 1];
  sbRozsah->SetScaledValue(entry->Range);
  sbCalibGain->SetScaledValue(calib.Gain);
  sbCalibBip->SetScaledValue(calib.OffsetBip);
  sbCalibAC->SetScaledValue(calib.OffsetAC);
}

void TFrmSetMdl4::sbRozsahChange() {
  const int row = SelectedRange();
  if (Updating || row < 0) return;
  TRangeItem& item = edit_.Ranges[static_cast<std::size_t>(row)];
  TOscRozsah& entry = *item.Entry;
  entry.Range = sbRozsah->Value();
  if (const int channel = SelectedChannel(); channel >= 0) {
    TChannelCalib& calib = entry.CH[channel + 1];
    calib.Gain = sbCalibGain->ScaledValue();
    calib.OffsetBip = sbCalibBip->ScaledValue();
    calib.OffsetAC = sbCalibAC->ScaledValue();
  }
  item.Text = RangeText(entry.Range);
  lbRanges->item(row)->setText(QString::fromStdString(item.Text));
}

void TFrmSetMdl4::sbNewClick() {
  edit_.Ranges.push_back(MakeRangeItem(std::make_shared<TOscRozsah>(20.0)));
  lbRanges->addItem(QString::fromStdString(edit_.Ranges.back().Text));
  {
    const QSignalBlocker block(lbRanges);
    SelectRow(lbRanges, lbRanges->count() - 1);
  }
  lbRangesClick();
  sbRozsah->setFocus();
}

void TFrmSetMdl4::sbDeleteClick() {
  const int row = SelectedRange();
  {
    const QSignalBlocker block(lbRanges);
    if (row >= 0) {
      edit_.Ranges.erase(edit_.Ranges.begin() + row);
      delete lbRanges->takeItem(row);
    }
    SelectRow(lbRanges, -1);
  }
  lbRangesClick();
}

void TFrmSetMdl4::LaunchCalibration(TCalibButton button, qt::TSpinBox* box) {
  TOscRozsah* entry = SelectedEntry();
  if (entry == nullptr || !calib_launcher_) return;
  calib_launcher_(button, SelectedChannel(), entry, *box);
}

void TFrmSetMdl4::UseCalibration(TRawReader& reader, TTimerSource* timers) {
  calib_launcher_ = [this, &reader, timers](TCalibButton button, int channelIndex, TOscRozsah* entry,
                                            TSpinBox& box) {
    RunCalibration(button, channelIndex, entry, box, reader, this, timers);
  };
}

void TFrmSetMdl4::bbCalibGainClick() {
  LaunchCalibration(TCalibButton::bbCalibGain, sbCalibGain);
}

void TFrmSetMdl4::bbCalibBipClick() {
  LaunchCalibration(TCalibButton::bbCalibBip, sbCalibBip);
}

void TFrmSetMdl4::bbCalibACClick() {
  LaunchCalibration(TCalibButton::bbCalibAC, sbCalibAC);
}

void TFrmSetMdl4::FillChannel56(const TOscRozsah& entry, int channel, qt::TSpinBox* range, QLineEdit* unit,
                                qt::TSpinBox* offset) {
  range->SetScaledValue(channel == 5 ? entry.RangeCh5 : entry.RangeCh6);
  offset->SetScaledValue(entry.CH[channel].OffsetAC);
  unit->setText(QString::fromStdString(entry.CH[channel].Unit));
}

void TFrmSetMdl4::LbRanges56Click() {
  UpdatingScope updating(Updating);
  const int row = SelectedRow(LbRanges56);
  const bool noSel = row < 0;
  for (qt::TSpinBox* box : {SbRange5, SbOffset5, SbRange6, SbOffset6})
    box->SetBlank(noSel);
  bbCalibOff5->setEnabled(!noSel);
  bbCalibOff6->setEnabled(!noSel);
  if (noSel) return;
  const TOscRozsah& entry = *ranges56_[static_cast<std::size_t>(row)].Entry;
  FillChannel56(entry, 5, SbRange5, EdUnit5, SbOffset5);
  FillChannel56(entry, 6, SbRange6, EdUnit6, SbOffset6);
}

void TFrmSetMdl4::StoreChannel56(int channel, qt::TSpinBox* range, QLineEdit* unit, qt::TSpinBox* offset) {
  const int row = SelectedRow(LbRanges56);
  if (Updating || row < 0) return;
  TOscRozsah& entry = *ranges56_[static_cast<std::size_t>(row)].Entry;
  (channel == 5 ? entry.RangeCh5 : entry.RangeCh6) = range->ScaledValue();
  entry.CH[channel].OffsetAC = offset->ScaledValue();
  entry.CH[channel].Unit = UnitText(unit->text().toStdString());
}

void TFrmSetMdl4::SbRanges5Change() {
  StoreChannel56(5, SbRange5, EdUnit5, SbOffset5);
}

void TFrmSetMdl4::SbRanges6Change() {
  StoreChannel56(6, SbRange6, EdUnit6, SbOffset6);
}

void TFrmSetMdl4::bbOkClick() {
  // An edit being typed is committed when it loses the focus.
  if (QWidget* focused = focusWidget()) {
    focused->clearFocus();
    if (auto* box = dynamic_cast<osc::TCustomSpinBox*>(focused)) box->UpdateText();
  }
  if (edit_.Ranges.empty()) {
    EnsureOneRange(edit_.Ranges);
    ShowRangeList(0);
  }
  // An adapter's /dev/serial/by-id name finds it in any USB socket, under any number.
  if (const std::string device = win::CommDevicePath(edit_.Port); device.starts_with("/dev/tty")) {
    if (std::string stable = TAdapterFinder().StableName(device); stable != device) {
      edit_.Port = stable;
      const QSignalBlocker block(cbPort);
      cbPort->setEditText(QString::fromStdString(stable));
    }
  }
  const TSettingsCopy before = CopyOf(settings_);
  TakeCopy(settings_, edit_);
  try {
    settings_.SaveSettings();
  } catch (const std::exception& e) {
    TakeCopy(settings_, before);  // saving is all or nothing, so are the settings in memory
    ShowApplicationError(e, this);
    return;
  }
  port_check_timer_->stop();
  accept();
}

// --- Showing, cancelling -------------------------------------------------------------

void TFrmSetMdl4::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  // A fresh copy each visit: what the last one left (a Storno) is gone.
  const int selected = SelectedRange();
  edit_ = CopyOf(settings_);
  ShowSettings();
  SetSelectedRange(selected);
  UpdateModelControls();
  lbRangesClick();
  CheckPort();
}

void TFrmSetMdl4::reject() {
  port_check_timer_->stop();
  QDialog::reject();
}

}  // namespace osc
