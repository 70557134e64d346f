// Export figures for the 40-minute 4-channel record (4 x 6.9 M samples at 2880/s): CSV
// text per second into nothing and into a file, the resident memory the export adds,
// osc-export's own peak memory on the record files, and the PNG and SVG of a
// 1000 x 700 view (time, size). A plain program; run it by hand:
//   bench_export [path of osc-export]
#include <sys/wait.h>
#include <unistd.h>
#include "bench_setup.h"

#include <QBuffer>
#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/export_csv.h"
#include "acquisition/protocol.h"
#include "acquisition/record_file.h"
#include "acquisition/recorder.h"
#include "acquisition/scaling.h"
#include "bench/quiet_window.h"
#include "config/range_entry.h"
#include "graph/axis.h"
#include "graph/graph_data.h"
#include "graph/view.h"
#include "platform/qt/qt_canvas.h"
#include "seriallink/serial_com.h"
#include "ui/export_image.h"

#include "bench_recording.h"

using namespace osc;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSlots = 4;
constexpr int kMinutes = 40;

long StatusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  }
  return 0;
}

// Peak resident size from now on (the kernel's high-water mark is reset).
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The 40-minute record: sines of a few hertz with noise.
class Recording {
 public:
  Recording() : r_(kMinutes) {
    std::uint32_t seed = 1;
    r_.Record([&](int slot, std::uint32_t i, std::uint32_t rate) {
      const double t = static_cast<double>(i) / rate;
      seed = seed * 1664525u + 1013904223u;
      return static_cast<std::uint8_t>(128 + 90 * std::sin(2 * M_PI * t * (3 + slot)) +
                                       static_cast<double>(seed >> 29));
    });
    for (int slot = 1; slot <= kSlots; ++slot)
      r_.Recorder().RefreshStore(slot, true);
  }
  TVelaGraph& View() { return r_.View(); }
  const TSlotStores& Stores() const { return r_.Stores(); }

 private:
  bench::TBenchRecording r_;
};

std::vector<TExportChannel> Channels(const TSlotStores& stores) {
  std::vector<TExportChannel> channels;
  for (const auto& s : stores)
    channels.push_back(StoreChannel(*s, {0, s->Count()}));
  return channels;
}

void Csv(Recording& r) {
  const auto channels = Channels(r.Stores());
  TExportOptions options;
  options.Dialect = LocalCsv();
  for (int run = 0; run < 3; ++run) {
    const long before = StatusKiB("VmRSS:");
    ResetPeak();
    std::uint64_t bytes = 0;
    const auto t0 = Clock::now();
    WriteCsv(channels, options, [&](std::string_view chunk) { bytes += chunk.size(); });
    const double s = Seconds(t0);
    std::printf("CSV to nothing: %.1f MB in %.2f s = %.0f MB/s, resident +%ld KiB at most\n", bytes / 1e6, s,
                bytes / 1e6 / s, StatusKiB("VmHWM:") - before);
  }
  const std::string path = "/tmp/osc-export-bench.csv";
  const auto t0 = Clock::now();
  ExportCsvFile(channels, options, path);
  const double s = Seconds(t0);
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const double mb = static_cast<double>(in.tellg()) / 1e6;
  std::printf("CSV to a file (written, synced, renamed): %.1f MB in %.2f s = %.0f MB/s\n", mb, s, mb / s);
  std::remove(path.c_str());
}

void Tool(Recording& r, const char* tool) {
  std::vector<std::string> args{tool};
  for (const auto& s : r.Stores()) {
    const std::string file = "/tmp/osc-export-bench.ch" + std::to_string(s->Header().Slot);
    SaveToFile(*s, file);
    args.push_back(file);
  }
  std::fflush(stdout);
  const auto t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
    std::vector<char*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(tool, argv.data());
    _exit(127);
  }
  // The program's own high-water mark, read while it runs: the rusage of a forked
  // child would count the parent's pages it started with.
  int status = 0;
  long peak = 0;
  const std::string statusFile = "/proc/" + std::to_string(pid) + "/status";
  const std::string commFile = "/proc/" + std::to_string(pid) + "/comm";
  while (waitpid(pid, &status, WNOHANG) == 0) {
    std::string comm;
    std::getline(std::ifstream(commFile), comm);
    if (comm != "osc-export") continue;  // not yet the program: still our copy
    std::ifstream in(statusFile);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("VmHWM:", 0) == 0) peak = std::max(peak, std::stol(line.substr(6)));
    }
    usleep(1000);
  }
  const double s = Seconds(t0);
  std::printf(
      "osc-export of the 4 files to /dev/null: %.2f s, exit %d, peak resident %ld KiB (files %.1f MB)\n", s,
      WIFEXITED(status) ? WEXITSTATUS(status) : -1, peak, 4 * (r.Stores()[0]->Record().size() / 1e6));
  for (std::size_t i = 1; i < args.size(); ++i)
    std::remove(args[i].c_str());
}

void Pictures(Recording& r) {
  TGraphPicture picture{QSize(1000, 700), 96, {"Osciloskop, záznam", "CH 1 .. CH 4"}};
  std::vector<double> render, encode;
  for (int run = 0; run < 9; ++run) {
    const auto t0 = Clock::now();
    const QImage image = GraphImage(r.View(), picture);
    render.push_back(Seconds(t0) * 1000);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const auto t1 = Clock::now();
    image.save(&buffer, "PNG");
    encode.push_back(Seconds(t1) * 1000);
    if (run == 0) std::printf("PNG 1000 x 700: %lld bytes\n", static_cast<long long>(bytes.size()));
  }
  std::sort(render.begin(), render.end());
  std::sort(encode.begin(), encode.end());
  std::printf("PNG 1000 x 700 (median of 9): drawing %.1f ms + encoding %.1f ms = %.1f ms\n", render[4],
              encode[4], render[4] + encode[4]);
  const auto t0 = Clock::now();
  const QByteArray svg = GraphSvg(r.View(), picture);
  std::printf("SVG 1000 x 700: %lld bytes in %.1f ms (4 x %u samples)\n", static_cast<long long>(svg.size()),
              Seconds(t0) * 1000, r.Stores()[0]->Count());
}

}  // namespace

int main(int argc, char** argv) {
  bench::OffscreenOnOneCore();
  QGuiApplication app(argc, argv);
  std::printf("Filling a %d-minute record of 4 channels...\n", kMinutes);
  Recording r;
  std::printf("%u samples per channel at %u/s\n", r.Stores()[0]->Count(), r.Stores()[0]->Rate());
  Csv(r);
  Pictures(r);
  if (argc > 1) Tool(r, argv[1]);
  return 0;
}
