#pragma once
// TFrmSetMdl4, the options dialog "Volby", and the program's one holder of the settings:
// created once at start (loading them from the registry), shown modally from the main
// window's settings command, alive until the end. Pages: "Nastavení" (port, model),
// "Rozsahy" (the range list, each range's calibration per channel), "Kanály 5, 6"
// (range, unit and zero of the auxiliary inputs; 4-channel model only).
//
// The dialog edits a copy of the settings (config/settings_edit.h) whose range entries
// are its own, made each time it is shown. OK commits the edit being typed, gives an
// emptied list one "16 V" entry, as loading does, and saves the copy as the settings; a
// failed save goes to the application's error box, the settings stay as they were and
// the dialog stays open. Cancel (Storno, Esc, closing) drops the copy.
//
// Choices of this dialog: when the model switch removes the selected channel, CH 1 is
// selected and shown; a stored model index other than 0 or 1 loads as 0 (2-channel), as
// a missing one does.
//
// The port box lists the machine's serial devices and the simulated modules (the USB
// adapter's product name as each item's hint); below it the dialog says what the chosen
// port is and, when it cannot be opened, why (missing, busy, no permission and the group
// to join). OK saves the port text whatever the check says.
//
// For the main window: Settings() (port, model, ranges), Execute, the selected range (-1
// none) and ApplyModelType.
#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

#include "config/settings.h"
#include "config/settings_edit.h"
#include "seriallink/port_check.h"
#include "seriallink/port_enumerator.h"
#include "ui/calib_button.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QToolButton;

namespace osc {

class TRawReader;
class TSpinBox;
class TTimerSource;

namespace qt {
class TLxListBox;
class TSpinBox;
}  // namespace qt

class TFrmSetMdl4 : public QDialog {
  Q_OBJECT

 public:
  // Shows a message to the operator (the notice about a settings file put aside). The
  // default is a modal message box over the dialog.
  using TMessage = std::function<void(const QString& text)>;
  // Runs the calibration of `button` for channel `channelIndex` + 1 (-1: none selected)
  // of `entry`; confirmed, it sets `box`, whose change stores the correction.
  using TCalibLauncher =
      std::function<void(TCalibButton button, int channelIndex, TOscRozsah* entry, TSpinBox& box)>;
  // What a port is (`full` false: DescribePort) or also why it cannot be opened
  // (`full` true: InspectPort). The default looks at this machine.
  using TPortInspector = std::function<TPortReport(const std::string& port, bool full)>;

  // Loads the settings; the registry's errors ("Selhalo oteření klíče registru.")
  // propagate. A settings file put aside while loading is reported through `message`.
  explicit TFrmSetMdl4(QWidget* parent = nullptr, TMessage message = {});
  ~TFrmSetMdl4() override;

  // --- For the main window -------------------------------------------------------
  // The settings in force (saved by the last OK, or loaded); never the copy being edited.
  SettingsHolder& Settings() { return settings_; }
  const SettingsHolder& Settings() const { return settings_; }
  // The copy the controls show and edit.
  const TSettingsCopy& Edited() const { return edit_; }
  // Uses `port` from now on, as if typed in the port box (saved only by a later OK).
  void SetPort(const std::string& port);
  // The selected item of lbRanges, -1 for none; an index out of range selects none.
  int SelectedRange() const;
  void SetSelectedRange(int index);
  // The settings command's use of the dialog: selects `currentRange` and runs the dialog
  // modally. Confirmed (and saved), the settings now in force; the caller then stops the
  // recording, closes the port and takes the ranges, the selection and the model over.
  std::optional<TSettingsCopy> Execute(int currentRange);
  // Selects model `index` (0 or 1; others are ignored) when it differs, in the settings
  // and in a copy being edited, re-applies the model's controls and saves the model type.
  // True when the model changed.
  bool ApplyModelType(int index);
  void SetCalibLauncher(TCalibLauncher launcher) { calib_launcher_ = std::move(launcher); }
  // Connects the calibration buttons to the calibration dialogs, which read the module
  // through `reader` (it must outlive the dialog; ticks on `timers`, Qt's when null).
  void UseCalibration(TRawReader& reader, TTimerSource* timers = nullptr);
  void SetMessage(TMessage message);
  // Replaces the inspector and shows the port list's hints and the port's state anew.
  void SetPortInspector(TPortInspector inspector);

  // --- Controls, named as in the form ----------------------------------------------
  QTabWidget* Pages = nullptr;
  QWidget* tsNastaveni = nullptr;
  QWidget* tsRozsahy = nullptr;
  QWidget* TsZesil = nullptr;

  QLabel* Label1 = nullptr;
  QComboBox* cbPort = nullptr;
  QGroupBox* RgTypOsc = nullptr;
  QButtonGroup* RgTypOscItems = nullptr;  // ids 0 and 1
  // Beyond the classic form: what the chosen port is, and why it cannot be opened.
  QLabel* LblPortInfo = nullptr;
  QLabel* LblPortProblem = nullptr;

  QLabel* Label2 = nullptr;
  qt::TLxListBox* lbRanges = nullptr;
  QToolButton* sbNew = nullptr;
  QToolButton* sbDelete = nullptr;
  QLabel* Label6 = nullptr;
  qt::TLxListBox* lbChannel = nullptr;
  QLabel* Label3 = nullptr;
  qt::TSpinBox* sbRozsah = nullptr;
  QGroupBox* GbDC = nullptr;
  QLabel* Label4 = nullptr;
  qt::TSpinBox* sbCalibGain = nullptr;
  QPushButton* bbCalibGain = nullptr;
  QGroupBox* GbBipolar = nullptr;
  QLabel* Label5 = nullptr;
  qt::TSpinBox* sbCalibBip = nullptr;
  QPushButton* bbCalibBip = nullptr;
  QGroupBox* GbAC = nullptr;
  QLabel* Label7 = nullptr;
  qt::TSpinBox* sbCalibAC = nullptr;
  QPushButton* bbCalibAC = nullptr;

  QLabel* Label10 = nullptr;
  qt::TLxListBox* LbRanges56 = nullptr;
  QGroupBox* GbCh5 = nullptr;
  QLabel* Label8 = nullptr;
  QLabel* Label13 = nullptr;
  QLabel* Label9 = nullptr;
  qt::TSpinBox* SbRange5 = nullptr;
  QLineEdit* EdUnit5 = nullptr;
  qt::TSpinBox* SbOffset5 = nullptr;
  QPushButton* bbCalibOff5 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QLabel* Label11 = nullptr;
  QLabel* Label12 = nullptr;
  QLabel* Label14 = nullptr;
  qt::TSpinBox* SbRange6 = nullptr;
  QLineEdit* EdUnit6 = nullptr;
  qt::TSpinBox* SbOffset6 = nullptr;
  QPushButton* bbCalibOff6 = nullptr;

  QPushButton* bbOk = nullptr;
  QPushButton* bbCancel = nullptr;

  TPortEnumerator PortEnum;

  // --- Handlers ----------------------------------------------------------------------
  // True while a handler fills the edit controls; the change handlers then store nothing.
  bool Updating = false;

  int ModelIndex() const;
  void UpdateModelControls();
  void RgTypOscClick();
  void PagesChange();
  void lbRangesClick();
  void sbRozsahChange();
  void sbNewClick();
  void sbDeleteClick();
  void bbCalibGainClick();
  void bbCalibBipClick();
  void bbCalibACClick();
  void LbRanges56Click();
  void SbRanges5Change();
  void SbRanges6Change();
  void bbOkClick();
  // Shows what the port in cbPort is and what stands in its way; runs when the dialog
  // is shown and shortly after the port text stops changing.
  void CheckPort();

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateSettingsPage();
  void CreateRangesPage();
  void CreateChannels56Page();
  void CreateButtons();
  void ShowPortHints();
  void ConnectHandlers();

  void ShowSettings();
  void ShowRangeList(int selected);
  void SetModelIndex(int index);
  TOscRozsah* SelectedEntry() const;
  int SelectedChannel() const;
  void LaunchCalibration(TCalibButton button, qt::TSpinBox* box);
  void StoreChannel56(int channel, qt::TSpinBox* range, QLineEdit* unit, qt::TSpinBox* offset);
  void FillChannel56(const TOscRozsah& entry, int channel, qt::TSpinBox* range, QLineEdit* unit,
                     qt::TSpinBox* offset);
  void ShowCalibEnables();

  SettingsHolder settings_;
  TSettingsCopy edit_;   // what the controls show and edit
  TRangeList ranges56_;  // the items of LbRanges56: a copy of the range list
  TMessage message_;
  TCalibLauncher calib_launcher_;
  TPortInspector port_inspector_;
  QTimer* port_check_timer_ = nullptr;
};

}  // namespace osc
