#pragma once
// The calibration dialogs' logic without a display: the texts they show, what one
// reading of the module turns into (measured value, correction, panel texts) and when
// the confirm button may be pressed.
//
// A reading is the module's raw value of one channel, 0..16368 for 0..full scale, or
// kNoRawValue. The zero dialog (Mode 1 Bipolar, 2 AC) measures the channel's zero
// without the stored zero correction; the gain dialog (Mode 0) measures a known voltage
// without the stored gain correction; either way the result replaces the stored value.
//
// Arithmetic follows the module's program: fs and k in doubles, the window ends Lo and
// Hi in single precision, the rest in extended precision (long double) stored as
// doubles, so a correction of exactly 20 % comes out as exactly 20.
#include <cstdint>
#include <optional>
#include <string>

#include "acquisition/raw_reader.h"
#include "config/range_entry.h"

namespace osc {

// Half the raw scale: the least reading the gain dialog computes a correction from.
constexpr std::int32_t kRawHalfScale = kRawFullScale / 2;

// Which correction a dialog computes (its Mode).
enum TCalibMode : std::uint8_t { cmGain = 0, cmZeroBipolar = 1, cmZeroAC = 2 };

namespace calib_text {
inline constexpr const char* kCaption = "Kalibrace kanálu ";
inline constexpr const char* kStep1 = "1.";
inline constexpr const char* kStep2 = "2.";
inline constexpr const char* kZeroGnd = "Připojte svorku kanálu %d na GND";
inline constexpr const char* kZeroOpen = "Odpojte svorku kanálu %d";
inline constexpr const char* kGainVoltage =
    "Připojte na svorky kanálu %d známé napětí v rozmezí od %.1f V do %.1f V ";
inline constexpr const char* kGainEnter = "Zadejte skutečnou hodnotu napětí na vstupu";
inline constexpr const char* kVoltage = "Napětí [V]:";
inline constexpr const char* kMeasured = "Naměřeno:";
inline constexpr const char* kCorrection = "Korekce:";
inline constexpr const char* kConfirm = "Kalibrovat";
inline constexpr const char* kCancel = "Storno";
inline constexpr const char* kLower = "Snížit!";
inline constexpr const char* kRaise = "Zvýšit!";
}  // namespace calib_text

// The dialog's caption for `channel`.
std::string CalibCaption(int channel);
// An instruction template formatted on show with (channel, range / 2, range); the zero
// templates use only the channel.
std::string FormatInstruction(const std::string& text, int channel, double range);

// What the two panels show after a tick, and whether the tick decided the confirm
// button's state (unset: the button stays as it was).
struct TCalibView {
  std::string Value;       // LblValue
  std::string Correction;  // LblKor
  std::optional<bool> ConfirmEnabled;
};

// The zero window of a channel: the channel's scale with offset byte 0, gain "x 1" and
// no zero correction (Lo = (1 - k) * 2.5 Bipolar, -k * 2.5 AC, 0 otherwise; Hi = fs + Lo).
struct TZeroWindow {
  float Lo = 0;
  float Hi = 0;
};
TZeroWindow ZeroWindow(const TOscRozsah& entry, int channel, std::uint8_t mode);

// A zero correction may be confirmed below 20 % in magnitude, a gain correction up to
// and including 20 %.
bool ZeroCorrectionAllowed(double correction);
bool GainCorrectionAllowed(double correction);

// The fields a calibration dialog works with. The button starts disabled and is enabled
// only by a reading that computed a correction, so confirming never stores a correction
// nobody measured.
struct TCalibState {
  int Channel = 0;                    // 1..4; any other channel is never queried
  const TOscRozsah* Entry = nullptr;  // not owned
  std::uint8_t Mode = cmGain;
  double Measured = 0;    // volts
  double Correction = 0;  // percent; kept through failed ticks and hints
  bool Computed = false;  // a correction has been computed from a reading

  // Whether the channel may be queried at all.
  bool ChannelValid() const { return Channel >= 1 && Channel <= 4; }
};

// One zero tick with reading `raw`. Updates Measured and Correction. A failed reading
// (kNoRawValue) gives empty panels. An arithmetic fault (a full scale of 0, a value that
// is not finite) raises osc::Exception with the floating-point error's text, as the
// module's program does.
TCalibView ZeroTick(TCalibState& state, std::int32_t raw);

// One gain tick with reading `raw` and the voltage the user typed, a number with
// `voltageDigits` decimals (taken as that decimal in extended precision, as the box
// holding it in the module's program did). Saturated (16368 or more): "Snížit!"; below
// half scale: "Zvýšit!"; both disable the button and keep Correction. Raises as
// ZeroTick does; the gain dialog swallows it.
TCalibView GainTick(TCalibState& state, std::int32_t raw, double actualVoltage, int voltageDigits = 2);

}  // namespace osc
