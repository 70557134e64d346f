// The recording control end to end against the simulated module, on both paths.
#include "acquisition/recorder.h"

#include "acquisition/scaling.h"
#include "graph/series.h"
#include "support/recorder_rig.h"

#include <gtest/gtest.h>

using namespace osc;
using osc::test::HoldsOwnSequence;
using osc::test::HoldsTrueTimes;
using osc::test::RecorderRig;

namespace {

class RecorderPaths : public ::testing::TestWithParam<TAcquisitionPath> {};

// Each selection's slots come out of the stream byte for byte at their share of the
// rate; the slow rate runs the line at 19200 Bd, and every stop leaves it at 115200 Bd
// with the module taking commands.
TEST_P(RecorderPaths, SlotsDeinterleaveByteForByte) {
  struct Row {
    const char* name;
    InputSelection inputs;
    int sampleIndex;
    std::uint8_t mask;
    std::uint32_t rate;
  };
  const Row rows[] = {{"CH1..CH3", {true, true, true, false, false, false}, 0, 0x07, 3840},
                      {"CH3+CH4", {false, false, true, true, false, false}, 0, 0x0C, 5760},
                      {"CH1..CH3 at 2 kHz", {true, true, true, false, false, false}, 1, 0x07, 640}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    RecorderRig rig(GetParam());
    rig.PatternOnAllInputs();
    rig.module().set_pace(20);
    rig.window.controls.SampleIndex = r.sampleIndex;
    rig.Start(r.inputs);
    ASSERT_TRUE(rig.RecordAtLeast(1000));
    EXPECT_EQ(rig.module().line_baud(), r.sampleIndex ? 19200u : 115200u);
    EXPECT_EQ(rig.com.DCB().BaudRate(), rig.module().line_baud());
    rig.Stop();
    for (int slot = 1; slot <= 4; ++slot) {
      const TDataStore* store = rig.recorder->Store(slot);
      if (!(r.mask & (1 << (slot - 1)))) {
        EXPECT_EQ(store, nullptr) << "slot " << slot;
        continue;
      }
      ASSERT_NE(store, nullptr) << "slot " << slot;
      EXPECT_TRUE(HoldsOwnSequence(store, slot));
      EXPECT_EQ(store->Rate(), r.rate);
      EXPECT_EQ(store->Header().ChannelMask, r.mask);
    }
    EXPECT_EQ(rig.data.SeriesCount(), std::popcount(r.mask));
    EXPECT_EQ(rig.recorder->ShortBlocks(), 0u);
    EXPECT_TRUE(rig.window.errors.empty());
    EXPECT_EQ(rig.com.DCB().BaudRate(), 115200u);
    EXPECT_EQ(rig.module().line_baud(), 115200u);
    EXPECT_EQ(rig.module().state(), sim::ModuleState::Commands);
    const std::uint32_t count = rig.recorder->Store(3)->Count();
    rig.recorder->TimerTick();
    EXPECT_EQ(rig.recorder->Store(3)->Count(), count) << "a tick after the stop";
  }
}

TEST_P(RecorderPaths, StartWithNoInputChangesNothing) {
  RecorderRig rig(GetParam());
  rig.Start({});
  EXPECT_FALSE(rig.window.down || rig.window.timer || rig.com.Active());
  EXPECT_EQ(rig.recorder->Store(1), nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, RecorderPaths,
                         ::testing::Values(TAcquisitionPath::Overlapped, TAcquisitionPath::Blocking),
                         [](const auto& info) { return std::string(osc::test::PathName(info.param)); });

// The UI thread stalls right after the start, while all 32 reads are out: more than 16
// blocks complete, the oldest are dropped, and no stored byte comes from a buffer that
// was already given to a new read. The later samples keep their true times: the dropped
// blocks are filler, counted exactly as lost in each slot.
TEST(RecorderOverlapped, StallBeyondSixteenBlocksDropsOldestBlocksOnly) {
  RecorderRig rig(TAcquisitionPath::Overlapped);
  rig.PatternOnAllInputs();
  rig.module().set_pace(10);
  rig.Start({true, true, false, false, false, false});
  ASSERT_TRUE(rig.TickUntil([&] { return rig.recorder->Running(); }));
  // 24 blocks in the stall: beyond the 16 the ring keeps, within what it and the input
  // queue hold (32 blocks plus 16384 bytes).
  const auto stallEnd = static_cast<std::uint64_t>(24 * TRecorder::kMaxBlockLength);
  ASSERT_TRUE(rig.StallUntil([&] { return rig.module().stream_bytes() >= stallEnd; }));
  rig.RecordAtLeast(30000);
  rig.Stop();

  EXPECT_GT(rig.recorder->DroppedBlocks(), 0u);
  for (int slot = 1; slot <= 2; ++slot) {
    std::uint64_t gaps = 0;
    EXPECT_TRUE(HoldsTrueTimes(rig.recorder->Store(slot), slot, rig.recorder->Losses(), &gaps));
    EXPECT_EQ(gaps, rig.recorder->DroppedBlocks() * 1200) << "slot " << slot;
    EXPECT_EQ(rig.recorder->Losses().LostIn(slot), gaps) << "slot " << slot;
  }
  EXPECT_EQ(rig.recorder->Losses().Total(), rig.recorder->DroppedBlocks() * 2400);
  EXPECT_EQ(rig.recorder->ShortBlocks(), 0u);
}

// A stall in the middle of a recording, longer than the 16 pending reads and the input
// queue hold: the queue overflows and bytes are lost at no block boundary, so the slot
// order after the loss is unknown. The recording ends there with one message; every
// sample before the loss is stored, in its own slot, and nothing after it.
TEST(RecorderOverlapped, InputQueueOverflowEndsTheRecordingWithoutSwappingChannels) {
  RecorderRig rig(TAcquisitionPath::Overlapped);
  rig.PatternOnAllInputs();
  rig.module().set_pace(10);
  rig.Start({true, true, true, false, false, false});
  ASSERT_TRUE(rig.RecordAtLeast(40 * 800));
  const std::uint64_t from = rig.module().stream_bytes();
  ASSERT_TRUE(rig.StallUntil([&] { return rig.module().stream_bytes() >= from + 40 * 2400; }));
  ASSERT_TRUE(rig.TickUntil([&] { return !rig.window.timer; }, 5000));

  EXPECT_EQ(rig.window.errors.size(), 1u);
  EXPECT_FALSE(rig.window.down);
  EXPECT_EQ(rig.recorder->DroppedBlocks(), 0u);
  for (int slot = 1; slot <= 3; ++slot) {
    EXPECT_TRUE(HoldsOwnSequence(rig.recorder->Store(slot), slot));
    // The 16 blocks that were pending when the stall began are all stored.
    EXPECT_GE(rig.recorder->Store(slot)->Count() * 3, from + 16 * 2400 - 2400) << "slot " << slot;
  }
  EXPECT_TRUE(rig.window.caption.starts_with("Měření zastaveno: vstupní fronta")) << rig.window.caption;
}

TEST(Recorder, ShortBlocksKeepTheSlotOrder) {
  RecorderRig rig(TAcquisitionPath::Overlapped);
  rig.window.controls.Inputs = {true, true, true, false, false, false};
  rig.recorder->ReadControls();
  rig.recorder->CreateStores();
  const std::uint8_t first[] = {1, 2, 3, 1, 2};  // a block cut short mid-round
  const std::uint8_t second[] = {3, 1, 2, 3};
  rig.recorder->DistributeBlock(first, 5);
  rig.recorder->DistributeBlock(second, 4);
  for (int slot = 1; slot <= 3; ++slot) {
    const TDataStore* s = rig.recorder->Store(slot);
    ASSERT_EQ(s->Count(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i)
      EXPECT_EQ(s->Samples()[i], slot);
  }
}

// Bipolar x 4 at offset 0 spans -5.5 .. -1.5 V: widened by |U|, the series' range keeps
// raw 255 (-1.5 V exactly) inside it.
TEST(Recorder, NegativeUpperValueKeepsTheTopSamplesInsideTheRange) {
  RecorderRig rig(TAcquisitionPath::Overlapped);
  rig.window.controls.Inputs = {true, false, false, false, false, false};
  rig.window.controls.GainIndex = giX4;
  rig.window.controls.PolarityIndex = piBipolar;
  rig.recorder->SetMaxSeconds(1);
  rig.recorder->ReadControls();
  const TOscRozsah range(16.0);
  rig.recorder->UpdateScale(&range);
  rig.recorder->CreateStores();
  const std::uint8_t extremes[] = {255, 0};
  rig.recorder->DistributeBlock(extremes, 2);
  rig.recorder->RebuildSeries();
  ASSERT_FLOAT_EQ(rig.recorder->Store(1)->Upper(), -1.5f);
  auto& series = *static_cast<TBaseEquiDistantSeries*>(rig.data.Series(0));
  EXPECT_GT(series.YMax(), series.GetValue(0));
  EXPECT_LT(series.YMin(), series.GetValue(1));
}

}  // namespace
