#include "ui/calib_dialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <algorithm>

#include "controls/qt/lx_display_panel.h"
#include "controls/qt/qt_timers.h"
#include "controls/qt/spin_box.h"
#include "ui/app_error.h"

namespace osc {
namespace {

constexpr unsigned kPollMs = 100;

QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}

// Tahoma is not on Linux; the nearest sans, bold, at the same pixel size.
QFont DialogFont() {
  QFont font;
  font.setFamilies({"Tahoma", "DejaVu Sans Condensed", "Liberation Sans", "DejaVu Sans"});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(15);
  font.setBold(true);
  return font;
}

QLabel* NewLabel(const char* name, const char* text, QWidget* parent) {
  auto* label = new QLabel(Text(text), parent);
  label->setObjectName(name);
  return label;
}

qt::TLxDisplayPanel* NewPanel(const char* name, int width, QWidget* parent) {
  auto* panel = new qt::TLxDisplayPanel(parent);
  panel->setObjectName(name);
  panel->setFixedWidth(width);
  panel->setMinimumHeight(panel->fontMetrics().height() + 10);
  return panel;
}

// A word-wrapped label exactly as tall as its text needs at `width`.
void FitWrapped(QLabel* label, int width) {
  label->setWordWrap(true);
  label->setFixedWidth(width);
  label->setFixedHeight(label->heightForWidth(width));
}

}  // namespace

TFrmMdl4CHCalib::TFrmMdl4CHCalib(TRawReader& reader, QWidget* parent, TTimerSource* timers)
    : TFrmMdl4CHCalib(reader, parent, timers, NoLayout{}) {
  Mode = cmZeroBipolar;
  LayOutZero();
}

TFrmMdl4CHCalib::TFrmMdl4CHCalib(TRawReader& reader, QWidget* parent, TTimerSource* timers, NoLayout)
    : QDialog(parent), reader_(reader), timers_(timers ? *timers : qt::QtTimers()) {
  setObjectName("FrmMdl4CHCalib");
  setWindowTitle(Text(calib_text::kCaption));
  setFont(DialogFont());
  CreateControls();
  timer_ = timers_.SetTimer(kPollMs, [this] { Timer1Timer(); });
}

TFrmMdl4CHCalib::~TFrmMdl4CHCalib() {
  StopPolling();
}

// A closed dialog polls no more, and its deferred release touches neither the timers
// nor the reader.
void TFrmMdl4CHCalib::StopPolling() {
  if (timer_ != 0) timers_.KillTimer(timer_);
  timer_ = 0;
  query_.reset();
}

void TFrmMdl4CHCalib::CreateControls() {
  const QFontMetrics fm(font());
  // Room for readings up to "-8888.88 %" and for the buttons' texts with their icons.
  panel_width_ = std::max(
      {fm.horizontalAdvance("-8888.88 %") + 16, fm.horizontalAdvance(Text(calib_text::kConfirm)) + 48, 130});
  Label2 = NewLabel("Label2", calib_text::kStep1, this);
  Lbl1 = NewLabel("Lbl1", calib_text::kZeroGnd, this);
  Lbl1->setWordWrap(true);
  Label5 = NewLabel("Label5", calib_text::kMeasured, this);
  LblValue = NewPanel("LblValue", panel_width_, this);
  Label6 = NewLabel("Label6", calib_text::kCorrection, this);
  LblKor = NewPanel("LblKor", panel_width_, this);

  BtnKalib =
      new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), Text(calib_text::kConfirm), this);
  BtnKalib->setObjectName("BtnKalib");
  BtnKalib->setDefault(true);
  BtnKalib->setEnabled(false);  // until a reading has computed a correction
  connect(BtnKalib, &QPushButton::clicked, this, &QDialog::accept);
  BitBtn2 =
      new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), Text(calib_text::kCancel), this);
  BitBtn2->setObjectName("BitBtn2");
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TFrmMdl4CHCalib::LayOutZero() {
  auto* grid = new QGridLayout(this);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  grid->setContentsMargins(16, 16, 16, 16);
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(6);
  SetInstructionWidth(2 * panel_width_ + grid->horizontalSpacing());
  grid->addWidget(Label2, 0, 0, Qt::AlignTop);
  grid->addWidget(Lbl1, 0, 1, 1, 2, Qt::AlignTop);
  grid->setRowMinimumHeight(1, 14);
  grid->addWidget(Label5, 2, 1);
  grid->addWidget(Label6, 2, 2);
  grid->addWidget(LblValue, 3, 1);
  grid->addWidget(LblKor, 3, 2);
  grid->setRowMinimumHeight(4, 14);
  grid->addWidget(BtnKalib, 5, 1);
  grid->addWidget(BitBtn2, 5, 2);
}

void TFrmMdl4CHCalib::showEvent(QShowEvent* event) {
  if (!formatted_) {
    formatted_ = true;
    setWindowTitle(QString::fromStdString(CalibCaption(Channel)));
    const double range = Entry ? Entry->Range : 0.0;
    Lbl1->setText(QString::fromStdString(FormatInstruction(Lbl1->text().toStdString(), Channel, range)));
    SetInstructionWidth(instruction_width_);  // the formatted text may need more lines
  }
  QDialog::showEvent(event);
  if (timer_ == 0) timer_ = timers_.SetTimer(kPollMs, [this] { Timer1Timer(); });
  if (!query_ && !taking_) StartQuery();
}

void TFrmMdl4CHCalib::hideEvent(QHideEvent* event) {
  StopPolling();
  QDialog::hideEvent(event);
}

void TFrmMdl4CHCalib::SetInstructionWidth(int width) {
  instruction_width_ = width;
  FitWrapped(Lbl1, width);
  if (layout()) layout()->activate();
}

void TFrmMdl4CHCalib::Timer1Timer() {
  if (!isVisible() || taking_) return;    // an error box of an earlier reading is open
  if (query_ && !query_->Done()) return;  // the module has not answered yet
  if (query_) {
    const std::shared_ptr<const TRawQuery> query = std::move(query_);
    taking_ = true;
    TakeReading(*query);
    taking_ = false;
    if (!isVisible()) return;  // closed while the reading was shown
  }
  StartQuery();
}

void TFrmMdl4CHCalib::StartQuery() {
  if (!ChannelValid()) {
    ShowView({});  // no channel: never reaches the module, reads as no value
    return;
  }
  // Refused while an earlier dialog's query still runs; the next tick tries again.
  query_ = reader_.Start(Channel, Mode != cmGain);
}

void TFrmMdl4CHCalib::TakeReading(const TRawQuery& query) {
  try {
    ShowView(ZeroTick(*this, query.Value()));
  } catch (const std::exception& error) {
    ShowApplicationError(error, this);
  }
}

void TFrmMdl4CHCalib::ShowView(const TCalibView& view) {
  LblValue->SetCaption(QString::fromStdString(view.Value));
  LblKor->SetCaption(QString::fromStdString(view.Correction));
  if (view.ConfirmEnabled) BtnKalib->setEnabled(*view.ConfirmEnabled);
}

TFrmMdl4CHCalibGain::TFrmMdl4CHCalibGain(TRawReader& reader, QWidget* parent, TTimerSource* timers)
    : TFrmMdl4CHCalib(reader, parent, timers, NoLayout{}) {
  setObjectName("FrmMdl4CHCalibGain");
  Mode = cmGain;
  Lbl1->setText(Text(calib_text::kGainVoltage));
  Label1 = NewLabel("Label1", calib_text::kStep2, this);
  Label3 = NewLabel("Label3", calib_text::kGainEnter, this);
  Label4 = NewLabel("Label4", calib_text::kVoltage, this);
  LayOutGain();
}

TFrmMdl4CHCalibGain::~TFrmMdl4CHCalibGain() = default;

void TFrmMdl4CHCalibGain::LayOutGain() {
  auto* grid = new QGridLayout(this);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  grid->setContentsMargins(16, 16, 16, 16);
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(6);

  // The spin box's button sits beside it on the same parent: a holder keeps both.
  auto* holder = new QWidget(this);
  holder->setObjectName("SbSkutHolder");
  SbSkut = new qt::TFloatSpinBox(holder);
  SbSkut->setObjectName("SbSkut");
  SbSkut->SetDigits(2);
  QPalette pal = SbSkut->palette();
  pal.setColor(QPalette::Base, QApplication::palette().color(QPalette::ToolTipBase));
  pal.setColor(QPalette::Text, QApplication::palette().color(QPalette::ToolTipText));
  SbSkut->setPalette(pal);
  const int box_height = LblValue->minimumHeight();
  const int button_width = box_height * 2 / 3;
  SbSkut->setGeometry(0, 0, PanelWidth() - button_width, box_height);
  holder->setFixedSize(PanelWidth(), box_height);
  SbSkut->SetValue(0);
  SbSkut->setFocus();
  setTabOrder(SbSkut, BtnKalib);

  const int instruction_width = 3 * PanelWidth() + 2 * grid->horizontalSpacing();
  SetInstructionWidth(instruction_width);
  FitWrapped(Label3, instruction_width);
  grid->addWidget(Label2, 0, 0, Qt::AlignTop);
  grid->addWidget(Lbl1, 0, 1, 1, 3, Qt::AlignTop);
  grid->setRowMinimumHeight(1, 4);
  grid->addWidget(Label1, 2, 0, Qt::AlignTop);
  grid->addWidget(Label3, 2, 1, 1, 3, Qt::AlignTop);
  grid->setRowMinimumHeight(3, 14);
  grid->addWidget(Label4, 4, 1);
  grid->addWidget(Label5, 4, 2);
  grid->addWidget(Label6, 4, 3);
  grid->addWidget(holder, 5, 1);
  grid->addWidget(LblValue, 5, 2);
  grid->addWidget(LblKor, 5, 3);
  grid->setRowMinimumHeight(6, 14);
  grid->addWidget(BtnKalib, 7, 2);
  grid->addWidget(BitBtn2, 7, 3);
}

void TFrmMdl4CHCalibGain::TakeReading(const TRawQuery& query) {
  try {
    ShowView(GainTick(*this, query.Value(), SbSkut->Value(), SbSkut->Digits()));
  } catch (...) {
    // A failed tick ends silently; the next one tries again.
  }
}

bool RunCalibration(TCalibButton button, int channelIndex, const TOscRozsah* entry, TSpinBox& box,
                    TRawReader& reader, QWidget* parent, TTimerSource* timers) {
  TFrmMdl4CHCalib* dialog = nullptr;
  if (button == TCalibButton::bbCalibGain) {
    dialog = new TFrmMdl4CHCalibGain(reader, parent, timers);
  } else {
    dialog = new TFrmMdl4CHCalib(reader, parent, timers);
    dialog->Mode = button == TCalibButton::bbCalibBip ? cmZeroBipolar : cmZeroAC;
  }
  dialog->Channel = channelIndex + 1;
  dialog->Entry = entry;
  if (button == TCalibButton::bbCalibAC) dialog->Lbl1->setText(Text(calib_text::kZeroOpen));
  const bool confirmed = dialog->exec() == QDialog::Accepted && dialog->Computed;
  if (confirmed) box.SetScaledValue(dialog->Correction);
  dialog->deleteLater();
  return confirmed;
}

}  // namespace osc
