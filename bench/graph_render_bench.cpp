// Rendering speed of the graph view: a 1000 x 700 view of 4 graphs, each series with
// 6.912 M samples (10 min at 11520 samples/s) read through the value callback, thinned
// by its owner through Count and XStep as the main window does. Runs offscreen on one
// core:  bench_graph_render --benchmark_repetitions=9 --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>

#include <sched.h>
#include "bench_setup.h"

#include <QGuiApplication>
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "acquisition/measurement_text.h"
#include "bench/quiet_window.h"
#include "graph/graph_data.h"
#include "graph/series.h"
#include "graph/view.h"
#include "platform/qt/qt_canvas.h"

using namespace osc;

namespace {

constexpr int kChannels = 4;
constexpr std::uint32_t kRate = 11520;
constexpr std::uint32_t kSamples = kRate * 600;
constexpr double kSecond = 1.0 / 86400;
constexpr double kStart = 45000.5;  // a day at noon

// 5..8 Hz sines with noise, quantised to 8 bits like the module's samples.
const std::vector<std::vector<std::uint8_t>>& Samples() {
  static const std::vector<std::vector<std::uint8_t>> samples = [] {
    std::vector<std::vector<std::uint8_t>> s(kChannels, std::vector<std::uint8_t>(kSamples));
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0, 6);
    for (int c = 0; c < kChannels; ++c) {
      const double f = 5 + c;
      for (std::uint32_t i = 0; i < kSamples; ++i) {
        const double v = 128 + 90 * std::sin(2 * M_PI * f * i / kRate) + noise(random);
        s[c][i] = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
      }
    }
    return s;
  }();
  return samples;
}

// The view with one series per graph; `step` samples per series point.
class Scene {
 public:
  Scene() {
    view_.SetGraphData(&data_);  // first, so that the axes follow the series' ranges
    for (int c = 0; c < kChannels; ++c) {
      auto& s = series_[c];
      s.SetGraphNumber(c + 1);
      s.SetTag(c);
      s.SetXStart(kStart);
      s.SetAutoXMinMax(false);
      s.SetAutoYMinMax(false);
      s.SetYMin(-5.05);
      s.SetYMax(5.05);
      s.OnGetValue = [this](TVelaSeries& sender, int index, double& value) {
        const std::uint8_t raw = Samples()[sender.Tag()][static_cast<std::size_t>(index) * step_];
        value = -5 + 10.0 * raw / 255;
      };
      data_.AddSeries(&s);
    }
    for (int c = 0; c < kChannels; ++c) {
      TAxis& x = *view_.XAxis(c);
      x.SetAutoMinMax(false);
      x.SetStyle(asTime);
      x.SetMinMax(kStart, kStart + 600 * kSecond);
      view_.YAxis(c)->ZoomAll();
    }
  }
  ~Scene() { data_.Clear(); }

  void Decimate(std::uint32_t step) {
    step_ = step;
    for (auto& s : series_) {
      s.SetCount(kSamples / step);
      s.SetXStep(step * kSecond / kRate);
    }
  }
  void Show(double fromSecond, double seconds) {
    view_.XAxis(0)->SetRange(kStart + fromSecond * kSecond, kStart + (fromSecond + seconds) * kSecond);
  }
  void Repaint() {
    view_.InvalidateImage();
    view_.Paint();
  }
  TVelaGraph& View() { return view_; }

 private:
  test::FixedScreen host_{TSize{1000, 700}, [] { return std::make_unique<TQtImage>(96); }};
  TVelaGraphData data_;
  TVelaGraph view_{host_};
  TBaseEquiDistantSeries series_[kChannels];
  std::uint32_t step_ = 1;
};

// The whole record: 2 points per second, 1200 per series.
void BM_FullRepaint_FullView(benchmark::State& state) {
  Scene scene;
  scene.Decimate(kRate / 2);
  scene.Show(0, 600);
  for (auto _ : state)
    scene.Repaint();
}
BENCHMARK(BM_FullRepaint_FullView)->Unit(benchmark::kMillisecond);

// One second at 300 s: 1920 points per second, about 1920 visible per series.
void BM_FullRepaint_OneSecondView(benchmark::State& state) {
  Scene scene;
  scene.Decimate(kRate / 1920);
  scene.Show(300, 1);
  for (auto _ : state)
    scene.Repaint();
}
BENCHMARK(BM_FullRepaint_OneSecondView)->Unit(benchmark::kMillisecond);

// A tenth of the one-second view to the right and back, each followed by the paint.
void BM_PanStep_OneSecondView(benchmark::State& state) {
  Scene scene;
  scene.Decimate(kRate / 1920);
  scene.Show(300, 1);
  scene.Repaint();
  int direction = 1;
  for (auto _ : state) {
    scene.View().XAxis(0)->Scroll(10 * direction);
    scene.View().Paint();
    direction = -direction;
  }
}
BENCHMARK(BM_PanStep_OneSecondView)->Unit(benchmark::kMillisecond);

// The cross following the mouse over the cached image: erase, snap, draw.
void BM_CrossMove(benchmark::State& state) {
  Scene scene;
  scene.Decimate(kRate / 1920);
  scene.Show(300, 1);
  scene.Repaint();
  int x = 100;
  for (auto _ : state) {
    scene.View().MouseMove(0, x, 300);
    x = x == 900 ? 100 : x + 1;
  }
}
BENCHMARK(BM_CrossMove)->Unit(benchmark::kMicrosecond);

// The same with the main window's reading of the cross: the text the label is given.
void BM_CrossMove_WithReading(benchmark::State& state) {
  Scene scene;
  scene.Decimate(kRate / 1920);
  scene.Show(300, 1);
  scene.Repaint();
  QString label;
  scene.View().OnCrossMove = [&label](TVelaGraph&, TDoublePoint& pos, TVelaSeries*) {
    label = QString::fromStdString(ValueText(pos.X, pos.Y, "V"));
  };
  int x = 100;
  for (auto _ : state) {
    scene.View().MouseMove(0, x, 300);
    x = x == 900 ? 100 : x + 1;
  }
  benchmark::DoNotOptimize(label);
}
BENCHMARK(BM_CrossMove_WithReading)->Unit(benchmark::kMicrosecond);

// The frame without curves: backgrounds, axes, labels, grid and the copies.
void BM_FullRepaint_NoCurves(benchmark::State& state) {
  Scene scene;
  scene.Decimate(kRate / 1920);
  scene.Show(300, 1);
  scene.View().XAxis(0)->SetMinMax(kStart + 700 * kSecond, kStart + 800 * kSecond);
  scene.Show(700, 1);
  for (auto _ : state)
    scene.Repaint();
}
BENCHMARK(BM_FullRepaint_NoCurves)->Unit(benchmark::kMillisecond);

// Not what the program does: every sample of the record drawn (no thinning).
void BM_FullRepaint_FullView_Undecimated(benchmark::State& state) {
  Scene scene;
  scene.Decimate(1);
  scene.Show(0, 600);
  for (auto _ : state)
    scene.Repaint();
}
BENCHMARK(BM_FullRepaint_FullView_Undecimated)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  osc::bench::OffscreenOnOneCore();
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  Samples();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
