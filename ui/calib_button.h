#pragma once
// The settings dialog's calibration buttons, as the calibration launch takes them.
namespace osc {

enum class TCalibButton { bbCalibGain, bbCalibBip, bbCalibAC };

}  // namespace osc
