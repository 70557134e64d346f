// Soak of the recording control against the simulated module, run by hand:
//
//   bench_recorder_soak [--path overlapped|blocking|both] [--minutes M] [--pace P]
//                       [--stall S] [--skip-soak] [--skip-stall]
//
// Soak: 4 channels of the Pattern signal for M minutes of recording time (10) with the
// module P times as fast as the real line (3), the main timer at its 800 ms; the
// recording stops by itself when the stores are full. Every stored sample is compared
// with the Pattern: lost, doubled, reordered or misrouted samples all count as errors.
// Printed: samples, errors, dropped and short blocks, CPU time of the process and of
// the timer's thread per recorded minute, the longest tick.
//
// Stall: at the real rate, 4 channels, the timer's thread stops ticking for S seconds
// (3) after 10 s of recording (then the ring keeps 16 reads out; within the first 16
// blocks more reads are out and a stall beyond 16 blocks drops the oldest); nothing may
// be lost. The next tick comes 800 ms after the stall, so the gap is S + 0.8 s.
//
// Exit status 0 when every run had 0 errors.
#include "acquisition/protocol.h"
#include "acquisition/recorder.h"
#include "bench/quiet_window.h"
#include "graph/graph_data.h"
#include "graph/view.h"
#include "graph/view_host.h"
#include "platform/kernel/kernel.h"
#include "seriallink/serial_com.h"
#include "simulator/signal.h"
#include "simulator/simulated_module.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace osc;
using Clock = std::chrono::steady_clock;

double CpuSeconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Samples of `slot` that differ from the Pattern at their index.
std::uint64_t SequenceErrors(const TDataStore* store, int slot) {
  if (store == nullptr) return 1;
  std::uint64_t errors = 0;
  for (std::uint32_t i = 0; i < store->Count(); ++i)
    errors += store->Samples()[i] != sim::ExpectedSample(slot, i);
  return errors;
}

struct Run {
  std::uint64_t samples = 0;
  std::uint64_t errors = 0;
  std::uint64_t dropped = 0;
  std::uint64_t shortBlocks = 0;
  double recordedMinutes = 0;
  double processCpu = 0;
  double timerThreadCpu = 0;
  double longestTickMs = 0;         // the start handshake included (opening, 160 ms pause)
  double longestRunningTickMs = 0;  // ticks of a running recording
  double wallSeconds = 0;
  std::size_t messages = 0;
};

class Bench {
 public:
  explicit Bench(TAcquisitionPath path) {
    sim::RegisterSimulatedPorts();
    sim::ResetSimulatedModules();
    ConfigureMainWindowCom(com_, [this](TSerialCom&) { protocol_.PortActivated(); });
    view_.SetGraphData(&data_);
    data_.SetAutoDestroySeries(true);
    recorder_ = std::make_unique<TRecorder>(window_, com_, state_, protocol_, data_, view_, path);
    for (int ch = 1; ch <= 4; ++ch)
      module().set_signal(ch, sim::SignalSpec{sim::Waveform::Pattern});
    window_.controls.Inputs = {true, true, true, true, false, false};
    window_.autoMove = true;
  }
  ~Bench() {
    recorder_.reset();
    com_.Close();
  }
  sim::SimulatedModule& module() { return sim::SimulatedModuleFor("SIM4"); }

  // Records with an 800 ms timer until the stores are full or `stopAfter` seconds of
  // recording time have passed; the timer's thread sleeps `stallSeconds` once, after
  // `stallAt` seconds of recording.
  Run Record(double pace, int maxSeconds, double stopAfter, double stallAt, double stallSeconds) {
    module().set_pace(pace);
    recorder_->SetMaxSeconds(maxSeconds);
    Run run;
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double thread0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto wall0 = Clock::now();
    window_.down = true;
    recorder_->RecordButtonClicked();
    bool stalled = false;
    auto nextTick = Clock::now();
    while (window_.timer) {
      if (window_.runNow) {
        window_.runNow = false;
      } else {
        nextTick += std::chrono::milliseconds(800);
        std::this_thread::sleep_until(nextTick);
      }
      const bool running = recorder_->Running();
      const auto t0 = Clock::now();
      recorder_->TimerTick();
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      run.longestTickMs = std::max(run.longestTickMs, ms);
      if (running) run.longestRunningTickMs = std::max(run.longestRunningTickMs, ms);
      const double recorded = RecordedSeconds();
      if (!stalled && stallSeconds > 0 && recorded >= stallAt) {
        stalled = true;
        std::this_thread::sleep_for(std::chrono::duration<double>(stallSeconds));
        nextTick = Clock::now();
      }
      if (stopAfter > 0 && recorded >= stopAfter && window_.timer) {
        window_.down = false;
        recorder_->RecordButtonClicked();
      }
    }
    run.wallSeconds = std::chrono::duration<double>(Clock::now() - wall0).count();
    run.processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    run.timerThreadCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread0;
    for (int slot = 1; slot <= 4; ++slot) {
      const TDataStore* store = recorder_->Store(slot);
      run.samples += store ? store->Count() : 0;
      run.errors += SequenceErrors(store, slot);
    }
    run.recordedMinutes = RecordedSeconds() / 60.0;
    run.dropped = recorder_->DroppedBlocks();
    run.shortBlocks = recorder_->ShortBlocks();
    run.messages = window_.errors.size();
    return run;
  }

 private:
  double RecordedSeconds() const {
    const TDataStore* s = recorder_->Store(1);
    return s ? static_cast<double>(s->Count()) / s->Rate() : 0.0;
  }

  test::QuietWindow window_;
  TSerialCom com_;
  ProtocolState state_;
  DeviceProtocol protocol_{com_, state_, window_};
  TVelaGraphData data_;
  test::FixedScreen screen_;
  TVelaGraph view_{screen_};
  std::unique_ptr<TRecorder> recorder_;
};

void Print(const char* what, TAcquisitionPath path, const Run& r) {
  const char* name = path == TAcquisitionPath::Overlapped ? "overlapped" : "blocking";
  std::printf("%-6s %-10s samples %llu  errors %llu  dropped blocks %llu  short blocks %llu  messages %zu\n",
              what, name, static_cast<unsigned long long>(r.samples),
              static_cast<unsigned long long>(r.errors), static_cast<unsigned long long>(r.dropped),
              static_cast<unsigned long long>(r.shortBlocks), r.messages);
  const double minutes = std::max(r.recordedMinutes, 1e-9);
  std::printf(
      "       recorded %.2f min in %.1f s  CPU per recorded minute: process %.3f s, timer thread %.3f s  "
      "longest "
      "tick %.2f ms (%.2f ms while running)\n",
      r.recordedMinutes, r.wallSeconds, r.processCpu / minutes, r.timerThreadCpu / minutes, r.longestTickMs,
      r.longestRunningTickMs);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<TAcquisitionPath> paths{TAcquisitionPath::Overlapped, TAcquisitionPath::Blocking};
  int minutes = 10;
  double pace = 3.0;
  double stall = 3.0;
  bool soak = true;
  bool stallRun = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--path") {
      const std::string p = next();
      if (p == "overlapped") paths = {TAcquisitionPath::Overlapped};
      if (p == "blocking") paths = {TAcquisitionPath::Blocking};
    } else if (a == "--minutes") {
      minutes = std::atoi(next().c_str());
    } else if (a == "--pace") {
      pace = std::atof(next().c_str());
    } else if (a == "--stall") {
      stall = std::atof(next().c_str());
    } else if (a == "--skip-soak") {
      soak = false;
    } else if (a == "--skip-stall") {
      stallRun = false;
    } else {
      std::fprintf(stderr, "unknown argument %s\n", a.c_str());
      return 2;
    }
  }
  std::uint64_t errors = 0;
  for (TAcquisitionPath path : paths) {
    if (soak) {
      Bench bench(path);
      const Run r = bench.Record(pace, minutes * 60, 0, 0, 0);
      Print("soak", path, r);
      errors += r.errors + r.dropped + r.messages;
    }
    if (stallRun) {
      Bench bench(path);
      // In steady state: after the first 16 blocks the ring keeps 16 reads out.
      const Run r = bench.Record(1.0, 60, 10.0 + stall + 3.0, 10.0, stall);
      Print("stall", path, r);
      errors += r.errors + r.dropped + r.messages;
    }
  }
  return errors == 0 ? 0 : 1;
}
