// How responsive the program is: the time from start to the first painted window, and
// how long the event loop stalls while 4 channels are recorded from the simulated module
// with auto-zoom (the main timer's ticks, their refreshes and the repaints).
//
//   bench_window_stall [seconds=30] [--blocking] [--pace F]
//
// --pace runs the simulated module F times faster than real time (with "10 min" as the
// longest recording), to see the stalls of a long record in less time.
// A 2 ms probe timer runs beside the recording; every gap between its firings beyond
// 2 ms is time the loop could not react. Runs offscreen unless QT_QPA_PLATFORM says
// otherwise, with a registry in a scratch folder.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "acquisition/recorder.h"
#include "graph/qt/graph_widget.h"
#include "platform/locale/locale.h"
#include "simulator/simulated_module.h"
#include "ui/main_window.h"
#include "ui/settings_dialog.h"

namespace {

class FirstPaint : public QObject {
 public:
  explicit FirstPaint(const QElapsedTimer& clock) : clock_(clock) {}
  qint64 ms = -1;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint && ms < 0) ms = clock_.elapsed();
    return QObject::eventFilter(o, e);
  }

 private:
  const QElapsedTimer& clock_;
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1));
  return v[i];
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::string registry = std::filesystem::temp_directory_path() / "osc-bench-registry";
  qputenv("OSC_REGISTRY_DIR", QByteArray::fromStdString(registry));

  int seconds = 30;
  double pace = 1.0;
  auto path = osc::TAcquisitionPath::Overlapped;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--blocking") {
      path = osc::TAcquisitionPath::Blocking;
    } else if (a == "--pace" && i + 1 < argc) {
      pace = std::max(0.1, std::atof(argv[++i]));
    } else {
      seconds = std::max(1, std::atoi(argv[i]));
    }
  }

  QApplication app(argc, argv);
  osc::LoadSystemFormatSettings();
  osc::sim::RegisterSimulatedPorts();
  osc::TFrmMdl4CH window(path);
  osc::TFrmSetMdl4 settings(&window);
  settings.SetPort("SIM4");
  window.UseSettings(settings);
  window.IdentifyModule();
  FirstPaint first(clock);
  window.Graph->installEventFilter(&first);
  window.show();
  while (first.ms < 0 && clock.elapsed() < 10000)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  std::printf("start-up to the first painted window: %lld ms\n", static_cast<long long>(first.ms));

  for (QCheckBox* box : {window.cbInput1, window.cbInput2, window.cbInput3, window.cbInput4})
    box->setChecked(true);
  window.tbAutoZoom->setChecked(true);
  if (pace != 1.0) {
    osc::sim::SimulatedModuleFor("SIM4").set_pace(pace);
    window.cbMax->setCurrentIndex(3);
  }
  window.sbZaznam->click();

  std::vector<double> gaps;
  qint64 stoppedAt = -1;
  QElapsedTimer probeClock;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(2);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const double ms = static_cast<double>(probeClock.nsecsElapsed()) / 1e6;
    probeClock.restart();
    gaps.push_back(std::max(0.0, ms - 2.0));
    if (!window.sbZaznam->isChecked() && stoppedAt < 0) stoppedAt = clock.elapsed();
  });
  probeClock.start();
  probe.start();
  // exit(), not quit(): quit() would close the window and so stop the recording first.
  QTimer::singleShot(seconds * 1000, &app, [] { QCoreApplication::exit(0); });
  const std::clock_t cpu0 = std::clock();
  QApplication::exec();
  const double cpu = static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
  probe.stop();

  const osc::TDataStore* store = window.Recorder().Store(1);
  std::printf("recorded %u samples per channel in %d s (%s path), %.2f s CPU (%.1f %% of one core)\n",
              store ? store->Count() : 0u, seconds,
              path == osc::TAcquisitionPath::Overlapped ? "overlapped" : "blocking", cpu,
              100.0 * cpu / seconds);
  std::printf("event-loop stalls over %zu probes: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", gaps.size(),
              Percentile(gaps, 0.5), Percentile(gaps, 0.99), Percentile(gaps, 1.0));
  if (stoppedAt >= 0)
    std::printf("the recording stopped by itself at %lld ms\n", static_cast<long long>(stoppedAt));
  if (window.sbZaznam->isChecked()) window.sbZaznam->click();
  std::filesystem::remove_all(registry);
  return 0;
}
