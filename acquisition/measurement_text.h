#pragma once
// Texts of the cursor measurements: the reading of one position (time of day with
// milliseconds, value and unit) and the differences between the two measuring points.
// Positions are date-time values (days); X = 0 stands for a point that is not set.
// Numbers and times follow the user's locale (platform/locale/locale.h).
#include <string>
#include <vector>

#include "acquisition/span_stats.h"

namespace osc {

// Empty when `x` is 0; otherwise the long time of `x` with ".zzz", then the value with
// two decimals and the unit: "12:30:05.250    1.25 V".
// A value at a limit of the converter (`clip`: kClipHigh, kClipLow of a record whose raw
// 0 and 255 stand for `lower` and `upper`) is a bound: "> 9.96 V", "< -10.00 V".
std::string ValueText(double x, double y, const std::string& unit, unsigned clip = 0, float lower = 0,
                      float upper = 1);

// "      f = %.1f Hz" for the period |x1 - x0| days; empty when the two are equal.
std::string FrequencyText(double x0, double x1);

// "U2-U1 = ... <unit>      T2-T1 = ... s" with the frequency text appended; the unit is
// point 0's. Empty unless both points are set (X not 0).
std::string PointDifText(double x0, double y0, double x1, double y1, const std::string& unit);

// The span statistics table: its column headings with their hints, and one channel's
// row. Values show the decimals that one raw step of the scale needs (at least two);
// figures that clipped samples make bounds carry "≤", "≥" or "≈" (range and standard
// deviation only shrink by clipping, the mean moves away from the clipped end).
struct TStatsColumn {
  const char* Heading;
  const char* Hint;
};
const std::vector<TStatsColumn>& SpanStatsColumns();
std::vector<std::string> SpanStatsRow(const std::string& channel, const TSpanStats& stats,
                                      const std::string& unit, float lower, float upper);
// The hint of a row whose span holds clipped samples (empty otherwise).
std::string SpanStatsRowHint(const TSpanStats& stats);

// A number with four significant digits and no exponent: "50.00", "123.5", "1234".
std::string FourDigits(double value);

}  // namespace osc
