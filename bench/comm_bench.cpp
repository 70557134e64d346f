// The acquisition path of the serial layer: 32 overlapped 2400-byte reads kept pending
// while a stream flows through a pseudo-terminal and the real termios backend.
//   BM_RecycledReads: how fast the engine can move blocks (bytes/s) and what it costs
//     the whole process in CPU time per MB (all threads, from getrusage).
//   BM_ModuleRate: the module's rate, 11520 bytes/s, for 2 s; the share of one CPU the
//     process used meanwhile.
#include "platform/comm/comm.h"
#include "platform/kernel/kernel.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace osc::win;

namespace {

constexpr DWORD kBlock = 2400;
constexpr std::size_t kRing = 32;

double process_cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto sec = [](timeval t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return sec(u.ru_utime) + sec(u.ru_stime);
}

class Line {
 public:
  Line() {
    char name[128] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
    port_ = CreateFile(name, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
    if (port_ == INVALID_HANDLE_VALUE) throw std::runtime_error("CreateFile");
    COMMTIMEOUTS t{400, 10, 400, 10, 400};
    SetCommTimeouts(port_, &t);
    SetupComm(port_, 16384, 1024);
    for (auto& s : slots_) {
      s.buffer.resize(kBlock);
      s.ov.hEvent = CreateEvent(true, false);
      Issue(s);
    }
  }
  ~Line() {
    CloseHandle(port_);
    for (auto& s : slots_)
      CloseHandle(s.ov.hEvent);
    close(master_);
    close(slave_);
  }

  // Takes the next completed block and issues its read again; false on a short block.
  bool NextBlock() {
    Slot& s = slots_[next_++ % kRing];
    DWORD n = 0;
    if (WaitForSingleObject(s.ov.hEvent, 10000) != WAIT_OBJECT_0) return false;
    GetOverlappedResult(port_, &s.ov, &n, false);
    ++consumed_;
    Issue(s);
    return n == kBlock;
  }

  void Send(const std::uint8_t* data, std::size_t count) {
    while (count > 0) {
      ssize_t n = write(master_, data, count);
      if (n > 0) {
        data += n;
        count -= static_cast<std::size_t>(n);
      } else {
        pollfd p{master_, POLLOUT, 0};
        poll(&p, 1, 100);
      }
    }
  }
  std::uint64_t consumed() const { return consumed_; }

 private:
  struct Slot {
    std::vector<std::uint8_t> buffer;
    OVERLAPPED ov{};
  };
  void Issue(Slot& s) {
    DWORD n = 0;
    ReadFile(port_, s.buffer.data(), kBlock, &n, &s.ov);
  }

  int master_ = -1;
  int slave_ = -1;
  HANDLE port_ = INVALID_HANDLE_VALUE;
  std::array<Slot, kRing> slots_;
  std::size_t next_ = 0;
  std::atomic<std::uint64_t> consumed_{0};
};

void BM_RecycledReads(benchmark::State& state) {
  Line line;
  std::vector<std::uint8_t> chunk(600, 0x5a);
  std::atomic<bool> stop{false};
  std::atomic<std::uint64_t> sent{0};
  // The far end keeps no more in flight than the pending reads can take.
  std::thread sender([&] {
    while (!stop) {
      if (sent + chunk.size() > (line.consumed() + kRing - 1) * kBlock) {
        std::this_thread::yield();
        continue;
      }
      line.Send(chunk.data(), chunk.size());
      sent += chunk.size();
    }
  });
  double cpu0 = process_cpu_seconds();
  std::int64_t blocks = 0;
  for (auto _ : state) {
    if (!line.NextBlock()) state.SkipWithError("short block");
    ++blocks;
  }
  double cpu = process_cpu_seconds() - cpu0;
  stop = true;
  sender.join();
  state.SetBytesProcessed(blocks * kBlock);
  state.counters["cpu_s_per_MB"] = cpu / (double(blocks) * kBlock / 1e6);
}
BENCHMARK(BM_RecycledReads)->UseRealTime();

void BM_ModuleRate(benchmark::State& state) {
  for (auto _ : state) {
    Line line;
    constexpr int kBytesPerSecond = 11520;
    constexpr int kTickMs = 5;  // a UART delivers in small bursts
    std::vector<std::uint8_t> chunk(kBytesPerSecond * kTickMs / 1000, 0xa5);
    std::atomic<bool> stop{false};
    std::thread sender([&] {
      auto next = std::chrono::steady_clock::now();
      while (!stop) {
        line.Send(chunk.data(), chunk.size());
        next += std::chrono::milliseconds(kTickMs);
        std::this_thread::sleep_until(next);
      }
    });
    double cpu0 = process_cpu_seconds();
    auto t0 = std::chrono::steady_clock::now();
    int blocks = 0;
    while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(2)) {
      if (!line.NextBlock()) state.SkipWithError("short block");
      ++blocks;
    }
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double cpu = process_cpu_seconds() - cpu0;
    stop = true;
    sender.join();
    state.counters["cpu_percent_incl_sender"] = 100.0 * cpu / wall;
    state.counters["blocks"] = blocks;
  }
}
BENCHMARK(BM_ModuleRate)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
