// The recording control when the module or the line misbehave: a module pausing
// mid-block, a pulled cable, a stalled stream, re-entrant ticks, late replies, lost
// bytes, and a port name that is a plain file.
#include "acquisition/recorder.h"

#include "graph/series.h"
#include "platform/errors.h"
#include "support/recorder_rig.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace osc;
using namespace std::chrono_literals;
using osc::test::HoldsOwnSequence;
using osc::test::RecorderRig;

namespace {

// The simulated module streams the pattern on every input at ten times its pace.
class RecorderFaults : public ::testing::TestWithParam<TAcquisitionPath> {
 protected:
  void SetUp() override {
    rig.PatternOnAllInputs();
    rig.module().set_pace(10);
  }
  RecorderRig rig{GetParam()};
};

constexpr InputSelection kCh1Ch2{true, true, false, false, false, false};
constexpr InputSelection kCh1To3{true, true, true, false, false, false};

// The module stops sending for 500 ms in the middle of a block: the read ends short
// after the 400 ms interval time-out; its bytes are stored and the slot order goes on
// in the next block.
TEST_P(RecorderFaults, PauseMidBlockSwapsNoChannels) {
  rig.module().set_pace(4);
  rig.Start(kCh1To3);
  ASSERT_TRUE(rig.RecordAtLeast(2000));
  // Within a block and off a round of 3, so a carried order matters.
  ASSERT_TRUE(rig.TickUntil(
      [&] {
        const std::uint64_t at = rig.module().stream_bytes() % TRecorder::kMaxBlockLength;
        return at > 700 && at < 1700 && at % 3 != 0;
      },
      20000, 0));
  rig.module().inject(sim::Fault::Silence, sim::FaultMode::Always);
  const std::uint64_t pausedAt = rig.module().stream_bytes();
  // The pause itself is wall-clock time: the port's interval time-out is.
  const auto resume = std::chrono::steady_clock::now() + 500ms;
  ASSERT_TRUE(rig.TickUntil([&] { return std::chrono::steady_clock::now() >= resume; }));
  rig.module().clear_faults();
  ASSERT_TRUE(rig.TickUntil([&] { return rig.recorder->Store(1)->Count() * 3 > pausedAt + 9000; }));
  rig.Stop();

  for (int slot = 1; slot <= 3; ++slot)
    EXPECT_TRUE(HoldsOwnSequence(rig.recorder->Store(slot), slot)) << "paused at stream byte " << pausedAt;
  if (GetParam() == TAcquisitionPath::Overlapped) {
    EXPECT_GE(rig.recorder->ShortBlocks(), 1u);
    EXPECT_GE(rig.window.beeps, 1);
  }
  EXPECT_TRUE(rig.window.errors.empty());
}

// The cable is pulled while recording: one message, the timer off, the controls back,
// and every sample stored so far kept in its slot. (That the next exchange after a
// pulled cable works is the protocol fault matrix's.)
TEST_P(RecorderFaults, PulledCableEndsTheRecordingWithOneMessageAndKeepsTheSamples) {
  rig.Start(kCh1Ch2);
  ASSERT_TRUE(rig.RecordAtLeast(5000));
  const std::uint32_t before = rig.recorder->Store(1)->Count();
  rig.module().inject(sim::Fault::PulledCable, sim::FaultMode::Always);
  ASSERT_TRUE(rig.TickUntil([&] { return !rig.window.timer; }));
  rig.recorder->TimerTick();  // a tick already queued changes nothing
  ASSERT_EQ(rig.window.errors.size(), 1u);
  EXPECT_TRUE(rig.window.caption.starts_with("Měření zastaveno")) << rig.window.caption;
  EXPECT_FALSE(rig.window.down);
  ASSERT_GE(rig.recorder->Store(1)->Count(), before);
  for (int slot = 1; slot <= 2; ++slot)
    EXPECT_TRUE(HoldsOwnSequence(rig.recorder->Store(slot), slot));
}

// Stop between two ticks: every block completed since the last tick is stored and shown
// (the stop sequence towards the module is unchanged).
TEST_P(RecorderFaults, StopKeepsEveryCompleteBlock) {
  rig.Start({true, false, false, false, false, false});
  ASSERT_TRUE(rig.RecordAtLeast(TRecorder::kMaxBlockLength));
  const std::uint32_t before = rig.recorder->Store(1)->Count();
  const std::uint64_t streamed = rig.module().stream_bytes();
  ASSERT_TRUE(rig.StallUntil(
      [&] { return rig.module().stream_bytes() >= streamed + 4 * TRecorder::kMaxBlockLength; }));
  rig.Stop();
  const TDataStore* store = rig.recorder->Store(1);
  EXPECT_GE(store->Count(), before + 3 * TRecorder::kMaxBlockLength);
  EXPECT_TRUE(HoldsOwnSequence(store, 1));
  const auto* series = dynamic_cast<const TBaseEquiDistantSeries*>(rig.data.Series(0));
  ASSERT_NE(series, nullptr);
  EXPECT_EQ(series->Count(), static_cast<std::uint32_t>(store->PointCount())) << "shown as well";
  EXPECT_EQ(rig.window.caption, "Zastaveno");
}

// A stream that stops mid-recording (the port stays open) is said in the title after
// about two block times, and the title counts down again when data comes.
TEST_P(RecorderFaults, StalledStreamIsSaidAndClears) {
  std::int64_t now = 0;
  rig.recorder->SetClock([&] { return now; });
  rig.Start({true, false, false, false, false, false});
  ASSERT_TRUE(rig.RecordAtLeast(TRecorder::kMaxBlockLength));
  rig.module().inject(sim::Fault::Silence, sim::FaultMode::Always);
  win::Sleep(30);
  rig.recorder->TimerTick();  // what was under way
  now += 300;
  rig.recorder->TimerTick();
  EXPECT_TRUE(rig.window.caption.starts_with("Probíhá měření, zbývá")) << rig.window.caption;
  EXPECT_EQ(rig.window.caption.find("nepřicházejí"), std::string::npos) << "one block time is no stall";
  now += 2000;
  rig.recorder->TimerTick();
  EXPECT_NE(rig.window.caption.find("nepřicházejí data (2 s)"), std::string::npos) << rig.window.caption;
  // Data again (the clock stands still, so only data can clear it).
  rig.module().clear_faults();
  const std::uint32_t count = rig.recorder->Store(1)->Count();
  EXPECT_TRUE(rig.TickUntil([&] { return rig.window.caption.find("nepřicházejí") == std::string::npos; }))
      << rig.window.caption;
  EXPECT_GT(rig.recorder->Store(1)->Count(), count);
  rig.Stop();
}

// The start mask is the one of the click: a box checked while the start waits for the
// module changes nothing.
TEST_P(RecorderFaults, ChannelBoxCheckedWhileArmedKeepsTheStartMask) {
  rig.module().inject(sim::Fault::WrongIdentification, sim::FaultMode::Always);
  rig.Start(kCh1Ch2);
  for (int i = 0; i < 3; ++i)
    rig.recorder->TimerTick();
  ASSERT_FALSE(rig.recorder->Running());
  rig.window.controls.Inputs.ch3 = true;
  rig.module().clear_faults();
  rig.RecordAtLeast(3000);
  EXPECT_EQ(rig.state.ChannelMask, 0x03);
  rig.Stop();
  EXPECT_EQ(rig.recorder->Store(3), nullptr);
  EXPECT_TRUE(HoldsOwnSequence(rig.recorder->Store(1), 1));
  EXPECT_TRUE(HoldsOwnSequence(rig.recorder->Store(2), 2));
}

// A tick never pumps the event loop, and a tick that arrives while another is inside
// (here: from every window call the recorder makes) does nothing at all.
TEST_P(RecorderFaults, TickCalledFromInsideATickDoesNothing) {
  rig.module().set_pace(25);
  rig.recorder->SetMaxSeconds(1);
  int nestedTicks = 0, nestedCalls = 0;
  bool inTick = false;
  rig.window.during = [&](const char*) {
    if (!inTick) return;
    inTick = false;  // one nested tick at a time
    const int before = rig.window.calls;
    rig.recorder->TimerTick();
    nestedCalls += rig.window.calls - before;
    ++nestedTicks;
    inTick = true;
  };
  rig.Start({true, false, false, false, false, false});
  inTick = true;                                                  // only ticks make window calls from here on
  ASSERT_TRUE(rig.TickUntil([&] { return !rig.window.timer; }));  // the 1 s store fills and stops it
  inTick = false;
  EXPECT_GT(nestedTicks, 10);
  EXPECT_EQ(nestedCalls, 0);
  EXPECT_EQ(rig.recorder->Store(1)->Count(), 11520u);
  EXPECT_TRUE(HoldsOwnSequence(rig.recorder->Store(1), 1));
}

INSTANTIATE_TEST_SUITE_P(BothPaths, RecorderFaults,
                         ::testing::Values(TAcquisitionPath::Overlapped, TAcquisitionPath::Blocking),
                         [](const auto& info) { return std::string(osc::test::PathName(info.param)); });

// A two-channel module found while CH 3 is checked: the start ends with a reason, the
// module is left in command mode, and the next start records the slots it has.
TEST(RecorderFaultsBlocking, TwoChannelModuleWhileArmedAbandonsTheStart) {
  RecorderRig rig(TAcquisitionPath::Blocking, "SIM2");
  sim::SimulatedModule& two = sim::SimulatedModuleFor("SIM2");
  rig.Start(kCh1To3);
  rig.recorder->TimerTick();
  EXPECT_FALSE(rig.window.timer);
  EXPECT_FALSE(rig.recorder->Running());
  EXPECT_EQ(two.state(), sim::ModuleState::Commands);
  EXPECT_EQ(two.stream_bytes(), 0u);
  EXPECT_TRUE(rig.window.caption.starts_with("Měření nezačalo")) << rig.window.caption;
  two.set_signal(1, sim::SignalSpec{sim::Waveform::Pattern});
  two.set_signal(2, sim::SignalSpec{sim::Waveform::Pattern});
  two.set_pace(10);
  rig.Start(rig.window.controls.Inputs);
  ASSERT_TRUE(rig.RecordAtLeast(1000));
  rig.Stop();
  EXPECT_EQ(rig.recorder->Store(3), nullptr);
  EXPECT_TRUE(HoldsOwnSequence(rig.recorder->Store(2), 2));
}

// The window closes while the module's start reply is awaited: the recorder ends
// without a hang, and the module is back in command mode.
TEST(RecorderFaultsOverlapped, ClosingWhileTheStartReplyIsAwaitedExitsCleanly) {
  auto rig = std::make_unique<RecorderRig>(TAcquisitionPath::Overlapped);
  rig->PatternOnAllInputs();
  rig->window.during = [&](const char* what) {
    // The tick's "Start" caption comes right before the start byte.
    if (std::string(what) == "SetCaption" && !rig->recorder->Running())
      rig->module().inject(sim::Fault::Silence, sim::FaultMode::Once);
  };
  rig->Start(kCh1Ch2);
  rig->recorder->TimerTick();
  EXPECT_FALSE(rig->recorder->Running());
  ASSERT_EQ(rig->window.retries.size(), 1u);
  EXPECT_FALSE(rig->window.retries[0].empty()) << "the start failed after the module answered: say why";
  rig->window.during = nullptr;
  rig->recorder.reset();
  EXPECT_EQ(rig->module().state(), sim::ModuleState::Commands);
  EXPECT_TRUE(rig->protocol.Identify());
}

// Raw queries whose replies come late, after the overlapped 100 ms wait (300 ms: after
// the next request would go out): every one is a no-value marker, none takes the late
// reply of the query before it (each reply carries another reading), and no cancelled
// read writes into a buffer after its exchange ended (ASan).
TEST(RecorderFaultsOverlapped, LateRawRepliesGiveOnlyNoValueMarkers) {
  RecorderRig rig(TAcquisitionPath::Overlapped);
  rig.PatternOnAllInputs();
  ASSERT_TRUE(rig.protocol.Identify());
  for (auto delay : {150ms, 300ms}) {
    rig.module().set_reply_delay(delay);
    int values = 0;
    for (int i = 0; i < 4; ++i) {
      const std::int32_t v = rig.protocol.QueryRawValue(1 + i % 4, false);
      if (v != kNoValue) ++values;
    }
    EXPECT_EQ(values, 0) << delay.count() << " ms late";
  }
  // On time again, the next query answers with the module's current reading.
  rig.module().set_reply_delay(0ms);
  const std::uint64_t asked = rig.module().with_model([](sim::ModuleModel& m) { return m.raw_queries(); });
  const std::int32_t v = rig.protocol.QueryRawValue(2, false);
  const std::uint64_t after = rig.module().with_model([](sim::ModuleModel& m) { return m.raw_queries(); });
  ASSERT_EQ(after, asked + 1);
  EXPECT_EQ(v, sim::ExpectedSample(2, asked) * 64);
}

// A regular file named as the port (in /dev, where ports are looked for, when that is
// writable, and in the temporary folder) is never opened, however often the armed
// recording retries its start.
TEST(RecorderFaultsPort, RegularFileNamedAsThePortStaysByteIdentical) {
  const std::string contents = "precious\x01\x02\x03 contents";
  for (const std::string& folder : {std::string("/dev"), std::filesystem::temp_directory_path().string()}) {
    if (::access(folder.c_str(), W_OK) != 0) continue;
    const std::string path = folder + "/osc-rec-port-" + std::to_string(::getpid());
    std::ofstream(path, std::ios::binary) << contents;
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    for (TAcquisitionPath acquisition : {TAcquisitionPath::Overlapped, TAcquisitionPath::Blocking}) {
      RecorderRig rig(acquisition, path);
      rig.Start(kCh1Ch2);
      for (int i = 0; i < 4; ++i)
        rig.recorder->TimerTick();
      EXPECT_FALSE(rig.com.Active());
      EXPECT_TRUE(rig.window.errors.empty());
      // The stop's identification cannot open it either: an operator command, whose
      // error the window shows.
      EXPECT_THROW(rig.Stop(), ECommError);
    }
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), contents) << path;
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    std::remove(path.c_str());
  }
}

}  // namespace

// A run of bytes that vanishes without a word is found by the rate check (the
// recorder's clock runs at the module's pace). What the port reports (framing errors)
// is counted by the main window's loss test; the check itself is the ledger's.
TEST(RecorderLosses, BytesThatVanishSilentlyAreCountedByTheRate) {
  RecorderRig rig(TAcquisitionPath::Overlapped);
  rig.PatternOnAllInputs();
  constexpr int kPace = 10;
  rig.module().set_pace(kPace);
  rig.recorder->SetClock([] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
               .count() *
           kPace;
  });
  rig.Start(kCh1Ch2);
  ASSERT_TRUE(rig.RecordAtLeast(11520 * 8));  // 16 s of module time: the check's window is full
  for (int k = 0; k < 2; ++k) {
    rig.module().inject(sim::Fault::LostRun, sim::FaultMode::Once);
    const std::uint32_t from = rig.recorder->Store(1)->Count();
    ASSERT_TRUE(rig.RecordAtLeast(from + 11520 * 6));  // 12 s: one loss at a time
  }
  rig.Stop();
  const TLossLedger& losses = rig.recorder->Losses();
  EXPECT_NEAR(static_cast<double>(losses.Total()), 9600, 1200) << "two runs of 4800 bytes";
  for (const TLossEvent& e : losses.Events())
    EXPECT_EQ(e.Kind, TLossKind::Shortfall);
}
