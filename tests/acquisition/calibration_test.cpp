#include "acquisition/calibration.h"

#include <gtest/gtest.h>

#include <cmath>

#include "acquisition/scaling.h"
#include "platform/errors.h"
#include "support/format_scope.h"

using namespace osc;

namespace {

TCalibState State(const TOscRozsah& entry, int channel, std::uint8_t mode) {
  TCalibState s;
  s.Entry = &entry;
  s.Channel = channel;
  s.Mode = mode;
  return s;
}

// The raw reading the module gives for `volts` in a window, as its converter rounds.
std::int32_t RawFor(double volts, double lo, double hi) {
  return static_cast<std::int32_t>(std::lround((volts - lo) / (hi - lo) * kRawFullScale));
}

}  // namespace

TEST(ZeroTick, TwentyPercentOfFullScaleDisablesConfirm) {
  test::FormatScope dot('.', ',');
  TOscRozsah entry(16);  // AC window -8 .. 8 V: 20 % is 3.2 V, between raw 11457 and 11458
  struct Row {
    std::int32_t raw;
    const char* correction;
    bool enabled;
  };
  const Row rows[] = {{11457, "-20.00 %", true},
                      {11458, "-20.00 %", false},  // -19.996 % and -20.002 %
                      {4911, "20.00 %", true},
                      {4910, "20.00 %", false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.raw);
    TCalibState s = State(entry, 2, cmZeroAC);
    TCalibView v = ZeroTick(s, r.raw);
    EXPECT_EQ(v.Correction, r.correction);
    EXPECT_EQ(v.ConfirmEnabled, std::optional<bool>(r.enabled));
    EXPECT_NEAR(s.Correction, -s.Measured / 16 * 100, 1e-12);
  }
  EXPECT_FALSE(ZeroCorrectionAllowed(20.0));
  EXPECT_FALSE(ZeroCorrectionAllowed(-20.0));
  EXPECT_TRUE(ZeroCorrectionAllowed(19.999999));
}

TEST(ZeroTick, FailedReadingEmptiesPanelsAndKeepsCorrection) {
  TOscRozsah entry(16);
  TCalibState s = State(entry, 1, cmZeroAC);
  ZeroTick(s, 9000);
  const double kept = s.Correction;
  TCalibView v = ZeroTick(s, kNoRawValue);
  EXPECT_EQ(v.Value + v.Correction, "");
  EXPECT_FALSE(v.ConfirmEnabled.has_value());  // the button stays as it was
  EXPECT_EQ(s.Correction, kept);
}

TEST(CalibTick, StoredCorrectionsMakeTheMeasuredValuesReadTrue) {
  TOscRozsah entry(16);
  entry.CH[3].Gain = 2.5;
  TCalibState s = State(entry, 3, cmZeroBipolar);
  const TZeroWindow w = ZeroWindow(entry, 3, cmZeroBipolar);
  ZeroTick(s, RawFor(0.37, w.Lo, w.Hi));  // the input reads 0.37 V at its zero
  entry.CH[3].OffsetBip = s.Correction;
  const TChannelScales scales = ComputeChannelScales(entry, giX1, piBipolar, 0, 0);
  const double zero = scales[2].Low + (scales[2].High - scales[2].Low) * (s.Measured - w.Lo) / (w.Hi - w.Lo);
  EXPECT_NEAR(zero, 0.0, 1e-5);

  // A gain correction stored for 17.25 V typed makes that reading 17.25 V.
  TOscRozsah twenty(20);
  TCalibState g = State(twenty, 2, cmGain);
  GainTick(g, 14000, 17.25);
  twenty.CH[2].Gain = g.Correction;
  EXPECT_NEAR(ComputeChannelScales(twenty, giX1, piPositive, 0, 0)[1].High * 14000 / kRawFullScale, 17.25,
              1e-5);
}

// Readings at the ends of the scale give a hint and keep the earlier correction; a
// correction of exactly 20 % (as the 2-decimal box holds it) still enables Confirm.
TEST(GainTick, HintsAtTheEndsAndTheTwentyPercentLimit) {
  test::FormatScope dot('.', ',');
  TOscRozsah entry(16);
  struct Row {
    std::int32_t raw;
    double typed;
    const char* correction;
    bool computes, enabled;
  };
  const Row rows[] = {{16368, 12.0, "Snížit!", false, false}, {8183, 12.0, "Zvýšit!", false, false},
                      {8184, 12.0, "50.00 %", true, false},   {12276, 14.40, "20.00 %", true, true},
                      {12276, 9.60, "-20.00 %", true, true},  {12276, 14.41, "20.08 %", true, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.correction);
    TCalibState s = State(entry, 2, cmGain);
    s.Correction = 7.5;  // an earlier good correction
    TCalibView v = GainTick(s, r.raw, r.typed);
    EXPECT_EQ(v.Correction, r.correction);
    EXPECT_EQ(s.Computed, r.computes);
    EXPECT_EQ(v.ConfirmEnabled, std::optional<bool>(r.enabled));
    EXPECT_EQ(s.Correction == 7.5, !r.computes);
  }
  EXPECT_TRUE(GainCorrectionAllowed(-20.0));
  EXPECT_FALSE(GainCorrectionAllowed(20.000001));
  // A range of 0 V has a window of no width: the dialogs raise instead of dividing.
  TOscRozsah none(0);
  TCalibState zero = State(none, 1, cmZeroAC), gain = State(none, 1, cmGain);
  EXPECT_THROW(ZeroTick(zero, 100), Exception);
  EXPECT_THROW(GainTick(gain, 9000, 12.0), Exception);
  EXPECT_FALSE(zero.Computed || gain.Computed);
}
