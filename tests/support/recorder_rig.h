#pragma once
// A main window for the recording control: a host that records what the recorder asked
// of the window, the port configured as the window configures it, the simulated module
// behind "SIM4", a graph, and helpers that drive a recording by polling with generous
// time-outs.
#include "acquisition/loss.h"
#include "acquisition/protocol.h"
#include "acquisition/recorder.h"
#include "config/range_entry.h"
#include "graph/graph_data.h"
#include "graph/view.h"
#include "platform/kernel/kernel.h"
#include "seriallink/serial_com.h"
#include "simulator/signal.h"
#include "simulator/simulated_module.h"
#include "support/fake_view_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace osc::test {

class RecorderWindow : public TRecorderHost, public ProtocolHost {
 public:
  TRecordingControls controls;
  bool down = false;
  bool timer = false;
  std::string caption;
  std::vector<std::string> captions;
  int beeps = 0;
  int recordingChanges = 0;
  std::vector<std::string> errors;
  std::string port = "SIM4";
  // Every call the recorder makes on the window, so a nested tick that did work shows.
  int calls = 0;
  // Runs inside every window call (a re-entrant tick, a click while armed...).
  std::function<void(const char* what)> during;

  TRecordingControls RecordingControls() override {
    Called("RecordingControls");
    return controls;
  }
  void SetCaption(const std::string& text) override {
    Called("SetCaption");
    caption = text;
    captions.push_back(text);
  }
  void Beep() override {
    Called("Beep");
    ++beeps;
  }
  bool RecordButtonDown() override {
    Called("RecordButtonDown");
    return down;
  }
  void SetRecordButtonDown(bool d) override {
    Called("SetRecordButtonDown");
    down = d;
  }
  void RecordingChanged(bool recording) override {
    Called("RecordingChanged");
    timer = recording;
    ++recordingChanges;
  }
  bool MainTimerEnabled() override {
    Called("MainTimerEnabled");
    return timer;
  }
  void PostRunTimerNow() override { Called("PostRunTimerNow"); }
  bool AutoZoom() override {
    Called("AutoZoom");
    return true;
  }
  bool AutoMove() override {
    Called("AutoMove");
    return true;
  }
  bool PeakDisplay() override { return false; }
  void NavigateEnd() override { Called("NavigateEnd"); }
  void ClearMeasuringPoints() override { Called("ClearMeasuringPoints"); }
  void ShowError(const std::string& m) override {
    Called("ShowError");
    errors.push_back(m);
  }

  // Why each start that reached no recording is tried again ("" : no answer).
  std::vector<std::string> retries;
  void StartRetried(const std::string& why) override { retries.push_back(why); }

  const TOscRozsah* range = nullptr;
  const TOscRozsah* SelectedRange() override { return range; }

  std::string PortName() override { return port; }
  void ApplyModelType(int) override {}
  // As the window does: polarity "Positive", CH 3, CH 4, (5) and (6) unchecked.
  void TwoChannelModelFound() override {
    controls.PolarityIndex = 0;
    controls.Inputs.ch3 = controls.Inputs.ch4 = controls.Inputs.ch5 = controls.Inputs.ch6 = false;
  }
  void ShowAnalogReadings(const std::string&) override {}
  bool CancelIoAvailable() override { return true; }

 private:
  void Called(const char* what) {
    ++calls;
    if (during) during(what);
  }
};

inline const char* PathName(TAcquisitionPath path) {
  return path == TAcquisitionPath::Overlapped ? "Overlapped" : "Blocking";
}

struct RecorderRig {
  explicit RecorderRig(TAcquisitionPath path, const std::string& port = "SIM4") {
    sim::RegisterSimulatedPorts();
    sim::ResetSimulatedModules();
    window.port = port;
    ConfigureMainWindowCom(com);
    protocol.SetSleep([](win::DWORD) {});
    view.SetGraphData(&data);
    data.SetAutoDestroySeries(true);
    recorder = std::make_unique<TRecorder>(window, com, state, protocol, data, view, path);
  }
  ~RecorderRig() {
    window.during = nullptr;
    recorder.reset();
    com.Close();
    sim::ResetSimulatedModules();
  }
  sim::SimulatedModule& module() { return sim::SimulatedModuleFor("SIM4"); }
  void PatternOnAllInputs() {
    for (int ch = 1; ch <= 6; ++ch)
      module().set_signal(ch, sim::SignalSpec{sim::Waveform::Pattern});
  }

  // Presses the record button (or F12) as the window does.
  void Click(bool down) {
    window.down = down;
    recorder->RecordButtonClicked();
  }
  void Start(const InputSelection& inputs) {
    window.controls.Inputs = inputs;
    Click(true);
  }
  void Stop() { Click(false); }

  // Ticks until `done` holds or the time-out passes (then a test failure).
  bool TickUntil(const std::function<bool()>& done, int timeoutMs = 20000, int pauseMs = 2) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) {
        ADD_FAILURE() << "time-out waiting for the recording";
        return false;
      }
      if (window.timer) recorder->TimerTick();
      win::Sleep(static_cast<win::DWORD>(pauseMs));
    }
    return true;
  }
  // The window's thread is busy elsewhere: no tick until `done` holds.
  bool StallUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    const bool timer = window.timer;
    window.timer = false;
    const bool ok = TickUntil(done, timeoutMs, 1);
    window.timer = timer;
    return ok;
  }
  bool RecordAtLeast(std::uint32_t samples, int timeoutMs = 20000) {
    return TickUntil(
        [&] {
          for (int slot = 1; slot <= 4; ++slot) {
            if (const TDataStore* s = recorder->Store(slot)) return s->Count() >= samples;
          }
          return false;
        },
        timeoutMs);
  }

  RecorderWindow window;
  TSerialCom com;
  ProtocolState state;
  DeviceProtocol protocol{com, state, window};
  TVelaGraphData data;
  test::FakeHost viewHost{TSize{600, 400}};
  TVelaGraph view{viewHost};
  std::unique_ptr<TRecorder> recorder;
};

// Every stored sample of `slot` is the Pattern's sample at its own index.
inline ::testing::AssertionResult HoldsOwnSequence(const TDataStore* store, int slot) {
  if (store == nullptr) return ::testing::AssertionFailure() << "slot " << slot << " has no store";
  const std::uint32_t n = store->Count();
  for (std::uint32_t i = 0; i < n; ++i) {
    if (store->Samples()[i] != sim::ExpectedSample(slot, i))
      return ::testing::AssertionFailure()
             << "slot " << slot << " sample " << i << " of " << n << " is " << int(store->Samples()[i])
             << ", expected " << int(sim::ExpectedSample(slot, i));
  }
  return ::testing::AssertionSuccess();
}

// Every sample at its true place in the stream (sample i of the slot is stream sample
// i), except the filler of dropped blocks, which the ledger marks; `gapSamples` counts
// the filler.
inline ::testing::AssertionResult HoldsTrueTimes(const TDataStore* store, int slot, const TLossLedger& ledger,
                                                 std::uint64_t* gapSamples) {
  if (store == nullptr) return ::testing::AssertionFailure() << "slot " << slot << " has no store";
  *gapSamples = 0;
  for (std::uint32_t i = 0; i < store->Count(); ++i) {
    if (ledger.InGap(i)) {
      ++*gapSamples;
    } else if (store->Samples()[i] != sim::ExpectedSample(slot, i)) {
      return ::testing::AssertionFailure() << "slot " << slot << ": sample " << i << " is not the stream's";
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace osc::test
