// osc-record's cost, run by hand: CPU time per recorded hour at the real rate, and
// resident memory while it records an hour of module time at a fast simulated rate.
// Both run the programs themselves: osc-simpty serves the module on a pseudo-terminal
// and osc-record records from it, 4 inputs at 11 kHz.
//
//   bench_osc_record [real-seconds=120] [module-seconds=3600] [pace=20]
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

pid_t Spawn(std::vector<std::string> args, int* out) {
  int fds[2];
  if (out && pipe(fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (out) posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  std::vector<char*> argv;
  for (auto& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (out) {
    close(fds[1]);
    *out = fds[0];
  }
  return pid;
}

std::string Line(int fd) {
  std::string line;
  char c;
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, 10000) == 1 && read(fd, &c, 1) == 1 && c != '\n')
    line += c;
  return line;
}

long RssKiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (in >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      in >> kib;
      return kib;
    }
    in.ignore(1 << 12, '\n');
  }
  return -1;
}

// CPU seconds of the process's main thread (the recording's ticks) and of the others
// (the serial layer's service thread), as last seen.
std::pair<double, double> ThreadCpu(pid_t pid) {
  std::pair<double, double> cpu{0, 0};
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  for (int tid = pid; tid < pid + 64; ++tid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) continue;
    const auto close = stat.rfind(')');
    unsigned long utime = 0, stime = 0;
    // Fields after the command: state is field 3, utime 14, stime 15.
    if (std::sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime,
                    &stime) != 2)
      continue;
    (tid == pid ? cpu.first : cpu.second) += (utime + stime) / tick;
  }
  return cpu;
}

struct Run {
  std::pair<double, double> threads;
  double cpuSeconds = 0;
  double wallSeconds = 0;
  long maxRssKiB = 0;
  std::vector<std::pair<double, long>> rss;  // wall seconds, KiB
  int status = -1;
};

Run Record(double pace, double moduleSeconds, const std::string& dir) {
  int out = -1;
  const pid_t module =
      Spawn({OSC_SIMPTY_PATH, "--rate", std::to_string(pace), "--signal", "all=sine,50,4,8"}, &out);
  const std::string port = Line(out);
  Run r;
  const auto start = std::chrono::steady_clock::now();
  const pid_t rec =
      Spawn({OSC_RECORD_PATH, "--settings-dir", dir + "/settings", "-p", port, "-i", "1,2,3,4", "-r", "11k",
             "-d", std::to_string(moduleSeconds), "-o", dir + "/run", "--progress", "0"},
            nullptr);
  double nextSample = 0;
  for (;;) {
    int status = 0;
    rusage usage{};
    const pid_t done = wait4(rec, &status, WNOHANG, &usage);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (done == rec) {
      r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      r.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                     usage.ru_stime.tv_usec / 1e6;
      r.maxRssKiB = usage.ru_maxrss;
      r.wallSeconds = wall;
      break;
    }
    if (const auto t = ThreadCpu(rec); t.first + t.second > 0) r.threads = t;
    if (wall >= nextSample) {
      r.rss.emplace_back(wall, RssKiB(rec));
      nextSample += 5;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(module, SIGTERM);
  waitpid(module, nullptr, 0);
  close(out);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const double realSeconds = argc > 1 ? std::atof(argv[1]) : 120;
  const double moduleSeconds = argc > 2 ? std::atof(argv[2]) : 3600;
  const double pace = argc > 3 ? std::atof(argv[3]) : 20;
  char dirTemplate[] = "/tmp/osc-record-bench-XXXXXX";
  const std::string dir = mkdtemp(dirTemplate);

  const Run real = Record(1, realSeconds, dir);
  std::printf(
      "real rate, %.0f s, 4 inputs at 11 kHz: exit %d, CPU %.3f s = %.1f s per recorded hour (%.3f %% of one "
      "core)\n",
      realSeconds, real.status, real.cpuSeconds, real.cpuSeconds * 3600 / realSeconds,
      real.cpuSeconds * 100 / real.wallSeconds);
  std::printf("  of which the recording's thread %.2f s, the serial layer's service thread %.2f s\n",
              real.threads.first, real.threads.second);

  const Run fast = Record(pace, moduleSeconds, dir);
  std::printf("pace %.0f, %.0f s of module time in %.0f s: exit %d, CPU %.2f s, peak RSS %ld KiB\n", pace,
              moduleSeconds, fast.wallSeconds, fast.status, fast.cpuSeconds, fast.maxRssKiB);
  std::printf("RSS (module seconds: KiB):");
  for (const auto& [wall, kib] : fast.rss)
    if (kib > 0) std::printf(" %.0f:%ld", wall * pace, kib);
  std::printf("\n");
  std::system(("rm -rf " + dir).c_str());
  return 0;
}
