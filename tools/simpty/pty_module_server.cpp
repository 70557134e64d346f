#include "tools/simpty/pty_module_server.h"

#include "simulator/simulated_module.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <system_error>

namespace osc::tools {
namespace {

using namespace std::chrono_literals;
using sim::SimTime;

// Pacing granularity: bytes due within this time go out together.
constexpr SimTime kTick = 1ms;
constexpr SimTime kMaxSleep = 100ms;

[[noreturn]] void Fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

win::DWORD SpeedToBaud(speed_t s) {
  static const std::pair<speed_t, win::DWORD> table[] = {
      {B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
      {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
      {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
  };
  for (auto [speed, baud] : table)
    if (speed == s) return baud;
  return 0;
}

timespec ToTimespec(SimTime d) {
  auto ns = std::max<std::int64_t>(d.count(), 0);
  return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

}  // namespace

PtyModuleServer::PtyModuleServer(const SimPtyOptions& o) : model_(o.type), link_(o.link) {
  model_.set_pace(o.rate);
  paced_ = o.rate > 0;
  for (auto& [ch, range] : o.ranges) {
    auto in = model_.input(ch);
    in.range = range;
    model_.set_input(ch, in);
  }
  for (int ch : o.ac_inputs) {
    auto in = model_.input(ch);
    in.ac_coupled = true;
    model_.set_input(ch, in);
  }
  for (auto& [ch, signal] : o.signals)
    model_.set_signal(ch, signal);
  for (auto& [fault, mode] : o.faults)
    model_.inject(fault, mode);

  char name[256] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) Fail("openpty");
  path_ = name;
  termios t{};
  tcgetattr(slave_, &t);
  cfmakeraw(&t);
  cfsetspeed(&t, B115200);
  tcsetattr(slave_, TCSANOW, &t);
  int on = 1;
  if (ioctl(master_, TIOCPKT, &on) != 0) Fail("TIOCPKT");
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  if (!link_.empty()) {
    unlink(link_.c_str());
    if (symlink(path_.c_str(), link_.c_str()) != 0) Fail("symlink");
  }
}

PtyModuleServer::~PtyModuleServer() {
  if (!link_.empty()) unlink(link_.c_str());
  close(slave_);
  close(master_);
}

win::DWORD PtyModuleServer::host_baud() const {
  termios t{};
  if (tcgetattr(master_, &t) != 0) return sim::kFastBaud;
  return SpeedToBaud(cfgetospeed(&t));
}

void PtyModuleServer::end_stream(SimTime now) {
  model_.set_break(true, now);
  model_.set_break(false, now);
  out_.clear();
  out_pos_ = 0;
}

void PtyModuleServer::serve_host(SimTime now) {
  std::uint8_t buf[4096];
  for (;;) {
    ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) return;  // EAGAIN, or EIO while no host has the terminal open
    if (buf[0] != TIOCPKT_DATA) {
      if ((buf[0] & TIOCPKT_FLUSHREAD) && model_.state() == sim::ModuleState::Streaming) end_stream(now);
      continue;
    }
    if (n == 1) continue;
    if (model_.state() == sim::ModuleState::Streaming) end_stream(now);
    model_.receive(std::span(buf + 1, static_cast<std::size_t>(n - 1)), host_baud(), now);
  }
}

void PtyModuleServer::send(SimTime now) {
  if (out_pos_ == out_.size()) {
    out_.clear();
    out_pos_ = 0;
    model_.transmit(out_, 4096, host_baud(), now);
  }
  while (out_pos_ < out_.size()) {
    // A purge that came in meanwhile ends the stream before more of it goes out: what
    // is written after the host's purge would reach the host's next reply.
    pollfd p{master_, POLLIN | POLLPRI, 0};
    if (poll(&p, 1, 0) == 1) {
      serve_host(now);
      if (out_pos_ == out_.size()) return;
    }
    ssize_t n = write(master_, out_.data() + out_pos_, out_.size() - out_pos_);
    if (n > 0) {
      out_pos_ += static_cast<std::size_t>(n);
      if (measuring_) stream_written_ += static_cast<std::uint64_t>(n);
      continue;
    }
    if (paced_) {  // a line does not wait for a host that does not read
      dropped_ += out_.size() - out_pos_;
      out_pos_ = out_.size();
    }
    return;  // unpaced: keep the rest for when the terminal has room
  }
}

void PtyModuleServer::report(std::FILE* out, SimTime now) {
  bool streaming = model_.state() == sim::ModuleState::Streaming;
  if (streaming && !measuring_) {
    measuring_ = true;
    stream_start_ = last_report_ = now;
    stream_written_ = 0;
  } else if (!streaming) {
    measuring_ = false;
  }
  if (!out || !measuring_ || now - last_report_ < 1s) return;
  last_report_ = now;
  double seconds = static_cast<double>((now - stream_start_).count()) * 1e-9;
  double rate = static_cast<double>(stream_written_) / seconds;
  std::fprintf(out, "%7.1f s  %10llu bytes  %9.1f bytes/s", seconds,
               static_cast<unsigned long long>(stream_written_), rate);
  if (paced_) {
    double nominal = model_.line_baud() / 10.0 * model_.pace();
    std::fprintf(out, "  nominal %.0f  deviation %+.3f %%", nominal, (rate / nominal - 1.0) * 100.0);
  }
  std::fprintf(out, "  dropped %llu\n", static_cast<unsigned long long>(dropped_));
  std::fflush(out);
}

void PtyModuleServer::run(const std::atomic<bool>& stop, std::FILE* stats) {
  while (!stop.load()) {
    SimTime now = sim::MonotonicNow();
    serve_host(now);
    send(now);
    report(stats, now);

    now = sim::MonotonicNow();
    pollfd p{master_, POLLIN | POLLPRI, 0};
    SimTime sleep = kMaxSleep;
    bool backlog = out_pos_ < out_.size();
    if (backlog && !paced_) {
      p.events |= POLLOUT;
    } else if (auto due = model_.next_output_due(now)) {
      sleep = std::clamp(*due - now, paced_ ? kTick : SimTime(0), kMaxSleep);
    }
    timespec ts = ToTimespec(sleep);
    ppoll(&p, 1, &ts, nullptr);
  }
}

}  // namespace osc::tools
