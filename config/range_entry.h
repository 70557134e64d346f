#pragma once
// One input range entry of the range list, with the ranges of the auxiliary channels
// and the calibration of each channel. Plain values; the list and its persistence live
// in config/settings.h.
#include <array>
#include <string>

namespace osc {

struct TChannelCalib {
  double Gain = 0;       // gain correction, percent (channels 1 to 4)
  double OffsetBip = 0;  // zero correction in Bipolar, percent of full scale (channels 1 to 4)
  double OffsetAC = 0;   // zero correction in AC, percent of full scale; zero of channels 5 and 6
  std::string Unit;      // at most 3 characters (UTF-8), shown for channels 5 and 6
};

// Channels are numbered 1..6; an index outside that range throws std::out_of_range.
class TChannelCalibs {
 public:
  TChannelCalib& operator[](int channel) { return items_.at(static_cast<std::size_t>(channel - 1)); }
  const TChannelCalib& operator[](int channel) const {
    return items_.at(static_cast<std::size_t>(channel - 1));
  }

 private:
  std::array<TChannelCalib, 6> items_{};
};

struct TOscRozsah {
  explicit TOscRozsah(double range) : Range(range) {}

  double Range;             // full scale of the analogue channels 1 to 4, volts
  double RangeCh5 = 500.0;  // full scale of auxiliary channel 5, user unit
  double RangeCh6 = 500.0;
  TChannelCalibs CH;
};

}  // namespace osc
