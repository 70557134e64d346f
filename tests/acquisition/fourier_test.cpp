#include "acquisition/fourier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using namespace osc;

namespace {

std::vector<std::uint8_t> Sine(std::size_t n, double hz, std::uint32_t rate, double amplitude) {
  std::vector<std::uint8_t> s(n);
  for (std::size_t k = 0; k < n; ++k)
    s[k] = static_cast<std::uint8_t>(
        std::lround(127.5 + amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(k) / rate)));
  return s;
}

}  // namespace

// Worked by hand: 100 codes are 20 log10(100 / 127.5) = -2.110 dBFS. Half a bin off, the
// Hann window reads (sin(pi/2) / (pi/2)) / (1 - 1/4) = 0.8488 of it: 84.88 codes, -3.533
// dBFS, equal in both neighbouring bins. Bin 5000 of 65536-sample segments at 11520/s is
// 878.906 Hz; 200000 samples take 6 segments.
TEST(Spectrum, SinePeakBinAndLevel) {
  struct Row {
    const char* name;
    std::size_t n;
    std::uint32_t rate;
    double hz;
    std::uint32_t length, segments;
    std::size_t bin;  // the peak (or the lower of two equal ones)
    double codes, dbfs;
    double frequencyTolerance;  // of the interpolated peak, in bins
  };
  const Row rows[] = {
      {"on a bin", 1000, 1000, 50, 1000, 1, 50, 100, -2.110, 1e-3},
      {"between two bins", 1000, 1000, 50.5, 1000, 1, 50, 84.88, -3.533, 0.05},
      {"Welch segments, on a bin", 200000, 11520, 5000 * 11520.0 / 65536, 65536, 6, 5000, 100, -2.110, 1e-3},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const TSpectrum sp = ComputeSpectrum(Sine(r.n, r.hz, r.rate, 100), r.rate);
    EXPECT_EQ(sp.Length, r.length);
    EXPECT_EQ(sp.Segments, r.segments);
    ASSERT_EQ(sp.Amplitude.size(), r.length / 2 + 1);
    EXPECT_DOUBLE_EQ(sp.Frequency(sp.Amplitude.size() - 1), r.rate / 2.0);
    const std::size_t peak = sp.PeakBin();
    EXPECT_TRUE(peak == r.bin || (r.codes != 100 && peak == r.bin + 1)) << peak;
    EXPECT_NEAR(sp.PeakFrequency(), r.hz, r.frequencyTolerance * sp.BinWidth());
    EXPECT_NEAR(sp.Amplitude[r.bin], r.codes, 0.2);  // 8-bit rounding
    EXPECT_NEAR(DbFullScale(sp.Amplitude[r.bin]), r.dbfs, 0.02);
    EXPECT_NEAR(UnitAmplitude(sp.Amplitude[r.bin], -5, 5), r.codes * 10 / 255, 0.01);
    EXPECT_LT(DbFullScale(sp.Amplitude[r.bin + 10]), -60) << "leakage stays near the peak";
  }
  // Too short or no rate: no spectrum.
  EXPECT_TRUE(ComputeSpectrum(std::vector<std::uint8_t>{1, 2, 3}, 1000).Empty());
  EXPECT_TRUE(ComputeSpectrum(std::vector<std::uint8_t>{1, 2, 3, 4}, 0).Empty());
  const TSpectrum flat = ComputeSpectrum(std::vector<std::uint8_t>(100, 200), 1000);
  ASSERT_EQ(flat.Amplitude.size(), 51u);
  EXPECT_EQ(flat.PeakBin(), 0u) << "the mean is removed: nothing stands out";
}
