// Texts of the cursor measurements.
#include "acquisition/measurement_text.h"

#include <gtest/gtest.h>

#include "acquisition/data_store.h"
#include "support/format_scope.h"

namespace osc {
namespace {

constexpr double kSecond = 1.0 / 86400;

// Fixed format settings for the test's duration.
class MeasurementText : public ::testing::Test {
 protected:
  MeasurementText() {
    format_->DecimalSeparator = '.';
    format_->TimeSeparator = ':';
    format_->LongTimeFormat = "hh:nn:ss";
  }
  test::FormatScope format_;
};

// Time with milliseconds, value and unit in the user's formats; a clipped reading is a
// bound.
TEST_F(MeasurementText, ValueText) {
  const double t = EncodeDateTime(2026, 12, 7, 12, 30, 5, 250);
  EXPECT_EQ(ValueText(t, -12.5, "mV"), "12:30:05.250    -12.50 mV");
  EXPECT_EQ(ValueText(EncodeDateTime(2026, 1, 1, 0, 0, 0, 7), 5, "V"), "00:00:00.007    5.00 V");
  EXPECT_EQ(ValueText(0, 5, "V"), "") << "not set";
  EXPECT_EQ(ValueText(t, 9.96, "V", kClipHigh, -10.0f, 9.96f), "12:30:05.250    > 9.96 V");
  EXPECT_EQ(ValueText(t, -10, "V", kClipLow, -10.0f, 9.96f), "12:30:05.250    < -10.00 V");
  // A record whose raw 255 stands for the lower value: clipped towards it.
  EXPECT_EQ(ValueText(t, -5, "V", kClipHigh, 5.0f, -5.0f), "12:30:05.250    < -5.00 V");
  // In the user's formats.
  formatSettings().DecimalSeparator = ',';
  formatSettings().TimeSeparator = '.';
  formatSettings().LongTimeFormat = "h:nn:ss";
  const double u = EncodeDateTime(2026, 12, 7, 9, 5, 7, 40);
  EXPECT_EQ(ValueText(u, 2.5, "V"), "9.05.07.040    2,50 V");
  EXPECT_EQ(FrequencyText(u, u + 0.3 * kSecond), "      f = 3,3 Hz");
}

TEST_F(MeasurementText, DifferenceLineAndFrequency) {
  const double t0 = EncodeDateTime(2026, 12, 7, 10, 0, 0, 0);
  struct Case {
    const char* name;
    double x0, y0, x1, y1;
    const char* text;
  };
  const Case cases[] = {
      {"ten seconds", t0, 0, t0 + 10 * kSecond, 0.25, "U2-U1 = 0.25 V      T2-T1 = 10.000 s      f = 0.1 Hz"},
      {"second left of the first: negative time, positive frequency", t0, 3.5, t0 - 0.004 * kSecond, 1,
       "U2-U1 = -2.50 V      T2-T1 = -0.004 s      f = 250.0 Hz"},
      {"same instant: no frequency", t0, 1, t0, 2, "U2-U1 = 1.00 V      T2-T1 = 0.000 s"},
      {"first not set", 0, 1, t0, 2, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PointDifText(c.x0, c.y0, c.x1, c.y1, "V"), c.text) << c.name;
}

// Columns: channel, min, max, p-p, mean, RMS, AC RMS, frequency, period, duty, count, length.
TEST_F(MeasurementText, SpanStatsRowDecimalsBoundsAndEmptyFigures) {
  TSpanStats sine{2880, 1.0, 2.8, 22.8, 20.0, 12.8, 14.6233, 7.0711, 50.0, 0.02, 0.25};
  TSpanStats clippedLow = sine;
  clippedLow.ClippedMin = true;
  struct Case {
    const char* name;
    TSpanStats stats;
    float lower, upper;
    std::vector<std::string> row;
  };
  const Case cases[] = {
      {"one code is 0.1 V: two decimals",
       sine,
       0.0f,
       25.5f,
       {"CH 1", "2.80 V", "22.80 V", "20.00 V", "12.80 V", "14.62 V", "7.07 V", "50.00 Hz", "20.00 ms",
        "25.0 %", "2880", "1.000 s"}},
      {"clipped at the bottom",
       clippedLow,
       0.0f,
       25.5f,
       {"CH 1", "≤ 2.80 V", "22.80 V", "≥ 20.00 V", "≤ 12.80 V", "≈ 14.62 V", "≥ 7.07 V", "50.00 Hz",
        "20.00 ms", "25.0 %", "2880", "1.000 s"}},
      {"empty span", TSpanStats{}, 0.0f, 25.5f, {"CH 1", "", "", "", "", "", "", "", "", "", "0", ""}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SpanStatsRow("CH 1", c.stats, "V", c.lower, c.upper), c.row) << c.name;
    EXPECT_EQ(SpanStatsRowHint(c.stats).empty(), !c.stats.Clipped()) << c.name;
  }
}

}  // namespace
}  // namespace osc
