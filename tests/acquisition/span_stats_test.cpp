#include "acquisition/span_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

using namespace osc;

namespace {

// 0..25.5 on the raw scale: one code is 0.1 of the unit.
constexpr float kLower = 0.0f, kUpper = 25.5f;

std::vector<std::uint8_t> Generate(std::size_t n, const std::function<double(std::size_t)>& code) {
  std::vector<std::uint8_t> s(n);
  for (std::size_t k = 0; k < n; ++k)
    s[k] = static_cast<std::uint8_t>(std::clamp(std::lround(code(k)), 0L, 255L));
  return s;
}

std::function<double(std::size_t)> Sine(double offset, double amplitude, double hz, std::uint32_t rate,
                                        double noise = 0) {
  auto random = std::make_shared<std::mt19937>(7);
  return [=](std::size_t k) {
    const double n = noise > 0 ? std::normal_distribution<double>(0, noise)(*random) : 0;
    return offset + amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(k) / rate) + n;
  };
}

}  // namespace

// Worked by hand: a sine of 100 codes around 128 is 12.8 V mean, 100/sqrt(2) codes =
// 7.0711 V AC RMS, sqrt(12.8^2 + 7.0711^2) = 14.6233 V RMS, 2.8..22.8 V. A square of 200
// codes for 10 and 50 codes for 30 samples: mean 87.5 codes, AC RMS 150 * sqrt(.25 * .75)
// = 64.952 codes, RMS sqrt(8.75^2 + 6.4952^2) = 10.8972 V, 25 Hz at 1000 samples a second.
TEST(SpanStats, PeriodicSignalsGiveTheirFigures) {
  struct Row {
    const char* name;
    std::uint32_t rate;
    std::size_t n;
    std::function<double(std::size_t)> code;
    double min, max, mean, acRms, rms;
    double hz;    // 0: no frequency
    double duty;  // < 0: not checked
    double valueTolerance, hzTolerance;
  };
  const auto square = [](std::size_t k) { return k % 40 < 10 ? 200.0 : 50.0; };
  const Row rows[] = {
      {"sine, 50 periods", 2880, 2880, Sine(128, 100, 50, 2880), 2.8, 22.8, 12.8, 7.0711, 14.6233, 50, -1,
       0.005, 0.005},
      {"square, duty 1/4", 1000, 400, square, 5.0, 20.0, 8.75, 6.4952, 10.8972, 25, 0.25, 0.0001, 1e-9},
      {"noisy sine (3 codes)", 11520, 11520, Sine(128, 100, 123.456, 11520, 3), 0, 0, 0, 0, 0, 123.456, 0.5,
       100, 0.005},
      {"one and a half periods", 2880, 86, Sine(128, 100, 50, 2880), 2.8, 22.8, 0, 0, 0, 0, -1, 100, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const auto samples = Generate(r.n, r.code);
    const TSpanStats st = SpanStats(samples, r.rate, kLower, kUpper);
    EXPECT_EQ(st.Count, r.n);
    EXPECT_DOUBLE_EQ(st.Duration, static_cast<double>(r.n) / r.rate);
    if (r.valueTolerance < 1) {
      EXPECT_NEAR(st.Min, r.min, r.valueTolerance);
      EXPECT_NEAR(st.Max, r.max, r.valueTolerance);
      EXPECT_NEAR(st.PeakToPeak, r.max - r.min, 2 * r.valueTolerance);
      EXPECT_NEAR(st.Mean, r.mean, r.valueTolerance);
      EXPECT_NEAR(st.AcRms, r.acRms, r.valueTolerance);
      EXPECT_NEAR(st.Rms, r.rms, r.valueTolerance);
    }
    if (r.hz == 0) {
      EXPECT_FALSE(st.Frequency);
      EXPECT_FALSE(st.Period);
      EXPECT_FALSE(st.Duty);
      continue;
    }
    ASSERT_TRUE(st.Frequency);
    EXPECT_NEAR(*st.Frequency, r.hz, r.hzTolerance);
    EXPECT_NEAR(*st.Period, 1 / r.hz, r.hzTolerance / r.hz / r.hz + 1e-12);
    if (r.duty >= 0) {
      EXPECT_NEAR(*st.Duty, r.duty, r.duty == 0.25 ? 1e-12 : 0.01);
    }
  }
}

TEST(SpanStats, EmptyOneSampleConstantAndClippedSpans) {
  struct Row {
    const char* name;
    std::vector<std::uint8_t> samples;
    float lower, upper;
    double min, max, mean, acRms;
    bool clippedMin, clippedMax;
  };
  const Row rows[] = {
      {"empty", {}, kLower, kUpper, 0, 0, 0, 0, false, false},
      {"both ends", {0, 255, 0, 255}, -5, 5, -5, 5, 0, 5, true, true},
      // A scale that falls: raw 255 is the smallest value.
      {"falling scale", {255, 55}, 10, -15.5, -15.5, 4.5, -5.5, 10, true, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const TSpanStats st = SpanStats(r.samples, 1000, r.lower, r.upper);
    EXPECT_EQ(st.Count, r.samples.size());
    EXPECT_NEAR(st.Min, r.min, 1e-5);
    EXPECT_NEAR(st.Max, r.max, 1e-5);
    EXPECT_NEAR(st.Mean, r.mean, 1e-5);
    EXPECT_NEAR(st.AcRms, r.acRms, 1e-5);
    EXPECT_NEAR(st.Rms, std::hypot(r.mean, r.acRms), 1e-5);
    EXPECT_EQ(st.ClippedMin, r.clippedMin);
    EXPECT_EQ(st.ClippedMax, r.clippedMax);
    EXPECT_FALSE(st.Frequency);
  }
}

TEST(SampleSpan, SamplesBetweenTwoInstants) {
  constexpr double kStart = 46000.5;  // date-times this far from 0 round to ~0.01 sample
  constexpr std::uint32_t kRate = 11520, kCount = 1000;
  const auto at = [](double k) { return kStart + k / kRate / 86400; };
  struct Row {
    const char* name;
    double k0, k1;
    std::uint32_t first, count;
  };
  const Row rows[] = {
      {"on samples, reversed", 20, 10, 10, 11}, {"before the start", -5, 5, 0, 6},
      {"beyond the end", 995, 2000, 995, 5},    {"between two samples", 10.3, 10.7, 0, 0},
      {"after the end", 1200, 1300, 0, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const TSampleSpan s = SpanOfTimes(kStart, kRate, kCount, at(r.k0), at(r.k1));
    EXPECT_EQ(s.Count(), r.count);
    if (r.count != 0) {
      EXPECT_EQ(s.First, r.first);
    }
  }
}
