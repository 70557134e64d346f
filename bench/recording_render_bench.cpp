// Rendering a real recording: the recorder's own stores (4 slots at 2880 samples/s,
// filled through DistributeBlock as the module's blocks arrive), its series and value
// callback with and without the peak display, drawn by the graph view on a 1000 x 700
// Qt image. Record lengths of 10 minutes (1.7 M samples per slot, 6.9 M in all) and
// 40 minutes (6.9 M per slot). Runs offscreen on one core:
//   bench_recording_render --benchmark_repetitions=9 --benchmark_report_aggregates_only
// The counters "record_MiB", "blocks_MiB" and "overhead_pct" compare the resident
// memory the record took with the blocks it was given.
#include <benchmark/benchmark.h>

#include <sched.h>
#include <unistd.h>
#include "bench_recording.h"
#include "bench_setup.h"

#include <QGuiApplication>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "acquisition/protocol.h"
#include "acquisition/recorder.h"
#include "acquisition/scaling.h"
#include "bench/quiet_window.h"
#include "config/range_entry.h"
#include "graph/graph_data.h"
#include "graph/view.h"
#include "platform/qt/qt_canvas.h"
#include "seriallink/serial_com.h"

using namespace osc;

namespace {

constexpr int kSlots = 4;
constexpr double kSecond = 1.0 / 86400;

// The main window as far as drawing a finished recording needs it.
long ResidentBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

// One slot's signal: a few hertz of sine with a slow drift, a burst now and then and
// noise, as 8-bit samples around mid-scale. A table keeps the filling quick.
class Signal {
 public:
  explicit Signal(int slot) : hz_(3 + slot), phase_(slot * 0.7) {
    for (int i = 0; i < kTable; ++i)
      table_[i] = std::sin(2 * M_PI * i / kTable);
  }
  std::uint8_t Next(std::uint32_t i, std::uint32_t rate) {
    const double t = static_cast<double>(i) / rate;
    const double drift = 20 * Sine(t / 97 + phase_);
    const double burst = (static_cast<std::uint32_t>(t) % 37 == 0) ? 30 * Sine(t * 180) : 0;
    seed_ = seed_ * 1664525u + 1013904223u;
    const double noise = static_cast<double>(seed_ >> 28) - 7.5;
    const double v = 128 + 80 * Sine(t * hz_ + phase_) + drift + burst + noise;
    return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
  }

 private:
  static constexpr int kTable = 4096;
  double Sine(double turns) const {
    const double f = turns - std::floor(turns);
    return table_[static_cast<int>(f * kTable) & (kTable - 1)];
  }
  double hz_;
  double phase_;
  std::uint32_t seed_ = 12345;
  double table_[kTable];
};

// A finished recording of `minutes` in the recorder, its series in the view.
class Recording {
 public:
  explicit Recording(int minutes) : r_(minutes) {
    // The bench's own signal tables are made first: only the record is measured.
    std::vector<Signal> sources;
    for (int slot = 1; slot <= kSlots; ++slot)
      sources.emplace_back(slot);
    const long before = ResidentBytes();
    r_.Record([&](int slot, std::uint32_t i, std::uint32_t rate) { return sources[slot].Next(i, rate); });
    recordBytes_ = ResidentBytes() - before;
    for (int slot = 1; slot <= kSlots; ++slot)
      blockBytes_ += r_.Recorder().Store(slot)->Capacity();
  }

  void SetPeak(bool on) { r_.Window().peak = on; }
  void ShowAll() {
    for (int slot = 1; slot <= kSlots; ++slot)
      r_.Recorder().RefreshStore(slot, true);
  }
  // `seconds` from `from` seconds after the start (all X axes are locked together).
  void Show(double from, double seconds) {
    const double start = r_.Recorder().Store(1)->Start();
    View().XAxis(0)->SetRange(start + from * kSecond, start + (from + seconds) * kSecond);
  }
  void Repaint() {
    View().InvalidateImage();
    View().Paint();
  }
  TVelaGraph& View() { return r_.View(); }
  std::uint32_t Step() const { return Store1().Step(); }
  double Seconds() const { return Store1().Duration() / kSecond; }

  void Report(benchmark::State& state) const {
    state.counters["record_MiB"] = static_cast<double>(recordBytes_) / (1 << 20);
    state.counters["blocks_MiB"] = static_cast<double>(blockBytes_) / (1 << 20);
    state.counters["overhead_pct"] = 100.0 * (static_cast<double>(recordBytes_) / blockBytes_ - 1);
    state.counters["step"] = Step();
  }

 private:
  const TDataStore& Store1() const { return *r_.Stores()[0]; }

  bench::TBenchRecording r_;
  long recordBytes_ = 0;
  long blockBytes_ = 0;
};

// One recording per length, made once: filling 27 M samples takes a while.
Recording& RecordingOf(int minutes) {
  static std::map<int, std::unique_ptr<Recording>> recordings;
  auto& r = recordings[minutes];
  if (!r) r = std::make_unique<Recording>(minutes);
  return *r;
}

void BM_FullView(benchmark::State& state) {
  Recording& r = RecordingOf(static_cast<int>(state.range(0)));
  r.SetPeak(state.range(1) != 0);
  r.ShowAll();
  for (auto _ : state)
    r.Repaint();
  r.Report(state);
}
BENCHMARK(BM_FullView)
    ->ArgsProduct({{10, 40}, {1, 0}})
    ->ArgNames({"min", "peak"})
    ->Unit(benchmark::kMillisecond);

// One second in the middle of the record.
void BM_OneSecondView(benchmark::State& state) {
  Recording& r = RecordingOf(static_cast<int>(state.range(0)));
  r.SetPeak(state.range(1) != 0);
  r.Show(r.Seconds() / 2, 1);
  for (auto _ : state)
    r.Repaint();
  r.Report(state);
}
BENCHMARK(BM_OneSecondView)
    ->ArgsProduct({{10, 40}, {1, 0}})
    ->ArgNames({"min", "peak"})
    ->Unit(benchmark::kMillisecond);

// A tenth of a one-minute view to the right and back, each followed by the paint.
void BM_PanStep(benchmark::State& state) {
  Recording& r = RecordingOf(static_cast<int>(state.range(0)));
  r.SetPeak(state.range(1) != 0);
  r.Show(r.Seconds() / 2, 60);
  r.Repaint();
  int direction = 1;
  for (auto _ : state) {
    r.View().XAxis(0)->Scroll(10 * direction);
    r.View().Paint();
    direction = -direction;
  }
  r.Report(state);
}
BENCHMARK(BM_PanStep)
    ->ArgsProduct({{10, 40}, {1, 0}})
    ->ArgNames({"min", "peak"})
    ->Unit(benchmark::kMillisecond);

// The cross following the mouse over the whole record: erase, snap, draw.
void BM_CrossMove(benchmark::State& state) {
  Recording& r = RecordingOf(static_cast<int>(state.range(0)));
  r.SetPeak(state.range(1) != 0);
  r.ShowAll();
  r.Repaint();
  int x = 100;
  for (auto _ : state) {
    r.View().MouseMove(0, x, 300);
    x = x == 900 ? 100 : x + 1;
  }
  r.Report(state);
}
BENCHMARK(BM_CrossMove)
    ->ArgsProduct({{10, 40}, {1, 0}})
    ->ArgNames({"min", "peak"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  osc::bench::OffscreenOnOneCore();
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
