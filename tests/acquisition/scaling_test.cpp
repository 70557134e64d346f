#include "acquisition/scaling.h"

#include <gtest/gtest.h>

#include <vector>

using namespace osc;

namespace {

constexpr std::uint16_t kAux5 = 0x0100;  // high byte of the mode word: channel 5 instead of 1
constexpr std::uint16_t kAux6 = 0x0200;

}  // namespace

// The windows of each polarity and gain are SimulatedModuleScaling's: here what moves them.
TEST(ChannelScale, ZeroCorrectionsBelongToTheirPolarity) {
  TOscRozsah range(16.0);
  range.CH[3].OffsetBip = 10;  // percent of the full scale: +1.6 V
  range.CH[3].OffsetAC = -5;   // -0.8 V
  auto bipolar = ComputeChannelScales(range, giX1, piBipolar, 0, 0);
  EXPECT_FLOAT_EQ(bipolar[2].Low, -5.5f + 1.6f);
  EXPECT_FLOAT_EQ(bipolar[2].High, 16 - 5.5f + 1.6f);
  EXPECT_EQ(bipolar[1].Low, -5.5f);  // other channels keep their own calibration
  auto ac = ComputeChannelScales(range, giX1, piAC, 0, 0);
  EXPECT_FLOAT_EQ(ac[2].Low, -8.0f - 0.8f);
  EXPECT_EQ(ComputeChannelScales(range, giX1, piPositive, 0, 0)[2].Low, 0.0f);
}

TEST(ChannelScale, AuxiliaryChannelsReplaceSlotsOneAndTwo) {
  TOscRozsah range(16.0);
  range.RangeCh6 = 100;
  range.CH[5].Unit = "A";
  range.CH[6].Unit = "°C";
  range.CH[6].OffsetAC = 10;  // +10 °C
  range.CH[1].Unit = "x";

  auto only5 = ComputeChannelScales(range, giX1, piPositive, kAux5, 0);
  EXPECT_EQ(only5[0].Low, -500.0f);
  EXPECT_EQ(only5[0].High, 500.0f);
  EXPECT_EQ(only5[0].Unit, "A");
  EXPECT_EQ(only5[1].High, 16.0f);  // slot 2 stays channel 2

  auto only6 = ComputeChannelScales(range, giX2, piBipolar, kAux6, 64);
  EXPECT_EQ(only6[0].Unit, "x");    // channel 1
  EXPECT_EQ(only6[1].Low, -40.0f);  // -(1 - 0.5) * 100 + 10
  EXPECT_EQ(only6[1].High, 60.0f);  // 100 * 2 / 2 + Low
  EXPECT_EQ(only6[1].Unit, "°C");

  // Slots 3 and 4 are never auxiliary, whatever the mode word says.
  auto all = ComputeChannelScales(range, giX1, piPositive, 0xFF00, 0);
  EXPECT_EQ(all[2].High, 16.0f);
  EXPECT_EQ(all[3].High, 16.0f);
}

TEST(ChannelScale, DefaultOffsetTable) {
  struct Row {
    int polarity, gain;
    bool aux;
    std::uint8_t b;
  };
  const Row rows[] = {{piPositive, giX4, false, 0},
                      {piBipolar, giX4, false, 53},
                      {piAC, giX2, false, 64},
                      {piPositive, giX2, true, 64},
                      {piBipolar, giX4, true, 96}};
  for (const Row& r : rows)
    EXPECT_EQ(DefaultOffset(r.polarity, r.gain, r.aux), r.b) << r.polarity << "/" << r.gain << "/" << r.aux;
}

// Samples 10 50 20 | 5 30 40 | 60 1 at step 3.
TEST(SampleValue, PeakDisplayShowsMaximumThenMinimumOfEachWindow) {
  const std::vector<std::uint8_t> samples = {10, 50, 20, 5, 30, 40, 60, 1};
  struct Row {
    bool peak;
    std::uint32_t index;
    int raw;  // -1: beyond the samples
  };
  const Row rows[] = {{true, 0, 50}, {true, 1, 5},  {true, 2, 60}, {true, 3, 1},
                      {true, 4, -1}, {false, 1, 5}, {false, 3, -1}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << (r.peak ? "peak " : "plain ") << r.index);
    std::uint8_t raw = 0xEE;
    const bool found = PointSample(samples, 3, r.index, r.peak, raw);
    EXPECT_EQ(found, r.raw >= 0);
    EXPECT_EQ(raw, r.raw >= 0 ? r.raw : 0xEE);
  }
  // Below step 2 the peak display has nothing to pair.
  std::uint8_t raw = 0;
  ASSERT_TRUE(PointSample(samples, 1, 3, true, raw));
  EXPECT_EQ(raw, 5);
}

// Long windows: the extreme may sit anywhere, in each 16-byte quarter of a 64-byte
// step, in the part after the last whole step and in a window cut short by the end of
// the samples.
TEST(SampleValue, PeakDisplayFindsTheExtremeAnywhereInALongWindow) {
  constexpr std::uint32_t kStep = 50;  // windows of 100 samples
  const std::uint32_t positions[] = {0, 1, 15, 16, 31, 32, 47, 48, 63, 64, 95, 96, 99};
  for (std::uint32_t count : {200u, 197u}) {
    for (std::uint32_t at : positions) {
      if (100 + at >= count) continue;
      SCOPED_TRACE(testing::Message() << "count " << count << ", extreme at " << at);
      std::vector<std::uint8_t> samples(count, 100);
      samples[at] = 200;                   // first window's maximum
      samples[at + 1 - 2 * (at % 2)] = 7;  // and its minimum, next to it
      samples[100 + at] = 255;             // second window's
      samples[100 + (at + 1) % (count - 100)] = 0;
      std::uint8_t raw = 0;
      ASSERT_TRUE(PointSample(samples, kStep, 0, true, raw));
      EXPECT_EQ(raw, 200);
      ASSERT_TRUE(PointSample(samples, kStep, 1, true, raw));
      EXPECT_EQ(raw, 7);
      ASSERT_TRUE(PointSample(samples, kStep, 2, true, raw));
      EXPECT_EQ(raw, 255);
      ASSERT_TRUE(PointSample(samples, kStep, 3, true, raw));
      EXPECT_EQ(raw, 0);
    }
  }
}

// The store keeps the window of the last pair: while the record grows, a window cut
// at the count gets longer and must be scanned again, and moving between step sizes
// or back and forth between pairs never shows another window's extremes.
TEST(SampleValue, StoredPeakPairsFollowTheGrowingRecordAndEveryStep) {
  TDataStore store(1, 60, 0, 0x0F, false, TChannelScale{255.0f, 0.0f, ""});
  std::vector<std::uint8_t> shadow;
  std::uint32_t seed = 7;
  auto expectSame = [&](std::uint32_t step, std::uint32_t index) {
    std::uint8_t fromStore = 0xEE, fromScan = 0xEE;
    const bool a = PointSample(store, index, true, fromStore);
    const bool b = PointSample(shadow, step, index, true, fromScan);
    EXPECT_EQ(a, b) << "step " << step << ", point " << index << ", count " << shadow.size();
    EXPECT_EQ(fromStore, fromScan) << "step " << step << ", point " << index << ", count " << shadow.size();
  };
  for (int round = 0; round < 40; ++round) {
    for (int k = 0; k < 37; ++k) {  // the newest sample is often a new extreme
      seed = seed * 1103515245u + 12345u;
      const auto v =
          static_cast<std::uint8_t>(k == 36 ? (round % 2 ? 255 - round : round) : 100 + (seed >> 28));
      store.AddSample(v);
      shadow.push_back(v);
    }
    for (double seconds : {1.0, 10.0, 60.0, 600.0}) {  // steps 1, 20, 144 and 1440 at 2880/s
      store.SetSpan(seconds / 86400);
      const std::uint32_t step = store.Step();
      const std::uint32_t points = static_cast<std::uint32_t>(shadow.size() / step) + 2;
      for (std::uint32_t i = 0; i < points; ++i)
        expectSame(step, i);
      for (std::uint32_t i = points; i-- > 0;)  // backwards: odd points first
        expectSame(step, i);
    }
  }
}

// At x 4 the bar pages a quarter of the codes (x 1 and x 2 are the main window's case).
TEST(OffsetBar, FollowsTheGain) {
  TOffsetBar bar;
  bar.Reset(giX4, 96);
  EXPECT_EQ(bar.PageSize(), 64);
  EXPECT_EQ(bar.MaxPosition(), 192);
  EXPECT_TRUE(bar.Enabled());
  EXPECT_EQ(bar.Position(), 96);
  EXPECT_EQ(bar.Scroll(300, false), 192);
  EXPECT_EQ(bar.Scroll(-5, false), 0);
  EXPECT_EQ(bar.Scroll(96, true), std::nullopt);
}

// Clip flags of a stretch: exact at any start and length, whether the store was
// recorded (flags set as samples come) or read back (flags found at load), across
// chunk edges, and by the pair windows of the peak display.
TEST(Clipping, StretchesReachingTheLimitsAreFoundExactly) {
  constexpr std::uint32_t kChunk = 1u << TDataStore::kClipChunkBits;
  TDataStore recorded(1, 60, 0, 0x01, false, TChannelScale{0.0f, 10.0f, ""});
  std::vector<std::uint8_t> samples(3 * kChunk, 128);
  samples[kChunk - 1] = 255;      // last of chunk 0
  samples[kChunk + 100] = 0;      // inside chunk 1
  samples[2 * kChunk + 5] = 255;  // chunk 2
  for (std::uint8_t s : samples)
    recorded.AddSample(s);
  const auto loaded = TDataStore::FromRecord(recorded.Record(), "CH 1");
  ASSERT_NE(loaded, nullptr);
  struct Row {
    std::uint64_t first, length;
    unsigned flags;
  };
  // The last row is cut at the count.
  const Row rows[] = {{0, kChunk - 1, 0},
                      {0, kChunk, kClipHigh},
                      {kChunk - 1, 1, kClipHigh},
                      {kChunk, 100, 0},
                      {kChunk + 100, 1, kClipLow},
                      {kChunk + 101, kChunk - 200, 0},
                      {0, 3 * kChunk, kClipHigh | kClipLow},
                      {2 * kChunk + 6, 10 * kChunk, 0}};
  for (const TDataStore* store : {&recorded, loaded.get()}) {
    for (const Row& r : rows)
      EXPECT_EQ(ClipIn(*store, r.first, r.length), r.flags) << r.first << " + " << r.length;
  }
  recorded.SetSpan(10.0 / 86400);  // step 80 at 11520/s
  ASSERT_EQ(recorded.Step(), 80u);
  const std::uint32_t at = (kChunk + 100) / 80;  // the point whose samples hold the 0
  EXPECT_EQ(PointClip(recorded, at, at, false), unsigned{kClipLow});
  EXPECT_EQ(PointClip(recorded, at + 1, at + 1, false), 0u);
  std::uint8_t raw = 0;
  ASSERT_TRUE(PointSample(recorded, at - at % 2 + 1, true, raw));  // fills the pair's window
  EXPECT_EQ(raw, 0);
  EXPECT_EQ(PointClip(recorded, at - at % 2 + 1, at - at % 2 + 1, true), unsigned{kClipLow});
  EXPECT_EQ(PointClip(recorded, at - at % 2 + 2, at - at % 2 + 2, true), 0u);
}

TEST(Clipping, OnlyTheLimitValuesAreBounds) {
  using Row = std::pair<std::uint8_t, unsigned>;
  for (auto [raw, clip] : {Row{255, kClipHigh}, Row{0, kClipLow}, Row{254, 0}, Row{1, 0}})
    EXPECT_EQ(ValueClip(RawToValue(raw, -10.0f, 9.96f), -10.0f, 9.96f), clip) << int{raw};
}
