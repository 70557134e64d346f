#pragma once
#include "ui/calib_button.h"
// The calibration dialogs: TFrmMdl4CHCalib measures a channel's zero (Mode 1 Bipolar,
// 2 AC), TFrmMdl4CHCalibGain its gain against a voltage the user applies and types in.
// Both poll the module every 100 ms and show the measured value and the correction;
// "Kalibrovat" closes with OK and leaves the result in Correction.
//
// Polling never blocks the window: readings come from a TRawReader, which queries on its
// own thread. A tick takes the reading its predecessor started and starts the next, so
// a slow or silent module delays readings without stacking ticks, and Cancel and closing
// act at once. An error of the zero dialog's reading goes to the application's error
// box, and polling waits while that box is open; the gain dialog ignores errors.
//
// "Kalibrovat" is enabled only once a reading has computed a correction, then by the
// 20 % rules, so confirming never stores a correction nobody measured. A channel outside
// 1..4 is never queried: its panels stay empty.
#include <QDialog>
#include <memory>

#include "acquisition/calibration.h"
#include "acquisition/raw_reader.h"

class QLabel;
class QPushButton;

namespace osc {

class TSpinBox;
class TTimerSource;

namespace qt {
class TFloatSpinBox;
class TLxDisplayPanel;
}  // namespace qt

class TFrmMdl4CHCalib : public QDialog, public TCalibState {
  Q_OBJECT

 public:
  // `reader` must outlive the dialog. Ticks run on `timers` (the window system's timers
  // when null).
  explicit TFrmMdl4CHCalib(TRawReader& reader, QWidget* parent = nullptr, TTimerSource* timers = nullptr);
  ~TFrmMdl4CHCalib() override;

  QLabel* Label2 = nullptr;
  QLabel* Lbl1 = nullptr;  // holds the instruction template until the dialog is shown
  QLabel* Label5 = nullptr;
  qt::TLxDisplayPanel* LblValue = nullptr;
  QLabel* Label6 = nullptr;
  qt::TLxDisplayPanel* LblKor = nullptr;
  QPushButton* BtnKalib = nullptr;
  QPushButton* BitBtn2 = nullptr;

  // One timer tick (Timer1): takes the finished reading, starts the next.
  void Timer1Timer();
  // Whether a reading is being waited for.
  bool QueryRunning() const { return query_ != nullptr; }

 protected:
  // Creates the controls without laying them out (for the gain dialog).
  struct NoLayout {};
  TFrmMdl4CHCalib(TRawReader& reader, QWidget* parent, TTimerSource* timers, NoLayout);

  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  // Turns a finished reading into the panels; the gain dialog computes its own.
  virtual void TakeReading(const TRawQuery& query);
  void ShowView(const TCalibView& view);
  // The instruction's width: Lbl1 wraps at it.
  void SetInstructionWidth(int width);
  int PanelWidth() const { return panel_width_; }

 private:
  void CreateControls();
  void LayOutZero();
  void StartQuery();
  void StopPolling();

  TRawReader& reader_;
  TTimerSource& timers_;
  unsigned timer_ = 0;
  std::shared_ptr<const TRawQuery> query_;
  bool taking_ = false;  // a reading is being shown (maybe with an error box open)
  bool formatted_ = false;
  int panel_width_ = 0;
  int instruction_width_ = 0;
};

class TFrmMdl4CHCalibGain : public TFrmMdl4CHCalib {
  Q_OBJECT

 public:
  explicit TFrmMdl4CHCalibGain(TRawReader& reader, QWidget* parent = nullptr, TTimerSource* timers = nullptr);
  ~TFrmMdl4CHCalibGain() override;

  QLabel* Label1 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  qt::TFloatSpinBox* SbSkut = nullptr;

 protected:
  void TakeReading(const TRawQuery& query) override;

 private:
  void LayOutGain();
};

// The settings dialog's calibration buttons.

// What a calibration button does: the gain dialog for bbCalibGain, the zero dialog in
// Mode 1 (bbCalibBip) or 2 with the "Odpojte svorku kanálu %d" instruction (bbCalibAC);
// Channel := `channelIndex` + 1 (the channel list's selection, -1 for none), Entry :=
// `entry`; shown modally over `parent`. Confirmed, `box` (the button's calibration box,
// Const_K 0.01) gets Correction / Const_K rounded, halves to even, and its change
// notification stores it. The dialog is released afterwards. True when confirmed.
bool RunCalibration(TCalibButton button, int channelIndex, const TOscRozsah* entry, TSpinBox& box,
                    TRawReader& reader, QWidget* parent = nullptr, TTimerSource* timers = nullptr);

}  // namespace osc
