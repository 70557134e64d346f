// How closely the simulated module keeps the real line rate: the stream is read through
// the serial device seam, as the engine reads it, for 10 s at 1x and the byte rate is
// compared with 11520 bytes per second (1920 in slow mode).
#include "simulator/simulated_module.h"

#include <benchmark/benchmark.h>

#include <poll.h>

namespace {

using namespace osc;

void StreamRate(benchmark::State& state) {
  const bool slow = state.range(0) != 0;
  const double seconds = 10.0;
  sim::ResetSimulatedModules();
  sim::SimulatedModule& module = sim::SimulatedModuleFor("SIM4");
  module.set_pace(1.0);
  win::DWORD error = 0;
  auto port = module.open(&error);
  win::DCB dcb;
  dcb.BaudRate = sim::kFastBaud;
  dcb.ByteSize = 8;
  port->configure(dcb);
  std::uint8_t buf[4096];
  for (auto _ : state) {
    std::uint8_t start = slow ? 0x7F : 0x9F;
    port->write_some(&start, 1);
    if (slow) {  // the acknowledge, then the host's switch and zero byte
      pollfd p{port->poll_fd(), POLLIN, 0};
      poll(&p, 1, 1000);
      port->read_some(buf, 1);
      dcb.BaudRate = sim::kSlowBaud;
      port->configure(dcb);
      std::uint8_t zero = 0;
      port->write_some(&zero, 1);
    }
    std::uint64_t bytes = 0;
    sim::SimTime t0{}, now{};
    do {
      pollfd p{port->poll_fd(), POLLIN, 0};
      poll(&p, 1, 100);
      ssize_t n = port->read_some(buf, sizeof buf);
      now = sim::MonotonicNow();
      if (n > 0 && t0 == sim::SimTime{}) {
        t0 = now;  // the clock starts with the first byte
        n = 0;
      }
      bytes += static_cast<std::uint64_t>(std::max<ssize_t>(n, 0));
    } while (t0 == sim::SimTime{} || now - t0 < std::chrono::duration<double>(seconds));
    double elapsed = static_cast<double>((now - t0).count()) * 1e-9;
    double rate = static_cast<double>(bytes) / elapsed;
    double nominal = slow ? 1920.0 : 11520.0;
    state.counters["bytes_per_s"] = rate;
    state.counters["deviation_pct"] = (rate / nominal - 1.0) * 100.0;
    port->set_break(true);
    port->set_break(false);
  }
}
BENCHMARK(StreamRate)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
