#pragma once
// The scale of one recording slot: what raw samples 255 and 0 stand for, and the unit.
// A raw byte r stands for Low + (High - Low) * r / 255.
#include <array>
#include <string>

namespace osc {

struct TChannelScale {
  float High = 0;    // value of raw sample 255
  float Low = 0;     // value of raw sample 0
  std::string Unit;  // at most 3 characters (UTF-8); empty means volts
};

// Slots 1..4 at indexes 0..3.
using TChannelScales = std::array<TChannelScale, 4>;

}  // namespace osc
