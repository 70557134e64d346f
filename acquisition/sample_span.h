#pragma once
// A run of a record's samples, and which samples lie between two instants: the span
// that statistics, the spectrum and the exports take.
#include <cstdint>

namespace osc {

// Samples [First, End) of a record.
struct TSampleSpan {
  std::uint32_t First = 0;
  std::uint32_t End = 0;
  std::uint32_t Count() const { return End > First ? End - First : 0; }
};

// The samples whose times (start + k / rate) lie between `from` and `to` (date-time
// values in either order), both ends included; a point placed on a sample (the cross
// snaps to them) counts as on it despite rounding.
TSampleSpan SpanOfTimes(double start, std::uint32_t rate, std::uint32_t count, double from, double to);
// The same for seconds from the record's start.
TSampleSpan SpanOfSeconds(std::uint32_t rate, std::uint32_t count, double from, double to);

}  // namespace osc
