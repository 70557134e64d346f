// The recording control end to end against the simulated module, on both paths.
#include "acquisition/recorder.h"

#include "acquisition/protocol.h"
#include "graph/fake_host.h"
#include "graph/graph_data.h"
#include "graph/view.h"
#include "platform/kernel.h"
#include "seriallink/serial_com.h"
#include "simulator/signal.h"
#include "simulator/simulated_module.h"

#include <gtest/gtest.h>

using namespace osc;

namespace {

class Window : public TRecorderHost, public ProtocolHost {
 public:
  TRecordingControls controls;
  bool down = false;
  bool timer = false;
  std::string caption;
  int beeps = 0;
  std::vector<std::string> errors;

  TRecordingControls RecordingControls() override { return controls; }
  void SetCaption(const std::string& text) override { caption = text; }
  void Beep() override { ++beeps; }
  bool RecordButtonDown() override { return down; }
  void SetRecordButtonDown(bool d) override { down = d; }
  void RecordingChanged(bool recording) override { timer = recording; }
  bool MainTimerEnabled() override { return timer; }
  void PostRunTimerNow() override {}
  bool AutoZoom() override { return true; }
  bool AutoMove() override { return false; }
  bool PeakDisplay() override { return false; }
  void NavigateEnd() override {}
  void ClearMeasuringPoints() override {}
  void ShowError(const std::string& m) override { errors.push_back(m); }

  std::string PortName() override { return "SIM4"; }
  void ApplyModelType(int) override {}
  void TwoChannelModelFound() override {}
  void ShowAnalogReadings(const std::string&) override {}
  bool CancelIoAvailable() override { return true; }
};

struct Rig {
  explicit Rig(TAcquisitionPath path) {
    sim::RegisterSimulatedPorts();
    sim::ResetSimulatedModules();
    ConfigureMainWindowCom(com);
    protocol.SetSleep([](win::DWORD) {});
    view.SetGraphData(&data);
    data.SetAutoDestroySeries(true);
    recorder = std::make_unique<TRecorder>(window, com, state, protocol, data, view, path);
  }
  ~Rig() {
    recorder.reset();
    com.Close();
  }
  sim::SimulatedModule& module() { return sim::SimulatedModuleFor("SIM4"); }

  Window window;
  TSerialCom com;
  ProtocolState state;
  DeviceProtocol protocol{com, state, window};
  TVelaGraphData data;
  test::FakeHost viewHost{TSize{600, 400}};
  TVelaGraph view{viewHost};
  std::unique_ptr<TRecorder> recorder;
};

class RecorderPaths : public ::testing::TestWithParam<TAcquisitionPath> {};

TEST_P(RecorderPaths, FourSlotsDeinterleaveByteForByte) {
  Rig rig(GetParam());
  for (int ch = 1; ch <= 4; ++ch)
    rig.module().set_signal(ch, sim::SignalSpec{sim::Waveform::Pattern});
  rig.module().set_pace(20);
  rig.window.controls.Inputs = {true, true, true, true, false, false};
  rig.window.down = true;
  rig.recorder->RecordButtonClicked();
  ASSERT_TRUE(rig.window.timer);
  for (int tick = 0;
       tick < 400 && (rig.recorder->Store(1) == nullptr || rig.recorder->Store(1)->Count() < 6000); ++tick) {
    rig.recorder->TimerTick();
    win::Sleep(10);
  }
  rig.window.down = false;
  rig.recorder->RecordButtonClicked();
  EXPECT_FALSE(rig.window.timer);
  EXPECT_EQ(rig.window.caption, "Zastaveno");
  for (int slot = 1; slot <= 4; ++slot) {
    const TDataStore* store = rig.recorder->Store(slot);
    ASSERT_NE(store, nullptr);
    ASSERT_GE(store->Count(), 6000u) << "slot " << slot;
    for (std::uint32_t i = 0; i < store->Count(); ++i) {
      ASSERT_EQ(store->Samples()[i], sim::ExpectedSample(slot, i)) << "slot " << slot << " sample " << i;
    }
  }
  EXPECT_EQ(rig.data.SeriesCount(), 4);
  EXPECT_TRUE(rig.window.errors.empty());
}

TEST_P(RecorderPaths, StartWithNoInputReleasesTheButtonAndChangesNothing) {
  Rig rig(GetParam());
  rig.window.controls.Inputs = {};
  rig.window.down = true;
  rig.recorder->RecordButtonClicked();
  EXPECT_FALSE(rig.window.down);
  EXPECT_FALSE(rig.window.timer);
  EXPECT_EQ(rig.recorder->Store(1), nullptr);
  EXPECT_FALSE(rig.com.Active());
}

INSTANTIATE_TEST_SUITE_P(BothPaths, RecorderPaths,
                         ::testing::Values(TAcquisitionPath::Overlapped, TAcquisitionPath::Blocking));

TEST(Recorder, ShortBlocksKeepTheSlotOrder) {
  Rig rig(TAcquisitionPath::Overlapped);
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

}  // namespace
