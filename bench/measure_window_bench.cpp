// How the window bears the measurements on four 40-minute channels (2880 samples a
// second, 6.9 M samples each) loaded from record files: the statistics table's update on
// the window's thread, and the spectrum window (the span copied on the window's thread,
// the transforms on the window's worker), with a 2 ms probe timer measuring how long the
// event loop could not react meanwhile. A plain program; offscreen unless QT_QPA_PLATFORM
// says otherwise, with a registry in a scratch folder.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "acquisition/record_header.h"
#include "ui/fourier_window.h"
#include "ui/main_window.h"
#include "ui/settings_dialog.h"

namespace {

constexpr std::uint32_t kRate = 2880;
constexpr std::uint32_t kSamples = kRate * 40 * 60;

std::string WriteRecord(const std::filesystem::path& dir, int slot) {
  std::vector<std::uint8_t> block(osc::kRecordHeaderSize + kSamples);
  osc::TRecordHeader h;
  h.Slot = static_cast<std::uint8_t>(slot);
  h.ChannelMask = 0x0F;
  h.Rate = kRate;
  h.Lower = 0;
  h.Upper = 16;
  h.Start = 46000.25;
  h.Count = kSamples;
  osc::WriteRecordHeader(h, block.data());
  std::mt19937 random(static_cast<unsigned>(slot));
  std::normal_distribution<double> noise(0, 3);
  const double hz = 10.0 * slot + 0.37;
  for (std::uint32_t k = 0; k < kSamples; ++k) {
    const double v = 128 + 100 * std::sin(2 * std::numbers::pi * hz * k / kRate) + noise(random);
    block[osc::kRecordHeaderSize + k] = static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
  }
  const std::string path = (dir / ("long.ch" + std::to_string(slot))).string();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
  return path;
}

double Ms(const QElapsedTimer& t) {
  return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// CPU time of the calling thread: the machine may be shared.
double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const auto dir = std::filesystem::temp_directory_path() / "osc-bench-measure";
  std::filesystem::create_directories(dir);
  qputenv("OSC_REGISTRY_DIR", QByteArray::fromStdString((dir / "registry").string()));
  QStringList files;
  for (int slot = 1; slot <= 4; ++slot)
    files << QString::fromStdString(WriteRecord(dir, slot));

  QApplication app(argc, argv);
  osc::TMainWindowUi ui = osc::DefaultMainWindowUi();
  ui.OpenFiles = [&](QWidget*) { return files; };
  osc::TFrmMdl4CH window(osc::TAcquisitionPath::Overlapped, nullptr, ui);
  osc::TFrmSetMdl4 settings(&window);
  window.UseSettings(settings);
  window.show();
  QApplication::processEvents();
  window.TBCtiSignaly->click();
  QApplication::processEvents();
  window.TBShowAnalyse->click();  // the panel and its table, over the whole records

  std::vector<double> stats, statsCpu;
  for (int i = 0; i < 20; ++i) {
    QElapsedTimer t;
    t.start();
    const double cpu = ThreadCpuMs();
    window.UpdateSpanStats();
    statsCpu.push_back(ThreadCpuMs() - cpu);
    stats.push_back(Ms(t));
  }
  std::printf("statistics table, 4 channels x %u samples: median %.1f ms (%.1f ms CPU), max %.1f ms\n",
              kSamples, Median(stats), Median(statsCpu), *std::max_element(stats.begin(), stats.end()));

  // The spectrum: what the window's thread spends, and the loop's stalls until the result.
  double worstGap = 0;
  QElapsedTimer probeClock;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(2);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    worstGap = std::max(worstGap, Ms(probeClock) - 2);
    probeClock.restart();
  });
  // The same probe with nothing to compute: what a shared machine's scheduling costs.
  probeClock.start();
  probe.start();
  QElapsedTimer idle;
  idle.start();
  while (idle.elapsed() < 1000)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  probe.stop();
  const double idleGap = worstGap;
  worstGap = 0;
  std::vector<double> onThread, total;
  for (int i = 0; i < 8; ++i) {
    QElapsedTimer t;
    t.start();
    window.TBSpectrum->click();
    onThread.push_back(Ms(t));
    probeClock.start();
    probe.start();
    while (window.Spectrum()->Busy())
      QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QApplication::processEvents();
    probe.stop();
    total.push_back(Ms(t));
  }
  std::printf(
      "spectrum of one channel (%u segments): on the window's thread median %.1f ms, "
      "to the result median %.1f ms; longest event-loop stall meanwhile %.1f ms (%.1f ms idle)\n",
      window.Spectrum()->Plot->Spectrum().Segments, Median(onThread), Median(total), worstGap, idleGap);
  window.close();
  std::filesystem::remove_all(dir);
  return 0;
}
