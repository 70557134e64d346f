#pragma once
// The module's analogue side: how an input voltage becomes an 8-bit stream sample or a
// 10-bit raw reading for the selected polarity, gain and offset. The transfer function
// is the one the program's channel scaling inverts, built from the module's own input
// range and its own (uncalibrated) errors, so a program whose range entry and
// calibration match the module shows the applied voltage.
#include <cstdint>

namespace osc::sim {

// The hardware of one input.
struct InputSetup {
  double range = 16.0;              // full scale: volts for CH1..4, the channel's unit for 5 and 6
  double gain_error = 0.0;          // percent of full scale (CH1..4 only)
  double zero_error_bipolar = 0.0;  // percent of full scale, seen with the polarity bit set, DC coupled
  double zero_error_ac = 0.0;       // percent of full scale, seen AC coupled (and always on 5 and 6)
  bool ac_coupled = false;          // the input's coupling switch: removes the DC part and
                                    // selects the AC window when the polarity bit is set
};

// Input values mapped to raw 0 and raw full scale.
struct Window {
  double low = 0.0;
  double high = 0.0;
};

// The mode word bits the converter depends on.
struct ConverterMode {
  int gain_index = 0;     // 0: x1, 1: x2, 2: x4
  bool polarity = false;  // bit 4: Bipolar or AC
  std::uint8_t offset = 0;
};

// Window of input `channel` (1..6) in `mode`.
Window InputWindow(int channel, const InputSetup& input, const ConverterMode& mode);

// 0..255, clipped at the window's ends.
std::uint8_t ToSample(double value, const Window& window);
// The 10-bit reading scaled to 0..16368 (16 per step), clipped.
std::uint16_t ToRawReading(double value, const Window& window);

constexpr std::uint16_t kRawFullScale = 16368;

}  // namespace osc::sim
